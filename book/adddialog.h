// What the two add dialogs share: a small fixed window with the name box and
// "添 加", the hidden fields an opener fills, and the page it works for.
#pragma once

#include "library/thgo.h"

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QPushButton;
class TForm2;
class TTreeNode;
class TTreeView;

class TAddForm : public QWidget
{
    Q_OBJECT
public:
    QLineEdit *cxTextEdit1;
    QPushButton *cxButton1;
    QLineEdit *edtfid;   // parent key, "$" at the top level
    QLineEdit *edtindex; // "0": a top-level node; otherwise under edtfid's node
    // The page whose tree receives the new node.
    QPointer<TForm2> cbookfrm;

    void FormShow();
    virtual void cxButton1Click() = 0;

protected:
    TAddForm(QWidget *parent, const char *name, const QString &caption);
    void showEvent(QShowEvent *event) override;
    // Fills the fields, names the page and shows the dialog without waiting.
    void openFor(TForm2 *page, const QString &caption, const QString &fid, const QString &index);
    // The node the new one goes under, as remembered when the dialog opened:
    // false (said to the reader) when the page or the node has gone.
    bool findPlace(TTreeView *TForm2::*tree, TTreeNode *&under);
    // Puts the added node in place, opens its parent and closes the dialog.
    void placeNode(TTreeView *tree, TTreeNode *under, const QString &caption, const Thgo &rec);
    void inform(const QString &text);
};
