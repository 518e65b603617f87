#include "store/dialect.h"
#include "store/schema.h"

#include <QHash>
#include <QRegularExpression>

namespace {

// The catalogue speaks the provider's dialect. Two of its forms differ from
// the engine's: "Delete * from" and "select top N". Both stand at the very
// start of a statement, so nothing inside a quoted value is touched.
QString engineForms(const QString &sql)
{
    static const QRegularExpression deleteStar(QStringLiteral("^\\s*delete\\s+\\*\\s+from\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression selectTop(QStringLiteral("^(\\s*select)\\s+top\\s+(\\d+)\\s"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString out = sql;
    if (const auto m = deleteStar.match(out); m.hasMatch())
        return out.replace(0, m.capturedLength(), QStringLiteral("DELETE FROM"));
    if (const auto m = selectTop.match(out); m.hasMatch()) {
        const QString count = m.captured(2);
        out.replace(0, m.capturedLength(), m.captured(1) + u' ');
        while (!out.isEmpty() && (out.back().isSpace() || out.back() == u';'))
            out.chop(1);
        return out + QStringLiteral(" LIMIT ") + count;
    }
    return out;
}

const QHash<QString, ColumnKind> &columnKinds()
{
    static const QHash<QString, ColumnKind> kinds = [] {
        QHash<QString, ColumnKind> k;
        for (int i = 0; i < LibraryColumnCount; ++i)
            k.insert(QLatin1String(LibraryColumns[i].name), LibraryColumns[i].kind);
        return k;
    }();
    return kinds;
}

bool identifierChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// The length of the quoted run that starts at i (its quotes included; a
// doubled quote stays inside), or of the rest of the text when it is open.
qsizetype quotedLength(const QString &sql, qsizetype i)
{
    const QChar quote = sql.at(i);
    qsizetype j = i + 1;
    while (j < sql.size()) {
        if (sql.at(j) == quote) {
            if (j + 1 < sql.size() && sql.at(j + 1) == quote) {
                j += 2;
                continue;
            }
            return j + 1 - i;
        }
        ++j;
    }
    return sql.size() - i;
}

// cstr(col) and cint(col) at i, and what stands for them there. The key
// compared with quoted decimal text becomes a comparison of numbers, but
// only for the one spelling cstr() gives a number: "012" matches no key and
// keeps its form.
struct Rewrite
{
    qsizetype length = 0;
    QString text;
};

Rewrite conversionAt(const QString &sql, qsizetype i)
{
    static const QRegularExpression call(QStringLiteral("(cstr|cint)\\s*\\(\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*\\)"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression keyCompare(QStringLiteral("\\s*=\\s*'(0|-?[1-9][0-9]{0,17})'"));
    const auto m = call.match(sql, i, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    if (!m.hasMatch())
        return {};
    const QString column = m.captured(2);
    const auto kind = columnKinds().constFind(column.toLower());
    if (kind == columnKinds().constEnd())
        return {};
    const bool toText = m.captured(1).compare(QLatin1String("cstr"), Qt::CaseInsensitive) == 0;
    switch (*kind) {
    case ColumnKind::Text:
        if (toText)
            return {m.capturedLength(), column};
        return {};
    case ColumnKind::Whole:
        if (!toText)
            return {m.capturedLength(), column};
        return {};
    case ColumnKind::Key: {
        if (!toText)
            return {};
        const auto k = keyCompare.match(sql, m.capturedEnd(), QRegularExpression::NormalMatch,
                                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!k.hasMatch())
            return {};
        return {k.capturedEnd() - i, column + u'=' + k.captured(1)};
    }
    }
    return {};
}

QString plainColumns(const QString &sql)
{
    QString out;
    out.reserve(sql.size());
    qsizetype i = 0;
    while (i < sql.size()) {
        const QChar c = sql.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype n = quotedLength(sql, i);
            out += QStringView(sql).mid(i, n);
            i += n;
            continue;
        }
        if (identifierChar(c)) {
            if (i == 0 || !identifierChar(sql.at(i - 1))) {
                if (const Rewrite r = conversionAt(sql, i); r.length > 0) {
                    out += r.text;
                    i += r.length;
                    continue;
                }
            }
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace

QString jetToEngine(const QString &sql)
{
    return plainColumns(engineForms(sql));
}
