#include "store/drafts.h"

#include "store/connection.h"
#include "store/engine.h"

namespace drafts {

namespace {

using engine::Statement;

} // namespace

void keep(TADOConnection *db, const QString &unit, const QString &document, const QDateTime &now)
{
    Statement st(engine::openHandle(db), "INSERT OR REPLACE INTO drafts (unit, kept_at, document) VALUES (?, ?, ?)");
    st.bind(1, unit.toLongLong()).bind(2, now.toUTC().toString(Qt::ISODateWithMs)).bind(3, document);
    st.run();
}

void drop(TADOConnection *db, const QString &unit)
{
    Statement st(engine::openHandle(db), "DELETE FROM drafts WHERE unit = ?");
    st.bind(1, unit.toLongLong());
    st.run();
}

QList<Draft> all(TADOConnection *db)
{
    sqlite3 *h = engine::openHandle(db);
    engine::exec(h, "DELETE FROM drafts WHERE unit NOT IN (SELECT id FROM units)");
    QList<Draft> out;
    Statement st(h, "SELECT unit, kept_at, document FROM drafts ORDER BY kept_at");
    while (st.step())
        out.append({QString::number(st.integer(0)), QDateTime::fromString(st.text(1), Qt::ISODateWithMs), st.text(2)});
    return out;
}

} // namespace drafts
