#include "store/connection.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

// velloran-mklib <path>: lays an empty library at path unless a file is
// there already, which is left exactly as it is.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: velloran-mklib <library file>\n";
        return 2;
    }
    const QString path = args.at(1);
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
