#include "book/copydata.h"

#include <QCoreApplication>
#include <QString>
#include <QWidget>

TMessageEvent::TMessageEvent(const TMessage &m)
    : QEvent(eventType())
    , msg(m)
{
}

QEvent::Type TMessageEvent::eventType()
{
    static const auto type = QEvent::Type(QEvent::registerEventType(QEvent::User + WM_COPYDATA));
    return type;
}

void SendCaption(QWidget *from, const QString &caption, quint32 cbData)
{
    // The text lives on this stack frame for the length of the call; the
    // event is delivered before sendEvent returns.
    const std::u16string text = caption.toStdU16String();
    COPYDATASTRUCT cds;
    cds.dwData = 0;
    cds.cbData = cbData;
    cds.lpData = text.c_str();
    TMessage m;
    m.Msg = WM_COPYDATA;
    m.WParam = reinterpret_cast<quintptr>(from);
    m.LParam = reinterpret_cast<qintptr>(&cds);
    TMessageEvent ev(m);
    QCoreApplication::sendEvent(from->window(), &ev);
}
