#include "editor/editor.h"

#include "ztking/home.h"
#include "ztking/textfile.h"
#include "ztking/ztking.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString mobanFolder()
{
    return libraryHome() + QStringLiteral("images/Moban");
}

} // namespace

QString readTemplate(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        throw EditorError(QStringLiteral("无法读取模版文件：") + path + QStringLiteral("：") + in.errorString());
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw EditorError(QStringLiteral("无法读取模版文件：") + path + QStringLiteral("：") + in.errorString());
    // Every line ends with CR LF, the last one too.
    QString joined;
    for (const QString &line : splitLines(decodeText(bytes).text))
        joined += line + QStringLiteral("\r\n");
    return joined;
}

TForm5 *Form5 = nullptr;

TForm5::TForm5(QWidget *parent) : QDialog(parent)
{
    Form5 = this;
    setWindowTitle(QStringLiteral("使用模版"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(438, 234);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto *pnl1 = new QLabel(QStringLiteral("使用模版后，原内容将被全部覆盖"), this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFixedHeight(25);
    pnl1->setAlignment(Qt::AlignCenter);
    pnl1->setFrameShape(QFrame::StyledPanel);
    QPalette red = pnl1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    pnl1->setPalette(red);
    layout->addWidget(pnl1);

    auto *grp1 = new QGroupBox(QStringLiteral("说明"), this);
    grp1->setObjectName(QStringLiteral("grp1"));
    auto *notes = new QVBoxLayout(grp1);
    auto *mmo1 = new QPlainTextEdit(grp1);
    mmo1->setObjectName(QStringLiteral("mmo1"));
    mmo1->setReadOnly(true);
    QPalette yellow = mmo1->palette();
    yellow.setColor(QPalette::Base, yellow.color(QPalette::ToolTipBase));
    yellow.setColor(QPalette::Text, yellow.color(QPalette::ToolTipText));
    mmo1->setPalette(yellow);
    mmo1->setPlainText(QStringLiteral(
        "1、自己制作模版请存放到本程序“images”下的“Moban”文件夹。\n"
        "2、在“Moban”文件夹下建立新文件夹即可建立模版。\n"
        "3、在自己建立的文件夹下建立“page.htm”文件和“images”文件夹。\n"
        "4、“page.htm”存放模版代码，“images”文件夹中存放图片和样式表。\n"
        "5、图片、样式等路径格式“#Tuku\u00B7vostrelan#/相对根目录的路径”\n"
        "   例如：<img src=\"#Tuku\u00B7vostrelan#/Moban/模版名/images/logo.gif\"/>"));
    notes->addWidget(mmo1);
    layout->addWidget(grp1, 1);

    auto *row = new QHBoxLayout;
    auto *lbl1 = new QLabel(QStringLiteral("选择模版"), this);
    lbl1->setObjectName(QStringLiteral("lbl1"));
    cbb1 = new QComboBox(this);
    cbb1->setObjectName(QStringLiteral("cbb1"));
    auto *btn1 = new QPushButton(QStringLiteral("应用模版"), this);
    btn1->setObjectName(QStringLiteral("btn1"));
    row->addWidget(lbl1);
    row->addWidget(cbb1, 1);
    row->addWidget(btn1);
    layout->addLayout(row);
    connect(btn1, &QPushButton::clicked, this, &TForm5::btn1Click);
}

TForm5::~TForm5()
{
    if (Form5 == this)
        Form5 = nullptr;
}

void TForm5::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TForm5::FormShow()
{
    listmoban();
}

void TForm5::listmoban()
{
    cbb1->clear();
    // Only folders are templates; loose files beside them are not.
    const QStringList names = QDir(mobanFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    cbb1->addItems(names);
}

void TForm5::btn1Click()
{
    const QString name = cbb1->currentText();
    if (name.isEmpty()) {
        QMessageBox::information(this, QApplication::applicationDisplayName(), QStringLiteral("请从下拉列表选择模版！"));
        return;
    }
    TZthtmleditorx *editor = cbookfrm ? cbookfrm->findChild<TZthtmleditorx *>(ZthtmleditorName) : nullptr;
    if (!editor)
        throw EditorError(QStringLiteral("应用模版的书卷页已经关闭"));
    const QString html = readTemplate(mobanFolder() + QLatin1Char('/') + name + QStringLiteral("/page.htm"));
    editor->htmlsetAll(html, QString(), 0);
}
