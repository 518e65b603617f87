#include "mainfrm.h"

#include "application.h"
#include "binwindow.h"
#include "draftsdialog.h"
#include "book/bookadd.h"
#include "book/conadd.h"
#include "library/library.h"
#include "searchbox.h"
#include "transferdialogs.h"
#include "store/connection.h"
#include "store/draftkeeper.h"
#include "store/xcom.h"
#include "ztking/home.h"
#include "ztking/ztking.h"
#include "store/bin.h"
#include "store/search.h"
#include "editor/docengine.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QProgressDialog>
#include <QPointer>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Shows how far an upgrade of the library has come once it has taken a
// second (laying the full-text index of a large library takes longer).
std::function<bool(qint64, qint64)> upgradeProgress(QWidget *window)
{
    auto started = std::make_shared<QElapsedTimer>();
    auto dialog = std::make_shared<QPointer<QProgressDialog>>();
    return [window, started, dialog](qint64 done, qint64 total) {
        if (!started->isValid())
            started->start();
        if (!*dialog && started->elapsed() >= 1000 && done < total) {
            auto *d = new QProgressDialog(QStringLiteral("正在把书库升级到新的格式，并为全文搜索建立索引……"), QString(), 0, 100,
                                          window);
            d->setObjectName(QStringLiteral("upgradeProgress"));
            d->setWindowTitle(QStringLiteral("Velloran"));
            d->setWindowModality(Qt::WindowModal);
            d->setCancelButton(nullptr);
            d->setMinimumDuration(0);
            d->setAttribute(Qt::WA_DeleteOnClose);
            *dialog = d;
        }
        if (QProgressDialog *d = *dialog) {
            d->setValue(total > 0 ? int(done * 100 / total) : 0);
            if (done >= total)
                d->close();
        }
        return true;
    };
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velloran"));
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);
    il1 = makeTabImages();
    setWindowIcon(il1.value(2));

    pnl1 = new QFrame(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFrameShape(QFrame::NoFrame);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(pnl1);

    cxPageControl1 = new QTabWidget(pnl1);
    cxPageControl1->setObjectName(QStringLiteral("cxPageControl1"));
    cxPageControl1->setFocusPolicy(Qt::NoFocus);
    cxPageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    cxPageControl1->setDocumentMode(true);
    cxPageControl1->setUsesScrollButtons(true);
    auto *inner = new QVBoxLayout(pnl1);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(cxPageControl1);

    cxTabSheet1 = new QWidget(cxPageControl1);
    cxTabSheet1->setObjectName(QStringLiteral("cxTabSheet1"));
    cxPageControl1->addTab(cxTabSheet1, il1.value(0), QString());
    cxPageControl1->setTabToolTip(0, QStringLiteral("新建书卷页"));

    // The close button and the list of all tabs sit in the corner, always
    // shown, whatever the number of tabs.
    auto *corner = new QWidget(cxPageControl1);
    corner->setObjectName(QStringLiteral("tabButtons"));
    auto *cl = new QHBoxLayout(corner);
    cl->setContentsMargins(0, 0, 2, 0);
    cl->setSpacing(1);
    tabListButton = new QToolButton(corner);
    tabListButton->setObjectName(QStringLiteral("tabListButton"));
    tabListButton->setText(QStringLiteral("▾"));
    tabListButton->setToolTip(QStringLiteral("所有标签页"));
    tabListButton->setFocusPolicy(Qt::NoFocus);
    tabListButton->setAutoRaise(true);
    tabListButton->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(tabListButton);
    menu->setObjectName(QStringLiteral("tabListMenu"));
    tabListButton->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &TForm1::fillTabList);
    closeButton = new QToolButton(corner);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setText(QStringLiteral("✕"));
    closeButton->setToolTip(QStringLiteral("关闭当前标签页"));
    closeButton->setFocusPolicy(Qt::NoFocus);
    closeButton->setAutoRaise(true);
    connect(closeButton, &QToolButton::clicked, this, &TForm1::closeActiveTab);
    searchBox = new SearchBox(this, corner);
    searchBox->setFixedWidth(240);
    connect(searchBox, &SearchBox::opened, this, &TForm1::openFound);
    auto *findAll = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F), this);
    connect(findAll, &QShortcut::activated, searchBox, &SearchBox::takeFocus);
    binButton = new QToolButton(corner);
    binButton->setObjectName(QStringLiteral("binButton"));
    binButton->setText(QStringLiteral("回收站"));
    binButton->setToolTip(QStringLiteral("删除的书卷、章节和内容，可以恢复"));
    binButton->setFocusPolicy(Qt::NoFocus);
    binButton->setAutoRaise(true);
    connect(binButton, &QToolButton::clicked, this, &TForm1::openBin);
    transferUi = new TransferUi(this, [this] { return m_library; }, libraryHome() + QStringLiteral("images"));
    cl->addWidget(searchBox);
    cl->addWidget(binButton);
    cl->addWidget(transferUi->menuButton(corner, [this] { return currentPage(); }));
    cl->addSpacing(4);
    cl->addWidget(tabListButton);
    cl->addWidget(closeButton);
    cxPageControl1->setCornerWidget(corner, Qt::TopRightCorner);

    connect(cxPageControl1, &QTabWidget::currentChanged, this, &TForm1::cxPageControl1Change);

    // The reader's last size and place, else the first one, always within
    // the screen's room.
    const QString ini = windowIni();
    const QRect last(Ztking::Iniread(ini, QStringLiteral("window"), QStringLiteral("x")).toInt(),
                     Ztking::Iniread(ini, QStringLiteral("window"), QStringLiteral("y")).toInt(),
                     Ztking::Iniread(ini, QStringLiteral("window"), QStringLiteral("width")).toInt(),
                     Ztking::Iniread(ini, QStringLiteral("window"), QStringLiteral("height")).toInt());
    const bool remembered = last.width() > 0 && last.height() > 0;
    const QScreen *screen = remembered ? QGuiApplication::screenAt(last.center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 842, 566);
    setGeometry(placeWindow(remembered ? last : QRect(0, 0, 842, 566), room, remembered));
    if (Ztking::Iniread(ini, QStringLiteral("window"), QStringLiteral("maximized")) == QLatin1String("1"))
        setWindowState(windowState() | Qt::WindowMaximized);
}

QRect placeWindow(const QRect &wanted, const QRect &room, bool placed)
{
    const int w = std::min(wanted.width(), room.width());
    const int h = std::min(wanted.height(), room.height());
    if (!placed)
        return QRect(room.left() + (room.width() - w) / 2, room.top() + (room.height() - h) / 2, w, h);
    const int x = std::clamp(wanted.x(), room.left(), room.left() + room.width() - w);
    const int y = std::clamp(wanted.y(), room.top(), room.top() + room.height() - h);
    return QRect(x, y, w, h);
}

QString TForm1::windowIni()
{
    return libraryFolder() + QStringLiteral("velloran.ini");
}

void TForm1::rememberPlace()
{
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    const QString ini = windowIni();
    try {
        Ztking::Iniwrite(ini, QStringLiteral("window"), QStringLiteral("x"), QString::number(g.x()));
        Ztking::Iniwrite(ini, QStringLiteral("window"), QStringLiteral("y"), QString::number(g.y()));
        Ztking::Iniwrite(ini, QStringLiteral("window"), QStringLiteral("width"), QString::number(g.width()));
        Ztking::Iniwrite(ini, QStringLiteral("window"), QStringLiteral("height"), QString::number(g.height()));
        Ztking::Iniwrite(ini, QStringLiteral("window"), QStringLiteral("maximized"), isMaximized() ? "1" : "0");
    } catch (const std::exception &e) {
        // A folder that takes no file costs only the place next time; the
        // window is on its way out, no box can follow.
        qWarning("The window's place was not kept: %s", e.what());
    }
}

TForm1::~TForm1()
{
    stopCare();
    if (Adoconn == connection.get())
        Adoconn = nullptr;
}

QString TForm1::libraryFolder()
{
    return libraryHome();
}

QString TForm1::libraryFile()
{
    return libraryFolder() + QStringLiteral("vlbook.mdb");
}

bool TForm1::event(QEvent *e)
{
    if (e->type() == TMessageEvent::eventType()) {
        MyCopyDataMsg(static_cast<TMessageEvent *>(e)->msg);
        return true;
    }
    return QWidget::event(e);
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (shownOnce)
        return;
    shownOnce = true;
    // The frame the window system drew counts too: all of it stays within
    // the screen's room.
    if (const QScreen *s = screen()) {
        const QRect frame = frameGeometry(), inner = geometry();
        const QMargins edges(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                             frame.bottom() - inner.bottom());
        const QRect fitted = placeWindow(frame, s->availableGeometry(), true).marginsRemoved(edges);
        if (fitted != inner && !isMaximized())
            setGeometry(fitted);
    }
    try {
        FormShow();
    } catch (const EDatabaseError &e) {
        // Without its library the program cannot work: say why and what
        // can be done, and open no book page unless a way back was taken.
        if (!recoverAtStart(e))
            QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TForm1::FormShow()
{
    layLibraryHome();
    connection = std::make_unique<TADOConnection>();
    connection->LoginPrompt = false;
    connection->ConnectionString = TADOConnection::JetConnectionString(libraryFile());
    connection->UpgradeProgress = upgradeProgress(this);
    {
        // The progress of a long upgrade keeps the window's events going:
        // a close meanwhile waits until the library is open.
        const EngineWaits::Hold opening;
        connection->setConnected(true);
    }
    connection->UpgradeProgress = nullptr;
    Adoconn = connection.get();
    // One for the process; a library opened again after a way back takes
    // the new connection.
    if (m_library)
        m_library->setConnection(connection.get());
    else
        m_library = new Library(connection.get(), this);
    for (TAddForm *dialog : std::initializer_list<TAddForm *>{Form3, Form4}) {
        if (dialog)
            dialog->setLibrary(m_library);
    }
    if (binWindow)
        binWindow->reload();
    // Drafts go to the library file just opened; what a keeper of a file
    // before it still holds is written first.
    delete m_keeper;
    m_keeper = new DraftKeeper(libraryFile(), this);
    connect(m_keeper, &DraftKeeper::failed, this,
            [this](const QString &message, const QString &detail) { ShowErrorReport(message, this, detail); });
    // Results found in a library before this one lead nowhere.
    searchBox->reset();
    addbookp();
    // Unsaved edits a crash left behind, for the reader to settle first;
    // a draft saved shows on the pages as any save does.
    if (draftsWindow)
        draftsWindow->close();
    if (TDraftsForm::hasDrafts(connection.get())) {
        draftsWindow = new TDraftsForm(connection.get(), this);
        draftsWindow->setAttribute(Qt::WA_DeleteOnClose);
        connect(draftsWindow, &TDraftsForm::pageSaved, m_library, &Library::saved);
        draftsWindow->open();
    }
    startCare();
}

bool TForm1::recoverAtStart(const EDatabaseError &e)
{
    using Cause = EDatabaseError::Cause;
    QString advice;
    switch (e.cause()) {
    case Cause::Missing:
    case Cause::NotALibrary:
    case Cause::Incomplete:
    case Cause::Damaged: {
        const QString backup = backups::newestGood(libraryFile());
        const WayBack way = askWayBack(e.message(), backup);
        if (way == WayBack::None)
            return false;
        try {
            takeWayBack(way, backup);
            FormShow();
        } catch (const EDatabaseError &again) {
            ShowErrorReport(again.message(), this);
            return false;
        }
        return true;
    }
    case Cause::Locked:
        advice = QStringLiteral("书库正被另一个程序使用。请关闭那个程序（或等它完成）后再启动 Velloran。");
        break;
    case Cause::ReadOnly:
        advice = QStringLiteral("Velloran 需要写入书库文件和它所在的文件夹：%1").arg(QDir::toNativeSeparators(libraryFolder()));
        break;
    case Cause::Newer:
        advice = QStringLiteral("这个书库由较新版本的 Velloran 建立，请用那个版本打开。");
        break;
    case Cause::Engine:
        advice = QStringLiteral("书库文件 vlbook.mdb 必须放在程序所在的文件夹：%1").arg(QDir::toNativeSeparators(libraryFolder()));
        break;
    }
    ShowErrorReport(e.message() + QStringLiteral("\n\n") + advice, this);
    return false;
}

TForm1::WayBack TForm1::askWayBack(const QString &problem, const QString &backup)
{
    const bool present = QFileInfo::exists(libraryFile());
    QString text = problem + QStringLiteral("\n\n");
    if (backup.isEmpty())
        text += QStringLiteral("“%1”中没有可用的备份。").arg(QDir::toNativeSeparators(backups::folder(libraryFile())));
    else
        text += QStringLiteral("可以恢复最新的完好备份：%1。").arg(QDir::toNativeSeparators(backup));
    if (present)
        text += QStringLiteral("\n无论恢复备份还是建立新的空书库，现有的 vlbook.mdb 都会连同它的日志改名为 "
                               "vlbook-damaged-<日期时间>.mdb，保留在同一文件夹中，不会被删除。");
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velloran"), text, QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("libraryWayBack"));
    if (!backup.isEmpty())
        box.addButton(QMessageBox::Yes)->setText(QStringLiteral("恢复最新备份"));
    box.addButton(QMessageBox::Reset)->setText(QStringLiteral("建立新的空书库"));
    box.addButton(QMessageBox::Close)->setText(QStringLiteral("暂不处理"));
    box.setDefaultButton(backup.isEmpty() ? QMessageBox::Close : QMessageBox::Yes);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return WayBack::Restore;
    case QMessageBox::Reset:
        return WayBack::LayNew;
    default:
        return WayBack::None;
    }
}

void TForm1::takeWayBack(WayBack way, const QString &backup)
{
    const QString library = libraryFile();
    if (QFileInfo::exists(library))
        backups::setAside(library, QDateTime::currentDateTimeUtc());
    if (way == WayBack::Restore)
        backups::restore(backup, library);
    else
        TADOConnection::CreateLibrary(library);
}

bool TForm1::closeAllPages()
{
    for (int i = cxPageControl1->count() - 1; i >= 1; --i) {
        for (TForm2 *page : cxPageControl1->widget(i)->findChildren<TForm2 *>()) {
            bool CanClose = false;
            cxPageControl1->setCurrentIndex(i);
            page->FormCloseQuery(CanClose);
            if (!CanClose)
                return false;
        }
    }
    // With the last book tab gone the plus tab is current, which would open
    // a page on the library that is about to go.
    const QSignalBlocker quiet(cxPageControl1);
    while (cxPageControl1->count() > 1) {
        QWidget *sheet = cxPageControl1->widget(1);
        cxPageControl1->removeTab(1);
        sheet->hide();
        sheet->deleteLater();
    }
    return true;
}

void TForm1::startCare()
{
    stopCare();
    careStop = false;
    struct Result
    {
        backups::Outcome outcome;
        QString error;
    };
    auto result = std::make_shared<Result>();
    const QString library = libraryFile();
    QThread *thread = QThread::create([this, library, result] {
        try {
            result->outcome = backups::care(library, QDateTime::currentDateTimeUtc(), careStop);
            // The index takes in what other tools changed, and what
            // deletes left behind goes, beside the window.
            if (result->outcome.kind != backups::Outcome::Damaged && !careStop) {
                search::care(library, careStop);
                // What the bin held for more than 30 days goes for good.
                if (!careStop)
                    bin::expire(library, libraryHome() + QStringLiteral("images"), QDateTime::currentDateTimeUtc());
            }
        } catch (const EDatabaseError &e) {
            result->error = e.message();
        }
    });
    thread->setParent(this);
    thread->setObjectName(QStringLiteral("libraryCare"));
    // The report of a pass may arrive after stopCare ended it and deleted
    // its thread: it then names an older pass and is dropped. A report that
    // may lay a library anew waits until no page waits for the engine.
    const quint64 pass = ++carePass;
    connect(thread, &QThread::finished, this, [this, pass, result] {
        if (pass != carePass)
            return;
        care->deleteLater();
        care = nullptr;
        EngineWaits::whenIdle(this, [this, pass, result] {
            if (pass == carePass)
                careDone(result->outcome, result->error);
        });
    });
    care = thread;
    care->start(QThread::LowPriority);
}

void TForm1::stopCare()
{
    if (!care)
        return;
    // A window on its way out takes no report of a pass it cut short.
    ++carePass;
    care->disconnect(this);
    careStop = true;
    care->wait();
    delete care;
    care = nullptr;
}

void TForm1::careDone(const backups::Outcome &outcome, const QString &error)
{
    if (!error.isEmpty()) {
        ShowErrorReport(QStringLiteral("备份书库时出错：") + error, this);
        return;
    }
    if (outcome.kind != backups::Outcome::Damaged)
        return;
    const QString backup = backups::newestGood(libraryFile());
    const WayBack way = askWayBack(
        QStringLiteral("检查发现书库 %1 已损坏：\n%2").arg(QDir::toNativeSeparators(libraryFile()), outcome.problem), backup);
    if (way == WayBack::None || !closeAllPages())
        return;
    // The damaged library goes aside as it was found: its journal is not
    // folded into it on the way.
    if (Adoconn == connection.get())
        Adoconn = nullptr;
    connection->CloseAsFound();
    connection.reset();
    takeWayBack(way, backup);
    FormShow();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Ignored until every question is answered: a save that fails on the
    // way keeps the window open while its error goes to the report.
    event->ignore();
    // A page waiting for the engine uses the library and itself: the close
    // comes once the wait is over.
    if (EngineWaits::active()) {
        EngineWaits::whenIdle(this, [this] { close(); });
        return;
    }
    bool CanClose = false;
    FormCloseQuery(CanClose);
    if (CanClose)
        event->accept();
}

void TForm1::FormCloseQuery(bool &CanClose)
{
    // A page with unsaved edits asks first; its answer may keep the window.
    for (int i = 1; i < cxPageControl1->count(); ++i) {
        for (TForm2 *page : cxPageControl1->widget(i)->findChildren<TForm2 *>()) {
            cxPageControl1->setCurrentIndex(i);
            page->FormCloseQuery(CanClose);
            if (!CanClose)
                return;
        }
    }
    rememberPlace();
    // Pages go with the window; the backup pass and the connection go first
    // so no page can reach a half-closed library.
    stopCare();
    if (Adoconn == connection.get())
        Adoconn = nullptr;
    connection.reset();
    CanClose = true;
}

void TForm1::openBin()
{
    // Without a library there is no bin.
    if (!m_library)
        return;
    if (!binWindow) {
        // Pictures only removed items used go from the editor's image library.
        binWindow = new TBinForm(m_library, libraryFolder() + QStringLiteral("images"), this);
        binWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    binWindow->show();
    binWindow->raise();
    binWindow->activateWindow();
}

void TForm1::addbookp()
{
    auto *sheet = new QWidget(cxPageControl1);
    sheet->setObjectName(QStringLiteral("bookSheet"));
    const int index = cxPageControl1->addTab(sheet, il1.value(1), QStringLiteral("书卷"));
    cxPageControl1->setCurrentIndex(index);

    auto *page = new TForm2(sheet);
    page->setLibrary(m_library);
    transferUi->watch(page);
    page->setDraftKeeper(m_keeper);
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    page->show();
}

void TForm1::cxPageControl1Change()
{
    if (cxPageControl1->currentIndex() == 0)
        addbookp();
}

void TForm1::closeActiveTab()
{
    const int index = cxPageControl1->currentIndex();
    if (index <= 0)
        return;
    QWidget *sheet = cxPageControl1->widget(index);
    closeTab(sheet);
}

void TForm1::closeTab(QWidget *sheet)
{
    const int index = cxPageControl1->indexOf(sheet);
    if (index <= 0)
        return;
    // A page still waiting for its document goes once the wait is over.
    if (EngineWaits::active()) {
        EngineWaits::whenIdle(sheet, [this, sheet] { closeTab(sheet); });
        return;
    }
    // The page goes with its sheet once unsaved edits are settled.
    for (TForm2 *page : sheet->findChildren<TForm2 *>()) {
        bool CanClose = false;
        page->FormCloseQuery(CanClose);
        if (!CanClose)
            return;
    }
    cxPageControl1->removeTab(index);
    sheet->hide();
    sheet->deleteLater();
}

TForm2 *TForm1::currentPage() const
{
    QWidget *sheet = cxPageControl1->currentWidget();
    return sheet ? sheet->findChild<TForm2 *>() : nullptr;
}

void TForm1::openFound(const search::Hit &hit, const QStringList &words, bool newTab)
{
    TForm2 *page = currentPage();
    // An edit in progress is never disturbed.
    if (newTab || !page || page->isEditing()) {
        addbookp();
        page = currentPage();
    }
    page->openFound(hit.bookKey, hit.isBook ? QString() : hit.key, words);
}

void TForm1::fillTabList()
{
    QMenu *menu = tabListButton->menu();
    menu->clear();
    for (int i = 1; i < cxPageControl1->count(); ++i) {
        QAction *a = menu->addAction(cxPageControl1->tabIcon(i), cxPageControl1->tabText(i));
        a->setCheckable(true);
        a->setChecked(i == cxPageControl1->currentIndex());
        QWidget *sheet = cxPageControl1->widget(i);
        connect(a, &QAction::triggered, this, [this, sheet] {
            const int at = cxPageControl1->indexOf(sheet);
            if (at > 0)
                cxPageControl1->setCurrentIndex(at);
        });
    }
}

void TForm1::MyCopyDataMsg(TMessage &Msg)
{
    if (Msg.Msg != WM_COPYDATA)
        return;
    const auto *cds = reinterpret_cast<const COPYDATASTRUCT *>(Msg.LParam);
    const QString caption = QString::fromUtf16(static_cast<const char16_t *>(cds->lpData));
    // The sender names itself in WParam, so a page captions its own tab even
    // when another tab is in front.
    const auto *sender = reinterpret_cast<const QWidget *>(Msg.WParam);
    int index = cxPageControl1->currentIndex();
    for (int i = 1; i < cxPageControl1->count(); ++i) {
        if (sender && cxPageControl1->widget(i)->isAncestorOf(sender))
            index = i;
    }
    cxPageControl1->setTabText(index, caption);
}

QList<QIcon> makeTabImages()
{
    auto draw = [](auto paint) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p);
        return QIcon(pm);
    };
    QList<QIcon> images;
    images << draw([](QPainter &p) { // blue plus
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2f, 0x7f, 0xe0));
        p.drawRoundedRect(QRectF(6.5, 2, 3, 12), 1, 1);
        p.drawRoundedRect(QRectF(2, 6.5, 12, 3), 1, 1);
    });
    images << draw([](QPainter &p) { // spiral-bound notebook
        p.setPen(QPen(QColor(0x3b, 0x6e, 0x3a), 1));
        p.setBrush(QColor(0xf4, 0xf9, 0xe8));
        p.drawRect(QRectF(4.5, 1.5, 10, 13));
        p.setPen(QPen(QColor(0x7a, 0xa8, 0x5a), 1));
        for (int y = 5; y <= 11; y += 3)
            p.drawLine(QPointF(6.5, y + 0.5), QPointF(12.5, y + 0.5));
        p.setPen(QPen(QColor(0x55, 0x55, 0x55), 1.2));
        p.setBrush(Qt::NoBrush);
        for (int y = 3; y <= 12; y += 3)
            p.drawEllipse(QRectF(2.2, y, 4, 2));
    });
    images << draw([](QPainter &p) { // purple book
        p.setPen(QPen(QColor(0x4a, 0x22, 0x70), 1));
        p.setBrush(QColor(0x8e, 0x4f, 0xc4));
        p.drawRoundedRect(QRectF(3.5, 1.5, 10, 13), 1.5, 1.5);
        p.setPen(QPen(QColor(0xf0, 0xe0, 0xff), 1));
        p.drawLine(QPointF(6, 2), QPointF(6, 14));
        p.drawLine(QPointF(8, 5.5), QPointF(12, 5.5));
    });
    return images;
}
