// The windows over the bin, the page versions and the drafts: what they list,
// and that their buttons reach the library with the reader's answers.
#include "app/binwindow.h"
#include "app/draftsdialog.h"
#include "book/historywindow.h"
#include "library/library.h"
#include "library/shelf.h"
#include "store/bin.h"
#include "store/drafts.h"
#include "store/history.h"
#include "testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTimeZone>
#include <QTreeWidget>
#include <QtTest>

#include <ctime>

class TstKeepingUi : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    QString category, book, chapter;

    QStringList column(const QString &sql) { return firstColumn(db, sql); }
    QStringList rows()
    {
        return column("select id||'|'||jb||'|'||lbm||'|'||px from books order by id")
               + column("select id||'|'||sc||'|'||jb||'|'||utitle||'|'||ucon||'|'||px from units order by id");
    }
    QString page(const QString &title)
    {
        const QString key = shelf::addUnit(db, book, chapter, title).rec.Tid;
        shelf::savePage(db, key, "<p>" + title + "</p>", title);
        return key;
    }
    static QStringList texts(const QTreeWidgetItem *row)
    {
        QStringList out;
        for (int c = 0; c < row->columnCount(); ++c)
            out << row->text(c);
        return out;
    }
    static void click(QWidget *form, const char *button)
    {
        auto *b = form->findChild<QPushButton *>(QLatin1String(button));
        QVERIFY(b && b->isEnabled());
        QTest::mouseClick(b, Qt::LeftButton);
    }
    static void open(QWidget *form)
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
    }

private slots:
    void initTestCase()
    {
        // Local time eight hours from UTC, so the lists show local time.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
    }
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        category = shelf::addBook(db, "$", "类").rec.Tid;
        book = shelf::addBook(db, category, "书").rec.Tid;
        chapter = shelf::addUnit(db, book, "$", "章").rec.Tid;
    }
    void cleanup() { lib.reset(); }

    // A deleted item listed and put back: where it was, elsewhere when its
    // place is gone, under another name when its own is taken.
    void binRestores_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("told");
        QTest::newRow("as it was") << "as it was" << QString();
        QTest::newRow("place gone") << "place gone" << "“甲”的原位置已不存在，已恢复为“书（恢复）”的一章。";
        QTest::newRow("name taken") << "name taken" << "“书”与同一处的书卷重名，已改名为“书（恢复）”。";
    }
    void binRestores()
    {
        QFETCH(QString, how);
        QFETCH(QString, told);
        const QString a = page("甲");
        const QStringList before = rows();
        QString gone = book;
        if (how == "place gone") {
            gone = a;
            shelf::deleteUnit(db, a);
            shelf::deleteBook(db, book);
        } else {
            shelf::deleteBook(db, book);
        }
        if (how == "name taken")
            shelf::addBook(db, category, "书");
        const QDateTime deleted = bin::items(db).first().deletedAt;

        BoxAnswerer boxes;
        Library library(db, nullptr);
        TBinForm form(&library, lib->folder(), nullptr);
        QList<bin::Restored> restored;
        connect(&library, &Library::restored, &form, [&](const bin::Restored &r) { restored << r; });
        open(&form);
        auto *list = form.findChild<QTreeWidget *>("binList");
        QVERIFY(list);
        QTreeWidgetItem *last = list->topLevelItem(list->topLevelItemCount() - 1);
        const QString time = deleted.addSecs(8 * 3600).toString("yyyy-MM-dd HH:mm");
        if (how == "place gone") {
            QCOMPARE(texts(list->topLevelItem(0)), (QStringList{"书", "书卷", "类", time, "1"}));
            QCOMPARE(texts(last), (QStringList{"甲", "章节·内容", "类 › 书 › 章", time, "1"}));
        } else {
            QCOMPARE(texts(last), (QStringList{"书", "书卷", "类", time, "2"}));
        }
        last->setSelected(true);
        click(&form, "restoreButton");
        QCOMPARE(restored.size(), 1);
        QCOMPARE(restored.first().key, gone);
        QCOMPARE(list->topLevelItemCount(), bin::items(db).size());
        QCOMPARE(boxes.texts, told.isEmpty() ? QStringList() : QStringList{told});
        if (how == "as it was")
            QCOMPARE(rows(), before);
    }

    // Removing for good asks first, and "No" keeps everything.
    void binRemoves_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("the selected, yes") << "removeButton" << "彻底删除" << int(QMessageBox::Yes) << 1;
        QTest::newRow("the selected, no") << "removeButton" << "彻底删除" << int(QMessageBox::No) << 2;
        QTest::newRow("all, yes") << "emptyButton" << "清空回收站" << int(QMessageBox::Yes) << 0;
    }
    void binRemoves()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(int, answer);
        QFETCH(int, left);
        shelf::deleteUnit(db, page("甲"));
        shelf::deleteUnit(db, page("乙"));
        BoxAnswerer boxes{QMessageBox::StandardButton(answer)};
        Library library(db, nullptr);
        TBinForm form(&library, lib->folder(), nullptr);
        QSignalSpy removed(&form, &TBinForm::removed);
        open(&form);
        auto *list = form.findChild<QTreeWidget *>("binList");
        list->topLevelItem(0)->setSelected(true);
        click(&form, qPrintable(button));
        QCOMPARE(boxes.titles, QStringList{title});
        QCOMPARE(boxes.defaults, QList<QMessageBox::StandardButton>{QMessageBox::No});
        QCOMPARE(bin::items(db).size(), left);
        QCOMPARE(list->topLevelItemCount(), left);
        QCOMPARE(removed.size(), left == 2 ? 0 : 1);
        // The newest is the one selected and removed.
        if (left == 1)
            QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("甲"));
    }

    // A page saved three times: its versions, the marks against the page,
    // and the chosen one handed back to be saved.
    void historyRestoresAVersion()
    {
        const QString a = page("一");
        shelf::savePage(db, a, "<p>月落乌啼</p>", "月落乌啼");
        shelf::savePage(db, a, "<p>月落霜满天</p>", "月落霜满天");
        const QString current = shelf::pageDocument(db, a);
        THistoryForm form(db, a, "一", current, nullptr);
        QSignalSpy wanted(&form, &THistoryForm::restoreRequested);
        open(&form);
        QCOMPARE(form.windowTitle(), QStringLiteral("历史版本 - 一"));
        auto *list = form.findChild<QTreeWidget *>("versionList");
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("月落乌啼"));
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("%1 字节").arg(QByteArray("<p>月落乌啼</p>").size()));
        list->setCurrentItem(list->topLevelItem(0));
        // "乌啼" went, "霜满天" came: struck through in red, on green.
        QStringList struck, added;
        const QTextDocument *marks = form.findChild<TPagePreview *>("compareView")->document();
        for (QTextBlock b = marks->begin(); b.isValid(); b = b.next()) {
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat f = it.fragment().charFormat();
                if (f.fontStrikeOut() && f.background().color().red() > f.background().color().green())
                    struck << it.fragment().text();
                else if (f.background().color().green() > f.background().color().red())
                    added << it.fragment().text();
            }
        }
        QCOMPARE(struck.join(QString()), QStringLiteral("乌啼"));
        QCOMPARE(added.join(QString()), QStringLiteral("霜满天"));

        BoxAnswerer boxes(QMessageBox::Yes);
        list->setCurrentItem(list->topLevelItem(1));
        click(&form, "restoreButton");
        QCOMPARE(boxes.texts, QStringList{"用这个版本替换当前内容吗？当前内容会作为新的历史版本保留。"});
        QCOMPARE(wanted.size(), 1);
        QCOMPARE(wanted.first().first().toString(), QStringLiteral("<p>一</p>"));
        QTRY_VERIFY(!form.isVisible());
    }

    // The versions' times as the reader's clock showed them, across the
    // zone's changes of offset (half an hour on Lord Howe Island).
    void localTimesAcrossChanges_data()
    {
        QTest::addColumn<QByteArray>("zone");
        for (const char *zone : {"Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe", "UTC"})
            QTest::newRow(zone) << QByteArray(zone);
    }
    void localTimesAcrossChanges()
    {
        QFETCH(QByteArray, zone);
        const QTimeZone tz(zone);
        if (!tz.isValid())
            QSKIP("the machine has no data for this zone");
        // Every 17 minutes over two years.
        QList<QDateTime> times;
        const QDateTime newest(QDate(2019, 12, 1), QTime(0, 7), Qt::UTC);
        for (qint64 m = 0; m < 2 * 365 * 24 * 60; m += 17)
            times << newest.addSecs(-60 * m);
        // And the instants of the changes themselves.
        for (const QTimeZone::OffsetData &change : tz.transitions(times.last(), newest))
            times << change.atUtc;
        QStringList expected;
        for (const QDateTime &t : times)
            expected << t.toTimeZone(tz).toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(localTimes(times, tz), expected);
    }

    // Hundreds of versions open at once: only the list is read.
    void historyOpensFast()
    {
        const QString a = page("长");
        const QString body = QString("长页的正文。").repeated(1000);
        // With the page's first document, 500 versions.
        for (int i = 0; i < 499; ++i)
            shelf::savePage(db, a, QStringLiteral("<p>%1</p><p>%2</p>").arg(i).arg(body), body);
        const QString current = shelf::pageDocument(db, a);
        qint64 best = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer clock;
            clock.start();
            THistoryForm form(db, a, "长", current, nullptr);
            best = std::min(best, clock.elapsed());
            QCOMPARE(form.findChild<QTreeWidget *>("versionList")->topLevelItemCount(), 500);
        }
        QVERIFY2(best < 20, qPrintable(QStringLiteral("%1 ms").arg(best)));
    }

    // The preview shows pictures given in the document and fetches none.
    void previewFetchesNothing()
    {
        QImage dot(2, 2, QImage::Format_RGB32);
        dot.fill(Qt::red);
        const QString file = lib->folder() + "/dot.png";
        QVERIFY(dot.save(file));
        QByteArray png;
        QBuffer buffer(&png);
        QVERIFY(buffer.open(QIODevice::WriteOnly) && dot.save(&buffer, "PNG"));
        const QUrl inFile = QUrl::fromLocalFile(file);
        const QUrl inline_("data:image/png;base64," + QString::fromLatin1(png.toBase64()));
        TPagePreview view(nullptr);
        view.setHtml("<img src=\"" + inFile.toString() + "\"><img src=\"" + inline_.toString() + "\">");
        const auto shown = [&view](const QUrl &url) {
            return qvariant_cast<QPixmap>(view.document()->resource(QTextDocument::ImageResource, url)).size();
        };
        QCOMPARE(shown(inline_), QSize(2, 2));
        QVERIFY(shown(inFile).isEmpty());
    }

    // Each draft is saved into its page or let go; the dialog closes with
    // the last.
    void draftsSavedOrDropped()
    {
        const QString a = page("甲");
        const QString b = page("乙");
        const QDateTime now = QDateTime::currentDateTimeUtc();
        drafts::keep(db, a, "<p>甲 改过</p>", now);
        drafts::keep(db, b, "<p>乙 改过</p>", now.addSecs(1));
        QVERIFY(TDraftsForm::hasDrafts(db));
        TDraftsForm form(db, nullptr);
        QSignalSpy saved(&form, &TDraftsForm::pageSaved);
        open(&form);
        auto *list = form.findChild<QTreeWidget *>("draftList");
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("类 › 书 › 章 › 甲"));
        QCOMPARE(list->topLevelItem(0)->text(1), now.addSecs(8 * 3600).toString("yyyy-MM-dd HH:mm"));
        list->setCurrentItem(list->topLevelItem(0));
        click(&form, "viewButton");
        QCOMPARE(form.findChild<TPagePreview *>("draftView")->toPlainText(), QStringLiteral("甲 改过"));
        click(&form, "saveButton");
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.first().first().toString(), a);
        QCOMPARE(shelf::pageDocument(db, a), QStringLiteral("<p>甲 改过</p>"));
        QCOMPARE(column("select ucontxt from units where id=" + a), QStringList{"甲 改过"});
        QCOMPARE(history::versions(db, a).first().firstLine, QStringLiteral("甲"));
        QCOMPARE(list->topLevelItemCount(), 1);
        QVERIFY(form.isVisible());

        BoxAnswerer boxes(QMessageBox::Yes);
        list->setCurrentItem(list->topLevelItem(0));
        click(&form, "dropButton");
        QCOMPARE(boxes.titles, QStringList{"丢弃"});
        QVERIFY(drafts::all(db).isEmpty());
        QCOMPARE(shelf::pageDocument(db, b), QStringLiteral("<p>乙</p>"));
        QTRY_VERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TstKeepingUi)
#include "tst_keeping_ui.moc"
