#include "ztking/ztking.h"

#include "store/connection.h"

namespace {

const QString &chooseStatement(const TADOConnection *link, const QString &accstr, const QString &sqlstr)
{
    return link->ConnectionString.toLower().contains(QLatin1String("microsoft.jet.oledb")) ? accstr : sqlstr;
}

} // namespace

std::unique_ptr<TADOQuery> Ztking::Dataread(TADOConnection *Link, const QString &Accstr, const QString &Sqlstr)
{
    auto q = std::make_unique<TADOQuery>(Link);
    q->SQL = chooseStatement(Link, Accstr, Sqlstr);
    q->Open();
    return q;
}

std::unique_ptr<TADOQuery> Ztking::Datado(TADOConnection *Link, const QString &Accstr, const QString &Sqlstr)
{
    static const QString crlf = QStringLiteral("\r\n");
    auto q = std::make_unique<TADOQuery>(Link);
    QString batch = chooseStatement(Link, Accstr, Sqlstr);
    batch.replace(crlf + QStringLiteral("GO"), crlf + QStringLiteral("go"), Qt::CaseInsensitive);
    batch.replace(QStringLiteral(" GO "), crlf + QStringLiteral("go "), Qt::CaseInsensitive);
    for (const QString &piece : Splitzt(batch, crlf + QStringLiteral("go"))) {
        q->SQL = piece;
        q->ExecSQL();
    }
    return q;
}

QString Ztking::Dataget(const TADOQuery &d, const QString &r)
{
    return d.FieldByName(r);
}

int Ztking::Lengthx(const QString &str)
{
    return int(str.size());
}

QStringList Ztking::Splitzt(const QString &str, const QString &gjc)
{
    // An empty separator is never found; QString::split would cut between
    // every character instead.
    if (gjc.isEmpty())
        return {str};
    return str.split(gjc, Qt::KeepEmptyParts, Qt::CaseSensitive);
}
