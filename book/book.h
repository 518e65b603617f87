// The book page and its two add dialogs, and the caption message by which a
// page names its tab in the main window.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QString>
#include <QWidget>

// --- The caption message ---------------------------------------------------
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

// Sends a caption to the window that holds from and returns once it is set.
// cbData is passed as the senders give it (102 for "书卷", otherwise the
// number of code units + 100); the receiver never reads it.
void SendCaption(QWidget *from, const QString &caption, quint32 cbData);

// --- The book page ---------------------------------------------------------
class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    bool shownOnce = false;
};

// --- The add dialogs -------------------------------------------------------
// One of each exists for the whole program; the page that opens one stores
// itself in cbookfrm and the dialog works for that page.
class TForm3 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
    QPointer<TForm2> cbookfrm;
};

class TForm4 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    QPointer<TForm2> cbookfrm;
};
