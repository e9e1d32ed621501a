// Renders the window after a cast has been loaded into it, for the README's picture.
//   render_window CAST OUTPUT.png
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_window CAST OUTPUT.png\n");
        return 2;
    }
    const QString cast = QString::fromLocal8Bit(argv[1]);
    quillonde::Form1 window;
    window.show();
    window.file_dialog().set_runner([&](const quillonde::FileDialog::Request&) { return cast; });
    window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QTest::qWait(200); // let the window paint
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "render_window: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
