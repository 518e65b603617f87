// The engine beneath a connection, for the store itself and for tests that
// look at what the engine makes of a statement. The program never needs it.
#pragma once

struct sqlite3;
class TADOConnection;

// The open engine handle of connection, or null while it is closed.
sqlite3 *engineHandle(const TADOConnection &connection);
