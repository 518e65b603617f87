// The chapter and content tree of a book page.
#include "book/book.h"

#include "book/conadd.h"
#include "book/treepane.h"
#include "library/shelf.h"
#include "editor/editor.h"
#include "store/xcom.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

void TForm2::Unitlist()
{
    if (!tv1->Selected())
        return;
    tv2->clear();
    Unitlistx(nullptr, QStringLiteral("$"));
    tv2->expandAll();
    cxCheckBox1->setEnabled(false);
    cxButton3->setEnabled(false);
}

void TForm2::Unitlistx(TTreeNode *Fnote, const QString &jb)
{
    tv2->addNodes(Fnote, shelf::unitTree(Adoconn, shownBook(), cxTextEdit2->text(), jb));
}

bool TForm2::tv2MouseDown(Qt::MouseButton, const QPoint &pos)
{
    return units->press(pos);
}

void TForm2::showUnit(TTreeNode *node)
{
    tv2->select(node);
    const QString caption = node->text(0);
    Oldname = caption;
    Zthtmleditorx1->WebTitle = caption;
    Zthtmleditorx1->htmlsetAll(content(node), caption, 0);
    cxCheckBox1->setEnabled(true);
    cxCheckBox1->setChecked(true);
    cxButton3->setEnabled(true);
}

void TForm2::N6Click()
{
    TTreeNode *book = tv1->Selected();
    if (!book) {
        inform(QStringLiteral("请先到书卷选项卡选择书卷！"));
        return;
    }
    Form4->open(this, QStringLiteral("添加章节"), book->Data.Tid, QStringLiteral("$"));
}

void TForm2::N7Click()
{
    TTreeNode *book = tv1->Selected();
    if (!book) {
        inform(QStringLiteral("请先到书卷选项卡选择书卷！"));
        return;
    }
    if (TTreeNode *unit = tv2->Selected())
        Form4->open(this, QStringLiteral("添加内容"), book->Data.Tid, unit->Data.Tid);
}

void TForm2::N10Click()
{
    units->startRename();
}

void TForm2::tv2CancelEdit(TTreeNode *)
{
    units->cancelRename();
}

void TForm2::tv2Edited(TTreeNode *Node, QString &S)
{
    units->edited(Node, S);
}

void TForm2::N11Click()
{
    units->deleteSelected();
}

bool TForm2::tv2DragOver(const QPoint &pos)
{
    return units->dragOver(pos);
}

void TForm2::tv2DragDrop(const QPoint &pos)
{
    units->dragDrop(pos);
}
