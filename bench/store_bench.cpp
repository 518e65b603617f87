// store_bench [books] [units]: lays a library of the given size in a
// temporary folder and prints the mean time of every catalogue statement.
#include "store/catalogue.h"
#include "store/connection.h"
#include "store/escape.h"
#include "ztking/ztking.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int books = args.value(1, QStringLiteral("5000")).toInt();
    const int units = args.value(2, QStringLiteral("50000")).toInt();
    QTextStream out(stdout);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("vlbook.mdb"));
    TADOConnection::CreateLibrary(path);
    TADOConnection c;
    c.ConnectionString = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
    c.Open();

    QElapsedTimer fill;
    fill.start();
    // 50 categories, the books spread under them; the units of each book in
    // chapters of ten pages.
    const QString page = Dataesc(QStringLiteral("<p>春眠不觉晓，处处闻啼鸟。夜来风雨声，花落知多少。</p>").repeated(20));
    c.BeginTrans();
    for (int i = 1; i <= 50; ++i)
        Ztking::Datado(&c, sqlcat::bookInsert("$", "分类" + QString::number(i), "FL", QString::number(i)), {});
    for (int i = 1; i <= books; ++i)
        Ztking::Datado(&c, sqlcat::bookInsert(QString::number(1 + i % 50), "书" + QString::number(i), "S",
                                              QString::number(i / 50 + 1)), {});
    int chapter = 0;
    for (int i = 0; i < units; ++i) {
        const QString book = QString::number(51 + i % books);
        if (i % 11 == 0) {
            Ztking::Datado(&c, sqlcat::unitInsert(book, "$", "章", "Z", QString::number(i / 11 + 1)), {});
            chapter = i + 1;
        } else {
            Ztking::Datado(&c, sqlcat::unitInsert(book, QString::number(chapter), "页", "Y", QString::number(i % 11)), {});
        }
    }
    c.CommitTrans();
    Ztking::Datado(&c, QStringLiteral("update units set ucon='") + page + "', ucontxt='春眠不觉晓 处处闻啼鸟'", {});
    out << "library: " << books << " books, " << units << " units, filled in " << fill.elapsed() << " ms\n";

    const QString b = QString::number(51 + books / 2), u = QString::number(units / 2), p = QStringLiteral("3");
    const QList<QPair<QString, QString>> reads = {
        {"1 level", sqlcat::booksLevel("7")},
        {"2 level, filtered", sqlcat::booksLevelFiltered("7", "书1")},
        {"4 place", sqlcat::bookPlace(b)},
        {"8 children", sqlcat::bookChildren("7")},
        {"9 position", sqlcat::bookPosition(b)},
        {"13 named", sqlcat::bookNamed("书7", "8")},
        {"14 last", sqlcat::bookLast("7")},
        {"16 units level", sqlcat::unitsLevel(b, "$")},
        {"17 units level, filtered", sqlcat::unitsLevelFiltered(b, "$", "啼鸟")},
        {"19 unit place", sqlcat::unitPlace(u)},
        {"22 unit children", sqlcat::unitChildren(u)},
        {"23 unit position", sqlcat::unitPosition(u)},
        {"27 unit last", sqlcat::unitLast(u)},
        {"29 newest unit", sqlcat::unitNewest()},
    };
    const QList<QPair<QString, QString>> writes = {
        {"3 rename", sqlcat::bookRename("书", "S", b)},
        {"5 close gap", sqlcat::booksCloseGap("999999", "7")},
        {"10 set position", sqlcat::bookSetPosition(b, p)},
        {"11 move down", sqlcat::bookMoveDown(b)},
        {"12 move up", sqlcat::bookMoveUp(b)},
        {"18 unit rename", sqlcat::unitRename("页", "Y", u)},
        {"20 unit close gap", sqlcat::unitsCloseGap("999999", "$")},
        {"24 unit set position", sqlcat::unitSetPosition(u, p)},
        {"25 unit move down", sqlcat::unitMoveDown(u)},
        {"26 unit move up", sqlcat::unitMoveUp(u)},
        {"30 save page", sqlcat::unitSave(page, "春眠", u)},
    };

    auto time = [&out](const QString &name, int runs, const std::function<void()> &f) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < runs; ++i)
            f();
        out << QStringLiteral("%1 %2 µs\n").arg(name, -28).arg(double(t.nsecsElapsed()) / runs / 1000.0, 10, 'f', 1);
    };
    out << "\nstatement                    mean\n";
    for (const auto &[name, sql] : reads) {
        time(name, 50, [&] {
            auto q = Ztking::Dataread(&c, sql, {});
            for (; !q->Eof(); q->Next())
                Ztking::Dataget(*q, q->FieldNames().first());
        });
    }
    for (const auto &[name, sql] : writes)
        time(name, 20, [&] { Ztking::Datado(&c, sql, {}); });
    return 0;
}
