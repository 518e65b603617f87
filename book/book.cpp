#include "book/book.h"

#include <QShowEvent>

TForm2::TForm2(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form2"));
}

void TForm2::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce) {
        shownOnce = true;
        FormShow();
    }
}

void TForm2::FormShow()
{
    // A freshly shown page holds the whole bookshelf, so its tab says so.
    SendCaption(this, QStringLiteral("书卷"), 102);
}
