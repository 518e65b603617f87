#include "ztking/ztking.h"

#include <QLocale>
#include <QRandomGenerator>

#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>

const QString Ztking::Failtext = QStringLiteral("提取失败！");

namespace {

// One generator for the whole process, seeded once, so that texts drawn in
// quick succession still differ.
QRandomGenerator &generator()
{
    static QRandomGenerator gen(
        quint32(std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    return gen;
}

// Position of gjc in str counted from 1, or 0. QString::indexOf finds an
// empty needle everywhere; a marker must never be found that way.
qsizetype findFrom(const QString &str, const QString &gjc, qsizetype from = 0)
{
    if (gjc.isEmpty() || str.isEmpty())
        return 0;
    return str.indexOf(gjc, from, Qt::CaseSensitive) + 1;
}

// QString::left and right give the whole text for a negative count; a count
// of 0 or less must give the empty text.
QString firstChars(const QString &s, qsizetype k)
{
    return k <= 0 ? QString() : s.left(k);
}

QString lastChars(const QString &s, qsizetype k)
{
    return k <= 0 ? QString() : s.right(k);
}

QString pad(const QString &str, const QString &zf, int num, bool left)
{
    const qsizetype missing = qsizetype(num) - str.size();
    if (missing <= 0 || zf.isEmpty())
        return str;
    const qsizetype total = str.size() + missing * zf.size();
    if (total > INT_MAX)
        throw Ztking::EZtkError(QStringLiteral("Padding to %1 characters makes a text too long")
                                    .arg(num));
    const QString fill = zf.repeated(missing);
    return left ? fill + str : str + fill;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

int hexValue(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - '0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - 'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - 'A' + 10;
    return -1;
}

// The standard 32-bit integer conversion: leading blanks, a sign, then
// decimal digits or hex digits after $, x, X, 0x or 0X, and nothing after.
bool parseInteger(const QString &s, double &value)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    while (i < n && isBlank(s[i]))
        ++i;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        negative = s[i++] == u'-';
    int base = 10;
    if (i < n && (s[i] == u'$' || s[i] == u'x' || s[i] == u'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == u'0' && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return false;
    const qint64 limit = negative ? qint64(INT_MAX) + 1 : qint64(INT_MAX);
    qint64 v = 0;
    for (; i < n; ++i) {
        const int d = hexValue(s[i]);
        if (d < 0 || d >= base)
            return false;
        v = v * base + d;
        if (v > limit)
            return false;
    }
    value = double(negative ? -v : v);
    return true;
}

// The floating-point conversion: blanks around a sign, digits with the
// locale's decimal separator, and an optional exponent; the value finite.
bool parseDecimal(const QString &s, double &value)
{
    const QString point = QLocale().decimalPoint();
    std::string ascii;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto digits = [&] {
        const qsizetype start = i;
        while (i < n && s[i] >= u'0' && s[i] <= u'9')
            ascii += char(s[i++].unicode());
        return i - start;
    };
    while (i < n && isBlank(s[i]))
        ++i;
    if (i < n && (s[i] == u'+' || s[i] == u'-'))
        ascii += char(s[i++].unicode());
    qsizetype mantissa = digits();
    if (!point.isEmpty() && QStringView(s).sliced(i).startsWith(point)) {
        i += point.size();
        ascii += '.';
        mantissa += digits();
    }
    if (mantissa == 0)
        return false;
    if (i < n && (s[i] == u'e' || s[i] == u'E')) {
        ascii += 'e';
        ++i;
        if (i < n && (s[i] == u'+' || s[i] == u'-'))
            ascii += char(s[i++].unicode());
        if (digits() == 0)
            return false;
    }
    while (i < n && isBlank(s[i]))
        ++i;
    if (i != n)
        return false;
    // from_chars takes no leading "+".
    const char *first = ascii.data() + (ascii[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(first, ascii.data() + ascii.size(), value);
    return ec == std::errc() && end == ascii.data() + ascii.size() && std::isfinite(value);
}

} // namespace

int Ztking::sjs(int a, int b)
{
    if (b < 1 || a > b)
        return 0;
    // Drawing from max(a, 1)..b directly is the same distribution as drawing
    // from 1..b until the number reaches a, without the long wait when a is
    // close to a large b.
    const qint64 low = a < 1 ? 1 : a;
    return int(generator().bounded(low, qint64(b) + 1));
}

QString Ztking::sjm(int num)
{
    static const QString alphabet = QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyz");
    QString out;
    if (num <= 0)
        return out;
    out.reserve(num);
    for (int i = 0; i < num; ++i)
        out += alphabet[generator().bounded(int(alphabet.size()))];
    return out;
}

QString Ztking::hsp(const QString &str, const QString &gjc, int bao)
{
    const qsizetype p = findFrom(str, gjc);
    if (p == 0)
        return Failtext;
    if (bao == 0)
        return lastChars(str, str.size() - p - gjc.size() + 1);
    if (bao == 1)
        return lastChars(str, str.size() - p + 1);
    return Failtext;
}

QString Ztking::qsp(const QString &str, const QString &gjc, int bao)
{
    const qsizetype p = findFrom(str, gjc);
    if (p == 0)
        return Failtext;
    if (bao == 0)
        return firstChars(str, p - 1);
    if (bao == 1)
        return firstChars(str, p + gjc.size() - 1);
    return Failtext;
}

QString Ztking::msp(const QString &str, const QString &gjc1, const QString &gjc2)
{
    if (findFrom(str, gjc1) == 0 || findFrom(str, gjc2) == 0)
        return Failtext;
    const QString rest = hsp(str, gjc1, 0);
    return firstChars(rest, findFrom(rest, gjc2) - 1);
}

int Ztking::tjs(const QString &str, const QString &gjc)
{
    int count = 0;
    qsizetype from = 0;
    while (count < 101) {
        const qsizetype p = findFrom(str, gjc, from);
        if (p == 0)
            break;
        ++count;
        from = p - 1 + gjc.size();
    }
    return count;
}

QString Ztking::gst(const QString &str, const QString &gjc, int fx, int cd, int wei, int bao)
{
    if (findFrom(str, gjc) == 0 || wei <= 0 || (bao != 0 && bao != 1))
        return Failtext;
    const QString kept = bao == 1 ? gjc : QString();
    if (fx == 1) {
        // Walk the occurrences by index: copying the rest of the text at
        // every step would cost the square of its length.
        qsizetype after = 0;
        for (int i = 0; i < wei; ++i) {
            const qsizetype p = findFrom(str, gjc, after);
            if (p == 0)
                break;
            after = p - 1 + gjc.size();
        }
        const QString piece = kept + str.mid(after);
        return cd == -1 ? piece : firstChars(piece, cd);
    }
    if (fx == -1) {
        const int n = tjs(str, gjc);
        QString text;
        if (n > wei) {
            // The wei-th occurrence from the end is the b-th from the start.
            const int b = n - wei + 1;
            qsizetype at = -1;
            for (int i = 0; i < b; ++i)
                at = findFrom(str, gjc, i == 0 ? 0 : at + gjc.size()) - 1;
            text = str.left(at) + kept;
        } else {
            text = qsp(str, gjc, bao);
        }
        return cd == -1 ? text : lastChars(text, cd);
    }
    return Failtext;
}

bool Ztking::Isnumberzt(const QString &str, const QString &lx)
{
    double value = 0;
    const bool integer = parseInteger(str, value);
    if (!integer && !parseDecimal(str, value))
        return false;
    for (const QString &item : Splitzt(lx, QStringLiteral(","))) {
        if ((item == u"+" && !(value >= 0)) || (item == u"-" && !(value < 0))
            || (item == u"=" && !integer) || (item == u">" && !(value > 0)))
            return false;
    }
    return true;
}

QString Ztking::padleft(const QString &str, const QString &zf, int num)
{
    return pad(str, zf, num, true);
}

QString Ztking::padright(const QString &str, const QString &zf, int num)
{
    return pad(str, zf, num, false);
}

QString Ztking::URLencode(const QString &str)
{
    static const QByteArray kept = QByteArrayLiteral("!$'()*-.@_");
    static const char hex[] = "0123456789ABCDEF";
    const QByteArray bytes = str.toUtf8();
    QString out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = uchar(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || kept.contains(char(c))) {
            out += QChar(c);
        } else if (c == ' ') {
            out += u'+';
        } else {
            const char escape[] = {'%', hex[c >> 4], hex[c & 15]};
            out += QLatin1String(escape, 3);
        }
    }
    return out;
}

QString Ztking::URLdecode(const QString &str)
{
    const QByteArray in = str.toUtf8();
    QByteArray out;
    out.reserve(in.size());
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else if (i + 1 < n && in[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (i + 2 >= n) {
            throw EZtkError(
                QStringLiteral("Error decoding URL style (%XX) encoded string at position %1")
                    .arg(i + 1));
        } else {
            const int hi = hexValue(QLatin1Char(in[i + 1]));
            const int lo = hexValue(QLatin1Char(in[i + 2]));
            if (hi < 0 || lo < 0)
                throw EZtkError(QStringLiteral("Invalid URL encoded character (%1) at position %2")
                                    .arg(QString::fromUtf8(in.mid(i, 3)), QString::number(i + 1)));
            out += char(hi * 16 + lo);
            i += 2;
        }
    }
    return QString::fromUtf8(out);
}
