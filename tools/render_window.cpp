// Renders the window after a cast has been loaded into it, and the Profile window opened from it
// with SOUND, Temp and SALIN side by side, for the README's pictures; optionally over a reference
// cast and at a given size ("min" for the smallest the window allows). RENDER_SECTION=N loads the
// Nth section of a file of many casts, RENDER_BIN=METRES bins the profile, RENDER_OUT=PATH names the
// export's target (its format is the one the plot shows).
//   render_window CAST OUTPUT.png [PROFILE.png [REFERENCE|- [WIDTHxHEIGHT|min]]]
#include "ui/file_dialog.h"
#include "ui/form1.h"
#include "ui/profile_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    // The picture shows the Profile window at its first size, whatever the user's settings say.
    const QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    QApplication app(argc, argv);
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr,
                     "usage: render_window CAST OUTPUT.png [PROFILE.png [REFERENCE [WIDTHxHEIGHT|min]]]\n");
        return 2;
    }
    const QString cast = QString::fromLocal8Bit(argv[1]);
    quillonde::Form1 window;
    window.show();
    window.file_dialog().set_runner([&](const quillonde::FileDialog::Request&) { return cast; });
    window.choose_water(true, QStringLiteral("54")); // the cast is a sea cast
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    if (const int section = qEnvironmentVariableIntValue("RENDER_SECTION"); section > 0) {
        auto* sections = window.findChild<QComboBox*>(QStringLiteral("sections"));
        sections->setCurrentIndex(section - 1);
        emit sections->activated(section - 1);
    }
    if (qEnvironmentVariableIsSet("RENDER_OUT")) {
        window.findChild<QLineEdit*>(QStringLiteral("tx_out"))->setText(qEnvironmentVariable("RENDER_OUT"));
    }
    QTest::qWait(200); // let the window paint
    if (!window.grab().save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "render_window: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc >= 4) {
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
        // RENDER_STEPS="drop_soak despike" ticks those boxes of the steps.
        for (const QString& box :
             qEnvironmentVariable("RENDER_STEPS").split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            profile->findChild<QCheckBox*>(box)->setChecked(true);
        }
        if (qEnvironmentVariableIsSet("RENDER_BIN")) {
            profile->findChild<QDoubleSpinBox*>(QStringLiteral("bin"))
                ->setValue(qEnvironmentVariable("RENDER_BIN").toDouble());
        }
        if (argc >= 5 && std::string_view(argv[4]) != "-" && !profile->load_reference(argv[4])) {
            return 1;
        }
        if (argc == 6) {
            const QStringList size = QString::fromLocal8Bit(argv[5]).split(QLatin1Char('x'));
            profile->resize(size.size() == 2 ? QSize(size[0].toInt(), size[1].toInt())
                                             : profile->minimumSizeHint());
        }
        QTest::qWait(300);
        std::printf("render_window: the Profile window is %dx%d at %d,%d on a free screen area of %dx%d\n",
                    profile->frameGeometry().width(), profile->frameGeometry().height(),
                    profile->frameGeometry().x(), profile->frameGeometry().y(),
                    profile->screen()->availableGeometry().width(),
                    profile->screen()->availableGeometry().height());
        if (!profile->grab().save(QString::fromLocal8Bit(argv[3]))) {
            std::fprintf(stderr, "render_window: cannot write %s\n", argv[3]);
            return 1;
        }
    }
    return 0;
}
