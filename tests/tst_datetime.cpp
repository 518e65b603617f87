#include "ztking/ztking.h"

#include <QDateTime>
#include <QLocale>
#include <QTest>

#include <climits>
#include <limits>

// 5 March 2026, a Thursday, as days since 1899-12-30.
static constexpr double march5 = 46086;
static constexpr double at070409 = march5 + (7 * 3600 + 4 * 60 + 9) / 86400.0;

class TstDateTime : public QObject
{
    Q_OBJECT

private slots:
    void dateField_data();
    void dateField();
    void forms_data();
    void forms();
    void clock();
    void normalise_data();
    void normalise();
    void between_data();
    void between();
};

void TstDateTime::dateField_data()
{
    QTest::addColumn<QString>("gs");
    QTest::addColumn<QString>("expected");

    QTest::newRow("year") << "year" << "2026";
    QTest::newRow("month") << "m" << "3";
    QTest::newRow("month filled") << "mm" << "03";
    QTest::newRow("day") << "d" << "5";
    QTest::newRow("day filled") << "dd" << "05";
    QTest::newRow("keyword case-sensitive") << "Year" << "";
    QTest::newRow("format letters") << "yyyy" << "";
    QTest::newRow("empty") << "" << "";
}

void TstDateTime::dateField()
{
    QFETCH(QString, gs);
    QFETCH(QString, expected);
    QCOMPARE(Ztking::NowDX(gs, at070409), expected);
}

void TstDateTime::forms_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<double>("at");
    QTest::addColumn<QString>("expected");

    QTest::newRow("date") << "D" << at070409 << "2026-03-05";
    QTest::newRow("date-time") << "DT" << at070409 << "2026-03-05 07:04:09";
    QTest::newRow("date weekday") << "DTW0" << at070409 << "2026-03-05 星期四";
    QTest::newRow("date-time weekday") << "DTW1" << at070409 << "2026-03-05 07:04:09 星期四";
    QTest::newRow("Sunday last") << "DTW0" << march5 + 3 << "2026-03-08 星期日";
    QTest::newRow("Monday first") << "DTW0" << march5 + 4 << "2026-03-09 星期一";
    QTest::newRow("milliseconds dropped") << "DT" << march5 + 0.9999 << "2026-03-05 23:59:51";
    QTest::newRow("rounding reaches midnight")
        << "DT" << march5 + 86399.9996 / 86400 << "2026-03-06 00:00:00";
    QTest::newRow("epoch") << "DT" << 0.0 << "1899-12-30 00:00:00";
    QTest::newRow("before epoch, time forward") << "DT" << -1.25 << "1899-12-29 06:00:00";
    QTest::newRow("first year unfilled") << "D" << -693593.0 << "1-01-01";
    QTest::newRow("last day") << "D" << 2958465.5 << "9999-12-31";
    QTest::newRow("beyond year 9999") << "D" << 2958466.0 << "";
    QTest::newRow("not a number") << "DT" << std::numeric_limits<double>::quiet_NaN() << "";
}

void TstDateTime::forms()
{
    QFETCH(QString, form);
    QFETCH(double, at);
    QFETCH(QString, expected);
    const QString got = form == u"D"      ? Ztking::NowD(at)
                        : form == u"DT"   ? Ztking::NowDT(at)
                        : form == u"DTW0" ? Ztking::NowDTW(0, at)
                                          : Ztking::NowDTW(1, at);
    QCOMPARE(got, expected);
}

void TstDateTime::clock()
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
    const QString today = Ztking::NowD();
    const QString now = Ztking::NowDT();
    const QString weekday = Ztking::NowDTW(1);
    const QDateTime after = QDateTime::currentDateTime();

    const QDate d = QDate::fromString(today, QStringLiteral("yyyy-MM-dd"));
    QVERIFY2(d == before.date() || d == after.date(), qPrintable(today));
    const QDateTime t = QDateTime::fromString(now, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    QVERIFY2(t >= before && t <= after, qPrintable(now));
    QCOMPARE(Ztking::NowDX(QStringLiteral("year")), QString::number(after.date().year()));
    const QDate day = QDate::fromString(weekday.left(10), QStringLiteral("yyyy-MM-dd"));
    const QString name = QLocale(QLocale::Chinese, QLocale::China).dayName(day.dayOfWeek());
    QVERIFY2(day.isValid() && weekday.endsWith(u' ' + name), qPrintable(weekday));
}

void TstDateTime::normalise_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("lx");
    QTest::addColumn<QString>("expected");

    const QString wrong = QStringLiteral("日期时间格式不正确！");
    const QLocale zh(QLocale::Chinese, QLocale::China);
    const QLocale de(QLocale::German, QLocale::Germany);
    const QLocale us(QLocale::English, QLocale::UnitedStates);

    QTest::newRow("date and time") << zh << "2026/3/5 7:04:09" << 1 << "2026-03-05 07:04:09";
    QTest::newRow("date only, with time") << zh << "2026/3/5" << 1 << "2026-03-05 00:00:00";
    QTest::newRow("date only") << zh << "2026/3/5 7:04:09" << 0 << "2026-03-05";
    QTest::newRow("filled fields, blanks") << zh << " 2026/03/05  07:04 " << 1
                                           << "2026-03-05 07:04:00";
    QTest::newRow("milliseconds dropped") << zh << "2026/3/5 7:04:09.999" << 1
                                          << "2026-03-05 07:04:09";
    QTest::newRow("two-digit year") << zh << "26/3/5" << 0 << "2026-03-05";
    QTest::newRow("two-digit year last century") << zh << "99/3/5" << 0 << "1999-03-05";
    QTest::newRow("leap day") << zh << "2024/2/29" << 0 << "2024-02-29";
    QTest::newRow("text") << zh << "abc" << 0 << wrong;
    QTest::newRow("empty") << zh << "" << 0 << wrong;
    QTest::newRow("no leap day") << zh << "2026/2/29" << 0 << wrong;
    QTest::newRow("month 13") << zh << "2026/13/5" << 0 << wrong;
    QTest::newRow("hour 24") << zh << "2026/3/5 24:00" << 1 << wrong;
    QTest::newRow("hour alone") << zh << "2026/3/5 7" << 1 << wrong;
    QTest::newRow("other separator") << zh << "2026-3-5" << 0 << wrong;
    QTest::newRow("trailing text") << zh << "2026/3/5x" << 0 << wrong;
    QTest::newRow("five-digit year") << zh << "20260/3/5" << 0 << wrong;
    QTest::newRow("day first with dots") << de << "05.03.26 7:04" << 1 << "2026-03-05 07:04:00";
    QTest::newRow("month first") << us << "3/5/2026" << 0 << "2026-03-05";
    QTest::newRow("month first read as such") << us << "13/5/2026" << 0 << wrong;
    QTest::newRow("month name") << QLocale::c() << "5 Mar 2026" << 0 << "2026-03-05";
}

void TstDateTime::normalise()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, input);
    QFETCH(int, lx);
    QFETCH(QString, expected);
    const QLocale saved;
    QLocale::setDefault(locale);
    const QString got = Ztking::DTimex(input, lx);
    QLocale::setDefault(saved);
    QCOMPARE(got, expected);
}

void TstDateTime::between_data()
{
    QTest::addColumn<Tblx>("unit");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("expected");

    const double a = at070409;
    const double jan1 = 46023, feb1 = 46054, mar1 = 46082;
    QTest::newRow("day and a half") << Tblx::Day << a << a + 1.5 << 1;
    QTest::newRow("day backwards negative") << Tblx::Day << a + 1.5 << a << -1;
    QTest::newRow("quarter day in hours") << Tblx::Hour << a << a + 0.25 << 6;
    QTest::newRow("365 days not a year") << Tblx::Year << a << a + 365 << 0;
    QTest::newRow("366 days a year") << Tblx::Year << a << a + 366 << 1;
    QTest::newRow("January is a month") << Tblx::Month << jan1 << feb1 << 1;
    QTest::newRow("February is not") << Tblx::Month << feb1 << mar1 << 0;
    QTest::newRow("whole hour in doubles") << Tblx::Hour << march5 + 3 / 24.0
                                           << march5 + 4 / 24.0 << 1;
    QTest::newRow("minutes") << Tblx::Minute << a << a + 1 / 24.0 << 60;
    QTest::newRow("seconds") << Tblx::Second << a << a + 1 << 86400;
    QTest::newRow("milliseconds") << Tblx::MilliSecond << a << a + 1 << 86400000;
    QTest::newRow("equal") << Tblx::Second << a << a << 0;
    QTest::newRow("milliseconds saturate") << Tblx::MilliSecond << a << a + 30 << INT_MAX;
    QTest::newRow("negative saturates") << Tblx::MilliSecond << a + 30 << a << INT_MIN;
    QTest::newRow("seconds over a century") << Tblx::Second << 0.0 << 36525.0 << INT_MAX;
    QTest::newRow("infinite span") << Tblx::Year << 0.0
                                   << std::numeric_limits<double>::infinity() << INT_MAX;
    QTest::newRow("not a number") << Tblx::Day << 0.0
                                  << std::numeric_limits<double>::quiet_NaN() << 0;
}

void TstDateTime::between()
{
    QFETCH(Tblx, unit);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, expected);
    QCOMPARE(Ztking::Timebetween(unit, from, to), expected);
}

QTEST_GUILESS_MAIN(TstDateTime)
#include "tst_datetime.moc"
