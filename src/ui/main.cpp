#include "ui/form1.h"
#include "ui/icon.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillonde"));
    QApplication::setWindowIcon(quillonde::quillonde_icon());
    quillonde::Form1 window;
    window.show();
    return QApplication::exec();
}
