#include "ui/command_line.h"
#include "ui/form1.h"
#include "ui/icon.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    if (!quillonde::display_available(argc, argv)) {
        return quillonde::run_without_display(argc, argv);
    }
    // A write past a file-size limit, or to a pipe whose reader has gone, fails with an error box
    // instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setWindowIcon(quillonde::quillonde_icon());
    const quillonde::StartOptions options = quillonde::start_options(QApplication::arguments());
    quillonde::Form1 window;
    if (options.salt) {
        window.choose_water(*options.salt, options.latitude);
    }
    window.show();
    window.open_cast_later(options.cast);
    return QApplication::exec();
}
