#include "testsupport.h"

#include "store/xcom.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMetaEnum>
#include <QPushButton>
#include <QTest>

BoxAnswerer::BoxAnswerer(QMessageBox::StandardButton answer, QObject *parent)
    : QObject(parent)
    , reply(answer)
{
    qApp->installEventFilter(this);
}

void BoxAnswerer::setAnswer(QMessageBox::StandardButton answer)
{
    reply = answer;
}

void BoxAnswerer::expect(QDialog *dialog, std::function<void()> answer)
{
    dialogs.append({dialog, std::move(answer)});
}

bool BoxAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show || !watched->isWidgetType())
        return false;
    // Posted, not called: exec() shows the dialog before it starts its event
    // loop, and a dialog closed before that loop starts waits in it for ever.
    for (qsizetype i = 0; i < dialogs.size(); ++i) {
        if (dialogs.at(i).first == watched) {
            QMetaObject::invokeMethod(qobject_cast<QDialog *>(watched), dialogs.takeAt(i).second, Qt::QueuedConnection);
            return false;
        }
    }
    if (auto *box = qobject_cast<QMessageBox *>(watched)) {
        QMetaObject::invokeMethod(
            this, [this, box = QPointer<QMessageBox>(box)] {
                if (box)
                    answerBox(box);
            },
            Qt::QueuedConnection);
    }
    return false;
}

void BoxAnswerer::answerBox(QMessageBox *box)
{
    titles << box->windowTitle();
    texts << box->text();
    defaults << box->standardButton(box->defaultButton());
    icons << box->icon();
    const QMessageBox::StandardButton answer = next.isEmpty() ? reply : next.takeFirst();
    if (QAbstractButton *button = box->button(answer)) {
        button->click();
        return;
    }
    // A button the box does not have is the test's mistake; the box still
    // goes, so that the test ends on this failure instead of hanging.
    const QByteArray name = QMetaEnum::fromType<QMessageBox::StandardButtons>().valueToKeys(answer);
    QTest::qFail(qPrintable(QStringLiteral("the box \"%1\" has no button %2").arg(box->text(), QLatin1String(name))),
                 __FILE__, __LINE__);
    box->reject();
}

QStringList firstColumn(TADOConnection *db, const QString &sql)
{
    TADOQuery q(db);
    q.SQL = sql;
    q.Open();
    QStringList out;
    for (; !q.Eof(); q.Next())
        out << q.FieldByName(q.FieldNames().first());
    return out;
}

TempLibrary::TempLibrary()
    : previous(Adoconn)
{
    // An invalid folder's file path would name a file in the working folder.
    if (!dir.isValid())
        throw EDatabaseError(QStringLiteral("No temporary folder for a library: ") + dir.errorString());
    TADOConnection::CreateLibrary(path());
    conn.ConnectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path();
    conn.Open();
    Adoconn = &conn;
}

TempLibrary::~TempLibrary()
{
    Adoconn = previous;
}

QString TempLibrary::folder() const
{
    return dir.path();
}

QString TempLibrary::path() const
{
    return dir.filePath(QStringLiteral("vlbook.mdb"));
}

TADOConnection *TempLibrary::connection()
{
    return &conn;
}
