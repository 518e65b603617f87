#include "store/pages.h"

#include "store/engine.h"
#include "store/escape.h"

#include <sqlite3.h>

#include <algorithm>

namespace pages {

namespace {

// A list of positions as the engine's json_each() reads it.
QByteArray jsonList(const QList<qint64> &values)
{
    QByteArray json = "[";
    for (qint64 v : values)
        json += QByteArray::number(v) + ',';
    json.back() = ']';
    return json;
}

} // namespace

int save(TADOConnection *db, const QString &key, const QString &document, const QString &plainText)
{
    sqlite3 *h = engine::openHandle(db);
    // Only the spelling cstr() gives a key matches: "012" is no key.
    bool ok = false;
    const qint64 id = key.toLongLong(&ok);
    if (!ok || QString::number(id) != key)
        return 0;
    engine::Statement st(h, "UPDATE units SET ucon = ?1, ucontxt = ?2, ucpy = '' WHERE id = ?3");
    // Refused and replaced as a statement's text would be.
    st.bind(1, engine::storedUtf8(Dataesc(document))).bind(2, engine::storedUtf8(Dataesc(plainText))).bind(3, id);
    st.run();
    return sqlite3_changes(h);
}

void place(TADOConnection *db, bool books, const QList<std::pair<qint64, int>> &places)
{
    engine::Statement st(engine::openHandle(db), books ? "UPDATE books SET px = ?1 WHERE id = ?2"
                                                       : "UPDATE units SET px = ?1 WHERE id = ?2");
    for (const auto &[key, px] : places) {
        st.bind(1, qint64(px)).bind(2, key);
        st.run();
    }
}

void closeChapterGaps(TADOConnection *db, const QList<qint64> &places)
{
    if (places.isEmpty())
        return;
    // A chapter steps down once for every place below it.
    engine::Statement st(engine::openHandle(db),
                         "UPDATE units SET px = px - (SELECT count(*) FROM json_each(?1) WHERE value < units.px)"
                         " WHERE jb = '$' AND px > ?2");
    st.bind(1, jsonList(places)).bind(2, *std::min_element(places.begin(), places.end()));
    st.run();
}

void openChapterGaps(TADOConnection *db, const QList<qint64> &places)
{
    if (places.isEmpty())
        return;
    // With the places in order, the i-th (from 0) lies i lower once the
    // ones below it closed; a chapter at or above that steps up again.
    QList<qint64> closed = places;
    std::sort(closed.begin(), closed.end());
    for (qsizetype i = 0; i < closed.size(); ++i)
        closed[i] -= i;
    engine::Statement st(engine::openHandle(db),
                         "UPDATE units SET px = px + (SELECT count(*) FROM json_each(?1) WHERE value <= units.px)"
                         " WHERE jb = '$' AND px >= ?2");
    st.bind(1, jsonList(closed)).bind(2, closed.first());
    st.run();
}

} // namespace pages
