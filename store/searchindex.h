// The index beneath the search, as the store lays and keeps it: its tables
// and triggers, the tokenizer every handle on a library registers, and the
// steps that bring it in step. Only the store uses it.
#pragma once

#include "store/search.h"

struct sqlite3;

namespace searchindex {

// Its tables and the triggers through which any writer, the stock sqlite3
// shell too, logs the rows the index has yet to take in.
extern const char *const Schema;
// Removes what is left of them, for a library that lost part of its index.
extern const char *const Unlay;

// The tokenizer the index is laid with: every character and every pair of
// neighbours, folded for letter case, so any substring is found.
void registerTokenizer(sqlite3 *db);

// Whether the library holds the index.
bool laid(sqlite3 *db);

// Takes in the rows logged since the last call. Runs inside the caller's
// transaction.
qint64 catchUp(sqlite3 *db, const search::Progress &progress = {});

// Removes from the index, most rows at a time, the entries of deleted rows
// that searches pass by; returns how many are left.
qint64 purge(sqlite3 *db, qint64 most);

// Lays the index afresh from the tables inside the caller's transaction.
void rebuild(sqlite3 *db, const search::Progress &progress = {});

} // namespace searchindex
