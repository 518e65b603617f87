// The earlier versions of one page: the reader picks one, reads it, sees it
// against the page as it is now, and may ask for it back.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>
#include <QTextBrowser>

class QPushButton;
class QTimeZone;
class QTreeWidget;
class TADOConnection;

// A read-only view of a stored document. It shows pictures given inline as
// data URLs only: nothing is fetched from the disk or the network, and no
// link is followed.
class TPagePreview : public QTextBrowser
{
    Q_OBJECT
public:
    explicit TPagePreview(QWidget *parent);

    // The text of a document as its words read, without the markup.
    static QString plainText(const QString &document);

protected:
    QVariant loadResource(int type, const QUrl &name) override;
};

// The instants as a clock in zone shows them, "yyyy-MM-dd HH:mm:ss".
QStringList localTimes(const QList<QDateTime> &instants, const QTimeZone &zone);

// "历史版本 - <title>": the versions of unitKey, newest first, in the list
// "versionList" (time, size, first line). Selecting one shows it in the tab
// "此版本" and, in "与当前页比较", its text marked against currentDocument
// (added words green, removed ones struck through in red). "恢复此版本"
// asks, then emits restoreRequested and closes; the caller saves the
// document, so the page it replaces becomes a version in turn.
//
// Modeless use:
//   auto *h = new THistoryForm(Adoconn, key, title, editorHtml, this);
//   h->setAttribute(Qt::WA_DeleteOnClose);
//   connect(h, &THistoryForm::restoreRequested, this, [..](const QString &doc) { shelf::savePage(..); });
//   h->show();
// Reading the versions may raise EDatabaseError from the constructor.
class THistoryForm : public QDialog
{
    Q_OBJECT
public:
    THistoryForm(TADOConnection *db, const QString &unitKey, const QString &title, const QString &currentDocument,
                 QWidget *parent);

signals:
    // The document of the chosen version, as the reader wrote it.
    void restoreRequested(const QString &document);

private:
    void showVersion(qint64 version);
    void restoreChosen();

    TADOConnection *m_db;
    QString m_currentText;
    QString m_chosen; // the document of the selected version
    QTreeWidget *m_list;
    TPagePreview *m_version;
    TPagePreview *m_compare;
    QPushButton *m_restore;
};
