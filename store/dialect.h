// The provider dialect the catalogue is written in.
#pragma once

#include <QString>

// Rewrites the provider dialect of the catalogue ("Delete * from",
// "select top N …") into the engine's own; everything else passes as is.
QString jetToEngine(const QString &sql);
