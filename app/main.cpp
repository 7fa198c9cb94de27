// Program entry: the application, its windows in their order, the loop.
#include "app/Application.h"
#include "app/Unit1.h"
#include "help/StoHtmlHelp.h"

int main(int argc, char** argv)
{
    PictavoApplication app(argc, argv);
    // The help file's fixed path; the help binding maps it into our folder.
    htmlHelpViewer().setApplicationHelpFile(QStringLiteral("F:\\Programs\\PVX\\help\\Help.CHM"));
    createWindows(app.arguments().mid(1));
    frmMain->show();
    const int rc = app.exec();
    destroyWindows();
    return rc;
}
