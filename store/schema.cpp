#include "store/schema.h"

// The tables of a library. Keys are filled by the engine and never reused;
// positions are whole numbers, and a check keeps them so: the dialect then
// compares and sorts positions and keys as they are stored, on plain indexes
// that any SQLite tool can read, check, rebuild and restore.
extern const char *const LibrarySchema = R"SQL(
CREATE TABLE books (
  id    INTEGER PRIMARY KEY AUTOINCREMENT,
  jb    TEXT NOT NULL DEFAULT '$',
  lbm   TEXT NOT NULL DEFAULT '',
  lbmpy TEXT NOT NULL DEFAULT '',
  px    INTEGER NOT NULL DEFAULT 1
        CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)
);
CREATE INDEX books_level ON books (jb, px);

CREATE TABLE units (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  sc      TEXT NOT NULL DEFAULT '',
  jb      TEXT NOT NULL DEFAULT '$',
  utitle  TEXT NOT NULL DEFAULT '',
  utpy    TEXT NOT NULL DEFAULT '',
  ucon    TEXT NOT NULL DEFAULT '',
  ucontxt TEXT NOT NULL DEFAULT '',
  ucpy    TEXT NOT NULL DEFAULT '',
  px      INTEGER NOT NULL DEFAULT 1
          CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)
);
CREATE INDEX units_level ON units (sc, jb, px);
CREATE INDEX units_under ON units (jb, px);
)SQL";

// Version 1 indexed cstr() and cint() expressions, which only this program
// defines. Both tables are rebuilt under the current definition (positions
// made whole by the same cint() the statements used), their key sequences
// carried over so no key is handed out twice, and the plain indexes laid.
// Run inside one transaction by the store.
extern const char *const UpgradeFromVersion1 = R"SQL(
CREATE TABLE books_next (
  id    INTEGER PRIMARY KEY AUTOINCREMENT,
  jb    TEXT NOT NULL DEFAULT '$',
  lbm   TEXT NOT NULL DEFAULT '',
  lbmpy TEXT NOT NULL DEFAULT '',
  px    INTEGER NOT NULL DEFAULT 1
        CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)
);
INSERT INTO books_next (id, jb, lbm, lbmpy, px) SELECT id, jb, lbm, lbmpy, cint(px) FROM books;
DELETE FROM sqlite_sequence WHERE name = 'books_next';
INSERT INTO sqlite_sequence (name, seq) SELECT 'books_next', seq FROM sqlite_sequence WHERE name = 'books';
DROP TABLE books;
ALTER TABLE books_next RENAME TO books;
CREATE INDEX books_level ON books (jb, px);

CREATE TABLE units_next (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  sc      TEXT NOT NULL DEFAULT '',
  jb      TEXT NOT NULL DEFAULT '$',
  utitle  TEXT NOT NULL DEFAULT '',
  utpy    TEXT NOT NULL DEFAULT '',
  ucon    TEXT NOT NULL DEFAULT '',
  ucontxt TEXT NOT NULL DEFAULT '',
  ucpy    TEXT NOT NULL DEFAULT '',
  px      INTEGER NOT NULL DEFAULT 1
          CHECK (typeof(px) = 'integer' AND px BETWEEN -2147483648 AND 2147483647)
);
INSERT INTO units_next (id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px)
  SELECT id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, cint(px) FROM units;
DELETE FROM sqlite_sequence WHERE name = 'units_next';
INSERT INTO sqlite_sequence (name, seq) SELECT 'units_next', seq FROM sqlite_sequence WHERE name = 'units';
DROP TABLE units;
ALTER TABLE units_next RENAME TO units;
CREATE INDEX units_level ON units (sc, jb, px);
CREATE INDEX units_under ON units (jb, px);
)SQL";

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
