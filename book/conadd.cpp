#include "book/conadd.h"

#include "book/book.h"
#include "library/shelf.h"
#include "store/xcom.h"

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

void TForm4::open(TForm2 *page, const QString &caption, const QString &book, const QString &fid,
                  const QString &index)
{
    edtbook->setText(book);
    openFor(page, caption, fid, index);
}

void TForm4::cxButton1Click()
{
    // The chapter tree shows one book at a time; a unit for another book
    // would land in the wrong tree.
    if (cbookfrm && cbookfrm->shownBook() != edtbook->text()) {
        inform(QStringLiteral("书卷页已经换成了其他书卷，请重新打开添加窗口！"));
        return;
    }
    TTreeNode *under = nullptr;
    if (!findPlace(&TForm2::tv2, under))
        return;
    const shelf::Outcome out = shelf::addUnit(Adoconn, edtbook->text(), edtfid->text(), cxTextEdit1->text());
    switch (out.check) {
    case shelf::Check::BadName:
        return inform(QStringLiteral("名称不可包含特殊字符"));
    case shelf::Check::Duplicate:
    case shelf::Check::ParentGone:
        return inform(QStringLiteral("要添加到的位置已经不存在，请重新选择！"));
    case shelf::Check::Added:
        placeNode(cbookfrm->tv2, under, out.rec.Lbm, out.rec);
    }
}
