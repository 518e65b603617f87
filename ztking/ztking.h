// Ztking: the stateless operations shared by every form of the program. None
// keeps state or needs an instance; all are static members.
//
// Texts are QString. Where an operation counts a length or a position, it
// counts UTF-16 code units and starts at 1. Wherever text becomes bytes
// (files, digests, pinyin lookup) the code page is GB18030, which holds every
// character of the older Chinese code page and loses none.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

class TADOConnection;
class TADOQuery;

// The unit in which Ztking::Timebetween counts.
enum class Tblx : int { Year = 0, Month, Day, Hour, Minute, Second, MilliSecond };

class Ztking
{
public:
    Ztking() = delete;

    // --- Code page -------------------------------------------------------
    static QByteArray toAnsi(const QString &text);
    static QString fromAnsi(const QByteArray &bytes);

    // --- Query helpers ---------------------------------------------------
    // Runs a statement that returns rows: Accstr on a provider connection
    // (its string names "microsoft.jet.oledb" in any case), Sqlstr otherwise.
    // The query comes back open on its first row.
    static std::unique_ptr<TADOQuery> Dataread(TADOConnection *Link, const QString &Accstr,
                                               const QString &Sqlstr);
    // Runs a batch of statements that return none, split at a line break
    // followed by "go" and at " go " (any letter case). Pieces run one by one;
    // a failing piece leaves the earlier ones applied and stops the rest.
    static std::unique_ptr<TADOQuery> Datado(TADOConnection *Link, const QString &Accstr,
                                             const QString &Sqlstr);
    // The named column of the current row as text.
    static QString Dataget(const TADOQuery &d, const QString &r);
    // Length in UTF-16 code units.
    static int Lengthx(const QString &str);
    // The pieces of str between the occurrences of gjc (exact comparison,
    // left to right, no overlaps); n separators give n + 1 pieces.
    static QStringList Splitzt(const QString &str, const QString &gjc);

    // --- Names -----------------------------------------------------------
    // False when str holds one of \ / : * ? < > | " '.
    static bool wjjhf(const QString &str);

    // --- Pinyin initials -------------------------------------------------
    // The upper-case initial of every character of the first-level Chinese
    // block, in order; other characters give nothing.
    static QString Getpy(const QString &hzstr);

    // --- Text helpers ----------------------------------------------------
    // Failures of the text, date, INI and file helpers that reach the caller.
    class EZtkError : public std::runtime_error
    {
    public:
        explicit EZtkError(const QString &message) : std::runtime_error(message.toStdString()) {}
    };

    // What hsp, qsp, msp and gst return when the extraction cannot be made.
    static const QString Failtext;

    // A uniformly drawn integer from max(a, 1) to b. With b < 1 or a > b no
    // such integer exists and the result is 0 at once.
    static int sjs(int a, int b);
    // num characters drawn from "1234567890abcdefghijklmnopqrstuvwxyz";
    // empty for num <= 0.
    static QString sjm(int num);
    // Markers are found by exact comparison, first occurrence from the left;
    // an empty marker is never found. bao 0 leaves the marker out of the
    // result, 1 keeps it, anything else fails.
    // The text after the first occurrence of gjc.
    static QString hsp(const QString &str, const QString &gjc, int bao);
    // The text before the first occurrence of gjc.
    static QString qsp(const QString &str, const QString &gjc, int bao);
    // The text between the first gjc1 and the next gjc2; empty when gjc2
    // occurs only before that gjc1.
    static QString msp(const QString &str, const QString &gjc1, const QString &gjc2);
    // Non-overlapping occurrences of gjc, counted up to 101.
    static int tjs(const QString &str, const QString &gjc);
    // fx 1: the text after the wei-th occurrence of gjc (the last one when
    // there are fewer), its first cd characters unless cd is -1.
    // fx -1: the text before the wei-th occurrence counted from the end (as
    // tjs counts, so at most 101 back), its last cd characters unless cd is -1.
    // wei <= 0, a bao other than 0 or 1, and any other fx give Failtext:
    // a bao that is neither must not come back as a cut-off piece of it.
    static QString gst(const QString &str, const QString &gjc, int fx, int cd, int wei, int bao);
    // Whether str is a number meeting every item of the comma list lx:
    // "+" >= 0, "-" < 0, "=" an integer, ">" > 0; other items always hold.
    // An integer is what the standard 32-bit conversion takes: leading
    // blanks, a sign, decimal digits or hex digits after $, x, X, 0x or 0X,
    // and its signed value within 32 bits. Otherwise a decimal is leading and
    // trailing blanks around a sign, digits with the locale's decimal
    // separator, and an exponent of e or E with an optional sign; no group
    // separators, no infinity or NaN, and the value must be finite.
    static bool Isnumberzt(const QString &str, const QString &lx);
    // str with zf put in front (padright: after) once for every character it
    // falls short of num; never shortened. A result longer than the largest
    // int raises EZtkError instead of exhausting memory.
    static QString padleft(const QString &str, const QString &zf, int num);
    static QString padright(const QString &str, const QString &zf, int num);
    // The UTF-8 bytes of str with all but A-Z a-z 0-9 ! $ ' ( ) * - . @ _
    // escaped as %XX, a blank as "+".
    static QString URLencode(const QString &str);
    // The reverse of URLencode; "%%" gives "%". Characters that were never
    // escaped pass through as they are, and bytes that do not form UTF-8 give
    // U+FFFD. A malformed escape raises EZtkError naming its byte position.
    static QString URLdecode(const QString &str);

    // --- Date and time helpers -------------------------------------------
    // Date-times are days since 1899-12-30 with the time of day as fraction.
    // Every overload taking `at` formats that moment instead of the clock;
    // a moment outside the years 1 to 9999 gives the empty text.
    // One field of today's date: "year", "m", "mm", "d" or "dd"; any other
    // keyword gives the empty text.
    static QString NowDX(const QString &gs);
    static QString NowDX(const QString &gs, double at);
    // Today as year-mm-dd.
    static QString NowD();
    static QString NowD(double at);
    // Now as year-mm-dd hh:mm:ss, from one reading of the clock so that date
    // and time always belong together.
    static QString NowDT();
    static QString NowDT(double at);
    // NowD (lx 0) or NowDT, a blank and the weekday name.
    static QString NowDTW(int lx);
    static QString NowDTW(int lx, double at);
    // inputd in QLocale()'s short date order and separator (numeric fields;
    // a year of one or two digits means 2000-2049 or 1950-1999), then
    // optionally blanks and h:mm, h:mm:ss or h:mm:ss.zzz; blanks around the
    // whole are allowed. Gives year-mm-dd (lx 0) or year-mm-dd hh:mm:ss, or
    // "日期时间格式不正确！" for anything else.
    static QString DTimex(const QString &inputd, int lx);
    // Whole units from FromT to ToT, negative when ToT is earlier; years and
    // months are average lengths (365.25 and 30.4375 days). The span is
    // taken to the microsecond first so that binary fractions of a day do not
    // lose a unit. Counts beyond 32 bits saturate; a NaN gives 0.
    static int Timebetween(Tblx lx, double FromT, double ToT);

    // --- INI, file, process, host and digest helpers ---------------------
    // INI files: sections and keys match without regard to case and blanks
    // around them; the first matching section is the one read and written.
    // Comments and other lines are kept; a file is rewritten whole, in its
    // own byte-order mark (GB18030 when it has none, as a new file) and line
    // endings, into a new file renamed over the old one, never in place: a
    // folder that takes no new file refuses the write. Only regular files are
    // read or written; a pipe, device or folder counts as unreadable. A value
    // with blanks at either end or in quotes is written in quotes, so it reads
    // back as written; values are read back cut at 2047 characters.
    // Sets key in section jie, creating file, section and key as needed.
    // Raises "Unable to write to <path>" when the file cannot be written, and
    // also for a line break anywhere, "]" in jie, or "=" in key, which no INI
    // file can hold as one entry.
    static void Iniwrite(const QString &path, const QString &jie, const QString &key,
                         const QString &value);
    // The value, or the empty text when file, section or key is missing.
    static QString Iniread(const QString &path, const QString &jie, const QString &key);
    // Removes every section named jie with all its lines; raises as Iniwrite.
    static void Inideljie(const QString &path, const QString &jie);
    // Removes key from every section jie; raises as Iniwrite, since a key
    // that silently stays would be read again later.
    static void Inidelkey(const QString &path, const QString &jie, const QString &key);
    // Writes the GB18030 bytes of Filetxt, nothing added, replacing the file
    // (Cover) or after its end; creates the file. Either way the whole file is
    // written anew and renamed over the old one, which stays as it was until
    // then. Raises EZtkError on failure, also in a folder that takes no new
    // file and for anything but a regular file.
    static void SaveFilex(const QString &Filename, const QString &Filetxt, bool Cover);
    // Reads a regular file (UTF-16 LE/BE or UTF-8 by byte-order mark, else
    // GB18030) as lines ended by CR LF, LF or CR. linenum -1 joins all lines
    // with CR LF; 0 on gives that line, or the last one beyond the end. A file
    // that cannot be read or holds no lines, and linenum < -1, give "".
    static QString ReadFilex(const QString &Filename, int linenum);
    // Starts the lines, each only if the one before succeeded, and returns
    // at once. show "1" runs them in a terminal window that stays open, when
    // one is installed; otherwise they run hidden.
    static void Rundos(const QStringList &lines, const QString &show);
    // The command line Rundos starts: "cmd /k " (show "1") or "cmd /c ", then
    // the lines joined by " && ".
    static QString Rundosline(const QStringList &lines, const QString &show);
    // The first IPv4 address of Name as a.b.c.d, or "no".
    static QString GetIPFromName(const QString &Name);
    // MD5 of the GB18030 bytes of str as 32 lower-case hex digits.
    static QString MD5set(const QString &str);
};

// The initial of one character given as its code-page bytes (one or two),
// or a blank when no range of the table holds its code.
char Getpychar(const QByteArray &ch);
