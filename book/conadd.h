// The dialog that adds a chapter or a content page to the book shown.
#pragma once

#include "book/adddialog.h"

class TForm4 : public TAddForm
{
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;

    QLineEdit *edtbook; // the book the unit belongs to

    void open(TForm2 *page, const QString &caption, const QString &book, const QString &fid);
    void cxButton1Click() override;
};

// The one instance of the program, made at start-up.
extern TForm4 *Form4;
