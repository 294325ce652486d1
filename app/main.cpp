#include "AppInfo.h"
#include "Startup.h"
#include "Unit1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(applicationTitle());
    createApplication(QDir(QCoreApplication::applicationDirPath()).filePath("data"));
    MainForm->show();
    const int rc = app.exec();
    destroyApplication();
    return rc;
}
