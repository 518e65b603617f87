#include "store/intake.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/escape.h"

#include <sqlite3.h>

namespace intake {

using engine::Statement;

bool heldElsewhere(const QString &path)
{
    engine::Handle h;
    engine::open(h, path, SQLITE_OPEN_READWRITE);
    // Long enough for a commit under way to end, short enough to answer at
    // once when the library is held for good.
    sqlite3_busy_timeout(h.db, 300);
    try {
        engine::exec(h.db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; ROLLBACK;");
    } catch (const EDatabaseError &) {
        const int code = sqlite3_extended_errcode(h.db) & 0xff;
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return true;
        throw;
    }
    return false;
}

struct Writer::Statements
{
    explicit Statements(sqlite3 *h)
        : bookThere(h, "SELECT 1 FROM books WHERE id = ?")
        , bookNamed(h, "SELECT 1 FROM books WHERE jb = ? AND lbm = ?")
        , bookLast(h, "SELECT coalesce(max(px), 0) FROM books WHERE jb = ?")
        , bookAdd(h, "INSERT INTO books (jb, lbm, lbmpy, px) VALUES (?, ?, ?, ?)")
        , unitLast(h, "SELECT coalesce(max(px), 0) FROM units WHERE jb = ?")
        , unitAdd(h, "INSERT INTO units (sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px) VALUES (?, ?, ?, ?, ?, ?, '', ?)")
    {
    }
    Statement bookThere, bookNamed, bookLast, bookAdd, unitLast, unitAdd;
};

Writer::Writer(TADOConnection *db, std::function<QString(const QString &)> initials)
    : m_db(db)
    , m_initials(std::move(initials))
    , m_st(std::make_unique<Statements>(engine::openHandle(db)))
{
    if (!db->InTransaction())
        throw EDatabaseError(QStringLiteral("An import writes inside a transaction."));
}

Writer::~Writer() = default;

bool Writer::bookExists(const QString &key)
{
    Statement &st = m_st->bookThere;
    st.bind(1, key.toLongLong());
    const bool there = st.step();
    st.reset();
    return there;
}

std::pair<QString, QString> Writer::addBook(const QString &parentKey, const QString &name)
{
    if (parentKey != QLatin1String("$") && !bookExists(parentKey))
        throw EDatabaseError(QStringLiteral("要导入到的书架项已不在书库中。"));
    QString given = name;
    for (int n = 2;; ++n) {
        Statement &st = m_st->bookNamed;
        st.bind(1, parentKey).bind(2, Dataesc(given));
        const bool taken = st.step();
        st.reset();
        if (!taken)
            break;
        given = name + QStringLiteral("（%1）").arg(n);
    }
    Statement &last = m_st->bookLast;
    last.bind(1, parentKey);
    last.step();
    const qint64 px = last.integer(0) + 1;
    last.reset();
    const QString stored = Dataesc(given);
    m_st->bookAdd.bind(1, parentKey).bind(2, stored).bind(3, m_initials(stored)).bind(4, px);
    m_st->bookAdd.run();
    return {QString::number(sqlite3_last_insert_rowid(engine::openHandle(m_db))), given};
}

QString Writer::addUnit(const QString &bookKey, const QString &parentKey, const QString &title, const QString &html,
                        const QString &text)
{
    // Chapters of every book share one numbering; below them each parent
    // numbers its own. Read once per parent, then counted on.
    auto next = m_next.find(parentKey);
    if (next == m_next.end()) {
        Statement &last = m_st->unitLast;
        last.bind(1, parentKey);
        last.step();
        next = m_next.insert(parentKey, last.integer(0) + 1);
        last.reset();
    }
    const QString stored = Dataesc(title);
    Statement &add = m_st->unitAdd;
    add.bind(1, bookKey).bind(2, parentKey).bind(3, stored).bind(4, m_initials(stored));
    add.bind(5, Dataesc(html)).bind(6, Dataesc(text)).bind(7, (*next)++);
    add.run();
    return QString::number(sqlite3_last_insert_rowid(engine::openHandle(m_db)));
}

} // namespace intake
