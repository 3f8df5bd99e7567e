#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral(" Quillmere Ver9.22 "));
    QMainWindow window;
    window.show();
    return app.exec();
}
