// Exports and imports as the reader does them: the bookshelf menu, the
// dialogs, the question before a replace, the report, the new book on the
// page; and a book printed as one PDF.
#include "app/pdfexport.h"
#include "app/transferdialogs.h"
#include "book/book.h"
#include "library/library.h"
#include "library/shelf.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QMenu>
#include <QProcess>
#include <QTimer>
#include <QtTest>

class TstTransferUi : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempLibrary> lib;
    TADOConnection *db = nullptr;
    QString category, book;
    QTemporaryDir out;

    void page(const QString &chapter, const QString &title, const QString &text)
    {
        const QString key = shelf::addUnit(db, book, chapter, title).rec.Tid;
        shelf::savePage(db, key, "<p>" + text + "</p>", text);
    }

    // Chooses menu entry caption of the bookshelf on node key, and answers
    // the dialog it opens with answer.
    static void choose(TForm2 &form, const QString &key, const QString &caption,
                       const std::function<void(QDialog *)> &answer)
    {
        form.tv1->select(form.tv1->find(key));
        QAction *action = nullptr;
        for (QAction *a : form.pm1->actions())
            if (a->text() == caption)
                action = a;
        QVERIFY(action);
        QTimer::singleShot(0, [answer] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            answer(dialog);
            dialog->accept();
        });
        action->trigger();
    }

    static QString allText(const QString &folder)
    {
        QString text;
        for (QDirIterator it(folder, {"*.html"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
            QFile f(it.next());
            f.open(QIODevice::ReadOnly);
            text += QString::fromUtf8(f.readAll());
        }
        return text;
    }

private slots:
    // What a replace moves to the trash stays in the test's folder.
    void initTestCase() { qputenv("XDG_DATA_HOME", QFile::encodeName(out.filePath("data"))); }
    void init()
    {
        lib = std::make_unique<TempLibrary>();
        db = lib->connection();
        category = shelf::addBook(db, "$", "类").rec.Tid;
        book = shelf::addBook(db, category, "书").rec.Tid;
        const QString one = shelf::addUnit(db, book, "$", "第一章").rec.Tid;
        page(one, "甲页", "甲页的文字 alpha");
        const QString two = shelf::addUnit(db, book, "$", "第二章").rec.Tid;
        page(two, "乙页", "乙页的文字 beta");
    }
    void cleanup() { lib.reset(); }

    void exportThenImportThroughTheMenu()
    {
        Library library(db, nullptr);
        QWidget window;
        TransferUi ui(&window, [&] { return &library; }, lib->folder() + "/images");
        TForm2 form;
        form.setLibrary(&library);
        ui.watch(&form);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        BoxAnswerer answerer(QMessageBox::Ok);

        const QString target = out.filePath("书");
        choose(form, book, "导出…", [&](QDialog *d) {
            auto *dialog = qobject_cast<TExportDialog *>(d);
            dialog->setKind(TExportDialog::Kind::Html);
            dialog->setTarget(target);
        });
        QVERIFY2(allText(target).contains("甲页的文字"), qPrintable(answerer.texts.join('\n')));
        QVERIFY(answerer.texts.last().contains("页面：2"));

        // An existing target is asked about; kept, the export goes beside it.
        answerer.setNextAnswers({QMessageBox::No});
        choose(form, book, "导出…", [&](QDialog *d) { qobject_cast<TExportDialog *>(d)->setTarget(target); });
        QVERIFY(answerer.texts.contains(QString("“%1”已存在，替换吗？").arg(QDir::cleanPath(target))));
        QVERIFY(allText(target + " (2)").contains("乙页的文字"));
        // Replaced, the old target goes once the new one is whole.
        QFile old(target + "/old.txt");
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        answerer.setNextAnswers({QMessageBox::Yes});
        choose(form, book, "导出…", [&](QDialog *d) { qobject_cast<TExportDialog *>(d)->setTarget(target); });
        QVERIFY(!old.exists());
        QVERIFY(allText(target).contains("乙页的文字"));
        QVERIFY(!QFileInfo::exists(target + " (3)"));

        // Chosen on the book, the import goes into its category and shows.
        choose(form, book, "导入…", [&](QDialog *d) { qobject_cast<TImportDialog *>(d)->setSource(target); });
        QTRY_COMPARE(form.tv1->find(category)->childCount(), 2);
        const QString added = form.tv1->find(category)->child(1)->text(0);
        const QStringList keys = transfer::findItems(db, added, false);
        QCOMPARE(keys.size(), 1);
        QCOMPARE(shelf::unitTree(db, keys.first(), {}).size(), 2);
        QVERIFY(answerer.texts.last().startsWith("目标：类 / " + added));
    }

    void pdfOfABook()
    {
        const QString target = out.filePath("书.pdf");
        const transfer::Report report = pdfexport::exportBook(db, book, target, lib->folder() + "/images");
        QCOMPARE(report.pages, 4);
        QProcess info;
        info.start("pdfinfo", {target});
        QVERIFY(info.waitForFinished());
        const QString pages = QString::fromUtf8(info.readAllStandardOutput()).section("Pages:", 1).section('\n', 0, 0);
        // Each chapter starts a sheet of its own.
        QVERIFY2(pages.trimmed().toInt() >= 2, qPrintable(pages));
        QProcess text;
        text.start("pdftotext", {target, "-"});
        QVERIFY(text.waitForFinished());
        const QString all = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(all.contains("甲页的文字") && all.contains("乙页的文字"), qPrintable(all));
        QVERIFY_THROWS_EXCEPTION(transfer::Refused, pdfexport::exportBook(db, book, target, lib->folder() + "/images"));
    }
};

QTEST_MAIN(TstTransferUi)
#include "tst_transfer_ui.moc"
