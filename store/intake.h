// Whole books written at once, as an import lays them: bookshelf items and
// units added in the caller's transaction with bound parameters, so that a
// failure or a cancel anywhere rolls back everything the import wrote.
#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <memory>

class TADOConnection;

namespace intake {

// Whether another connection, the program's or another tool's, has the
// library at path open. An open connection keeps a shared lock on the file
// for as long as it lives, idle or not, so only a connection alone with the
// file can take it exclusively; the lock is let go again at once.
bool heldElsewhere(const QString &path);

class Writer
{
public:
    // db must be inside a transaction. initials gives the stored initials of
    // a stored (escaped) name, as the program computes them.
    Writer(TADOConnection *db, std::function<QString(const QString &)> initials);
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    // Whether a bookshelf item with this key is in the library.
    bool bookExists(const QString &key);
    // A new bookshelf item under parentKey, named as the reader would write
    // name; when a sibling has that name already, the first free of
    // "name（2）", "name（3）"… Returns the key and the name given.
    std::pair<QString, QString> addBook(const QString &parentKey, const QString &name);
    // A unit of bookKey under parentKey ("$" for a chapter), after its
    // siblings: title, document and plain text as written. Returns its key.
    QString addUnit(const QString &bookKey, const QString &parentKey, const QString &title, const QString &html,
                    const QString &text);

private:
    struct Statements;
    TADOConnection *m_db;
    std::function<QString(const QString &)> m_initials;
    std::unique_ptr<Statements> m_st;
    QHash<QString, qint64> m_next; // the next position under each parent
};

} // namespace intake
