// The main window: a tab control in which any number of book pages are open
// side by side, each in a tab of its own, plus the tab that opens a new one,
// and the search of the whole library beside the tabs.
#pragma once

#include "book/book.h"
#include "store/backup.h"
#include "store/search.h"

#include <QImage>
#include <QList>
#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <atomic>
#include <memory>

class EDatabaseError;
class Library;
class QFrame;
class QThread;
class QTabWidget;
class QToolButton;
class DraftKeeper;
class SearchBox;
class TBinForm;
class TDraftsForm;
class TransferUi;
class TADOConnection;

class TForm1 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    QTabWidget *cxPageControl1 = nullptr;
    QWidget *cxTabSheet1 = nullptr;
    QToolButton *closeButton = nullptr;
    QToolButton *tabListButton = nullptr;
    // The whole-library search, at the right end of the tab row.
    SearchBox *searchBox = nullptr;
    // Opens the recycle bin, beside the search.
    QToolButton *binButton = nullptr;
    QList<QIcon> il1;

    void addbookp();
    void MyCopyDataMsg(TMessage &Msg);

    // The folder the library file lies in: the program's own.
    static QString libraryFolder();
    // The library file, vlbook.mdb in that folder.
    static QString libraryFile();

protected:
    bool event(QEvent *e) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormShow();
    // One bin window, not modal; what it puts back shows on every page.
    void openBin();
    void FormCloseQuery(bool &CanClose);
    void cxPageControl1Change();
    void closeActiveTab();
    void closeTab(QWidget *sheet);
    // Where the reader's last size and place are kept.
    static QString windowIni();
    void rememberPlace();
    void fillTabList();
    TForm2 *currentPage() const;
    // Shows a result of the search in the current book tab, or in a new one
    // when asked or when the current page is being edited.
    void openFound(const search::Hit &hit, const QStringList &words, bool newTab);

    // What a library that cannot be used leaves the reader to choose.
    enum class WayBack { None, Restore, LayNew };
    bool recoverAtStart(const EDatabaseError &e);
    WayBack askWayBack(const QString &problem, const QString &backup);
    void takeWayBack(WayBack way, const QString &backup);
    bool closeAllPages();

    // The backup, or the check of an unchanged library, runs beside the
    // window on a connection of its own.
    void startCare();
    void stopCare();
    void careDone(const backups::Outcome &outcome, const QString &error);

    QFrame *pnl1 = nullptr;
    std::unique_ptr<TADOConnection> connection;
    // Every write of the pages and dialogs, announced to all of them.
    Library *m_library = nullptr;
    QPointer<TBinForm> binWindow;
    // Exports and imports, from the bookshelf menus and the corner button.
    TransferUi *transferUi = nullptr;
    // Keeps the drafts of every page, on a thread of its own.
    DraftKeeper *m_keeper = nullptr;
    QPointer<TDraftsForm> draftsWindow;
    bool shownOnce = false;
    QThread *care = nullptr;
    // Counts the passes started and stopped, so a late report of one that
    // was stopped is known.
    quint64 carePass = 0;
    std::atomic_bool careStop{false};
};

// The rectangle a window of wanted size takes within room: no larger than
// room, at wanted's place moved just far enough to lie inside it when placed,
// else in its middle.
QRect placeWindow(const QRect &wanted, const QRect &room, bool placed);

// The drawn images of the tab control: 0 the plus sign, 1 the spiral-bound
// notebook, 2 the purple book.
QList<QIcon> makeTabImages();
