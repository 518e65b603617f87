// The book page: the bookshelf tree and the chapter tree of the selected
// book on the left, the editor of the selected page on the right, with the
// lock box and the two buttons below it.
#pragma once

#include "book/copydata.h"
#include "book/tree.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QAction;
class QCheckBox;
class QFrame;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class DraftKeeper;
class QTabWidget;
class QTimer;
class Library;
class TTreePane;
class TZthtmleditorx;

// The rename state, one pair for every page and both trees of each.
// Oldname: the caption of the node last selected by a press in either tree.
// Renflag: "重命名" from the start of a rename until the next press on a
// node, empty otherwise.
extern QString Oldname;
extern QString Renflag;

class TForm2 : public QWidget
{
    Q_OBJECT
public:
    explicit TForm2(QWidget *parent = nullptr);

    // The library every write of the page goes through; the page shows in
    // place what it announces, whichever page or window made the change.
    void setLibrary(Library *library);
    // Where the unsaved document of a page being edited is kept, at most
    // once an interval and only when it changed, so that typing survives a
    // crash.
    void setDraftKeeper(DraftKeeper *keeper);
    void setDraftInterval(int ms);

    QFrame *pnl1;
    QTabWidget *cxPageControl1;
    QWidget *cxTabSheet1;
    QWidget *cxTabSheet2;
    QFrame *pnl3;
    QFrame *pnl4;
    QLineEdit *cxTextEdit1;
    QLineEdit *cxTextEdit2;
    TTreeView *tv1;
    TTreeView *tv2;
    QSplitter *cxSplitter1;
    QFrame *pnl2;
    TZthtmleditorx *Zthtmleditorx1;
    QFrame *pnl5;
    QCheckBox *cxCheckBox1;
    QPushButton *cxButton1;
    QPushButton *cxButton2;
    QPushButton *cxButton3;
    QMenu *pm1;
    QMenu *pm2;
    QAction *N1, *N2, *N3, *N4, *N5;
    QAction *N6, *N7, *N8, *N12, *N9, *N10, *N11;

    // Bookshelf.
    void Booklist();
    void Booklistx(TTreeNode *Fnote, const QString &jb);
    bool tv1MouseDown(Qt::MouseButton Button, const QPoint &pos);
    void N1Click();
    void N2Click();
    void N4Click();
    void N5Click();
    void tv1Edited(TTreeNode *Node, QString &S);
    void tv1CancelEdit(TTreeNode *Node);
    bool tv1DragOver(const QPoint &pos);
    void tv1DragDrop(const QPoint &pos);

    // Chapters and content.
    void Unitlist();
    void Unitlistx(TTreeNode *Fnote, const QString &jb);
    bool tv2MouseDown(Qt::MouseButton Button, const QPoint &pos);
    void N6Click();
    void N7Click();
    void N10Click();
    void N11Click();
    void tv2Edited(TTreeNode *Node, QString &S);
    void tv2CancelEdit(TTreeNode *Node);
    bool tv2DragOver(const QPoint &pos);
    void tv2DragDrop(const QPoint &pos);

    // Reading, editing and saving.
    void Editcon();
    void N8Click();
    void cxCheckBox1PropertiesChange();
    void cxButton1Click();
    void cxButton2Click();
    // The earlier versions of the page shown; one put back is saved anew.
    void N12Click();
    void cxButton3Click();

    // True while the page edits and the document differs from what editing
    // started with.
    bool hasUnsavedEdits();
    // Asked before the page goes with its tab or the window: unsaved edits
    // are saved, dropped or keep the page open, as the reader answers. A
    // save that fails keeps the page open and raises its error.
    void FormCloseQuery(bool &CanClose);

    // The key of the bookshelf node whose units the chapter tree shows.
    QString shownBook() const;
    // True while the lock box is unticked and the page is being edited.
    bool isEditing() const;
    // Shows a result of the whole-library search as presses on the book and
    // then on the unit would, clearing the filters that would hide either,
    // and marks words in the page. An empty unitKey selects the book alone.
    // The page must not be editing.
    void openFound(const QString &bookKey, const QString &unitKey, const QStringList &words);

    // The welcome page, as the editor receives it.
    static QString welcomePage();

    // Opens the way to a node the reader just added from this page.
    void showAdded(bool isBook, const QString &key);

    // As 导出… and 导入… of the bookshelf menu: the selected item to export,
    // or the category (the selected one, or the selected book's) to import
    // under; the window that owns the dialogs takes the signals.
    void requestExport();
    void requestImport();

signals:
    void exportRequested(const QString &itemKey);
    void importRequested(const QString &categoryKey);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void buildMenus();
    void FormShow();
    void showWelcome();
    void selectBook(TTreeNode *node);
    void showUnit(TTreeNode *node);
    // The node's document, read from the library the first time.
    const QString &content(TTreeNode *node);
    // The document of node shown for reading.
    void readPage(TTreeNode *node);
    void leaveEditing();
    // A unit saved on any page or window.
    void saved(const QString &unitKey);
    // Reads the document being edited without waiting and hands it to the
    // keeper when it changed.
    void keepDraft();
    // Reads under way count for nothing once editing ends or its edits are
    // dropped; the unit's draft goes.
    void forgetDraft();
    void inform(const QString &text);

    // The bookshelf and the chapter tree.
    TTreePane *books;
    TTreePane *units;
    Library *m_library = nullptr;
    bool shownOnce = false;
    QString editBase;
    // Set by a save for the lock that follows it: the page shown is the one
    // just stored, and is read without loading it again.
    bool readAsSaved = false;
    QPointer<DraftKeeper> m_keeper;
    QTimer *draftTimer;
    QString editingUnit;
    QString lastDraft; // the document last handed to the keeper
    int draftRound = 0;
    bool draftReading = false;
};
