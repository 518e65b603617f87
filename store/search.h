// The library's full-text index: every book's name and initials and every
// unit's title, initials and page text, as the reader wrote them, found by
// any substring. It lives in the library file beside the tables it indexes
// (plain SQLite tables any tool can check, copy and restore) and follows
// them in the same transaction as every write of the program. Writes of
// other tools are logged by triggers and folded in at the next commit or
// start-up.
#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

class TADOConnection;

namespace search {

// Told how far a long rebuild has come; returning false stops it, and the
// work is rolled back with the transaction it runs in.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// The keys of the bookshelf items below the top level whose name or initials
// match filter, a pattern in which "%" and "_" keep their meaning, compared
// without regard to letter case: exactly what the filter's scan finds.
QSet<QString> matchingBooks(TADOConnection *db, const QString &filter);
// Likewise the units of bookKey below the chapters whose title, initials or
// page text match filter.
QSet<QString> matchingUnits(TADOConnection *db, const QString &bookKey, const QString &filter);

// One result of a whole-library search.
struct Hit
{
    bool isBook = false;
    QString key;     // books.id or units.id
    QString bookKey; // the book a unit belongs to; the item itself for a book
    QStringList path; // book, chapter, … the unit itself, as the reader wrote them
    QString snippet;  // plain text around the first hit, HTML-escaped, hits in <b>
    int hits = 0;     // occurrences of the words in name and text
    bool titleHit = false;
};

struct Results
{
    qint64 total = 0;
    QList<Hit> hits;
};

// The words of a query as the search takes them: apart at blanks, a
// "quoted phrase" kept whole. Empty when nothing searchable was typed.
QStringList queryWords(const QString &query);

// Items in which every word of query stands, title hits first, then by
// relevance; count results from offset. Any text is only text.
Results find(TADOConnection *db, const QString &query, int offset, int count);

// Folds what the search treats as one: letter case, and full-width forms
// with their half-width ones. Keeps the length of text.
QString fold(const QString &text);

// Brings pending changes into the index, in a transaction of its own unless
// one is open; the program's own writes do it before they commit. Returns
// how many rows were brought in.
qint64 catchUp(TADOConnection *db, const Progress &progress = {});
// Removes the entries of deleted rows, which searches pass by until then, a
// slice per transaction; returns how many are left.
qint64 purge(TADOConnection *db, qint64 most);
// Whether the index is whole: its own check passes and it holds every row.
bool sound(TADOConnection *db);
// Lays the index afresh from the tables, in one transaction.
void rebuild(TADOConnection *db, const Progress &progress = {});
// Changes other tools made that the index has yet to take in.
qint64 pending(TADOConnection *db);

// What the start-up does for the index of the library file, on a
// connection of its own beside the window: takes in what other tools
// changed, removes the entries of deleted rows, and lays the index afresh
// when its check fails. stop ends it between steps. Returns what was done,
// for the reader's report ("" when nothing was to do).
QString care(const QString &library, const std::atomic_bool &stop);

} // namespace search
