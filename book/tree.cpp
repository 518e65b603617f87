#include "book/tree.h"

#include <QDragMoveEvent>
#include <QKeyEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>

#include <algorithm>
#include <climits>

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
    // Children straight from their parents rather than through the view's
    // iterator: on a book of ten thousand units a lookup takes a tenth of a
    // millisecond instead of several, and every open page looks up every
    // change.
    QList<QTreeWidgetItem *> open{invisibleRootItem()};
    while (!open.isEmpty()) {
        const QTreeWidgetItem *item = open.takeLast();
        for (int i = 0, n = item->childCount(); i < n; ++i) {
            auto *node = static_cast<TTreeNode *>(item->child(i));
            if (node->Data.Tid == key)
                return node;
            if (node->childCount())
                open << node;
        }
    }
    return nullptr;
}

QTreeWidgetItem *TTreeView::childrenOf(const QString &parentKey) const
{
    return parentKey == QLatin1String("$") ? invisibleRootItem() : find(parentKey);
}

TTreeNode *TTreeView::addNode(const Thgo &record)
{
    QTreeWidgetItem *parent = childrenOf(record.Tjb);
    if (!parent)
        return nullptr;
    auto *node = new TTreeNode(record.Lbm, record);
    parent->addChild(node);
    return node;
}

void TTreeView::renameNode(const QString &key, const QString &name)
{
    if (TTreeNode *node = find(key)) {
        node->Data.Lbm = name;
        node->setText(0, name);
    }
}

namespace {

// The open items of a subtree, which taking it out of the view closes.
void noteOpen(QTreeWidgetItem *item, QList<QTreeWidgetItem *> &open)
{
    if (item->isExpanded())
        open << item;
    for (int i = 0; i < item->childCount(); ++i)
        noteOpen(item->child(i), open);
}

// The indexes of a longest increasing run (not necessarily contiguous) of
// values: the children that may stay where they are.
QSet<int> longestRising(const QList<int> &values)
{
    QList<int> tails; // index into values of the smallest tail of each length
    QList<int> before(values.size(), -1);
    for (int i = 0; i < values.size(); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), values.at(i),
                                         [&values](int t, int v) { return values.at(t) < v; });
        if (at != tails.begin())
            before[i] = *(at - 1);
        if (at == tails.end())
            tails << i;
        else
            *at = i;
    }
    QSet<int> run;
    for (int i = tails.isEmpty() ? -1 : tails.last(); i >= 0; i = before.at(i))
        run.insert(i);
    return run;
}

} // namespace

void TTreeView::reorder(const QString &parentKey, const QStringList &order)
{
    QTreeWidgetItem *parent = childrenOf(parentKey);
    if (!parent)
        return;
    QHash<QString, int> rank;
    for (int i = 0; i < order.size(); ++i)
        rank.insert(order.at(i), i);
    QList<QTreeWidgetItem *> wanted;
    for (int i = 0; i < parent->childCount(); ++i)
        wanted << parent->child(i);
    const QList<QTreeWidgetItem *> now = wanted;
    std::stable_sort(wanted.begin(), wanted.end(), [&rank](QTreeWidgetItem *a, QTreeWidgetItem *b) {
        return rank.value(static_cast<TTreeNode *>(a)->Data.Tid, INT_MAX)
               < rank.value(static_cast<TTreeNode *>(b)->Data.Tid, INT_MAX);
    });
    if (wanted == now)
        return;
    // Only the children off the longest run already in order move, so a
    // drag elsewhere moves one node here, however many siblings it has.
    QList<int> was;
    for (QTreeWidgetItem *item : wanted)
        was << int(now.indexOf(item));
    const QSet<int> stay = longestRising(was);
    TTreeNode *selected = Selected();
    QTreeWidgetItem *current = currentItem();
    const int down = verticalScrollBar()->value();
    const int across = horizontalScrollBar()->value();
    for (int i = 0; i < wanted.size(); ++i) {
        if (stay.contains(i))
            continue;
        QTreeWidgetItem *item = wanted.at(i);
        QList<QTreeWidgetItem *> open;
        noteOpen(item, open);
        parent->takeChild(parent->indexOfChild(item));
        parent->insertChild(i == 0 ? 0 : parent->indexOfChild(wanted.at(i - 1)) + 1, item);
        for (QTreeWidgetItem *o : open)
            o->setExpanded(true);
    }
    // Taking a node out moves the view's current item and selection to a
    // neighbour; both come back to where they were.
    clearSelection();
    if (current)
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    if (selected)
        selected->setSelected(true);
    verticalScrollBar()->setValue(down);
    horizontalScrollBar()->setValue(across);
}

void TTreeView::insertFrom(const QString &parentKey, const QString &key, const QList<shelf::Node> &level, bool expand)
{
    QTreeWidgetItem *parent = childrenOf(parentKey);
    if (!parent || find(key))
        return;
    const auto it = std::find_if(level.cbegin(), level.cend(), [&key](const shelf::Node &n) { return n.rec.Tid == key; });
    if (it == level.cend())
        return;
    QHash<QString, QTreeWidgetItem *> shown;
    for (int i = 0; i < parent->childCount(); ++i)
        shown.insert(static_cast<TTreeNode *>(parent->child(i))->Data.Tid, parent->child(i));
    int at = 0;
    for (auto before = it; before != level.cbegin();) {
        if (QTreeWidgetItem *sibling = shown.value((--before)->rec.Tid)) {
            at = parent->indexOfChild(sibling) + 1;
            break;
        }
    }
    TTreeNode *node = detached(*it);
    parent->insertChild(at, node);
    if (expand)
        expandRecursively(indexFromItem(node));
}

bool TTreeView::removeNodes(const QStringList &keys)
{
    const QSet<QString> gone(keys.cbegin(), keys.cend());
    bool selectedGoes = false;
    for (const QTreeWidgetItem *up = Selected(); up && !selectedGoes; up = up->parent())
        selectedGoes = gone.contains(static_cast<const TTreeNode *>(up)->Data.Tid);
    // One pass over the tree; a node that goes takes its subtree along.
    QList<QTreeWidgetItem *> doomed;
    std::function<void(QTreeWidgetItem *)> walk = [&](QTreeWidgetItem *item) {
        for (int i = 0; i < item->childCount(); ++i) {
            QTreeWidgetItem *child = item->child(i);
            if (gone.contains(static_cast<TTreeNode *>(child)->Data.Tid))
                doomed << child;
            else
                walk(child);
        }
    };
    walk(invisibleRootItem());
    qDeleteAll(doomed);
    if (selectedGoes) {
        clearSelection();
        setCurrentItem(nullptr);
    }
    return selectedGoes;
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
