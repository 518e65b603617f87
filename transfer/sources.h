// What an import reads before it writes: the outline of the new book, each
// page loaded only when it is written, and the pictures copied on the way.
// Internal to the module.
#pragma once

#include "transfer/transfer.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace transfer {

struct Entry
{
    QString title;
    // The page's document, its pictures taken into the library; none for a
    // unit that only holds others.
    std::function<QString()> load;
    QList<Entry> children;
};

struct Outline
{
    QString name;
    QList<Entry> entries;
};

// Pictures copied into the image folder under new names, each source once;
// all of them go again unless kept.
class Pictures
{
public:
    Pictures(const QString &folder, const Limits &limits);
    ~Pictures();
    Pictures(const Pictures &) = delete;
    Pictures &operator=(const Pictures &) = delete;

    // The page's reference to the picture known as key (named fileName in
    // its source, size bytes, read by bytes when first met). Refuses
    // (Hostile) a picture over the limit.
    QString adopt(const QString &key, const QString &fileName, qint64 size, const std::function<QByteArray()> &bytes);
    qint64 count() const { return m_written.size(); }
    void keep() { m_kept = true; }

private:
    QString m_folder;
    Limits m_limits;
    QHash<QString, QString> m_adopted;
    QStringList m_written;
    bool m_kept = false;
};

// The path of a relative reference from a document at base (both inside
// one tree, "/"-separated), or empty when it leaves the tree.
QString resolveInside(const QString &base, const QString &reference);
// Whether a picture source names a place outside any tree: an absolute
// path or a file URL.
bool absoluteSource(const QString &src);

// A source that must stay open while its pages load.
class Source
{
public:
    virtual ~Source() = default;
    virtual Outline outline() = 0;
};

std::unique_ptr<Source> folderSource(const QString &root, Pictures &pictures, Report &report, const Limits &limits);
std::unique_ptr<Source> epubSource(const QString &path, Pictures &pictures, Report &report, const Limits &limits);
std::unique_ptr<Source> cherryTreeSource(const QString &path, Pictures &pictures, Report &report, const Limits &limits);

} // namespace transfer
