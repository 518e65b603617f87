// The book page as a reader uses it: real presses and keys on its trees,
// boxes and buttons, on a library file in a temporary folder.
#include "book/book.h"
#include "book/bookadd.h"
#include "book/conadd.h"
#include "library/library.h"
#include "library/shelf.h"
#include "book/historywindow.h"
#include "store/bin.h"
#include "store/draftkeeper.h"
#include "store/drafts.h"
#include "store/history.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "store/connection.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Stands in for the main window: holds a page and notes the captions the
// page sends it.
class Host : public QWidget
{
public:
    QStringList captions;
    bool event(QEvent *e) override
    {
        if (e->type() != TMessageEvent::eventType())
            return QWidget::event(e);
        const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(static_cast<TMessageEvent *>(e)->msg.LParam);
        captions << QString::fromUtf16(static_cast<const char16_t *>(cds->lpData));
        return true;
    }
};

} // namespace

class TstBookPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    Library *library = nullptr;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<TForm5> form5;
    std::vector<std::unique_ptr<Host>> hosts;
    QString cat, bookA, bookB, chapter, page1, page2;

    QStringList column(const QString &sql) { return firstColumn(db, sql); }

    TForm2 *openPage()
    {
        hosts.push_back(std::make_unique<Host>());
        Host *host = hosts.back().get();
        host->resize(900, 600);
        auto *page = new TForm2(host);
        page->setLibrary(library);
        auto *l = new QVBoxLayout(host);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(page);
        host->show();
        if (!QTest::qWaitForWindowExposed(host))
            qFatal("page not shown");
        return page;
    }
    // Keys reach a widget's shortcuts only in the active window.
    void focus(QWidget *w)
    {
        w->window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w->window()));
        w->setFocus();
        QTRY_VERIFY(w->hasFocus());
    }
    Host *hostOf(TForm2 *page) { return static_cast<Host *>(page->window()); }

    void press(TTreeView *tree, TTreeNode *node, Qt::MouseButton button = Qt::LeftButton)
    {
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), button, {}, tree->visualItemRect(node).center());
    }
    // Types text into the open rename box and confirms it with Enter.
    void typeRename(TTreeView *tree, const QString &text)
    {
        QLineEdit *edit = nullptr;
        QTRY_VERIFY((edit = tree->viewport()->findChild<QLineEdit *>()) && edit->isVisible());
        type(edit, text);
        const QPointer<QLineEdit> open(edit);
        QTest::keyClick(edit, Qt::Key_Return);
        // The view takes the text on its next turn of the event loop.
        QTRY_VERIFY(!open || !open->isVisible());
    }
    // Keys for what a keyboard types directly; other text as an input
    // method hands it over, whole.
    void type(QLineEdit *edit, const QString &text)
    {
        edit->clear();
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 128;
        if (ascii)
            QTest::keyClicks(edit, text);
        else
            edit->insert(text);
    }
    QString docText(TForm2 *page) { return page->Zthtmleditorx1->document()->bodyText(); }

private slots:
    void initTestCase()
    {
        form3 = std::make_unique<TForm3>();
        form4 = std::make_unique<TForm4>();
        form5 = std::make_unique<TForm5>(nullptr);
        // Saving copies pictures into the program's image library.
        QVERIFY(QDir().mkpath(QCoreApplication::applicationDirPath() + "/images"));
    }
    void init()
    {
        Oldname.clear();
        Renflag.clear();
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        library = new Library(db, this);
        form3->setLibrary(library);
        form4->setLibrary(library);
        cat = shelf::addBook(db, "$", "文学").rec.Tid;
        shelf::addBook(db, "$", "历史");
        bookA = shelf::addBook(db, cat, "红楼梦").rec.Tid;
        bookB = shelf::addBook(db, cat, "Tom's book").rec.Tid;
        chapter = shelf::addUnit(db, bookA, "$", "第一回").rec.Tid;
        page1 = shelf::addUnit(db, bookA, chapter, "甄士隐").rec.Tid;
        page2 = shelf::addUnit(db, bookA, chapter, "贾雨村").rec.Tid;
        shelf::savePage(db, page1, "<html><body><p>梦幻 It's a good day</p></body></html>", "梦幻 It's a good day");
    }
    void cleanup()
    {
        form3->hide();
        form4->hide();
        form5->hide();
        hosts.clear();
        delete library;
        lib.reset();
    }

    void startsOnTheWelcomePageWithTheShelf()
    {
        TForm2 *page = openPage();
        QCOMPARE(hostOf(page)->captions, QStringList{"书卷"});
        QTRY_VERIFY(docText(page).contains(QStringLiteral("修心养性，从阅读开始")));
        QVERIFY(docText(page).contains(QStringLiteral("2、鼠标可拖动节点进行排序。")));
        QCOMPARE(page->Zthtmleditorx1->Tuku, QCoreApplication::applicationDirPath() + "/images");
        QCOMPARE(page->tv1->topLevelItemCount(), 2);
        QVERIFY(!page->tv1->topLevelItem(0)->isExpanded());
        QCOMPARE(page->tv1->topLevelItem(0)->child(1)->text(0), QStringLiteral("Tom's book"));
        QVERIFY(page->cxCheckBox1->isChecked() && !page->cxCheckBox1->isEnabled());
        QVERIFY(!page->cxButton1->isEnabled() && !page->cxButton2->isEnabled());
        QStringList menus;
        for (QMenu *m : {page->pm1, page->pm2}) {
            for (QAction *a : m->actions())
                menus << a->objectName() + (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(menus, (QStringList{"N1添加分类", "N2添加书卷", "N3-", "N4重命名", "N5删除", "transferSeparator-",
                                     "exportItem导出…", "importItem导入…", "N6添加章节", "N7添加内容", "N8编辑内容",
                                     "N12历史版本", "N9-", "N10重命名", "N11删除"}));
        for (const char *name : {"pnl1", "pnl2", "pnl3", "pnl4", "pnl5", "cxSplitter1", "cxTabSheet1", "cxTabSheet2",
                                 "cxTextEdit1", "cxTextEdit2", "Zthtmleditorx1"})
            QVERIFY2(page->findChild<QWidget *>(QLatin1String(name)), name);
    }

    void filterTypedIntoTheShelf_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("books");
        QTest::newRow("name piece") << "红楼" << 1;
        QTest::newRow("initials") << "hlm" << 1;
        QTest::newRow("apostrophe") << "m's" << 1;
        QTest::newRow("none") << "zzz" << 0;
    }
    void filterTypedIntoTheShelf()
    {
        QFETCH(QString, typed);
        QFETCH(int, books);
        TForm2 *page = openPage();
        type(page->cxTextEdit1, typed);
        QCOMPARE(page->tv1->topLevelItemCount(), 2);
        QCOMPARE(page->tv1->topLevelItem(0)->childCount(), books);
        QVERIFY(page->tv1->topLevelItem(0)->isExpanded());
        page->cxTextEdit1->clear();
        QCOMPARE(page->tv1->topLevelItem(0)->childCount(), 2);
    }

    // A press selects, captions the tab and loads the book's units; a page
    // press shows the page for reading.
    void selectBookThenPage()
    {
        TForm2 *page = openPage();
        auto *book = page->tv1->find(bookA);
        page->tv1->expandAll();
        press(page->tv1, book, Qt::RightButton);
        QCOMPARE(page->tv1->Selected(), book);
        QCOMPARE(hostOf(page)->captions.last(), QStringLiteral("红楼梦"));
        QCOMPARE(Oldname, QStringLiteral("红楼梦"));
        QCOMPARE(page->tv2->topLevelItemCount(), 1);
        QVERIFY(page->tv2->topLevelItem(0)->isExpanded());
        QCOMPARE(page->tv2->topLevelItem(0)->childCount(), 2);
        QVERIFY(!page->cxCheckBox1->isEnabled());
        page->cxTextEdit2->setText(QStringLiteral("good"));
        QCOMPARE(page->tv2->topLevelItem(0)->childCount(), 1);
        press(page->tv2, page->tv2->find(page1));
        QTRY_VERIFY(docText(page).contains(QStringLiteral("It's a good day")));
        QVERIFY(page->cxCheckBox1->isEnabled() && page->cxCheckBox1->isChecked());
        QCOMPARE(Oldname, QStringLiteral("甄士隐"));
    }

    // Renaming: the same text stores nothing, a refused name comes back, a
    // new name is stored and so is the way back; the press after a rename
    // only ends it.
    void renameOnTheShelf()
    {
        TForm2 *page = openPage();
        BoxAnswerer boxes;
        page->tv1->expandAll();
        auto *book = page->tv1->find(bookA);
        press(page->tv1, book);
        const int sent = hostOf(page)->captions.size();
        focus(page->tv1);
        QTest::keyClick(page->tv1, Qt::Key_F2);
        QCOMPARE(Renflag, QStringLiteral("重命名"));
        typeRename(page->tv1, QStringLiteral("红楼梦"));
        QCOMPARE(hostOf(page)->captions.size(), sent);
        QVERIFY(!page->tv1->ReadOnly());

        page->N4Click();
        typeRename(page->tv1, QStringLiteral("红/楼"));
        QCOMPARE(boxes.texts, QStringList{"名称不可包含特殊字符"});
        QCOMPARE(book->text(0), QStringLiteral("红楼梦"));

        page->N4Click();
        typeRename(page->tv1, QStringLiteral("石头记"));
        QCOMPARE(column("select lbm||lbmpy from books where id=" + bookA), QStringList{"石头记STJ"});
        QCOMPARE(hostOf(page)->captions.last(), QStringLiteral("石头记"));
        QVERIFY(page->tv1->ReadOnly());

        page->N4Click();
        typeRename(page->tv1, QStringLiteral("红楼梦"));
        QCOMPARE(column("select lbm from books where id=" + bookA), QStringList{"红楼梦"});

        // The first press after the rename only ends it.
        auto *other = page->tv1->find(bookB);
        press(page->tv1, other);
        QVERIFY(Renflag.isEmpty());
        QCOMPARE(page->tv1->Selected(), book);
        press(page->tv1, other);
        QCOMPARE(page->tv1->Selected(), other);
        QCOMPARE(hostOf(page)->captions.last(), QStringLiteral("Tom's book"));
    }

    // Deleting asks first; the category goes with its books, their units,
    // and the chapter tree and editor of every page that showed them.
    void deleteCategoryFromTwoPages()
    {
        TForm2 *first = openPage();
        TForm2 *second = openPage();
        second->tv1->expandAll();
        press(second->tv1, second->tv1->find(bookA));
        press(second->tv2, second->tv2->find(page1));
        second->N8Click();
        QVERIFY(!second->cxPageControl1->isEnabled());

        BoxAnswerer boxes(QMessageBox::No);
        press(first->tv1, first->tv1->find(cat));
        focus(first->tv1);
        QTest::keyClick(first->tv1, Qt::Key_Delete);
        QCOMPARE(boxes.titles, QStringList{"删除确认"});
        QCOMPARE(boxes.texts, QStringList{"确定删除【文学】吗？所有包含内容都被删除！"});
        QCOMPARE(boxes.defaults, QList<QMessageBox::StandardButton>{QMessageBox::No});
        QCOMPARE(boxes.icons, QList<QMessageBox::Icon>{QMessageBox::Question});
        QCOMPARE(column("select count(*) from books"), QStringList{"4"});

        boxes.setAnswer(QMessageBox::Yes);
        first->N5Click();
        QCOMPARE(column("select lbm||px from books"), QStringList{"历史1"});
        QCOMPARE(column("select count(*) from units"), QStringList{"0"});
        for (TForm2 *page : {first, second}) {
            QCOMPARE(page->tv1->topLevelItemCount(), 1);
            QVERIFY(!page->tv1->find(bookA));
        }
        QVERIFY(!first->tv1->Selected());
        QCOMPARE(second->tv2->topLevelItemCount(), 0);
        QVERIFY(second->cxCheckBox1->isChecked());
        QVERIFY(second->cxPageControl1->isEnabled());
        QVERIFY(!second->cxButton2->isEnabled());
    }

    // A change made on one page shows on another at once, in place: the
    // nodes it leaves alone stay the very same items, and so do what the
    // other page shows and has selected.
    void changesShowOnAnotherPage_data()
    {
        QTest::addColumn<QString>("change");
        for (const char *c : {"add", "rename", "rename shown", "drag", "delete", "save", "restore", "restore book"})
            QTest::newRow(c) << c;
    }
    void changesShowOnAnotherPage()
    {
        QFETCH(QString, change);
        TForm2 *first = openPage();
        TForm2 *second = openPage();
        for (TForm2 *page : {first, second}) {
            page->tv1->expandAll();
            press(page->tv1, page->tv1->find(bookA));
            page->cxPageControl1->setCurrentWidget(page->cxTabSheet2);
        }
        press(second->tv2, second->tv2->find(page2));
        const QTreeWidgetItem *category = second->tv1->find(cat);
        const QTreeWidgetItem *chap = second->tv2->find(chapter);
        const QTreeWidgetItem *shown = second->tv2->currentItem();
        BoxAnswerer boxes(QMessageBox::Yes);
        if (change == "add") {
            press(first->tv2, first->tv2->find(chapter));
            first->N7Click();
            type(form4->cxTextEdit1, QStringLiteral("新页"));
            QTest::keyClick(form4->cxTextEdit1, Qt::Key_Return);
            QCOMPARE(chap->child(2)->text(0), QStringLiteral("新页"));
        } else if (change == "rename") {
            press(first->tv2, first->tv2->find(page1));
            first->N10Click();
            typeRename(first->tv2, QStringLiteral("Shiyin"));
            QCOMPARE(second->tv2->find(page1)->text(0), QStringLiteral("Shiyin"));
        } else if (change == "rename shown") {
            // The page the other page reads: its caption follows.
            press(first->tv2, first->tv2->find(page2));
            first->N10Click();
            typeRename(first->tv2, QStringLiteral("Yucun"));
            QTRY_COMPARE(second->Zthtmleditorx1->findChild<QTabWidget *>(QStringLiteral("pgc1"))->tabText(0),
                         QStringLiteral("Yucun"));
        } else if (change == "drag") {
            // The node shown on the other page is the one that moves there.
            press(first->tv2, first->tv2->find(page2));
            first->tv2DragDrop(first->tv2->visualItemRect(first->tv2->find(page1)).center());
            QCOMPARE(chap->child(0), shown);
        } else if (change == "delete") {
            press(first->tv2, first->tv2->find(page1));
            first->N11Click();
            QCOMPARE(chap->childCount(), 1);
        } else if (change == "save") {
            press(first->tv2, first->tv2->find(page2));
            first->N8Click();
            first->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>另写一遍</p>"));
            first->cxButton2Click();
            QTRY_VERIFY(docText(second).contains(QStringLiteral("另写一遍")));
        } else if (change == "restore") {
            library->deleteUnit(page1);
            library->restore(bin::items(db).first().id);
            QCOMPARE(static_cast<const TTreeNode *>(chap->child(0))->Data.Tid, page1);
        } else {
            library->deleteBook(bookB);
            library->restore(bin::items(db).first().id);
            QCOMPARE(static_cast<const TTreeNode *>(category->child(1))->Data.Tid, bookB);
        }
        QCOMPARE(second->tv1->find(cat), category);
        QCOMPARE(second->tv2->find(chapter), chap);
        QCOMPARE(second->tv2->currentItem(), shown);
        QCOMPARE(second->tv2->Selected(), shown);
        QVERIFY(chap->isExpanded());
    }

    // Dropping among siblings: the tree and the library agree; a node of
    // another parent takes no drop.
    void dragOnBothTrees()
    {
        TForm2 *page = openPage();
        page->tv1->expandAll();
        auto *tom = page->tv1->find(bookB);
        press(page->tv1, tom);
        QVERIFY(!page->tv1DragOver(page->tv1->visualItemRect(page->tv1->topLevelItem(1)).center()));
        const QPoint onFirst = page->tv1->visualItemRect(page->tv1->find(bookA)).center();
        QVERIFY(page->tv1DragOver(onFirst));
        page->tv1DragDrop(onFirst);
        QCOMPARE(page->tv1->topLevelItem(0)->child(0), tom);
        QCOMPARE(column("select lbm from books where jb='" + cat + "' order by px"),
                 (QStringList{"Tom&#8989s book", "红楼梦"}));

        press(page->tv1, page->tv1->find(bookA));
        press(page->tv2, page->tv2->find(page2));
        page->tv2DragDrop(page->tv2->visualItemRect(page->tv2->find(page1)).center());
        QCOMPARE(page->tv2->topLevelItem(0)->child(0)->text(0), QStringLiteral("贾雨村"));
        QCOMPARE(column("select utitle from units where jb='" + chapter + "' order by px"),
                 (QStringList{"贾雨村", "甄士隐"}));
    }

    // The add dialogs: a category, a book (a duplicate is refused), a
    // chapter and a page, each as the last node of its place.
    void addThroughTheDialogs()
    {
        TForm2 *page = openPage();
        BoxAnswerer boxes;
        page->N6Click();
        QCOMPARE(boxes.texts, QStringList{"请先到书卷选项卡选择书卷！"});
        QVERIFY(!form4->isVisible());

        page->N1Click();
        QVERIFY(form3->isVisible());
        QCOMPARE(form3->windowTitle(), QStringLiteral("添加书卷分类"));
        type(form3->cxTextEdit1, QStringLiteral("诗词"));
        QTest::keyClick(form3->cxTextEdit1, Qt::Key_Return);
        QVERIFY(!form3->isVisible());
        QCOMPARE(page->tv1->topLevelItem(2)->text(0), QStringLiteral("诗词"));

        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(cat));
        page->N2Click();
        QCOMPARE(form3->windowTitle(), QStringLiteral("添加书卷"));
        type(form3->cxTextEdit1, QStringLiteral("红楼梦"));
        QTest::mouseClick(form3->cxButton1, Qt::LeftButton);
        QCOMPARE(boxes.texts.last(), QStringLiteral("此名称已经存在！请更换！"));
        QVERIFY(form3->isVisible());
        form3->cxTextEdit1->setText(QStringLiteral("Let's go"));
        QTest::mouseClick(form3->cxButton1, Qt::LeftButton);
        auto *added = page->tv1->topLevelItem(0)->child(2);
        QCOMPARE(added->text(0), QStringLiteral("Let's go"));
        QVERIFY(!added->isSelected());
        QCOMPARE(column("select lbm||px from books where jb='" + cat + "' order by px").last(),
                 QStringLiteral("Let&#8989s [g#o]3"));

        press(page->tv1, static_cast<TTreeNode *>(added));
        page->N6Click();
        QCOMPARE(form4->windowTitle(), QStringLiteral("添加章节"));
        type(form4->cxTextEdit1, QStringLiteral("序"));
        QTest::keyClick(form4->cxTextEdit1, Qt::Key_Return);
        QCOMPARE(page->tv2->topLevelItemCount(), 1);
        auto *chap = static_cast<TTreeNode *>(page->tv2->topLevelItem(0));
        QCOMPARE(column("select px from units where id=" + chap->Data.Tid), QStringList{"2"});
        press(page->tv2, chap);
        page->N7Click();
        QCOMPARE(form4->windowTitle(), QStringLiteral("添加内容"));
        type(form4->cxTextEdit1, QStringLiteral("第一页"));
        QTest::keyClick(form4->cxTextEdit1, Qt::Key_Return);
        QCOMPARE(chap->childCount(), 1);
        QCOMPARE(column("select px||utitle from units where jb='" + chap->Data.Tid + "'"), QStringList{"1第一页"});

        // A dialog opened for one book does not add to another shown since.
        page->N7Click();
        press(page->tv1, page->tv1->find(bookA));
        type(form4->cxTextEdit1, QStringLiteral("迷路"));
        QTest::keyClick(form4->cxTextEdit1, Qt::Key_Return);
        QCOMPARE(boxes.texts.last(), QStringLiteral("书卷页已经换成了其他书卷，请重新打开添加窗口！"));
        QCOMPARE(column("select count(*) from units where utitle='迷路'"), QStringList{"0"});
    }

    // Unlock, edit, save with apostrophes and "go", and lock again; a
    // template replaces the page and is stored by the next save.
    void editSaveAndTemplate()
    {
        TForm2 *page = openPage();
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        press(page->tv2, page->tv2->find(page2));
        QTest::mouseClick(page->cxCheckBox1, Qt::LeftButton);
        QVERIFY(!page->cxCheckBox1->isChecked());
        QVERIFY(page->cxButton1->isEnabled() && page->cxButton2->isEnabled());
        QVERIFY(!page->cxPageControl1->isEnabled());
        QVERIFY(page->Zthtmleditorx1->Editstate);
        page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>Don't go\r\ngo away, 'GO'</p>"));
        QVERIFY(page->hasUnsavedEdits());
        QTest::mouseClick(page->cxButton2, Qt::LeftButton);
        QVERIFY(page->cxCheckBox1->isChecked());
        QVERIFY(!page->cxButton2->isEnabled() && page->cxPageControl1->isEnabled());
        QVERIFY(!page->Zthtmleditorx1->Editstate);
        const QStringList row = column("select ucon||'|'||ucontxt||'|'||ucpy from units where id=" + page2);
        QVERIFY(row.first().contains(QStringLiteral("Don&#8989t [g#o]")));
        QVERIFY(row.first().endsWith(QStringLiteral("|")));
        QVERIFY(row.first().contains(QStringLiteral("|Don&#8989t [g#o]")));
        QVERIFY(docText(page).contains(QStringLiteral("Don't go")));

        page->cxTextEdit2->setText(QStringLiteral("n't go"));
        QCOMPARE(page->tv2->topLevelItem(0)->childCount(), 1);
        page->cxTextEdit2->clear();

        // A template from the program's template folder.
        const QString folder = QCoreApplication::applicationDirPath() + "/images/Moban/测试模版";
        QVERIFY(QDir().mkpath(folder));
        QFile t(folder + "/page.htm");
        QVERIFY(t.open(QIODevice::WriteOnly));
        t.write("\xEF\xBB\xBF<html><body><h1>模版标题</h1></body></html>");
        t.close();
        press(page->tv2, page->tv2->find(page2));
        page->N8Click();
        QTest::mouseClick(page->cxButton1, Qt::LeftButton);
        QVERIFY(form5->isVisible());
        QCOMPARE(form5->cbookfrm.data(), page);
        auto *list = form5->findChild<QComboBox *>(QStringLiteral("cbb1"));
        list->setCurrentText(QStringLiteral("测试模版"));
        QTest::mouseClick(form5->findChild<QPushButton *>(QStringLiteral("btn1")), Qt::LeftButton);
        QTRY_VERIFY(docText(page).contains(QStringLiteral("模版标题")));
        QVERIFY(!page->cxCheckBox1->isChecked());
        focus(page->cxCheckBox1);
        QTest::keyClick(page->cxCheckBox1, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(page->cxCheckBox1->isChecked());
        QDir(folder).removeRecursively();
        QVERIFY(column("select ucon from units where id=" + page2).first().contains(QStringLiteral("模版标题")));
    }

    // A save reads the page just stored as it stands, unless reading fills
    // in the title token it holds: then the page is loaded again.
    void saveReadsInPlace_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("loaded");
        QTest::newRow("plain") << QStringLiteral("<p>平常的一页</p>") << false;
        QTest::newRow("title token") << QStringLiteral("<p>标题：#MyTitle#</p>") << true;
    }
    void saveReadsInPlace()
    {
        QFETCH(QString, body);
        QFETCH(bool, loaded);
        TForm2 *page = openPage();
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        TTreeNode *node = page->tv2->find(page2);
        press(page->tv2, node);
        page->N8Click();
        TDocengine *doc = page->Zthtmleditorx1->document();
        doc->setBodyHtml(body);
        doc->call(QStringLiteral("window.vlSameDocument=true;return true;"));
        QTest::mouseClick(page->cxButton2, Qt::LeftButton);
        QVERIFY(page->cxCheckBox1->isChecked());
        QVERIFY(!doc->designMode());
        QCOMPARE(doc->call(QStringLiteral("return window.vlSameDocument===true;")).toBool(), !loaded);
        const QString shown = doc->bodyText();
        QVERIFY2(shown.contains(loaded ? QStringLiteral("标题：") + node->text(0) : QStringLiteral("平常的一页")),
                 qPrintable(shown));
        QVERIFY(column("select ucon from units where id=" + page2).first().contains(body));
    }

    // "历史版本" in the chapter menu and under the editor open the versions
    // of the page shown; one put back is saved anew and shown.
    void historyFromMenuAndButton_data()
    {
        QTest::addColumn<bool>("menu");
        QTest::newRow("menu") << true;
        QTest::newRow("button") << false;
    }
    void historyFromMenuAndButton()
    {
        QFETCH(bool, menu);
        TForm2 *page = openPage();
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        press(page->tv2, page->tv2->find(page1));
        QTRY_VERIFY(docText(page).contains(QStringLiteral("good day")));
        if (menu)
            page->N12->trigger();
        else
            QTest::mouseClick(page->cxButton3, Qt::LeftButton);
        auto *history = page->findChild<THistoryForm *>();
        QVERIFY(history);
        QTRY_VERIFY(history->isVisible());
        auto *list = history->findChild<QTreeWidget *>(QStringLiteral("versionList"));
        QCOMPARE(list->topLevelItemCount(), 1);
        BoxAnswerer boxes(QMessageBox::Yes);
        list->setCurrentItem(list->topLevelItem(0));
        QTest::mouseClick(history->findChild<QPushButton *>(QStringLiteral("restoreButton")), Qt::LeftButton);
        QTRY_VERIFY(!docText(page).contains(QStringLiteral("good day")));
        QCOMPARE(history::versions(db, page1).size(), 2);
    }

    // While a page is edited, a change is kept as a draft within moments;
    // locking without saving, or the close question's discard, lets it go.
    void draftKeptWhileEditing_data()
    {
        QTest::addColumn<bool>("lock");
        QTest::newRow("lock") << true;
        QTest::newRow("discard on closing") << false;
    }
    void draftKeptWhileEditing()
    {
        QFETCH(bool, lock);
        DraftKeeper keeper(lib->path(), nullptr);
        TForm2 *page = openPage();
        page->setDraftKeeper(&keeper);
        page->setDraftInterval(50);
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        press(page->tv2, page->tv2->find(page2));
        page->N8Click();
        // Read without waiting, the document is what a save would read.
        QString later;
        page->Zthtmleditorx1->htmlgetAllLater(page, [&later](const QString &html) { later = html; });
        QTRY_VERIFY(!later.isEmpty());
        QCOMPARE(later, page->Zthtmleditorx1->htmlgetAll());
        page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>草稿里的字</p>"));
        const auto drafted = [&] {
            keeper.flush();
            const QList<drafts::Draft> all = drafts::all(db);
            return all.size() == 1 && all.first().unit == page2 && all.first().document.contains(QStringLiteral("草稿里的字"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(drafted(), 10000);
        BoxAnswerer boxes(QMessageBox::Discard);
        if (lock) {
            QTest::mouseClick(page->cxCheckBox1, Qt::LeftButton);
        } else {
            bool canClose = false;
            page->FormCloseQuery(canClose);
            QVERIFY(canClose);
        }
        keeper.flush();
        QVERIFY(drafts::all(db).isEmpty());
    }

    // Closing with unsaved edits asks: cancel keeps the page, discard
    // drops them, save stores them.
    void closingAsksForUnsavedEdits_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("stored");
        QTest::newRow("cancel") << int(QMessageBox::Cancel) << false << false;
        QTest::newRow("discard") << int(QMessageBox::Discard) << true << false;
        QTest::newRow("save") << int(QMessageBox::Save) << true << true;
    }
    void closingAsksForUnsavedEdits()
    {
        QFETCH(int, answer);
        QFETCH(bool, closes);
        QFETCH(bool, stored);
        TForm2 *page = openPage();
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        press(page->tv2, page->tv2->find(page2));
        BoxAnswerer boxes{QMessageBox::StandardButton(answer)};
        bool canClose = false;
        page->N8Click();
        page->FormCloseQuery(canClose);
        QVERIFY(canClose);
        QVERIFY(boxes.texts.isEmpty());
        page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>新写的字</p>"));
        page->FormCloseQuery(canClose);
        QCOMPARE(boxes.texts.size(), 1);
        QCOMPARE(canClose, closes);
        QCOMPARE(column("select ucontxt from units where id=" + page2).first().contains(QStringLiteral("新写的字")),
                 stored);
    }

    // A delete the library refuses leaves the tree as the library is; a
    // save on a full disk keeps the page in editing with its edits.
    void failuresKeepTreeAndEdits()
    {
        TForm2 *page = openPage();
        BoxAnswerer boxes(QMessageBox::Yes);
        page->tv1->expandAll();
        press(page->tv1, page->tv1->find(bookA));
        Ztking::Datado(db, "create trigger refuse before delete on units begin select raise(abort, 'refused'); end",
                       QString());
        press(page->tv1, page->tv1->find(cat));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, page->N5Click());
        QVERIFY(page->tv1->find(cat) && page->tv1->find(bookA));
        QCOMPARE(column("select count(*) from books"), QStringList{"4"});

        press(page->tv1, page->tv1->find(bookA));
        auto *node = page->tv2->find(page2);
        press(page->tv2, node);
        const QString stored = node->Data.Tcon;
        page->N8Click();
        const QString words = QString(300'000, u'字');
        page->Zthtmleditorx1->document()->setBodyHtml("<p>" + words + "</p>");
        column("pragma max_page_count=" + column("pragma page_count").first());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, page->cxButton2Click());
        QVERIFY(!page->cxCheckBox1->isChecked());
        QVERIFY(docText(page).contains(words));
        QVERIFY(page->hasUnsavedEdits());
        QCOMPARE(node->Data.Tcon, stored);
        QCOMPARE(column("pragma quick_check"), QStringList{"ok"});
    }

    // The selected node stays red on yellow when the tree loses the focus.
    void selectionDrawnRedOnYellow()
    {
        TForm2 *page = openPage();
        auto *node = static_cast<TTreeNode *>(page->tv1->topLevelItem(1));
        press(page->tv1, node);
        page->cxTextEdit1->setFocus();
        QTRY_VERIFY(!page->tv1->hasFocus());
        const QImage shot = page->tv1->viewport()->grab().toImage();
        const QRect r = page->tv1->visualItemRect(node);
        QCOMPARE(r.height(), 20);
        QCOMPARE(QColor(shot.pixel(r.right() - 3, r.center().y())), QColor(Qt::yellow));
    }
};

QTEST_MAIN(TstBookPage)
#include "tst_bookpage.moc"
