// The reader's library as the forms change it: every write of a form goes
// through here, and each is announced once it is stored, so that every open
// page shows it at once, in place. The main window keeps one for the
// process.
#pragma once

#include "library/shelf.h"
#include "library/thgo.h"
#include "store/bin.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TADOConnection;

class Library : public QObject
{
    Q_OBJECT
public:
    Library(TADOConnection *db, QObject *parent);

    TADOConnection *connection() const { return m_db; }
    // The library file opened again, as after a way back from a damaged one.
    void setConnection(TADOConnection *db) { m_db = db; }

    // As shelf does; added is announced only for an outcome Added.
    shelf::Outcome addBook(const QString &parentKey, const QString &name);
    shelf::Outcome addUnit(const QString &bookKey, const QString &parentKey, const QString &title);
    void renameBook(const QString &key, const QString &name);
    void renameUnit(const QString &key, const QString &title);
    // False when nothing moved.
    bool moveBook(const QString &dragged, const QString &target);
    bool moveUnit(const QString &bookKey, const QString &dragged, const QString &target);
    // The keys of the rows removed, the item first. An item no longer in the
    // library is announced gone all the same, so that no page keeps it.
    QStringList deleteBook(const QString &key);
    QStringList deleteUnit(const QString &key);
    void savePage(const QString &unitKey, const QString &html, const QString &bodyText);
    // Puts an item of the recycle bin back.
    bin::Restored restore(qint64 binItem);
    // Announces a book written into the library by other means (an import
    // in one transaction of its own), so that every open page shows it.
    void bookAdded(const Thgo &rec);

signals:
    // bookKey: for a unit, the book it belongs to.
    void added(bool isBook, const Thgo &rec, const QString &bookKey);
    void renamed(bool isBook, const QString &key, const QString &name);
    // Every sibling under parentKey, in their new order. Units at the top
    // of a book have the parent "$", as every book's chapters do.
    void moved(bool isBook, const QString &parentKey, const QStringList &siblingOrder);
    // Everything removed: the item and all under it.
    void deleted(bool isBook, const QStringList &keys);
    void saved(const QString &unitKey);
    void restored(const bin::Restored &what);

private:
    TADOConnection *m_db;
};
