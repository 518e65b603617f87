// Books out of the library into files others can read, and files of other
// programs into the library as new books. Nothing here shows a widget: the
// caller names the target or source, is told how far the work has come and
// may stop it, and gets a report of what was left out and why.
//
// Exports never replace a file nor write into a folder that holds anything.
// Imports write in one transaction and copy pictures under new names, so
// that a failure or a cancel leaves the library and its pictures exactly as
// they were.
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <stdexcept>

class TADOConnection;

namespace transfer {

// Told how far the work has come, in pages; returning false stops it.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Why the work did not happen. message() says it in Chinese for the reader.
class Refused : public std::runtime_error
{
public:
    enum class Reason {
        Cancelled,   // the progress callback said stop
        Target,      // the target exists, or cannot be written
        Source,      // not found, unreadable, or not of the kind named
        Damaged,     // an archive or document that cannot be read
        Hostile,     // a zip bomb, a path that climbs out, a picture too large
        NotFound,    // no such bookshelf item, or more than one of that name
    };
    Refused(Reason reason, const QString &message);
    Reason reason() const { return m_reason; }
    QString message() const { return m_message; }

private:
    Reason m_reason;
    QString m_message;
};

// Something left out of an export or an import.
struct Skipped
{
    QString what; // a page's path, a file, a picture
    QString why;
};

struct Report
{
    QString target;      // the file or folder written, or the key of the new book
    QString name;        // the new book's name as given (an import may number it)
    qint64 pages = 0;    // pages written
    qint64 pictures = 0; // pictures copied
    QList<Skipped> skipped;
    // The report as lines for a person.
    QString text() const;
};

enum class Format { Html, Markdown, Epub };

// Exports the bookshelf item itemKey (a book, or a category with every book
// below it; EPUB takes a book) to target: a folder that does not exist yet
// or is empty for HTML and Markdown, a new file for EPUB. pictureFolder is
// the library's image folder the pages' pictures are taken from.
Report exportItem(TADOConnection *db, const QString &itemKey, Format format, const QString &target,
                  const QString &pictureFolder, const Progress &progress = {});

// What an import accepts at most; anything beyond is refused as hostile.
struct Limits
{
    qint64 picture = 50LL * 1024 * 1024;             // one picture
    qint64 page = 32LL * 1024 * 1024;                // one page's file
    qint64 archiveTotal = 2048LL * 1024 * 1024;      // an archive unpacked
    qint64 archiveEntries = 200000;                  // entries of an archive
    qint64 ratio = 200;                              // unpacked to packed, for an entry over 1 MB
};

// Imports source as a new book under the bookshelf item parentKey: a folder
// of .html, .htm, .md and .txt files, an .epub file or a CherryTree .ctb
// file, recognised by what it is. Pictures are copied into pictureFolder.
// Returns the new book's key in the report's target.
Report importBook(TADOConnection *db, const QString &parentKey, const QString &source, const QString &pictureFolder,
                  const Progress &progress = {}, const Limits &limits = {});

// The bookshelf items named name (as the reader wrote it): categories are
// the items at the top, books those below. Several may share a name.
QStringList findItems(TADOConnection *db, const QString &name, bool category);

} // namespace transfer
