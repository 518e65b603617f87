#include "fuzzinput.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

namespace {

QString path;

void removeFile()
{
    QFile::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    path = QDir::temp().filePath(QStringLiteral("fuzz_readfilex_%1.txt").arg(getpid()));
    std::atexit(removeFile);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const int linenum = fuzzInt(in);
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    QFile f(path);
    require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "temporary file opens");
    f.write(bytes.data(), qint64(bytes.size()));
    f.close();
    const QString all = Ztking::ReadFilex(path, -1);
    const QString line = Ztking::ReadFilex(path, linenum);
    require(linenum < -1 ? line.isEmpty() : all.contains(line), "a line is part of the whole");
    return 0;
}
