// Entry point of the script runner.
#include <QApplication>
#include <QMainWindow>
#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    QMainWindow frame;
    frame.setWindowTitle("CrvConsole");
    frame.resize(800, 600);
    frame.show();
    return app.exec();
}
