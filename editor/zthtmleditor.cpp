#include "editor/editor.h"

#include "editor/docengine.h"
#include "editor/findbar.h"
#include "editor/toolicons.h"
#include "ztking/ztking.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSet>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWindow>

#include <algorithm>
#include <iterator>
#include <optional>

namespace {

const QString tukuToken = QStringLiteral("#Tuku\u00B7vostrelan#");
const QString titleToken = QStringLiteral("#mytitle#");

const char16_t *const fontNames[] = {
    u"宋体", u"黑体", u"楷体_GB2312", u"仿宋_GB2312", u"隶书", u"幼圆", u"微软雅黑", u"Tahoma", u"Arial",
    u"Arial Black", u"Arial Narrow", u"Brush Script MT", u"Century Gothic", u"Comic Sans MS", u"Courier",
    u"Courier New", u"MS Sans Serif", u"Script", u"System", u"Times New Roman", u"Verdana", u"Wide Latin",
    u"Webdings", u"Wingdings", u"Wingdings 2", u"Wingdings 3"};

struct BlockFormat
{
    const char16_t *item;
    const char *tag;
};
const BlockFormat blockFormats[] = {
    {u"普通", "P"},    {u"标题一", "H1"},   {u"标题二", "H2"},   {u"标题三", "H3"},   {u"标题四", "H4"},
    {u"标题五", "H5"}, {u"标题六", "H6"},   {u"段落", "p"},      {u"定义", "dd"},     {u"术语定义", "dt"},
    {u"目录列表", "dir"}, {u"菜单列表", "menu"}, {u"已编排格式", "PRE"}};

void inform(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

// A data: address has no file name; its media type gives one.
QString dataPictureName(const QString &address)
{
    const int end = address.indexOf(QRegularExpression(QStringLiteral("[;,]")));
    const QString type = address.mid(5, end < 0 ? -1 : end - 5).trimmed().toLower();
    QString ext = type.section(QLatin1Char('/'), 1).section(QLatin1Char('+'), 0, 0);
    if (ext == QLatin1String("jpeg"))
        ext = QStringLiteral("jpg");
    ext.remove(QRegularExpression(QStringLiteral("[^a-z0-9]")));
    return ext.isEmpty() ? QStringLiteral("picture") : QStringLiteral("picture.") + ext;
}

// The page names a copy by its plain path, so a name must not hold what a
// URL reads as query, fragment, escape or separator; a web address's query
// and fragment are no part of the file's name.
QString copyName(QString name, bool web)
{
    if (web)
        name = name.section(QLatin1Char('?'), 0, 0).section(QLatin1Char('#'), 0, 0);
    name.replace(QRegularExpression(QStringLiteral("[?#%\\\\]")), QStringLiteral("_"));
    return name.isEmpty() ? QStringLiteral("picture") : name;
}

bool startsWithCi(const QString &text, const char *prefix)
{
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

} // namespace

QString pathtourl(const QString &path)
{
    static const char *const escapes[][2] = {{"%", "%25"}, {" ", "%20"}, {"#", "%23"}, {"^", "%5E"},
                                             {"&", "%26"}, {"{", "%7B"}, {"}", "%7D"}, {"[", "%5B"},
                                             {"]", "%5D"}, {"'", "%27"}};
    QString s = path;
    for (const auto &e : escapes)
        s.replace(QLatin1String(e[0]), QLatin1String(e[1]));
    s.replace(QLatin1Char('\\'), QLatin1Char('/'));
    // An absolute path brings its own leading slash.
    return (s.startsWith(QLatin1Char('/')) ? QStringLiteral("file://") : QStringLiteral("file:///")) + s;
}

QString urlunescape(const QString &url)
{
    // One pass from the left, so that an escape that pathtourl made of a
    // name's own "%20" comes back as "%20", not as a blank.
    static const char *const escapes[][2] = {{"25", "%"}, {"20", " "}, {"23", "#"}, {"5E", "^"},
                                             {"26", "&"}, {"7B", "{"}, {"7D", "}"}, {"5B", "["},
                                             {"5D", "]"}, {"27", "'"}};
    QString s;
    s.reserve(url.size());
    for (int i = 0; i < url.size(); ++i) {
        if (url.at(i) == QLatin1Char('%') && i + 2 < url.size()) {
            const QStringView hex = QStringView(url).mid(i + 1, 2);
            const auto e = std::find_if(std::begin(escapes), std::end(escapes), [hex](const auto &x) {
                return hex.compare(QLatin1String(x[0]), Qt::CaseInsensitive) == 0;
            });
            if (e != std::end(escapes)) {
                s += QLatin1String((*e)[1]);
                i += 2;
                continue;
            }
        }
        s += url.at(i);
    }
    return s;
}

namespace {

QString tooLarge()
{
    return QStringLiteral("大于 %1 MB").arg(downfileLimit / (1024 * 1024));
}

bool copyLocal(const QString &path, const QString &file, QString *refused)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // A pipe or a device would never end, or never start.
    if (!info.isFile()) {
        if (refused)
            *refused = QStringLiteral("不是普通文件");
        return false;
    }
    if (info.size() > downfileLimit) {
        if (refused)
            *refused = tooLarge();
        return false;
    }
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    // A megabyte at a time; the file may have grown since it was measured.
    qint64 copied = 0;
    bool ok = true;
    while (ok) {
        const QByteArray chunk = in.read(qint64(1) << 20);
        if (chunk.isEmpty())
            break;
        copied += chunk.size();
        if (copied > downfileLimit) {
            if (refused)
                *refused = tooLarge();
            ok = false;
        } else {
            ok = out.write(chunk) == chunk.size();
        }
    }
    if (!ok || in.error() != QFileDevice::NoError || !out.flush()) {
        out.close();
        out.remove();
        return false;
    }
    return true;
}

} // namespace

bool downfile(const QString &url, const QString &file, int timeoutMs, QString *refused)
{
    if (QFileInfo::exists(file))
        return false;
    if (startsWithCi(url, "file://") || url.startsWith(QLatin1Char('/'))) {
        // Library addresses carry raw file names ("#" and "%" included), so
        // they are taken as paths, not parsed as URLs.
        QString path = startsWithCi(url, "file://") ? url.mid(7) : url;
        if (!QFileInfo::exists(path))
            path = QUrl::fromPercentEncoding(path.toUtf8());
        return copyLocal(path, file, refused);
    }
    const QUrl source(url);
    const QString scheme = source.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("data"))
        return false;
    // A data address holds its bytes: one that decodes to more than the
    // limit is refused before it is decoded.
    if (scheme == QLatin1String("data")) {
        const qsizetype comma = url.indexOf(u',');
        const qsizetype payload = comma < 0 ? 0 : url.size() - comma - 1;
        const bool base64 = comma > 0 && url.left(comma).endsWith(QLatin1String(";base64"), Qt::CaseInsensitive);
        if ((base64 ? payload / 4 * 3 : payload / 3) > downfileLimit) {
            if (refused)
                *refused = tooLarge();
            return false;
        }
    }
    // Streamed into a part file beside the target, a small buffer at a
    // time, so memory stays low whatever comes; a refusal or a failure
    // leaves nothing behind.
    QFile part(file + QStringLiteral(".part"));
    if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    QNetworkAccessManager nam;
    QNetworkRequest request(source);
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = nam.get(request);
    reply->setReadBufferSize(qint64(1) << 20);
    qint64 received = 0;
    bool tooBig = false;
    bool unwritten = false;
    // Stopped as soon as the picture is known to be too large: by the length
    // the server tells, or else by what has come.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, &tooBig] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > downfileLimit) {
            tooBig = true;
            reply->abort();
        }
    });
    const auto drain = [reply, &part, &received, &tooBig, &unwritten] {
        while (!tooBig && !unwritten && reply->bytesAvailable() > 0) {
            const QByteArray chunk = reply->read(qint64(1) << 20);
            received += chunk.size();
            if (received > downfileLimit) {
                tooBig = true;
                reply->abort();
            } else if (part.write(chunk) != chunk.size()) {
                unwritten = true;
                reply->abort();
            }
        }
    };
    QObject::connect(reply, &QNetworkReply::readyRead, reply, drain);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    // Paint events still run, so the window keeps drawing while we wait.
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (reply->isFinished() && reply->error() == QNetworkReply::NoError)
        drain();
    const bool whole = reply->isFinished() && reply->error() == QNetworkReply::NoError && !tooBig && !unwritten;
    if (!reply->isFinished())
        reply->abort();
    if (tooBig && refused)
        *refused = tooLarge();
    if (!whole || !part.flush()) {
        part.close();
        part.remove();
        return false;
    }
    part.close();
    // The target must still be free; the part file never replaces a file.
    if (!QFile::rename(part.fileName(), file)) {
        part.remove();
        return false;
    }
    return true;
}

const QString ZthtmleditorName = QStringLiteral("Zthtmleditorx1");

TZthtmleditorx::TZthtmleditorx(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pnl1 = new QWidget(this);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    layout->addWidget(pnl1);
    buildToolbars();

    pgc1 = new QTabWidget(this);
    pgc1->setObjectName(QStringLiteral("pgc1"));
    layout->addWidget(pgc1, 1);

    ts1 = new QWidget(pgc1);
    ts1->setObjectName(QStringLiteral("ts1"));
    auto *page1 = new QVBoxLayout(ts1);
    page1->setContentsMargins(0, 0, 0, 0);
    wb1 = new QWebEngineView(ts1);
    wb1->setObjectName(QStringLiteral("wb1"));
    m_doc = new TDocengine(wb1);
    m_doc->setObjectName(QStringLiteral("doc"));
    wb1->setPage(m_doc);
    page1->addWidget(wb1);
    m_find = new TFindbar(wb1, ts1);
    m_find->setObjectName(QStringLiteral("findbar"));
    page1->addWidget(m_find);

    ts2 = new QWidget(pgc1);
    ts2->setObjectName(QStringLiteral("ts2"));
    auto *page2 = new QVBoxLayout(ts2);
    page2->setContentsMargins(0, 0, 0, 0);
    mmo1 = new QPlainTextEdit(ts2);
    mmo1->setObjectName(QStringLiteral("mmo1"));
    mmo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mmo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    page2->addWidget(mmo1);

    pgc1->addTab(ts1, QString());
    pgc1->addTab(ts2, QStringLiteral("代码"));
    connect(pgc1, &QTabWidget::currentChanged, this, &TZthtmleditorx::pgc1Change);

    dlgColor1 = new QColorDialog(this);
    dlgColor1->setObjectName(QStringLiteral("dlgColor1"));
    dlgColor1->setOption(QColorDialog::DontUseNativeDialog);
    dlgInput1 = new QInputDialog(this);
    dlgInput1->setObjectName(QStringLiteral("dlgInput1"));

    // Until a host picks a view the editor reads: no toolbars, no code tab.
    pnl1->setFixedHeight(0);
    pnl1->hide();
    pgc1->setTabVisible(1, false);

    qApp->installEventFilter(this);
}

void TZthtmleditorx::buildToolbars()
{
    auto *rows = new QVBoxLayout(pnl1);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    tlb1 = new QToolBar(pnl1);
    tlb1->setObjectName(QStringLiteral("tlb1"));
    tlb2 = new QToolBar(pnl1);
    tlb2->setObjectName(QStringLiteral("tlb2"));
    for (QToolBar *bar : {tlb1, tlb2}) {
        bar->setIconSize(QSize(20, 20));
        bar->setFixedHeight(23);
        bar->setContentsMargins(0, 0, 0, 0);
        rows->addWidget(bar);
    }

    auto makeList = [this](QToolBar *bar, const char *name, int width) {
        auto *box = new QComboBox(bar);
        box->setObjectName(QLatin1String(name));
        box->setFixedWidth(width);
        box->setFocusPolicy(Qt::NoFocus);
        QPalette pal = box->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
        pal.setColor(QPalette::Button, pal.color(QPalette::ToolTipBase));
        box->setPalette(pal);
        bar->addWidget(box);
        return box;
    };
    cbb1 = makeList(tlb1, "cbb1", 113);
    for (const char16_t *name : fontNames)
        cbb1->addItem(QString::fromUtf16(name));
    cbb2 = makeList(tlb1, "cbb2", 48);
    for (int size = 1; size <= 7; ++size)
        cbb2->addItem(QString::number(size));
    tlb1->addSeparator();
    for (int n = 1; n <= 16; ++n) {
        addButton(tlb1, n);
        if (n == 6 || n == 10 || n == 12)
            tlb1->addSeparator();
    }

    cbb3 = makeList(tlb2, "cbb3", 113);
    for (const BlockFormat &f : blockFormats)
        cbb3->addItem(QString::fromUtf16(f.item));
    addButton(tlb2, 17);
    addButton(tlb2, 18);
    tlb2->addSeparator();
    addButton(tlb2, 19);

    // Only a choice by the user sends a command; setting an item in code does not.
    connect(cbb1, &QComboBox::activated, this, &TZthtmleditorx::cbb1Change);
    connect(cbb2, &QComboBox::activated, this, &TZthtmleditorx::cbb2Change);
    connect(cbb3, &QComboBox::activated, this, &TZthtmleditorx::cbb3Change);
}

void TZthtmleditorx::addButton(QToolBar *bar, int n)
{
    struct Tool
    {
        const char16_t *hint;
        const char *command;
        void (TZthtmleditorx::*click)();
    };
    static const Tool tools[19] = {
        {u"设置或取消文本加粗", "Bold", nullptr},
        {u"设置或取消文本斜体", "Italic", nullptr},
        {u"设置或取消文本下划线", "Underline", nullptr},
        {u"设置或取消文本删除线", "StrikeThrough", nullptr},
        {u"设置文本字体颜色", "ForeColor", &TZthtmleditorx::cxButton5Click},
        {u"设置文本背景色", "BackColor", &TZthtmleditorx::cxButton6Click},
        {u"设置文本左对齐", "JustifyLeft", nullptr},
        {u"设置文本居中", "JustifyCenter", nullptr},
        {u"设置文本右对齐", "JustifyRight", nullptr},
        {u"设置文本两端对齐", "JustifyFull", nullptr},
        {u"数字编号", "InsertOrderedList", nullptr},
        {u"项目编号", "InsertUnorderedList", nullptr},
        {u"插入图片", "InsertImage", &TZthtmleditorx::cxButton13Click},
        {u"插入超链接", "CreateLink", &TZthtmleditorx::cxButton14Click},
        {u"取消超链接", "Unlink", nullptr},
        {u"清除格式", "RemoveFormat", nullptr},
        {u"增加缩进量", "indent", nullptr},
        {u"减少缩进量", "outdent", nullptr},
        {u"粘贴纯文本", "paste", &TZthtmleditorx::cxButton19Click},
    };
    const Tool &tool = tools[n - 1];
    auto *button = new QToolButton(bar);
    button->setObjectName(QStringLiteral("cxButton%1").arg(n));
    button->setToolTip(QString::fromUtf16(tool.hint));
    button->setIcon(toolIcon(n));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(24, 21);
    button->setAutoRaise(true);
    // The focus, and with it the selection, stays in the document.
    button->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(button);
    if (tool.click) {
        connect(button, &QToolButton::clicked, this, tool.click);
    } else {
        const QString command = QLatin1String(tool.command);
        connect(button, &QToolButton::clicked, this, [this, command] { m_doc->execCommand(command, false, 1); });
    }
}

void TZthtmleditorx::cbb1Change(int index)
{
    m_doc->execCommand(QStringLiteral("fontname"), false, cbb1->itemText(index));
}

void TZthtmleditorx::cbb2Change(int index)
{
    m_doc->execCommand(QStringLiteral("fontsize"), false, cbb2->itemText(index));
}

void TZthtmleditorx::cbb3Change(int index)
{
    const QString item = cbb3->itemText(index);
    for (const BlockFormat &f : blockFormats) {
        if (item == QString::fromUtf16(f.item)) {
            m_doc->execCommand(QStringLiteral("FormatBlock"), false,
                               QLatin1Char('<') + QLatin1String(f.tag) + QLatin1Char('>'));
            return;
        }
    }
}

void TZthtmleditorx::sendColour(const QString &command)
{
    if (dlgColor1->exec() != QDialog::Accepted)
        return;
    const QColor c = dlgColor1->currentColor();
    m_doc->execCommand(command, false, int(c.red() | (c.green() << 8) | (c.blue() << 16)));
}

void TZthtmleditorx::cxButton5Click()
{
    sendColour(QStringLiteral("ForeColor"));
}

void TZthtmleditorx::cxButton6Click()
{
    sendColour(QStringLiteral("BackColor"));
}

void TZthtmleditorx::sendAddress(const QString &command, const QString &label)
{
    // The engine has no address dialog of its own.
    dlgInput1->setWindowTitle(QApplication::applicationDisplayName());
    dlgInput1->setLabelText(label);
    dlgInput1->setTextValue(QString());
    if (dlgInput1->exec() != QDialog::Accepted)
        return;
    const QString address = dlgInput1->textValue().trimmed();
    if (!address.isEmpty())
        m_doc->execCommand(command, false, address);
}

void TZthtmleditorx::cxButton13Click()
{
    sendAddress(QStringLiteral("InsertImage"), QStringLiteral("图片地址："));
}

void TZthtmleditorx::cxButton14Click()
{
    sendAddress(QStringLiteral("CreateLink"), QStringLiteral("链接地址："));
}

void TZthtmleditorx::cxButton19Click()
{
    // The engine's own paste cannot take a text, so the clipboard's plain
    // text goes in as typed text. An empty clipboard pastes nothing rather
    // than deleting the selection.
    const QString text = QApplication::clipboard()->text();
    if (!text.isEmpty())
        m_doc->execCommand(QStringLiteral("insertText"), false, text);
}

void TZthtmleditorx::selectFirstTab()
{
    const QSignalBlocker quiet(pgc1);
    pgc1->setCurrentIndex(0);
}

void TZthtmleditorx::EditView(bool EV, const QString &ETitle)
{
    m_doc->setDesignMode(EV);
    pnl1->setFixedHeight(EV ? 46 : 0);
    pnl1->setVisible(EV);
    pgc1->setTabText(0, EV ? QStringLiteral("编辑") : ETitle);
    // Hiding the code tab while it is open must not carry its text over.
    if (!EV && pgc1->currentIndex() == 1)
        selectFirstTab();
    pgc1->setTabVisible(1, EV);
    Editstate = EV;
}

QString TZthtmleditorx::expandTokens(const QString &v)
{
    // The library the token stands for is the one whose style sheets the
    // page may use.
    m_doc->setLibrary(Tuku);
    QString s = v;
    s.replace(tukuToken, pathtourl(Tuku), Qt::CaseInsensitive);
    if (!m_doc->designMode())
        s.replace(titleToken, WebTitle, Qt::CaseInsensitive);
    return s;
}

QString TZthtmleditorx::tokenizeLibrary(const QString &html) const
{
    // Without a library every file URL would turn into the token.
    if (Tuku.isEmpty())
        return html;
    QString s = html;
    s.replace(pathtourl(Tuku), tukuToken, Qt::CaseInsensitive);
    return s;
}

void TZthtmleditorx::htmlsetAll(const QString &v, const QString &EditorTitle, int lx)
{
    EditView(EditorTitle.isEmpty(), EditorTitle);
    const QString s = expandTokens(v);
    if (lx == 0)
        m_doc->loadHtml(s);
    else if (lx == 1)
        m_doc->loadUrl(QUrl::fromUserInput(s));
    m_find->forget();
}

bool TZthtmleditorx::readInPlace(const QString &html, const QString &EditorTitle)
{
    if (!Editstate || !m_doc->hasDocument() || html.contains(titleToken, Qt::CaseInsensitive))
        return false;
    WebTitle = EditorTitle;
    EditView(false, EditorTitle);
    m_find->forget();
    return true;
}

void TZthtmleditorx::retitle(const QString &html, const QString &EditorTitle)
{
    if (Editstate)
        return;
    WebTitle = EditorTitle;
    if (html.contains(titleToken, Qt::CaseInsensitive))
        htmlsetAll(html, EditorTitle, 0);
    else
        pgc1->setTabText(0, EditorTitle);
}

void TZthtmleditorx::htmlsetBody(const QString &v, const QString &EditorTitle)
{
    EditView(EditorTitle.isEmpty(), EditorTitle);
    const QString s = expandTokens(v);
    selectFirstTab();
    m_doc->write(s);
    m_find->forget();
}

namespace {

// Line breaks as the stored pages have them.
QString withCrLf(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return text;
}

} // namespace

QString TZthtmleditorx::htmlgetAll()
{
    return withCrLf(m_doc->documentHtml());
}

void TZthtmleditorx::htmlgetAllLater(QObject *context, std::function<void(const QString &)> done)
{
    // Every node of the document written as the engine's documentHtml
    // writes it, and its hyphen given back to each http-equiv the engine was
    // handed without one.
    static const QString script = QStringLiteral(
        "(function(){var out='',seen=false;"
        "for(var n=document.firstChild;n;n=n.nextSibling){var s;"
        "if(n.nodeType==1)s=n.outerHTML;"
        "else if(n.nodeType==8)s=/^\\?[^>]*$/.test(n.data)?'<'+n.data+'>':'<!--'+n.data+'-->';"
        "else if(n.nodeType==7)s='<?'+n.target+' '+n.data+'>';"
        "else s=new XMLSerializer().serializeToString(n);"
        "out+=(out&&!seen?'\\n':'')+s;"
        "if(n==document.documentElement)seen=true;}"
        "return out;})()");
    // The document's text is mended on a worker thread: on a page of a
    // megabyte that is more than a frame's time the window never waits.
    m_doc->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [alive = QPointer<QObject>(context), done = std::move(done)](const QVariant &v) {
                             if (!alive || v.typeId() != QMetaType::QString)
                                 return;
                             QThreadPool::globalInstance()->start([alive, raw = v.toString(), done] {
                                 const QRegularExpression inertHttpEquiv(QStringLiteral("(http)&#x0002d;(equiv)"),
                                                                         QRegularExpression::CaseInsensitiveOption);
                                 const QString html =
                                     withCrLf(QString(raw).replace(inertHttpEquiv, QStringLiteral("\\1-\\2")));
                                 // Handed back on the window's thread, unless the
                                 // context went meanwhile.
                                 QMetaObject::invokeMethod(
                                     qApp,
                                     [alive, done, html] {
                                         if (alive)
                                             done(html);
                                     },
                                     Qt::QueuedConnection);
                             });
                         });
}

QString TZthtmleditorx::htmlgetAllx()
{
    return tokenizeLibrary(htmlgetAll());
}

QString TZthtmleditorx::htmlgetBody()
{
    selectFirstTab();
    return m_doc->bodyHtml();
}

QString TZthtmleditorx::htmlgetBodyx()
{
    return tokenizeLibrary(htmlgetBody());
}

QString TZthtmleditorx::htmlgetBodytxt()
{
    selectFirstTab();
    return m_doc->bodyText();
}

void TZthtmleditorx::highlightHits(const QStringList &words)
{
    m_doc->markHits(words);
}

int TZthtmleditorx::highlightedHits()
{
    return m_doc->hitCount();
}

void TZthtmleditorx::pgc1Change(int index)
{
    if (index == 0) {
        m_doc->setBodyHtml(mmo1->toPlainText());
        m_doc->setDesignMode(true);
    } else if (index == 1) {
        mmo1->setPlainText(m_doc->bodyHtml());
    }
}

void TZthtmleditorx::FormShow()
{
    // Hosts may have loaded a page before the editor was first shown; that
    // page stays.
    if (!m_doc->hasDocument())
        m_doc->loadUrl(QUrl(QStringLiteral("about:blank")));
    cbb1->setCurrentIndex(0);
    cbb2->setCurrentIndex(1);
    cbb3->setCurrentIndex(0);
    wb1->setFocus();
}

void TZthtmleditorx::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Shown again whenever its tab comes to the front; the page must stay.
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

bool TZthtmleditorx::eventFilter(QObject *watched, QEvent *event)
{
    // Watched at the window, before the application hands the focus to the
    // widget under the mouse, so that the focus can still be judged.
    if (event->type() == QEvent::MouseButtonPress && watched->isWindowType() && wb1->isVisible()) {
        const auto *press = static_cast<QMouseEvent *>(event);
        QWidget *top = wb1->window();
        if ((press->button() == Qt::LeftButton || press->button() == Qt::RightButton)
            && top->windowHandle() == watched) {
            QWidget *hit = top->childAt(top->mapFromGlobal(press->globalPosition().toPoint()));
            QWidget *focus = QApplication::focusWidget();
            if (hit && (hit == wb1 || wb1->isAncestorOf(hit)) && focus && focus != wb1
                && !wb1->isAncestorOf(focus)) {
                // The first click only brings the keyboard into the document.
                wb1->setFocus(Qt::MouseFocusReason);
                m_doc->focusWindow();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TZthtmleditorx::savepic(const QString &v)
{
    selectFirstTab();
    if (Tuku.isEmpty()) {
        inform(this, QStringLiteral("请先设置图库路径[例如：Tuku=zteditor\\pic]！"));
        return;
    }
    if (!QFileInfo(Tuku).isDir()) {
        inform(this, QStringLiteral("请建立文件夹：") + Tuku + QStringLiteral("\r\n") + QStringLiteral("否则无法保存图片！"));
        return;
    }
    // Library pictures come back as the file URL of the library or, once
    // copied here, as plain paths.
    const QString libraryUrl = urlunescape(pathtourl(Tuku)) + QLatin1Char('/');
    const QString libraryPath = Tuku + QLatin1Char('/');
    // Only the pictures' sources go to and fro: the body of a large page
    // written back whole would be parsed and laid out again.
    const QStringList sources = m_doc->pictureSources();
    QHash<QString, QString> copies;
    QSet<QString> handled;
    // Pictures whose source was refused, with the reason, told once at the end.
    QStringList refused;
    std::optional<QProgressDialog> progress;
    int done = 0;
    for (const QString &src : sources) {
        ++done;
        if (handled.contains(src.toLower()))
            continue;
        handled.insert(src.toLower());
        const QString dec = urlunescape(src);
        if (dec.startsWith(libraryUrl) || dec.startsWith(libraryPath))
            continue;
        QString name;
        if (startsWithCi(dec, "data:")) {
            name = dataPictureName(dec);
        } else {
            name = Ztking::gst(dec, QStringLiteral("/"), 1, -1, 300, 0);
            if (name == Ztking::Failtext)
                name = Ztking::gst(dec, QStringLiteral("\\"), 1, -1, 300, 0);
            if (name == Ztking::Failtext)
                continue;
            name = copyName(name, startsWithCi(dec, "http://") || startsWithCi(dec, "https://"));
        }
        // A copy never replaces a picture already in the library.
        QString target;
        for (int tries = 0; tries < 100 && (target.isEmpty() || QFileInfo::exists(target)); ++tries)
            target = Tuku + QLatin1Char('/') + v + QLatin1Char('_') + Ztking::sjm(5) + name;
        if (QFileInfo::exists(target))
            continue;
        if (startsWithCi(dec, "http://") || startsWithCi(dec, "https://")) {
            if (!progress) {
                progress.emplace(QString(), QString(), 0, int(sources.size()), this);
                progress->setWindowTitle(QApplication::applicationDisplayName());
                progress->setWindowModality(Qt::WindowModal);
                progress->setMinimumDuration(0);
            }
            progress->setLabelText(QStringLiteral("正在获取图片：") + dec);
            progress->setValue(done - 1);
        }
        QString why;
        if (!downfile(dec, target, 30000, &why)) {
            if (!why.isEmpty())
                refused << dec + QStringLiteral("（") + why + QStringLiteral("）");
            continue;
        }
        copies.insert(src.toLower(), target);
    }
    if (!copies.isEmpty())
        m_doc->setPictureSources(copies);
    if (!refused.isEmpty())
        inform(this, QStringLiteral("这些图片没有复制到图库：\r\n") + refused.join(QStringLiteral("\r\n")));
}
