#include "editor/docengine.h"

#include "editor/editor.h"

#include <QColor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>

#include <memory>

namespace {

// Asks the engine whether each resource a page wants may be fetched.
class TRequestGuard : public QWebEngineUrlRequestInterceptor
{
public:
    explicit TRequestGuard(TDocengine *doc) : QWebEngineUrlRequestInterceptor(doc), m_doc(doc) {}

    void interceptRequest(QWebEngineUrlRequestInfo &info) override
    {
        info.block(!m_doc->mayFetch(info.resourceType(), info.requestUrl()));
    }

private:
    TDocengine *m_doc;
};

// The engine acts on a refresh tag by loading another document in place of
// the page, and for addresses such as about:blank it does so without asking
// acceptNavigationRequest. So every "http-equiv" of a page reaches the engine
// with its hyphen as a character reference: text and attribute values read
// the same, while an attribute of that name is no longer one the engine acts
// on. Read back, the markup gets its hyphen again.
const QRegularExpression &httpEquiv()
{
    static const QRegularExpression re(QStringLiteral("(http)-(equiv)"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

const QRegularExpression &inertHttpEquiv()
{
    static const QRegularExpression re(QStringLiteral("(http)&#x0002d;(equiv)"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString inert(QString html)
{
    return html.replace(httpEquiv(), QStringLiteral("\\1&#x0002D;\\2"));
}

QString restored(QString html)
{
    return html.replace(inertHttpEquiv(), QStringLiteral("\\1-\\2"));
}

} // namespace

TDocengine::TDocengine(QObject *parent)
    : QWebEnginePage(parent), m_dir(QDir::tempPath() + QStringLiteral("/velloran-doc-XXXXXX"))
{
    QWebEngineSettings *s = settings();
    // Pages are the user's own documents; their scripts must never run. Our
    // calls run in the application world, which this setting leaves alone.
    s->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    // Pages load from a file of ours and show library pictures by path.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    s->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    s->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    setUrlRequestInterceptor(new TRequestGuard(this));
}

bool TDocengine::mayFetch(QWebEngineUrlRequestInfo::ResourceType type, const QUrl &url) const
{
    // Which document is shown is acceptNavigationRequest's to decide.
    if (type == QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
        return true;
    // Pictures inside the page itself cost no fetch.
    if (url.scheme() == QLatin1String("data"))
        return type == QWebEngineUrlRequestInfo::ResourceTypeImage;
    // Web pictures reach the library only through savepic.
    if (!url.isLocalFile())
        return false;
    // A pipe or a device would hold the page's load for ever.
    if (!QFileInfo(url.toLocalFile()).isFile())
        return false;
    if (type == QWebEngineUrlRequestInfo::ResourceTypeImage)
        return true;
    if (type != QWebEngineUrlRequestInfo::ResourceTypeStylesheet || m_library.isEmpty())
        return false;
    const QString library = QDir::cleanPath(m_library) + QLatin1Char('/');
    return QDir::cleanPath(url.toLocalFile()).startsWith(library);
}

QString TDocengine::literal(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8 + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\\') {
            out += QLatin1Char('\\');
            out += c;
        } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || c.isSurrogate()) {
            // Escaped so that line breaks and lone surrogates survive the
            // trip into the script source.
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QVariant TDocengine::call(const QString &body)
{
    struct State
    {
        QEventLoop *loop = nullptr;
        QVariant result;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    QEventLoop loop;
    state->loop = &loop;
    const QString script = QStringLiteral("(function(){try{return {ok:(function(){")
        + body + QStringLiteral("})()};}catch(e){return {error:String(e)};}})()");
    runJavaScript(script, QWebEngineScript::ApplicationWorld, [state](const QVariant &v) {
        state->result = v;
        state->done = true;
        if (state->loop)
            state->loop->quit();
    });
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto died = connect(this, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    timer.start(m_timeout);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(died);
    state->loop = nullptr;
    if (!state->done)
        throw EditorError(QStringLiteral("文档引擎在 %1 毫秒内没有响应").arg(m_timeout));
    const QVariantMap answer = state->result.toMap();
    if (answer.contains(QStringLiteral("error")))
        throw EditorError(QStringLiteral("文档引擎报错：") + answer.value(QStringLiteral("error")).toString());
    return answer.value(QStringLiteral("ok"));
}

bool TDocengine::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    bool ok;
    if (type == NavigationTypeLinkClicked || type == NavigationTypeFormSubmitted)
        ok = false;
    else if (!isMainFrame)
        // Frames, objects and embeds may show what the page itself holds, but
        // never a file or a web address.
        ok = url.scheme() == QLatin1String("about") || url.scheme() == QLatin1String("data");
    else
        ok = m_navigating && (url == m_target || (m_followRedirects && type == NavigationTypeRedirect));
    if (!ok)
        emit navigationRefused(url);
    return ok;
}

void TDocengine::navigate(const QUrl &url, bool followRedirects)
{
    QEventLoop loop;
    bool finished = false;
    const auto done = connect(this, &QWebEnginePage::loadFinished, &loop, [&] {
        // A load that ends elsewhere than asked belongs to an earlier request.
        if (followRedirects || this->url() == url) {
            finished = true;
            loop.quit();
        }
    });
    const auto died = connect(this, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    m_target = url;
    m_followRedirects = followRedirects;
    m_navigating = true;
    load(url);
    timer.start(m_timeout);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_navigating = false;
    disconnect(done);
    disconnect(died);
    if (!finished)
        throw EditorError(QStringLiteral("文档在 %1 毫秒内没有载入：").arg(m_timeout) + url.toString());
    ++m_loads;
    // A new document starts read-only; the editor's view outlives documents.
    setDesignMode(m_design);
}

void TDocengine::loadHtml(const QString &html)
{
    // A file of our own rather than setHtml: no size limit, and its bytes
    // carry a byte-order mark, which outranks any charset a meta tag names.
    if (!m_dir.isValid())
        throw EditorError(QStringLiteral("无法建立临时文件夹：") + m_dir.errorString());
    const QString file = m_dir.filePath(QStringLiteral("page%1.htm").arg(m_loads + 1));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw EditorError(QStringLiteral("无法写入临时文件：") + file + QStringLiteral("：") + out.errorString());
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF") + inert(html).toUtf8();
    if (out.write(bytes) != bytes.size() || !out.flush())
        throw EditorError(QStringLiteral("无法写入临时文件：") + file + QStringLiteral("：") + out.errorString());
    out.close();
    navigate(QUrl::fromLocalFile(file), false);
    if (!m_file.isEmpty() && m_file != file)
        QFile::remove(m_file);
    m_file = file;
}

void TDocengine::loadUrl(const QUrl &url)
{
    navigate(url, true);
}

void TDocengine::setDesignMode(bool on)
{
    m_design = on;
    call(QStringLiteral("document.designMode=") + (on ? QStringLiteral("'on'") : QStringLiteral("'off'"))
         + QStringLiteral(";return true;"));
}

bool TDocengine::designMode()
{
    return call(QStringLiteral("return document.designMode;")).toString() == QLatin1String("on");
}

QString TDocengine::bodyHtml()
{
    return restored(call(QStringLiteral("return document.body?document.body.innerHTML:'';")).toString());
}

void TDocengine::setBodyHtml(const QString &html)
{
    call(QStringLiteral("if(!document.body)document.documentElement.appendChild(document.createElement('body'));"
                        "document.body.innerHTML=")
         + literal(inert(html)) + QStringLiteral(";return true;"));
}

QString TDocengine::bodyText()
{
    return restored(call(QStringLiteral("return document.body?document.body.innerText:'';")).toString());
}

QString TDocengine::documentHtml()
{
    // Every node of the document. Those before <html> stand one a line; those
    // after it follow at once, since a line break there would move them into
    // the body when the page is read again. The parser keeps a processing
    // instruction as a comment that starts with "?"; it is written back as it
    // came, which parses to that same comment again.
    return restored(call(QStringLiteral(
                             "var out='',seen=false;"
                             "for(var n=document.firstChild;n;n=n.nextSibling){"
                             "var s;"
                             "if(n.nodeType==1)s=n.outerHTML;"
                             "else if(n.nodeType==8)s=/^\\?[^>]*$/.test(n.data)?'<'+n.data+'>':'<!--'+n.data+'-->';"
                             "else if(n.nodeType==7)s='<?'+n.target+' '+n.data+'>';"
                             "else s=new XMLSerializer().serializeToString(n);"
                             "out+=(out&&!seen?'\\n':'')+s;"
                             "if(n==document.documentElement)seen=true;}"
                             "return out;"))
                        .toString());
}

void TDocengine::write(const QString &html)
{
    // Closing the written document lets it finish parsing and display.
    call(QStringLiteral("document.open();document.write(") + literal(inert(html))
         + QStringLiteral(");document.close();return true;"));
    setDesignMode(m_design);
}

void TDocengine::focusWindow()
{
    call(QStringLiteral("window.focus();return true;"));
}

void TDocengine::execCommand(const QString &command, bool showUi, const QVariant &value)
{
    QString text = value.toString();
    const bool colour = command.compare(QLatin1String("ForeColor"), Qt::CaseInsensitive) == 0
        || command.compare(QLatin1String("BackColor"), Qt::CaseInsensitive) == 0;
    if (colour && value.typeId() == QMetaType::Int) {
        // The engine takes colours as CSS text, the editor hands out 0x00BBGGRR.
        const int c = value.toInt();
        text = QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF).name();
    }
    call(QStringLiteral("document.execCommand(") + literal(command) + (showUi ? QStringLiteral(",true,") : QStringLiteral(",false,"))
         + literal(text) + QStringLiteral(");return true;"));
}
