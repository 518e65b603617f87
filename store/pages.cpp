#include "store/pages.h"

#include "store/engine.h"
#include "store/escape.h"

#include <QStringEncoder>

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
    // Refused and replaced as a statement's text would be: the engine ends
    // text at a NUL, and a lone surrogate becomes U+FFFD.
    if (document.contains(QChar(0)) || plainText.contains(QChar(0)))
        throw EDatabaseError(QStringLiteral("文字中含有空字符（U+0000），书库不能接受。"));
    const auto utf8 = [](const QString &text) {
        QStringEncoder toUtf8(QStringEncoder::Utf8);
        return QByteArray(toUtf8(Dataesc(text)));
    };
    engine::Statement st(h, "UPDATE units SET ucon = ?1, ucontxt = ?2, ucpy = '' WHERE id = ?3");
    st.bind(1, utf8(document)).bind(2, utf8(plainText)).bind(3, id);
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
