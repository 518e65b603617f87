// Closing at any moment: the window, and a new book tab, closed at every
// tenth of a second of their first two seconds, while pages wait for the
// web engine, the library opens and the backup runs beside the window.
#include "app/mainfrm.h"
#include "store/backup.h"
#include "store/connection.h"

#include <QDir>
#include <QFile>
#include <QPointer>
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
    void cleanup() { removeLibrary(); }

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
