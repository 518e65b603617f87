// The process-wide connection every statement of the program runs on. The
// main window opens it when first shown and releases it when it closes.
#pragma once

class TADOConnection;

extern TADOConnection *Adoconn;
