// Drives the real main window and book page on the library beside this
// program, operation after operation, until it is killed; and checks, after a
// kill, that the library is sound and holds every operation that returned.
//
//   velloran-soak run SEED JOURNAL   work until killed, noting each step
//   velloran-soak type SEED JOURNAL  edit a page and type into it every
//                                    second until killed, never saving
//   velloran-soak check JOURNAL      exit 0 when the library is as it must be
//                                    and, after typing, its draft holds all
//                                    that was typed more than 10 s before
#include "app/application.h"
#include "app/mainfrm.h"
#include "book/book.h"
#include "book/bookadd.h"
#include "book/conadd.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "store/connection.h"
#include "store/xcom.h"
#include "testsupport.h"
#include "ztking/ztking.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// Every stored value of both tables, in key order.
QString digest(TADOConnection *db)
{
    QCryptographicHash h(QCryptographicHash::Md5);
    for (const QString &row : firstColumn(db, "select id||'|'||jb||'|'||lbm||'|'||lbmpy||'|'||px from books order by id")
                                  + firstColumn(db, "select id||'|'||sc||'|'||jb||'|'||utitle||'|'||utpy||'|'||ucon||'|'"
                                               "||ucontxt||'|'||ucpy||'|'||px from units order by id"))
        h.addData(row.toUtf8() + '\n');
    return QString::fromLatin1(h.result().toHex());
}

// Lines reach the disk before the next step starts, so that a kill can
// never lose a line for a step that returned.
class Journal
{
public:
    explicit Journal(const QString &path)
        : file(path)
    {
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            qFatal("cannot write the journal %s", qPrintable(path));
    }
    void note(const QString &line)
    {
        file.write(line.toUtf8() + '\n');
        file.flush();
        ::fsync(file.handle());
    }

private:
    QFile file;
};

class Driver
{
public:
    Driver(TForm2 *page, quint32 seed)
        : p(page)
        , rng(seed)
    {
    }

    // One user operation through the page's own handlers and widgets.
    QString step(int k)
    {
        const QString tag = QString::number(k);
        switch (rng.bounded(9)) {
        case 0:
            p->N1Click();
            return add(Form3, "c" + tag);
        case 1:
            if (!pick(p->tv1, false))
                return skip();
            p->N2Click();
            return add(Form3, "b" + tag);
        case 2:
            if (!pick(p->tv1, false))
                return skip();
            p->N6Click();
            return add(Form4, "u" + tag);
        case 3:
            if (!pick(p->tv1, false) || !pick(p->tv2, true))
                return skip();
            p->N7Click();
            return add(Form4, "p" + tag);
        case 4:
            return rename("r" + tag);
        case 5:
            return save("s" + tag);
        case 6:
        case 7:
            return drag();
        default:
            return remove();
        }
    }

private:
    QString skip() { return QStringLiteral("nothing to do"); }

    // Presses a random node of tree like a reader; tv2 needs a book first.
    TTreeNode *pick(TTreeView *tree, bool units)
    {
        if (units && !p->tv1->Selected())
            return nullptr;
        QList<TTreeNode *> nodes;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            nodes << static_cast<TTreeNode *>(*it);
        if (nodes.isEmpty())
            return nullptr;
        TTreeNode *node = nodes.at(rng.bounded(int(nodes.size())));
        tree->scrollToItem(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        return tree->Selected() == node ? node : nullptr;
    }

    QString add(TAddForm *dialog, const QString &name)
    {
        if (!dialog->isVisible())
            return skip();
        dialog->cxTextEdit1->setText(name);
        dialog->cxButton1Click();
        return "add " + name;
    }

    QString rename(const QString &name)
    {
        const bool units = rng.bounded(2) == 1;
        if (!pick(p->tv1, false) || (units && !pick(p->tv2, true)))
            return skip();
        TTreeView *tree = units ? p->tv2 : p->tv1;
        units ? p->N10Click() : p->N4Click();
        auto *edit = tree->viewport()->findChild<QLineEdit *>();
        if (!edit)
            return skip();
        edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
        if (!QTest::qWaitFor([edit] { return !edit->isVisible(); }, 5000))
            throw std::runtime_error("the rename box stayed open");
        // The next press only ends the rename.
        Renflag.clear();
        return "rename " + name;
    }

    QString save(const QString &text)
    {
        if (!pick(p->tv1, false) || !pick(p->tv2, true))
            return skip();
        p->N8Click();
        p->Zthtmleditorx1->document()->setBodyHtml("<p>" + text + " It's a good day</p>");
        p->cxButton2Click();
        return "save " + text;
    }

    QString drag()
    {
        const bool units = rng.bounded(2) == 1;
        if (!pick(p->tv1, false))
            return skip();
        TTreeView *tree = units ? p->tv2 : p->tv1;
        TTreeNode *node = units ? pick(p->tv2, true) : p->tv1->Selected();
        if (!node)
            return skip();
        QTreeWidgetItem *parent = node->parent();
        const int count = parent ? parent->childCount() : tree->topLevelItemCount();
        auto *target = static_cast<TTreeNode *>(parent ? parent->child(rng.bounded(count))
                                                       : tree->topLevelItem(rng.bounded(count)));
        tree->scrollToItem(target);
        const QPoint at = tree->visualItemRect(target).center();
        units ? p->tv2DragDrop(at) : p->tv1DragDrop(at);
        return "drag " + node->Data.Tid + " onto " + target->Data.Tid;
    }

    QString remove()
    {
        const bool units = rng.bounded(3) > 0;
        if (!pick(p->tv1, false) || (units && !pick(p->tv2, true)))
            return skip();
        units ? p->N11Click() : p->N5Click();
        return units ? QStringLiteral("delete unit") : QStringLiteral("delete book");
    }

    TForm2 *p;
    QRandomGenerator rng;
};

// Edits a page of the library and types into it, a new line every second,
// noting each with its time; nothing is ever saved, so only the draft can
// keep it.
[[noreturn]] void typeUntilKilled(TForm2 *p, Journal &journal)
{
    TTreeNode *page = nullptr;
    for (QTreeWidgetItemIterator it(p->tv1); *it && !page; ++it) {
        auto *book = static_cast<TTreeNode *>(*it);
        QTest::mouseClick(p->tv1->viewport(), Qt::LeftButton, {}, p->tv1->visualItemRect(book).center());
        if (p->tv2->topLevelItemCount() > 0)
            page = static_cast<TTreeNode *>(p->tv2->topLevelItem(0));
    }
    if (!page) {
        journal.note("error no page to type into");
        std::exit(3);
    }
    p->tv2->scrollToItem(page);
    QTest::mouseClick(p->tv2->viewport(), Qt::LeftButton, {}, p->tv2->visualItemRect(page).center());
    p->N8Click();
    for (int line = 1;; ++line) {
        p->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>typed line %1</p>").arg(line));
        journal.note(QStringLiteral("typed %1 %2 %3").arg(page->Data.Tid).arg(line).arg(QDateTime::currentMSecsSinceEpoch()));
        QTest::qWait(1000);
    }
}

// What any library must hold after any kill.
QStringList faults(TADOConnection *db)
{
    QStringList out;
    if (firstColumn(db, "pragma integrity_check") != QStringList{"ok"})
        out << "integrity_check is not ok";
    const QList<std::pair<const char *, const char *>> checks{
        {"a unit of a missing book", "select count(*) from units where sc not in (select cast(id as text) from books)"},
        {"a unit under a missing unit",
         "select count(*) from units where jb<>'$' and jb not in (select cast(id as text) from units)"},
        {"a book under a missing item",
         "select count(*) from books where jb<>'$' and jb not in (select cast(id as text) from books)"},
        {"two books on one position", "select count(*) from (select jb,px from books group by jb,px having count(*)>1)"},
        {"two units on one position",
         "select count(*) from (select sc,jb,px from units group by sc,jb,px having count(*)>1)"},
        {"a ucpy that is not empty", "select count(*) from units where ucpy<>''"},
    };
    for (const auto &[what, sql] : checks) {
        if (firstColumn(db, QLatin1String(sql)) != QStringList{"0"})
            out << QLatin1String(what);
    }
    return out;
}

int check(const QString &journalPath)
{
    TADOConnection db;
    db.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + TForm1::libraryFolder() + "vlbook.mdb";
    db.Open();
    QStringList problems = faults(&db);
    // Killed while still starting: no step ran, and the sound shape is all
    // there is to check.
    QFile f(journalPath);
    QString lastDone, last = QStringLiteral("killed while starting");
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("done "))
                lastDone = QString::fromUtf8(line).section(u' ', 2, 2);
            if (!line.isEmpty())
                last = QString::fromUtf8(line);
        }
    }
    // Typing: the draft holds every line typed more than 10 s before the
    // kill (this check runs right after it), or a later one.
    if (f.seek(0)) {
        QString unit;
        int due = 0;
        const qint64 killed = QDateTime::currentMSecsSinceEpoch();
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 4 && parts[0] == "typed" && killed - parts[3].toLongLong() > 10000) {
                unit = QString::fromLatin1(parts[1]);
                due = parts[2].toInt();
            }
        }
        if (due > 0) {
            const QStringList kept = firstColumn(&db, "select document from drafts where unit=" + unit);
            static const QRegularExpression typed(QStringLiteral("typed line (\\d+)"));
            const auto m = typed.match(kept.value(0));
            if (!m.hasMatch() || m.captured(1).toInt() < due)
                problems << QStringLiteral("line %1 typed more than 10 s before the kill is not in the draft (%2)")
                                .arg(due)
                                .arg(m.hasMatch() ? "it holds line " + m.captured(1) : QStringLiteral("none"));
            else
                last = QStringLiteral("typed line %1 kept (due %2)").arg(m.captured(1)).arg(due);
        }
    }
    const QString now = digest(&db);
    // Killed between steps: the library is exactly as the last step left
    // it. Killed inside one: as before it, or with it whole (the sound
    // shape above says it is not half there).
    if (last.startsWith("done ") && !lastDone.isEmpty() && now != lastDone)
        problems << "a step that returned is not in the library: " + last;
    std::fprintf(stdout, "%s -> %s (%s books, %s units)\n", qPrintable(last),
                 problems.isEmpty() ? "ok" : qPrintable(problems.join("; ")),
                 qPrintable(firstColumn(&db, "select count(*) from books").value(0)),
                 qPrintable(firstColumn(&db, "select count(*) from units").value(0)));
    return problems.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "check")
        return check(args[2]);
    if (args.size() != 4 || (args[1] != "run" && args[1] != "type")) {
        std::fprintf(stderr, "usage: velloran-soak run|type SEED JOURNAL | check JOURNAL\n");
        return 2;
    }
    TForm1 form;
    TForm2 hidden;
    TForm3 bookAdd(&form);
    TForm4 unitAdd(&form);
    TForm5 templates(&form);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 2;
    auto *page = form.findChild<TForm2 *>();
    if (!page)
        return 2;
    BoxAnswerer yes(QMessageBox::Yes);
    Journal journal(args[3]);
    Driver driver(page, args[2].toUInt());
    if (args[1] == "type") {
        // A page to type into first.
        for (int k = 1; k <= 400 && firstColumn(Adoconn, "select count(*) from units") == QStringList{"0"}; ++k)
            driver.step(k);
        typeUntilKilled(page, journal);
    }
    for (int k = 1;; ++k) {
        journal.note("begin " + QString::number(k));
        try {
            const QString what = driver.step(k);
            journal.note("done " + QString::number(k) + " " + digest(Adoconn) + " " + what);
        } catch (const std::exception &e) {
            journal.note("error " + QString::number(k) + " " + QString::fromUtf8(e.what()));
            return 3;
        }
    }
}
