// The moments of start-up that velloran-bench measures: the first exposure of
// the main window and the welcome page having loaded. Each is told once on
// stderr as "velloran-start <moment> <ns>", stamped with the monotonic clock
// that every process of the machine shares, so the bench can set it against
// the moment it started the process. The program tells them when
// VELLORAN_REPORT_START is set; the bare window the bench compares the
// program with tells them always.
#pragma once

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QRegularExpression>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>

class StartReport : public QObject
{
public:
    // Watches window and every web view shown from now on; the welcome page
    // is the document titled as welcomeHtml is.
    StartReport(QWidget *window, const QString &welcomeHtml)
        : QObject(window)
        , m_window(window)
        , m_title(titleOf(welcomeHtml))
    {
        qApp->installEventFilter(this);
    }

    static QString titleOf(const QString &html)
    {
        static const QRegularExpression title(QStringLiteral("<title>(.*)</title>"),
                                              QRegularExpression::CaseInsensitiveOption
                                                  | QRegularExpression::InvertedGreedinessOption);
        return title.match(html).captured(1);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && !m_mapped && watched == m_window->windowHandle()
            && m_window->windowHandle()->isExposed()) {
            m_mapped = true;
            tell("mapped");
        } else if (event->type() == QEvent::Show) {
            if (auto *view = qobject_cast<QWebEngineView *>(watched))
                watch(view->page());
        }
        return false;
    }

private:
    static void tell(const char *moment)
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::fprintf(stderr, "velloran-start %s %lld\n", moment,
                     static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stderr);
    }

    void watch(QWebEnginePage *page)
    {
        if (!page || m_pages.contains(page))
            return;
        m_pages << page;
        // The title may arrive before or after the end of the load; the page
        // has loaded once both are in.
        auto check = [this, page] {
            if (!m_welcomed && !page->isLoading() && page->title() == m_title && m_loaded.contains(page)) {
                m_welcomed = true;
                tell("welcome");
            }
        };
        connect(page, &QWebEnginePage::loadStarted, this, [this, page] { m_loaded.removeAll(page); });
        connect(page, &QWebEnginePage::loadFinished, this, [this, page, check](bool ok) {
            if (ok)
                m_loaded << page;
            check();
        });
        connect(page, &QWebEnginePage::titleChanged, this, check);
    }

    QWidget *m_window;
    QString m_title;
    QList<QPointer<QWebEnginePage>> m_pages;
    QList<QPointer<QWebEnginePage>> m_loaded;
    bool m_mapped = false;
    bool m_welcomed = false;
};
