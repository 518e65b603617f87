#include "mainfrm.h"

#include "application.h"
#include "store/connection.h"
#include "store/xcom.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

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
    cl->addWidget(tabListButton);
    cl->addWidget(closeButton);
    cxPageControl1->setCornerWidget(corner, Qt::TopRightCorner);

    connect(cxPageControl1, &QTabWidget::currentChanged, this, &TForm1::cxPageControl1Change);

    resize(842, 566);
}

TForm1::~TForm1()
{
    if (Adoconn == connection.get())
        Adoconn = nullptr;
}

QString TForm1::libraryFolder()
{
    return QCoreApplication::applicationDirPath() + QDir::separator();
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
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    try {
        FormShow();
    } catch (const EDatabaseError &e) {
        // Without its library the program cannot work: say why and how to
        // lay one, open no book page, and end.
        ShowErrorReport(e.message() + QStringLiteral("\n\n")
                            + QStringLiteral("书库文件 vlbook.mdb 必须放在程序所在的文件夹：%1\n"
                                             "可用同一文件夹中的 velloran-mklib 建立一个新的空书库：\n"
                                             "velloran-mklib \"%1vlbook.mdb\"")
                                  .arg(libraryFolder()),
                        this);
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void TForm1::FormShow()
{
    connection = std::make_unique<TADOConnection>();
    connection->LoginPrompt = false;
    connection->ConnectionString =
        QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + libraryFolder() + QStringLiteral("vlbook.mdb");
    connection->setConnected(true);
    Adoconn = connection.get();
    addbookp();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // Ignored until every question is answered: a save that fails on the
    // way keeps the window open while its error goes to the report.
    event->ignore();
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
    // Pages go with the window; the connection goes first so no page can
    // reach a half-closed library.
    if (Adoconn == connection.get())
        Adoconn = nullptr;
    connection.reset();
    CanClose = true;
}

void TForm1::addbookp()
{
    auto *sheet = new QWidget(cxPageControl1);
    sheet->setObjectName(QStringLiteral("bookSheet"));
    const int index = cxPageControl1->addTab(sheet, il1.value(1), QStringLiteral("书卷"));
    cxPageControl1->setCurrentIndex(index);

    auto *page = new TForm2(sheet);
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
