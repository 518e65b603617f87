#include "book/bookadd.h"

#include "book/book.h"
#include "library/library.h"

#include <QLineEdit>

TForm3 *Form3 = nullptr;

TForm3::TForm3(QWidget *parent)
    : TAddForm(parent, "Form3", QStringLiteral("添加书卷"))
{
    Form3 = this;
}

TForm3::~TForm3()
{
    if (Form3 == this)
        Form3 = nullptr;
}

void TForm3::open(TForm2 *page, const QString &caption, const QString &fid)
{
    openFor(page, caption, fid);
}

void TForm3::cxButton1Click()
{
    if (!pageOpen())
        return;
    const shelf::Outcome out = m_library->addBook(edtfid->text(), cxTextEdit1->text());
    switch (out.check) {
    case shelf::Check::BadName:
        return inform(QStringLiteral("名称不可包含特殊字符"));
    case shelf::Check::Duplicate:
        return inform(QStringLiteral("此名称已经存在！请更换！"));
    case shelf::Check::ParentGone:
        return inform(QStringLiteral("要添加到的位置已经不存在，请重新选择！"));
    case shelf::Check::Added:
        done(true, out.rec.Tid);
    }
}
