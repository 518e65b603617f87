// The engine beneath a connection, for the store itself and for tests that
// look at what the engine makes of a statement. The program never needs it.
#pragma once

#include <QString>

#include <utility>

struct sqlite3;
class TADOConnection;

// The open engine handle of connection, or null while it is closed.
sqlite3 *engineHandle(const TADOConnection &connection);

namespace engine {

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
// Runs statements that return no rows; raises the engine's error.
void exec(sqlite3 *db, const char *sql);
// The first column of the first row of sql, or "" when there is none.
QString firstValue(sqlite3 *db, const char *sql);

} // namespace engine
