// One side of a book page: a tree with its filter box, and all that the
// bookshelf and the chapter tree do alike: renaming in place, dropping among
// siblings, deleting after a question, and showing in place what the library
// announces, whichever page made the change.
#pragma once

#include "library/thgo.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Library;
class QLineEdit;
class QPoint;
class QWidget;
class TTreeNode;
class TTreeView;
namespace bin {
struct Restored;
}

class TTreePane : public QObject
{
    Q_OBJECT
public:
    // books: the bookshelf; otherwise the units of the book that shownBook
    // names. The page is where the pane's questions appear.
    TTreePane(bool books, TTreeView *tree, QLineEdit *filter, std::function<QString()> shownBook, QWidget *page);

    void setLibrary(Library *library);

    // A press on a node: true when it only ends a rename and is swallowed;
    // otherwise the node is chosen.
    bool press(const QPoint &pos);
    // Renaming starts on the selected node; a new name is taken unless it
    // is unchanged or refused (then S comes back as Oldname).
    void startRename();
    void cancelRename();
    void edited(TTreeNode *node, QString &S);
    // Drops are taken on siblings of the selected node, which the library
    // moves.
    bool dragOver(const QPoint &pos) const;
    void dragDrop(const QPoint &pos);
    // Asks, then deletes the selected node with everything under it.
    void deleteSelected();

signals:
    void chosen(TTreeNode *node);
    // The selected node went with a delete, or took a new name.
    void selectedGone();
    void selectedRenamed(const QString &name);

private:
    void added(bool isBook, const Thgo &rec, const QString &bookKey);
    void renamed(bool isBook, const QString &key, const QString &name);
    void moved(bool isBook, const QString &parentKey, const QStringList &order);
    void deleted(bool isBook, const QStringList &keys);
    void restored(const bin::Restored &what);
    // Inserts key from the level under parentKey as the library has it.
    void insertFromLibrary(const QString &parentKey, const QString &key, const QString &bookKey);
    void inform(const QString &text);

    const bool m_books;
    TTreeView *m_tree;
    QLineEdit *m_filter;
    std::function<QString()> m_shownBook;
    QWidget *m_page;
    Library *m_library = nullptr;
};
