// Zip archives through libzip, for EPUB: a writer that never replaces a file
// and leaves nothing behind unless committed, and a reader that refuses an
// archive past the import limits before unpacking anything of it.
#pragma once

#include "transfer/transfer.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

typedef struct zip zip_t;

namespace transfer {

class ZipWriter
{
public:
    // Refuses (Target) a path where a file is already.
    explicit ZipWriter(const QString &path);
    ~ZipWriter();
    ZipWriter(const ZipWriter &) = delete;
    ZipWriter &operator=(const ZipWriter &) = delete;

    // Entries are written in the order added; stored ones uncompressed.
    void add(const QString &name, const QByteArray &data, bool stored = false);
    // The file at path, read when the archive is committed.
    void addFile(const QString &name, const QString &path);
    void commit();

private:
    [[noreturn]] void fail(const QString &what);
    zip_t *m_zip = nullptr;
    QString m_path;
    QList<QByteArray> m_keep; // what libzip reads from at commit
};

class ZipReader
{
public:
    // Refuses a file that is no readable zip (Damaged) and one whose entries
    // climb out of it, or that unpacks past the limits (Hostile).
    ZipReader(const QString &path, const Limits &limits);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    bool contains(const QString &name) const { return m_index.contains(name); }
    // The unpacked size the archive declares for name; -1 when absent.
    qint64 size(const QString &name) const;
    // The bytes of name, checked against what the archive declares.
    QByteArray read(const QString &name);

private:
    zip_t *m_zip = nullptr;
    QString m_path;
    QHash<QString, std::pair<qint64, qint64>> m_index; // name: entry, size
};

} // namespace transfer
