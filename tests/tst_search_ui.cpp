// The whole-library search of the main window: its results a screen at a
// time, and a reader typing, choosing and opening a result.
#include "app/application.h"
#include "app/mainfrm.h"
#include "app/searchbox.h"
#include "library/shelf.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/xcom.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <set>

namespace {

void removeLibrary()
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(TForm1::libraryFile() + QLatin1String(suffix));
    QDir(backups::folder(TForm1::libraryFile())).removeRecursively();
}

} // namespace

class TstSearchUi : public QObject
{
    Q_OBJECT

    std::unique_ptr<TForm1> form;
    // 红楼梦 holds "梦幻" twice and 西游记 once.
    QString hongloumeng, zhenshiyin, xiyouji, huaguoshan;

    void start()
    {
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    TForm2 *page() const { return form->cxPageControl1->currentWidget()->findChild<TForm2 *>(); }
    // Types a query as an input method hands it over, and waits for its
    // results.
    void search(const QString &query)
    {
        SearchBox *box = form->searchBox;
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->insert(query);
        QTRY_VERIFY(box->popup()->isVisible());
    }

private slots:
    void init()
    {
        removeLibrary();
        TADOConnection::CreateLibrary(TForm1::libraryFile());
        TADOConnection db;
        db.ConnectionString = TADOConnection::JetConnectionString(TForm1::libraryFile());
        db.Open();
        const QString shelfKey = shelf::addBook(&db, "$", "文学").rec.Tid;
        hongloumeng = shelf::addBook(&db, shelfKey, "红楼梦").rec.Tid;
        xiyouji = shelf::addBook(&db, shelfKey, "西游记").rec.Tid;
        const QString one = shelf::addUnit(&db, hongloumeng, "$", "第一回").rec.Tid;
        shelf::addUnit(&db, hongloumeng, one, "贾雨村");
        zhenshiyin = shelf::addUnit(&db, hongloumeng, one, "甄士隐").rec.Tid;
        shelf::savePage(&db, zhenshiyin, "<html><body><p>梦幻一场，又是梦幻</p></body></html>", "梦幻一场，又是梦幻");
        const QString first = shelf::addUnit(&db, xiyouji, "$", "第一回").rec.Tid;
        huaguoshan = shelf::addUnit(&db, xiyouji, first, "花果山").rec.Tid;
        shelf::savePage(&db, huaguoshan, "<html><body><p>水帘洞里梦幻多</p></body></html>", "水帘洞里梦幻多");
    }
    void cleanup()
    {
        form.reset();
        removeLibrary();
    }

    // Every result arrives exactly once as the list asks for more, and
    // nothing is asked for past the last.
    void resultsArriveAScreenAtATime_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("fetches");
        QTest::newRow("one screen") << 3 << 0;
        QTest::newRow("three batches") << 2 * SearchResults::Batch + 7 << 2;
    }
    void resultsArriveAScreenAtATime()
    {
        QFETCH(int, pages);
        QFETCH(int, fetches);
        TempLibrary lib;
        const QString book = shelf::addBook(lib.connection(), "$", "竹").rec.Tid;
        for (int i = 0; i < pages; ++i) {
            const QString unit = shelf::addUnit(lib.connection(), book, "$", QString::number(i)).rec.Tid;
            shelf::savePage(lib.connection(), unit, "<p>竹林</p>", "竹林");
        }
        SearchResults results;
        results.setQuery(QStringLiteral("竹林"));
        QCOMPARE(results.total(), pages);
        int fetched = 0;
        for (; results.canFetchMore({}); ++fetched)
            results.fetchMore({});
        QCOMPARE(fetched, fetches);
        QCOMPARE(results.rowCount(), pages);
        std::set<QString> keys;
        for (int row = 0; row < results.rowCount(); ++row)
            keys.insert(results.hit(row).key);
        QCOMPARE(int(keys.size()), pages);
        results.setQuery(QStringLiteral("  "));
        QCOMPARE(results.rowCount(), 0);
        QVERIFY(!results.canFetchMore({}));
    }

    // A reader types two characters, sees how many results there are and
    // opens the first with Enter, past a shelf filter that hid its book.
    void enterOpensThePageWithItsHitsMarked()
    {
        start();
        page()->cxTextEdit1->setText(QStringLiteral("zzz"));
        QVERIFY(!page()->tv1->find(hongloumeng) && !page()->tv1->find(xiyouji));
        search(QStringLiteral("梦幻"));
        QCOMPARE(form->searchBox->summary()->text(), QStringLiteral("共 2 条结果"));
        const search::Hit hit = form->searchBox->results()->hit(0);
        QTest::keyClick(form->searchBox, Qt::Key_Return);
        TForm2 *p = page();
        QCOMPARE(form->cxPageControl1->count(), 2);
        QVERIFY(p->cxTextEdit1->text().isEmpty());
        QCOMPARE(static_cast<TTreeNode *>(p->tv1->currentItem())->Data.Tid, hit.bookKey);
        QVERIFY(p->tv1->currentItem()->parent()->isExpanded());
        QCOMPARE(p->shownBook(), hit.bookKey);
        QCOMPARE(static_cast<TTreeNode *>(p->tv2->currentItem())->Data.Tid, hit.key);
        QCOMPARE(p->tv2->Selected(), p->tv2->currentItem());
        QCOMPARE(p->cxPageControl1->currentWidget(), p->cxTabSheet2);
        QTRY_VERIFY(p->Zthtmleditorx1->document()->bodyText().contains(QStringLiteral("梦幻")));
        QTRY_COMPARE(p->Zthtmleditorx1->highlightedHits(), hit.hits);
        QVERIFY(hit.hits > 0);
        QVERIFY(!form->searchBox->popup()->isVisible());
        QVERIFY(p->tv2->hasFocus());
    }

    // Keys go where the focus is, as a reader's do; the list is steered
    // from the field.
    void keysChooseAndOpen_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("tabs");
        QTest::addColumn<bool>("popup");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("opened");
        QTest::newRow("Enter, here") << "Return" << false << 2 << false << "梦幻" << 0;
        QTest::newRow("Down, Enter: the second") << "Down Return" << false << 2 << false << "梦幻" << 1;
        QTest::newRow("Ctrl+Enter, a new tab") << "Ctrl+Return" << false << 3 << false << "梦幻" << 0;
        QTest::newRow("middle click, a new tab") << "Middle" << false << 3 << false << "梦幻" << 0;
        QTest::newRow("an edit is not disturbed") << "Return" << true << 3 << false << "梦幻" << 0;
        QTest::newRow("Escape closes") << "Esc" << false << 2 << false << "梦幻" << -1;
        QTest::newRow("Escape twice clears") << "Esc Esc" << false << 2 << false << "" << -1;
        QTest::newRow("Down brings it back") << "Esc Down" << false << 2 << true << "梦幻" << -1;
        QTest::newRow("the tab closed under it") << "Close" << false << 2 << false << "梦幻" << -1;
        QTest::newRow("Ctrl+Shift+F from the tree") << "Away Ctrl+Shift+F" << false << 2 << true << "梦幻" << -1;
    }
    void keysChooseAndOpen()
    {
        QFETCH(QString, steps);
        QFETCH(bool, editing);
        QFETCH(int, tabs);
        QFETCH(bool, popup);
        QFETCH(QString, text);
        QFETCH(int, opened);
        start();
        TForm2 *first = page();
        if (editing) {
            first->openFound(xiyouji, huaguoshan, {});
            first->N8Click();
            QVERIFY(first->isEditing());
        }
        search(QStringLiteral("梦幻"));
        SearchBox *box = form->searchBox;
        const QStringList keys{box->results()->hit(0).key, box->results()->hit(1).key};
        for (const QString &step : steps.split(' ')) {
            if (step == "Middle") {
                QListView *list = box->list();
                QTest::mouseClick(list->viewport(), Qt::MiddleButton, {},
                                  list->visualRect(box->results()->index(0)).center());
            } else if (step == "Close") {
                QTest::mouseClick(form->closeButton, Qt::LeftButton);
            } else if (step == "Away") {
                page()->tv1->setFocus();
                QTRY_VERIFY(!box->popup()->isVisible());
            } else {
                const QKeyCombination key = QKeySequence(step)[0];
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            }
        }
        QCOMPARE(form->cxPageControl1->count(), tabs);
        QCOMPARE(box->popup()->isVisible(), popup);
        QCOMPARE(box->text(), text);
        const TTreeNode *shown = page()->tv2->Selected();
        QCOMPARE(shown ? shown->Data.Tid : QString(), opened < 0 ? QString() : keys.at(opened));
        if (editing)
            QVERIFY(first->isEditing());
    }

    // A search still due when the window closes finds a library no longer
    // there, and shows nothing.
    void closingWithTheListOpen()
    {
        start();
        search(QStringLiteral("梦幻"));
        form->searchBox->insert(QStringLiteral("一"));
        QVERIFY(form->close());
        QTRY_COMPARE(form->searchBox->results()->query(), QStringLiteral("梦幻一"));
        QCOMPARE(form->searchBox->results()->rowCount(), 0);
    }
};

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    TstSearchUi tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_search_ui.moc"
