// The caption message by which a page names its tab in the main window.
#pragma once

#include <QEvent>

class QString;
class QWidget;

// A page asks the main window to caption its tab with a record delivered
// synchronously as message 74. The record and its text stay the sender's;
// the receiver copies the text before it returns.
constexpr int WM_COPYDATA = 74;

struct COPYDATASTRUCT
{
    quintptr dwData = 0;
    quint32 cbData = 0;
    const void *lpData = nullptr; // UTF-16 text ending in a 0 code unit
};

struct TMessage
{
    int Msg = 0;
    quintptr WParam = 0;
    qintptr LParam = 0;
    qintptr Result = 0;
};

class TMessageEvent : public QEvent
{
public:
    explicit TMessageEvent(const TMessage &m);
    static QEvent::Type eventType();
    TMessage msg;
};

// Sends a caption to the window that holds from and returns once it is set;
// WParam names the sender, as the window handle did.
// cbData is passed as the senders give it (102 for "书卷", otherwise the
// number of code units + 100); the receiver never reads it.
void SendCaption(QWidget *from, const QString &caption, quint32 cbData);
