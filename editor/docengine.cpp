#include "editor/docengine.h"

#include "editor/editor.h"

#include <QColor>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
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

// The marks of search hits, for any script that makes, counts or reads past
// them. vlFold makes letter case and full-width forms alike without changing
// a text's length, so that a place in the folded text is the same place in
// the text. vlUnmark puts each mark's children in its place and, with join,
// rejoins the text it had split. vlBare is node without marks: a copy, so
// that the page goes on showing them while it is read.
const QString &hitFunctions()
{
    static const QString js = QStringLiteral(R"JS(
function vlFold(s){
 var l=s.toLowerCase();
 if(l.length!=s.length){l='';for(var i=0;i<s.length;i++){var c=s[i].toLowerCase();l+=c.length==1?c:s[i];}}
 return l.replace(/[\uFF01-\uFF5E]/g,function(c){return String.fromCharCode(c.charCodeAt(0)-0xFEE0);});
}
function vlUnmark(root,sel,join){
 var parents=new Set();
 root.querySelectorAll(sel).forEach(function(m){
  var p=m.parentNode;
  while(m.firstChild)p.insertBefore(m.firstChild,m);
  p.removeChild(m);parents.add(p);
 });
 if(join)parents.forEach(function(p){p.normalize();});
}
function vlBare(node,sel){
 if(!node.querySelector(sel))return node;
 var copy=node.cloneNode(true);vlUnmark(copy,sel,false);return copy;
}
function vlMark(words,token,sel){
 var keys=[];
 words.forEach(function(w){w=vlFold(w);if(w&&keys.indexOf(w)<0)keys.push(w);});
 if(!keys.length||!document.body)return;
 var walk=document.createTreeWalker(document.body,NodeFilter.SHOW_TEXT),nodes=[],n;
 while((n=walk.nextNode())){
  var p=n.parentNode;
  // Text that is not shown as text, or where a mark would not show.
  if(p.namespaceURI=='http://www.w3.org/1999/xhtml'&&!p.closest('script,style,textarea,select,iframe,noembed,noframes'))
   nodes.push(n);
 }
 nodes.forEach(function(node){
  var text=vlFold(node.data),hits=[],kept=[],end=0;
  keys.forEach(function(k){for(var at=text.indexOf(k);at>=0;at=text.indexOf(k,at+k.length))hits.push([at,at+k.length]);});
  // Of hits that overlap, the one that starts first wins, then the longer.
  hits.sort(function(a,b){return a[0]-b[0]||b[1]-a[1];});
  hits.forEach(function(h){if(h[0]>=end){kept.push(h);end=h[1];}});
  if(!kept.length)return;
  // The node gives way to its pieces all at once: one change to the page
  // per text rather than per hit.
  var pieces=document.createDocumentFragment(),at=0;
  kept.forEach(function(h){
   if(h[0]>at)pieces.appendChild(document.createTextNode(node.data.slice(at,h[0])));
   var mark=document.createElement('mark');
   mark.setAttribute('data-vlhit',token);
   mark.style.backgroundColor='yellow';
   mark.style.color='black';
   mark.textContent=node.data.slice(h[0],h[1]);
   pieces.appendChild(mark);
   at=h[1];
  });
  if(at<node.data.length)pieces.appendChild(document.createTextNode(node.data.slice(at)));
  node.parentNode.replaceChild(pieces,node);
 });
 var first=document.querySelector(sel);
 if(first)first.scrollIntoView({block:'center'});
}
)JS");
    return js;
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

namespace {

int waitDepth = 0;

} // namespace

EngineWaits *EngineWaits::instance()
{
    static EngineWaits *one = new EngineWaits;
    return one;
}

bool EngineWaits::active()
{
    return waitDepth > 0;
}

void EngineWaits::whenIdle(QObject *context, std::function<void()> f)
{
    QTimer::singleShot(0, context, [context, f = std::move(f)]() mutable {
        if (!active()) {
            f();
            return;
        }
        // Inside a wait's loop: once the waits in progress end, try again.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(instance(), &EngineWaits::ended, context, [context, f, connection]() mutable {
            disconnect(*connection);
            whenIdle(context, std::move(f));
        });
    });
}

EngineWaits::Hold::Hold()
{
    ++waitDepth;
}

EngineWaits::Hold::~Hold()
{
    if (--waitDepth == 0)
        emit instance()->ended();
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
    {
        const EngineWaits::Hold waiting;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
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
    {
        const EngineWaits::Hold waiting;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_navigating = false;
    disconnect(done);
    disconnect(died);
    if (!finished)
        throw EditorError(QStringLiteral("文档在 %1 毫秒内没有载入：").arg(m_timeout) + url.toString());
    ++m_loads;
    m_hitToken.clear();
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
    QString unmark;
    // Marks left in an editable document would be saved with it.
    if (on && !m_hitToken.isEmpty())
        unmark = hitFunctions() + QStringLiteral("vlUnmark(document,") + literal(hitSelector()) + QStringLiteral(",true);");
    m_design = on;
    call(unmark + QStringLiteral("document.designMode=") + (on ? QStringLiteral("'on'") : QStringLiteral("'off'"))
         + QStringLiteral(";return true;"));
    if (on)
        m_hitToken.clear();
}

QString TDocengine::hitSelector() const
{
    return QStringLiteral("mark[data-vlhit=\"%1\"]").arg(m_hitToken);
}

QString TDocengine::withoutHits(const QString &node) const
{
    if (m_hitToken.isEmpty())
        return node;
    return QStringLiteral("vlBare(") + node + QLatin1Char(',') + literal(hitSelector()) + QLatin1Char(')');
}

void TDocengine::markHits(const QStringList &words)
{
    if (m_design)
        return;
    QString script = hitFunctions();
    if (!m_hitToken.isEmpty())
        script += QStringLiteral("vlUnmark(document,") + literal(hitSelector()) + QStringLiteral(",true);");
    // A value of its own for each round, so that a mark a page kept from a
    // copy of an earlier round is the page's own, never taken for a hit.
    m_hitToken = QString::number(QRandomGenerator::global()->generate64(), 36);
    QStringList list;
    for (const QString &w : words)
        list << literal(w);
    call(script + QStringLiteral("vlMark([") + list.join(QLatin1Char(',')) + QStringLiteral("],") + literal(m_hitToken)
         + QLatin1Char(',') + literal(hitSelector()) + QStringLiteral(");return true;"));
}

int TDocengine::hitCount()
{
    if (m_hitToken.isEmpty())
        return 0;
    return call(QStringLiteral("return document.querySelectorAll(") + literal(hitSelector()) + QStringLiteral(").length;"))
        .toInt();
}

bool TDocengine::designMode()
{
    return call(QStringLiteral("return document.designMode;")).toString() == QLatin1String("on");
}

QString TDocengine::bodyHtml()
{
    return restored(call(hitFunctions() + QStringLiteral("return document.body?") + withoutHits(QStringLiteral("document.body"))
                         + QStringLiteral(".innerHTML:'';"))
                        .toString());
}

void TDocengine::setBodyHtml(const QString &html)
{
    call(QStringLiteral("if(!document.body)document.documentElement.appendChild(document.createElement('body'));"
                        "document.body.innerHTML=")
         + literal(inert(html)) + QStringLiteral(";return true;"));
    m_hitToken.clear();
}

QString TDocengine::bodyText()
{
    // Marks are inline and leave the text as it was.
    return restored(call(QStringLiteral("return document.body?document.body.innerText:'';")).toString());
}

QStringList TDocengine::pictureSources()
{
    return call(QStringLiteral("var out=[];if(document.body){var im=document.body.getElementsByTagName('img');"
                               "for(var i=0;i<im.length;i++){var s=im[i].getAttribute('src');if(s!==null)out.push(s);}}"
                               "return out;"))
        .toStringList();
}

void TDocengine::setPictureSources(const QHash<QString, QString> &sources)
{
    QString map;
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        map += QStringLiteral("m[") + literal(it.key()) + QStringLiteral("]=") + literal(it.value()) + u';';
    call(QStringLiteral("var m=Object.create(null);") + map
         + QStringLiteral("var im=document.body?document.body.getElementsByTagName('img'):[];"
                          "for(var i=0;i<im.length;i++){var s=im[i].getAttribute('src');"
                          "if(s!==null&&(s.toLowerCase() in m))im[i].setAttribute('src',m[s.toLowerCase()]);}"
                          "return true;"));
}

QString TDocengine::documentHtml()
{
    // Every node of the document. Those before <html> stand one a line; those
    // after it follow at once, since a line break there would move them into
    // the body when the page is read again. The parser keeps a processing
    // instruction as a comment that starts with "?"; it is written back as it
    // came, which parses to that same comment again.
    return restored(call(hitFunctions()
                         + QStringLiteral("var out='',seen=false;"
                                          "for(var n=document.firstChild;n;n=n.nextSibling){"
                                          "var s;"
                                          "if(n.nodeType==1)s=")
                         + withoutHits(QStringLiteral("n"))
                         + QStringLiteral(".outerHTML;"
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
    m_hitToken.clear();
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
