#include "ui/form1.h"

#include "temp_dir.h"
#include "ui/file_dialog.h"

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;
using testing::TempDir;

const QString casts = QStringLiteral(QUILLONDE_TEST_DATA "/casts/");
const QString sound_question =
    QStringLiteral("The cast has no SOUND column. Compute the sound velocity from Temp, SALIN and Press "
                   "after UNESCO 1983 (Chen and Millero) and write the profile?");

class DeriveWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.file_dialog().set_runner([this](const FileDialog::Request& request) {
            requests.push_back(request);
            return dialog_answer;
        });
        window.set_error_presenter([this](const QString& message) { errors.push_back(message); });
        window.set_question_presenter([this](const QString& question) {
            questions.push_back(question);
            return yes;
        });
    }

    /// Loads `cast` and exports it to `name` in the test's folder through the dialogs.
    std::string load_and_export(const QString& cast, const std::string& name)
    {
        dialog_answer = casts + cast;
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        dialog_answer = QString::fromStdString(dir.file(name));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
        return dir.file(name);
    }

    Form1 window;
    TempDir dir;
    QString dialog_answer;
    bool yes = false;
    std::vector<FileDialog::Request> requests;
    std::vector<QString> errors;
    std::vector<QString> questions;
};

TEST_F(DeriveWindow, NoWritesNothingAndYesWritesWhatTheBatchToolDerives)
{
    const std::string path = load_and_export(QStringLiteral("rev183_utf8_partial.TOB"), "partial.sva");
    EXPECT_EQ(questions, std::vector<QString>{sound_question});
    EXPECT_EQ(errors, std::vector<QString>{QStringLiteral("The data file has no column named \"SOUND\"")});
    EXPECT_EQ(requests.size(), 1U); // the load's dialog only
    EXPECT_FALSE(std::filesystem::exists(path));

    yes = true;
    errors.clear();
    load_and_export(QStringLiteral("rev183_utf8_partial.TOB"), "partial.sva");
    EXPECT_EQ(questions.size(), 2U);
    EXPECT_TRUE(errors.empty());
    QProcess batch;
    batch.start(QStringLiteral(QUILLONDE_CLI),
                {"convert", "--fresh", "--derive", "-o", QString::fromStdString(dir.file("batch.sva")),
                 casts + "rev183_utf8_partial.TOB"});
    ASSERT_TRUE(batch.waitForFinished(10000));
    EXPECT_EQ(batch.exitCode(), 0);
    const std::string file = read_file(path);
    const std::string first_lines = ".profile  1\r\n\r\n1.2\t1506.76\t13.87\t38.14\t45.14\t\r\n";
    EXPECT_EQ(file.substr(0, first_lines.size()), first_lines);
    EXPECT_EQ(read_file(dir.file("batch.sva")), file);
}

TEST_F(DeriveWindow, ACastWithEveryColumnAsksNothingAndWritesWhatItWroteBefore)
{
    window.findChild<QRadioButton*>(QStringLiteral("op_salt"))->setChecked(true);
    window.findChild<QLineEdit*>(QStringLiteral("tx_lat"))->setText(QStringLiteral("54"));
    const std::string path = load_and_export(QStringLiteral("rev205_deneb.TOB"), "deneb.sva");
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(read_file(path), read_file(QUILLONDE_TEST_DATA "/profiles/rev205_deneb_salt54.sva"));
}

} // namespace
} // namespace quillonde
