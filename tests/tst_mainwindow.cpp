// The main window: tabs at start, the plus tab, closing, the caption message,
// start-up without a library, and the application's error report.
#include "app/application.h"
#include "app/binwindow.h"
#include "app/mainfrm.h"
#include "library/shelf.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "store/backup.h"
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/xcom.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <stdexcept>

namespace {

QString libraryFile()
{
    return TForm1::libraryFolder() + QStringLiteral("vlbook.mdb");
}

void removeLibrary()
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(libraryFile() + QLatin1String(suffix));
    QDir dir(TForm1::libraryFolder());
    for (const QString &aside : dir.entryList({QStringLiteral("vlbook-damaged-*")}, QDir::Files))
        QFile::remove(dir.filePath(aside));
    QDir(backups::folder(libraryFile())).removeRecursively();
}

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The books at the top of the library as the program reads them.
QStringList topBooks()
{
    TADOConnection c;
    c.ConnectionString = TADOConnection::JetConnectionString(libraryFile());
    c.Open();
    QStringList names;
    for (auto q = Ztking::Dataread(&c, sqlcat::booksLevel(QStringLiteral("$")), QString()); !q->Eof(); q->Next())
        names << Ztking::Dataget(*q, QStringLiteral("lbm"));
    return names;
}

void addTopBook(const QString &name)
{
    const int next = int(topBooks().size()) + 1;
    TADOConnection c;
    c.ConnectionString = TADOConnection::JetConnectionString(libraryFile());
    c.Open();
    Ztking::Datado(&c, sqlcat::bookInsert(QStringLiteral("$"), name, name, QString::number(next)), QString());
}

// A backup of the library as it is now, dated a day back.
QString backUpNow()
{
    const std::atomic_bool stop(false);
    return backups::care(libraryFile(), QDateTime::currentDateTimeUtc().addDays(-1), stop).file;
}

// The libraries set aside beside the program's library.
QStringList setAside()
{
    return QDir(TForm1::libraryFolder()).entryList({QStringLiteral("vlbook-damaged-*.mdb")}, QDir::Files);
}

} // namespace

class TstMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    void start()
    {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void init()
    {
        removeLibrary();
        TADOConnection::CreateLibrary(libraryFile());
    }
    void cleanup()
    {
        form.reset();
        removeLibrary();
    }

    void startsWithPlusAndOneBookTab()
    {
        start();
        QTabWidget *tabs = form->cxPageControl1;
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(0), QString());
        QVERIFY(!tabs->tabIcon(0).isNull());
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(tabs->tabText(1), QStringLiteral("书卷"));
        QVERIFY(tabs->widget(1)->findChild<TForm2 *>());
        QVERIFY(Adoconn && Adoconn->Connected());
        // 842 x 566 where the screen has the room, else all of it within
        // the screen.
        const QRect room = form->screen()->availableGeometry();
        if (room.width() >= 842 && room.height() >= 566)
            QCOMPARE(form->size(), QSize(842, 566));
        else
            QVERIFY(room.contains(form->frameGeometry()));
        QCOMPARE(form->windowTitle(), QStringLiteral("Velloran"));
    }

    void plusTabAddsAndActivates()
    {
        start();
        QTabBar *bar = form->cxPageControl1->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
        QCOMPARE(form->cxPageControl1->count(), 3);
        QCOMPARE(form->cxPageControl1->currentIndex(), 2);
        QCOMPARE(form->cxPageControl1->tabText(2), QStringLiteral("书卷"));
        // Selecting a page keeps the plus tab out of the way.
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
        QCOMPARE(form->cxPageControl1->currentIndex(), 1);
        QCOMPARE(form->cxPageControl1->count(), 3);
    }

    void closeRemovesTabAndPage()
    {
        start();
        form->addbookp();
        QCOMPARE(form->cxPageControl1->count(), 3);
        QPointer<TForm2> page = form->cxPageControl1->widget(2)->findChild<TForm2 *>();
        QVERIFY(page);
        QTest::mouseClick(form->closeButton, Qt::LeftButton);
        QCOMPARE(form->cxPageControl1->count(), 2);
        QTRY_VERIFY(page.isNull());
        QVERIFY(Adoconn && Adoconn->Connected());
        QVERIFY(form->cxPageControl1->currentIndex() != 0);
    }

    // A tab whose page holds unsaved edits asks before it goes; so does
    // the window. Cancel keeps both.
    void closingAsksForUnsavedEdits()
    {
        start();
        const QString book = shelf::addBook(Adoconn, "$", QStringLiteral("书")).rec.Tid;
        const QString unit = shelf::addUnit(Adoconn, book, "$", QStringLiteral("章")).rec.Tid;
        auto *page = form->cxPageControl1->widget(1)->findChild<TForm2 *>();
        page->Booklist();
        page->tv1->select(page->tv1->find(book));
        page->Unitlist();
        page->tv2->select(page->tv2->find(unit));
        page->N8Click();
        page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>未保存</p>"));
        form->addbookp();
        form->cxPageControl1->setCurrentIndex(1);
        BoxAnswerer boxes(QMessageBox::Cancel);
        QTest::mouseClick(form->closeButton, Qt::LeftButton);
        QVERIFY(!form->close());
        QCOMPARE(boxes.titles, (QStringList{"保存修改", "保存修改"}));
        QCOMPARE(form->cxPageControl1->count(), 3);
        boxes.setAnswer(QMessageBox::Discard);
        QTest::mouseClick(form->closeButton, Qt::LeftButton);
        QCOMPARE(form->cxPageControl1->count(), 2);
        QVERIFY(form->close());
        QCOMPARE(boxes.titles.size(), 3);
    }

    // The bin opens once, beside the search, and what it puts back shows
    // on the page at once.
    void binButtonRestoresOntoThePage()
    {
        start();
        const QString book = shelf::addBook(Adoconn, "$", QStringLiteral("书")).rec.Tid;
        auto *page = form->cxPageControl1->widget(1)->findChild<TForm2 *>();
        page->Booklist();
        page->tv1->select(page->tv1->find(book));
        BoxAnswerer boxes(QMessageBox::Yes);
        page->N5Click();
        QVERIFY(!page->tv1->find(book));
        QCOMPARE(form->binButton->parentWidget(), form->closeButton->parentWidget());
        QTest::mouseClick(form->binButton, Qt::LeftButton);
        QTest::mouseClick(form->binButton, Qt::LeftButton);
        const QList<TBinForm *> bins = form->findChildren<TBinForm *>();
        QCOMPARE(bins.size(), 1);
        QTRY_VERIFY(bins.first()->isVisible());
        bins.first()->findChild<QTreeWidget *>(QStringLiteral("binList"))->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(bins.first()->findChild<QPushButton *>(QStringLiteral("restoreButton")), Qt::LeftButton);
        QVERIFY(page->tv1->find(book));
    }

    void tabListJumps()
    {
        start();
        form->addbookp();
        form->cxPageControl1->setTabText(1, QStringLiteral("红楼梦"));
        QMenu *menu = form->tabListButton->menu();
        Q_EMIT menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 2);
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("红楼梦"));
        menu->actions().at(0)->trigger();
        QCOMPARE(form->cxPageControl1->currentIndex(), 1);
    }

    void captionMessage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<quint32>("cbData");
        QTest::newRow("bookshelf, 102") << QStringLiteral("书卷") << quint32(102);
        QTest::newRow("node caption, length + 100") << QStringLiteral("红楼梦") << quint32(103);
        QTest::newRow("empty caption") << QString() << quint32(100);
        QTest::newRow("mixed scripts") << QStringLiteral("Tom&#8989s 笔记 №1") << quint32(114);
    }
    void captionMessage()
    {
        QFETCH(QString, text);
        QFETCH(quint32, cbData);
        start();
        form->addbookp();
        TForm2 *page = form->cxPageControl1->widget(2)->findChild<TForm2 *>();
        SendCaption(page, text, cbData);
        QCOMPARE(form->cxPageControl1->tabText(2), text);
        QCOMPARE(form->cxPageControl1->tabText(1), QStringLiteral("书卷"));
    }

    // The receiver reads up to the 0 code unit, whatever cbData says.
    void captionStopsAtZero()
    {
        start();
        const char16_t buffer[] = u"abc\0def";
        COPYDATASTRUCT cds;
        cds.cbData = 200;
        cds.lpData = buffer;
        TMessage m;
        m.Msg = WM_COPYDATA;
        m.LParam = reinterpret_cast<qintptr>(&cds);
        TMessageEvent ev(m);
        QCoreApplication::sendEvent(form.get(), &ev);
        QCOMPARE(form->cxPageControl1->tabText(1), QStringLiteral("abc"));
        QCOMPARE(ev.msg.Result, 0);
    }

    // A library that cannot be used leads somewhere: restore the newest
    // good backup, or lay a new empty library, the refused file kept aside
    // under a new name; or nothing at all, and no book page opens.
    void refusedLibraryOffersAWayBack_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("present");
        QTest::addColumn<bool>("backup");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QStringList>("books");
        const QByteArray damaged(8192, '\x5a');
        QTest::newRow("no file, left alone") << QByteArray() << false << false << QMessageBox::Close << QStringList();
        QTest::newRow("damaged, left alone") << damaged << true << true << QMessageBox::Close << QStringList();
        QTest::newRow("damaged, a new library") << damaged << true << false << QMessageBox::Reset << QStringList();
        QTest::newRow("damaged, the backup back") << damaged << true << true << QMessageBox::Yes << QStringList{"kept"};
        QTest::newRow("no file, the backup back") << QByteArray() << false << true << QMessageBox::Yes << QStringList{"kept"};
    }
    void refusedLibraryOffersAWayBack()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, present);
        QFETCH(bool, backup);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QStringList, books);
        if (backup) {
            addTopBook(QStringLiteral("kept"));
            QVERIFY(!backUpNow().isEmpty());
        }
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(libraryFile() + QLatin1String(suffix));
        if (present) {
            QFile f(libraryFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        BoxAnswerer boxes(answer);
        form = std::make_unique<TForm1>();
        form->show();
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts.first().contains(libraryFile()), qPrintable(boxes.texts.first()));
        if (answer == QMessageBox::Close) {
            QCOMPARE(form->cxPageControl1->count(), 1);
            QTRY_VERIFY(!form->isVisible());
            QCOMPARE(bytes(libraryFile()), content);
            QCOMPARE(QFile::exists(libraryFile()), present);
            QCOMPARE(setAside(), QStringList());
            return;
        }
        QCOMPARE(form->cxPageControl1->count(), 2);
        QVERIFY(Adoconn && Adoconn->Connected());
        QCOMPARE(topBooks(), books);
        if (present) {
            QCOMPARE(setAside().size(), 1);
            QCOMPARE(bytes(QDir(TForm1::libraryFolder()).filePath(setAside().first())), content);
        }
        QCOMPARE(boxes.texts.size(), 1);
    }

    // The program folder's library is backed up beside it once the window
    // is up.
    void startBacksUpTheLibrary()
    {
        addTopBook(QStringLiteral("first"));
        start();
        QCOMPARE(form->cxPageControl1->count(), 2);
        QTRY_COMPARE(backups::list(libraryFile()).size(), 1);
        TADOConnection c;
        c.ConnectionString = TADOConnection::JetConnectionString(backups::list(libraryFile()).first());
        c.Open();
        QCOMPARE(Ztking::Dataget(*Ztking::Dataread(&c, sqlcat::booksLevel(QStringLiteral("$")), QString()),
                                 QStringLiteral("lbm")),
                 QStringLiteral("first"));
    }

    // Damage that start-up does not look for is found by the pass beside
    // the window, which offers the newest good backup; the damaged library
    // goes aside as it was found.
    void damageFoundAfterStartOffersTheBackup()
    {
        addTopBook(QStringLiteral("saved"));
        QVERIFY(!backUpNow().isEmpty());
        addTopBook(QStringLiteral("later"));
        int root = 0;
        {
            TADOConnection c;
            c.ConnectionString = TADOConnection::JetConnectionString(libraryFile());
            c.Open();
            root = Ztking::Dataget(*Ztking::Dataread(&c, QStringLiteral("select rootpage from sqlite_master where "
                                                                          "name='units_under'"),
                                                     QString()),
                                   QStringLiteral("rootpage"))
                       .toInt();
        }
        {
            QFile f(libraryFile());
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.seek(qint64(root - 1) * 4096));
            QCOMPARE(f.write("\x01", 1), 1);
        }
        const QByteArray damaged = bytes(libraryFile());
        BoxAnswerer boxes(QMessageBox::Yes);
        start();
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(boxes.texts.first().contains(QLatin1String("units_under"))
                     || boxes.texts.first().contains(QLatin1String("btreeInitPage")),
                 qPrintable(boxes.texts.first()));
        QTRY_COMPARE(form->cxPageControl1->count(), 2);
        QCOMPARE(topBooks(), QStringList{"saved"});
        QCOMPARE(setAside().size(), 1);
        QCOMPARE(bytes(QDir(TForm1::libraryFolder()).filePath(setAside().first())), damaged);
    }

    // The families pages and forms name must show Chinese, never boxes.
    void chineseFamiliesMapToInstalledFonts_data()
    {
        QTest::addColumn<QString>("family");
        QTest::newRow("宋体") << QStringLiteral("宋体");
        QTest::newRow("黑体") << QStringLiteral("黑体");
        QTest::newRow("微软雅黑") << QStringLiteral("微软雅黑");
    }
    void chineseFamiliesMapToInstalledFonts()
    {
        QFETCH(QString, family);
        const QFont font(family);
        QVERIFY2(QFontMetrics(font).inFontUcs4(U'书'), qPrintable(QFontInfo(font).family()));
        QVERIFY(QFontInfo(font).family().contains(QLatin1String("CJK"))
                || QFontInfo(font).family().contains(QLatin1String("WenQuanYi")));
    }

    // The skin comes with the main window's library.
    void skinIsApplied() { QVERIFY(qApp->styleSheet().contains(QLatin1String("QTabBar::tab"))); }

    // Qt's own buttons speak the program's language.
    void standardButtonsInChinese()
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("删除确认"), QStringLiteral("?"),
                        QMessageBox::Yes | QMessageBox::No);
        QVERIFY(box.button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
        QVERIFY(box.button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
    }

    // An exception escaping any handler reaches one report; the program
    // goes on and the next click works.
    void escapingErrorIsReported()
    {
        QPushButton button(QStringLiteral("x"));
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&clicks] {
            if (++clicks == 1)
                throw EDatabaseError(QStringLiteral("Operation must use an updateable query."));
        });
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        BoxAnswerer boxes;
        QTest::mouseClick(&button, Qt::LeftButton);
        QTRY_COMPARE(boxes.texts, QStringList{QStringLiteral("Operation must use an updateable query.")});
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(boxes.texts.size(), 1);
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TstMainWindow tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_mainwindow.moc"
