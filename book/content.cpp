// Reading, editing and saving the page selected in the chapter tree.
#include "book/book.h"

#include "book/historywindow.h"
#include "library/library.h"
#include "library/shelf.h"
#include "editor/editor.h"
#include "store/draftkeeper.h"
#include "store/xcom.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTabWidget>

void TForm2::Editcon()
{
    TTreeNode *node = tv2->Selected();
    if (!node)
        return;
    Zthtmleditorx1->WebTitle = node->text(0);
    Zthtmleditorx1->htmlsetAll(content(node), QString(), 0);
    // What editing starts from, so that closing can tell whether anything
    // changed.
    editBase = Zthtmleditorx1->htmlgetAll();
}

void TForm2::N8Click()
{
    cxCheckBox1->setChecked(false);
}

void TForm2::cxCheckBox1PropertiesChange()
{
    TTreeNode *node = tv2->Selected();
    const bool asSaved = std::exchange(readAsSaved, false);
    if (cxCheckBox1->isChecked()) {
        // A save drops the draft in its own transaction; forgetting it here
        // as well ends one still queued on the keeper's thread, and a
        // discard lets it go.
        forgetDraft();
        draftTimer->stop();
        editingUnit.clear();
        cxButton1->setEnabled(false);
        cxButton2->setEnabled(false);
        cxButton3->setEnabled(node != nullptr);
        if (node && !(asSaved && Zthtmleditorx1->readInPlace(content(node), node->text(0))))
            readPage(node);
        else if (!node)
            showWelcome();
        cxPageControl1->setEnabled(true);
        editBase.clear();
        return;
    }
    // Without a selected page there is nothing to edit.
    if (!node) {
        const QSignalBlocker quiet(cxCheckBox1);
        cxCheckBox1->setChecked(true);
        return;
    }
    Editcon();
    editingUnit = node->Data.Tid;
    lastDraft = editBase;
    draftTimer->start();
    cxButton1->setEnabled(true);
    cxButton2->setEnabled(true);
    // A version put back is saved; edits in progress would hide it.
    cxButton3->setEnabled(false);
    cxPageControl1->setEnabled(false);
}

void TForm2::leaveEditing()
{
    if (!cxCheckBox1->isChecked())
        cxCheckBox1->setChecked(true);
}

void TForm2::cxButton1Click()
{
    if (cxCheckBox1->isChecked())
        return;
    Form5->cbookfrm = this;
    Form5->show();
    Form5->raise();
    Form5->activateWindow();
}

void TForm2::cxButton2Click()
{
    TTreeNode *node = tv2->Selected();
    if (!node || cxCheckBox1->isChecked())
        return;
    Zthtmleditorx1->savepic(QStringLiteral("vl"));
    const QString html = Zthtmleditorx1->htmlgetAll();
    const QString text = Zthtmleditorx1->htmlgetBodytxt();
    // Stored first: when the library refuses, the page stays in editing with
    // its edits and the node keeps what the library holds.
    m_library->savePage(node->Data.Tid, html, text);
    node->Data.Tcon = html;
    node->contentRead = true;
    readAsSaved = true;
    cxCheckBox1->setChecked(true);
}

void TForm2::readPage(TTreeNode *node)
{
    Zthtmleditorx1->WebTitle = node->text(0);
    Zthtmleditorx1->htmlsetAll(content(node), node->text(0), 0);
}

const QString &TForm2::content(TTreeNode *node)
{
    if (!node->contentRead) {
        node->Data.Tcon = shelf::pageDocument(Adoconn, node->Data.Tid);
        node->contentRead = true;
    }
    return node->Data.Tcon;
}

bool TForm2::hasUnsavedEdits()
{
    return !cxCheckBox1->isChecked() && Zthtmleditorx1->htmlgetAll() != editBase;
}

void TForm2::N12Click()
{
    TTreeNode *node = tv2->Selected();
    if (!node || isEditing())
        return;
    auto *history = new THistoryForm(Adoconn, node->Data.Tid, node->text(0), content(node), this);
    history->setAttribute(Qt::WA_DeleteOnClose);
    // A restore is a save like any other: every page shows it, and the
    // document it replaces becomes a version in turn.
    connect(history, &THistoryForm::restoreRequested, this, [this, key = node->Data.Tid](const QString &document) {
        m_library->savePage(key, document, TPagePreview::plainText(document));
    });
    history->show();
}

void TForm2::cxButton3Click()
{
    N12Click();
}

void TForm2::setDraftKeeper(DraftKeeper *keeper)
{
    m_keeper = keeper;
}

void TForm2::setDraftInterval(int ms)
{
    draftTimer->setInterval(ms);
}

void TForm2::keepDraft()
{
    if (draftReading || !m_keeper)
        return;
    draftReading = true;
    Zthtmleditorx1->htmlgetAllLater(this, [this, round = draftRound](const QString &html) {
        if (round != draftRound)
            return;
        draftReading = false;
        if (html == lastDraft || !m_keeper)
            return;
        lastDraft = html;
        // Edits undone back to the page as stored leave nothing to keep.
        if (html == editBase)
            m_keeper->forget(editingUnit);
        else
            m_keeper->keep(editingUnit, html);
    });
}

void TForm2::forgetDraft()
{
    ++draftRound;
    draftReading = false;
    lastDraft = editBase;
    if (m_keeper && !editingUnit.isEmpty())
        m_keeper->forget(editingUnit);
}
