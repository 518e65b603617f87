// The statement catalogue: every statement the program issues, built from its
// fixed fragments and the values given. Keys and positions are decimal text;
// names, titles and documents must already be escaped.
#pragma once

#include <QString>
#include <QStringList>

namespace sqlcat {

// The filters (2, 17) take the text as typed and quote it themselves; they
// match names, titles and page text as the reader wrote them, so stored
// markers never show through and any text is only a pattern.

// The document a new unit starts with.
extern const QString NewPageDocument;

QString booksLevel(const QString &parentKey);                                          // 1
QString booksLevelFiltered(const QString &parentKey, const QString &filter);           // 2
QString bookRename(const QString &name, const QString &initials, const QString &key);  // 3
QString bookPlace(const QString &key);                                                 // 4
QString booksCloseGap(const QString &position, const QString &parentKey);              // 5
QString bookDelete(const QString &key);                                                // 6
QString bookUnitsDelete(const QString &key);                                           // 7
QString bookChildren(const QString &key);                                              // 8
QString bookPosition(const QString &key);                                              // 9
QString bookSetPosition(const QString &key, const QString &position);                  // 10
QString bookMoveDown(const QString &key);                                              // 11
QString bookMoveUp(const QString &key);                                                // 12
QString bookNamed(const QString &name, const QString &parentKey);                      // 13
QString bookLast(const QString &parentKey);                                            // 14
QString bookInsert(const QString &parentKey, const QString &name, const QString &initials,
                   const QString &position);                                           // 15
QString unitsLevel(const QString &bookKey, const QString &parentKey);                  // 16
QString unitsLevelFiltered(const QString &bookKey, const QString &parentKey,
                           const QString &filter);                                     // 17
QString unitRename(const QString &title, const QString &initials, const QString &key); // 18
QString unitPlace(const QString &key);                                                 // 19
QString unitsCloseGap(const QString &position, const QString &parentKey);              // 20
QString unitDelete(const QString &key);                                                // 21
QString unitChildren(const QString &key);                                              // 22
QString unitPosition(const QString &key);                                              // 23
QString unitSetPosition(const QString &key, const QString &position);                  // 24
QString unitMoveDown(const QString &key);                                              // 25
QString unitMoveUp(const QString &key);                                                // 26
QString unitLast(const QString &parentKey);                                            // 27
QString unitInsert(const QString &bookKey, const QString &parentKey, const QString &title,
                   const QString &initials, const QString &position);                  // 28
QString unitNewest();                                                                  // 29
QString unitSave(const QString &document, const QString &plainText, const QString &key); // 30

// Whole trees and subtrees at once. Keys are decimal text; the filters take
// the text as typed, as 2 and 17 do.
QString booksAll();
QString booksMatching(const QString &filter);
QString unitsOfBook(const QString &bookKey);
QString unitsMatching(const QString &bookKey, const QString &filter);
// The filters' own test, on the given keys only.
QString booksMatchingAmong(const QStringList &keys, const QString &filter);
QString unitsMatchingAmong(const QStringList &keys, const QString &filter);
QString unitDocument(const QString &key);
QString unitOwner(const QString &key);
QString booksLevelPositions(const QString &parentKey);
QString unitsLevelPositions(const QString &bookKey, const QString &parentKey);
QString booksDelete(const QStringList &keys);
QString unitsDelete(const QStringList &keys);
QString unitsOfBooksDelete(const QStringList &bookKeys);
// An item and everything under it, the item first.
QString bookSubtree(const QString &key);
QString unitSubtree(const QString &key);
// Positions of the chapters of the books, the last first.
QString chaptersOfBooks(const QStringList &bookKeys);

} // namespace sqlcat
