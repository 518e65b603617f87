#include "app/transferdialogs.h"

#include "app/application.h"
#include "app/pdfexport.h"
#include "book/book.h"
#include "library/library.h"
#include "store/connection.h"
#include "transfer/text.h"
#include "transfer/transfer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>

#include <functional>

namespace {

bool isFolderKind(TExportDialog::Kind kind)
{
    return kind == TExportDialog::Kind::Html || kind == TExportDialog::Kind::Markdown;
}

QString endingOf(TExportDialog::Kind kind)
{
    switch (kind) {
    case TExportDialog::Kind::Pdf:
        return QStringLiteral(".pdf");
    case TExportDialog::Kind::Epub:
        return QStringLiteral(".epub");
    default:
        return {};
    }
}

// path, or the first of "name (2)", "name (3)", … that does not exist.
QString freeName(const QString &path, bool folder)
{
    const QFileInfo fi(path);
    const QString base = folder ? fi.fileName() : fi.completeBaseName();
    const QString ending = folder || fi.suffix().isEmpty() ? QString() : u'.' + fi.suffix();
    QString candidate = path;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = fi.dir().filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(ending));
    return candidate;
}

// Moves to the trash what can go there, so a replace can be taken back.
bool removeTarget(const QString &path)
{
    if (QFile::moveToTrash(path))
        return true;
    const QFileInfo fi(path);
    return fi.isDir() && !fi.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
}

// The progress of a long work, modal for the whole program so nothing
// writes to the library meanwhile.
class Progress
{
public:
    Progress(const QString &label, QWidget *parent)
        : dialog(label, QStringLiteral("取消"), 0, 0, parent)
    {
        dialog.setObjectName(QStringLiteral("transferProgress"));
        dialog.setWindowTitle(QApplication::applicationDisplayName());
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.setMinimumDuration(300);
        dialog.setAutoReset(false);
        dialog.setAutoClose(false);
        dialog.setValue(0);
    }
    transfer::Progress callback()
    {
        return [this](qint64 done, qint64 total) {
            if (dialog.maximum() != total)
                dialog.setMaximum(int(qMin<qint64>(total, INT_MAX)));
            // setValue lets the window paint and the Cancel button be pressed.
            dialog.setValue(int(qMin<qint64>(done, INT_MAX)));
            QCoreApplication::processEvents();
            return !dialog.wasCanceled();
        };
    }
    QProgressDialog dialog;
};

void showReport(QWidget *parent, const QString &title, const transfer::Report &report)
{
    QMessageBox box(QMessageBox::Information, title, report.text(), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("transferReport"));
    box.exec();
}

// The dialog's own action (ok) and "取消"; the action closes the dialog only
// once ready() holds.
QDialogButtonBox *actionButtons(QDialog *dialog, const QString &ok, const std::function<bool()> &ready)
{
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(ok);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, ready] {
        if (ready())
            dialog->accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

Thgo bookshelfItem(Library *library, const QString &key)
{
    TADOQuery q(library->connection());
    q.SQL = QStringLiteral("select id, jb, lbm from books where id=%1").arg(key.toLongLong());
    q.Open();
    if (q.Eof())
        return {};
    return Thgo{q.FieldByName(QStringLiteral("id")), q.FieldByName(QStringLiteral("jb")),
                q.FieldByName(QStringLiteral("lbm")), {}};
}

TExportDialog::TExportDialog(const QString &itemName, bool isBook, QWidget *parent)
    : QDialog(parent)
    , m_name(transfer::fileNameFor(itemName))
{
    setObjectName(QStringLiteral("exportDialog"));
    setWindowTitle(QStringLiteral("导出“%1”").arg(itemName));
    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("exportFormat"));
    m_kind->addItem(QStringLiteral("HTML 文件夹"), int(Kind::Html));
    m_kind->addItem(QStringLiteral("Markdown 文件夹"), int(Kind::Markdown));
    if (isBook) {
        m_kind->addItem(QStringLiteral("PDF"), int(Kind::Pdf));
        m_kind->addItem(QStringLiteral("EPUB"), int(Kind::Epub));
    }
    m_target = new QLineEdit(this);
    m_target->setObjectName(QStringLiteral("exportTarget"));
    m_target->setMinimumWidth(360);
    auto *browse = new QPushButton(QStringLiteral("浏览…"), this);
    connect(browse, &QPushButton::clicked, this, &TExportDialog::browse);
    auto *row = new QHBoxLayout;
    row->addWidget(m_target);
    row->addWidget(browse);
    auto *buttons = actionButtons(this, QStringLiteral("导出"), [this] { return !target().isEmpty(); });
    auto *form = new QFormLayout(this);
    form->addRow(QStringLiteral("格式："), m_kind);
    form->addRow(QStringLiteral("保存到："), row);
    form->addRow(buttons);
    const QString home = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_target->setText(QDir(home.isEmpty() ? QDir::homePath() : home).filePath(m_name));
    connect(m_kind, &QComboBox::currentIndexChanged, this, &TExportDialog::followKind);
}

TExportDialog::Kind TExportDialog::kind() const
{
    return Kind(m_kind->currentData().toInt());
}

void TExportDialog::setKind(Kind kind)
{
    m_kind->setCurrentIndex(m_kind->findData(int(kind)));
}

QString TExportDialog::target() const
{
    return m_target->text().trimmed();
}

void TExportDialog::setTarget(const QString &path)
{
    m_target->setText(path);
}

void TExportDialog::followKind()
{
    QString path = target();
    for (const QString &ending : {QStringLiteral(".pdf"), QStringLiteral(".epub")})
        if (path.endsWith(ending, Qt::CaseInsensitive))
            path.chop(ending.size());
    m_target->setText(path + endingOf(kind()));
}

void TExportDialog::browse()
{
    // Replacing is asked about once the reader presses 导出.
    const QString path =
        isFolderKind(kind())
            ? QFileDialog::getSaveFileName(this, QStringLiteral("导出到新文件夹"), target(), QString(), nullptr,
                                           QFileDialog::DontConfirmOverwrite)
            : QFileDialog::getSaveFileName(this, QStringLiteral("导出到文件"), target(),
                                           kind() == Kind::Pdf ? QStringLiteral("PDF (*.pdf)")
                                                               : QStringLiteral("EPUB (*.epub)"),
                                           nullptr, QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        setTarget(path);
}

TImportDialog::TImportDialog(const QString &categoryName, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("importDialog"));
    setWindowTitle(QStringLiteral("导入到“%1”").arg(categoryName));
    m_source = new QLineEdit(this);
    m_source->setObjectName(QStringLiteral("importSource"));
    m_source->setMinimumWidth(360);
    auto *folder = new QPushButton(QStringLiteral("文件夹…"), this);
    auto *file = new QPushButton(QStringLiteral("文件…"), this);
    connect(folder, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getExistingDirectory(this, QStringLiteral("导入文件夹"), source());
        if (!path.isEmpty())
            setSource(path);
    });
    connect(file, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("导入文件"), source(),
                                                          QStringLiteral("EPUB 或 CherryTree (*.epub *.ctb)"));
        if (!path.isEmpty())
            setSource(path);
    });
    auto *row = new QHBoxLayout;
    row->addWidget(m_source);
    row->addWidget(folder);
    row->addWidget(file);
    auto *buttons = actionButtons(this, QStringLiteral("导入"), [this] { return !source().isEmpty(); });
    auto *form = new QFormLayout(this);
    form->addRow(new QLabel(QStringLiteral("一个文件夹（HTML、Markdown、文本），或 .epub、.ctb 文件，导入为新书卷："), this));
    form->addRow(QStringLiteral("来源："), row);
    form->addRow(buttons);
}

QString TImportDialog::source() const
{
    return m_source->text().trimmed();
}

void TImportDialog::setSource(const QString &path)
{
    m_source->setText(path);
}

TransferUi::TransferUi(QWidget *window, std::function<Library *()> library, const QString &pictureFolder)
    : QObject(window)
    , m_window(window)
    , m_library(std::move(library))
    , m_pictures(pictureFolder)
{
}

QToolButton *TransferUi::menuButton(QWidget *parent, std::function<TForm2 *()> currentPage)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QStringLiteral("transferButton"));
    button->setText(QStringLiteral("⋯"));
    button->setToolTip(QStringLiteral("导出或导入书卷"));
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRaise(true);
    button->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("transferMenu"));
    connect(menu->addAction(QStringLiteral("导出…")), &QAction::triggered, this, [currentPage] {
        if (TForm2 *page = currentPage())
            page->requestExport();
    });
    connect(menu->addAction(QStringLiteral("导入…")), &QAction::triggered, this, [currentPage] {
        if (TForm2 *page = currentPage())
            page->requestImport();
    });
    button->setMenu(menu);
    return button;
}

void TransferUi::watch(TForm2 *page)
{
    connect(page, &TForm2::exportRequested, this, &TransferUi::exportItem);
    connect(page, &TForm2::importRequested, this, &TransferUi::importUnder);
}

void TransferUi::exportItem(const QString &itemKey)
{
    Library *library = m_library();
    if (!library)
        return;
    const Thgo item = bookshelfItem(library, itemKey);
    if (item.Tid.isEmpty())
        return;
    TExportDialog dialog(item.Lbm, item.Tjb != QLatin1String("$"), m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TExportDialog::Kind kind = dialog.kind();
    const bool folder = isFolderKind(kind);
    QString target = QFileInfo(dialog.target()).absoluteFilePath();
    const QFileInfo there(target);
    const bool emptyFolder = folder && there.isDir() && QDir(target).isEmpty();
    bool replace = false;
    if (there.exists() && !emptyFolder) {
        QMessageBox ask(QMessageBox::Question, QApplication::applicationDisplayName(),
                        QStringLiteral("“%1”已存在，替换吗？").arg(target), QMessageBox::Yes | QMessageBox::No,
                        m_window);
        ask.setObjectName(QStringLiteral("replaceQuestion"));
        ask.setDefaultButton(QMessageBox::No);
        replace = ask.exec() == QMessageBox::Yes;
        if (!replace)
            target = freeName(target, folder);
    }
    // A replaced target goes only once its successor is complete.
    const QString writeTo = replace ? freeName(target, folder) : target;

    Progress progress(QStringLiteral("正在导出“%1”…").arg(item.Lbm), m_window);
    transfer::Report report;
    try {
        if (kind == TExportDialog::Kind::Pdf) {
            report = pdfexport::exportBook(library->connection(), itemKey, writeTo, m_pictures, progress.callback());
        } else {
            const transfer::Format format = kind == TExportDialog::Kind::Html       ? transfer::Format::Html
                                            : kind == TExportDialog::Kind::Markdown ? transfer::Format::Markdown
                                                                                    : transfer::Format::Epub;
            report = transfer::exportItem(library->connection(), itemKey, format, writeTo, m_pictures,
                                          progress.callback());
        }
    } catch (const transfer::Refused &e) {
        progress.dialog.close();
        if (e.reason() != transfer::Refused::Reason::Cancelled)
            ShowErrorReport(e.message(), m_window);
        return;
    }
    progress.dialog.close();
    if (replace) {
        if (!removeTarget(target) || !QFile::rename(writeTo, target)) {
            ShowErrorReport(QStringLiteral("无法替换“%1”，导出的内容在“%2”。").arg(target, writeTo), m_window);
            return;
        }
        report.target = target;
    }
    showReport(m_window, QStringLiteral("导出完成"), report);
}

void TransferUi::importUnder(const QString &categoryKey)
{
    Library *library = m_library();
    if (!library)
        return;
    const Thgo category = bookshelfItem(library, categoryKey);
    if (category.Tid.isEmpty())
        return;
    TImportDialog dialog(category.Lbm, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Progress progress(QStringLiteral("正在导入“%1”…").arg(QFileInfo(dialog.source()).fileName()), m_window);
    transfer::Report report;
    try {
        report = transfer::importBook(library->connection(), categoryKey, dialog.source(), m_pictures,
                                      progress.callback());
    } catch (const transfer::Refused &e) {
        progress.dialog.close();
        if (e.reason() != transfer::Refused::Reason::Cancelled)
            ShowErrorReport(e.message(), m_window);
        return;
    }
    progress.dialog.close();
    const Thgo book = bookshelfItem(library, report.target);
    if (!book.Tid.isEmpty()) {
        library->bookAdded(book);
        // The reader knows the new book by its place on the shelf, not its key.
        report.target = category.Lbm + QStringLiteral(" / ") + book.Lbm;
    }
    showReport(m_window, QStringLiteral("导入完成"), report);
}
