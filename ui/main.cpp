#include "form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vr2710-demo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vr2710.Demo"));
    Form1 window;
    window.show();
    return app.exec();
}
