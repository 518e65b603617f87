// The bookshelf tree of a book page.
#include "book/book.h"

#include "book/bookadd.h"
#include "book/copydata.h"
#include "book/treepane.h"
#include "library/shelf.h"
#include "store/xcom.h"

#include <QCheckBox>
#include <QLineEdit>

void TForm2::Booklist()
{
    tv1->clear();
    Booklistx(nullptr, QStringLiteral("$"));
    if (!cxTextEdit1->text().isEmpty())
        tv1->expandAll();
    tv2->clear();
    SendCaption(this, QStringLiteral("书卷"), 102);
}

void TForm2::Booklistx(TTreeNode *Fnote, const QString &jb)
{
    tv1->addNodes(Fnote, shelf::bookTree(Adoconn, cxTextEdit1->text(), jb));
}

bool TForm2::tv1MouseDown(Qt::MouseButton, const QPoint &pos)
{
    return books->press(pos);
}

void TForm2::selectBook(TTreeNode *node)
{
    tv1->select(node);
    const QString caption = node->text(0);
    SendCaption(this, caption, quint32(caption.size() + 100));
    Oldname = caption;
    Unitlist();
}

QString TForm2::shownBook() const
{
    const TTreeNode *node = tv1->Selected();
    return node ? node->Data.Tid : QString();
}

void TForm2::N1Click()
{
    Form3->open(this, QStringLiteral("添加书卷分类"), QStringLiteral("$"));
}

void TForm2::N2Click()
{
    if (TTreeNode *node = tv1->Selected())
        Form3->open(this, QStringLiteral("添加书卷"), node->Data.Tid);
}

void TForm2::N4Click()
{
    books->startRename();
}

void TForm2::tv1CancelEdit(TTreeNode *)
{
    books->cancelRename();
}

void TForm2::tv1Edited(TTreeNode *Node, QString &S)
{
    books->edited(Node, S);
}

void TForm2::N5Click()
{
    books->deleteSelected();
}

bool TForm2::tv1DragOver(const QPoint &pos)
{
    return books->dragOver(pos);
}

void TForm2::tv1DragDrop(const QPoint &pos)
{
    books->dragDrop(pos);
}
