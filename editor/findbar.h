// The editor's find bar: finds a text in the page shown, reading or editing,
// through the web engine's own search, which highlights matches without
// touching the document.
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QWebEngineFindTextResult;
class QWebEngineView;

class TFindbar : public QWidget
{
    Q_OBJECT
public:
    // Starts hidden; Ctrl+F anywhere inside parent opens it.
    TFindbar(QWebEngineView *view, QWidget *parent);

    // Shows the bar with its text selected for typing over.
    void open();
    // Hides the bar, clears the engine's highlight and hands the keyboard
    // back to the page.
    void dismiss();
    // The next match of the typed text, or the previous one.
    void find(bool backward);
    // Drops the count of a document that is no longer shown.
    void forget();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showCount(const QWebEngineFindTextResult &result);

    QWebEngineView *m_view;
    QLineEdit *m_text;
    QLabel *m_count;
    // Numbers each search, so that only the latest one's answer is shown.
    int m_request = 0;
};
