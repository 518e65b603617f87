// Exports and imports as the reader asks for them: the dialogs that choose
// the format, the target or the source, the progress with its Cancel, and
// the report at the end. Errors go to the application-wide report.
#pragma once

#include "library/thgo.h"

#include <QDialog>
#include <QObject>
#include <QString>

#include <functional>

class Library;
class QComboBox;
class QLineEdit;
class QToolButton;
class QWidget;
class TForm2;

class TExportDialog : public QDialog
{
    Q_OBJECT
public:
    enum class Kind { Html, Markdown, Pdf, Epub };
    // A category offers the folder formats alone; PDF and EPUB take a book.
    TExportDialog(const QString &itemName, bool isBook, QWidget *parent);

    Kind kind() const;
    void setKind(Kind kind);
    QString target() const;
    void setTarget(const QString &path);

private:
    void browse();
    // The target keeps its folder and name and takes the format's ending.
    void followKind();

    QComboBox *m_kind;
    QLineEdit *m_target;
    QString m_name;
};

class TImportDialog : public QDialog
{
    Q_OBJECT
public:
    TImportDialog(const QString &categoryName, QWidget *parent);

    QString source() const;
    void setSource(const QString &path);

private:
    QLineEdit *m_source;
};

class TransferUi : public QObject
{
    Q_OBJECT
public:
    // window owns the dialogs; library gives the library of the moment.
    TransferUi(QWidget *window, std::function<Library *()> library, const QString &pictureFolder);

    // The corner button whose 导出… and 导入… act on the bookshelf item
    // selected on the page currentPage gives.
    QToolButton *menuButton(QWidget *parent, std::function<TForm2 *()> currentPage);
    // Takes the page's requests.
    void watch(TForm2 *page);

    void exportItem(const QString &itemKey);
    void importUnder(const QString &categoryKey);

private:
    QWidget *m_window;
    std::function<Library *()> m_library;
    QString m_pictures;
};

// The row of the bookshelf item key; an empty Tid when it is gone.
Thgo bookshelfItem(Library *library, const QString &key);
