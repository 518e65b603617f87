#include "app/pdfexport.h"
#include "transfer/cli.h"
#include "transfer/transfer.h"

#include "store/connection.h"

#include <QCommandLineParser>
#include <QGuiApplication>

namespace {

const char Usage[] =
    "usage: velloran-export (--book NAME | --category NAME) --format html|md|pdf|epub OUT [--library FILE]\n"
    "Exports a book, or a category with every book below it, to OUT: a new or\n"
    "empty folder for html and md, a new file for pdf and epub (a book only). Nothing\n"
    "that exists is ever replaced. The library is vlbook.mdb beside this\n"
    "program unless --library names another; it must not be open in Velloran.\n";

} // namespace

int main(int argc, char *argv[])
{
    cli::prepareHeadless();
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    const QCommandLineOption book(QStringLiteral("book"), {}, QStringLiteral("NAME"));
    const QCommandLineOption category(QStringLiteral("category"), {}, QStringLiteral("NAME"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("FORMAT"));
    const QCommandLineOption library = cli::libraryOption();
    if (const auto ended = cli::parse(parser, {book, category, format, library}, "velloran-export", Usage, out, err))
        return *ended;
    static const QHash<QString, transfer::Format> formats{{QStringLiteral("html"), transfer::Format::Html},
                                                          {QStringLiteral("md"), transfer::Format::Markdown},
                                                          {QStringLiteral("epub"), transfer::Format::Epub}};
    // A PDF is printed by the web engine, as the program prints it.
    const bool pdf = parser.value(format) == QLatin1String("pdf");
    if (parser.isSet(book) == parser.isSet(category) || (!pdf && !formats.contains(parser.value(format)))
        || (pdf && parser.isSet(category))
        || parser.positionalArguments().size() != 1) {
        err << Usage;
        return 2;
    }
    const QString path = cli::libraryPath(parser.value(library));
    TADOConnection db;
    if (!cli::openLibrary(db, path, err))
        return 1;
    return cli::run(err, [&] {
        const bool isCategory = parser.isSet(category);
        const QString name = parser.value(isCategory ? category : book);
        const QStringList keys = transfer::findItems(&db, name, isCategory);
        if (keys.size() != 1) {
            err << (keys.isEmpty() ? QStringLiteral("书库中没有名为“%1”的%2。")
                                   : QStringLiteral("书库中有 %3 个名为“%1”的%2，无法确定导出哪一个。").arg(keys.size()))
                       .arg(name, isCategory ? QStringLiteral("分类") : QStringLiteral("书"))
                << "\n";
            return 1;
        }
        const transfer::Report report =
            pdf ? pdfexport::exportBook(&db, keys.first(), parser.positionalArguments().first(), cli::pictureFolder(path),
                                        cli::progressOn(err))
                : transfer::exportItem(&db, keys.first(), formats.value(parser.value(format)),
                                       parser.positionalArguments().first(), cli::pictureFolder(path),
                                       cli::progressOn(err));
        out << report.text() << "\n";
        return 0;
    });
}
