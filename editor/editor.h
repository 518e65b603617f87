// The HTML editor of a book page and the template dialog.
//
// TZthtmleditorx shows one content page in a web engine, either for reading
// or for editing in place, and reads it back as the whole document, the
// body's markup or its plain text. Pictures of the image library are named in
// stored pages by the token "#Tuku·vostrelan#", which becomes the library's
// file URL while the page is shown. Ctrl+F opens a find bar under the page.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <stdexcept>

class QColorDialog;
class QComboBox;
class QEvent;
class QInputDialog;
class QPlainTextEdit;
class QShowEvent;
class QTabWidget;
class QToolBar;
class QWebEngineView;
class TDocengine;
class TFindbar;

// A failure of the document engine (including a call that hangs) or of
// reading a template file. The message is UTF-8.
class EditorError : public std::runtime_error
{
public:
    explicit EditorError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

// The object name of a book page's editor, by which the template dialog
// finds the editor of the page it works for.
extern const QString ZthtmleditorName;

class TZthtmleditorx : public QWidget
{
    Q_OBJECT
public:
    explicit TZthtmleditorx(QWidget *parent);

    // Root folder of the image library (absolute, no trailing "/"); empty
    // when no library is set.
    QString Tuku;
    // Replaces "#mytitle#" when a page is shown for reading.
    QString WebTitle;
    // True in the editing view; written only by EditView.
    bool Editstate = false;

    void EditView(bool EV, const QString &ETitle);
    // lx 0: v is HTML; 1: v is a URL; anything else loads nothing.
    void htmlsetAll(const QString &v, const QString &EditorTitle, int lx);
    void htmlsetBody(const QString &v, const QString &EditorTitle);
    // Leaves the editing view for reading the document shown, html, as it
    // stands, without loading it again: a page of a megabyte takes most of
    // a second to load. False, and nothing done, when reading would show
    // html otherwise (it holds the title token, which reading fills in with
    // EditorTitle).
    bool readInPlace(const QString &html, const QString &EditorTitle);
    // The page read, html, goes by EditorTitle now: the reading view's
    // caption follows, and a document holding the title token is read again
    // to fill it in. Nothing changes while editing.
    void retitle(const QString &html, const QString &EditorTitle);
    QString htmlgetAll();
    QString htmlgetAllx();
    QString htmlgetBody();
    QString htmlgetBodyx();
    QString htmlgetBodytxt();
    // The whole document as htmlgetAll reads it, without waiting for the
    // engine: done receives it later from the event loop, unless context
    // is gone by then. For the editing view, where no search marks are.
    void htmlgetAllLater(QObject *context, std::function<void(const QString &)> done);

    // Marks the hits of a library search in the page being read: every
    // occurrence of each word (given case-folded), full-width forms taken
    // for their plain ones, on a yellow ground, the first scrolled into view.
    // Replaces the marks of an earlier call; does nothing in the editing
    // view. The marks are never read back, and go with the reading view or
    // the document. A word split across elements is not found.
    void highlightHits(const QStringList &words);
    // How many marks highlightHits left in the page.
    int highlightedHits();

    // Copies every picture of the page that is not yet in the library into
    // it, named v + "_" + five random characters + the picture's file name,
    // and points the page at the copies.
    void savepic(const QString &v);

    // Runs once, when the editor is first shown.
    void FormShow();
    void pgc1Change(int index);

    TDocengine *document() const { return m_doc; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildToolbars();
    void addButton(QToolBar *bar, int n);
    void cbb1Change(int index);
    void cbb2Change(int index);
    void cbb3Change(int index);
    void cxButton5Click();
    void cxButton6Click();
    void cxButton13Click();
    void cxButton14Click();
    void cxButton19Click();
    void sendColour(const QString &command);
    void sendAddress(const QString &command, const QString &label);
    void selectFirstTab();
    QString expandTokens(const QString &v);
    QString tokenizeLibrary(const QString &html) const;

    QWidget *pnl1;
    QToolBar *tlb1;
    QToolBar *tlb2;
    QComboBox *cbb1;
    QComboBox *cbb2;
    QComboBox *cbb3;
    QTabWidget *pgc1;
    QWidget *ts1;
    QWidget *ts2;
    QWebEngineView *wb1;
    TFindbar *m_find;
    QPlainTextEdit *mmo1;
    QColorDialog *dlgColor1;
    QInputDialog *dlgInput1;
    TDocengine *m_doc;
    bool m_shown = false;
};

// The file URL of a folder: the escapes "%", " ", "#", "^", "&", "{", "}",
// "[", "]", "'" in that order, "\" as "/", and "file://" before an absolute
// path ("file:///" before anything else).
QString pathtourl(const QString &path);
// Undoes the escapes of pathtourl.
QString urlunescape(const QString &url);
// The most a picture that downfile copies may have.
constexpr qint64 downfileLimit = qint64(50) * 1024 * 1024;
// Fetches a file:, data:, http: or https: address into file, which must not
// exist yet; false on any failure, including no answer within timeoutMs.
// A source larger than downfileLimit, or a local one that is no regular
// file, is refused unread, and refused (when given) says why.
bool downfile(const QString &url, const QString &file, int timeoutMs = 30000, QString *refused = nullptr);

class TForm5 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm5(QWidget *parent);
    ~TForm5() override;

    // The book page whose editor receives the template.
    QPointer<QWidget> cbookfrm;

    void FormShow();
    void listmoban();
    void btn1Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QComboBox *cbb1;
};

// The one instance of the program, made at start-up.
extern TForm5 *Form5;

// The text of a template file: a byte-order mark selects UTF-8 or UTF-16,
// anything else is read in the Chinese code page. Throws EditorError when the
// file cannot be read.
QString readTemplate(const QString &path);
