#include "store/dialect.h"

#include <QRegularExpression>

// The catalogue speaks the provider's dialect. Only two of its forms differ
// from the engine's: "Delete * from" and "select top N". Both stand at the
// very start of a statement, so nothing inside a quoted value is touched.
QString jetToEngine(const QString &sql)
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
