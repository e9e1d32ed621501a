// What the window says and asks before and after each action, where it used to stay silent or
// blame the wrong thing.
#include "ui/command_line.h"
#include "ui/form1.h"

#include "window_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTimer>

#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;
using Texts = std::vector<std::string>;

const std::string deneb = read_file(QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB");

class Feedback : public testing::WindowTest {
protected:
    Feedback() { expect_questions = true; }

    void choose_salt(const char* latitude)
    {
        control<QRadioButton>("op_salt")->setChecked(true);
        box("tx_lat")->setText(QString::fromLatin1(latitude));
    }
    /// The bottom line's whole text, also when it is shortened to fit.
    std::string status()
    {
        const QString whole = control("Label7")->toolTip();
        return (whole.isEmpty() ? caption("Label7") : whole).toStdString();
    }
    Texts asked()
    {
        Texts texts;
        for (const QString& question : std::exchange(questions, {})) {
            texts.push_back(question.toStdString());
        }
        return texts;
    }
    Texts failures()
    {
        Texts texts;
        for (const QString& error : std::exchange(errors, {})) {
            texts.push_back(error.toStdString());
        }
        return texts;
    }
};

// It read "Sea water depth after UNESCO 1983" while fresh water was selected, and a load or an
// export left the window as it was.
TEST_F(Feedback, TheBottomLineSaysWhatTheLastActionDid)
{
    EXPECT_EQ(status(), "Fresh water depth: 1.019716 m per dbar");
    control<QRadioButton>("op_salt")->setChecked(true);
    EXPECT_EQ(status(), "Sea water depth after UNESCO 1983 (Fofonoff and Millard)");

    click("Command1");
    EXPECT_EQ(status(), "Calculated 99.16 m for 100 dbar (salt water, 45\u00b0)");
    control<QRadioButton>("op_fresh")->setChecked(true); // a report stays until the next action
    EXPECT_EQ(status(), "Calculated 99.16 m for 100 dbar (salt water, 45\u00b0)");

    choose_salt("54");
    load(dir.write("rev205_deneb.TOB", deneb));
    EXPECT_EQ(status(), "Loaded 250 of 250 rows from rev205_deneb.TOB (salt water, 54\u00b0)");
    answer = QString::fromStdString(dir.file("out.sva"));
    click("Command3");
    EXPECT_EQ(status(), "Wrote 43 profile lines to out.sva");

    // Label4 shows the rows the cast declares; the line, those stored.
    std::string short_cast = deneb.substr(0, deneb.find("\n        123 "));
    load(dir.write("short.TOB", short_cast + "\n"));
    EXPECT_EQ(caption("Label4").toStdString(), "Number of rows: 250");
    EXPECT_EQ(status(), "Loaded 122 of 250 rows from short.TOB (salt water, 54\u00b0)");
    // A failure: its first line, and the rows before the failed line, not counting its own.
    load(dir.write("broken.TOB", short_cast + "\n  123 x\n"));
    EXPECT_EQ(status(), "Subscript out of range at line 151: the line has 2 fields, but the header names 8 "
                        "columns (122 of 250 rows kept)");
    box("tx_press")->setText(QStringLiteral("x"));
    click("Command1");
    EXPECT_EQ(status(), "Type mismatch: pressure \"x\" is not a number");
    EXPECT_EQ(failures().size(), 2U);

    // Too long for the line: the file's name gives way in its middle, the water stays whole; the
    // whole text is in the tooltip.
    load(dir.write(std::string(80, 'n') + ".TOB", deneb));
    EXPECT_TRUE(caption("Label7").startsWith(QStringLiteral("Loaded 250 of 250 rows from nn")));
    EXPECT_TRUE(caption("Label7").endsWith(QStringLiteral("n.TOB (salt water, 54\u00b0)")));
    EXPECT_TRUE(caption("Label7").contains(QChar(u'\u2026')));
    load(dir.write(std::string(80, 'n') + ".TOB", deneb.substr(0, deneb.size() - 4)));
    EXPECT_EQ(status(), "Loaded 250 of 250 rows from " + std::string(80, 'n') +
                            ".TOB (salt water, 54\u00b0); its last line has no line end");

    // What the computed values met is told after the export, not asked.
    yes = true;
    load(dir.write("cold.TOB", "Lines : 1\n; Datasets Press Temp Cond SALIN\n1 1.0 -1.9 30 35\n"));
    answer = QString::fromStdString(dir.file("cold.sva"));
    asked();
    click("Command3");
    EXPECT_EQ(asked().size(), 1U); // computing SOUND
    EXPECT_EQ(status(), "Wrote 1 profile line to cold.sva; 1 row of SOUND was computed from values slightly "
                        "outside the range of Chen and Millero's formula");
    // A short name stays whole; the note loses its end.
    EXPECT_TRUE(
        caption("Label7").startsWith(QStringLiteral("Wrote 1 profile line to cold.sva; 1 row of SOUND")));
    EXPECT_TRUE(caption("Label7").endsWith(QChar(u'\u2026')));
}

// 540 for 54 gave the equator's depth with no word; an empty box was blamed on line 29 of the cast.
TEST_F(Feedback, ALatitudeIsCheckedBeforeItIsUsed)
{
    choose_salt("540");
    click("Command1");
    click("Command2");
    const std::string question =
        "The latitude 540 lies outside -90 to 90 degrees. Compute the depth for it anyway?";
    EXPECT_EQ(asked(), (Texts{question, question}));
    EXPECT_EQ(caption("lb_depth").toStdString(), "Depth [m]: ");
    EXPECT_TRUE(requests.empty()); // no dialog after a No

    box("tx_lat")->clear();
    click("Command1");
    click("Command2");
    EXPECT_EQ(failures(), (Texts{"Type mismatch: the latitude box is empty",
                                 "Type mismatch: the latitude box is empty"}));
    EXPECT_TRUE(requests.empty());

    // The real box: No is the default, so Enter declines.
    Form1 real;
    real.show();
    real.choose_water(true, QStringLiteral("540"));
    bool no_by_default = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        no_by_default = box->defaultButton() == box->button(QMessageBox::No);
        QTest::keyClick(box, Qt::Key_Return);
    });
    QTest::mouseClick(real.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_TRUE(no_by_default);
    EXPECT_EQ(real.findChild<QLabel*>(QStringLiteral("lb_depth"))->text().toStdString(), "Depth [m]: ");
}

// Every start is fresh water: a sea cast loaded at once got depths 3% too deep, and the export asked
// nothing. A cast cut while it was written was exported as it stood.
TEST_F(Feedback, TheExportAsksWhenTheWaterOrTheLastLineIsInDoubt)
{
    load(dir.write("deneb.TOB", deneb));
    answer = QString::fromStdString(dir.file("fresh.sva"));
    click("Command3");
    choose_salt("54");
    load(dir.write("cut.TOB", deneb.substr(0, deneb.size() - 4)));
    answer = QString::fromStdString(dir.file("cut.sva"));
    click("Command3");
    EXPECT_EQ(asked(),
              (Texts{"The median salinity of the stored rows is 19.225, as in sea water, but the depths "
                     "were computed for fresh water. Export them?",
                     "The last line of the cast (line 278) has no line end: the cast may have been cut "
                     "while it was written. Export them?"}));
    EXPECT_TRUE(requests.size() == 2U && failures().empty()); // the two loads' dialogs only
}

// quillonde --salt --latitude 54 CAST starts as the batch tool converts, with the same refusals.
TEST(CommandLine, TakesTheWaterAsTheBatchToolDoes)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // the toolkit runs threads of its own
    const auto parsed = [](std::vector<const char*> arguments) {
        QStringList list{QStringLiteral("quillonde")};
        for (const char* argument : arguments) {
            list << QString::fromUtf8(argument);
        }
        return start_options(list);
    };
    const StartOptions salt = parsed({"--salt", "--latitude", "-54", "cast.TOB"});
    EXPECT_EQ(salt.salt, std::optional<bool>(true));
    EXPECT_EQ(salt.latitude.toStdString(), "-54");
    EXPECT_EQ(salt.cast.toStdString(), "cast.TOB");
    EXPECT_EQ(parsed({"--fresh"}).salt, std::optional<bool>(false));
    EXPECT_EQ(parsed({}).salt, std::nullopt);
    EXPECT_EXIT(parsed({"--salt", "--latitude=540"}), ::testing::ExitedWithCode(1),
                "the latitude 540 lies outside -90 to 90 degrees");
    EXPECT_EXIT(parsed({"--fresh", "--latitude", "54"}), ::testing::ExitedWithCode(1),
                "--fresh excludes --salt and --latitude");
    EXPECT_EXIT(parsed({"--salt"}), ::testing::ExitedWithCode(1), "--salt needs --latitude LAT");
}

// The README, loaded as a cast, failed at its line with "; Datasets" and left that line's words in
// the list as column names.
TEST_F(Feedback, AHeaderTheLoadRefusesLeavesTheListEmpty)
{
    load(dir.write("deneb.TOB", deneb));
    load(QStringLiteral(QUILLONDE_TEST_DATA "/../../README.md"));
    EXPECT_EQ(list()->count(), 0);
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(status(), errors[0].section(QLatin1Char('\n'), 0, 0).toStdString());
}

TEST(ExportDialog, ProposesTheCastsNameWithTheFormatsExtension)
{
    const QString filters =
        QStringLiteral("All *.*|*.*|Sea and Sun *.TOB|*.TOB|ELAC Sound File *.sva|*.sva|");
    EXPECT_EQ(FileDialog::renamed_for_filter(QStringLiteral("/d/cast.v2.TOB"), filters, 3).toStdString(),
              "cast.v2.sva");
    EXPECT_EQ(FileDialog::renamed_for_filter(QStringLiteral("cast"), filters, 3).toStdString(), "cast.sva");
    EXPECT_EQ(FileDialog::renamed_for_filter(QStringLiteral("/d/out.sva"), filters, 1).toStdString(),
              "out.sva");

    // In the real dialog: the cast's folder, its name, and the extension follows the filter chosen.
    testing::TempDir dir;
    QWidget owner;
    FileDialog dialog(&owner);
    dialog.set_filter(filters + QStringLiteral("Toy sounder *.tsv|*.tsv|"), 3);
    dialog.propose_for(QString::fromStdString(dir.write("cast.TOB", "")));
    QStringList names;
    QString folder;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        folder = shown->directory().absolutePath();
        auto* name = shown->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* types = shown->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        names << name->text();
        types->setFocus(); // as a click on it does
        for (const int index : {3, 0}) {
            types->setCurrentIndex(index);
            emit types->activated(index);
            emit types->textActivated(types->itemText(index));
            names << name->text();
        }
        shown->reject();
    });
    dialog.show(2);
    EXPECT_EQ(folder.toStdString(), dir.path().string());
    EXPECT_EQ(names, (QStringList{"cast.sva", "cast.tsv", "cast.tsv"}));
}

} // namespace
} // namespace quillonde
