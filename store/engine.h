// The engine beneath a connection, for the store itself and for tests that
// look at what the engine makes of a statement. The program never needs it.
#pragma once

#include "store/connection.h"

#include <QByteArray>
#include <QString>

#include <utility>

struct sqlite3;
struct sqlite3_stmt;
class TADOConnection;

// The open engine handle of connection, or null while it is closed.
sqlite3 *engineHandle(const TADOConnection &connection);
// A second, read-only handle on the open library of connection, for a
// worker thread; it sees what is committed. Raises when it cannot be opened.
sqlite3 *engineReader(TADOConnection &connection);

namespace engine {

// The open handle of connection; raises EDatabaseError when there is none.
sqlite3 *openHandle(TADOConnection *connection);

// Runs work(handle) in the caller's transaction when one is open, else in
// one of its own, committed when work returns and rolled back when it
// raises.
template<typename Work>
auto inTransaction(TADOConnection *db, Work work)
{
    if (db->InTransaction())
        return work(openHandle(db));
    db->BeginTrans();
    try {
        auto out = work(openHandle(db));
        db->CommitTrans();
        return out;
    } catch (...) {
        db->RollbackTrans();
        throw;
    }
}

// An engine handle that closes with its scope.
struct Handle
{
    sqlite3 *db = nullptr;
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle();
    sqlite3 *release() { return std::exchange(db, nullptr); }
};

// Opens the file at path with the functions of the dialect; flags are the
// engine's open flags. A handle opened read-only never folds a journal it
// finds into the file when it closes. Raises EDatabaseError with the cause.
void open(Handle &h, const QString &path, int flags);
// text as the engine takes it: a NUL, at which the engine would end the
// text, is refused with EDatabaseError; a lone surrogate becomes U+FFFD,
// never a silent "?".
QByteArray storedUtf8(const QString &text);
// Runs statements that return no rows; raises the engine's error.
void exec(sqlite3 *db, const char *sql);
// The first column of the first row of sql, or "" when there is none.
QString firstValue(sqlite3 *db, const char *sql);

// One prepared statement with bound parameters, finalized with its scope.
// Every failure raises EDatabaseError with the engine's text.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters count from 1, as the engine's do.
    Statement &bind(int i, const QString &text);
    Statement &bind(int i, const QByteArray &utf8);
    Statement &bind(int i, qint64 value);
    Statement &bindBlob(int i, const QByteArray &bytes);
    // Steps once: true while there is a row.
    bool step();
    // Runs to the end, for statements without rows.
    void run();
    // Makes the statement ready to run again with new parameters.
    void reset();

    qint64 integer(int column) const;
    double real(int column) const;
    QString text(int column) const;
    QByteArray utf8(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_st = nullptr;
};

} // namespace engine
