// The document engine behind the editor: one web page whose document is read
// and changed only through synchronous calls. Each call is one script in the
// application's own script world; the page's own scripts never run.
//
// Pages are the reader's own, but may come from anywhere: a page fetches
// nothing from the web, shows pictures and nothing else from the disk (style
// sheets from the image library too, where templates keep theirs), and never
// replaces itself.
#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>
#include <QWebEngineUrlRequestInfo>

#include <functional>

// The waits for the engine in progress anywhere in the program. Each spins
// a nested event loop, and whatever the waiting code uses must outlive it:
// what would destroy such things (closing a tab or the window, a queued
// report that may lay a library anew) waits until no wait is in progress.
class EngineWaits : public QObject
{
    Q_OBJECT
public:
    static bool active();
    // Runs f from the event loop once no wait is in progress (at the next
    // turn when none is), while context lives.
    static void whenIdle(QObject *context, std::function<void()> f);

    // Held for as long as one wait is in progress.
    class Hold
    {
    public:
        Hold();
        ~Hold();
        Hold(const Hold &) = delete;
        Hold &operator=(const Hold &) = delete;
    };

signals:
    void ended();

private:
    static EngineWaits *instance();
};

class TDocengine : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit TDocengine(QObject *parent);

    // How long one call or one load may take before it counts as a hang.
    void setTimeout(int ms) { m_timeout = ms; }
    int timeout() const { return m_timeout; }

    // The image-library folder, whose style sheets pages may use.
    void setLibrary(const QString &folder) { m_library = folder; }
    // Whether the page may fetch url as a resource of the given type.
    bool mayFetch(QWebEngineUrlRequestInfo::ResourceType type, const QUrl &url) const;

    // Replaces the whole document, head included, by html; keeps designMode.
    void loadHtml(const QString &html);
    // Loads the resource at url as the document; keeps designMode.
    void loadUrl(const QUrl &url);
    // True once a document has been loaded.
    bool hasDocument() const { return m_loads > 0; }

    void setDesignMode(bool on);
    bool designMode();
    QString bodyHtml();
    void setBodyHtml(const QString &html);
    QString bodyText();
    // The src attribute of every picture in the body, in document order.
    QStringList pictureSources();
    // Gives every picture of the body whose src is a key of sources, letter
    // case aside (keys in lower case), the value as its new src.
    void setPictureSources(const QHash<QString, QString> &sources);
    // The whole document as markup, doctype included.
    QString documentHtml();
    // Writes html as the document through the document's own write method.
    void write(const QString &html);
    void focusWindow();
    // Runs an editing command on the selection. Colours come as 0x00BBGGRR.
    void execCommand(const QString &command, bool showUi, const QVariant &value);

    // Marks every occurrence of each word in the body, letter case and
    // full-width forms aside, and scrolls the first into view; marks made
    // before go first, and no words leaves none. Only outside designMode:
    // marks live only while the page is read, and are left out of every
    // read-back. A word split across elements is not found.
    void markHits(const QStringList &words);
    // How many marks markHits left in the page.
    int hitCount();

    // Runs body (the body of a function) in the application's script world
    // and returns its result; a script error or a hang throws EditorError.
    QVariant call(const QString &body);

    // text as a JavaScript string literal.
    static QString literal(const QString &text);

signals:
    // A navigation the editor did not start itself was refused.
    void navigationRefused(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

private:
    void navigate(const QUrl &url, bool followRedirects);
    QString hitSelector() const;
    QString withoutHits(const QString &node) const;

    QTemporaryDir m_dir;
    QString m_library;
    QString m_file;
    QUrl m_target;
    bool m_navigating = false;
    bool m_followRedirects = false;
    bool m_design = false;
    int m_loads = 0;
    int m_timeout = 30000;
    // The value of this round of marks; empty while the document has none.
    QString m_hitToken;
};
