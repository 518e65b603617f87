#include "store/schema.h"

// The columns of both tables and their indexes, written once: a fresh
// library and the upgrade of an older one lay the very same definitions.
#define VL_BOOKS_COLUMNS \
    " (\n" \
    "  id    INTEGER PRIMARY KEY AUTOINCREMENT,\n" \
    "  jb    TEXT NOT NULL DEFAULT '$',\n" \
    "  lbm   TEXT NOT NULL DEFAULT '',\n" \
    "  lbmpy TEXT NOT NULL DEFAULT '',\n" \
    "  px    INTEGER NOT NULL DEFAULT 1\n" \
    "        CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)\n" \
    ");\n"
#define VL_BOOKS_INDEXES "CREATE INDEX books_level ON books (jb, px);\n"
#define VL_UNITS_COLUMNS \
    " (\n" \
    "  id      INTEGER PRIMARY KEY AUTOINCREMENT,\n" \
    "  sc      TEXT NOT NULL DEFAULT '',\n" \
    "  jb      TEXT NOT NULL DEFAULT '$',\n" \
    "  utitle  TEXT NOT NULL DEFAULT '',\n" \
    "  utpy    TEXT NOT NULL DEFAULT '',\n" \
    "  ucon    TEXT NOT NULL DEFAULT '',\n" \
    "  ucontxt TEXT NOT NULL DEFAULT '',\n" \
    "  ucpy    TEXT NOT NULL DEFAULT '',\n" \
    "  px      INTEGER NOT NULL DEFAULT 1\n" \
    "          CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)\n" \
    ");\n"
#define VL_UNITS_INDEXES \
    "CREATE INDEX units_level ON units (sc, jb, px);\n" \
    "CREATE INDEX units_under ON units (jb, px);\n"

// The tables of a library. Keys are filled by the engine and never reused;
// positions are whole numbers, and a check keeps them so: the dialect then
// compares and sorts positions and keys as they are stored, on plain indexes
// that any SQLite tool can read, check, rebuild and restore.
extern const char *const LibrarySchema =
    "CREATE TABLE books" VL_BOOKS_COLUMNS VL_BOOKS_INDEXES
    "CREATE TABLE units" VL_UNITS_COLUMNS VL_UNITS_INDEXES;

// Version 1 indexed cstr() and cint() expressions, which only this program
// defines. Both tables are rebuilt under the current definition (positions
// made whole by the same cint() the statements used), their key sequences
// carried over so no key is handed out twice, and the plain indexes laid.
// Run inside one transaction by the store.
extern const char *const UpgradeFromVersion1 =
    "CREATE TABLE books_next" VL_BOOKS_COLUMNS
    "INSERT INTO books_next (id, jb, lbm, lbmpy, px) SELECT id, jb, lbm, lbmpy, cint(px) FROM books;\n"
    "DELETE FROM sqlite_sequence WHERE name = 'books_next';\n"
    "INSERT INTO sqlite_sequence (name, seq) SELECT 'books_next', seq FROM sqlite_sequence WHERE name = 'books';\n"
    "DROP TABLE books;\n"
    "ALTER TABLE books_next RENAME TO books;\n" VL_BOOKS_INDEXES
    "CREATE TABLE units_next" VL_UNITS_COLUMNS
    "INSERT INTO units_next (id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px)\n"
    "  SELECT id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, cint(px) FROM units;\n"
    "DELETE FROM sqlite_sequence WHERE name = 'units_next';\n"
    "INSERT INTO sqlite_sequence (name, seq) SELECT 'units_next', seq FROM sqlite_sequence WHERE name = 'units';\n"
    "DROP TABLE units;\n"
    "ALTER TABLE units_next RENAME TO units;\n" VL_UNITS_INDEXES;

#undef VL_BOOKS_COLUMNS
#undef VL_BOOKS_INDEXES
#undef VL_UNITS_COLUMNS
#undef VL_UNITS_INDEXES

// The bin keeps the rows a delete removed, as they were, under the item
// the reader deleted: where it stood, when, and the pictures its pages use.
// A page's versions are its earlier documents, compressed; page_saves holds
// when each page's current document was saved. A draft is the unsaved
// document of a page in editing.
extern const char *const KeepingSchema =
    "CREATE TABLE IF NOT EXISTS bin_items (\n"
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
    "  kind INTEGER NOT NULL,\n"         // 0 a bookshelf item, 1 a unit
    "  root INTEGER NOT NULL,\n"         // the key of the item deleted
    "  name TEXT NOT NULL,\n"            // its name as stored
    "  parent TEXT NOT NULL,\n"          // the jb it stood under
    "  book TEXT NOT NULL DEFAULT '',\n" // a unit's book
    "  book_name TEXT NOT NULL DEFAULT '',\n"
    "  position INTEGER NOT NULL,\n"
    "  place TEXT NOT NULL,\n"           // where it stood, as the reader reads it
    "  deleted_at TEXT NOT NULL,\n"      // UTC, ISO 8601
    "  pages INTEGER NOT NULL\n"
    ");\n"
    "CREATE TABLE IF NOT EXISTS bin_books (item INTEGER NOT NULL, id INTEGER NOT NULL, jb TEXT, lbm TEXT, lbmpy TEXT,\n"
    "  px INTEGER);\n"
    "CREATE INDEX IF NOT EXISTS bin_books_item ON bin_books (item);\n"
    "CREATE TABLE IF NOT EXISTS bin_units (item INTEGER NOT NULL, id INTEGER NOT NULL, sc TEXT, jb TEXT, utitle TEXT,\n"
    "  utpy TEXT, ucon TEXT, ucontxt TEXT, ucpy TEXT, px INTEGER);\n"
    "CREATE INDEX IF NOT EXISTS bin_units_item ON bin_units (item);\n"
    "CREATE TABLE IF NOT EXISTS bin_pictures (item INTEGER NOT NULL, name TEXT NOT NULL);\n"
    "CREATE INDEX IF NOT EXISTS bin_pictures_item ON bin_pictures (item);\n"
    "CREATE TABLE IF NOT EXISTS page_history (\n"
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
    "  unit INTEGER NOT NULL,\n"
    "  saved_at TEXT NOT NULL,\n"        // when this document was saved, UTC
    "  size INTEGER NOT NULL,\n"         // its bytes as UTF-8
    "  first_line TEXT NOT NULL,\n"
    "  document BLOB NOT NULL\n"         // zlib-compressed UTF-8, as stored (escaped)
    ");\n"
    "CREATE INDEX IF NOT EXISTS page_history_unit ON page_history (unit, saved_at);\n"
    "CREATE TABLE IF NOT EXISTS page_saves (unit INTEGER PRIMARY KEY, saved_at TEXT NOT NULL);\n"
    "CREATE TABLE IF NOT EXISTS drafts (unit INTEGER PRIMARY KEY, kept_at TEXT NOT NULL, document TEXT NOT NULL);\n";

// What a book's outline reads (its units' keys, parents, titles and
// places) in order, from one index without touching the pages.
extern const char *const OutlineIndex = "CREATE INDEX IF NOT EXISTS units_outline ON units (sc, px, id, jb, utitle);\n";

extern const LibraryColumn LibraryColumns[] = {
    {"books", "id", ColumnKind::Key},        {"books", "jb", ColumnKind::Text},
    {"books", "lbm", ColumnKind::Text},      {"books", "lbmpy", ColumnKind::Text},
    {"books", "px", ColumnKind::Whole},      {"units", "id", ColumnKind::Key},
    {"units", "sc", ColumnKind::Text},       {"units", "jb", ColumnKind::Text},
    {"units", "utitle", ColumnKind::Text},   {"units", "utpy", ColumnKind::Text},
    {"units", "ucon", ColumnKind::Text},     {"units", "ucontxt", ColumnKind::Text},
    {"units", "ucpy", ColumnKind::Text},     {"units", "px", ColumnKind::Whole},
};
extern const int LibraryColumnCount = int(std::size(LibraryColumns));
