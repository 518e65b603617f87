#include "ztking/ztking.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <iterator>

namespace {

const QDate epoch(1899, 12, 30);
constexpr qint64 msPerDay = 86400000;

// Splits a date-time value into its date and time of day, to the
// millisecond. Negative values count the date back from the epoch while
// the fraction still counts forward into that day.
bool fromValue(double at, QDate &date, QTime &time)
{
    // 0001-01-01 up to the end of 9999-12-31; NaN fails too.
    if (!(at >= -693593.0 && at < 2958466.0))
        return false;
    qint64 days = qint64(std::trunc(at));
    qint64 ms = std::llround(std::fabs(at - double(days)) * msPerDay);
    if (ms >= msPerDay) {
        ms -= msPerDay;
        days += at < 0 ? -1 : 1;
    }
    date = epoch.addDays(days);
    time = QTime::fromMSecsSinceStartOfDay(int(ms));
    return date.isValid() && date.year() >= 1 && date.year() <= 9999;
}

QString two(int v)
{
    return Ztking::padleft(QString::number(v), QStringLiteral("0"), 2);
}

QString dateForm(const QDate &d)
{
    return QString::number(d.year()) + u'-' + two(d.month()) + u'-' + two(d.day());
}

QString dateTimeForm(const QDate &d, const QTime &t)
{
    return dateForm(d) + u' ' + two(t.hour()) + u':' + two(t.minute()) + u':' + two(t.second());
}

QString field(const QString &gs, const QDate &d)
{
    if (gs == u"year")
        return QString::number(d.year());
    if (gs == u"m")
        return QString::number(d.month());
    if (gs == u"mm")
        return two(d.month());
    if (gs == u"d")
        return QString::number(d.day());
    if (gs == u"dd")
        return two(d.day());
    return QString();
}

QString withWeekday(int lx, const QDate &d, const QTime &t)
{
    static const char16_t *const names[] = {u"星期一", u"星期二", u"星期三", u"星期四",
                                            u"星期五", u"星期六", u"星期日"};
    const int w = d.dayOfWeek();
    const QString name = w >= 1 && w <= 7 ? QString::fromUtf16(names[w - 1])
                                          : QStringLiteral("星期？");
    return (lx == 0 ? dateForm(d) : dateTimeForm(d, t)) + u' ' + name;
}

// A cursor over the typed date and time; every reader leaves the cursor
// where it stopped and tells whether it found what it reads.
class Scanner
{
public:
    explicit Scanner(const QString &text) : s(text) {}

    bool atEnd() const { return i == s.size(); }

    bool blanks()
    {
        const qsizetype start = i;
        while (i < s.size() && s[i].isSpace())
            ++i;
        return i > start;
    }

    bool literal(QChar c)
    {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }

    // A decimal number of minDigits to maxDigits digits.
    bool number(int minDigits, int maxDigits, int &value, int *digits = nullptr)
    {
        qsizetype n = 0;
        value = 0;
        while (i + n < s.size() && n < maxDigits && s[i + n] >= u'0' && s[i + n] <= u'9')
            value = value * 10 + (s[i + n++].unicode() - '0');
        if (n < minDigits || (i + n < s.size() && s[i + n].isDigit()))
            return false;
        i += n;
        if (digits)
            *digits = int(n);
        return true;
    }

    // A month as a number or as one of the locale's month names.
    bool month(const QLocale &loc, int &value)
    {
        if (number(1, 2, value))
            return true;
        const QStringView rest = QStringView(s).sliced(i);
        for (int m = 1; m <= 12; ++m) {
            for (const QString &name : {loc.monthName(m, QLocale::LongFormat),
                                        loc.monthName(m, QLocale::ShortFormat),
                                        loc.standaloneMonthName(m, QLocale::LongFormat),
                                        loc.standaloneMonthName(m, QLocale::ShortFormat)}) {
                if (!name.isEmpty() && rest.startsWith(name, Qt::CaseInsensitive)) {
                    i += name.size();
                    value = m;
                    return true;
                }
            }
        }
        return false;
    }

private:
    const QString &s;
    qsizetype i = 0;
};

// The order of year, month and day in the locale's short date format, and
// the character between its fields (a blank when it has none but blanks).
void shortDateLayout(const QLocale &loc, QString &order, QChar &separator)
{
    const QString format = loc.dateFormat(QLocale::ShortFormat);
    order.clear();
    separator = u' ';
    bool inQuote = false;
    for (qsizetype k = 0; k < format.size(); ++k) {
        const QChar c = format[k];
        if (c == u'\'')
            inQuote = !inQuote;
        else if (!inQuote && (c == u'y' || c == u'M' || c == u'd') && !order.contains(c))
            order += c;
        else if (!inQuote && order.size() == 1 && separator == u' ' && !c.isLetter()
                 && !c.isSpace())
            separator = c;
    }
    if (order.size() != 3)
        order = QStringLiteral("yMd");
}

} // namespace

QString Ztking::NowDX(const QString &gs)
{
    return field(gs, QDate::currentDate());
}

QString Ztking::NowDX(const QString &gs, double at)
{
    QDate d;
    QTime t;
    return fromValue(at, d, t) ? field(gs, d) : QString();
}

QString Ztking::NowD()
{
    return dateForm(QDate::currentDate());
}

QString Ztking::NowD(double at)
{
    QDate d;
    QTime t;
    return fromValue(at, d, t) ? dateForm(d) : QString();
}

QString Ztking::NowDT()
{
    const QDateTime now = QDateTime::currentDateTime();
    return dateTimeForm(now.date(), now.time());
}

QString Ztking::NowDT(double at)
{
    QDate d;
    QTime t;
    return fromValue(at, d, t) ? dateTimeForm(d, t) : QString();
}

QString Ztking::NowDTW(int lx)
{
    const QDateTime now = QDateTime::currentDateTime();
    return withWeekday(lx, now.date(), now.time());
}

QString Ztking::NowDTW(int lx, double at)
{
    QDate d;
    QTime t;
    return fromValue(at, d, t) ? withWeekday(lx, d, t) : QString();
}

QString Ztking::DTimex(const QString &inputd, int lx)
{
    static const QString wrong = QStringLiteral("日期时间格式不正确！");
    const QLocale loc;
    QString order;
    QChar separator;
    shortDateLayout(loc, order, separator);

    Scanner in(inputd);
    int year = 0, month = 0, day = 0, yearDigits = 0;
    in.blanks();
    for (qsizetype k = 0; k < 3; ++k) {
        if (k > 0) {
            in.blanks();
            if (separator != u' ' && !in.literal(separator))
                return wrong;
            in.blanks();
        }
        const bool ok = order[k] == u'y'   ? in.number(1, 4, year, &yearDigits)
                        : order[k] == u'M' ? in.month(loc, month)
                                           : in.number(1, 2, day);
        if (!ok)
            return wrong;
    }
    if (yearDigits <= 2)
        year += year < 50 ? 2000 : 1900;

    int hour = 0, minute = 0, second = 0, ms = 0;
    const bool blank = in.blanks();
    if (!in.atEnd()) {
        if (!blank || !in.number(1, 2, hour) || !in.literal(u':') || !in.number(1, 2, minute))
            return wrong;
        if (in.literal(u':')) {
            if (!in.number(1, 2, second))
                return wrong;
            if (in.literal(u'.') && !in.number(1, 3, ms))
                return wrong;
        }
        in.blanks();
        if (!in.atEnd())
            return wrong;
    }

    const QDate date(year, month, day);
    const QTime time(hour, minute, second);
    if (!date.isValid() || !time.isValid())
        return wrong;
    return lx == 0 ? dateForm(date) : dateTimeForm(date, time);
}

int Ztking::Timebetween(Tblx lx, double FromT, double ToT)
{
    // Unit lengths in microseconds, in the order of Tblx.
    static const qint64 unitUs[] = {31557600000000, 2629800000000, 86400000000, 3600000000,
                                    60000000, 1000000, 1000};
    const auto unit = std::size_t(lx);
    const double span = std::fabs(FromT - ToT);
    if (unit >= std::size(unitUs) || std::isnan(span))
        return 0;
    // Whole microseconds first: 10:00 minus 04:00 as doubles is a hair below
    // six hours and would otherwise count five.
    const double us = span * 86400e6;
    qint64 count;
    if (us < 9e18)
        count = std::llround(us) / unitUs[unit];
    else {
        const double c = std::trunc(us / double(unitUs[unit]));
        count = c > double(INT_MAX) ? qint64(INT_MAX) + 1 : qint64(c);
    }
    if (ToT < FromT)
        count = -count;
    return int(std::clamp<qint64>(count, INT_MIN, INT_MAX));
}
