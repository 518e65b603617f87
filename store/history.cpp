#include "store/history.h"

#include "store/connection.h"
#include "store/engine.h"
#include "store/escape.h"

#include <QSet>

#include <vector>

namespace history {

namespace {

using engine::Statement;

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
    sqlite3 *h = engine::openHandle(db);
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
        // The fastest level: a save of a large page waits for it.
        add.bindBlob(5, qCompress(document, 1));
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
    Statement st(engine::openHandle(db), "SELECT id, saved_at, size, first_line FROM page_history WHERE unit = ? "
                               "ORDER BY saved_at DESC, id DESC");
    st.bind(1, unit.toLongLong());
    while (st.step())
        out.append({st.integer(0), QDateTime::fromString(st.text(1), Qt::ISODateWithMs), st.integer(2), st.text(3)});
    return out;
}

QString document(TADOConnection *db, qint64 version)
{
    Statement st(engine::openHandle(db), "SELECT document FROM page_history WHERE id = ?");
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
    const QStringList wa = wordsOf(before), wb = wordsOf(after);
    // What both share at the ends is unchanged; only the middle is compared.
    qsizetype head = 0;
    while (head < wa.size() && head < wb.size() && wa[head] == wb[head])
        ++head;
    qsizetype tail = 0;
    while (tail < wa.size() - head && tail < wb.size() - head && wa[wa.size() - 1 - tail] == wb[wb.size() - 1 - tail])
        ++tail;
    const QStringList a = wa.mid(head, wa.size() - head - tail), b = wb.mid(head, wb.size() - head - tail);
    struct Step
    {
        char kind; // '=', '+', '-'
        QString word;
    };
    QList<Step> steps;
    // The shortest edit script (Myers), keeping of each round only the
    // diagonals it reached, so memory grows with the square of the number
    // of changes, not with the length of the page. Past a bound the middle
    // counts as replaced whole.
    constexpr int most = 2000;
    const int n = int(a.size()), m = int(b.size());
    std::vector<std::vector<int>> trace; // round d holds x for k = -d .. d
    std::vector<int> v(1, 0);
    int found = -1;
    for (int d = 0; d <= std::min(n + m, most) && found < 0; ++d) {
        std::vector<int> next(size_t(2 * d + 1), 0);
        for (int k = -d; k <= d; k += 2) {
            const auto prev = [&](int kk) { return v[size_t(kk + d - 1)]; };
            int x = d == 0 ? 0 : (k == -d || (k != d && prev(k - 1) < prev(k + 1))) ? prev(k + 1) : prev(k - 1) + 1;
            int y = x - k;
            while (x < n && y < m && a[x] == b[y]) {
                ++x;
                ++y;
            }
            next[size_t(k + d)] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
        trace.push_back(next);
        v = std::move(next);
    }
    if (found < 0) {
        for (const QString &w : a)
            steps.append({'-', w});
        for (const QString &w : b)
            steps.append({'+', w});
    } else {
        int x = n, y = m;
        for (int d = found; d > 0; --d) {
            const std::vector<int> &pv = trace[size_t(d - 1)];
            const auto prev = [&](int kk) { return pv[size_t(kk + d - 1)]; };
            const int k = x - y;
            const bool down = k == -d || (k != d && prev(k - 1) < prev(k + 1));
            const int pk = down ? k + 1 : k - 1;
            const int px = prev(pk);
            const int py = px - pk;
            while (x > px && y > py) {
                steps.prepend({'=', a[--x]});
                --y;
            }
            if (down)
                steps.prepend({'+', b[--y]});
            else
                steps.prepend({'-', a[--x]});
        }
        while (x > 0 && y > 0) {
            steps.prepend({'=', a[--x]});
            --y;
        }
    }
    QString out;
    for (qsizetype i = 0; i < head; ++i)
        out += wa[i].toHtmlEscaped();
    char open = '=';
    const auto close = [&] {
        if (open == '+')
            out += QStringLiteral("</ins>");
        else if (open == '-')
            out += QStringLiteral("</del>");
    };
    for (const Step &s : steps) {
        if (s.kind != open) {
            close();
            if (s.kind == '+')
                out += QStringLiteral("<ins>");
            else if (s.kind == '-')
                out += QStringLiteral("<del>");
            open = s.kind;
        }
        out += s.word.toHtmlEscaped();
    }
    close();
    for (qsizetype i = wa.size() - tail; i < wa.size(); ++i)
        out += wa[i].toHtmlEscaped();
    return out;
}

} // namespace history
