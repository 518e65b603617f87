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
    // A node as the last child of parent (top level when null).
    TTreeNode *addNode(TTreeNode *parent, const QString &caption, const Thgo &record);
    // Adds a loaded tree under parent (top level when null).
    void addNodes(TTreeNode *parent, const QList<shelf::Node> &nodes);
    // The node whose record has key, anywhere in the tree.
    TTreeNode *find(const QString &key) const;
    // Removes the nodes of keys with their subtrees. When the selected node
    // goes, nothing is selected after it: the view would otherwise move the
    // selection to a neighbour the page never showed.
    void removeNodes(const QStringList &keys);
    // Moves node (a sibling of target) to just before or just after target.
    void moveNode(TTreeNode *node, TTreeNode *target, bool after);
    static int indexOf(TTreeNode *node);

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
