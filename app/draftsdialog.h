// "恢复未保存的修改": the drafts a crash or a power loss left behind, shown at
// start so the reader decides what becomes of each.
#pragma once

#include "store/drafts.h"

#include <QDialog>
#include <QList>
#include <QString>

class QPushButton;
class QTreeWidget;
class TADOConnection;
class TPagePreview;

// The list "draftList" shows each draft's page (its place on the bookshelf,
// "书卷 › 章 › 页") and the time it was kept. For the selected draft "保存"
// stores it as the page (the document it replaces becomes a version),
// "查看" shows it read-only in the dialog, and "丢弃" lets it go after
// asking. The dialog closes itself once no draft is left. Failures of the
// library propagate to the application's error report. Open it only when
// hasDrafts: an empty one has nothing to close it.
//
//   if (TDraftsForm::hasDrafts(Adoconn)) {
//       TDraftsForm drafts(Adoconn, this);
//       connect(&drafts, &TDraftsForm::pageSaved, this, [..](const QString &unit) { /* reload open pages */ });
//       drafts.exec();
//   }
class TDraftsForm : public QDialog
{
    Q_OBJECT
public:
    TDraftsForm(TADOConnection *db, QWidget *parent);

    // Whether any page of the library has a draft.
    static bool hasDrafts(TADOConnection *db);

signals:
    // The draft of unitKey is now the page's document.
    void pageSaved(const QString &unitKey);

private:
    void reload();
    // After a draft is dealt with: closes once none is left.
    void reloadOrClose();
    // The selected draft, or nullptr.
    const drafts::Draft *chosen() const;
    QString placeOf(const QString &unit) const;
    void saveChosen();
    void viewChosen();
    void dropChosen();

    TADOConnection *m_db;
    QList<drafts::Draft> m_drafts; // in the order of the list
    QTreeWidget *m_list;
    TPagePreview *m_view;
    QPushButton *m_save;
    QPushButton *m_show;
    QPushButton *m_drop;
};
