#include "ztking/ztking.h"

#include <QStringEncoder>

#include <array>

namespace {

// The first-level block of the national character set is ordered by pinyin,
// so the initial of a character follows from its code alone. Each entry is
// the first code of a letter's run; a run ends where the next one begins.
struct Run
{
    quint16 first;
    char letter;
};

constexpr std::array<Run, 23> Runs{{
    {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
    {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
    {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
    {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD189, 'Y'}, {0xD4D1, 'Z'},
}};
constexpr quint16 LastCode = 0xD7F9;

} // namespace

char Getpychar(const QByteArray &ch)
{
    if (ch.isEmpty() || ch.size() > 2)
        return ' ';
    const int code = uchar(ch.at(0)) * 256 + (ch.size() == 2 ? uchar(ch.at(1)) : 0);
    if (code < Runs.front().first || code > LastCode)
        return ' ';
    char letter = ' ';
    for (const Run &r : Runs) {
        if (code < r.first)
            break;
        letter = r.letter;
    }
    return letter;
}

QString Ztking::Getpy(const QString &hzstr)
{
    QString result;
    QStringEncoder enc("GB18030", QStringEncoder::Flag::Stateless);
    // Characters are taken whole, so a character outside the basic plane is
    // one character (four bytes in the code page) and gets no letter.
    for (qsizetype i = 0; i < hzstr.size(); ++i) {
        qsizetype len = (hzstr.at(i).isHighSurrogate() && i + 1 < hzstr.size()
                         && hzstr.at(i + 1).isLowSurrogate()) ? 2 : 1;
        const QByteArray bytes = enc.encode(QStringView(hzstr).mid(i, len));
        i += len - 1;
        const char c = Getpychar(bytes);
        if (c != ' ')
            result += QLatin1Char(c);
    }
    return result;
}
