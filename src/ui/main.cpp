#include "ui/form1.h"
#include "ui/icon.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    // A write past a file-size limit, or to a pipe whose reader has gone, fails with an error box
    // instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillonde"));
    QApplication::setWindowIcon(quillonde::quillonde_icon());
    quillonde::Form1 window;
    window.show();
    return QApplication::exec();
}
