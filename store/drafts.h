// Drafts: the unsaved document of a page being edited, kept in the library
// file apart from the page itself, so typing survives a crash or a power
// loss. A page changes only when it is saved.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class TADOConnection;

namespace drafts {

struct Draft
{
    QString unit;
    QDateTime keptAt; // UTC
    QString document; // as the reader wrote it
};

// Keeps document as the draft of unit, replacing the one before.
void keep(TADOConnection *db, const QString &unit, const QString &document, const QDateTime &now);
// Lets the draft of unit go (a clean save, a discard).
void drop(TADOConnection *db, const QString &unit);
// Every draft whose page is still in the library; drafts of pages deleted
// since go with this call.
QList<Draft> all(TADOConnection *db);

} // namespace drafts
