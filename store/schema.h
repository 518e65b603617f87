// The shape of a library as the store lays, checks and upgrades it. Only the
// store and its tests look at it.
#pragma once

#include <QString>

// The tables, indexes and checks of a fresh library.
extern const char *const LibrarySchema;

// The steps that bring a library of schema version 1 to the current one.
extern const char *const UpgradeFromVersion1;

// What keeps a reader's work from slips: the recycle bin, each page's
// earlier versions and the drafts of pages being edited. Laid in a fresh
// library and, when missing, in one of an earlier form.
extern const char *const KeepingSchema;
// The index a book's outline is read from.
extern const char *const OutlineIndex;

// What the engine guarantees about a column's values, which decides how the
// dialect may compare it: Key is the table's integer key, Whole an integer
// that a check keeps whole, Text a column of text affinity.
enum class ColumnKind { Key, Whole, Text };

struct LibraryColumn
{
    const char *table;
    const char *name;
    ColumnKind kind;
};

// Every column the program relies on, table by table. A name that stands in
// both tables has the same kind in each.
extern const LibraryColumn LibraryColumns[];
extern const int LibraryColumnCount;
