// The window's life: closed at any moment (the window, and a new book tab,
// at every tenth of a second of their first two seconds, while pages wait
// for the web engine, the library opens and the backup runs beside it), and
// opened within the screen at the reader's last size and place.
#include "app/mainfrm.h"
#include "store/backup.h"
#include "store/connection.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

QString libraryFile()
{
    return TForm1::libraryFolder() + QStringLiteral("vlbook.mdb");
}

void removeLibrary()
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(libraryFile() + QLatin1String(suffix));
    QDir(backups::folder(libraryFile())).removeRecursively();
}

} // namespace

class TstClosing : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        removeLibrary();
        TADOConnection::CreateLibrary(libraryFile());
    }
    void cleanup()
    {
        removeLibrary();
        QFile::remove(TForm1::libraryFolder() + QStringLiteral("velloran.ini"));
    }

    void windowFitsTheScreen_data()
    {
        QTest::addColumn<QRect>("wanted");
        QTest::addColumn<QRect>("room");
        QTest::addColumn<bool>("placed");
        QTest::addColumn<QRect>("fitted");
        QTest::newRow("first start, large screen") << QRect(0, 0, 842, 566) << QRect(0, 0, 1920, 1040) << false
                                                   << QRect(539, 237, 842, 566);
        QTest::newRow("first start, 800x600") << QRect(0, 0, 842, 566) << QRect(0, 0, 800, 600) << false
                                              << QRect(0, 17, 800, 566);
        // 1280x900 at twice the scale leaves 640x450 of room, a panel aside.
        QTest::newRow("scaled twice") << QRect(0, 0, 842, 566) << QRect(0, 12, 640, 438) << false
                                      << QRect(0, 12, 640, 438);
        QTest::newRow("last place kept") << QRect(100, 80, 900, 700) << QRect(0, 0, 1920, 1040) << true
                                         << QRect(100, 80, 900, 700);
        QTest::newRow("last place off the screen now") << QRect(2500, 900, 900, 700) << QRect(0, 0, 1280, 1000) << true
                                                       << QRect(380, 300, 900, 700);
    }
    void windowFitsTheScreen()
    {
        QFETCH(QRect, wanted);
        QFETCH(QRect, room);
        QFETCH(bool, placed);
        QFETCH(QRect, fitted);
        QCOMPARE(placeWindow(wanted, room, placed), fitted);
    }

    // Closed at one size and place, the next window opens there.
    void lastPlaceRemembered()
    {
        QRect where;
        {
            TForm1 form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            const QRect room = form.screen()->availableGeometry();
            where = QRect(room.left() + 10, room.top() + 20, room.width() - 40, room.height() - 60);
            form.setGeometry(where);
            QTRY_COMPARE(form.geometry(), where);
            form.close();
        }
        TForm1 again;
        QCOMPARE(again.geometry(), where);
    }

    void closedAtAnyMoment_data()
    {
        QTest::addColumn<bool>("tab");
        QTest::addColumn<int>("ms");
        for (int ms = 0; ms <= 2000; ms += 100) {
            QTest::addRow("window at %d ms", ms) << false << ms;
            QTest::addRow("new tab at %d ms", ms) << true << ms;
        }
    }
    void closedAtAnyMoment()
    {
        QFETCH(bool, tab);
        QFETCH(int, ms);
        auto *form = new TForm1;
        form->setAttribute(Qt::WA_DeleteOnClose);
        QPointer<TForm1> alive(form);
        if (tab) {
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form));
            QTRY_COMPARE(form->cxPageControl1->count(), 2);
            QTimer::singleShot(ms, form, [form] { form->closeButton->click(); });
            // The plus tab opens a page, which shows its welcome page.
            form->cxPageControl1->setCurrentIndex(0);
            QTRY_COMPARE_WITH_TIMEOUT(form->cxPageControl1->count(), 2, 10000);
            QTest::qWait(50);
            form->close();
        } else {
            // Started before the window shows, the close can come while
            // the library opens and the first page loads.
            QTimer::singleShot(ms, form, [form] { form->close(); });
            form->show();
        }
        QTRY_VERIFY_WITH_TIMEOUT(alive.isNull(), 10000);
    }
};

QTEST_MAIN(TstClosing)
#include "tst_closing.moc"
