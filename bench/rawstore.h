// The engine below the store, spoken to directly: what a figure's floor does
// (one prepared statement, bytes copied and nothing else) and what the bench
// looks up or puts back around the timed handlers.
#pragma once

#include <QByteArray>
#include <QList>
#include <QVariant>

#include <vector>

class TADOConnection;
struct sqlite3;

namespace raw {

sqlite3 *handle(TADOConnection *db);

// Runs sql with params bound in order (texts, whole numbers or bytes) once,
// or once per row of paramRows, on one prepared statement; rows returns
// every column of every row as the bytes the engine holds, row after row,
// and the number of columns in columns when given. Raises EDatabaseError on
// any failure.
std::vector<QByteArray> rows(sqlite3 *db, const char *sql, const QVariantList &params = {}, int *columns = nullptr);
void each(sqlite3 *db, const char *sql, const QList<QVariantList> &paramRows);
void exec(sqlite3 *db, const char *sql);
// The first column of the first row, or an empty array.
QByteArray value(sqlite3 *db, const char *sql, const QVariantList &params = {});

// While it lives, the connection's statements fire no triggers: a floor then
// writes rows without the work the triggers add.
class NoTriggers
{
public:
    explicit NoTriggers(sqlite3 *db);
    ~NoTriggers();
    NoTriggers(const NoTriggers &) = delete;
    NoTriggers &operator=(const NoTriggers &) = delete;

private:
    sqlite3 *m_db;
};

} // namespace raw
