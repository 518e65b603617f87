#include "store/history.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/escape.h"

#include <QSet>

#include <vector>

namespace history {

namespace {

using engine::Statement;

sqlite3 *handleOf(TADOConnection *db)
{
    sqlite3 *h = db ? engineHandle(*db) : nullptr;
    if (!h)
        throw EDatabaseError(QStringLiteral("Operation is not allowed when the object is closed."));
    return h;
}

QString stamp(const QDateTime &t)
{
    return t.toUTC().toString(Qt::ISODateWithMs);
}

QString firstLineOf(const QString &text)
{
    for (const QString &line : text.split(u'\n')) {
        const QString t = line.simplified();
        if (!t.isEmpty())
            return t.left(80);
    }
    return {};
}

} // namespace

QList<bool> kept(const QList<QDateTime> &newestFirst, const QDateTime &now)
{
    QList<bool> keep(newestFirst.size(), false);
    QSet<QDate> days;
    for (qsizetype i = 0; i < newestFirst.size(); ++i) {
        const QDateTime &t = newestFirst.at(i);
        const qint64 age = t.secsTo(now);
        if (i < 20 || age <= 7 * 86400)
            keep[i] = true;
        else if (age <= 90 * 86400 && !days.contains(t.date()))
            keep[i] = true;
        // The newest of each day stands for that day.
        days.insert(t.toUTC().date());
    }
    return keep;
}

void keepPrevious(TADOConnection *db, const QString &unit, const QDateTime &now)
{
    sqlite3 *h = handleOf(db);
    const qint64 key = unit.toLongLong();
    QByteArray document;
    {
        Statement st(h, "SELECT ucon, ucontxt FROM units WHERE id = ?");
        st.bind(1, key);
        if (!st.step())
            return;
        document = st.utf8(0);
        QString savedAt;
        Statement when(h, "SELECT saved_at FROM page_saves WHERE unit = ?");
        when.bind(1, key);
        // A page never saved since versions were kept has no time of its
        // own; the moment it is replaced stands for it.
        savedAt = when.step() ? when.text(0) : stamp(now);
        Statement add(h, "INSERT INTO page_history (unit, saved_at, size, first_line, document) VALUES (?, ?, ?, ?, ?)");
        add.bind(1, key).bind(2, savedAt).bind(3, qint64(document.size()))
            .bind(4, firstLineOf(Dataunesc(st.text(1))));
        add.bindBlob(5, qCompress(document));
        add.run();
    }
    Statement saved(h, "INSERT OR REPLACE INTO page_saves (unit, saved_at) VALUES (?, ?)");
    saved.bind(1, key).bind(2, stamp(now));
    saved.run();
    // What the rule lets go.
    QList<qint64> ids;
    QList<QDateTime> times;
    {
        Statement st(h, "SELECT id, saved_at FROM page_history WHERE unit = ? ORDER BY saved_at DESC, id DESC");
        st.bind(1, key);
        while (st.step()) {
            ids << st.integer(0);
            times << QDateTime::fromString(st.text(1), Qt::ISODateWithMs);
        }
    }
    const QList<bool> keep = kept(times, now);
    Statement drop(h, "DELETE FROM page_history WHERE id = ?");
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (!keep.at(i)) {
            drop.bind(1, ids.at(i));
            drop.run();
        }
    }
}

QList<Version> versions(TADOConnection *db, const QString &unit)
{
    QList<Version> out;
    Statement st(handleOf(db), "SELECT id, saved_at, size, first_line FROM page_history WHERE unit = ? "
                               "ORDER BY saved_at DESC, id DESC");
    st.bind(1, unit.toLongLong());
    while (st.step())
        out.append({st.integer(0), QDateTime::fromString(st.text(1), Qt::ISODateWithMs), st.integer(2), st.text(3)});
    return out;
}

QString document(TADOConnection *db, qint64 version)
{
    Statement st(handleOf(db), "SELECT document FROM page_history WHERE id = ?");
    st.bind(1, version);
    if (!st.step())
        throw EDatabaseError(QStringLiteral("这个历史版本已不在书库中。"));
    return Dataunesc(QString::fromUtf8(qUncompress(st.blob(0))));
}

namespace {

QStringList wordsOf(const QString &text)
{
    QStringList words;
    QString run;
    for (QChar c : text) {
        const bool letter = c.isLetterOrNumber() && c.unicode() < 0x2E80;
        if (letter) {
            run += c;
            continue;
        }
        if (!run.isEmpty())
            words << run;
        run.clear();
        words << QString(c);
    }
    if (!run.isEmpty())
        words << run;
    return words;
}

} // namespace

QString markChanges(const QString &before, const QString &after)
{
    const QStringList a = wordsOf(before), b = wordsOf(after);
    // The shortest edit script (Myers): fast where the versions are alike,
    // which versions of one page mostly are.
    const int n = int(a.size()), m = int(b.size()), max = n + m;
    std::vector<int> v(size_t(2 * max + 2), 0);
    std::vector<std::vector<int>> trace;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d) {
        trace.push_back(v);
        for (int k = -d; k <= d; k += 2) {
            const size_t at = size_t(k + max);
            int x = (k == -d || (k != d && v[at - 1] < v[at + 1])) ? v[at + 1] : v[at - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            v[at] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }
    // Walk back from the end to the start, collecting the steps.
    struct Step
    {
        char kind; // '=', '+', '-'
        QString word;
    };
    QList<Step> steps;
    int x = n, y = m;
    for (int d = found; d > 0; --d) {
        const std::vector<int> &pv = trace[size_t(d)];
        const int k = x - y;
        const size_t at = size_t(k + max);
        const bool down = k == -d || (k != d && pv[at - 1] < pv[at + 1]);
        const int pk = down ? k + 1 : k - 1;
        const int px = pv[size_t(pk + max)];
        const int py = px - pk;
        while (x > px && y > py)
            steps.prepend({'=', a[--x]}), --y;
        if (down)
            steps.prepend({'+', b[--y]});
        else
            steps.prepend({'-', a[--x]});
    }
    while (x > 0 && y > 0)
        steps.prepend({'=', a[--x]}), --y;
    QString out;
    char open = '=';
    for (const Step &s : steps) {
        if (s.kind != open) {
            if (open == '+')
                out += QStringLiteral("</ins>");
            else if (open == '-')
                out += QStringLiteral("</del>");
            if (s.kind == '+')
                out += QStringLiteral("<ins>");
            else if (s.kind == '-')
                out += QStringLiteral("<del>");
            open = s.kind;
        }
        out += s.word.toHtmlEscaped();
    }
    if (open == '+')
        out += QStringLiteral("</ins>");
    else if (open == '-')
        out += QStringLiteral("</del>");
    return out;
}

} // namespace history
