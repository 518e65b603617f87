// The tree both sides of a book page are built from: nodes that carry a
// Thgo record, a read-only switch around in-place renaming, handlers for
// presses, renames and drops among siblings, and a selection drawn red on
// yellow that stays visible without focus.
#pragma once

#include "library/shelf.h"
#include "library/thgo.h"

#include <QTreeWidget>

#include <functional>

class TTreeNode : public QTreeWidgetItem
{
public:
    TTreeNode(const QString &caption, const Thgo &data);
    Thgo Data;
    // A page's document is read when the page is first shown, not with
    // the tree: most pages of a large book are never opened.
    bool contentRead = false;
};

class TTreeView : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TTreeView(QWidget *parent);

    // While read-only a caption is edited only when the program asks.
    bool ReadOnly() const { return m_readOnly; }
    void setReadOnly(bool on);

    TTreeNode *nodeAt(const QPoint &viewportPos) const;
    TTreeNode *Selected() const;
    void select(TTreeNode *node);
    // Adds a loaded tree under parent (top level when null).
    void addNodes(TTreeNode *parent, const QList<shelf::Node> &nodes);
    // The node whose record has key, anywhere in the tree.
    TTreeNode *find(const QString &key) const;
    // The item whose children are the nodes under parentKey: the invisible
    // root for "$"; null when that node is not shown.
    QTreeWidgetItem *childrenOf(const QString &parentKey) const;

    // Changes made elsewhere, shown in place: every other node, the
    // selection, what is open and the scroll position stay as they are.
    //
    // A node for record as the last child of its parent, when the parent
    // is shown.
    TTreeNode *addNode(const Thgo &record);
    void renameNode(const QString &key, const QString &name);
    // Puts the children under parentKey in the order of keys; those not
    // named keep their order behind them.
    void reorder(const QString &parentKey, const QStringList &order);
    // Puts the node of key with its subtree from level, the nodes under
    // parentKey as the library has them, after the nearest of its earlier
    // siblings shown; open when expand. Nothing when the parent is not shown
    // or level leaves the node out.
    void insertFrom(const QString &parentKey, const QString &key, const QList<shelf::Node> &level, bool expand);
    // Removes the nodes of keys with their subtrees; true when the selected
    // node went. Then nothing is selected after it: the view would otherwise
    // move the selection to a neighbour the page never showed.
    bool removeNodes(const QStringList &keys);

    // Handlers of the page. A press handler that returns true swallows the
    // press: it selects nothing and starts no drag.
    std::function<bool(Qt::MouseButton, const QPoint &)> onMouseDown;
    std::function<bool(const QPoint &)> onDragOver;
    std::function<void(const QPoint &)> onDragDrop;
    std::function<void(TTreeNode *, QString &)> onEdited;
    std::function<void(TTreeNode *)> onCancelEdit;
    // The keyboard moved the selection to node.
    std::function<void(TTreeNode *)> onKeySelect;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool m_readOnly = true;
};
