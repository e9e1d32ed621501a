// What keeps the window from destroying a cast or writing a profile the user did not mean.
#include "ui/form1.h"

#include "window_fixture.h"

#include <QApplication>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::TempDir;

const std::string deneb = read_file(QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB");

/// The first `lines` lines of the Deneb cast (its 250 rows end at line 278).
std::string deneb_lines(int lines)
{
    std::size_t end = 0;
    for (int i = 0; i < lines; ++i) {
        end = deneb.find('\n', end) + 1;
    }
    return deneb.substr(0, end);
}

class Safety : public testing::WindowTest {
protected:
    Safety() { expect_questions = true; }
    void SetUp() override
    {
        WindowTest::SetUp();
        control<QRadioButton>("op_salt")->setChecked(true); // the casts are sea casts
        box("tx_lat")->setText(QStringLiteral("54"));
    }
    /// Exports with the dialog cancelled, to the path typed into tx_out.
    void export_to(const std::string& path)
    {
        answer.clear();
        box("tx_out")->setText(QString::fromStdString(path));
        click("Command3");
    }
};

TEST_F(Safety, TheLoadedCastIsNeverTheTarget)
{
    const std::string cast = dir.write("cast.TOB", deneb);
    fs::create_directory(dir.file("sub"));
    fs::create_symlink(cast, dir.file("link.TOB"));
    fs::create_hard_link(cast, dir.file("hard.TOB"));
    load(cast);
    const std::string relative = fs::relative(cast).string();
    for (const std::string& target :
         {relative, dir.file("sub/../cast.TOB"), dir.file("link.TOB"), dir.file("hard.TOB")}) {
        errors.clear();
        export_to(target);
        ASSERT_EQ(errors.size(), 1U) << target;
        EXPECT_EQ(errors[0].toStdString(), "Permission denied: \"" + target + "\" is the cast \"" + cast +
                                               "\"; an export never replaces a cast");
    }
    answer = QString::fromStdString(dir.file("link.TOB")); // chosen in the dialog, too
    click("Command3");
    EXPECT_EQ(errors.size(), 2U);
    EXPECT_EQ(read_file(cast), deneb);
    // The cast in the load box as well: a load that failed before its header kept the old table.
    const std::string other = dir.write("other.TOB", deneb);
    box("tx_ss_file")->setText(QString::fromStdString(other));
    export_to(other);
    EXPECT_EQ(errors.size(), 3U);
    EXPECT_EQ(read_file(other), deneb);
    EXPECT_TRUE(questions.empty());
}

TEST_F(Safety, ACancelledDialogAsksBeforeItReplacesAFile)
{
    const std::string cast = dir.write("cast.TOB", deneb);
    load(cast);
    const std::string fresh = dir.file("new.sva");
    export_to(fresh); // a new file: written without a question
    const std::string profile = read_file(fresh);
    ASSERT_GT(profile.size(), 100U);
    EXPECT_TRUE(questions.empty());

    const std::string old = dir.write("old.sva", "the previous profile");
    export_to(old);
    ASSERT_EQ(questions.size(), 1U);
    EXPECT_EQ(questions[0].toStdString(), "Replace \"" + old + "\" with the profile of \"" + cast + "\"?");
    EXPECT_EQ(read_file(old), "the previous profile");
    yes = true;
    export_to(old);
    EXPECT_EQ(read_file(old), profile);

    answer = QString::fromStdString(old); // a file chosen in the dialog was confirmed there
    click("Command3");
    EXPECT_EQ(questions.size(), 2U);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Safety, ADoubtfulTableIsExportedOnlyAfterAYes)
{
    // What each table should export after a Yes: the same rows loaded from a cast without fault.
    const std::string whole_cast = dir.file("whole.sva");
    load(dir.write("whole.TOB", deneb));
    export_to(whole_cast);
    std::string first_122 = deneb_lines(150);
    first_122.replace(first_122.find("250", first_122.find("Lines :")), 3, "122");
    const std::string short_cast = dir.file("short.sva");
    load(dir.write("short.TOB", first_122));
    export_to(short_cast);
    ASSERT_TRUE(questions.empty());

    const std::string stopped =
        "The last load stopped at line 279 (Type mismatch at line 279: row number \"Lines\" "
        "is not a number). The table holds only the 250 rows read before that line.";
    const std::string cut = "The cast declares 250 rows; 122 were read.";
    const std::string other_water =
        "The depths were computed for salt water at 54 degrees; the window shows fresh water.";
    const std::string unended =
        "The last line of the cast (line 278) has no line end: the cast may have been cut "
        "while it was written.";
    const std::string them = " Export them?";
    const std::string as_loaded =
        " Export the depths as loaded? (Load the cast again to use the window's settings.)";
    struct Case {
        std::string cast;
        bool fresh_after_load;
        std::string question;
        const std::string& written;
    };
    const Case cases[] = {
        {deneb + "Lines : 7\n", false, stopped + them, whole_cast},
        {deneb_lines(150), false, cut + them, short_cast},
        {deneb, true, other_water + as_loaded, whole_cast},
        {deneb_lines(150), true, cut + " " + other_water + as_loaded, short_cast},
        {deneb.substr(0, deneb.size() - 4), false, unended + them, whole_cast}, // "55" where SerNo was 55.00
    };
    for (const Case& c : cases) {
        control<QRadioButton>("op_salt")->setChecked(true);
        load(dir.write("doubtful.TOB", c.cast));
        control<QRadioButton>(c.fresh_after_load ? "op_fresh" : "op_salt")->setChecked(true);
        const std::string target = dir.file("doubtful.sva");
        for (const bool say_yes : {false, true}) {
            fs::remove(target);
            questions.clear();
            yes = say_yes;
            requests.clear();
            answer = QString::fromStdString(target);
            click("Command3");
            ASSERT_EQ(questions, std::vector<QString>{QString::fromStdString(c.question)});
            EXPECT_EQ(requests.size(), say_yes ? 1U : 0U); // asked first: a No leaves even tx_out as it was
            EXPECT_EQ(box("tx_out")->text().toStdString(), say_yes ? target : short_cast);
            EXPECT_EQ(read_file(target), say_yes ? read_file(c.written) : "") << c.question;
        }
        box("tx_out")->setText(QString::fromStdString(short_cast));
    }
    EXPECT_EQ(errors.size(), 1U); // the stopped load's own error
}

TEST_F(Safety, ACastWithoutPressFailsAtItsHeader)
{
    load(dir.write("cast.TOB", deneb));
    load(dir.write("no press.TOB", "Lines : 2\n; Datasets Temp SOUND SALIN Cond\n1 10 1490 35 42\n"));
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0].toStdString(),
              "Not a data file at line 2: the header line names no \"Press\" column, so the cast "
              "gives no depths");
    EXPECT_EQ(list()->count(), 0); // a refused header names no columns
    export_to(dir.file("out.sva"));
    EXPECT_EQ(errors.back(), "No data file has been loaded");
    EXPECT_FALSE(fs::exists(dir.file("out.sva")));
}

TEST_F(Safety, BoxesTakeLongTextsAndMessagesFitTheScreen)
{
    const QString long_path(40000, QLatin1Char('a'));
    box("tx_ss_file")->setText(long_path);
    EXPECT_EQ(box("tx_ss_file")->text().size(), long_path.size());
    EXPECT_EQ(FileDialog::name_filters(QStringLiteral("All *.*|*.*|")), QStringList{"All *.* (*)"});

    Form1 real; // its own message boxes
    real.show();
    int width = 0;
    int screen_width = 0; // a box too wide for it is cut to its width
    QTimer closer;        // the load may give the window event rounds before its error box shows
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            width = shown->width();
            screen_width = shown->screen()->geometry().width();
            shown->accept();
        }
    });
    closer.start(10);
    real.file_dialog().set_runner([&](const FileDialog::Request&) {
        return QString::fromStdString(
            dir.write("nul.TOB", "Lines : 2\n; Datasets Press\n" + std::string(60, '\0') + " 1\n"));
    });
    QTest::mouseClick(real.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    EXPECT_GT(width, 0);
    EXPECT_LT(width, std::min(screen_width, 1024));
}

// Offscreen, text is measured with other fonts than a desktop has: this runs under Xvfb as the
// ctest entry captions_under_xvfb.
TEST(UnderX, EveryCaptionFitsItsControl)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) {
        GTEST_SKIP() << "needs a real X server; ctest runs it under xvfb-run as captions_under_xvfb";
    }
    Form1 window;
    window.show();
    for (QLabel* label : window.findChildren<QLabel*>()) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text().trimmed()),
                  label->contentsRect().width())
            << label->objectName().toStdString();
    }
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
        const QRect room = button->style()->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents, &option, button);
        EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), room.width())
            << button->objectName().toStdString();
    }
}

} // namespace
} // namespace quillonde
