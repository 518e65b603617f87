// velloran-bench [--runs N] [figure ...]: times the real handlers of the book
// page on a large library, headless, and prints one line per figure with
// the median of N runs (5 by default) and the floor measured in the same
// runs. The library is laid once and kept in a folder of the temporary
// folder; every run that writes works on a copy of it. Figures named on the
// command line run alone.
#include "app/application.h"
#include "bench/biglibrary.h"
#include "bench/rawstore.h"
#include "book/book.h"
#include "book/historywindow.h"
#include "library/library.h"
#include "library/shelf.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "store/bin.h"
#include "store/connection.h"
#include "store/draftkeeper.h"
#include "store/escape.h"
#include "store/search.h"
#include "store/xcom.h"
#include "ztking/ztking.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <memory>
#include <random>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double timed(const std::function<void()> &f)
{
    const auto t0 = Clock::now();
    f();
    return msBetween(t0, Clock::now());
}

void note(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

double median(QList<double> v)
{
    if (v.isEmpty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    const qsizetype n = v.size();
    return n % 2 ? v.at(n / 2) : (v.at(n / 2 - 1) + v.at(n / 2)) / 2;
}

QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// One figure's line, as the goals are stated: the median, the floor of the
// same runs, their ratio, the goal and whether it is met.
void report(const QString &figure, const QList<double> &values, const QList<double> &floors, double goal,
            const QString &unit = QStringLiteral("ms"))
{
    const double m = median(values), f = median(floors);
    QString runs;
    for (double v : values)
        runs += QLatin1Char(' ') + number(v, 1);
    runs += QStringLiteral(" | floor");
    for (double v : floors)
        runs += QLatin1Char(' ') + number(v, 1);
    note(QStringLiteral("  %1 runs:%2").arg(figure, runs));
    const QString g = std::abs(goal - std::round(goal)) < 0.05 ? number(goal, 0) : number(goal, 1);
    const QString line = QStringLiteral("%1: %2 %3 (floor %4 %3, %5x) goal %6 %3 %7")
                             .arg(figure, number(m, 1), unit, number(f, 1), number(m / f, 2), g,
                                  m <= goal ? QStringLiteral("met") : QStringLiteral("NOT MET"));
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

void failed(const QString &figure, const QString &why)
{
    std::printf("%s\n", qPrintable(QStringLiteral("%1: failed (%2) NOT MET").arg(figure, why)));
    std::fflush(stdout);
}

// Answers every message box as a reader who wants the work done: "Yes" when
// the box offers it, its default button otherwise. What was asked is noted,
// so a figure can tell the question it expects from an error report.
class Boxes : public QObject
{
public:
    explicit Boxes(QObject *parent)
        : QObject(parent)
    {
        qApp->installEventFilter(this);
    }
    QStringList take() { return std::exchange(m_seen, {}); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = event->type() == QEvent::Show ? qobject_cast<QMessageBox *>(watched) : nullptr;
        if (!box)
            return false;
        // Answered from the box's own event loop: a box closed before exec()
        // starts it would wait for ever.
        QMetaObject::invokeMethod(
            this,
            [this, box = QPointer<QMessageBox>(box)] {
                if (!box)
                    return;
                m_seen << box->windowTitle() + QStringLiteral(": ") + box->text();
                QAbstractButton *b = box->button(QMessageBox::Yes);
                if (!b)
                    b = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
                if (b)
                    b->click();
                else
                    box->reject();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QStringList m_seen;
};

// The resident memory of this process in bytes.
qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read /proc/self/status");
    for (const QByteArray &l : f.readAll().split('\n')) {
        if (l.startsWith("VmRSS:"))
            return l.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    throw std::runtime_error("no VmRSS in /proc/self/status");
}

void copyFile(const QString &from, const QString &to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error(qPrintable(QStringLiteral("cannot copy %1 to %2").arg(from, to)));
}

void copyTree(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        copyFile(file, target);
    }
}

QString connectionString(const QString &folder)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + folder + QStringLiteral("/vlbook.mdb");
}

std::unique_ptr<TADOConnection> openLibrary(const QString &folder)
{
    auto db = std::make_unique<TADOConnection>();
    db->ConnectionString = connectionString(folder);
    db->Open();
    return db;
}

// The cached library of this layout and schema, laid first when missing.
QString libraryCache()
{
    const QString folder = QDir::tempPath()
        + QStringLiteral("/velloran-bench-L%1-S%2").arg(biglibrary::LayoutVersion).arg(TADOConnection::SchemaVersion);
    if (QFile::exists(folder + QStringLiteral("/vlbook.mdb"))) {
        note(QStringLiteral("library: %1 (cached; remove the folder to lay it afresh)").arg(folder));
        return folder;
    }
    const QString partial = folder + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    if (!QDir().mkpath(partial))
        throw std::runtime_error(qPrintable(QStringLiteral("cannot make ") + partial));
    note(QStringLiteral("library: laying %1 ...").arg(folder));
    QElapsedTimer t;
    t.start();
    biglibrary::lay(partial, folder + QStringLiteral("/pictures"));
    if (!QDir().rename(partial, folder))
        throw std::runtime_error(qPrintable(QStringLiteral("cannot rename %1 to %2").arg(partial, folder)));
    note(QStringLiteral("library: laid in %1 s").arg(number(t.elapsed() / 1000.0, 1)));
    return folder;
}

void pass()
{
    QCoreApplication::processEvents();
}

// Lets what a handler set going (paints, the web engine's late work) end
// before the next run is timed.
void settle(int ms = 100)
{
    QTest::qWait(ms);
}

void press(TTreeView *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}

int countNodes(QTreeWidget *tree)
{
    int n = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++n;
    return n;
}

// An item and everything under it.
qsizetype countUnder(const QTreeWidgetItem *item)
{
    qsizetype n = 1;
    for (int i = 0; i < item->childCount(); ++i)
        n += countUnder(item->child(i));
    return n;
}

// A web view with the editor's settings and nothing else, in a window of
// its own: the floor of showing a page. It loads a document the way the
// editor does, from a file of its own.
class BareView : public QWidget
{
public:
    explicit BareView(const QSize &size)
    {
        resize(size);
        view = new QWebEngineView(this);
        // A profile of its own keeps it in a renderer of its own, so it never
        // waits for the editor's page to finish drawing.
        view->setPage(new QWebEnginePage(new QWebEngineProfile(this), view));
        view->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
        view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
        auto *l = new QVBoxLayout(this);
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(view);
        show();
        if (!QTest::qWaitForWindowExposed(this))
            throw std::runtime_error("the bare web view was never shown");
        load(QStringLiteral("<html><body></body></html>"));
    }

    void load(const QString &html)
    {
        const QString file = dir.filePath(QStringLiteral("page%1.htm").arg(++loads));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(QByteArray("\xEF\xBB\xBF") + html.toUtf8()) < 0)
            throw std::runtime_error(qPrintable(QStringLiteral("cannot write ") + file));
        out.close();
        QEventLoop loop;
        bool ok = false;
        connect(view, &QWebEngineView::loadFinished, &loop, [&](bool done) {
            ok = done;
            loop.quit();
        });
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        view->load(QUrl::fromLocalFile(file));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        disconnect(view, &QWebEngineView::loadFinished, &loop, nullptr);
        if (!ok)
            throw std::runtime_error(qPrintable(QStringLiteral("the bare web view did not load ") + file));
    }

private:
    QWebEngineView *view;
    QTemporaryDir dir;
    int loads = 0;
};

// A book page in a window of the main window's size, its writes going
// through library, so that it shows what every page on library writes.
struct Window
{
    explicit Window(Library *library)
    {
        host = std::make_unique<QWidget>();
        host->resize(842, 540);
        page = new TForm2(host.get());
        page->setLibrary(library);
        auto *l = new QVBoxLayout(host.get());
        l->setContentsMargins(0, 0, 0, 0);
        l->addWidget(page);
        host->show();
        if (!QTest::qWaitForWindowExposed(host.get()))
            throw std::runtime_error("the book page was never shown");
    }

    // A press on the book of key in the bookshelf, then the chapter tree.
    void book(const QString &key)
    {
        page->cxPageControl1->setCurrentIndex(0);
        TTreeNode *node = page->tv1->find(key);
        if (!node)
            throw std::runtime_error(qPrintable(QStringLiteral("book %1 is not on the shelf").arg(key)));
        press(page->tv1, node);
        page->cxPageControl1->setCurrentIndex(1);
        settle();
    }

    std::unique_ptr<QWidget> host;
    TForm2 *page = nullptr;
};

// The book page on a library, with the Library every further page shares.
struct Page
{
    explicit Page(const QString &folder)
    {
        db = std::make_unique<TADOConnection>();
        db->ConnectionString = connectionString(folder);
        db->Open();
        Adoconn = db.get();
        library = std::make_unique<Library>(db.get(), nullptr);
        window = std::make_unique<Window>(library.get());
        page = window->page;
        marks = biglibrary::find(db.get());
    }
    ~Page()
    {
        window.reset();
        library.reset();
        Adoconn = nullptr;
    }

    void book(const QString &key) { window->book(key); }

    std::unique_ptr<TADOConnection> db;
    std::unique_ptr<Library> library;
    std::unique_ptr<Window> window;
    TForm2 *page = nullptr;
    biglibrary::Landmarks marks;
};

// The moments a starting process tells (app/startreport.h), in ms after
// it was started; negative when not told within a minute.
struct Start
{
    double mapped = -1, welcome = -1;
};

Start startOnce(const QString &program, const QStringList &args, const QString &folder)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELLORAN_REPORT_START"), QStringLiteral("1"));
    // The process is ended without its say: what it leaves in the temporary
    // folder goes with the bench's own.
    QDir().mkpath(folder + QStringLiteral("/tmp"));
    env.insert(QStringLiteral("TMPDIR"), folder + QStringLiteral("/tmp"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.setStandardOutputFile(QProcess::nullDevice());
    Start s;
    QByteArray err;
    QEventLoop loop;
    const auto t0 = Clock::now();
    QObject::connect(&p, &QProcess::readyReadStandardError, &loop, [&] {
        err += p.readAllStandardError();
        qsizetype end;
        while ((end = err.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = err.left(end).trimmed().split(' ');
            err.remove(0, end + 1);
            if (words.size() != 3 || words.at(0) != "velloran-start")
                continue;
            const double ms = (words.at(2).toLongLong() - std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                              t0.time_since_epoch())
                                                              .count())
                / 1e6;
            (words.at(1) == "mapped" ? s.mapped : s.welcome) = ms;
            if (s.mapped >= 0 && s.welcome >= 0)
                loop.quit();
        }
    });
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    p.start(program, args);
    loop.exec();
    p.kill();
    p.waitForFinished(10000);
    return s;
}

class Bench
{
public:
    Bench(int runCount, QStringList figures)
        : runs(runCount)
        , only(std::move(figures))
    {
    }

    void run()
    {
        cache = libraryCache();
        if (!work.isValid())
            throw std::runtime_error("no temporary folder");
        folder = work.path();
        note(QStringLiteral("work folder: %1").arg(folder));
        copyFile(cache + QStringLiteral("/vlbook.mdb"), folder + QStringLiteral("/vlbook.mdb"));
        const QString programDir = QFileInfo(QStringLiteral(VELLORAN_PROGRAM)).path();
        copyFile(QStringLiteral(VELLORAN_PROGRAM), folder + QStringLiteral("/velloran"));
        QFile::setPermissions(folder + QStringLiteral("/velloran"),
                              QFile::permissions(QStringLiteral(VELLORAN_PROGRAM)));
        copyTree(programDir + QStringLiteral("/images"), folder + QStringLiteral("/images"));
        {
            TADOConnection db;
            db.ConnectionString = connectionString(folder);
            db.Open();
            const biglibrary::Landmarks marks = biglibrary::find(&db);
            storedBytes = biglibrary::storedTextBytes(&db, marks.largestBook);
        }

        figure("start", [this] { start(); });
        figure("memory-largest", [this] { memory(); });
        if (wanted({"index-size", "search-1char", "search-2char", "search-3char", "search-phrase", "save-4k-indexed"})) {
            store = openLibrary(folder);
            figure("index-size", [this] { indexSize(); });
            figure("search-1char", [this] { searchFigure(QStringLiteral("search-1char"), drawnQueries(1, 1)); });
            figure("search-2char", [this] { searchFigure(QStringLiteral("search-2char"), drawnQueries(2, 2)); });
            figure("search-3char", [this] { searchFigure(QStringLiteral("search-3char"), drawnQueries(3, 3)); });
            figure("search-phrase", [this] { searchFigure(QStringLiteral("search-phrase"), drawnPhrases(4)); });
            figure("save-4k-indexed", [this] { save4kIndexed(); });
            store.reset();
        }
        figure("index-rebuild", [this] { indexRebuild(); });
        if (!wanted({"booklist", "booklist-filter", "unitlist-largest", "unitlist-filter", "page-4k", "page-1m",
                     "save-1m", "draft-1m", "drag-1k", "rename-other-page", "history-list", "delete-5k", "restore-5k"}))
            return;
        boxes = new Boxes(qApp);
        p = std::make_unique<Page>(folder);
        p->page->Zthtmleditorx1->Tuku = folder + QStringLiteral("/images");
        bare = std::make_unique<BareView>(p->page->Zthtmleditorx1->size());
        boxes->take();
        figure("booklist", [this] { booklist(); });
        figure("booklist-filter", [this] { booklistFilter(); });
        figure("unitlist-largest", [this] { unitlistLargest(); });
        figure("unitlist-filter", [this] { unitlistFilter(); });
        figure("page-4k", [this] { page4k(); });
        figure("page-1m", [this] { page1m(); });
        figure("save-1m", [this] { save1m(); });
        figure("draft-1m", [this] { draft1m(); });
        figure("drag-1k", [this] { drag1k(); });
        figure("rename-other-page", [this] { renameOtherPage(); });
        figure("history-list", [this] { historyList(); });
        figures({"delete-5k", "restore-5k"}, [this] { deleteRestore5k(); });
        bare.reset();
        p.reset();
    }

private:
    bool wanted(const QStringList &names) const
    {
        if (only.isEmpty())
            return true;
        for (const QString &n : names) {
            if (only.contains(n))
                return true;
        }
        return false;
    }

    void figure(const char *name, const std::function<void()> &f) { figures({QLatin1String(name)}, f); }

    // Figures measured in the same runs: f reports those wanted; when it
    // fails, every one of them fails.
    void figures(const QStringList &names, const std::function<void()> &f)
    {
        QStringList asked;
        for (const QString &n : names) {
            if (wanted({n}))
                asked << n;
        }
        if (asked.isEmpty())
            return;
        const QString n = asked.join(QStringLiteral(", "));
        note(QStringLiteral("%1 ...").arg(n));
        const auto fail = [&asked](const QString &why) {
            for (const QString &a : asked)
                failed(a, why);
        };
        try {
            f();
        } catch (const EDatabaseError &e) {
            fail(e.message());
        } catch (const std::exception &e) {
            fail(QString::fromUtf8(e.what()));
        }
        if (boxes) {
            for (const QString &b : boxes->take())
                note(QStringLiteral("  %1: a box came up: %2").arg(n, b));
        }
    }

    // Runs one warm-up and then the counted runs of a figure; each run gives
    // the figure and its floor.
    void measure(const QString &name, const std::function<double(const QList<double> &)> &goal,
                 const std::function<std::pair<double, double>(int)> &once, bool warmUp = true,
                 const QString &unit = QStringLiteral("ms"))
    {
        QList<double> values, floors;
        for (int r = warmUp ? -1 : 0; r < runs; ++r) {
            const auto [v, f] = once(r + 1);
            if (r >= 0) {
                values << v;
                floors << f;
            }
        }
        report(name, values, floors, goal(floors), unit);
    }

    void same(const QString &figure, qsizetype shown, qsizetype floorRows)
    {
        if (shown != floorRows)
            note(QStringLiteral("  %1: the tree shows %2 nodes, the floor read %3 rows").arg(figure).arg(shown).arg(floorRows));
    }

    // --- start and memory: the program and this bench as processes --------

    void start()
    {
        const QString welcome = folder + QStringLiteral("/welcome.htm");
        {
            QString html = TForm2::welcomePage();
            html.replace(QStringLiteral("#Tuku\u00B7vostrelan#"), pathtourl(folder + QStringLiteral("/images")),
                         Qt::CaseInsensitive);
            QFile f(welcome);
            if (!f.open(QIODevice::WriteOnly) || f.write(QByteArray("\xEF\xBB\xBF") + html.toUtf8()) < 0)
                throw std::runtime_error(qPrintable(QStringLiteral("cannot write ") + welcome));
        }
        QList<double> mapped, welcomed, bareMapped, bareLoaded;
        for (int r = -1; r < runs; ++r) {
            const Start s = startOnce(folder + QStringLiteral("/velloran"), {}, folder);
            // A killed program leaves its journal; opening and closing the
            // library folds it in, so every start finds the library closed.
            {
                TADOConnection db;
                db.ConnectionString = connectionString(folder);
                db.Open();
            }
            const Start b = startOnce(QStringLiteral(VELLORAN_BENCH_WINDOW), {welcome}, folder);
            if (s.mapped < 0 || s.welcome < 0 || b.mapped < 0 || b.welcome < 0)
                throw std::runtime_error("a start-up moment was not told within a minute (is VELLORAN_REPORT_START "
                                         "still honoured by the program?)");
            if (r >= 0) {
                mapped << s.mapped;
                welcomed << s.welcome;
                bareMapped << b.mapped;
                bareLoaded << b.welcome;
            }
        }
        report(QStringLiteral("start"), mapped, bareMapped, 600);
        report(QStringLiteral("start-welcome"), welcomed, bareLoaded, 1.25 * median(bareLoaded));
    }

    void memory()
    {
        QList<double> added, floors;
        const double floorMb = storedBytes / 1e6;
        for (int r = 0; r < runs; ++r) {
            QProcess probe;
            probe.setStandardErrorFile(QProcess::nullDevice());
            probe.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory-probe"), folder});
            if (!probe.waitForFinished(120000) || probe.exitCode() != 0)
                throw std::runtime_error("the memory probe failed");
            const QList<QByteArray> words = probe.readAllStandardOutput().trimmed().split(' ');
            if (words.size() != 3 || words.at(0) != "memory")
                throw std::runtime_error("the memory probe told nothing");
            added << (words.at(2).toLongLong() - words.at(1).toLongLong()) / 1e6;
            floors << floorMb;
        }
        report(QStringLiteral("memory-largest"), added, floors, floorMb, QStringLiteral("MB"));
    }

    // --- the full-text index, through the store alone ---------------------

    static constexpr int QueriesPerFigure = 20;

    // Different queries of length characters, each a piece of a phrase of
    // the pages or a title of the books drawn by a generator of fixed seed:
    // the same every time, and none picked for how fast it is answered.
    static QStringList drawnQueries(int length, unsigned seed)
    {
        const QStringList source = biglibrary::Phrases + biglibrary::Titles;
        std::mt19937 rng(seed);
        QStringList queries;
        while (queries.size() < QueriesPerFigure) {
            const QString from = source.at(int(rng() % source.size()));
            if (from.size() < length)
                continue;
            const QString q = from.mid(int(rng() % (from.size() - length + 1)), length);
            if (!queries.contains(q))
                queries << q;
        }
        return queries;
    }

    static bool chinese(QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; }

    // Quoted phrases cut from the text of pages drawn by a generator of
    // fixed seed: in turn a whole phrase, and the end of a phrase (two to
    // four characters) with the mark and the English word after it.
    QStringList drawnPhrases(unsigned seed)
    {
        sqlite3 *h = raw::handle(store.get());
        const qlonglong last = raw::value(h, "SELECT max(id) FROM units").toLongLong();
        std::mt19937 rng(seed);
        QStringList queries;
        while (queries.size() < QueriesPerFigure) {
            const QString text = Dataunesc(QString::fromUtf8(
                raw::value(h, "SELECT ucontxt FROM units WHERE id >= ? ORDER BY id LIMIT 1",
                           {qlonglong(1 + rng() % last)})));
            // The phrases of the page: runs of Chinese characters.
            QList<std::pair<qsizetype, qsizetype>> phrases;
            for (qsizetype i = 0; i < text.size();) {
                qsizetype end = i;
                while (end < text.size() && chinese(text.at(end)))
                    ++end;
                if (end > i)
                    phrases.append({i, end});
                i = end + 1;
            }
            if (phrases.isEmpty())
                continue;
            const auto [from, to] = phrases.at(int(rng() % phrases.size()));
            QString q;
            if (queries.size() % 2 == 0) {
                q = text.mid(from, to - from);
            } else {
                qsizetype wordEnd = to + 1;
                while (wordEnd < text.size() && (text.at(wordEnd).isLetter() || text.at(wordEnd) == u'\'')
                       && !chinese(text.at(wordEnd)))
                    ++wordEnd;
                if (wordEnd == to + 1)
                    continue;
                const qsizetype start = std::max(from, to - 2 - qsizetype(rng() % 3));
                q = text.mid(start, wordEnd - start);
            }
            q = QLatin1Char('"') + q + QLatin1Char('"');
            if (!queries.contains(q))
                queries << q;
        }
        return queries;
    }

    // Each query's time is the median of its runs (after one pass over all
    // of them); the figure is the median over the queries. The floor is the
    // index's own count of the books and units holding the query as drawn
    // (a single character as the start of a token, as the search seeks it),
    // in the one width the library holds it: no other widths, no ranking,
    // none of the first screen's paths and snippets.
    void searchFigure(const QString &name, const QStringList &queries)
    {
        TADOConnection *db = store.get();
        sqlite3 *h = raw::handle(db);
        for (const QString &q : queries)
            search::find(db, q, 0, 50);
        QList<double> values, floors;
        for (const QString &q : queries) {
            const QString word = q.startsWith(u'"') ? q.mid(1, q.size() - 2) : q;
            QByteArray match = '"' + word.toUtf8().replace('"', "\"\"") + '"';
            if (word.toUcs4().size() == 1)
                match += '*';
            QList<double> v, f;
            qint64 total = 0, counted = 0;
            for (int r = 0; r < runs; ++r) {
                v << timed([&] { total = search::find(db, q, 0, 50).total; });
                f << timed([&] {
                    counted = raw::value(h, "SELECT count(*) FROM search_books WHERE search_books MATCH ?", {match})
                                  .toLongLong()
                        + raw::value(h, "SELECT count(*) FROM search_units WHERE search_units MATCH ?", {match})
                              .toLongLong();
                });
            }
            note(QStringLiteral("  %1 %2: %3 ms, %4 results (floor %5 ms, %6 counted)")
                     .arg(name, q, number(median(v), 1))
                     .arg(total)
                     .arg(number(median(f), 1))
                     .arg(counted));
            if (total == 0)
                throw std::runtime_error(qPrintable(QStringLiteral("%1 found nothing").arg(q)));
            values << median(v);
            floors << median(f);
        }
        report(name, values, floors, 50);
    }

    void save4kIndexed()
    {
        TADOConnection *db = store.get();
        sqlite3 *h = raw::handle(db);
        // The first page of the chapter of 1,000 pages.
        const QString key = QString::fromUtf8(raw::value(h, "SELECT id FROM units WHERE jb = ? ORDER BY px LIMIT 1",
                                                         {biglibrary::find(db).thousandChapter}));
        const auto column = [&](const char *sql) { return Dataunesc(QString::fromUtf8(raw::value(h, sql, {key}))); };
        const QString html = column("SELECT ucon FROM units WHERE id = ?");
        const QString text = column("SELECT ucontxt FROM units WHERE id = ?");
        const qsizetype open = html.indexOf(u'>', html.indexOf(QStringLiteral("<body"))) + 1;
        if (open <= 0)
            throw std::runtime_error("the page of 4 KB has no body");
        measure(QStringLiteral("save-4k-indexed"), [](const QList<double> &) { return 20.0; }, [&](int run) {
            const QString mark = QStringLiteral("第%1次修改 revision %1 of the bench").arg(run);
            const QString page =
                html.left(open) + QStringLiteral("<p>") + mark + QStringLiteral("</p>") + html.mid(open);
            const double v = timed([&] { shelf::savePage(db, key, page, mark + QStringLiteral("\n\n") + text); });
            const std::vector<QByteArray> stored = raw::rows(h, "SELECT ucon, ucontxt FROM units WHERE id = ?", {key});
            if (stored.size() != 2 || !stored[1].contains(mark.toUtf8()))
                throw std::runtime_error("the save did not reach the library");
            // The floor is the write without the index: the page changed
            // again, written with the index's triggers off. The engine skips
            // writing bytes it already holds, so the floor's differ; the row
            // then gets the saved bytes back, which the index holds.
            const raw::NoTriggers quiet(h);
            const QByteArray floorMark = QStringLiteral("第%1次 floor %1 of the bench").arg(run).toUtf8();
            QByteArray floorHtml = stored[0], floorText = stored[1];
            floorHtml.replace(mark.toUtf8(), floorMark);
            floorText.replace(mark.toUtf8(), floorMark);
            const char *update = "UPDATE units SET ucon = ?1, ucontxt = ?2 WHERE id = ?3";
            const double f = timed([&] { raw::each(h, update, {{floorHtml, floorText, key.toLongLong()}}); });
            if (raw::value(h, "SELECT ucontxt = ?1 FROM units WHERE id = ?2", {floorText, key}) != "1")
                throw std::runtime_error("the floor did not write the page");
            raw::each(h, update, {{stored[0], stored[1], key.toLongLong()}});
            return std::pair{v, f};
        });
    }

    // Bytes of the index's tables (the shadow tables of the full-text
    // tables and the logs beside them) against the stored page text.
    void indexSize()
    {
        sqlite3 *h = raw::handle(store.get());
        qint64 index = 0;
        for (const QByteArray &table :
             raw::rows(h, "SELECT name FROM sqlite_schema WHERE type = 'table' AND name LIKE 'search\\_%' ESCAPE '\\'"
                          " ORDER BY name")) {
            const qint64 bytes = raw::value(h, "SELECT sum(pgsize) FROM dbstat WHERE name = ?", {table}).toLongLong();
            note(QStringLiteral("  %1: %2 MB").arg(QString::fromUtf8(table), number(bytes / 1e6, 1)));
            index += bytes;
        }
        const qint64 text = raw::value(h, "SELECT sum(length(CAST(ucontxt AS BLOB))) FROM units").toLongLong();
        if (index == 0 || text == 0)
            throw std::runtime_error("the library has no index or no page text");
        const double ratio = double(index) / double(text);
        constexpr double goal = 3.0;
        const QString line = QStringLiteral("index-size: %1x (index %2 MB, page text %3 MB) goal %4x %5")
                                 .arg(number(ratio, 2), number(index / 1e6, 1), number(text / 1e6, 1), number(goal, 1),
                                      ratio <= goal ? QStringLiteral("met") : QStringLiteral("NOT MET"));
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }

    // Every run lays the whole index again on one copy of the library; the
    // floor reads the rows the rebuild reads, by one statement a table.
    void indexRebuild()
    {
        const QString copy = folder + QStringLiteral("/rebuild");
        QDir().mkpath(copy);
        copyFile(cache + QStringLiteral("/vlbook.mdb"), copy + QStringLiteral("/vlbook.mdb"));
        {
            const std::unique_ptr<TADOConnection> db = openLibrary(copy);
            sqlite3 *h = raw::handle(db.get());
            const QByteArray units = raw::value(h, "SELECT count(*) FROM units");
            measure(QStringLiteral("index-rebuild"), [](const QList<double> &) { return 30000.0; }, [&](int) {
                const double v = timed([&] { search::rebuild(db.get()); });
                if (raw::value(h, "SELECT count(*) FROM search_units_docsize") != units)
                    throw std::runtime_error("the rebuild left units out of the index");
                const double f = timed([&] {
                    raw::rows(h, "SELECT id, lbm, lbmpy FROM books");
                    raw::rows(h, "SELECT id, sc, utitle, utpy, ucontxt FROM units");
                });
                return std::pair{v, f};
            }, false);
        }
        QDir(copy).removeRecursively();
    }

    // --- the book page, in this process -----------------------------------

    void booklist()
    {
        TForm2 *page = p->page;
        sqlite3 *h = raw::handle(p->db.get());
        qsizetype rows = 0;
        measure(QStringLiteral("booklist"), [](const QList<double> &) { return 10.0; }, [&](int) {
            settle();
            const double v = timed([&] {
                page->Booklist();
                pass();
            });
            int columns = 1;
            const double f = timed([&] { rows = raw::rows(h, "SELECT * FROM books ORDER BY jb, px", {}, &columns).size(); });
            rows /= columns;
            return std::pair{v, f};
        });
        same(QStringLiteral("booklist"), countNodes(page->tv1), rows);
    }

    void booklistFilter()
    {
        TForm2 *page = p->page;
        sqlite3 *h = raw::handle(p->db.get());
        qsizetype rows = 0, shown = 0;
        page->cxPageControl1->setCurrentIndex(0);
        page->cxTextEdit1->setText(biglibrary::BookWordStart);
        measure(QStringLiteral("booklist-filter"), [](const QList<double> &) { return 10.0; }, [&](int) {
            settle();
            const double v = timed([&] {
                QTest::keyClick(page->cxTextEdit1, biglibrary::BookWord.back().toLatin1());
                pass();
            });
            int columns = 1;
            const double f = timed([&] {
                rows = raw::rows(h,
                                 "SELECT * FROM books WHERE jb = '$' OR instr(lbm, ?1) > 0"
                                 " OR instr(lbmpy, ?1) > 0 ORDER BY jb, px",
                                 {biglibrary::BookWord}, &columns)
                           .size();
            });
            rows /= columns;
            shown = countNodes(page->tv1);
            QTest::keyClick(page->cxTextEdit1, Qt::Key_Backspace);
            return std::pair{v, f};
        });
        same(QStringLiteral("booklist-filter"), shown, rows);
        page->cxTextEdit1->clear();
    }

    // The rows a book's chapter tree shows, whole, read by one statement.
    qsizetype unitRows(const QString &book, const QString &word = QString())
    {
        sqlite3 *h = raw::handle(p->db.get());
        int columns = 1;
        const qsizetype values =
            word.isEmpty()
            ? raw::rows(h, "SELECT * FROM units WHERE sc = ?1 ORDER BY jb, px", {book}, &columns).size()
            : raw::rows(h,
                        "SELECT * FROM units WHERE sc = ?1 AND (jb = '$' OR instr(utitle, ?2) > 0"
                        " OR instr(utpy, ?2) > 0 OR instr(ucontxt, ?2) > 0) ORDER BY jb, px",
                        {book, word}, &columns)
                  .size();
        return values / columns;
    }

    void unitlistLargest()
    {
        TForm2 *page = p->page;
        page->cxPageControl1->setCurrentIndex(0);
        TTreeNode *largest = page->tv1->find(p->marks.largestBook);
        TTreeNode *small = page->tv1->find(p->marks.smallBook);
        qsizetype rows = 0;
        measure(QStringLiteral("unitlist-largest"), [](const QList<double> &floors) { return std::min(60.0, 3 * median(floors)); },
                [&](int) {
                    press(page->tv1, small);
                    settle();
                    const double v = timed([&] {
                        press(page->tv1, largest);
                        pass();
                    });
                    const double f = timed([&] { rows = unitRows(p->marks.largestBook); });
                    return std::pair{v, f};
                });
        same(QStringLiteral("unitlist-largest"), countNodes(page->tv2), rows);
    }

    void unitlistFilter()
    {
        TForm2 *page = p->page;
        p->book(p->marks.largestBook);
        page->cxTextEdit2->setText(biglibrary::UnitWord.chopped(1));
        qsizetype rows = 0, shown = 0;
        measure(QStringLiteral("unitlist-filter"), [](const QList<double> &) { return 60.0; }, [&](int) {
            settle();
            const double v = timed([&] {
                QTest::keyClick(page->cxTextEdit2, biglibrary::UnitWord.back().toLatin1());
                pass();
            });
            const double f = timed([&] { rows = unitRows(p->marks.largestBook, biglibrary::UnitWord); });
            shown = countNodes(page->tv2);
            QTest::keyClick(page->cxTextEdit2, Qt::Key_Backspace);
            return std::pair{v, f};
        });
        same(QStringLiteral("unitlist-filter"), shown, rows);
        page->cxTextEdit2->clear();
    }

    // Times a press on node until the editor shows its page, against the bare
    // view loading the same document.
    std::pair<double, double> showPage(TTreeNode *node)
    {
        TForm2 *page = p->page;
        settle();
        const double v = timed([&] {
            press(page->tv2, node);
            pass();
        });
        if (page->tv2->Selected() != node)
            throw std::runtime_error("the press did not select the page");
        const QString html = node->Data.Tcon;
        settle(300);
        const double f = timed([&] {
            bare->load(html);
            pass();
        });
        return {v, f};
    }

    void page4k()
    {
        TForm2 *page = p->page;
        p->book(p->marks.largestBook);
        measure(QStringLiteral("page-4k"), [](const QList<double> &) { return 50.0; }, [&](int run) {
            // A page of the lowest level, a different one every run.
            QTreeWidgetItem *node = page->tv2->topLevelItem(run % page->tv2->topLevelItemCount());
            for (int level = 1; level < 4; ++level)
                node = node->child(run % node->childCount());
            return showPage(static_cast<TTreeNode *>(node));
        });
    }

    TTreeNode *picturePage()
    {
        TTreeNode *node = p->page->tv2->find(p->marks.picturePage);
        if (!node)
            throw std::runtime_error("the page of 1 MB is not in the tree");
        return node;
    }

    void page1m()
    {
        TForm2 *page = p->page;
        p->book(p->marks.pictureBook);
        TTreeNode *big = picturePage();
        TTreeNode *other = static_cast<TTreeNode *>(big->parent()->child(big->parent()->indexOfChild(big) + 1));
        measure(QStringLiteral("page-1m"), [](const QList<double> &) { return 300.0; }, [&](int) {
            press(page->tv2, other);
            return showPage(big);
        });
    }

    void save1m()
    {
        TForm2 *page = p->page;
        p->book(p->marks.pictureBook);
        TTreeNode *big = picturePage();
        sqlite3 *h = raw::handle(p->db.get());
        // The body as laid: its pictures are files outside the image
        // library, so every save copies all 20 of them in.
        const QString laid = QString::fromUtf8(raw::value(h, "SELECT ucon FROM units WHERE id = ?", {p->marks.picturePage}));
        const qsizetype open = laid.indexOf(u'>', laid.indexOf(QStringLiteral("<body"))) + 1;
        const QString body = laid.mid(open, laid.lastIndexOf(QStringLiteral("</body>")) - open);
        const QStringList pictures = QDir(cache + QStringLiteral("/pictures")).entryList(QDir::Files, QDir::Name);
        measure(QStringLiteral("save-1m"), [](const QList<double> &) { return 300.0; }, [&](int run) {
            press(page->tv2, big);
            page->N8Click();
            const QString mark = QStringLiteral("revision %1 of the bench").arg(run);
            page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>第%1次修改 %2</p>").arg(run).arg(mark) + body);
            // The edited page as the reader sees it: parsed and laid out,
            // which reading its text waits for.
            page->Zthtmleditorx1->document()->bodyText();
            const char *versions = "SELECT count(*) FROM page_history WHERE unit = ?";
            const qlonglong kept = raw::value(h, versions, {p->marks.picturePage}).toLongLong();
            settle();
            const double v = timed([&] {
                QTest::mouseClick(page->cxButton2, Qt::LeftButton);
                pass();
            });
            if (!page->cxCheckBox1->isChecked()
                || !raw::value(h, "SELECT ucon FROM units WHERE id = ?", {p->marks.picturePage}).contains(mark.toUtf8()))
                throw std::runtime_error("the save did not reach the library");
            if (raw::value(h, versions, {p->marks.picturePage}).toLongLong() != kept + 1)
                throw std::runtime_error("the save kept no version of the page it replaced");
            const QString saved = big->Data.Tcon;
            const QByteArray html = Dataesc(saved + QStringLiteral("<!-- floor %1 -->").arg(run)).toUtf8();
            const QByteArray text = Dataesc(page->Zthtmleditorx1->document()->bodyText()).toUtf8();
            settle(300);
            const double f = timed([&] {
                for (const QString &pic : pictures)
                    copyFile(cache + QStringLiteral("/pictures/") + pic,
                             page->Zthtmleditorx1->Tuku + QStringLiteral("/floor%1_%2").arg(run).arg(pic));
                raw::exec(h, "BEGIN");
                raw::each(h, "UPDATE units SET ucon = ?1, ucontxt = ?2 WHERE id = ?3",
                          {{html, text, p->marks.picturePage.toLongLong()}});
                raw::exec(h, "COMMIT");
                bare->load(saved);
                pass();
            });
            return std::pair{v, f};
        });
    }

    // The longest the window's thread is held while the draft of the 1 MB
    // page being edited is kept: a heartbeat every millisecond notes the
    // longest gap between its beats, from the draft's start until the
    // keeper has written it; the floor is the same heartbeat as long, with
    // nothing to do.
    void draft1m()
    {
        TForm2 *page = p->page;
        p->book(p->marks.pictureBook);
        TTreeNode *big = picturePage();
        sqlite3 *h = raw::handle(p->db.get());
        DraftKeeper keeper(p->db->DataSource(), nullptr);
        page->setDraftKeeper(&keeper);
        const auto longestGap = [](const std::function<bool()> &done, int atMostMs) {
            QElapsedTimer clock;
            clock.start();
            qint64 last = 0, longest = 0;
            QTimer beat;
            beat.setInterval(1);
            QObject::connect(&beat, &QTimer::timeout, [&] {
                const qint64 now = clock.nsecsElapsed();
                longest = std::max(longest, now - last);
                last = now;
            });
            beat.start();
            while (!done() && clock.elapsed() < atMostMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            return std::pair{longest / 1e6, clock.elapsed()};
        };
        measure(QStringLiteral("draft-1m"), [](const QList<double> &) { return 16.0; }, [&](int run) {
            press(page->tv2, big);
            page->N8Click();
            const QString mark = QStringLiteral("draft %1 of the bench").arg(run);
            page->Zthtmleditorx1->document()->setBodyHtml(QStringLiteral("<p>%1</p>").arg(mark)
                                                          + page->Zthtmleditorx1->document()->bodyHtml());
            settle();
            const QByteArray before = raw::value(h, "SELECT kept_at FROM drafts WHERE unit = ?", {p->marks.picturePage});
            page->setDraftInterval(1);
            const auto [blocked, took] = longestGap(
                [&] { return raw::value(h, "SELECT kept_at FROM drafts WHERE unit = ?", {p->marks.picturePage}) != before; },
                20000);
            page->setDraftInterval(5000);
            keeper.flush();
            if (!raw::value(h, "SELECT instr(document, ?) > 0 FROM drafts WHERE unit = ?", {mark.toUtf8(), p->marks.picturePage})
                     .startsWith('1'))
                throw std::runtime_error("the draft did not reach the library");
            const auto [idle, same] = longestGap([] { return false; }, int(took));
            Q_UNUSED(same);
            // Back to reading: the lock drops the edits and their draft.
            page->cxCheckBox1->setChecked(true);
            keeper.flush();
            settle();
            return std::pair{blocked, idle};
        });
        page->setDraftKeeper(nullptr);
    }

    void drag1k()
    {
        TForm2 *page = p->page;
        p->book(p->marks.thousandBook);
        TTreeNode *chapter = page->tv2->find(p->marks.thousandChapter);
        if (!chapter || chapter->childCount() != 1000)
            throw std::runtime_error("the chapter of 1,000 pages is not in the tree");
        sqlite3 *h = raw::handle(p->db.get());
        measure(QStringLiteral("drag-1k"), [](const QList<double> &) { return 30.0; }, [&](int) {
            // The last page onto the first: a different page every run, and
            // every page takes a new position.
            auto *last = static_cast<TTreeNode *>(chapter->child(999));
            auto *first = static_cast<TTreeNode *>(chapter->child(0));
            press(page->tv2, last);
            page->tv2->scrollToItem(first);
            const QPoint at = page->tv2->visualItemRect(first).center();
            settle();
            const double v = timed([&] {
                page->tv2DragDrop(at);
                pass();
            });
            if (chapter->child(0) != last)
                throw std::runtime_error("the drop did not move the page");
            // The floor writes the same rows, each one place on, which keeps
            // their order.
            QList<QVariantList> moved;
            const std::vector<QByteArray> rows =
                raw::rows(h, "SELECT id, px FROM units WHERE jb = ?", {p->marks.thousandChapter});
            for (size_t i = 0; i + 1 < rows.size(); i += 2)
                moved << QVariantList{rows[i + 1].toLongLong() + 1, rows[i].toLongLong()};
            const double f = timed([&] {
                raw::exec(h, "BEGIN");
                raw::each(h, "UPDATE units SET px = ?1 WHERE id = ?2", moved);
                raw::exec(h, "COMMIT");
            });
            return std::pair{v, f};
        });
    }

    // With a second book page on the same library, both on the largest
    // book, the rename of a page on the first until the second shows it.
    void renameOtherPage()
    {
        TForm2 *page = p->page;
        Window other(p->library.get());
        p->book(p->marks.largestBook);
        other.book(p->marks.largestBook);
        sqlite3 *h = raw::handle(p->db.get());
        measure(QStringLiteral("rename-other-page"), [](const QList<double> &) { return 20.0; }, [&](int run) {
            // A page of the lowest level, a different one every run.
            QTreeWidgetItem *item = page->tv2->topLevelItem(run % page->tv2->topLevelItemCount());
            for (int level = 1; level < 4; ++level)
                item = item->child(run % item->childCount());
            auto *node = static_cast<TTreeNode *>(item);
            const QString key = node->Data.Tid;
            TTreeNode *there = other.page->tv2->find(key);
            if (!there)
                throw std::runtime_error("the second page does not show the page renamed");
            // The press a rename starts from: it notes the name as it was.
            press(page->tv2, node);
            settle();
            const QString name = QStringLiteral("第%1次改名 renamed %1").arg(run);
            QString edited = name;
            const double v = timed([&] {
                page->tv2Edited(node, edited);
                pass();
            });
            if (there->text(0) != name)
                throw std::runtime_error("the second page does not show the new name");
            // The floor writes another name, with the index's triggers off;
            // the row then gets the program's bytes back, which the index
            // holds.
            const std::vector<QByteArray> stored = raw::rows(h, "SELECT utitle, utpy FROM units WHERE id = ?", {key});
            if (stored.size() != 2 || stored[0] != Dataesc(name).toUtf8())
                throw std::runtime_error("the rename did not reach the library");
            const QString floorName = Dataesc(QStringLiteral("第%1次 floor %1").arg(run));
            const QByteArray floorTitle = floorName.toUtf8(), floorInitials = Ztking::Getpy(floorName).toUtf8();
            const char *update = "UPDATE units SET utitle = ?1, utpy = ?2 WHERE id = ?3";
            const raw::NoTriggers quiet(h);
            const double f = timed([&] { raw::each(h, update, {{floorTitle, floorInitials, key.toLongLong()}}); });
            if (raw::value(h, "SELECT utitle FROM units WHERE id = ?", {key}) != floorTitle)
                throw std::runtime_error("the floor did not write the name");
            raw::each(h, update, {{stored[0], stored[1], key.toLongLong()}});
            return std::pair{v, f};
        });
    }

    static constexpr int Versions = 500;

    // "历史版本" on a page of the largest book with 500 versions, laid
    // first as plain rows: each its document with a line of its own on top,
    // compressed as the store keeps it, an hour older than the one before.
    void historyList()
    {
        TForm2 *page = p->page;
        TADOConnection *db = p->db.get();
        sqlite3 *h = raw::handle(db);
        const QByteArray key =
            raw::value(h,
                       "SELECT id FROM units u WHERE sc = ?1 AND NOT EXISTS"
                       " (SELECT 1 FROM units c WHERE c.jb = CAST(u.id AS TEXT)) ORDER BY id LIMIT 1",
                       {p->marks.largestBook});
        if (key.isEmpty())
            throw std::runtime_error("the largest book has no page");
        const QString current = shelf::pageDocument(db, QString::fromUtf8(key));
        const qsizetype open = current.indexOf(u'>', current.indexOf(QStringLiteral("<body"))) + 1;
        if (open <= 0)
            throw std::runtime_error("the page has no body");
        QList<QVariantList> versions;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (int i = 1; i <= Versions; ++i) {
            const QString line = QStringLiteral("第%1版 version %1").arg(i);
            const QByteArray stored =
                Dataesc(current.left(open) + QStringLiteral("<p>") + line + QStringLiteral("</p>") + current.mid(open))
                    .toUtf8();
            versions << QVariantList{key.toLongLong(), now.addSecs(-3600 * i).toString(Qt::ISODateWithMs),
                                     qlonglong(stored.size()), line, qCompress(stored)};
        }
        raw::exec(h, "BEGIN");
        raw::each(h, "DELETE FROM page_history WHERE unit = ?1", {{key.toLongLong()}});
        // The bytes go in as a blob, as the store keeps them.
        raw::each(h,
                  "INSERT INTO page_history (unit, saved_at, size, first_line, document)"
                  " VALUES (?1, ?2, ?3, ?4, CAST(?5 AS BLOB))",
                  versions);
        raw::exec(h, "COMMIT");
        p->book(p->marks.largestBook);
        TTreeNode *node = page->tv2->find(QString::fromUtf8(key));
        if (!node)
            throw std::runtime_error("the page with versions is not in the tree");
        press(page->tv2, node);
        qsizetype rows = 0, shown = 0;
        measure(QStringLiteral("history-list"), [](const QList<double> &) { return 20.0; }, [&](int) {
            settle();
            const double v = timed([&] {
                page->N12Click();
                pass();
            });
            const QList<THistoryForm *> forms = page->findChildren<THistoryForm *>();
            if (forms.size() != 1)
                throw std::runtime_error("历史版本 did not open one versions window");
            auto *list = forms.first()->findChild<QTreeWidget *>(QStringLiteral("versionList"));
            shown = list ? list->topLevelItemCount() : 0;
            delete forms.first();
            settle();
            int columns = 1;
            const double f = timed([&] {
                rows = raw::rows(h,
                                 "SELECT id, saved_at, size, first_line FROM page_history WHERE unit = ?"
                                 " ORDER BY saved_at DESC, id DESC",
                                 {key.toLongLong()}, &columns)
                           .size();
            });
            rows /= columns;
            if (shown != Versions)
                throw std::runtime_error(qPrintable(QStringLiteral("the versions list shows %1 rows").arg(shown)));
            return std::pair{v, f};
        });
        same(QStringLiteral("history-list"), shown, rows);
    }

    // Every run deletes the chapter of 5,000 units from a fresh copy of the
    // library and puts it back from the bin through the page's Library; the
    // floors then delete the same rows and insert them again.
    void deleteRestore5k()
    {
        TForm2 *page = p->page;
        TADOConnection *working = Adoconn;
        const bool restoring = wanted({QStringLiteral("restore-5k")});
        const QString copies = folder + QStringLiteral("/delete");
        QList<double> deletes, deleteFloors, restores, restoreFloors;
        for (int r = 0; r < runs; ++r) {
            QDir(copies).removeRecursively();
            QDir().mkpath(copies);
            copyFile(cache + QStringLiteral("/vlbook.mdb"), copies + QStringLiteral("/vlbook.mdb"));
            TADOConnection db;
            db.ConnectionString = connectionString(copies);
            db.Open();
            Adoconn = &db;
            p->library->setConnection(&db);
            // The page goes back to the working library however the run ends.
            struct Back
            {
                TADOConnection *to;
                Library *library;
                ~Back()
                {
                    Adoconn = to;
                    library->setConnection(to);
                }
            } back{working, p->library.get()};
            sqlite3 *h = raw::handle(&db);
            const biglibrary::Landmarks marks = biglibrary::find(&db);
            page->cxPageControl1->setCurrentIndex(0);
            page->Booklist();
            p->book(marks.fiveBook);
            TTreeNode *chapter = page->tv2->find(marks.fiveChapter);
            if (!chapter)
                throw std::runtime_error("the chapter of 5,000 units is not in the tree");
            press(page->tv2, chapter);
            const qlonglong px = raw::value(h, "SELECT px FROM units WHERE id = ?", {marks.fiveChapter}).toLongLong();
            raw::exec(h, "DROP TABLE IF EXISTS temp.kept");
            raw::rows(h, "CREATE TEMP TABLE kept AS SELECT * FROM units WHERE id IN (WITH RECURSIVE under(id) AS"
                         " (SELECT ?1 UNION ALL SELECT u.id FROM units u JOIN under ON u.jb = CAST(under.id AS TEXT))"
                         " SELECT id FROM under)",
                      {marks.fiveChapter.toLongLong()});
            const QByteArray count = QByteArray::number(marks.fiveRows.size());
            boxes->take();
            settle();
            const double v = timed([&] {
                page->N11Click();
                pass();
            });
            const QStringList asked = boxes->take();
            if (page->tv2->find(marks.fiveChapter) || asked.size() != 1)
                throw std::runtime_error(qPrintable(QStringLiteral("the chapter was not deleted as asked: ") + asked.join(QStringLiteral("; "))));
            if (raw::value(h, "SELECT count(*) FROM units WHERE id IN (SELECT id FROM temp.kept)") != "0")
                throw std::runtime_error("the delete left rows of the chapter");
            qint64 item = 0;
            for (const bin::Item &i : bin::items(&db)) {
                if (!i.isBook && i.key == marks.fiveChapter && i.pages == marks.fiveRows.size())
                    item = i.id;
            }
            if (!item || raw::value(h, "SELECT count(*) FROM bin_units WHERE item = ?", {item}) != count)
                throw std::runtime_error("the bin does not hold the chapter");
            deletes << v;
            if (restoring) {
                settle();
                const double put = timed([&] {
                    p->library->restore(item);
                    pass();
                });
                const TTreeNode *shown = page->tv2->find(marks.fiveChapter);
                if (!shown || countUnder(shown) != marks.fiveRows.size())
                    throw std::runtime_error("the tree does not show the chapter put back");
                restores << put;
            } else {
                raw::exec(h, "BEGIN");
                raw::each(h, "UPDATE units SET px = px + 1 WHERE jb = '$' AND px >= ?1", {{px}});
                raw::exec(h, "INSERT INTO units SELECT * FROM temp.kept");
                raw::exec(h, "COMMIT");
            }
            if (raw::value(h, "SELECT count(*) FROM units WHERE id IN (SELECT id FROM temp.kept)") != count)
                throw std::runtime_error("the chapter did not come back whole");
            // The floors take the chapter out from where it stands now and
            // put it back as the restore does: the fewer of its siblings, those
            // before it or those after, step aside.
            const qlonglong at = raw::value(h, "SELECT px FROM units WHERE id = ?", {marks.fiveChapter}).toLongLong();
            const bool down = raw::value(h, "SELECT count(*) FILTER (WHERE px < ?1) < count(*) FILTER (WHERE px > ?1)"
                                            " FROM units WHERE jb = '$'",
                                         {at})
                              == "1";
            QList<QVariantList> keys, rows;
            for (const QString &k : marks.fiveRows)
                keys << QVariantList{k.toLongLong()};
            int columns = 1;
            const std::vector<QByteArray> kept =
                raw::rows(h, "SELECT id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px FROM temp.kept", {}, &columns);
            // Keys and positions as whole numbers, the rest as text.
            for (size_t i = 0; i + size_t(columns) <= kept.size(); i += size_t(columns)) {
                QVariantList row;
                for (int c = 0; c < columns; ++c) {
                    const QByteArray &b = kept[i + size_t(c)];
                    row << (c == 0 || c == columns - 1 ? QVariant(b.toLongLong()) : QVariant(b));
                }
                if (row.first().toString() == marks.fiveChapter)
                    row.last() = down ? at - 1 : at;
                rows << row;
            }
            settle();
            deleteFloors << timed([&] {
                raw::exec(h, "BEGIN");
                raw::each(h, "DELETE FROM units WHERE id = ?1", keys);
                raw::each(h, "UPDATE units SET px = px - 1 WHERE jb = '$' AND px > ?1", {{at}});
                raw::exec(h, "COMMIT");
            });
            restoreFloors << timed([&] {
                raw::exec(h, "BEGIN");
                raw::each(h, down ? "UPDATE units SET px = px - 1 WHERE jb = '$' AND px < ?1"
                                  : "UPDATE units SET px = px + 1 WHERE jb = '$' AND px >= ?1",
                          {{at}});
                raw::each(h, "INSERT INTO units (id, sc, jb, utitle, utpy, ucon, ucontxt, ucpy, px)"
                             " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
                          rows);
                raw::exec(h, "COMMIT");
            });
            if (raw::value(h, "SELECT count(*) FROM units WHERE id IN (SELECT id FROM temp.kept)") != count)
                throw std::runtime_error("the floor did not put the chapter back");
            page->tv2->clear();
            page->tv1->clear();
        }
        QDir(copies).removeRecursively();
        if (wanted({QStringLiteral("delete-5k")}))
            report(QStringLiteral("delete-5k"), deletes, deleteFloors, 1000);
        if (restoring)
            report(QStringLiteral("restore-5k"), restores, restoreFloors, 1000);
    }

    int runs;
    QStringList only;
    QString cache;
    QTemporaryDir work{QDir::tempPath() + QStringLiteral("/velloran-bench-run-XXXXXX")};
    QString folder;
    qint64 storedBytes = 0;
    std::unique_ptr<TADOConnection> store;
    Boxes *boxes = nullptr;
    std::unique_ptr<Page> p;
    std::unique_ptr<BareView> bare;
};

// Run in a process of its own, so the memory it finds is what the press
// adds to a page that has only shown a small book: the resident bytes before
// and after pressing the largest book.
int memoryProbe(const QString &folder)
{
    auto *boxes = new Boxes(qApp);
    Page page(folder);
    TTreeNode *small = page.page->tv1->find(page.marks.smallBook);
    TTreeNode *largest = page.page->tv1->find(page.marks.largestBook);
    press(page.page->tv1, small);
    settle();
    malloc_trim(0);
    const qint64 before = residentBytes();
    press(page.page->tv1, largest);
    pass();
    const qint64 after = residentBytes();
    if (countNodes(page.page->tv2) == 0 || !boxes->take().isEmpty())
        return 1;
    std::printf("memory %lld %lld\n", static_cast<long long>(before), static_cast<long long>(after));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // Headless, with the web engine set as the tests set it.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --no-sandbox");
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    TApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    try {
        if (args.value(0) == QLatin1String("--memory-probe"))
            return memoryProbe(args.value(1));
        int runs = 5;
        if (args.value(0) == QLatin1String("--runs")) {
            runs = std::max(1, args.value(1).toInt());
            args = args.mid(2);
        }
        Bench(runs, args).run();
    } catch (const EDatabaseError &e) {
        note(QStringLiteral("velloran-bench: ") + e.message());
        return 1;
    } catch (const std::exception &e) {
        note(QStringLiteral("velloran-bench: ") + QString::fromUtf8(e.what()));
        return 1;
    }
    return 0;
}
