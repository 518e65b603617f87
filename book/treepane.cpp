#include "book/treepane.h"

#include "book/book.h"
#include "book/tree.h"
#include "library/library.h"
#include "library/shelf.h"
#include "store/xcom.h"
#include "ztking/ztking.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>

namespace {

const QString Renaming = QStringLiteral("重命名");

} // namespace

TTreePane::TTreePane(bool books, TTreeView *tree, QLineEdit *filter, std::function<QString()> shownBook,
                     QWidget *page)
    : QObject(page)
    , m_books(books)
    , m_tree(tree)
    , m_filter(filter)
    , m_shownBook(std::move(shownBook))
    , m_page(page)
{
}

void TTreePane::setLibrary(Library *library)
{
    m_library = library;
    connect(library, &Library::added, this, &TTreePane::added);
    connect(library, &Library::renamed, this, &TTreePane::renamed);
    connect(library, &Library::moved, this, &TTreePane::moved);
    connect(library, &Library::deleted, this, &TTreePane::deleted);
    connect(library, &Library::restored, this, &TTreePane::restored);
}

void TTreePane::inform(const QString &text)
{
    QMessageBox::information(m_page, QApplication::applicationDisplayName(), text);
}

bool TTreePane::press(const QPoint &pos)
{
    TTreeNode *node = m_tree->nodeAt(pos);
    if (!node)
        return false;
    // The rename state is shared by every tree: the press after a rename
    // command only ends it.
    if (Renflag == Renaming) {
        Renflag.clear();
        return true;
    }
    emit chosen(node);
    return false;
}

void TTreePane::startRename()
{
    TTreeNode *node = m_tree->Selected();
    if (!node)
        return;
    m_tree->setReadOnly(false);
    Renflag = Renaming;
    m_tree->editItem(node);
}

void TTreePane::cancelRename()
{
    m_tree->setReadOnly(true);
}

void TTreePane::edited(TTreeNode *node, QString &S)
{
    if (S == Oldname)
        return;
    if (!Ztking::wjjhf(S)) {
        inform(QStringLiteral("名称不可包含特殊字符"));
        S = Oldname;
        return;
    }
    if (m_books)
        m_library->renameBook(node->Data.Tid, S);
    else
        m_library->renameUnit(node->Data.Tid, S);
    m_tree->setReadOnly(true);
    // A later rename compares with the name the library now holds.
    Oldname = S;
}

bool TTreePane::dragOver(const QPoint &pos) const
{
    const TTreeNode *target = m_tree->nodeAt(pos);
    const TTreeNode *dragged = m_tree->Selected();
    return target && dragged && target->Data.Tjb == dragged->Data.Tjb;
}

void TTreePane::dragDrop(const QPoint &pos)
{
    TTreeNode *target = m_tree->nodeAt(pos);
    TTreeNode *dragged = m_tree->Selected();
    if (!dragOver(pos) || target == dragged)
        return;
    // The tree follows once the library has stored the new order.
    if (m_books)
        m_library->moveBook(dragged->Data.Tid, target->Data.Tid);
    else
        m_library->moveUnit(m_shownBook(), dragged->Data.Tid, target->Data.Tid);
}

void TTreePane::deleteSelected()
{
    TTreeNode *node = m_tree->Selected();
    if (!node)
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("删除确认"),
                    QStringLiteral("确定删除【") + node->text(0) + QStringLiteral("】吗？所有包含内容都被删除！"),
                    QMessageBox::Yes | QMessageBox::No, m_page);
    box.setObjectName(QStringLiteral("deleteQuestion"));
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return;
    if (m_books)
        m_library->deleteBook(node->Data.Tid);
    else
        m_library->deleteUnit(node->Data.Tid);
}

void TTreePane::added(bool isBook, const Thgo &rec, const QString &bookKey)
{
    if (isBook != m_books || (!isBook && bookKey != m_shownBook()))
        return;
    // A new unit comes with its document read back.
    if (TTreeNode *node = m_tree->addNode(rec))
        node->contentRead = !isBook;
}

void TTreePane::renamed(bool isBook, const QString &key, const QString &name)
{
    if (isBook != m_books)
        return;
    m_tree->renameNode(key, name);
    const TTreeNode *selected = m_tree->Selected();
    if (selected && selected->Data.Tid == key)
        emit selectedRenamed(name);
}

void TTreePane::moved(bool isBook, const QString &parentKey, const QStringList &order)
{
    // Keys tell the chapters of the book shown from those of other books.
    if (isBook == m_books)
        m_tree->reorder(parentKey, order);
}

void TTreePane::deleted(bool isBook, const QStringList &keys)
{
    // Everything under a deleted item is in keys, so the selected node goes
    // when it or an ancestor does.
    if (isBook == m_books && m_tree->removeNodes(keys))
        emit selectedGone();
}

void TTreePane::restored(const bin::Restored &what)
{
    if (m_books) {
        if (what.isBook)
            insertFromLibrary(what.parent, what.key, QString());
        // Units whose book was gone came back under a new category.
        else if (what.moved && !m_tree->find(what.bookKey))
            insertFromLibrary(QStringLiteral("$"), what.bookKey, QString());
    } else if (!what.isBook && what.bookKey == m_shownBook()) {
        insertFromLibrary(what.parent, what.key, what.bookKey);
    }
}

void TTreePane::insertFromLibrary(const QString &parentKey, const QString &key, const QString &bookKey)
{
    const QString filter = m_filter->text();
    // Open as a tree loaded afresh would be: units always, the bookshelf
    // while filtered.
    m_tree->insertFrom(parentKey, key,
                       m_books ? shelf::bookTree(Adoconn, filter, parentKey)
                               : shelf::unitTree(Adoconn, bookKey, filter, parentKey),
                       !m_books || !filter.isEmpty());
}
