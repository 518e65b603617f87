#include "app/binwindow.h"

#include "library/library.h"
#include "store/connection.h"
#include "store/escape.h"
#include "ztking/ztking.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int ItemRole = Qt::UserRole;

} // namespace

TBinForm::TBinForm(Library *library, const QString &pictureFolder, QWidget *parent)
    : QDialog(parent)
    , m_library(library)
    , m_pictures(pictureFolder)
{
    setWindowTitle(QStringLiteral("回收站"));
    resize(760, 440);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("binList"));
    m_list->setHeaderLabels({QStringLiteral("名称"), QStringLiteral("类型"), QStringLiteral("原位置"),
                             QStringLiteral("删除时间"), QStringLiteral("页数")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setColumnWidth(0, 180);
    m_list->setColumnWidth(1, 80);
    m_list->setColumnWidth(2, 240);
    m_list->setColumnWidth(3, 130);

    m_restore = new QPushButton(QStringLiteral("恢复"), this);
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_remove = new QPushButton(QStringLiteral("彻底删除"), this);
    m_remove->setObjectName(QStringLiteral("removeButton"));
    m_empty = new QPushButton(QStringLiteral("清空回收站"), this);
    m_empty->setObjectName(QStringLiteral("emptyButton"));
    auto *close = new QPushButton(QStringLiteral("关闭"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_restore);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(m_empty);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        const bool any = !m_list->selectedItems().isEmpty();
        m_restore->setEnabled(any);
        m_remove->setEnabled(any);
    });
    connect(m_restore, &QPushButton::clicked, this, &TBinForm::restoreSelected);
    connect(m_remove, &QPushButton::clicked, this, &TBinForm::removeSelected);
    connect(m_empty, &QPushButton::clicked, this, &TBinForm::removeAll);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(library, &Library::deleted, this, &TBinForm::reload);
    reload();
}

void TBinForm::reload()
{
    const QList<bin::Item> items = bin::items(m_library->connection());
    QList<QTreeWidgetItem *> rows;
    rows.reserve(items.size());
    for (const bin::Item &i : items) {
        auto *row = new QTreeWidgetItem({i.name, i.isBook ? QStringLiteral("书卷") : QStringLiteral("章节·内容"),
                                         i.place,
                                         i.deletedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                                         QString::number(i.pages)});
        row->setData(0, ItemRole, i.id);
        row->setToolTip(2, i.place);
        row->setTextAlignment(4, Qt::AlignRight | Qt::AlignVCenter);
        rows << row;
    }
    m_list->clear();
    m_list->addTopLevelItems(rows);
    m_restore->setEnabled(false);
    m_remove->setEnabled(false);
    m_empty->setEnabled(!rows.isEmpty());
}

QList<std::pair<qint64, QString>> TBinForm::chosen() const
{
    QList<std::pair<qint64, QString>> items;
    // In the order of the list, whatever the order of selecting.
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *row = m_list->topLevelItem(i);
        if (row->isSelected())
            items.append({row->data(0, ItemRole).toLongLong(), row->text(0)});
    }
    return items;
}

void TBinForm::restoreSelected()
{
    QStringList notes;
    try {
        for (const auto &[id, name] : chosen()) {
            const bin::Restored r = m_library->restore(id);
            const QString n = note(name, r);
            if (!n.isEmpty())
                notes << n;
        }
    } catch (...) {
        // What was put back before the failure leaves the list.
        reload();
        throw;
    }
    reload();
    if (!notes.isEmpty())
        QMessageBox::information(this, QStringLiteral("恢复"), notes.join(u'\n'));
}

QString TBinForm::note(const QString &name, const bin::Restored &r) const
{
    QStringList said;
    if (r.moved && r.isBook) {
        said << QStringLiteral("“%1”的原位置已不存在，已恢复到书卷的最上层。").arg(name);
    } else if (r.moved) {
        // Units that lost their place come back as a chapter of their book,
        // or of a new category named after it when the book is gone too.
        const auto q = Ztking::Dataread(m_library->connection(), QStringLiteral("select lbm from books where id=") + r.bookKey, QString());
        const QString book = q->Eof() ? QString() : Dataunesc(Ztking::Dataget(*q, QStringLiteral("lbm")));
        said << QStringLiteral("“%1”的原位置已不存在，已恢复为“%2”的一章。").arg(name, book);
    }
    if (r.renamed)
        said << QStringLiteral("“%1”与同一处的书卷重名，已改名为“%1（恢复）”。").arg(name);
    return said.join(QString());
}

bool TBinForm::confirm(const QString &title, const QString &text)
{
    return QMessageBox::question(this, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}

void TBinForm::removeSelected()
{
    QList<qint64> ids;
    for (const auto &[id, name] : chosen())
        ids << id;
    if (ids.isEmpty()
        || !confirm(QStringLiteral("彻底删除"),
                    QStringLiteral("彻底删除选中的 %1 项吗？删除后无法恢复。").arg(ids.size())))
        return;
    bin::remove(m_library->connection(), ids, m_pictures);
    reload();
    emit removed();
}

void TBinForm::removeAll()
{
    // What the reader sees and agrees to: an item deleted since the list
    // was read stays for the reader to see first.
    QList<qint64> ids;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        ids << m_list->topLevelItem(i)->data(0, ItemRole).toLongLong();
    if (ids.isEmpty()
        || !confirm(QStringLiteral("清空回收站"),
                    QStringLiteral("彻底删除回收站中的全部 %1 项吗？删除后无法恢复。").arg(ids.size())))
        return;
    bin::remove(m_library->connection(), ids, m_pictures);
    reload();
    emit removed();
}
