#include "book/book.h"

TForm4::TForm4(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form4"));
}
