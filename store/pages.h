// Writes of the book logic with bound values, where the catalogue's
// statements would spell out a megabyte (a page's document) or run once a
// row (a thousand new positions) through the dialect and the parser.
#pragma once

#include <QList>
#include <QString>

#include <utility>

class TADOConnection;

namespace pages {

// Writes the document and plain text of the unit keyed key, escaped as every
// stored text, and clears its initials of content, as sqlcat::unitSave does;
// a key matches as cstr(id) would. Returns how many rows changed.
int save(TADOConnection *db, const QString &key, const QString &document, const QString &plainText);

// Gives every bookshelf item (books) or unit keyed in places its position,
// by one prepared statement.
void place(TADOConnection *db, bool books, const QList<std::pair<qint64, int>> &places);

// Chapters of every book share one numbering. closeChapterGaps closes the
// gaps that chapters standing at places leave, as closing each in turn from
// the last down would; openChapterGaps opens them again before the chapters
// come back. Each is one statement that rewrites a later chapter once, not
// once for every gap before it.
void closeChapterGaps(TADOConnection *db, const QList<qint64> &places);
void openChapterGaps(TADOConnection *db, const QList<qint64> &places);

} // namespace pages
