#include "book/tree.h"

#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include <functional>

namespace {

// Hands a confirmed caption to the page before it is taken, so the page may
// change it, and tells an abandoned edit from a confirmed one.
class RenameDelegate : public QStyledItemDelegate
{
public:
    explicit RenameDelegate(TTreeView *tree)
        : QStyledItemDelegate(tree)
        , m_tree(tree)
    {
        connect(this, &QAbstractItemDelegate::closeEditor, this, [this](QWidget *, EndEditHint hint) {
            if (hint == RevertModelCache && m_tree->onCancelEdit)
                m_tree->onCancelEdit(m_tree->Selected());
        });
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        if (!line)
            return QStyledItemDelegate::setModelData(editor, model, index);
        QString s = line->text();
        if (m_tree->onEdited)
            m_tree->onEdited(static_cast<TTreeNode *>(m_tree->itemFromIndex(index)), s);
        model->setData(index, s, Qt::EditRole);
    }

private:
    TTreeView *m_tree;
};

} // namespace

TTreeNode::TTreeNode(const QString &caption, const Thgo &data)
    : QTreeWidgetItem(QStringList{caption})
    , Data(data)
{
    setFlags(flags() | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
}

TTreeView::TTreeView(QWidget *parent)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    setItemDelegate(new RenameDelegate(this));
    setContextMenuPolicy(Qt::CustomContextMenu);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Red on yellow, with or without focus; rows 20 pixels high.
    setStyleSheet(QStringLiteral("QTreeView::item { height: 20px; }"
                                 "QTreeView::item:selected, QTreeView::item:selected:!active"
                                 " { color: #FF0000; background: #FFFF00; }"));
}

void TTreeView::setReadOnly(bool on)
{
    m_readOnly = on;
    setEditTriggers(on ? QAbstractItemView::NoEditTriggers
                       : QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
}

TTreeNode *TTreeView::nodeAt(const QPoint &viewportPos) const
{
    return static_cast<TTreeNode *>(itemAt(viewportPos));
}

TTreeNode *TTreeView::Selected() const
{
    const QList<QTreeWidgetItem *> items = selectedItems();
    return items.isEmpty() ? nullptr : static_cast<TTreeNode *>(items.first());
}

void TTreeView::select(TTreeNode *node)
{
    setCurrentItem(node);
    if (node)
        node->setSelected(true);
}

TTreeNode *TTreeView::addNode(TTreeNode *parent, const QString &caption, const Thgo &record)
{
    auto *node = new TTreeNode(caption, record);
    if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    return node;
}

namespace {

// Builds a subtree outside any view, where adding a node tells no one.
TTreeNode *detached(const shelf::Node &n)
{
    auto *node = new TTreeNode(n.caption, n.rec);
    QList<QTreeWidgetItem *> children;
    children.reserve(n.children.size());
    for (const shelf::Node &c : n.children)
        children << detached(c);
    node->addChildren(children);
    return node;
}

} // namespace

void TTreeView::addNodes(TTreeNode *parent, const QList<shelf::Node> &nodes)
{
    // One insertion for the whole tree instead of one per node.
    QList<QTreeWidgetItem *> items;
    items.reserve(nodes.size());
    for (const shelf::Node &n : nodes)
        items << detached(n);
    if (parent)
        parent->addChildren(items);
    else
        addTopLevelItems(items);
}

TTreeNode *TTreeView::find(const QString &key) const
{
    for (QTreeWidgetItemIterator it(const_cast<TTreeView *>(this)); *it; ++it) {
        auto *node = static_cast<TTreeNode *>(*it);
        if (node->Data.Tid == key)
            return node;
    }
    return nullptr;
}

void TTreeView::removeNodes(const QStringList &keys)
{
    const TTreeNode *selected = Selected();
    const bool selectedGoes = selected && keys.contains(selected->Data.Tid);
    for (const QString &key : keys)
        delete find(key);
    if (selectedGoes) {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

int TTreeView::indexOf(TTreeNode *node)
{
    QTreeWidgetItem *parent = node->parent();
    return parent ? parent->indexOfChild(node) : node->treeWidget()->indexOfTopLevelItem(node);
}

void TTreeView::moveNode(TTreeNode *node, TTreeNode *target, bool after)
{
    QTreeWidgetItem *parent = node->parent();
    const bool wasSelected = node->isSelected();
    // Taking an item out collapses what lies below it; the open nodes of
    // the subtree open again once it is back.
    QList<QTreeWidgetItem *> open;
    std::function<void(QTreeWidgetItem *)> note = [&](QTreeWidgetItem *item) {
        if (item->isExpanded())
            open << item;
        for (int i = 0; i < item->childCount(); ++i)
            note(item->child(i));
    };
    note(node);
    if (parent)
        parent->takeChild(parent->indexOfChild(node));
    else
        takeTopLevelItem(indexOfTopLevelItem(node));
    const int at = indexOf(target) + (after ? 1 : 0);
    if (parent)
        parent->insertChild(at, node);
    else
        insertTopLevelItem(at, node);
    for (QTreeWidgetItem *item : open)
        item->setExpanded(true);
    if (wasSelected)
        select(node);
}

void TTreeView::mousePressEvent(QMouseEvent *event)
{
    if (onMouseDown && onMouseDown(event->button(), event->position().toPoint()))
        return;
    QTreeWidget::mousePressEvent(event);
}

void TTreeView::keyPressEvent(QKeyEvent *event)
{
    QTreeWidgetItem *before = currentItem();
    QTreeWidget::keyPressEvent(event);
    if (currentItem() && currentItem() != before && onKeySelect)
        onKeySelect(static_cast<TTreeNode *>(currentItem()));
}

void TTreeView::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->source() == this)
        QTreeWidget::dragEnterEvent(event);
    else
        event->ignore();
}

void TTreeView::dragMoveEvent(QDragMoveEvent *event)
{
    // The view scrolls and draws its indicator; whether a drop is taken is
    // the page's decision alone.
    QTreeWidget::dragMoveEvent(event);
    const bool take = event->source() == this && onDragOver && onDragOver(event->position().toPoint());
    if (take) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TTreeView::dropEvent(QDropEvent *event)
{
    if (event->source() != this || !onDragDrop) {
        event->ignore();
        return;
    }
    // The page moves the node itself; the view must not copy or remove it.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setState(NoState);
    onDragDrop(event->position().toPoint());
}
