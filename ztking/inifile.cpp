#include "ztking/textfile.h"
#include "ztking/ztking.h"


namespace {

// One INI file as lines, with what it takes to write it back the way it was.
struct IniFile
{
    QStringList lines;
    TextMark mark = TextMark::None;
    QString eol = QStringLiteral("\r\n");
};

// A section: the index of its header line and the index past its last line.
struct Range
{
    qsizetype header;
    qsizetype end;
};

[[noreturn]] void refuse(const QString &path)
{
    throw Ztking::EZtkError(QStringLiteral("Unable to write to %1").arg(path));
}

// False when the file exists but cannot be read or is no regular file; a
// missing file is empty.
bool load(const QString &path, IniFile &ini)
{
    QByteArray bytes;
    QString why;
    switch (readRegularFile(path, bytes, why)) {
    case FileRead::Missing:
        return true;
    case FileRead::Refused:
        return false;
    case FileRead::Read:
        break;
    }
    const TextContent content = decodeText(bytes);
    ini.lines = splitLines(content.text);
    ini.mark = content.mark;
    ini.eol = firstLineEnding(content.text);
    return true;
}

bool save(const QString &path, const IniFile &ini)
{
    const QString text = ini.lines.isEmpty() ? QString() : ini.lines.join(ini.eol) + ini.eol;
    QString why;
    return replaceFile(path, encodeText(text, ini.mark), why);
}

bool isHeader(const QString &line, QString *name = nullptr)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'['))
        return false;
    if (name) {
        const qsizetype close = t.indexOf(u']');
        *name = (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
    }
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

QList<Range> sections(const QStringList &lines, const QString &jie)
{
    QList<Range> found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString name;
        if (!isHeader(lines[i], &name) || !sameName(name, jie))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !isHeader(lines[end]))
            ++end;
        found += {i, end};
    }
    return found;
}

// The value of a "key=value" line when its key is key.
bool entry(const QString &line, const QString &key, QString *value = nullptr)
{
    const QString t = line.trimmed();
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0 || t.startsWith(u';') || !sameName(t.left(eq), key))
        return false;
    if (value) {
        QString v = t.mid(eq + 1).trimmed();
        if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0])
            v = v.mid(1, v.size() - 2);
        *value = v;
    }
    return true;
}

// Quotes a value that reading would otherwise change: blanks at either end
// are trimmed and one pair of surrounding quotes is taken off.
QString stored(const QString &value)
{
    const bool quoted = value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'')
                        && value.back() == value[0];
    return quoted || value.trimmed() != value ? u'"' + value + u'"' : value;
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

// Removes the lines of key from every section jie; false when none was there.
bool dropKey(IniFile &ini, const QString &jie, const QString &key)
{
    bool changed = false;
    const QList<Range> found = sections(ini.lines, jie);
    for (auto r = found.crbegin(); r != found.crend(); ++r) {
        for (qsizetype i = r->end - 1; i > r->header; --i) {
            if (entry(ini.lines[i], key)) {
                ini.lines.removeAt(i);
                changed = true;
            }
        }
    }
    return changed;
}

} // namespace

void Ztking::Iniwrite(const QString &path, const QString &jie, const QString &key,
                      const QString &value)
{
    // A line break, a "]" in the section or a "=" in the key would be read
    // back as other sections and keys than the ones written.
    if (hasLineBreak(jie) || hasLineBreak(key) || hasLineBreak(value) || jie.contains(u']')
        || key.contains(u'=') || key.trimmed().startsWith(u'[') || key.trimmed().startsWith(u';'))
        refuse(path);
    IniFile ini;
    if (!load(path, ini))
        refuse(path);
    const QString line = key + u'=' + stored(value);
    const QList<Range> found = sections(ini.lines, jie);
    if (found.isEmpty()) {
        ini.lines += u'[' + jie + u']';
        ini.lines += line;
    } else {
        const Range r = found.first();
        qsizetype at = -1;
        qsizetype lastFilled = r.header;
        for (qsizetype i = r.header + 1; i < r.end && at < 0; ++i) {
            if (entry(ini.lines[i], key))
                at = i;
            else if (!ini.lines[i].trimmed().isEmpty())
                lastFilled = i;
        }
        if (at >= 0)
            ini.lines[at] = line;
        else
            ini.lines.insert(lastFilled + 1, line);
    }
    if (!save(path, ini))
        refuse(path);
}

QString Ztking::Iniread(const QString &path, const QString &jie, const QString &key)
{
    IniFile ini;
    if (!load(path, ini))
        return QString();
    const QList<Range> found = sections(ini.lines, jie);
    if (found.isEmpty())
        return QString();
    QString value;
    for (qsizetype i = found.first().header + 1; i < found.first().end; ++i) {
        if (entry(ini.lines[i], key, &value))
            return value.left(2047);
    }
    return QString();
}

void Ztking::Inideljie(const QString &path, const QString &jie)
{
    IniFile ini;
    if (!load(path, ini))
        refuse(path);
    const QList<Range> found = sections(ini.lines, jie);
    if (found.isEmpty())
        return;
    for (auto r = found.crbegin(); r != found.crend(); ++r)
        ini.lines.remove(r->header, r->end - r->header);
    if (!save(path, ini))
        refuse(path);
}

void Ztking::Inidelkey(const QString &path, const QString &jie, const QString &key)
{
    IniFile ini;
    if (!load(path, ini))
        refuse(path);
    if (dropKey(ini, jie, key) && !save(path, ini))
        refuse(path);
}
