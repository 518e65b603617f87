#include "book/historywindow.h"

#include "store/history.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextDocument>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int VersionRole = Qt::UserRole;

QString sizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

// How the marks of history::markChanges show.
const QString compareStyle = QStringLiteral(
    "<style>"
    "ins { background-color: #c6efce; color: #006100; text-decoration: none; }"
    "del { background-color: #ffc7ce; color: #9c0006; text-decoration: line-through; }"
    "</style>");

} // namespace

QStringList localTimes(const QList<QDateTime> &instants, const QTimeZone &zone)
{
    // Converting each instant on its own asks the C library, which reads
    // the zone again on every call (a fifth of opening the window on 500
    // versions). The offset changes only at the zone's transitions, read
    // once for the whole span.
    QStringList out;
    if (instants.isEmpty())
        return out;
    const auto [first, last] = std::minmax_element(instants.begin(), instants.end());
    const QTimeZone::OffsetDataList changes = zone.transitions(*first, *last);
    const int before = zone.offsetFromUtc(*first);
    out.reserve(instants.size());
    for (const QDateTime &t : instants) {
        const auto after = std::upper_bound(changes.begin(), changes.end(), t,
                                            [](const QDateTime &at, const QTimeZone::OffsetData &c) {
                                                return at < c.atUtc;
                                            });
        const int offset = after == changes.begin() ? before : std::prev(after)->offsetFromUtc;
        out << t.toUTC().addSecs(offset).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    return out;
}

TPagePreview::TPagePreview(QWidget *parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

QVariant TPagePreview::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    // A null answer lets the document decode a data URL itself; any other
    // URL gets an empty answer, which is not null, so the document does not
    // fall back to reading the file on its own.
    if (name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return {};
    return QByteArray();
}

QString TPagePreview::plainText(const QString &document)
{
    QTextDocument doc;
    doc.setHtml(document);
    return doc.toPlainText();
}

THistoryForm::THistoryForm(TADOConnection *db, const QString &unitKey, const QString &title,
                           const QString &currentDocument, QWidget *parent)
    : QDialog(parent)
    , m_db(db)
    , m_currentText(TPagePreview::plainText(currentDocument))
{
    setWindowTitle(QStringLiteral("历史版本 - ") + title);
    resize(860, 540);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("versionList"));
    m_list->setHeaderLabels({QStringLiteral("时间"), QStringLiteral("大小"), QStringLiteral("首行")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setColumnWidth(0, 140);
    m_list->setColumnWidth(1, 70);

    auto *tabs = new QTabWidget(this);
    m_version = new TPagePreview(tabs);
    m_version->setObjectName(QStringLiteral("versionView"));
    m_compare = new TPagePreview(tabs);
    m_compare->setObjectName(QStringLiteral("compareView"));
    tabs->addTab(m_version, QStringLiteral("此版本"));
    tabs->addTab(m_compare, QStringLiteral("与当前页比较"));

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_list);
    split->addWidget(tabs);
    split->setStretchFactor(1, 1);
    split->setSizes({340, 520});

    m_restore = new QPushButton(QStringLiteral("恢复此版本"), this);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_restore->setEnabled(false);
    auto *close = new QPushButton(QStringLiteral("关闭"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_restore);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    // Only the list is read here; a document is read when its version is
    // chosen, so a page with hundreds of versions opens at once.
    const QList<history::Version> versions = history::versions(db, unitKey);
    QList<QDateTime> times;
    times.reserve(versions.size());
    for (const history::Version &v : versions)
        times << v.savedAt;
    const QStringList shownTimes = localTimes(times, QTimeZone::systemTimeZone());
    QList<QTreeWidgetItem *> rows;
    rows.reserve(versions.size());
    for (const history::Version &v : versions) {
        auto *row = new QTreeWidgetItem({shownTimes.at(rows.size()), sizeText(v.size), v.firstLine});
        row->setData(0, VersionRole, v.id);
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        rows << row;
    }
    m_list->addTopLevelItems(rows);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem *> chosen = m_list->selectedItems();
        m_restore->setEnabled(!chosen.isEmpty());
        if (!chosen.isEmpty())
            showVersion(chosen.first()->data(0, VersionRole).toLongLong());
    });
    connect(m_restore, &QPushButton::clicked, this, &THistoryForm::restoreChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    if (!rows.isEmpty())
        m_list->setCurrentItem(rows.first());
}

void THistoryForm::showVersion(qint64 version)
{
    m_chosen = history::document(m_db, version);
    m_version->setHtml(m_chosen);
    m_compare->setHtml(compareStyle + QStringLiteral("<p style=\"white-space: pre-wrap\">")
                       + history::markChanges(TPagePreview::plainText(m_chosen), m_currentText)
                       + QStringLiteral("</p>"));
}

void THistoryForm::restoreChosen()
{
    if (QMessageBox::question(this, QStringLiteral("恢复此版本"),
                              QStringLiteral("用这个版本替换当前内容吗？当前内容会作为新的历史版本保留。"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    emit restoreRequested(m_chosen);
    accept();
}
