#include "application.h"

#include "store/connection.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include <exception>

void ShowErrorReport(const QString &message, QWidget *parent, const QString &detail)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Velloran"), message, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("errorReport"));
    box.setDetailedText(detail);
    box.exec();
}

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // The skin lives in the main window's static library, whose resources
    // the linker keeps only when asked for by name.
    Q_INIT_RESOURCE(app);
    setApplicationName(QStringLiteral("Velloran"));
    setApplicationDisplayName(QStringLiteral("Velloran"));
    mapChineseFonts();
    setStyleSheet(springtimeStyleSheet());
    // The program speaks Chinese, and so do Qt's own buttons and dialogs
    // ("是"/"否" in a question, not "Yes"/"No").
    auto *qtTexts = new QTranslator(this);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTexts);
    else
        qWarning("Qt's Chinese texts (qtbase_zh_CN.qm) are not installed; its buttons stay in English.");
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const EDatabaseError &e) {
        ShowErrorReport(e.message(), activeWindow(), e.detail());
    } catch (const std::exception &e) {
        ShowErrorReport(QString::fromUtf8(e.what()), activeWindow());
    } catch (...) {
        ShowErrorReport(QStringLiteral("未知错误"), activeWindow());
    }
    return false;
}

void TApplication::mapChineseFonts()
{
    // First installed family wins; the list runs from the closest look of
    // each classic family to the widely available fallbacks.
    const QStringList serif{QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                            QStringLiteral("WenQuanYi Zen Hei")};
    const QStringList sans{QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei"),
                           QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Serif CJK SC")};
    const QStringList families = QFontDatabase::families();
    auto installed = [&families](const QStringList &wanted) {
        QStringList have;
        for (const QString &f : wanted) {
            if (families.contains(f, Qt::CaseInsensitive))
                have << f;
        }
        return have;
    };
    const QStringList serifHave = installed(serif);
    const QStringList sansHave = installed(sans);
    for (const char *name : {"宋体", "SimSun", "新宋体", "NSimSun", "仿宋_GB2312", "楷体_GB2312", "隶书"})
        QFont::insertSubstitutions(QString::fromUtf8(name), serifHave);
    for (const char *name : {"黑体", "SimHei", "微软雅黑", "Microsoft YaHei", "幼圆"})
        QFont::insertSubstitutions(QString::fromUtf8(name), sansHave);
}

QString TApplication::springtimeStyleSheet()
{
    QFile f(QStringLiteral(":/skin/springtime.qss"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}
