// A close request that comes while the window reads one very long line ends the program at once.
#include "temp_dir.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace quillonde {
namespace {

TEST(LongLine, ACloseRequestInTheMiddleOfALongLineEndsTheProgram)
{
    testing::TempDir dir;
    const std::string path = dir.file("long.TOB");
    {
        std::ofstream cast(path, std::ios::binary);
        cast << "Lines : 3\n; Datasets Press Temp Cond SALIN SOUND\n1 ";
        const std::string block(std::size_t{1} << 20, '7');
        for (int mib = 0; mib < 200; ++mib) {
            cast << block;
        }
        cast << "\n";
    }
    Form1 window;
    window.file_dialog().set_runner([&](const FileDialog::Request&) { return QString::fromStdString(path); });
    std::vector<QString> errors;
    window.set_error_presenter([&](const QString& text) { errors.push_back(text); });
    window.show();

    QElapsedTimer since_close;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] { // at the load's first event round, within the long line
            since_close.start();
            window.close();
        });
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    });
    QTimer::singleShot(20'000, [] { QCoreApplication::exit(1); }); // a load that never gave a round
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_LT(since_close.elapsed(), 1000);
    EXPECT_TRUE(errors.empty());
    EXPECT_FALSE(window.isVisible());
    EXPECT_GE(window.event_rounds(), 1);
}

} // namespace
} // namespace quillonde
