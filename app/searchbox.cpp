#include "searchbox.h"

#include "store/xcom.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

SearchResults::SearchResults(QObject *parent)
    : QAbstractListModel(parent)
{
}

void SearchResults::setQuery(const QString &query)
{
    // Searched before the reset, so that a failing search leaves the list
    // as it was.
    const QStringList words = search::queryWords(query);
    search::Results found;
    if (Adoconn && !words.isEmpty())
        found = search::find(Adoconn, query, 0, Batch);
    beginResetModel();
    m_query = query;
    m_words = words;
    m_total = found.total;
    m_hits = found.hits;
    endResetModel();
}

int SearchResults::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_hits.size());
}

QVariant SearchResults::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_hits.size())
        return {};
    const search::Hit &h = m_hits.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return h.path.join(QStringLiteral(" › "));
    case SnippetRole:
        return h.snippet;
    case HitsRole:
        return h.hits;
    case BookRole:
        return h.isBook;
    default:
        return {};
    }
}

bool SearchResults::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && Adoconn && m_hits.size() < m_total;
}

void SearchResults::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const search::Results more = search::find(Adoconn, m_query, int(m_hits.size()), Batch);
    // The library may have lost results since the first screen: what is
    // shown is then all there is.
    m_total = more.hits.isEmpty() ? m_hits.size() : more.total;
    if (more.hits.isEmpty())
        return;
    beginInsertRows({}, int(m_hits.size()), int(m_hits.size() + more.hits.size() - 1));
    m_hits += more.hits;
    endInsertRows();
}

namespace {

// Two rows a result: its path with the number of hits, then the text
// around the first hit with every hit marked.
class ResultDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        // Two lines as the snippet's document lays them out: the fallback
        // font that draws Chinese may stand taller than the view's own.
        QTextDocument doc;
        doc.setDocumentMargin(0);
        doc.setDefaultFont(option.font);
        doc.setHtml(QStringLiteral("国<br>国"));
        return {option.rect.width(), option.fontMetrics.lineSpacing() + int(std::ceil(doc.size().height())) + 10};
    }

    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString path = opt.text;
        opt.text.clear();
        const QWidget *view = opt.widget;
        (view ? view->style() : QApplication::style())->drawControl(QStyle::CE_ItemViewItem, &opt, p, view);

        const QRect r = opt.rect.adjusted(8, 4, -8, -4);
        const int line = opt.fontMetrics.lineSpacing();
        p->save();
        const int hits = index.data(SearchResults::HitsRole).toInt();
        const QString count = hits > 0 ? QStringLiteral("%1 处").arg(hits) : QString();
        const int countWidth = opt.fontMetrics.horizontalAdvance(count);
        p->setPen(QColor(0x8a, 0x6d, 0x3b));
        p->drawText(QRect(r.right() - countWidth, r.top(), countWidth, line), Qt::AlignRight | Qt::AlignVCenter, count);
        QFont bold = opt.font;
        bold.setBold(true);
        p->setFont(bold);
        p->setPen(QColor(0x2d, 0x3b, 0x2a));
        const QRect pathRect(r.left(), r.top(), r.width() - countWidth - 12, line);
        p->drawText(pathRect, Qt::AlignLeft | Qt::AlignVCenter,
                    QFontMetrics(bold).elidedText(path, Qt::ElideMiddle, pathRect.width()));

        const QRect text(r.left(), r.top() + line + 2, r.width(), r.bottom() - r.top() - line - 1);
        QString snippet = index.data(SearchResults::SnippetRole).toString();
        if (index.data(SearchResults::BookRole).toBool())
            snippet = QStringLiteral("<span style=\"color:#8a8a7a\">书卷</span>");
        QTextDocument doc;
        doc.setDocumentMargin(0);
        doc.setDefaultFont(opt.font);
        doc.setDefaultStyleSheet(QStringLiteral("b { color: #c2185b; }"));
        doc.setTextWidth(text.width());
        doc.setHtml(snippet);
        p->translate(text.topLeft());
        const QRect clip(QPoint(0, 0), text.size());
        p->setClipRect(clip);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = clip;
        ctx.palette.setColor(QPalette::Text, QColor(0x4a, 0x55, 0x45));
        doc.documentLayout()->draw(p, ctx);
        p->restore();
    }
};

// Rows shown before the list scrolls.
constexpr int VisibleRows = 7;

} // namespace

SearchBox::SearchBox(QWidget *host, QWidget *parent)
    : QLineEdit(parent)
    , m_host(host)
{
    setObjectName(QStringLiteral("searchBox"));
    setPlaceholderText(QStringLiteral("搜索全部书卷 (Ctrl+Shift+F)"));
    setClearButtonEnabled(true);

    m_popup = new QFrame(host);
    m_popup->setObjectName(QStringLiteral("searchPopup"));
    m_popup->setStyleSheet(QStringLiteral("QFrame#searchPopup { background: #fffdf8; border: 1px solid #e59ab4; }"));
    m_popup->hide();
    m_summary = new QLabel(m_popup);
    m_summary->setObjectName(QStringLiteral("searchSummary"));
    m_summary->setStyleSheet(QStringLiteral("color: #6b7a62; background: transparent; padding: 3px 8px;"));
    m_results = new SearchResults(this);
    m_list = new QListView(m_popup);
    m_list->setObjectName(QStringLiteral("searchResults"));
    // The keyboard stays in the field, which moves the list's current row.
    m_list->setFocusPolicy(Qt::NoFocus);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setMouseTracking(true);
    m_list->setItemDelegate(new ResultDelegate(m_list));
    m_list->setModel(m_results);
    m_list->viewport()->installEventFilter(this);
    auto *l = new QVBoxLayout(m_popup);
    l->setContentsMargins(1, 1, 1, 1);
    l->setSpacing(0);
    l->addWidget(m_summary);
    l->addWidget(m_list, 1);

    // Fast typing searches once, for what it comes to.
    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(30);
    connect(m_typing, &QTimer::timeout, this, &SearchBox::search);
    connect(this, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
    host->installEventFilter(this);
}

void SearchBox::takeFocus()
{
    setFocus(Qt::ShortcutFocusReason);
    selectAll();
    if (!text().isEmpty() && !m_popup->isVisible())
        search();
}

void SearchBox::hidePopup()
{
    m_popup->hide();
}

void SearchBox::reset()
{
    clear();
    m_typing->stop();
    m_results->setQuery({});
    hidePopup();
}

void SearchBox::search()
{
    m_typing->stop();
    m_results->setQuery(text());
    if (m_results->words().isEmpty()) {
        hidePopup();
        return;
    }
    m_summary->setText(m_results->total() == 0 ? QStringLiteral("没有找到")
                                               : QStringLiteral("共 %1 条结果").arg(m_results->total()));
    if (m_results->rowCount() > 0)
        m_list->setCurrentIndex(m_results->index(0));
    if (hasFocus())
        showPopup();
}

void SearchBox::showPopup()
{
    place();
    m_popup->show();
    m_popup->raise();
}

void SearchBox::place()
{
    const int rows = std::min(m_results->rowCount(), VisibleRows);
    m_list->setVisible(rows > 0);
    const int width = std::min(std::max(this->width(), 540), m_host->width() - 8);
    const QPoint corner = mapTo(m_host, QPoint(this->width(), height()));
    const int x = std::clamp(corner.x() - width, 4, std::max(4, m_host->width() - width - 4));
    const int y = corner.y() + 2;
    int h = m_summary->sizeHint().height() + 2;
    if (rows > 0)
        h += rows * m_list->sizeHintForRow(0) + 2 * m_list->frameWidth();
    m_popup->setGeometry(x, y, width, std::min(h, m_host->height() - y - 4));
}

void SearchBox::open(int row, bool newTab)
{
    // Copies: the page the result opens in waits for its document, and a
    // search that runs meanwhile replaces the results.
    const search::Hit hit = m_results->hit(row);
    const QStringList words = m_results->words();
    hidePopup();
    emit opened(hit, words, newTab);
}

void SearchBox::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_popup->isVisible()) {
            hidePopup();
            return;
        }
        if (!text().isEmpty()) {
            clear();
            return;
        }
        break;
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        if (m_typing->isActive())
            search();
        if (m_results->rowCount() == 0)
            break;
        if (!m_popup->isVisible())
            showPopup();
        else if (!m_list->currentIndex().isValid())
            m_list->setCurrentIndex(m_results->index(0));
        else
            QCoreApplication::sendEvent(m_list, event);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Typing and Enter faster than the timer still open what was typed.
        if (m_typing->isActive())
            search();
        if (m_popup->isVisible() && m_list->currentIndex().isValid()) {
            open(m_list->currentIndex().row(), event->modifiers().testFlag(Qt::ControlModifier));
            return;
        }
        if (m_results->rowCount() > 0) {
            showPopup();
            return;
        }
        break;
    default:
        break;
    }
    QLineEdit::keyPressEvent(event);
}

void SearchBox::mousePressEvent(QMouseEvent *event)
{
    QLineEdit::mousePressEvent(event);
    // A click into the field brings its results back.
    if (event->button() == Qt::LeftButton && !text().isEmpty() && !m_popup->isVisible())
        search();
}

void SearchBox::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // The field's own context menu takes the focus only for a moment.
    if (event->reason() != Qt::PopupFocusReason)
        hidePopup();
}

bool SearchBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_host && event->type() == QEvent::Resize && m_popup->isVisible()) {
        // The field moves with the window's layout, which follows the resize.
        QTimer::singleShot(0, this, &SearchBox::place);
    } else if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto *me = static_cast<QMouseEvent *>(event);
        const QModelIndex at = m_list->indexAt(me->position().toPoint());
        if (at.isValid() && (me->button() == Qt::LeftButton || me->button() == Qt::MiddleButton)) {
            open(at.row(), me->button() == Qt::MiddleButton || me->modifiers().testFlag(Qt::ControlModifier));
            return true;
        }
    }
    return QLineEdit::eventFilter(watched, event);
}
