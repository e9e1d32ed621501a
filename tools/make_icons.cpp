// Writes the program's icon into a hicolor icon theme folder, at the sizes desktops ask for.
//   make_icons FOLDER    writes FOLDER/SIZExSIZE/apps/quillonde.png
#include "ui/icon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons FOLDER\n");
        return 2;
    }
    for (const int size : quillonde::icon_sizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(folder) ||
            !quillonde::draw_icon(size).save(folder + QStringLiteral("/quillonde.png"))) {
            std::fprintf(stderr, "make_icons: cannot write into %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
