// The provider dialect the catalogue is written in.
#pragma once

#include <QString>

// Rewrites the provider dialect of the catalogue into the text the engine
// runs: "Delete * from" and "select top N …" become the engine's forms, and
// the conversions the catalogue wraps around columns (cstr(), cint()) give
// way to the plain column wherever the column's type makes them change
// nothing, so that the plain indexes serve every comparison and order.
// Quoted values are never touched.
QString jetToEngine(const QString &sql);
