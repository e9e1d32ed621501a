#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/icon.h"

#include <QApplication>

int main(int argc, char** argv)
{
    if (!quillonde::display_available(argc, argv)) {
        return quillonde::run_without_display(argc, argv);
    }
    QApplication app(argc, argv);
    QApplication::setWindowIcon(quillonde::quillonde_icon());
    const QString cast = quillonde::cast_argument(QApplication::arguments());
    quillonde::Form1 window;
    window.show();
    window.open_cast_later(cast);
    return QApplication::exec();
}
