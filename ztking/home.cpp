#include "ztking/home.h"

#include "store/connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// What an installed program ships for a fresh library: /usr/share/velloran
// beside /usr/bin.
QString shipped()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/velloran/library"));
}

bool installed()
{
    return QFileInfo(shipped()).isDir();
}

} // namespace

QString libraryHome()
{
    if (!installed())
        return QCoreApplication::applicationDirPath() + QDir::separator();
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/velloran/");
}

void layLibraryHome()
{
    if (!installed())
        return;
    const QString home = libraryHome();
    if (!QDir().mkpath(home))
        throw EDatabaseError(QStringLiteral("无法建立书库文件夹“%1”。").arg(QDir::toNativeSeparators(home)));
    const QDir from(shipped());
    for (QDirIterator it(shipped(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString source = it.next();
        const QString target = home + from.relativeFilePath(source);
        if (QFileInfo::exists(target))
            continue;
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(source, target))
            throw EDatabaseError(QStringLiteral("无法把“%1”复制到书库文件夹。").arg(QDir::toNativeSeparators(source)));
    }
    if (!QFileInfo::exists(home + QStringLiteral("vlbook.mdb")))
        TADOConnection::CreateLibrary(home + QStringLiteral("vlbook.mdb"));
}
