#include "ui/form1.h"

#include "window_fixture.h"

#include <QRadioButton>

#include <filesystem>
#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;

class Derive : public testing::WindowTest {
protected:
    Derive() { expect_questions = true; }
    void load_and_export()
    {
        load(testing::casts + QStringLiteral("rev183_utf8_partial.TOB"));
        answer = QString::fromStdString(out);
        click("Command3");
    }
    std::string out = dir.file("out.sva");
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

TEST_F(Derive, ACastWithEveryColumnAsksNothingAndWritesWhatItWroteBefore)
{
    control<QRadioButton>("op_salt")->setChecked(true);
    box("tx_lat")->setText(QStringLiteral("54"));
    load(testing::casts + QStringLiteral("rev205_deneb.TOB"));
    answer = QString::fromStdString(out);
    click("Command3");
    EXPECT_TRUE(questions.empty());
    EXPECT_TRUE(errors.empty());
    // Written by the batch tool before the export learnt to compute columns.
    EXPECT_EQ(read_file(out), read_file(QUILLONDE_TEST_DATA "/profiles/rev205_deneb_salt54.sva"));
}

} // namespace
} // namespace quillonde
