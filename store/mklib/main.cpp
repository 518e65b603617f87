#include "store/connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

const char Usage[] =
    "usage: velloran-mklib <library file>\n"
    "Lays an empty Velloran library at <library file>. An existing file is\n"
    "never touched. To name a file that begins with \"-\", write \"--\" first.\n";

} // namespace

// velloran-mklib <path>: lays an empty library at path unless a file is
// there already, which is left exactly as it is.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h"))) {
        out << Usage;
        return 0;
    }
    // An option it does not know is a mistake, never the name of a file.
    const bool named = args.size() == 2 && args.first() == QLatin1String("--");
    if (named)
        args.removeFirst();
    if (args.size() != 1 || (!named && args.first().startsWith(u'-'))) {
        if (!args.isEmpty() && args.first().startsWith(u'-') && !named)
            err << "velloran-mklib: unknown option " << args.first() << "\n";
        err << Usage;
        return 2;
    }
    const QString path = args.first();
    if (QFileInfo::exists(path)) {
        err << "kept the existing library " << path << "\n";
        return 0;
    }
    try {
        TADOConnection::CreateLibrary(path);
    } catch (const EDatabaseError &e) {
        err << e.message() << "\n";
        return 1;
    }
    err << "laid a fresh library at " << path << "\n";
    return 0;
}
