#include "ztking/ztking.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace {

QString joinedCommands(const QStringList &lines)
{
    return lines.join(QStringLiteral(" && "));
}

// A terminal program that is installed, with the arguments that make it run
// a command given after them.
bool findTerminal(QString &program, QStringList &args)
{
    static const QList<std::pair<const char *, const char *>> terminals = {
        {"x-terminal-emulator", "-e"}, {"gnome-terminal", "--"}, {"konsole", "-e"},
        {"xfce4-terminal", "-x"},      {"xterm", "-e"},
    };
    for (const auto &[name, flag] : terminals) {
        program = QStandardPaths::findExecutable(QLatin1String(name));
        if (!program.isEmpty()) {
            args = {QLatin1String(flag)};
            return true;
        }
    }
    return false;
}

} // namespace

QString Ztking::Rundosline(const QStringList &lines, const QString &show)
{
    return (show == u"1" ? QStringLiteral("cmd /k ") : QStringLiteral("cmd /c "))
           + joinedCommands(lines);
}

void Ztking::Rundos(const QStringList &lines, const QString &show)
{
    const QString commands = joinedCommands(lines);
    QString program = QStringLiteral("/bin/sh");
    QStringList args = {QStringLiteral("-c"), commands};
    QString terminal;
    QStringList terminalArgs;
    if (show == u"1" && findTerminal(terminal, terminalArgs)) {
        // The shell that follows the commands keeps the window open, as the
        // console of "cmd /k" stays.
        args[1] = commands + QStringLiteral("; exec \"${SHELL:-/bin/sh}\"");
        args = terminalArgs + QStringList{program} + args;
        program = terminal;
    }
    if (!QProcess::startDetached(program, args))
        throw EZtkError(QStringLiteral("Cannot start %1").arg(program));
}

QString Ztking::GetIPFromName(const QString &Name)
{
    static const QString no = QStringLiteral("no");
    // International names go to the resolver in their ASCII form; a name
    // that has none, or holds a NUL that would cut it short, resolves to
    // nothing.
    const QByteArray host = QUrl::toAce(Name);
    if (host.isEmpty() || host.contains('\0'))
        return no;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0 || !found)
        return no;
    char text[INET_ADDRSTRLEN] = {};
    const auto *addr = reinterpret_cast<const sockaddr_in *>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &addr->sin_addr, text, sizeof text) != nullptr;
    freeaddrinfo(found);
    return ok ? QString::fromLatin1(text) : no;
}

QString Ztking::MD5set(const QString &str)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(toAnsi(str), QCryptographicHash::Md5).toHex());
}
