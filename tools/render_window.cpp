// Renders the window after a cast has been loaded into it, and the Profile window opened from it
// with SOUND, Temp and SALIN side by side, for the README's pictures.
//   render_window CAST OUTPUT.png [PROFILE.png]
#include "ui/file_dialog.h"
#include "ui/form1.h"
#include "ui/profile_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    // The picture shows the Profile window at its first size, whatever the user's settings say.
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toUtf8() + "/quillonde-render-window");
    QApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: render_window CAST OUTPUT.png [PROFILE.png]\n");
        return 2;
    }
    const QString cast = QString::fromLocal8Bit(argv[1]);
    quillonde::Form1 window;
    window.show();
    window.file_dialog().set_runner([&](const quillonde::FileDialog::Request&) { return cast; });
    window.choose_water(true, QStringLiteral("54")); // the cast is a sea cast
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    QTest::qWait(200); // let the window paint
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "render_window: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 4) {
        auto* list = window.findChild<QListWidget*>(QStringLiteral("List1"));
        const QPoint at =
            list->visualItemRect(list->findItems(QStringLiteral("SOUND"), Qt::MatchExactly).value(0))
                .center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        auto* profile = window.findChild<quillonde::ProfileWindow*>();
        auto* chooser = profile->findChild<QComboBox*>(QStringLiteral("chooser"));
        chooser->setCurrentIndex(0);
        emit chooser->activated(0);
        QTest::qWait(300);
        if (!profile->grab().save(QString::fromLocal8Bit(argv[3]))) {
            std::fprintf(stderr, "render_window: cannot write %s\n", argv[3]);
            return 1;
        }
    }
    return 0;
}
