#include "book/adddialog.h"

#include "book/book.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TAddForm::TAddForm(QWidget *parent, const char *name, const QString &caption)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    setFixedSize(355, 128);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    setFont(f);

    auto *label = new QLabel(QStringLiteral("请输入名称，不可含有特殊符号"), this);
    label->setObjectName(QStringLiteral("lbl1"));
    cxTextEdit1 = new QLineEdit(this);
    cxTextEdit1->setObjectName(QStringLiteral("cxTextEdit1"));
    QFont big(QStringLiteral("宋体"));
    big.setPixelSize(16);
    cxTextEdit1->setFont(big);
    cxButton1 = new QPushButton(QStringLiteral("添 加"), this);
    cxButton1->setObjectName(QStringLiteral("cxButton1"));
    cxButton1->setDefault(true);
    edtfid = new QLineEdit(QStringLiteral("$"), this);
    edtfid->setObjectName(QStringLiteral("edtfid"));
    edtfid->hide();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->addWidget(label);
    layout->addWidget(cxTextEdit1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cxButton1);
    layout->addLayout(row);

    connect(cxButton1, &QPushButton::clicked, this, [this] { cxButton1Click(); });
    connect(cxTextEdit1, &QLineEdit::returnPressed, this, [this] { cxButton1Click(); });
}

void TAddForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormShow();
}

void TAddForm::FormShow()
{
    cxTextEdit1->clear();
    cxTextEdit1->setFocus();
}

void TAddForm::openFor(TForm2 *page, const QString &caption, const QString &fid)
{
    setWindowTitle(caption);
    edtfid->setText(fid);
    cbookfrm = page;
    if (!isVisible()) {
        if (const QScreen *s = page->screen())
            move(s->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

bool TAddForm::pageOpen()
{
    if (cbookfrm)
        return true;
    inform(QStringLiteral("要添加到的书卷页已经关闭，请在书卷页重新打开添加窗口！"));
    return false;
}

void TAddForm::done(bool isBook, const QString &key)
{
    if (cbookfrm)
        cbookfrm->showAdded(isBook, key);
    hide();
}

void TAddForm::inform(const QString &text)
{
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}
