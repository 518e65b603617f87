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
    edtindex = new QLineEdit(QStringLiteral("$"), this);
    edtindex->setObjectName(QStringLiteral("edtindex"));
    edtindex->hide();

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

void TAddForm::openFor(TForm2 *page, const QString &caption, const QString &fid, const QString &index)
{
    setWindowTitle(caption);
    edtfid->setText(fid);
    edtindex->setText(index);
    cbookfrm = page;
    if (!isVisible()) {
        if (const QScreen *s = page->screen())
            move(s->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

bool TAddForm::findPlace(TTreeView *TForm2::*tree, TTreeNode *&under)
{
    under = nullptr;
    if (!cbookfrm) {
        inform(QStringLiteral("要添加到的书卷页已经关闭，请在书卷页重新打开添加窗口！"));
        return false;
    }
    if (edtindex->text() == QLatin1String("0"))
        return true;
    under = (cbookfrm->*tree)->find(edtfid->text());
    if (!under) {
        inform(QStringLiteral("要添加到的位置已经不存在，请重新选择！"));
        return false;
    }
    return true;
}

void TAddForm::placeNode(TTreeView *tree, TTreeNode *under, const QString &caption, const Thgo &rec)
{
    tree->addNode(under, caption, rec)->contentRead = true;
    if (under)
        under->setExpanded(true);
    hide();
}

void TAddForm::inform(const QString &text)
{
    QMessageBox::information(this, QApplication::applicationDisplayName(), text);
}
