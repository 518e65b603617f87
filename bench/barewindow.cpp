// velloran-bench-window <page file>: as little as a window showing a web page
// can be, the size of the program's main window, with the web settings of
// the program's editor. velloran-bench compares the program's start-up with
// it; it tells the same moments and runs until it is ended.
#include "app/startreport.h"

#include <QFile>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString path = app.arguments().value(1);
    QFile page(path);
    if (!page.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "velloran-bench-window: cannot read %s\n", qPrintable(path));
        return 2;
    }
    QWidget window;
    window.resize(842, 566);
    auto *view = new QWebEngineView(&window);
    view->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    view->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    new StartReport(&window, QString::fromUtf8(page.readAll()));
    window.show();
    view->load(QUrl::fromLocalFile(path));
    return app.exec();
}
