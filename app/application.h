// The application object and its one error report.
#pragma once

#include <QApplication>

// Shows an error that no handler of the program took care of: a message box
// with the message, and the engine's own words behind it as its details;
// the program goes on.
void ShowErrorReport(const QString &message, QWidget *parent = nullptr, const QString &detail = {});

// Qt does not carry exceptions through its event loop, so every event is
// delivered inside a guard here: an exception that escapes a handler ends
// that handler (steps already taken stay taken) and reaches the report.
class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Maps the Chinese font families the pages and forms name to fonts this
    // machine has, so their text never shows as boxes.
    static void mapChineseFonts();
    // The "Springtime" skin, one style sheet for every widget.
    static QString springtimeStyleSheet();
};
