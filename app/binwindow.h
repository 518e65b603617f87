// The recycle bin, "回收站": what deletes removed, to put back or remove for
// good.
#pragma once

#include "store/bin.h"

#include <QDialog>
#include <QString>

#include <utility>

class QPushButton;
class Library;
class QTreeWidget;

// The list "binList" shows every item of the bin, the newest first, with
// its name, kind ("书卷" or "章节·内容"), old place, time of deletion and
// pages; several may be selected. "恢复" puts the selected items back,
// "彻底删除" removes them for good after asking, "清空回收站" removes all
// after asking; the list reloads after each. Where a restore renamed an
// item or put it elsewhere, one information box after the action says so.
// Failures of the library propagate to the application's error report.
// Restores go through the Library, which announces them to every page; a
// delete made while the window is open shows in its list.
//
//   auto *bin = new TBinForm(library, pictureFolder, this);
//   bin->setAttribute(Qt::WA_DeleteOnClose);
//   bin->show();
class TBinForm : public QDialog
{
    Q_OBJECT
public:
    // pictureFolder: the library's picture folder, whose files only the
    // removed items used go with them.
    TBinForm(Library *library, const QString &pictureFolder, QWidget *parent);

    // Reads the bin afresh, for a delete made while the window is open.
    void reload();

signals:
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

    Library *m_library;
    QString m_pictures;
    QTreeWidget *m_list;
    QPushButton *m_restore;
    QPushButton *m_remove;
    QPushButton *m_empty;
};
