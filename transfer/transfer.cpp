#include "transfer/transfer.h"

#include "library/shelf.h"

namespace transfer {

Refused::Refused(Reason reason, const QString &message)
    : std::runtime_error(message.toStdString())
    , m_reason(reason)
    , m_message(message)
{
}

QString Report::text() const
{
    QStringList lines;
    lines << QStringLiteral("目标：%1").arg(target);
    if (!name.isEmpty())
        lines << QStringLiteral("书名：%1").arg(name);
    lines << QStringLiteral("页面：%1，图片：%2").arg(pages).arg(pictures);
    if (skipped.isEmpty()) {
        lines << QStringLiteral("没有跳过任何内容。");
    } else {
        lines << QStringLiteral("跳过了 %1 项：").arg(skipped.size());
        for (const Skipped &s : skipped)
            lines << QStringLiteral("  %1：%2").arg(s.what, s.why);
    }
    return lines.join(u'\n');
}

QStringList findItems(TADOConnection *db, const QString &name, bool category)
{
    QStringList keys;
    const std::function<void(const QList<shelf::Node> &, bool)> walk = [&](const QList<shelf::Node> &nodes, bool top) {
        for (const shelf::Node &n : nodes) {
            if (n.caption == name && top == category)
                keys << n.rec.Tid;
            walk(n.children, false);
        }
    };
    walk(shelf::bookTree(db, QString()), true);
    return keys;
}

} // namespace transfer
