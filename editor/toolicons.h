// The 20 by 20 pictures of the formatting buttons, drawn in code so that the
// toolbar needs no image files.
#pragma once

#include <QIcon>

// The picture of button cxButton<n>, n from 1 to 19.
QIcon toolIcon(int n);
