// The large library velloran-bench measures on, laid through the program's
// own statements: 50 categories of 40 books; 100,000 units, every one a page
// of about 4 KB of HTML mixing Chinese and Latin text with its plain text as
// a save stores it. Among them the landmarks the figures use: the largest
// book (10,000 units on 4 levels), a chapter of 1,000 pages, a chapter of
// 5,000 units and a page of 1 MB with 20 pictures from files.
#pragma once

#include <QString>
#include <QStringList>

class TADOConnection;

namespace biglibrary {

// Bumped whenever what is laid changes, so that no cached library of an
// older layout is measured.
constexpr int LayoutVersion = 1;

// The word the largest book's filter looks for: in the text of every page
// that has pages below it and of every second page of the lowest level.
extern const QString UnitWord;
// The word of one book name in five, as typed before its last keystroke and
// whole.
extern const QString BookWordStart;
extern const QString BookWord;
// The Chinese the library is written in: the phrases of every page's text
// and the titles in the books' names.
extern const QStringList Phrases;
extern const QStringList Titles;

// Lays the library in folder (vlbook.mdb and the pictures of the 1 MB page
// in folder/pictures). pictureFolder is where the pictures will lie when the
// library is used, which the page refers to by file: URLs.
void lay(const QString &folder, const QString &pictureFolder);

// The keys of the landmarks, as decimal text.
struct Landmarks
{
    QString largestBook;
    QString thousandBook, thousandChapter;
    QString fiveBook, fiveChapter;
    QString pictureBook, picturePage;
    QString smallBook; // any book of a few dozen units
    QStringList fiveRows; // the 5,000-unit chapter and every unit under it
};

Landmarks find(TADOConnection *db);

// The bytes of the stored text of a book's units, every text column.
qint64 storedTextBytes(TADOConnection *db, const QString &bookKey);

} // namespace biglibrary
