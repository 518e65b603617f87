// A page's earlier versions: every save keeps the document it replaces,
// with the time that document was saved. Kept are every version of the
// last 7 days, the newest of each day for 90 days, and the newest 20
// whatever their age.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class TADOConnection;

namespace history {

struct Version
{
    qint64 id = 0;
    QDateTime savedAt; // UTC
    qint64 size = 0;   // bytes of the document
    QString firstLine; // of its text
};

// Keeps the current document of unit as a version before a save replaces
// it, notes now as the time of the new one, and lets go of what the rule
// no longer keeps. Call inside the save's transaction.
void keepPrevious(TADOConnection *db, const QString &unit, const QDateTime &now);

// The versions of unit, the newest first.
QList<Version> versions(TADOConnection *db, const QString &unit);
// A version's document as the reader wrote it. Raises EDatabaseError when
// it is gone.
QString document(TADOConnection *db, qint64 version);

// Which of the versions saved at the given times (the newest first) the
// rule keeps at now.
QList<bool> kept(const QList<QDateTime> &newestFirst, const QDateTime &now);

// The words of after marked against before: added ones in <ins>, removed
// ones in <del>, the text HTML-escaped. A word is a run of letters or
// digits, or a single character of any other kind (every Chinese character
// stands alone).
QString markChanges(const QString &before, const QString &after);

} // namespace history
