#include "library/library.h"

#include "ztking/ztking.h"

Library::Library(TADOConnection *db, QObject *parent)
    : QObject(parent)
    , m_db(db)
{
}

shelf::Outcome Library::addBook(const QString &parentKey, const QString &name)
{
    const shelf::Outcome out = shelf::addBook(m_db, parentKey, name);
    if (out.check == shelf::Check::Added)
        emit added(true, out.rec, QString());
    return out;
}

shelf::Outcome Library::addUnit(const QString &bookKey, const QString &parentKey, const QString &title)
{
    const shelf::Outcome out = shelf::addUnit(m_db, bookKey, parentKey, title);
    if (out.check == shelf::Check::Added)
        emit added(false, out.rec, bookKey);
    return out;
}

void Library::renameBook(const QString &key, const QString &name)
{
    shelf::renameBook(m_db, key, name);
    emit renamed(true, key, name);
}

void Library::renameUnit(const QString &key, const QString &title)
{
    shelf::renameUnit(m_db, key, title);
    emit renamed(false, key, title);
}

bool Library::moveBook(const QString &dragged, const QString &target)
{
    const shelf::Moved m = shelf::moveBook(m_db, dragged, target);
    if (m.written.isEmpty())
        return false;
    emit moved(true, m.parent, m.order);
    return true;
}

bool Library::moveUnit(const QString &bookKey, const QString &dragged, const QString &target)
{
    const shelf::Moved m = shelf::moveUnit(m_db, bookKey, dragged, target);
    if (m.written.isEmpty())
        return false;
    emit moved(false, m.parent, m.order);
    return true;
}

QStringList Library::deleteBook(const QString &key)
{
    QStringList gone = shelf::deleteBook(m_db, key);
    if (gone.isEmpty())
        gone << key;
    emit deleted(true, gone);
    return gone;
}

QStringList Library::deleteUnit(const QString &key)
{
    QStringList gone = shelf::deleteUnit(m_db, key);
    if (gone.isEmpty())
        gone << key;
    emit deleted(false, gone);
    return gone;
}

void Library::savePage(const QString &unitKey, const QString &html, const QString &bodyText)
{
    shelf::savePage(m_db, unitKey, html, bodyText);
    emit saved(unitKey);
}

bin::Restored Library::restore(qint64 binItem)
{
    const bin::Restored r = bin::restore(m_db, binItem, &Ztking::Getpy);
    emit restored(r);
    return r;
}

void Library::bookAdded(const Thgo &rec)
{
    emit added(true, rec, QString());
}
