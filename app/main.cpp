#include "application.h"
#include "app/startreport.h"
#include "book/book.h"
#include "book/bookadd.h"
#include "book/conadd.h"
#include "editor/editor.h"
#include "mainfrm.h"

int main(int argc, char *argv[])
{
    TApplication app(argc, argv);

    // The five forms, in this order, live until the program ends. The hidden
    // book page is never shown; every visible page is made for its tab.
    TForm1 Form1;
    TForm2 Form2;
    TForm3 bookAdd(&Form1);
    TForm4 unitAdd(&Form1);
    TForm5 templates(&Form1);
    // Measurement hook for velloran-bench: tells on stderr when the window
    // is first exposed and when the welcome page has loaded.
    if (qEnvironmentVariableIsSet("VELLORAN_REPORT_START"))
        new StartReport(&Form1, TForm2::welcomePage());

    Form1.show();
    return app.exec();
}
