#include "transfer/cli.h"
#include "transfer/transfer.h"

#include "store/connection.h"

#include <QCommandLineParser>
#include <QGuiApplication>

namespace {

const char Usage[] =
    "usage: velloran-import --under CATEGORY PATH [--library FILE]\n"
    "Imports PATH as a new book under the category CATEGORY: a folder of\n"
    ".html, .htm, .md and .txt files (subfolders become chapters), an .epub\n"
    "file or a CherryTree .ctb file. Pictures go into the library's image\n"
    "folder under new names. All or nothing: a failure leaves the library as\n"
    "it was. The library is vlbook.mdb beside this program unless --library\n"
    "names another; it must not be open in Velloran.\n";

} // namespace

int main(int argc, char *argv[])
{
    cli::prepareHeadless();
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QCommandLineParser parser;
    const QCommandLineOption under(QStringLiteral("under"), {}, QStringLiteral("CATEGORY"));
    const QCommandLineOption library = cli::libraryOption();
    if (const auto ended = cli::parse(parser, {under, library}, "velloran-import", Usage, out, err))
        return *ended;
    if (!parser.isSet(under) || parser.positionalArguments().size() != 1) {
        err << Usage;
        return 2;
    }
    const QString path = cli::libraryPath(parser.value(library));
    TADOConnection db;
    if (!cli::openLibrary(db, path, err))
        return 1;
    return cli::run(err, [&] {
        const QString name = parser.value(under);
        const QStringList keys = transfer::findItems(&db, name, true);
        if (keys.size() != 1) {
            err << (keys.isEmpty() ? QStringLiteral("书库中没有名为“%1”的分类。").arg(name)
                                   : QStringLiteral("书库中有 %1 个名为“%2”的分类，无法确定导入到哪一个。").arg(keys.size()).arg(name))
                << "\n";
            return 1;
        }
        const transfer::Report report = transfer::importBook(&db, keys.first(), parser.positionalArguments().first(),
                                                             cli::pictureFolder(path), cli::progressOn(err));
        out << report.text() << "\n";
        return 0;
    });
}
