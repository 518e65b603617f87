// The tables of a library. Keys are filled by the engine and never reused;
// positions are whole numbers. The indexes are on the very expressions the
// catalogue compares and sorts by (cstr(...), cint(px)), so that loading a
// level, finding an item and renumbering siblings never scan a table.
extern const char *const LibrarySchema = R"SQL(
CREATE TABLE books (
  id    INTEGER PRIMARY KEY AUTOINCREMENT,
  jb    TEXT NOT NULL DEFAULT '$',
  lbm   TEXT NOT NULL DEFAULT '',
  lbmpy TEXT NOT NULL DEFAULT '',
  px    INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX books_id    ON books (cstr(id));
CREATE INDEX books_level ON books (cstr(jb), cint(px));
CREATE INDEX books_jb    ON books (jb);

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
);
CREATE INDEX units_id    ON units (cstr(id));
CREATE INDEX units_level ON units (cstr(sc), cstr(jb), cint(px));
CREATE INDEX units_under ON units (cstr(jb), cint(px));
CREATE INDEX units_jb    ON units (jb);
)SQL";
