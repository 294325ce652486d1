#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QString::fromUtf8("Corvane－【TavrinV4.0】"));
    QMainWindow w;
    w.setWindowTitle(QString::fromUtf8("Corvane【TavrinV4.0】"));
    w.resize(800, 570);
    w.show();
    return app.exec();
}
