// What several test programs need alike: someone to answer the modal boxes
// the program brings up, and an empty library of their own to work on.
#pragma once

#include "store/connection.h"

#include <QList>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <utility>

// Answers the modal boxes a test brings up, as a reader would. Every message
// box shown while it lives is noted (title, text, default button, icon) and
// answered with the button set last. The answer is posted from the box's
// Show event, so it arrives inside the box's own exec(): no guessed delay,
// no polling.
class BoxAnswerer : public QObject
{
    Q_OBJECT
public:
    explicit BoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok, QObject *parent = nullptr);

    void setAnswer(QMessageBox::StandardButton answer);
    // The next boxes take these answers in turn, the later ones the answer set.
    void setNextAnswers(const QList<QMessageBox::StandardButton> &answers) { next = answers; }

    // For a dialog that is no message box and wants more than a button (a
    // colour, a typed text): answer(dialog) runs once it is next shown.
    template<typename Dialog, typename Answer>
    void whenShown(Dialog *dialog, Answer answer)
    {
        expect(dialog, [dialog, answer] { answer(dialog); });
    }

    QStringList titles, texts;
    QList<QMessageBox::StandardButton> defaults;
    QList<QMessageBox::Icon> icons;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void expect(QDialog *dialog, std::function<void()> answer);
    void answerBox(QMessageBox *box);

    QMessageBox::StandardButton reply;
    QList<QMessageBox::StandardButton> next;
    QList<std::pair<QPointer<QDialog>, std::function<void()>>> dialogs;
};

// An empty library file, vlbook.mdb, in a temporary folder of its own, open
// on a connection of the provider form. While it lives it is the program's
// connection (Adoconn); the one before comes back when it goes.
// The first column of every row sql reads, as text.
QStringList firstColumn(TADOConnection *db, const QString &sql);

class TempLibrary
{
public:
    TempLibrary();
    ~TempLibrary();
    TempLibrary(const TempLibrary &) = delete;
    TempLibrary &operator=(const TempLibrary &) = delete;

    QString folder() const;
    QString path() const;
    TADOConnection *connection();

private:
    QTemporaryDir dir;
    TADOConnection conn;
    TADOConnection *previous;
};
