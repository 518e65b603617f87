#include "bench/rawstore.h"

#include "store/connection.h"
#include "store/engine.h"

#include <sqlite3.h>

#include <memory>

namespace raw {

namespace {

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

[[noreturn]] void fail(sqlite3 *db, const char *sql)
{
    throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(db)) + QStringLiteral(" in ") + QString::fromUtf8(sql));
}

Statement prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        fail(db, sql);
    return Statement(st, sqlite3_finalize);
}

void bind(sqlite3 *db, const char *sql, sqlite3_stmt *st, const QVariantList &params)
{
    sqlite3_reset(st);
    for (int i = 0; i < params.size(); ++i) {
        const QVariant &p = params.at(i);
        int rc;
        if (p.typeId() == QMetaType::QByteArray) {
            const QByteArray b = p.toByteArray();
            rc = sqlite3_bind_text(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        } else if (p.typeId() == QMetaType::Int || p.typeId() == QMetaType::LongLong) {
            rc = sqlite3_bind_int64(st, i + 1, p.toLongLong());
        } else {
            const QByteArray b = p.toString().toUtf8();
            rc = sqlite3_bind_text(st, i + 1, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            fail(db, sql);
    }
}

} // namespace

sqlite3 *handle(TADOConnection *db)
{
    return engineHandle(*db);
}

std::vector<QByteArray> rows(sqlite3 *db, const char *sql, const QVariantList &params, int *columnCount)
{
    const Statement st = prepare(db, sql);
    bind(db, sql, st.get(), params);
    std::vector<QByteArray> out;
    const int columns = sqlite3_column_count(st.get());
    if (columnCount)
        *columnCount = columns;
    int rc;
    while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(st.get(), c));
            out.emplace_back(bytes, sqlite3_column_bytes(st.get(), c));
        }
    }
    if (rc != SQLITE_DONE)
        fail(db, sql);
    return out;
}

void each(sqlite3 *db, const char *sql, const QList<QVariantList> &paramRows)
{
    const Statement st = prepare(db, sql);
    for (const QVariantList &params : paramRows) {
        bind(db, sql, st.get(), params);
        if (sqlite3_step(st.get()) != SQLITE_DONE)
            fail(db, sql);
    }
}

void exec(sqlite3 *db, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, sql);
}

QByteArray value(sqlite3 *db, const char *sql, const QVariantList &params)
{
    const Statement st = prepare(db, sql);
    bind(db, sql, st.get(), params);
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_DONE)
        return {};
    if (rc != SQLITE_ROW)
        fail(db, sql);
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(st.get(), 0));
    return QByteArray(bytes, sqlite3_column_bytes(st.get(), 0));
}

NoTriggers::NoTriggers(sqlite3 *db)
    : m_db(db)
{
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr) != SQLITE_OK)
        fail(db, "SQLITE_DBCONFIG_ENABLE_TRIGGER");
}

NoTriggers::~NoTriggers()
{
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 1, nullptr);
}

} // namespace raw
