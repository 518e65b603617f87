// What velloran-export and velloran-import share: the application, the
// library they work on and how they tell what they do.
#pragma once

#include "transfer/transfer.h"

#include <QString>
#include <QTextStream>

class TADOConnection;

namespace cli {

// Run without a display: the tools only lay out text.
void prepareHeadless();

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
