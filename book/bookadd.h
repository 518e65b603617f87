// The dialog that adds a category or a book to the bookshelf.
#pragma once

#include "book/adddialog.h"

class TForm3 : public TAddForm
{
    Q_OBJECT
public:
    explicit TForm3(QWidget *parent = nullptr);
    ~TForm3() override;

    void open(TForm2 *page, const QString &caption, const QString &fid);
    void cxButton1Click() override;
};

// The one instance of the program, made at start-up.
extern TForm3 *Form3;
