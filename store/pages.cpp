#include "store/pages.h"

#include "store/engine.h"
#include "store/escape.h"

#include <sqlite3.h>

namespace pages {

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

} // namespace pages
