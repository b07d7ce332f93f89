// The baseline for the start-up benchmark: an empty Qt 6 window, built like the demo.
#include <QApplication>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(491, 313);
    window.show();
    return app.exec();
}
