#include "store/catalogue.h"

// Every statement of the program, fragment for fragment. The trailing blanks
// inside some fragments belong to them.
namespace sqlcat {

namespace {

// A stored text as the reader wrote it: the engine's own replace() takes the
// storage markers back out, so that a filter finds apostrophes and "go" in
// names, titles and page text.
QString asWritten(const char *column)
{
    return QStringLiteral("replace(replace(replace(replace(replace(%1,'&#8989',''''),'[G#O]','GO'),'[G#o]','Go'),"
                          "'[g#O]','gO'),'[g#o]','go')")
        .arg(QLatin1String(column));
}

// A filter text inside a quoted pattern: an apostrophe is doubled, so the
// text can never end the quotes; "%" and "_" keep their pattern meaning.
QString patternPiece(QString filter)
{
    return filter.replace(u'\'', QStringLiteral("''"));
}

// What the bookshelf and unit filters match: names or initials; titles,
// initials or page text.
QString bookMatch(const QString &filter)
{
    const QString f = patternPiece(filter);
    return "(" + asWritten("lbm") + " like '%" + f + "%' or lbmpy like '%" + f + "%')";
}

QString unitMatch(const QString &filter)
{
    const QString f = patternPiece(filter);
    return "(" + asWritten("utitle") + " like '%" + f + "%' or utpy like '%" + f + "%' or " + asWritten("ucontxt")
           + " like '%" + f + "%' )";
}

} // namespace

const QString NewPageDocument =
    QStringLiteral("<body style=\"font-family: 宋体; font-size: 10pt;margin:8px\"></body>");

QString booksLevel(const QString &parentKey)
{
    return "Select * from books where cstr(jb)='" + parentKey + "' order by cint(px)";
}

QString booksLevelFiltered(const QString &parentKey, const QString &filter)
{
    return "Select * from books where cstr(jb)='" + parentKey + "' and " + bookMatch(filter) + " order by cint(px)";
}

QString bookRename(const QString &name, const QString &initials, const QString &key)
{
    return "Update books set lbm='" + name + "',lbmpy='" + initials + "' where cstr(id)='" + key + "'";
}

QString bookPlace(const QString &key)
{
    return "select px,jb from books where cstr(id)='" + key + "' ";
}

QString booksCloseGap(const QString &position, const QString &parentKey)
{
    return "update books set px=cint(px)-1 where cint(px)>cint('" + position + "') and jb='" + parentKey + "' ";
}

QString bookDelete(const QString &key)
{
    return "Delete * from books where cstr(id)='" + key + "'";
}

QString bookUnitsDelete(const QString &key)
{
    return "Delete * from units where cstr(sc)='" + key + "'";
}

QString bookChildren(const QString &key)
{
    return "Select * from books where cstr(jb)='" + key + "'";
}

QString bookPosition(const QString &key)
{
    return "select px from books where cstr(id)='" + key + "'";
}

QString bookSetPosition(const QString &key, const QString &position)
{
    return "update books set px='" + position + "' where cstr(id)='" + key + "'";
}

QString bookMoveDown(const QString &key)
{
    return "update books set px=cint(px)+1 where cstr(id)='" + key + "'";
}

QString bookMoveUp(const QString &key)
{
    return "update books set px=cint(px)-1 where cstr(id)='" + key + "'";
}

QString bookNamed(const QString &name, const QString &parentKey)
{
    return "Select * from books where cstr(lbm)='" + name + "' and cstr(jb)='" + parentKey + "' ";
}

QString bookLast(const QString &parentKey)
{
    return "select top 1 * from books where cstr(jb)='" + parentKey + "' order by cint(px) desc";
}

QString bookInsert(const QString &parentKey, const QString &name, const QString &initials, const QString &position)
{
    return "Insert into books (jb,lbm,lbmpy,px)values('" + parentKey + "','" + name + "','" + initials + "','"
           + position + "')";
}

QString unitsLevel(const QString &bookKey, const QString &parentKey)
{
    return "Select * from units where cstr(sc)='" + bookKey + "' and cstr(jb)='" + parentKey + "' order by cint(px)";
}

QString unitsLevelFiltered(const QString &bookKey, const QString &parentKey, const QString &filter)
{
    return "Select * from units where cstr(sc)='" + bookKey + "' and cstr(jb)='" + parentKey + "' and "
           + unitMatch(filter) + " order by cint(px)";
}

QString unitRename(const QString &title, const QString &initials, const QString &key)
{
    return "Update units set utitle='" + title + "',utpy='" + initials + "' where cstr(id)='" + key + "'";
}

QString unitPlace(const QString &key)
{
    return "select px,jb from units where cstr(id)='" + key + "' ";
}

QString unitsCloseGap(const QString &position, const QString &parentKey)
{
    return "update units set px=cint(px)-1 where cint(px)>cint('" + position + "') and jb='" + parentKey + "' ";
}

QString unitDelete(const QString &key)
{
    return "Delete * from units where cstr(id)='" + key + "'";
}

QString unitChildren(const QString &key)
{
    return "Select * from units where cstr(jb)='" + key + "'";
}

QString unitPosition(const QString &key)
{
    return "select px from units where cstr(id)='" + key + "'";
}

QString unitSetPosition(const QString &key, const QString &position)
{
    return "update units set px='" + position + "' where cstr(id)='" + key + "'";
}

QString unitMoveDown(const QString &key)
{
    return "update units set px=cint(px)+1 where cstr(id)='" + key + "'";
}

QString unitMoveUp(const QString &key)
{
    return "update units set px=cint(px)-1 where cstr(id)='" + key + "'";
}

QString unitLast(const QString &parentKey)
{
    return "select top 1 * from units where cstr(jb)='" + parentKey + "' order by cint(px) desc";
}

QString unitInsert(const QString &bookKey, const QString &parentKey, const QString &title, const QString &initials,
                   const QString &position)
{
    return "Insert into units (sc,jb,utitle,utpy,ucon,ucontxt,ucpy,px)values('" + bookKey + "','" + parentKey + "','"
           + title + "','" + initials + "','" + NewPageDocument + "','','','" + position + "')";
}

QString unitNewest()
{
    return QStringLiteral("Select top 1 * from units order by id desc");
}

QString unitSave(const QString &document, const QString &plainText, const QString &key)
{
    return "Update units set ucon='" + document + "',ucontxt='" + plainText + "',ucpy='' where cstr(id)='" + key
           + "'";
}

} // namespace sqlcat

// Whole trees and whole subtrees in one statement each: what the levels
// above read node by node, read at once.
namespace sqlcat {

QString booksAll()
{
    return QStringLiteral("select id,jb,lbm,px from books order by cint(px),id");
}

QString booksMatching(const QString &filter)
{
    return "select id from books where jb<>'$' and " + bookMatch(filter);
}

QString unitsOfBook(const QString &bookKey)
{
    return "select id,jb,utitle,px from units where cstr(sc)='" + bookKey + "' order by cint(px),id";
}

QString unitsMatching(const QString &bookKey, const QString &filter)
{
    return "select id from units where cstr(sc)='" + bookKey + "' and jb<>'$' and " + unitMatch(filter);
}

QString booksMatchingAmong(const QStringList &keys, const QString &filter)
{
    return "select id from books where id in (" + keys.join(u',') + ") and " + bookMatch(filter);
}

QString unitsMatchingAmong(const QStringList &keys, const QString &filter)
{
    return "select id from units where id in (" + keys.join(u',') + ") and " + unitMatch(filter);
}

QString unitDocument(const QString &key)
{
    return "select ucon from units where cstr(id)='" + key + "'";
}

QString unitOwner(const QString &key)
{
    return "select sc,jb,px from units where cstr(id)='" + key + "'";
}

QString booksLevelPositions(const QString &parentKey)
{
    return "select id,px from books where cstr(jb)='" + parentKey + "' order by cint(px),id";
}

QString unitsLevelPositions(const QString &bookKey, const QString &parentKey)
{
    return "select id,px from units where cstr(sc)='" + bookKey + "' and cstr(jb)='" + parentKey
           + "' order by cint(px),id";
}

QString booksDelete(const QStringList &keys)
{
    return "Delete * from books where id in (" + keys.join(u',') + ")";
}

QString unitsDelete(const QStringList &keys)
{
    return "Delete * from units where id in (" + keys.join(u',') + ")";
}

QString unitsOfBooksDelete(const QStringList &bookKeys)
{
    return "Delete * from units where sc in ('" + bookKeys.join(QStringLiteral("','")) + "')";
}

QString chaptersOfBooks(const QStringList &bookKeys)
{
    return "select px from units where jb='$' and sc in ('" + bookKeys.join(QStringLiteral("','"))
           + "') order by cint(px) desc";
}

QString bookSubtree(const QString &key)
{
    return "with recursive sub(id) as (select id from books where cstr(id)='" + key
           + "' union all select b.id from books b join sub on b.jb=cast(sub.id as text)) select id from sub";
}

QString unitSubtree(const QString &key)
{
    return "with recursive sub(id) as (select id from units where cstr(id)='" + key
           + "' union all select u.id from units u join sub on u.jb=cast(sub.id as text)) select id from sub";
}

} // namespace sqlcat
