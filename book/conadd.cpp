#include "book/conadd.h"

#include "book/book.h"
#include "library/library.h"

#include <QLineEdit>

TForm4 *Form4 = nullptr;

TForm4::TForm4(QWidget *parent)
    : TAddForm(parent, "Form4", QStringLiteral("章节·内容添加"))
{
    edtbook = new QLineEdit(QStringLiteral("0"), this);
    edtbook->setObjectName(QStringLiteral("edtbook"));
    edtbook->hide();
    Form4 = this;
}

TForm4::~TForm4()
{
    if (Form4 == this)
        Form4 = nullptr;
}

void TForm4::open(TForm2 *page, const QString &caption, const QString &book, const QString &fid)
{
    edtbook->setText(book);
    openFor(page, caption, fid);
}

void TForm4::cxButton1Click()
{
    if (!pageOpen())
        return;
    // The reader sees a unit added to the book the page shows; one for a
    // book the page no longer shows would seem to vanish.
    if (cbookfrm->shownBook() != edtbook->text()) {
        inform(QStringLiteral("书卷页已经换成了其他书卷，请重新打开添加窗口！"));
        return;
    }
    const shelf::Outcome out = m_library->addUnit(edtbook->text(), edtfid->text(), cxTextEdit1->text());
    switch (out.check) {
    case shelf::Check::BadName:
        return inform(QStringLiteral("名称不可包含特殊字符"));
    case shelf::Check::Duplicate:
    case shelf::Check::ParentGone:
        return inform(QStringLiteral("要添加到的位置已经不存在，请重新选择！"));
    case shelf::Check::Added:
        done(false, out.rec.Tid);
    }
}
