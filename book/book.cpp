#include "book/book.h"

#include "book/copydata.h"
#include "book/treepane.h"
#include "editor/docengine.h"
#include "editor/editor.h"
#include "library/library.h"
#include "store/draftkeeper.h"
#include "store/xcom.h"
#include "ztking/home.h"
#include "ztking/ztking.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

QString Oldname;
QString Renflag;

namespace {

QFrame *panel(QWidget *parent, const char *name)
{
    auto *p = new QFrame(parent);
    p->setObjectName(QLatin1String(name));
    p->setFrameShape(QFrame::NoFrame);
    return p;
}

// The filter box above a tree, filling its 24-pixel panel.
QLineEdit *filterBox(QFrame *pnl, const char *name)
{
    pnl->setFixedHeight(24);
    auto *box = new QLineEdit(pnl);
    box->setObjectName(QLatin1String(name));
    box->setClearButtonEnabled(true);
    box->setPlaceholderText(QStringLiteral("筛选：名称、拼音首字母"));
    auto *l = new QHBoxLayout(pnl);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(box);
    return box;
}

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = caption.isEmpty() ? menu->addSeparator() : menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

} // namespace

TForm2::TForm2(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("书卷页"));
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);
    resize(772, 496);
    buildLayout();
    buildMenus();
    draftTimer = new QTimer(this);
    draftTimer->setInterval(5000);
    connect(draftTimer, &QTimer::timeout, this, &TForm2::keepDraft);
}

void TForm2::buildLayout()
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    cxSplitter1 = new QSplitter(Qt::Horizontal, this);
    cxSplitter1->setObjectName(QStringLiteral("cxSplitter1"));
    cxSplitter1->setHandleWidth(4);
    cxSplitter1->setChildrenCollapsible(false);
    outer->addWidget(cxSplitter1);

    pnl1 = panel(cxSplitter1, "pnl1");
    pnl1->setMinimumWidth(250);
    cxPageControl1 = new QTabWidget(pnl1);
    cxPageControl1->setObjectName(QStringLiteral("cxPageControl1"));
    cxPageControl1->setFocusPolicy(Qt::NoFocus);
    cxPageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    cxPageControl1->setMinimumWidth(250);
    auto *left = new QVBoxLayout(pnl1);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(cxPageControl1);

    auto sheet = [this](const char *name, const QString &caption, QFrame *&pnl, const char *pnlName,
                        QLineEdit *&box, const char *boxName, TTreeView *&tree, const char *treeName) {
        auto *page = new QWidget(cxPageControl1);
        page->setObjectName(QLatin1String(name));
        pnl = panel(page, pnlName);
        box = filterBox(pnl, boxName);
        tree = new TTreeView(page);
        tree->setObjectName(QLatin1String(treeName));
        auto *l = new QVBoxLayout(page);
        l->setContentsMargins(0, 0, 0, 0);
        l->setSpacing(0);
        l->addWidget(pnl);
        l->addWidget(tree, 1);
        cxPageControl1->addTab(page, caption);
        return page;
    };
    cxTabSheet1 = sheet("cxTabSheet1", QStringLiteral("书卷"), pnl3, "pnl3", cxTextEdit1, "cxTextEdit1", tv1, "tv1");
    cxTabSheet2 =
        sheet("cxTabSheet2", QStringLiteral("章节·内容"), pnl4, "pnl4", cxTextEdit2, "cxTextEdit2", tv2, "tv2");
    cxTextEdit2->setPlaceholderText(QStringLiteral("筛选：标题、拼音首字母、正文"));

    pnl2 = panel(cxSplitter1, "pnl2");
    Zthtmleditorx1 = new TZthtmleditorx(pnl2);
    Zthtmleditorx1->setObjectName(ZthtmleditorName);
    pnl5 = panel(pnl2, "pnl5");
    pnl5->setFixedHeight(33);
    cxCheckBox1 = new QCheckBox(QStringLiteral("锁定"), pnl5);
    cxCheckBox1->setObjectName(QStringLiteral("cxCheckBox1"));
    cxCheckBox1->setChecked(true);
    cxCheckBox1->setEnabled(false);
    cxButton1 = new QPushButton(QStringLiteral("使用模版"), pnl5);
    cxButton1->setObjectName(QStringLiteral("cxButton1"));
    cxButton1->setEnabled(false);
    cxButton2 = new QPushButton(QStringLiteral("保存修改"), pnl5);
    cxButton2->setObjectName(QStringLiteral("cxButton2"));
    cxButton2->setEnabled(false);
    cxButton3 = new QPushButton(QStringLiteral("历史版本"), pnl5);
    cxButton3->setObjectName(QStringLiteral("cxButton3"));
    cxButton3->setEnabled(false);
    auto *bar = new QHBoxLayout(pnl5);
    bar->setContentsMargins(8, 2, 8, 2);
    bar->addWidget(cxCheckBox1);
    bar->addWidget(cxButton1);
    bar->addWidget(cxButton2);
    bar->addWidget(cxButton3);
    bar->addStretch(1);
    auto *right = new QVBoxLayout(pnl2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(Zthtmleditorx1, 1);
    right->addWidget(pnl5);

    cxSplitter1->setStretchFactor(0, 0);
    cxSplitter1->setStretchFactor(1, 1);
    cxSplitter1->setSizes({250, 518});

    connect(cxTextEdit1, &QLineEdit::textChanged, this, [this] { Booklist(); });
    connect(cxTextEdit2, &QLineEdit::textChanged, this, [this] { Unitlist(); });
    connect(cxCheckBox1, &QCheckBox::toggled, this, [this] { cxCheckBox1PropertiesChange(); });
    connect(cxButton1, &QPushButton::clicked, this, [this] { cxButton1Click(); });
    connect(cxButton2, &QPushButton::clicked, this, [this] { cxButton2Click(); });
    connect(cxButton3, &QPushButton::clicked, this, [this] { cxButton3Click(); });

    books = new TTreePane(true, tv1, cxTextEdit1, [] { return QString(); }, this);
    units = new TTreePane(false, tv2, cxTextEdit2, [this] { return shownBook(); }, this);
    connect(books, &TTreePane::chosen, this, &TForm2::selectBook);
    connect(units, &TTreePane::chosen, this, &TForm2::showUnit);
    // The tab names the book shown, by whatever name it now has.
    connect(books, &TTreePane::selectedRenamed, this,
            [this](const QString &name) { SendCaption(this, name, quint32(name.size() + 100)); });
    // The book shown, or the page read, went with a delete on any page.
    connect(books, &TTreePane::selectedGone, this, [this] {
        tv2->clear();
        leaveEditing();
        cxCheckBox1->setEnabled(false);
        cxButton3->setEnabled(false);
    });
    connect(units, &TTreePane::selectedGone, this, &TForm2::leaveEditing);
    // The page read goes by whatever name it now has. Reading it again (for
    // its title token) waits for the engine, so it waits until the rename
    // that told of it has ended.
    connect(units, &TTreePane::selectedRenamed, this, [this] {
        EngineWaits::whenIdle(this, [this] {
            if (TTreeNode *node = tv2->Selected(); node && cxCheckBox1->isChecked() && cxCheckBox1->isEnabled())
                Zthtmleditorx1->retitle(content(node), node->text(0));
        });
    });
    tv1->onMouseDown = [this](Qt::MouseButton b, const QPoint &p) { return tv1MouseDown(b, p); };
    tv1->onKeySelect = [this](TTreeNode *node) { selectBook(node); };
    tv1->onEdited = [this](TTreeNode *n, QString &s) { tv1Edited(n, s); };
    tv1->onCancelEdit = [this](TTreeNode *n) { tv1CancelEdit(n); };
    tv1->onDragOver = [this](const QPoint &p) { return tv1DragOver(p); };
    tv1->onDragDrop = [this](const QPoint &p) { tv1DragDrop(p); };
    tv2->onMouseDown = [this](Qt::MouseButton b, const QPoint &p) { return tv2MouseDown(b, p); };
    tv2->onKeySelect = [this](TTreeNode *node) { showUnit(node); };
    tv2->onEdited = [this](TTreeNode *n, QString &s) { tv2Edited(n, s); };
    tv2->onCancelEdit = [this](TTreeNode *n) { tv2CancelEdit(n); };
    tv2->onDragOver = [this](const QPoint &p) { return tv2DragOver(p); };
    tv2->onDragDrop = [this](const QPoint &p) { tv2DragDrop(p); };
}

void TForm2::buildMenus()
{
    pm1 = new QMenu(tv1);
    pm1->setObjectName(QStringLiteral("pm1"));
    pm1->setSeparatorsCollapsible(false);
    N1 = menuItem(pm1, "N1", QStringLiteral("添加分类"));
    N2 = menuItem(pm1, "N2", QStringLiteral("添加书卷"));
    N3 = menuItem(pm1, "N3", QString());
    N4 = menuItem(pm1, "N4", QStringLiteral("重命名"));
    N5 = menuItem(pm1, "N5", QStringLiteral("删除"));
    // Books out and in, after the items of the shelf itself.
    menuItem(pm1, "transferSeparator", QString());
    connect(menuItem(pm1, "exportItem", QStringLiteral("导出…")), &QAction::triggered, this, &TForm2::requestExport);
    connect(menuItem(pm1, "importItem", QStringLiteral("导入…")), &QAction::triggered, this, &TForm2::requestImport);

    pm2 = new QMenu(tv2);
    pm2->setObjectName(QStringLiteral("pm2"));
    pm2->setSeparatorsCollapsible(false);
    N6 = menuItem(pm2, "N6", QStringLiteral("添加章节"));
    N7 = menuItem(pm2, "N7", QStringLiteral("添加内容"));
    N8 = menuItem(pm2, "N8", QStringLiteral("编辑内容"));
    N12 = menuItem(pm2, "N12", QStringLiteral("历史版本"));
    N9 = menuItem(pm2, "N9", QString());
    N10 = menuItem(pm2, "N10", QStringLiteral("重命名"));
    N11 = menuItem(pm2, "N11", QStringLiteral("删除"));

    // The keys work on the tree that has the focus, as the menu entries do.
    auto key = [](QAction *a, TTreeView *tree, QKeySequence k) {
        a->setShortcut(k);
        a->setShortcutContext(Qt::WidgetShortcut);
        tree->addAction(a);
    };
    key(N4, tv1, QKeySequence(Qt::Key_F2));
    key(N5, tv1, QKeySequence(Qt::Key_Delete));
    key(N10, tv2, QKeySequence(Qt::Key_F2));
    key(N11, tv2, QKeySequence(Qt::Key_Delete));
    auto *save = new QAction(this);
    save->setObjectName(QStringLiteral("saveKey"));
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(save);
    connect(save, &QAction::triggered, this, [this] {
        if (cxButton2->isEnabled())
            cxButton2Click();
    });

    connect(N1, &QAction::triggered, this, [this] { N1Click(); });
    connect(N2, &QAction::triggered, this, [this] { N2Click(); });
    connect(N4, &QAction::triggered, this, [this] { N4Click(); });
    connect(N5, &QAction::triggered, this, [this] { N5Click(); });
    connect(N6, &QAction::triggered, this, [this] { N6Click(); });
    connect(N7, &QAction::triggered, this, [this] { N7Click(); });
    connect(N8, &QAction::triggered, this, [this] { N8Click(); });
    connect(N12, &QAction::triggered, this, [this] { N12Click(); });
    connect(N10, &QAction::triggered, this, [this] { N10Click(); });
    connect(N11, &QAction::triggered, this, [this] { N11Click(); });
    connect(tv1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { pm1->popup(tv1->viewport()->mapToGlobal(p)); });
    connect(tv2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { pm2->popup(tv2->viewport()->mapToGlobal(p)); });
}

void TForm2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once per page: coming back to the front keeps what the page shows.
    if (!shownOnce) {
        shownOnce = true;
        FormShow();
    }
}

void TForm2::FormShow()
{
    Zthtmleditorx1->Tuku = libraryHome() + QStringLiteral("images");
    showWelcome();
    Booklist();
}

QString TForm2::welcomePage()
{
    return QStringLiteral(
               "<html><head><meta http-equiv=\"Content-Language\" content=\"zh-cn\"><meta http-equiv=\"Content-Type\" "
               "content=\"text/html; charset=gb2312\">")
           + QStringLiteral("<title>Velloran欢迎您</title></head><body bgcolor=\"#FFFFE6\"><div align=\"center\">")
           + QStringLiteral("<table border=\"0\" cellpadding=\"0\" cellspacing=\"0\" width=\"500\" height=\"50\"><tr><td "
                            "align=\"center\">")
           + QStringLiteral("<img border=\"0\" src=\"#Tuku\u00B7vostrelan#/system/index.jpg\" "
                            "width=\"500\"></td></tr><tr>")
           + QStringLiteral("<td height=\"43\" bgcolor=\"#E6F7FF\" style=\"font-family: 宋体; font-size: "
                            "14px;text-align:center;\"><b><font color=\"#F23100\">修心养性，从阅读开始 "
                            "\u2026\u2026</font></b></td></tr><tr>")
           + QStringLiteral("<td height=\"80\" valign=\"top\" style=\"padding:8px; text-align: left;font-size: 14px; "
                            "line-height:150%\">")
           + QStringLiteral("Velloran使用简介：<br>")
           + QStringLiteral("1、在左侧“书卷、章节·内容”列表中点击鼠标右键进行各种操作。<br>")
           + QStringLiteral("2、鼠标可拖动节点进行排序。</td></tr><tr>")
           + QStringLiteral("<td height=\"25\" valign=\"top\" style=\"padding:8px; text-align: right;font-size: 9pt; "
                            "line-height:150%\">")
           + QStringLiteral("<font color=\"#663300\">") + QStringLiteral("感谢您选用Velloran，愿每一页文字都陪您静心成长。")
           + QStringLiteral("</font></td>") + QStringLiteral("</tr></table></div></body></html>");
}

void TForm2::showWelcome()
{
    Zthtmleditorx1->htmlsetAll(welcomePage(), QStringLiteral("静心阅读"), 0);
}

void TForm2::inform(const QString &text)
{
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}

void TForm2::FormCloseQuery(bool &CanClose)
{
    CanClose = true;
    if (!hasUnsavedEdits())
        return;
    TTreeNode *node = tv2->Selected();
    QMessageBox box(QMessageBox::Question, QStringLiteral("保存修改"),
                    QStringLiteral("【") + (node ? node->text(0) : QString())
                        + QStringLiteral("】的修改还没有保存，是否保存？"),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedQuestion"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        CanClose = false;
        cxButton2Click();
        CanClose = true;
        break;
    case QMessageBox::Discard:
        forgetDraft();
        break;
    default:
        CanClose = false;
    }
}

bool TForm2::isEditing() const
{
    return !cxCheckBox1->isChecked();
}

namespace {

void reveal(TTreeView *tree, TTreeNode *node)
{
    for (QTreeWidgetItem *up = node->parent(); up; up = up->parent())
        up->setExpanded(true);
    tree->scrollToItem(node);
}

// The node of key in tree, clearing filter first when it hides the node;
// clearing reloads the tree.
TTreeNode *findUnfiltered(TTreeView *tree, QLineEdit *filter, const QString &key)
{
    TTreeNode *node = tree->find(key);
    if (!node && !filter->text().isEmpty()) {
        filter->clear();
        node = tree->find(key);
    }
    return node;
}

} // namespace

void TForm2::openFound(const QString &bookKey, const QString &unitKey, const QStringList &words)
{
    // Either may have gone from the library since it was found.
    TTreeNode *book = findUnfiltered(tv1, cxTextEdit1, bookKey);
    if (!book)
        return;
    cxPageControl1->setCurrentWidget(unitKey.isEmpty() ? cxTabSheet1 : cxTabSheet2);
    reveal(tv1, book);
    selectBook(book);
    if (unitKey.isEmpty()) {
        tv1->setFocus(Qt::OtherFocusReason);
        return;
    }
    TTreeNode *unit = findUnfiltered(tv2, cxTextEdit2, unitKey);
    if (!unit)
        return;
    reveal(tv2, unit);
    showUnit(unit);
    tv2->setFocus(Qt::OtherFocusReason);
    Zthtmleditorx1->highlightHits(words);
}

void TForm2::setLibrary(Library *library)
{
    m_library = library;
    books->setLibrary(library);
    units->setLibrary(library);
    connect(library, &Library::saved, this, &TForm2::saved);
}

void TForm2::showAdded(bool isBook, const QString &key)
{
    TTreeView *tree = isBook ? tv1 : tv2;
    if (TTreeNode *node = tree->find(key)) {
        for (QTreeWidgetItem *up = node->parent(); up; up = up->parent())
            up->setExpanded(true);
    }
}

void TForm2::saved(const QString &unitKey)
{
    TTreeNode *node = tv2->find(unitKey);
    if (!node)
        return;
    node->contentRead = false;
    // An edit in progress here is the reader's; a page being read shows the
    // new document once the save that announced it is over.
    if (node == tv2->Selected() && !isEditing()) {
        QMetaObject::invokeMethod(this, [this, unitKey] {
            TTreeNode *shown = tv2->Selected();
            if (shown && shown->Data.Tid == unitKey && !isEditing())
                readPage(shown);
        }, Qt::QueuedConnection);
    }
}
