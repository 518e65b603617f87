#include "book/book.h"

TForm3::TForm3(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form3"));
}
