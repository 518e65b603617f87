#include "transfer/cli.h"

#include "ztking/home.h"

#include "store/connection.h"
#include "store/intake.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace cli {

void prepareHeadless()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

QCommandLineOption libraryOption()
{
    return QCommandLineOption(QStringLiteral("library"), {}, QStringLiteral("FILE"));
}

std::optional<int> parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options, const char *tool,
                         const char *usage, QTextStream &out, QTextStream &err)
{
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOption(help);
    parser.addOptions(options);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << tool << ": " << parser.errorText() << "\n" << usage;
        return 2;
    }
    if (parser.isSet(help)) {
        out << usage;
        return 0;
    }
    return std::nullopt;
}

int run(QTextStream &err, const std::function<int()> &work)
{
    try {
        return work();
    } catch (const transfer::Refused &e) {
        err << e.message() << "\n";
    } catch (const EDatabaseError &e) {
        err << e.message() << "\n";
    }
    return 1;
}

QString libraryPath(const QString &named)
{
    // The program's own library: beside the tools, or for an installed
    // program in the reader's data folder.
    return named.isEmpty() ? libraryHome() + QStringLiteral("vlbook.mdb") : named;
}

QString pictureFolder(const QString &library)
{
    return QFileInfo(library).absoluteDir().filePath(QStringLiteral("images"));
}

bool openLibrary(TADOConnection &db, const QString &path, QTextStream &err)
{
    try {
        if (!QFileInfo(path).isFile()) {
            err << QStringLiteral("找不到书库文件“%1”。").arg(path) << "\n";
            return false;
        }
        // The program keeps its library open while it runs; a tool writing
        // beside it would leave its windows showing what is no longer so.
        if (intake::heldElsewhere(path)) {
            err << QStringLiteral("书库“%1”正被 Velloran 或另一个程序打开。请先关闭它，再运行这个工具。").arg(path) << "\n";
            return false;
        }
        db.ConnectionString = TADOConnection::JetConnectionString(path);
        db.Open();
    } catch (const EDatabaseError &e) {
        err << e.message() << "\n";
        if (!e.detail().isEmpty())
            err << e.detail() << "\n";
        return false;
    }
    return true;
}

transfer::Progress progressOn(QTextStream &err)
{
    return [&err, shown = qint64(-1)](qint64 done, qint64 total) mutable {
        const qint64 tenth = total > 0 ? done * 10 / total : 10;
        if (tenth != shown) {
            shown = tenth;
            err << QStringLiteral("%1/%2 页").arg(done).arg(total) << "\n";
            err.flush();
        }
        return true;
    };
}

} // namespace cli
