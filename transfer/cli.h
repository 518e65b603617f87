// What velloran-export and velloran-import share: the application, the
// library they work on and how they tell what they do.
#pragma once

#include "transfer/transfer.h"

#include <QCommandLineParser>
#include <QString>
#include <QTextStream>

#include <functional>
#include <optional>

class TADOConnection;

namespace cli {

// Run without a display: the tools only lay out text.
void prepareHeadless();

// The option "--library FILE" every tool takes.
QCommandLineOption libraryOption();

// Reads the tool's command line with options, "--help" besides. Returns
// the exit code when the line ends the tool (usage asked for, on out; an
// option it does not know, on err with the usage), else nothing.
std::optional<int> parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options, const char *tool,
                         const char *usage, QTextStream &out, QTextStream &err);

// Runs work on the open library and returns its exit code; a refusal or a
// fault of the library is told on err and ends it with 1.
int run(QTextStream &err, const std::function<int()> &work);

// The library named, or vlbook.mdb beside the executable.
QString libraryPath(const QString &named);
// The library's image folder: "images" beside it.
QString pictureFolder(const QString &library);

// Opens the library for the tool; says why not on err and returns false,
// also when the program or another tool has it open.
bool openLibrary(TADOConnection &db, const QString &path, QTextStream &err);

// Tells on err how far the work has come, a tenth at a time.
transfer::Progress progressOn(QTextStream &err);

} // namespace cli
