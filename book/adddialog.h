// What the two add dialogs share: a small fixed window with the name box and
// "添 加", the hidden field an opener fills, and the page it works for. The
// new node reaches every page through the library.
#pragma once

#include <QPointer>
#include <QWidget>

class Library;
class QLineEdit;
class QPushButton;
class TForm2;

class TAddForm : public QWidget
{
    Q_OBJECT
public:
    QLineEdit *cxTextEdit1;
    QPushButton *cxButton1;
    QLineEdit *edtfid; // parent key, "$" at the top level
    // The page the reader opened the dialog from.
    QPointer<TForm2> cbookfrm;

    void setLibrary(Library *library) { m_library = library; }
    void FormShow();
    virtual void cxButton1Click() = 0;

protected:
    TAddForm(QWidget *parent, const char *name, const QString &caption);
    void showEvent(QShowEvent *event) override;
    // Fills the field, names the page and shows the dialog without waiting.
    void openFor(TForm2 *page, const QString &caption, const QString &fid);
    // False (said to the reader) when the page has closed since.
    bool pageOpen();
    // Opens the way to the node added on the page and closes the dialog.
    void done(bool isBook, const QString &key);
    void inform(const QString &text);

    Library *m_library = nullptr;
};
