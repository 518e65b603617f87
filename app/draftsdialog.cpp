#include "app/draftsdialog.h"

#include "book/historywindow.h"
#include "library/shelf.h"
#include "store/connection.h"
#include "store/escape.h"
#include "ztking/ztking.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

TDraftsForm::TDraftsForm(TADOConnection *db, QWidget *parent)
    : QDialog(parent)
    , m_db(db)
{
    setWindowTitle(QStringLiteral("恢复未保存的修改"));
    resize(760, 460);

    auto *intro = new QLabel(QStringLiteral("上次关闭前，以下页面有未保存的修改。请逐一保存、查看或丢弃。"), this);
    intro->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("draftList"));
    m_list->setHeaderLabels({QStringLiteral("页面"), QStringLiteral("修改时间")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setColumnWidth(0, 260);

    m_view = new TPagePreview(this);
    m_view->setObjectName(QStringLiteral("draftView"));

    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_list);
    split->addWidget(m_view);
    split->setStretchFactor(1, 1);
    split->setSizes({360, 400});

    m_save = new QPushButton(QStringLiteral("保存"), this);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_show = new QPushButton(QStringLiteral("查看"), this);
    m_show->setObjectName(QStringLiteral("viewButton"));
    m_drop = new QPushButton(QStringLiteral("丢弃"), this);
    m_drop->setObjectName(QStringLiteral("dropButton"));
    auto *later = new QPushButton(QStringLiteral("以后再说"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_show);
    buttons->addWidget(m_drop);
    buttons->addStretch(1);
    buttons->addWidget(later);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        const bool any = chosen() != nullptr;
        m_save->setEnabled(any);
        m_show->setEnabled(any);
        m_drop->setEnabled(any);
        // A preview belongs to the draft it was asked for.
        m_view->clear();
    });
    connect(m_save, &QPushButton::clicked, this, &TDraftsForm::saveChosen);
    connect(m_show, &QPushButton::clicked, this, &TDraftsForm::viewChosen);
    connect(m_drop, &QPushButton::clicked, this, &TDraftsForm::dropChosen);
    connect(later, &QPushButton::clicked, this, &QDialog::reject);
    reload();
}

bool TDraftsForm::hasDrafts(TADOConnection *db)
{
    return !drafts::all(db).isEmpty();
}

void TDraftsForm::reload()
{
    m_drafts = drafts::all(m_db);
    QList<QTreeWidgetItem *> rows;
    for (const drafts::Draft &d : m_drafts) {
        const QString place = placeOf(d.unit);
        auto *row = new QTreeWidgetItem({place, d.keptAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))});
        row->setToolTip(0, place);
        rows << row;
    }
    m_list->clear();
    m_list->addTopLevelItems(rows);
    if (!rows.isEmpty())
        m_list->setCurrentItem(rows.first());
}

void TDraftsForm::reloadOrClose()
{
    reload();
    if (m_drafts.isEmpty())
        accept();
}

const drafts::Draft *TDraftsForm::chosen() const
{
    const QList<QTreeWidgetItem *> rows = m_list->selectedItems();
    if (rows.isEmpty())
        return nullptr;
    const int at = m_list->indexOfTopLevelItem(rows.first());
    return at >= 0 && at < m_drafts.size() ? &m_drafts.at(at) : nullptr;
}

QString TDraftsForm::placeOf(const QString &unit) const
{
    QStringList place;
    QString key = unit, book;
    // Bounded, so a damaged parent chain cannot hold the dialog.
    for (int depth = 0; depth < 256 && key != QLatin1String("$"); ++depth) {
        const auto q = Ztking::Dataread(m_db, QStringLiteral("select sc,jb,utitle from units where id=") + key, QString());
        if (q->Eof())
            break;
        place.prepend(Dataunesc(Ztking::Dataget(*q, QStringLiteral("utitle"))));
        book = Ztking::Dataget(*q, QStringLiteral("sc"));
        key = Ztking::Dataget(*q, QStringLiteral("jb"));
    }
    for (int depth = 0; depth < 64 && !book.isEmpty() && book != QLatin1String("$"); ++depth) {
        const auto q = Ztking::Dataread(m_db, QStringLiteral("select jb,lbm from books where id=") + book, QString());
        if (q->Eof())
            break;
        place.prepend(Dataunesc(Ztking::Dataget(*q, QStringLiteral("lbm"))));
        book = Ztking::Dataget(*q, QStringLiteral("jb"));
    }
    return place.join(QStringLiteral(" › "));
}

void TDraftsForm::saveChosen()
{
    const drafts::Draft *d = chosen();
    if (!d)
        return;
    const QString unit = d->unit;
    shelf::savePage(m_db, unit, d->document, TPagePreview::plainText(d->document));
    emit pageSaved(unit);
    reloadOrClose();
}

void TDraftsForm::viewChosen()
{
    if (const drafts::Draft *d = chosen())
        m_view->setHtml(d->document);
}

void TDraftsForm::dropChosen()
{
    const drafts::Draft *d = chosen();
    if (!d)
        return;
    const QString unit = d->unit;
    if (QMessageBox::question(this, QStringLiteral("丢弃"),
                              QStringLiteral("丢弃“%1”未保存的修改吗？丢弃后无法找回。")
                                  .arg(m_list->selectedItems().first()->text(0)),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        != QMessageBox::Yes)
        return;
    drafts::drop(m_db, unit);
    reloadOrClose();
}
