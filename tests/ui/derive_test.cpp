#include "ui/form1.h"

#include "temp_dir.h"
#include "ui/file_dialog.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;

class Derive : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.file_dialog().set_runner([this](const FileDialog::Request& request) {
            return request.save ? QString::fromStdString(out)
                                : QStringLiteral(QUILLONDE_TEST_DATA "/casts/") + cast;
        });
        window.set_error_presenter([this](const QString& message) { errors.push_back(message); });
        window.set_question_presenter([this](const QString& question) {
            questions.push_back(question);
            return yes;
        });
    }

    void load_and_export()
    {
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    }

    Form1 window;
    testing::TempDir dir;
    QString cast = QStringLiteral("rev183_utf8_partial.TOB");
    std::string out = dir.file("out.sva");
    bool yes = false;
    std::vector<QString> errors;
    std::vector<QString> questions;
};

TEST_F(Derive, NoWritesNothingAndYesWritesTheDerivedProfile)
{
    load_and_export();
    EXPECT_EQ(questions, std::vector<QString>{QStringLiteral(
                             "The cast has no SOUND column. Compute the sound velocity from Temp, SALIN and "
                             "Press after UNESCO 1983 (Chen and Millero) and write the profile?")});
    EXPECT_EQ(errors, std::vector<QString>{QStringLiteral("The data file has no column named \"SOUND\"")});
    EXPECT_FALSE(std::filesystem::exists(out));

    yes = true;
    load_and_export();
    EXPECT_EQ(errors.size(), 1U);
    EXPECT_EQ(read_file(out).substr(15, 35), "1.2\t1506.76\t13.87\t38.14\t45.14\t\r\n1.7");
}

} // namespace
} // namespace quillonde
