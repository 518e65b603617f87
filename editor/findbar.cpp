#include "editor/findbar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineView>

TFindbar::TFindbar(QWebEngineView *view, QWidget *parent) : QWidget(parent), m_view(view)
{
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("findText"));
    m_text->setPlaceholderText(QStringLiteral("在本页中查找"));
    m_text->setClearButtonEnabled(true);
    m_text->installEventFilter(this);
    row->addWidget(m_text, 1);

    auto button = [this, row](const char *name, const QString &caption) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        b->setText(caption);
        b->setAutoRaise(true);
        // Typing goes on in the text after a click.
        b->setFocusPolicy(Qt::NoFocus);
        row->addWidget(b);
        return b;
    };
    connect(button("findPrevious", QStringLiteral("上一个")), &QToolButton::clicked, this, [this] { find(true); });
    connect(button("findNext", QStringLiteral("下一个")), &QToolButton::clicked, this, [this] { find(false); });
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));
    row->addWidget(m_count);
    row->addStretch(1);
    QToolButton *close = button("findClose", QString());
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("关闭"));
    connect(close, &QToolButton::clicked, this, &TFindbar::dismiss);

    // Each letter typed searches anew, as in a browser.
    connect(m_text, &QLineEdit::textChanged, this, [this] { find(false); });
    new QShortcut(QKeySequence::Find, parent, this, &TFindbar::open, Qt::WidgetWithChildrenShortcut);
    hide();
}

void TFindbar::open()
{
    const bool opening = isHidden();
    show();
    m_text->setFocus(Qt::ShortcutFocusReason);
    m_text->selectAll();
    if (opening && !m_text->text().isEmpty())
        find(false);
}

void TFindbar::dismiss()
{
    hide();
    forget();
    m_view->setFocus(Qt::OtherFocusReason);
}

void TFindbar::forget()
{
    ++m_request;
    m_count->clear();
    // Also ends the engine's search, so that the next one starts afresh on
    // whatever document is shown by then.
    m_view->page()->findText(QString());
}

void TFindbar::find(bool backward)
{
    const QString text = m_text->text();
    if (text.isEmpty()) {
        forget();
        return;
    }
    // The engine answers a search it drops for a newer one with no matches
    // at all, sometimes before findText returns.
    const int request = ++m_request;
    QPointer<TFindbar> bar(this);
    m_view->page()->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                             [bar, request](const QWebEngineFindTextResult &result) {
                                 if (bar && bar->m_request == request)
                                     bar->showCount(result);
                             });
}

void TFindbar::showCount(const QWebEngineFindTextResult &result)
{
    m_count->setText(result.numberOfMatches() > 0
                         ? QStringLiteral("第 %1 个，共 %2 个").arg(result.activeMatch()).arg(result.numberOfMatches())
                         : QStringLiteral("没有找到"));
}

bool TFindbar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            find(key->modifiers().testFlag(Qt::ShiftModifier));
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            dismiss();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
