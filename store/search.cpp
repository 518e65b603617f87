#include "store/search.h"

#include "store/catalogue.h"
#include "store/connection.h"
#include "store/engine.h"
#include "store/escape.h"
#include "store/fold.h"
#include "store/searchindex.h"

#include <QHash>
#include <QScopeGuard>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <future>
#include <limits>
#include <optional>
#include <vector>

// The index is two contentless FTS5 tables, one for the bookshelf and one
// for the units, with keys equal to the rows' keys. Each character of a text
// is a token, and so is each pair of neighbours at the same place: a phrase
// of pairs finds any substring of two or more characters, a single token any
// character, so one and two Chinese characters are found as surely as long
// words. A unit also carries its book's key as one token of its own, so a
// book's filter asks the index for that book alone.
//
// Contentless tables forget the text; removing a row's entries needs the
// values it was indexed with. The triggers therefore log a changed row with
// its old values (search_pending); a deleted row's entries stay, passed by
// through search_gone, until a purge beside the window removes them, so a
// delete of thousands of pages costs no more than a copy of their rows.

namespace searchindex {

// The form of the tokens, written into the tables' declaration: a library
// whose index was laid with other tokens is laid afresh when opened.
#define IndexForm "2"

// Two bytes no UTF-8 text holds mark what the tokenizer takes whole (a key)
// and a query whose characters may stand in either width.
constexpr char KeyMark = '\xff';
constexpr char WideMark = '\xfe';
// In a query after the width mark: the next character also stands in its
// other width. No typed text holds it (control characters are dropped).
constexpr char OtherWidthMark = '\x01';

extern const char *const Schema =
    "CREATE VIRTUAL TABLE search_books USING fts5(name, initials, content='', tokenize='velloran " IndexForm "');\n"
    "CREATE VIRTUAL TABLE search_units USING fts5(book, title, initials, body, content='', tokenize='velloran "
    IndexForm "');\n"
    // kind 0 a book, 1 a unit; indexed tells whether the values are those
    // the index holds for the row.
    "CREATE TABLE search_pending (kind INTEGER NOT NULL, id INTEGER NOT NULL, indexed INTEGER NOT NULL,\n"
    "  sc TEXT, name TEXT, initials TEXT, body TEXT, PRIMARY KEY (kind, id)) WITHOUT ROWID;\n"
    "CREATE TABLE search_gone (kind INTEGER NOT NULL, id INTEGER NOT NULL,\n"
    "  sc TEXT, name TEXT, initials TEXT, body TEXT, PRIMARY KEY (kind, id)) WITHOUT ROWID;\n"
    "CREATE TRIGGER search_book_added AFTER INSERT ON books BEGIN\n"
    "  INSERT OR IGNORE INTO search_pending (kind, id, indexed) VALUES (0, new.id, 0);\n"
    "END;\n"
    "CREATE TRIGGER search_book_changed AFTER UPDATE OF id, lbm, lbmpy ON books BEGIN\n"
    "  INSERT OR IGNORE INTO search_pending VALUES (0, old.id, 1, NULL, old.lbm, old.lbmpy, NULL);\n"
    "  INSERT OR IGNORE INTO search_pending (kind, id, indexed) VALUES (0, new.id, 0);\n"
    "END;\n"
    "CREATE TRIGGER search_book_removed AFTER DELETE ON books BEGIN\n"
    "  INSERT OR IGNORE INTO search_gone SELECT kind, id, sc, name, initials, body FROM search_pending\n"
    "    WHERE kind = 0 AND id = old.id AND indexed = 1;\n"
    "  INSERT OR IGNORE INTO search_gone SELECT 0, old.id, NULL, old.lbm, old.lbmpy, NULL\n"
    "    WHERE NOT EXISTS (SELECT 1 FROM search_pending WHERE kind = 0 AND id = old.id);\n"
    "  DELETE FROM search_pending WHERE kind = 0 AND id = old.id;\n"
    "END;\n"
    "CREATE TRIGGER search_unit_added AFTER INSERT ON units BEGIN\n"
    "  INSERT OR IGNORE INTO search_pending (kind, id, indexed) VALUES (1, new.id, 0);\n"
    "END;\n"
    "CREATE TRIGGER search_unit_changed AFTER UPDATE OF id, sc, utitle, utpy, ucontxt ON units BEGIN\n"
    "  INSERT OR IGNORE INTO search_pending VALUES (1, old.id, 1, old.sc, old.utitle, old.utpy, old.ucontxt);\n"
    "  INSERT OR IGNORE INTO search_pending (kind, id, indexed) VALUES (1, new.id, 0);\n"
    "END;\n"
    "CREATE TRIGGER search_unit_removed AFTER DELETE ON units BEGIN\n"
    "  INSERT OR IGNORE INTO search_gone SELECT kind, id, sc, name, initials, body FROM search_pending\n"
    "    WHERE kind = 1 AND id = old.id AND indexed = 1;\n"
    "  INSERT OR IGNORE INTO search_gone SELECT 1, old.id, old.sc, old.utitle, old.utpy, old.ucontxt\n"
    "    WHERE NOT EXISTS (SELECT 1 FROM search_pending WHERE kind = 1 AND id = old.id);\n"
    "  DELETE FROM search_pending WHERE kind = 1 AND id = old.id;\n"
    "END;\n";

extern const char *const Unlay =
    "DROP TRIGGER IF EXISTS search_book_added; DROP TRIGGER IF EXISTS search_book_changed;\n"
    "DROP TRIGGER IF EXISTS search_book_removed; DROP TRIGGER IF EXISTS search_unit_added;\n"
    "DROP TRIGGER IF EXISTS search_unit_changed; DROP TRIGGER IF EXISTS search_unit_removed;\n"
    "DROP TABLE IF EXISTS search_books; DROP TABLE IF EXISTS search_units;\n"
    "DROP TABLE IF EXISTS search_pending; DROP TABLE IF EXISTS search_gone;\n";

namespace {

// --- the tokenizer ---------------------------------------------------------

struct Char
{
    char32_t c;
    int start, end;
    bool wide; // a query's character sought in both widths
};

int encode(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (c >> 18));
    out[1] = char(0x80 | ((c >> 12) & 0x3F));
    out[2] = char(0x80 | ((c >> 6) & 0x3F));
    out[3] = char(0x80 | (c & 0x3F));
    return 4;
}

// The same character in the other width, or 0: the half-width forms of
// ASCII and the blank against their full-width forms.
char32_t otherWidth(char32_t c)
{
    if (c >= 0x21 && c <= 0x7E)
        return c + 0xFEE0;
    if (c >= 0xFF01 && c <= 0xFF5E)
        return c - 0xFEE0;
    if (c == 0x20)
        return 0x3000;
    if (c == 0x3000)
        return 0x20;
    return 0;
}

using TokenSink = int (*)(void *, int, const char *, int, int, int);

// Characters of the scripts beyond the alphabets (CJK and after) that are
// indexed alone as well as in pairs; the full-width forms of ASCII are
// sought in both widths and so like ASCII by prefix.
bool standsAlone(char32_t c)
{
    return c >= 0x2E80 && otherWidth(c) == 0;
}

int tokenCreate(void *, const char **, int, Fts5Tokenizer **out)
{
    static int one;
    *out = reinterpret_cast<Fts5Tokenizer *>(&one);
    return SQLITE_OK;
}

void tokenDelete(Fts5Tokenizer *) {}

int tokenize(Fts5Tokenizer *, void *ctx, int flags, const char *text, int n, TokenSink sink)
{
    if (n > 0 && text[0] == KeyMark)
        return sink(ctx, 0, text, n, 0, n);
    const bool query = (flags & FTS5_TOKENIZE_QUERY) != 0;
    int from = 0;
    bool widen = false;
    if (n > 0 && text[0] == WideMark) {
        from = 1;
        widen = query;
    }
    thread_local std::vector<Char> chars;
    chars.clear();
    bool nextWide = false;
    forEachCodePoint(reinterpret_cast<const unsigned char *>(text) + from, n - from,
                     [from, widen, &nextWide](char32_t c, int s, int e) {
                         if (widen && c == char32_t(OtherWidthMark)) {
                             nextWide = true;
                             return;
                         }
                         chars.push_back({foldCase(c), s + from, e + from, std::exchange(nextWide, false)});
                     });
    const int count = int(chars.size());
    char buf[8];
    if (!query) {
        // Each pair, and the last character alone: every character then
        // begins a token, which a query of one character finds by prefix.
        // An ideograph also stands alone, for one of them is a word a
        // reader looks for, and a prefix of it a slow query.
        for (int i = 0; i < count; ++i) {
            int len = encode(chars[i].c, buf);
            if (i + 1 == count)
                return sink(ctx, 0, buf, len, chars[i].start, chars[i].end);
            if (standsAlone(chars[i].c)) {
                if (int rc = sink(ctx, 0, buf, len, chars[i].start, chars[i].end); rc != SQLITE_OK)
                    return rc;
            }
            len += encode(chars[i + 1].c, buf + len);
            if (int rc = sink(ctx, standsAlone(chars[i].c) ? FTS5_TOKEN_COLOCATED : 0, buf, len, chars[i].start,
                              chars[i + 1].end);
                rc != SQLITE_OK)
                return rc;
        }
        return SQLITE_OK;
    }
    // A query: one character alone, else the phrase of its pairs; with the
    // width mark, each in every mix of widths as alternatives at its place.
    if (count == 1) {
        const char32_t alt[2] = {chars[0].c, chars[0].wide ? otherWidth(chars[0].c) : 0};
        for (int k = 0; k < 2; ++k) {
            if (!alt[k])
                continue;
            const int len = encode(alt[k], buf);
            if (int rc = sink(ctx, k ? FTS5_TOKEN_COLOCATED : 0, buf, len, chars[0].start, chars[0].end);
                rc != SQLITE_OK)
                return rc;
        }
        return SQLITE_OK;
    }
    for (int i = 0; i + 1 < count; ++i) {
        const char32_t a[2] = {chars[i].c, chars[i].wide ? otherWidth(chars[i].c) : 0};
        const char32_t b[2] = {chars[i + 1].c, chars[i + 1].wide ? otherWidth(chars[i + 1].c) : 0};
        bool first = true;
        for (char32_t x : a) {
            for (char32_t y : b) {
                if (!x || !y)
                    continue;
                int len = encode(x, buf);
                len += encode(y, buf + len);
                if (int rc = sink(ctx, first ? 0 : FTS5_TOKEN_COLOCATED, buf, len, chars[i].start, chars[i + 1].end);
                    rc != SQLITE_OK)
                    return rc;
                first = false;
            }
        }
    }
    return SQLITE_OK;
}

fts5_tokenizer Tokenizer{tokenCreate, tokenDelete, tokenize};

// velloran_rank(search_units): how well a unit answers the query, higher
// better: above all whether a word stands in its title or initials, then
// how often the words stand in its text. It reads only the hits' places,
// which a large result of a common character makes the measure of speed.
void rankUnit(const Fts5ExtensionApi *api, Fts5Context *ctx, sqlite3_context *out, int, sqlite3_value **)
{
    double score = 0;
    bool title = false;
    const int phrases = api->xPhraseCount(ctx);
    for (int p = 0; p < phrases; ++p) {
        Fts5PhraseIter it;
        int column = 0, offset = 0, inText = 0;
        for (api->xPhraseFirst(ctx, p, &it, &column, &offset); column >= 0;
             api->xPhraseNext(ctx, &it, &column, &offset)) {
            if (column == 1 || column == 2)
                title = true;
            else if (column == 3)
                ++inText;
        }
        score += std::log1p(inText);
    }
    sqlite3_result_double(out, (title ? 1e6 : 0) + score);
}

using engine::Statement;

qint64 count(sqlite3 *db, const char *sql)
{
    Statement st(db, sql);
    return st.step() ? st.integer(0) : 0;
}

QByteArray keyToken(const QByteArray &key)
{
    return KeyMark + key;
}

// What the index holds of a row: the stored text with its escaping undone,
// initials as stored.
QByteArray asWritten(QByteArray stored)
{
    // The markers are ASCII, so undoing them on the UTF-8 bytes is the same
    // as Dataunesc on the text, in the same order.
    if (!stored.contains('#'))
        return stored;
    return stored.replace("&#8989", "'")
        .replace("[G#O]", "GO")
        .replace("[G#o]", "Go")
        .replace("[g#O]", "gO")
        .replace("[g#o]", "go");
}

// The statements that put rows into the index and take them out.
struct Writers
{
    explicit Writers(sqlite3 *db)
        : addBook(db, "INSERT INTO search_books (rowid, name, initials) VALUES (?, ?, ?)")
        , dropBook(db, "INSERT INTO search_books (search_books, rowid, name, initials) VALUES ('delete', ?, ?, ?)")
        , addUnit(db, "INSERT INTO search_units (rowid, book, title, initials, body) VALUES (?, ?, ?, ?, ?)")
        , dropUnit(db, "INSERT INTO search_units (search_units, rowid, book, title, initials, body) "
                       "VALUES ('delete', ?, ?, ?, ?, ?)")
    {
    }

    void book(Statement &st, qint64 id, const QByteArray &name, const QByteArray &initials)
    {
        st.bind(1, id).bind(2, asWritten(name)).bind(3, initials);
        st.run();
    }
    void unit(Statement &st, qint64 id, const QByteArray &sc, const QByteArray &title, const QByteArray &initials,
              const QByteArray &body)
    {
        st.bind(1, id).bind(2, keyToken(sc)).bind(3, asWritten(title)).bind(4, initials).bind(5, asWritten(body));
        st.run();
    }

    Statement addBook, dropBook, addUnit, dropUnit;
};

bool tell(const search::Progress &progress, qint64 done, qint64 total)
{
    if (progress && !progress(done, total))
        throw EDatabaseError(QStringLiteral("已取消。"));
    return true;
}

} // namespace

void registerTokenizer(sqlite3 *db)
{
    fts5_api *api = nullptr;
    {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT fts5(?1)", -1, &st, nullptr) != SQLITE_OK)
            throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
        sqlite3_bind_pointer(st, 1, static_cast<void *>(&api), "fts5_api_ptr", nullptr);
        sqlite3_step(st);
        sqlite3_finalize(st);
    }
    if (!api || api->xCreateTokenizer(api, "velloran", nullptr, &Tokenizer, nullptr) != SQLITE_OK
        || api->xCreateFunction(api, "velloran_rank", nullptr, rankUnit, nullptr) != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("The engine offers no full-text index (FTS5)."));
}

bool laid(sqlite3 *db)
{
    return count(db, "SELECT count(*) FROM sqlite_schema WHERE name IN ('search_pending', 'search_gone') "
                     "OR (name IN ('search_books', 'search_units') AND sql LIKE '%tokenize=''velloran " IndexForm "''%')")
           == 4;
}

qint64 catchUp(sqlite3 *db, const search::Progress &progress)
{
    if (count(db, "SELECT EXISTS (SELECT 1 FROM search_pending)") == 0)
        return 0;
    // Rows that came back as they went (a restore from the bin): the entries
    // the index still holds are their own again. Decided by the engine in
    // one pass that drops each copy as soon as it is compared, for a restore
    // brings back thousands of pages.
    qint64 done = 0;
    {
        Statement back(db, "DELETE FROM search_gone WHERE kind = 1"
                           " AND id IN (SELECT id FROM search_pending WHERE kind = 1 AND indexed = 0)"
                           " AND EXISTS (SELECT 1 FROM units u WHERE u.id = search_gone.id"
                           " AND search_gone.sc IS u.sc AND search_gone.name IS u.utitle"
                           " AND search_gone.initials IS u.utpy AND search_gone.body IS u.ucontxt)"
                           " RETURNING kind, id");
        Statement backBook(db, "DELETE FROM search_gone WHERE kind = 0"
                               " AND id IN (SELECT id FROM search_pending WHERE kind = 0 AND indexed = 0)"
                               " AND EXISTS (SELECT 1 FROM books b WHERE b.id = search_gone.id"
                               " AND search_gone.name IS b.lbm AND search_gone.initials IS b.lbmpy)"
                               " RETURNING kind, id");
        std::vector<std::pair<qint64, qint64>> taken;
        for (Statement *st : {&back, &backBook}) {
            while (st->step())
                taken.emplace_back(st->integer(0), st->integer(1));
        }
        Statement settled(db, "DELETE FROM search_pending WHERE kind = ? AND id = ?");
        for (const auto &[kind, id] : taken) {
            settled.bind(1, kind).bind(2, id);
            settled.run();
        }
        done = qint64(taken.size());
    }
    const qint64 total = progress ? count(db, "SELECT count(*) FROM search_pending") + done : 0;
    Writers w(db);
    Statement bookNow(db, "SELECT lbm, lbmpy FROM books WHERE id = ?");
    Statement unitNow(db, "SELECT sc, utitle, utpy, ucontxt FROM units WHERE id = ?");
    Statement goneRow(db, "SELECT sc, name, initials, body FROM search_gone WHERE kind = ? AND id = ?");
    Statement forget(db, "DELETE FROM search_gone WHERE kind = ? AND id = ?");
    Statement toGone(db, "INSERT OR REPLACE INTO search_gone VALUES (?, ?, ?, ?, ?, ?)");
    Statement rows(db, "SELECT kind, id, indexed, sc, name, initials, body FROM search_pending");
    while (rows.step()) {
        const qint64 kind = rows.integer(0), id = rows.integer(1);
        const bool indexed = rows.integer(2) != 0;
        const bool unit = kind == 1;
        Statement &now = unit ? unitNow : bookNow;
        now.bind(1, id);
        const bool exists = now.step();
        if (!exists) {
            // Gone since: its entries wait for the purge like any deleted row's.
            if (indexed) {
                toGone.bind(1, kind).bind(2, id);
                for (int c = 3; c <= 6; ++c) {
                    if (!rows.isNull(c))
                        toGone.bind(c, rows.utf8(c));
                }
                toGone.run();
            }
            now.reset();
            continue;
        }
        // A key that a deleted row had before, and that did not come back as
        // it went (those were taken back above): its old entries go first.
        goneRow.bind(1, kind).bind(2, id);
        if (goneRow.step()) {
            forget.bind(1, kind).bind(2, id);
            if (unit)
                w.unit(w.dropUnit, id, goneRow.utf8(0), goneRow.utf8(1), goneRow.utf8(2), goneRow.utf8(3));
            else
                w.book(w.dropBook, id, goneRow.utf8(1), goneRow.utf8(2));
            forget.run();
        }
        goneRow.reset();
        if (indexed) {
            if (unit)
                w.unit(w.dropUnit, id, rows.utf8(3), rows.utf8(4), rows.utf8(5), rows.utf8(6));
            else
                w.book(w.dropBook, id, rows.utf8(4), rows.utf8(5));
        }
        if (unit)
            w.unit(w.addUnit, id, now.utf8(0), now.utf8(1), now.utf8(2), now.utf8(3));
        else
            w.book(w.addBook, id, now.utf8(0), now.utf8(1));
        now.reset();
        if (++done % 256 == 0)
            tell(progress, done, total);
    }
    engine::exec(db, "DELETE FROM search_pending");
    return done;
}

qint64 purge(sqlite3 *db, qint64 most)
{
    Writers w(db);
    Statement rows(db, "SELECT kind, id, sc, name, initials, body FROM search_gone LIMIT ?");
    Statement forget(db, "DELETE FROM search_gone WHERE kind = ? AND id = ?");
    rows.bind(1, most);
    while (rows.step()) {
        const qint64 kind = rows.integer(0), id = rows.integer(1);
        if (kind == 1)
            w.unit(w.dropUnit, id, rows.utf8(2), rows.utf8(3), rows.utf8(4), rows.utf8(5));
        else
            w.book(w.dropBook, id, rows.utf8(3), rows.utf8(4));
        forget.bind(1, kind).bind(2, id);
        forget.run();
    }
    return count(db, "SELECT count(*) FROM search_gone");
}

void rebuild(sqlite3 *db, const search::Progress &progress)
{
    // The index's merges rewrite the pages they just wrote; a larger cache
    // keeps them from spilling into the journal while the one transaction
    // grows.
    const QString cache = engine::firstValue(db, "PRAGMA cache_size");
    engine::exec(db, "PRAGMA cache_size=-262144");
    const auto restore = qScopeGuard([&] {
        sqlite3_exec(db, ("PRAGMA cache_size=" + cache.toUtf8()).constData(), nullptr, nullptr, nullptr);
    });
    engine::exec(db, "INSERT INTO search_units (search_units, rank) VALUES ('automerge', 16);");
    engine::exec(db, "INSERT INTO search_books (search_books) VALUES ('delete-all');"
                     "INSERT INTO search_units (search_units) VALUES ('delete-all');"
                     "DELETE FROM search_pending; DELETE FROM search_gone;");
    const qint64 total = count(db, "SELECT count(*) FROM books") + count(db, "SELECT count(*) FROM units");
    Writers w(db);
    qint64 done = 0;
    tell(progress, done, total);
    {
        Statement rows(db, "SELECT id, lbm, lbmpy FROM books");
        while (rows.step()) {
            w.book(w.addBook, rows.integer(0), rows.utf8(1), rows.utf8(2));
            ++done;
        }
    }
    Statement rows(db, "SELECT id, sc, utitle, utpy, ucontxt FROM units");
    while (rows.step()) {
        w.unit(w.addUnit, rows.integer(0), rows.utf8(1), rows.utf8(2), rows.utf8(3), rows.utf8(4));
        if (++done % 256 == 0)
            tell(progress, done, total);
    }
    engine::exec(db, "INSERT INTO search_units (search_units, rank) VALUES ('automerge', 4);");
    tell(progress, total, total);
}

} // namespace searchindex

// ---------------------------------------------------------------------------

namespace search {

namespace {

using engine::Statement;

// A text as one quoted phrase of the index's query language: whatever it
// holds, it is only text. A single character is sought as the start of a
// token.
QByteArray phrase(const QString &text, char mark = 0)
{
    QByteArray utf8 = text.toUtf8();
    utf8.replace('"', "\"\"");
    QByteArray out("\"");
    if (mark)
        out += mark;
    out += utf8 + '"';
    // A character marked for both widths is still one character.
    QList<uint> chars = text.toUcs4();
    chars.removeAll(uint(searchindex::OtherWidthMark));
    if (mark != searchindex::KeyMark && chars.size() == 1 && !searchindex::standsAlone(foldCase(chars.first())))
        out += '*';
    return out;
}

// Whether either index holds a token that begins with c. Asked once a
// character: searches only widen the characters whose other width the
// library holds, which spares the engine three alternatives at every pair
// of letters.
class WidthsHeld
{
public:
    explicit WidthsHeld(sqlite3 *db)
        : m_db(db)
    {
    }
    bool operator()(char32_t c)
    {
        const auto known = m_held.constFind(c);
        if (known != m_held.cend())
            return *known;
        if (!m_units) {
            engine::exec(m_db, "CREATE VIRTUAL TABLE IF NOT EXISTS temp.search_units_terms"
                               " USING fts5vocab(main, search_units, instance);"
                               "CREATE VIRTUAL TABLE IF NOT EXISTS temp.search_books_terms"
                               " USING fts5vocab(main, search_books, instance);");
            m_units.emplace(m_db, "SELECT 1 FROM temp.search_units_terms WHERE term >= ?1 AND term < ?2 LIMIT 1");
            m_books.emplace(m_db, "SELECT 1 FROM temp.search_books_terms WHERE term >= ?1 AND term < ?2 LIMIT 1");
        }
        char from[4], to[4];
        const QByteArray first(from, searchindex::encode(c, from)), after(to, searchindex::encode(c + 1, to));
        bool held = false;
        for (std::optional<Statement> *st : {&m_units, &m_books}) {
            (*st)->bind(1, first).bind(2, after);
            held = held || (*st)->step();
            (*st)->reset();
        }
        m_held.insert(c, held);
        return held;
    }

private:
    sqlite3 *m_db;
    std::optional<Statement> m_units, m_books;
    QHash<char32_t, bool> m_held;
};

// A word of a search as a phrase: a character whose other width the library
// holds is sought in both.
QByteArray searchPhrase(const QString &word, WidthsHeld &held)
{
    QString marked;
    for (const uint c : word.toUcs4()) {
        const char32_t other = searchindex::otherWidth(foldCase(c));
        if (other && held(other))
            marked += QLatin1Char(searchindex::OtherWidthMark);
        marked += QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
    }
    return phrase(marked, searchindex::WideMark);
}

// The literal runs of a filter between its pattern characters.
QStringList literalRuns(const QString &filter, bool *wild)
{
    QStringList runs;
    QString run;
    *wild = false;
    for (QChar c : filter) {
        if (c == u'%' || c == u'_') {
            *wild = true;
            if (!run.isEmpty())
                runs << run;
            run.clear();
        } else {
            run += c;
        }
    }
    if (!run.isEmpty())
        runs << run;
    return runs;
}

QSet<QString> keysOf(sqlite3 *db, const QByteArray &table, const QByteArray &match)
{
    QSet<QString> keys;
    Statement st(db, "SELECT rowid FROM " + table + " WHERE " + table + " MATCH ?");
    st.bind(1, match);
    while (st.step())
        keys.insert(QString::number(st.integer(0)));
    return keys;
}

// The keys among candidates that the filter's own scan accepts, for
// patterns the index can only narrow.
QSet<QString> verified(TADOConnection *db, const QSet<QString> &candidates,
                       QString (*sql)(const QStringList &, const QString &), const QString &filter)
{
    QSet<QString> keys;
    const QStringList all(candidates.begin(), candidates.end());
    constexpr qsizetype slice = 500;
    for (qsizetype i = 0; i < all.size(); i += slice) {
        TADOQuery q(db);
        q.SQL = sql(all.mid(i, slice), filter);
        for (q.Open(); !q.Eof(); q.Next())
            keys.insert(q.FieldByName(QStringLiteral("id")));
    }
    return keys;
}

QSet<QString> matching(TADOConnection *db, const QByteArray &table, const QByteArray &scope, const QString &filter,
                       QString (*scan)(const QStringList &, const QString &), const std::function<QString()> &all)
{
    sqlite3 *h = engine::openHandle(db);
    // The engine's text would end at a NUL; the scan refuses it so, too.
    engine::storedUtf8(filter);
    bool wild = false;
    const QStringList runs = literalRuns(filter, &wild);
    if (runs.isEmpty()) {
        // Nothing but pattern characters: every row is a candidate.
        QSet<QString> keys;
        TADOQuery q(db);
        q.SQL = all();
        for (q.Open(); !q.Eof(); q.Next())
            keys.insert(q.FieldByName(QStringLiteral("id")));
        return keys;
    }
    QByteArray match = scope;
    for (const QString &run : runs)
        match += (match.isEmpty() ? "" : " AND ") + phrase(run);
    const QSet<QString> found = keysOf(h, table, match);
    // Without pattern characters the index is exact; with them each run is
    // only known to stand somewhere, and the scan decides on what it found.
    return wild ? verified(db, found, scan, filter) : found;
}

// fold() for one UTF-16 unit. ASCII and the ideographs, nearly all of a
// page, take the short way: result pages are folded whole on every search.
inline QChar foldUnit(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? QChar(char16_t(u + 0x20)) : c;
    if (u >= 0x3400 && u < 0xA000)
        return c;
    if (u >= 0xFF01 && u <= 0xFF5E)
        return QChar(char16_t(u - 0xFEE0)).toCaseFolded();
    if (u == 0x3000)
        return QChar(u' ');
    return c.isSurrogate() ? c : c.toCaseFolded();
}

QString escapeHtml(const QString &s)
{
    return s.toHtmlEscaped();
}

// Where the words stand in a folded text, hits of one word apart.
struct Hits
{
    int count = 0;
    qsizetype first = -1;
};

Hits hitsIn(const QString &folded, const QStringList &words)
{
    Hits h;
    for (const QString &w : words) {
        for (qsizetype at = folded.indexOf(w); at >= 0; at = folded.indexOf(w, at + w.size())) {
            if (h.first < 0 || at < h.first)
                h.first = at;
            ++h.count;
        }
    }
    return h;
}

// The text around the first hit, blanks run together, every hit in <b>.
QString snippetOf(const QString &text, const QString &folded, const QStringList &words, qsizetype first)
{
    if (first < 0)
        first = 0;
    const qsizetype from = std::max<qsizetype>(0, first - 30);
    const qsizetype to = std::min<qsizetype>(text.size(), from + 120);
    QString flat = text.mid(from, to - from);
    for (QChar &c : flat) {
        if (c.isSpace())
            c = u' ';
    }
    // Marks: where each hit in the window starts and ends.
    QList<std::pair<qsizetype, qsizetype>> marks;
    for (const QString &w : words) {
        for (qsizetype at = folded.indexOf(w, from); at >= 0 && at < to; at = folded.indexOf(w, at + w.size()))
            marks.append({at - from, std::min(to, at + w.size()) - from});
    }
    std::sort(marks.begin(), marks.end());
    QString out = from > 0 ? QStringLiteral("…") : QString();
    qsizetype pos = 0;
    for (const auto &[s, e] : marks) {
        if (s < pos)
            continue;
        out += escapeHtml(flat.mid(pos, s - pos)) + QStringLiteral("<b>") + escapeHtml(flat.mid(s, e - s))
               + QStringLiteral("</b>");
        pos = e;
    }
    out += escapeHtml(flat.mid(pos));
    if (to < text.size())
        out += QStringLiteral("…");
    return out;
}

struct Ranked
{
    bool isBook;
    qint64 key;
    bool titleHit;
    double score;
};

// Which of two results the reader sees first: a title hit, then the better
// score, then the older key.
bool better(const Ranked &a, const Ranked &b)
{
    if (a.titleHit != b.titleHit)
        return a.titleHit;
    if (a.score != b.score)
        return a.score < b.score;
    return a.key < b.key;
}

// How many units answer a search, and the best of them: a heap under
// better() whose front is the worst one kept. A common word answers in
// most of the library, and only the first screens are ever shown.
struct Best
{
    qint64 total = 0;
    std::vector<Ranked> top;
};

// The units with keys from first to last that hold every phrase of match,
// except those gone, the best keep of them kept.
Best scoreUnits(sqlite3 *db, const QByteArray &match, qint64 first, qint64 last, const QSet<qint64> &gone,
                size_t keep)
{
    Best out;
    out.top.reserve(std::min<size_t>(keep, 4096));
    Statement st(db, "SELECT rowid, velloran_rank(search_units) FROM search_units"
                     " WHERE search_units MATCH ?1 AND rowid BETWEEN ?2 AND ?3");
    st.bind(1, match).bind(2, first).bind(3, last);
    while (st.step()) {
        const qint64 key = st.integer(0);
        if (!gone.isEmpty() && gone.contains(key))
            continue;
        ++out.total;
        const double score = st.real(1);
        const Ranked r{false, key, score >= 1e6, -score};
        if (out.top.size() < keep) {
            out.top.push_back(r);
            std::push_heap(out.top.begin(), out.top.end(), better);
        } else if (keep > 0 && better(r, out.top.front())) {
            std::pop_heap(out.top.begin(), out.top.end(), better);
            out.top.back() = r;
            std::push_heap(out.top.begin(), out.top.end(), better);
        }
    }
    return out;
}

// scoreUnits over every unit. On a large library the ranking of a common
// word is the bulk of a search: the upper half of the keys is ranked on a
// second thread through the connection's reader, which sees the same
// committed index unless a transaction of this connection is open.
Best scoreAllUnits(TADOConnection *db, const QByteArray &match, const QSet<qint64> &gone, size_t keep)
{
    constexpr qint64 Split = 20000;
    sqlite3 *h = engine::openHandle(db);
    Statement range(h, "SELECT (SELECT min(id) FROM units), (SELECT max(id) FROM units)");
    const qint64 first = range.step() ? range.integer(0) : 0, last = range.integer(1);
    sqlite3 *reader = nullptr;
    if (last - first >= Split && !db->InTransaction()) {
        try {
            reader = engineReader(*db);
        } catch (const EDatabaseError &) {
            // Only slower: the whole range is ranked here.
        }
    }
    if (!reader)
        return scoreUnits(h, match, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), gone, keep);
    const qint64 middle = first + (last - first) / 2;
    auto upper = std::async(std::launch::async, [&] {
        return scoreUnits(reader, match, middle + 1, std::numeric_limits<qint64>::max(), gone, keep);
    });
    Best all;
    try {
        all = scoreUnits(h, match, std::numeric_limits<qint64>::min(), middle, gone, keep);
    } catch (...) {
        upper.wait();
        throw;
    }
    const Best other = upper.get();
    all.total += other.total;
    all.top.insert(all.top.end(), other.top.begin(), other.top.end());
    return all;
}

QSet<qint64> goneKeys(sqlite3 *db, int kind)
{
    QSet<qint64> keys;
    Statement st(db, "SELECT id FROM search_gone WHERE kind = ?");
    st.bind(1, qint64(kind));
    while (st.step())
        keys.insert(st.integer(0));
    return keys;
}

// Reads what a result shows: its path, a snippet and its number of hits.
class Describer
{
public:
    Describer(sqlite3 *db, const QStringList &words)
        : m_words(words)
        , m_book(db, "SELECT jb, lbm FROM books WHERE id = ?")
        , m_unit(db, "SELECT sc, jb, utitle, ucontxt FROM units WHERE id = ?")
        , m_parent(db, "SELECT jb, utitle FROM units WHERE id = ?")
    {
    }

    Hit operator()(const Ranked &r)
    {
        Hit hit;
        hit.isBook = r.isBook;
        hit.key = QString::number(r.key);
        hit.titleHit = r.titleHit;
        if (r.isBook) {
            hit.bookKey = hit.key;
            hit.path = bookPath(r.key);
            hit.hits = hit.path.isEmpty() ? 0 : hitsIn(fold(hit.path.last()), m_words).count;
            return hit;
        }
        m_unit.bind(1, r.key);
        if (!m_unit.step()) {
            m_unit.reset();
            return hit;
        }
        hit.bookKey = m_unit.text(0);
        const QString title = Dataunesc(m_unit.text(2));
        const QString body = Dataunesc(m_unit.text(3));
        QString up = m_unit.text(1);
        m_unit.reset();
        QStringList units{title};
        for (int depth = 0; depth < 256 && up != QLatin1String("$"); ++depth) {
            bool ok = false;
            m_parent.bind(1, up.toLongLong(&ok));
            if (!ok || !m_parent.step())
                break;
            units.prepend(Dataunesc(m_parent.text(1)));
            up = m_parent.text(0);
            m_parent.reset();
        }
        m_parent.reset();
        m_book.bind(1, hit.bookKey.toLongLong());
        hit.path = (m_book.step() ? QStringList{Dataunesc(m_book.text(1))} : QStringList()) + units;
        m_book.reset();
        const QString folded = fold(body);
        const Hits inBody = hitsIn(folded, m_words);
        hit.snippet = snippetOf(body, folded, m_words, inBody.first);
        hit.hits = hitsIn(fold(title), m_words).count + inBody.count;
        return hit;
    }

private:
    // A bookshelf item's chain up to its category; the levels are few.
    QStringList bookPath(qint64 key)
    {
        QStringList path;
        for (int depth = 0; depth < 64; ++depth) {
            m_book.bind(1, key);
            if (!m_book.step())
                break;
            path.prepend(Dataunesc(m_book.text(1)));
            bool ok = false;
            key = m_book.text(0).toLongLong(&ok);
            m_book.reset();
            if (!ok)
                break;
        }
        m_book.reset();
        return path;
    }

    QStringList m_words;
    Statement m_book, m_unit, m_parent;
};

} // namespace

QSet<QString> matchingBooks(TADOConnection *db, const QString &filter)
{
    return matching(db, "search_books", {}, filter, sqlcat::booksMatchingAmong,
                    [&] { return sqlcat::booksMatching(filter); });
}

QSet<QString> matchingUnits(TADOConnection *db, const QString &bookKey, const QString &filter)
{
    return matching(db, "search_units", "book : " + phrase(bookKey, searchindex::KeyMark), filter,
                    sqlcat::unitsMatchingAmong, [&] { return sqlcat::unitsMatching(bookKey, filter); });
}

QString fold(const QString &text)
{
    QString out = text;
    for (QChar &c : out)
        c = foldUnit(c);
    return out;
}

QStringList queryWords(const QString &query)
{
    QStringList words;
    QString word;
    bool quoted = false;
    auto flush = [&] {
        if (!word.isEmpty())
            words << fold(word);
        word.clear();
    };
    for (QChar c : query) {
        if (c == u'"' || c == u'“' || c == u'”') {
            flush();
            quoted = !quoted;
        } else if (!quoted && (c.isSpace() || c == QChar(0x3000))) {
            flush();
        } else if (c.unicode() >= 0x20) {
            word += c;
        }
    }
    flush();
    words.removeDuplicates();
    return words;
}

Results find(TADOConnection *db, const QString &query, int offset, int count)
{
    sqlite3 *h = engine::openHandle(db);
    const QStringList words = queryWords(query);
    if (words.isEmpty())
        return {};
    QByteArray all;
    WidthsHeld held(h);
    for (const QString &w : words)
        all += (all.isEmpty() ? "" : " AND ") + searchPhrase(w, held);
    std::vector<Ranked> ranked;
    {
        const QSet<qint64> gone = goneKeys(h, 0);
        Statement st(h, "SELECT rowid, bm25(search_books) FROM search_books WHERE search_books MATCH ?");
        st.bind(1, all);
        while (st.step()) {
            if (!gone.contains(st.integer(0)))
                ranked.push_back({true, st.integer(0), true, st.real(1)});
        }
    }
    std::sort(ranked.begin(), ranked.end(), better);
    const qsizetype books = qsizetype(ranked.size());
    const qsizetype want = std::max(0, offset) + std::max(0, count);
    Best units = scoreAllUnits(db, all, goneKeys(h, 1), size_t(std::max<qsizetype>(0, want - books)));
    std::sort(units.top.begin(), units.top.end(), better);
    ranked.insert(ranked.end(), units.top.begin(), units.top.end());
    Results out;
    out.total = books + units.total;
    Describer describe(h, words);
    for (qsizetype i = std::max(0, offset); i < want && i < qsizetype(ranked.size()); ++i)
        out.hits.append(describe(ranked[size_t(i)]));
    return out;
}

qint64 catchUp(TADOConnection *db, const Progress &progress)
{
    return engine::inTransaction(db, [&](sqlite3 *h) { return searchindex::catchUp(h, progress); });
}

qint64 purge(TADOConnection *db, qint64 most)
{
    return engine::inTransaction(db, [&](sqlite3 *h) { return searchindex::purge(h, most); });
}

QString care(const QString &library, const std::atomic_bool &stop)
{
    TADOConnection db;
    db.ConnectionString = TADOConnection::JetConnectionString(library);
    db.Open();
    QStringList done;
    if (const qint64 n = catchUp(&db); n > 0)
        done << QStringLiteral("全文索引收录了其他程序改动的 %1 项").arg(n);
    // Slices short enough that a write of the window's never waits long.
    while (!stop && purge(&db, 200) > 0) {
    }
    if (!stop && !sound(&db)) {
        rebuild(&db);
        done << QStringLiteral("全文索引已重建");
    }
    return done.join(QStringLiteral("；"));
}

bool sound(TADOConnection *db)
{
    sqlite3 *h = engine::openHandle(db);
    try {
        engine::exec(h, "INSERT INTO search_books (search_books, rank) VALUES ('integrity-check', 0);"
                        "INSERT INTO search_units (search_units, rank) VALUES ('integrity-check', 0);");
    } catch (const EDatabaseError &) {
        return false;
    }
    const auto number = [h](const char *sql) { return engine::firstValue(h, sql).toLongLong(); };
    return number("SELECT count(*) FROM search_books_docsize")
               == number("SELECT count(*) FROM books") + number("SELECT count(*) FROM search_gone WHERE kind = 0")
           && number("SELECT count(*) FROM search_units_docsize")
                  == number("SELECT count(*) FROM units") + number("SELECT count(*) FROM search_gone WHERE kind = 1")
           && number("SELECT count(*) FROM search_pending") == 0;
}

void rebuild(TADOConnection *db, const Progress &progress)
{
    engine::inTransaction(db, [&](sqlite3 *h) {
        searchindex::rebuild(h, progress);
        return 0;
    });
}

qint64 pending(TADOConnection *db)
{
    return engine::firstValue(engine::openHandle(db), "SELECT count(*) FROM search_pending").toLongLong();
}

} // namespace search
