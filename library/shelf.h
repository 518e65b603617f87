// What the book page computes from the library, apart from any widget: the
// trees a level-by-level load builds under the filter rules, deletes with
// everything under them, reordering among siblings, adding with its checks
// and read-back, renaming and saving. Each operation that writes more than
// one statement runs in one transaction, so a failure leaves nothing of it.
#pragma once

#include "library/thgo.h"

#include <QList>
#include <QString>
#include <QStringList>

class TADOConnection;

namespace shelf {

// One node of a loaded tree: its record, what its caption shows, its
// children in sibling order.
struct Node
{
    Thgo rec;
    QString caption;
    QList<Node> children;
};

// The bookshelf: every category, and below them the items whose name or
// initials contain filter (all of them when it is empty); an item that does
// not match hides its subtree.
// Loads the level under jb and everything below it.
QList<Node> bookTree(TADOConnection *db, const QString &filter, const QString &jb = QStringLiteral("$"));
// The units of bookKey: every chapter, and below them the units whose title,
// initials or page text contain filter; likewise a hidden unit hides its
// subtree.
QList<Node> unitTree(TADOConnection *db, const QString &bookKey, const QString &filter,
                     const QString &jb = QStringLiteral("$"));

// A unit's document as the reader wrote it. Raises EDatabaseError when the
// row is gone.
QString pageDocument(TADOConnection *db, const QString &key);

// Deletes an item with everything under it and closes the gap among its
// later siblings. Returns the keys of the rows removed (the item first);
// empty when the item was no longer there.
QStringList deleteBook(TADOConnection *db, const QString &key);
QStringList deleteUnit(TADOConnection *db, const QString &key);

// A position written by a move.
struct Placed
{
    QString key;
    int px = 0;
    bool operator==(const Placed &o) const { return key == o.key && px == o.px; }
};

// What a move did: the positions written (none when nothing moved), and
// every sibling under parent in the new order.
struct Moved
{
    QList<Placed> written;
    QString parent;
    QStringList order;
};

// Moves the item dragged to the place of target, one of its siblings: before
// it when it stood before the dragged item, after it otherwise. The siblings
// keep their stored positions as a set and take them in the new order, so no
// two of them ever share a position, whatever a filter hides or how far
// apart the positions lie. Nothing moves for the same item, items of
// different parents or a vanished row.
Moved moveBook(TADOConnection *db, const QString &dragged, const QString &target);
Moved moveUnit(TADOConnection *db, const QString &bookKey, const QString &dragged, const QString &target);

enum class Check { Added, BadName, Duplicate, ParentGone };

struct Outcome
{
    Check check = Check::Added;
    Thgo rec; // the new row as read back, when added
};

// Adds name under parentKey ("$" for a category), numbered after its
// siblings. Refuses a name wjjhf refuses (after escaping), a name its parent
// already holds, and a parent that is no longer in the library.
Outcome addBook(TADOConnection *db, const QString &parentKey, const QString &name);
// Adds a unit titled title to bookKey under parentKey ("$" for a chapter);
// equal titles are allowed. Refuses as addBook does, but for duplicates.
Outcome addUnit(TADOConnection *db, const QString &bookKey, const QString &parentKey, const QString &title);

// Stores a new name (as the user wrote it) and its initials. Raises
// EDatabaseError when the row is gone.
void renameBook(TADOConnection *db, const QString &key, const QString &name);
void renameUnit(TADOConnection *db, const QString &key, const QString &title);

// Stores a page's document and the plain text of its body. Raises
// EDatabaseError when the row is gone, so that a save never reports success
// for nothing.
void savePage(TADOConnection *db, const QString &key, const QString &html, const QString &bodyText);

} // namespace shelf
