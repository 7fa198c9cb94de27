// Program entry: the application, its windows in their order, the loop.
#include "app/Application.h"
#include "app/Unit1.h"

int main(int argc, char** argv)
{
    PictavoApplication app(argc, argv);
    createWindows(app.arguments().mid(1));
    frmMain->show();
    const int rc = app.exec();
    destroyWindows();
    return rc;
}
