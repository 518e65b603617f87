#include "app/pdfexport.h"

#include "editor/docengine.h"
#include "library/shelf.h"
#include "store/connection.h"
#include "transfer/text.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineSettings>

using transfer::Refused;

namespace pdfexport {

namespace {

// What lies inside a stored page's body; a fragment is its own body.
QString bodyOf(const QString &doc)
{
    static const QRegularExpression body(QStringLiteral("<body[^>]*>(.*)</body\\s*>"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = body.match(doc);
    if (m.hasMatch())
        return m.captured(1);
    static const QRegularExpression head(QStringLiteral("<!DOCTYPE[^>]*>|<head[^>]*>.*</head\\s*>|</?html[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    return QString(doc).remove(head);
}

QString bookName(TADOConnection *db, const QString &bookKey)
{
    TADOQuery q(db);
    q.SQL = QStringLiteral("select lbm from books where id=%1").arg(bookKey.toLongLong());
    q.Open();
    if (q.Eof())
        throw Refused(Refused::Reason::NotFound, QStringLiteral("书卷已不在书库中，没有导出。"));
    return q.FieldByName(QStringLiteral("lbm"));
}

qint64 countUnits(const QList<shelf::Node> &nodes)
{
    qint64 n = nodes.size();
    for (const shelf::Node &node : nodes)
        n += countUnits(node.children);
    return n;
}

// Spins until done() or the reader cancels; the callback is asked every
// tenth of a second.
bool waitFor(const std::function<bool()> &done, const transfer::Progress &progress, qint64 total,
             QWebEnginePage *sender, auto signal)
{
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    QTimer poll;
    bool cancelled = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (progress && !progress(total, total)) {
            cancelled = true;
            loop.quit();
        }
    });
    poll.start(100);
    if (!done())
        loop.exec();
    return !cancelled;
}

} // namespace

QString bookDocument(TADOConnection *db, const QString &bookKey, const QString &pictureFolder,
                     transfer::Report &report, const transfer::Progress &progress)
{
    const QString name = bookName(db, bookKey);
    const QList<shelf::Node> tree = shelf::unitTree(db, bookKey, QString());
    const qint64 total = countUnits(tree);
    qint64 done = 0;
    QSet<QString> pictures;
    QString html = QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                                  "<style>img{max-width:100%}.chapter{page-break-before:always}</style></head>"
                                  "<body>\n<h1>%1</h1>\n")
                       .arg(transfer::escapeHtml(name));
    const std::function<void(const QList<shelf::Node> &, int)> walk = [&](const QList<shelf::Node> &nodes, int depth) {
        for (const shelf::Node &n : nodes) {
            if (progress && !progress(done, total))
                throw Refused(Refused::Reason::Cancelled, QStringLiteral("导出已取消，没有写入文件。"));
            const QString doc = shelf::pageDocument(db, n.rec.Tid);
            const QString body = transfer::mapTokenPictures(bodyOf(doc), [&](const QString &picture) {
                const QString path = pictureFolder + u'/' + picture;
                if (!QFileInfo(path).isFile()) {
                    report.skipped << transfer::Skipped{n.caption + u'/' + picture, QStringLiteral("图库中没有这张图片")};
                    return QString();
                }
                pictures.insert(path);
                return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
            });
            const int level = qMin(depth + 2, 6);
            html += QStringLiteral("<section%1>\n<h%2>%3</h%2>\n%4\n")
                        .arg(depth == 0 ? QStringLiteral(" class=\"chapter\"") : QString())
                        .arg(level)
                        .arg(transfer::escapeHtml(n.caption), body);
            ++done;
            ++report.pages;
            walk(n.children, depth + 1);
            html += QStringLiteral("</section>\n");
        }
    };
    walk(tree, 0);
    report.pictures = pictures.size();
    return html + QStringLiteral("</body></html>\n");
}

transfer::Report exportBook(TADOConnection *db, const QString &bookKey, const QString &target,
                            const QString &pictureFolder, const transfer::Progress &progress)
{
    if (QFileInfo::exists(target))
        throw Refused(Refused::Reason::Target, QStringLiteral("“%1”已存在，没有导出。").arg(target));
    transfer::Report report;
    report.target = target;
    const QString html = bookDocument(db, bookKey, pictureFolder, report, progress);
    const qint64 total = report.pages;

    // Loaded from a file: a document of any size, whose pictures are files.
    QTemporaryDir work;
    const QString source = work.filePath(QStringLiteral("book.html"));
    QFile file(source);
    if (!work.isValid() || !file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0 || !file.flush())
        throw Refused(Refused::Reason::Target, QStringLiteral("无法写入临时文件，没有导出。"));
    file.close();

    // Nothing the waits use may go while they spin: the page lives on this
    // frame, and the hold keeps tabs and the window from closing.
    EngineWaits::Hold hold;
    QWebEnginePage page;
    page.settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    page.settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    bool loaded = false, loadedOk = false;
    QObject::connect(&page, &QWebEnginePage::loadFinished, &page, [&](bool ok) {
        loaded = true;
        loadedOk = ok;
    });
    page.load(QUrl::fromLocalFile(source));
    if (!waitFor([&] { return loaded; }, progress, total, &page, &QWebEnginePage::loadFinished)) {
        page.triggerAction(QWebEnginePage::Stop);
        throw Refused(Refused::Reason::Cancelled, QStringLiteral("导出已取消，没有写入文件。"));
    }
    if (!loadedOk)
        throw Refused(Refused::Reason::Damaged, QStringLiteral("排版书卷失败，没有导出。"));

    bool printed = false, printedOk = false;
    QObject::connect(&page, &QWebEnginePage::pdfPrintingFinished, &page, [&](const QString &, bool ok) {
        printed = true;
        printedOk = ok;
    });
    page.printToPdf(target, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15)));
    // Printing cannot be stopped once begun: a cancel waits for it and
    // removes the file.
    const bool cancelled = !waitFor([&] { return printed; }, progress, total, &page, &QWebEnginePage::pdfPrintingFinished);
    if (!printed)
        waitFor([&] { return printed; }, {}, total, &page, &QWebEnginePage::pdfPrintingFinished);
    if (cancelled || !printedOk) {
        QFile::remove(target);
        if (cancelled)
            throw Refused(Refused::Reason::Cancelled, QStringLiteral("导出已取消，没有写入文件。"));
        throw Refused(Refused::Reason::Target, QStringLiteral("无法写入“%1”，没有导出。").arg(target));
    }
    return report;
}

} // namespace pdfexport
