#include "transfer/zipfile.h"

#include <QFileInfo>

#include <zip.h>

namespace transfer {

namespace {

QString damaged(const QString &path)
{
    return QStringLiteral("“%1”已损坏，或不是 zip 格式的 EPUB 文件，没有导入。").arg(path);
}

// A name that would land outside the archive's own tree if unpacked.
bool climbs(const QString &name)
{
    if (name.startsWith(u'/') || name.contains(u'\\') || (name.size() > 1 && name.at(1) == u':'))
        return true;
    const QStringList segments = name.split(u'/');
    return segments.contains(QStringLiteral("..")) || segments.contains(QStringLiteral("."));
}

} // namespace

ZipWriter::ZipWriter(const QString &path)
    : m_path(path)
{
    int error = 0;
    if (QFileInfo::exists(path) || !(m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_EXCL, &error)))
        throw Refused(Refused::Reason::Target, QStringLiteral("“%1”已经存在或无法写入，没有导出。").arg(path));
}

ZipWriter::~ZipWriter()
{
    if (m_zip)
        zip_discard(m_zip);
}

void ZipWriter::fail(const QString &what)
{
    const QString why = QString::fromUtf8(zip_strerror(m_zip));
    zip_discard(m_zip);
    m_zip = nullptr;
    throw Refused(Refused::Reason::Target, QStringLiteral("无法写入“%1”（%2：%3），没有导出。").arg(m_path, what, why));
}

void ZipWriter::add(const QString &name, const QByteArray &data, bool stored)
{
    m_keep << data;
    zip_source_t *src = zip_source_buffer(m_zip, m_keep.last().constData(), zip_uint64_t(data.size()), 0);
    const zip_int64_t i = src ? zip_file_add(m_zip, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) : -1;
    if (i < 0) {
        zip_source_free(src);
        fail(name);
    }
    if (stored && zip_set_file_compression(m_zip, zip_uint64_t(i), ZIP_CM_STORE, 0) != 0)
        fail(name);
}

void ZipWriter::addFile(const QString &name, const QString &path)
{
    zip_source_t *src = zip_source_file(m_zip, QFile::encodeName(path).constData(), 0, -1);
    if (!src || zip_file_add(m_zip, name.toUtf8().constData(), src, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(src);
        fail(name);
    }
}

void ZipWriter::commit()
{
    if (zip_close(m_zip) != 0)
        fail(QStringLiteral("保存"));
    m_zip = nullptr;
    m_keep.clear();
}

ZipReader::ZipReader(const QString &path, const Limits &limits)
    : m_path(path)
{
    int error = 0;
    m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_zip)
        throw Refused(Refused::Reason::Damaged, damaged(path));
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    if (count > limits.archiveEntries)
        throw Refused(Refused::Reason::Hostile,
                      QStringLiteral("“%1”里有 %2 个文件，超过了 %3 个的上限，可能是恶意的压缩包，没有导入。")
                          .arg(path)
                          .arg(count)
                          .arg(limits.archiveEntries));
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME)
            || !(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_COMP_SIZE))
            throw Refused(Refused::Reason::Damaged, damaged(path));
        const QString name = QString::fromUtf8(st.name);
        if (climbs(name))
            throw Refused(Refused::Reason::Hostile,
                          QStringLiteral("“%1”中的“%2”指向压缩包之外，可能是恶意文件，没有导入。").arg(path, name));
        const qint64 size = qint64(st.size);
        total += size;
        if (size < 0 || total > limits.archiveTotal)
            throw Refused(Refused::Reason::Hostile,
                          QStringLiteral("“%1”解压后超过 %2 MB 的上限，可能是压缩炸弹，没有导入。")
                              .arg(path)
                              .arg(limits.archiveTotal >> 20));
        if (size > (1 << 20) && size / std::max<qint64>(qint64(st.comp_size), 1) > limits.ratio)
            throw Refused(Refused::Reason::Hostile,
                          QStringLiteral("“%1”中的“%2”压缩比异常（超过 %3 倍），可能是压缩炸弹，没有导入。")
                              .arg(path, name)
                              .arg(limits.ratio));
        m_index.insert(name, {i, size});
    }
}

ZipReader::~ZipReader()
{
    if (m_zip)
        zip_discard(m_zip);
}

qint64 ZipReader::size(const QString &name) const
{
    const auto it = m_index.constFind(name);
    return it == m_index.constEnd() ? -1 : it->second;
}

QByteArray ZipReader::read(const QString &name)
{
    const auto it = m_index.constFind(name);
    if (it == m_index.constEnd())
        return {};
    zip_file_t *f = zip_fopen_index(m_zip, zip_uint64_t(it->first), 0);
    if (!f)
        throw Refused(Refused::Reason::Damaged, damaged(m_path));
    // Never more than declared: the limits were checked against it.
    QByteArray bytes(it->second + 1, Qt::Uninitialized);
    qint64 got = 0;
    zip_int64_t n = 0;
    while (got < bytes.size() && (n = zip_fread(f, bytes.data() + got, zip_uint64_t(bytes.size() - got))) > 0)
        got += n;
    zip_fclose(f);
    if (n < 0 || got != it->second)
        throw Refused(Refused::Reason::Damaged, damaged(m_path));
    bytes.truncate(got);
    return bytes;
}

} // namespace transfer
