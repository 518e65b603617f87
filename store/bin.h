// The recycle bin: what a delete removed, kept with the time and the place
// it stood, until it is put back or removed for good. Every function runs
// in the caller's transaction when one is open, else in one of its own.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class TADOConnection;

namespace bin {

struct Item
{
    qint64 id = 0;
    bool isBook = false; // a bookshelf item (category or book), else a unit
    QString key;         // the key it had
    QString name;        // as the reader wrote it
    QString place;       // where it stood, as the reader reads it
    QDateTime deletedAt; // UTC
    int pages = 0;       // the units it holds, itself included for a unit
};

// Keeps the rows of an item about to be deleted (the item first in keys,
// then everything under it) with the item's place and the pictures its
// pages use; the rows themselves are not touched. Call inside the delete's
// transaction, before the rows go.
void keep(TADOConnection *db, bool books, const QStringList &keys, const QDateTime &now);

// Everything in the bin, the newest first.
QList<Item> items(TADOConnection *db);

// What a restore did.
struct Restored
{
    bool isBook = false;
    QString key;       // the item's key, the same it had
    QString parent;    // where it was put: a jb
    QString bookKey;   // for units, the bookshelf item that holds them
    bool renamed = false; // a clashing name took the suffix "（恢复）"
    bool moved = false;   // the old place was gone
};

// Puts item back in one transaction: at its old place when its parent is
// still there, else at the bookshelf's root (units whose book is gone under
// a new category named after it). initials gives the initials of a name
// as stored. Raises EDatabaseError when the item is no longer in the bin.
Restored restore(TADOConnection *db, qint64 item, const std::function<QString(const QString &)> &initials);

// Removes items for good, with every picture of the library folder that
// they alone used. Returns the pictures removed.
QStringList remove(TADOConnection *db, const QList<qint64> &items, const QString &pictureFolder);
// The items deleted before now - days.
QList<qint64> olderThan(TADOConnection *db, const QDateTime &now, int days = 30);

// What the start-up does beside the window: removes for good the items of
// the library file's bin deleted more than days before now, and the rows
// restores left, on a connection of its own. Returns how many items went.
int expire(const QString &library, const QString &pictureFolder, const QDateTime &now, int days = 30);

// Removes at most most of the rows left by items restored since, in each
// of the bin's row tables. Returns how many went.
qint64 sweep(TADOConnection *db, qint64 most);

// The picture names (relative to the picture library) a document uses.
QStringList picturesOf(const QString &storedDocument);

} // namespace bin
