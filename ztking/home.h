// Where the reader's library lives. A program folder of its own (a build, or
// `cmake --install` into a folder) keeps the library and its images beside
// the executable; an installed program, whose folder takes no writes, keeps
// them in the reader's data folder ($XDG_DATA_HOME/velloran), laid there
// fresh from what the package ships on the first start.
#pragma once

#include <QString>

// The folder holding vlbook.mdb and "images", with a separator at the end.
QString libraryHome();

// For an installed program: lays a fresh library and its shipped images in
// libraryHome() where they are missing; an existing one is never touched.
// Nothing to do for a program folder of its own. Raises EDatabaseError when
// the library cannot be laid.
void layLibraryHome();
