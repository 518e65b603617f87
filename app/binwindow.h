// The recycle bin, "回收站": what deletes removed, to put back or remove for
// good.
#pragma once

#include "store/bin.h"

#include <QDialog>
#include <QString>

#include <utility>

class QPushButton;
class QTreeWidget;
class TADOConnection;

// The list "binList" shows every item of the bin, the newest first, with
// its name, kind ("书卷" or "章节·内容"), old place, time of deletion and
// pages; several may be selected. "恢复" puts the selected items back,
// "彻底删除" removes them for good after asking, "清空回收站" removes all
// after asking; the list reloads after each. Where a restore renamed an
// item or put it elsewhere, one information box after the action says so.
// Failures of the library propagate to the application's error report.
//
//   auto *bin = new TBinForm(Adoconn, pictureFolder, this);
//   bin->setAttribute(Qt::WA_DeleteOnClose);
//   connect(bin, &TBinForm::restored, this, [..](const bin::Restored &r) { /* refresh pages showing r.bookKey */ });
//   bin->show();
class TBinForm : public QDialog
{
    Q_OBJECT
public:
    // pictureFolder: the library's picture folder, whose files only the
    // removed items used go with them.
    TBinForm(TADOConnection *db, const QString &pictureFolder, QWidget *parent);

    // Reads the bin afresh, for a delete made while the window is open.
    void reload();

signals:
    // One per item put back.
    void restored(const bin::Restored &what);
    // Items were removed for good.
    void removed();

private:
    // The selected items (bin id, name), in the order of the list.
    QList<std::pair<qint64, QString>> chosen() const;
    void restoreSelected();
    void removeSelected();
    void removeAll();
    bool confirm(const QString &title, const QString &text);
    // What the reader is told about a restore that did not simply put the
    // item back; empty when it did.
    QString note(const QString &name, const bin::Restored &r) const;

    TADOConnection *m_db;
    QString m_pictures;
    QTreeWidget *m_list;
    QPushButton *m_restore;
    QPushButton *m_remove;
    QPushButton *m_empty;
};
