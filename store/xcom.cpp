#include "store/xcom.h"

// The process-wide variables. They live with the store rather than with the
// program's entry so that the book pages, which run every statement on the
// connection, can reach it without depending on the main window.
TADOConnection *Adoconn = nullptr;
