// Entry point of the comparison program.
#include <QApplication>
#include <QDialog>
#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    QDialog wizard;
    wizard.setWindowTitle("Corvina");
    wizard.resize(720, 520);
    wizard.show();
    return app.exec();
}
