#include "ui/form1.h"

#include "cast_generator.h"
#include "temp_dir.h"
#include "ui/file_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillonde {
namespace {

using testing::read_file;
using testing::TempDir;

const QString casts = QStringLiteral(QUILLONDE_TEST_DATA "/casts/");

class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        // Dialogs answer what the test presets and remember what they were asked.
        window.file_dialog().set_runner([this](const FileDialog::Request& request) {
            requests.push_back(request);
            return answer;
        });
        window.set_error_presenter([this](const QString& message) { errors.push_back(message); });
    }

    template <typename Widget = QWidget> Widget* control(const char* name)
    {
        auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    QString caption(const char* name) { return control<QLabel>(name)->text(); }
    QString box_text(const char* name) { return control<QLineEdit>(name)->text(); }
    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    /// A cast generated into the test's folder, big enough that a load takes several event rounds.
    QString big_cast(int rows = 200'000)
    {
        const std::string path = dir.file("big.TOB");
        bench::CastShape shape;
        shape.rows = rows;
        bench::write_cast(path, shape);
        return QString::fromStdString(path);
    }

    Form1 window;
    TempDir dir;
    QString answer;
    std::vector<FileDialog::Request> requests;
    std::vector<QString> errors;
};

TEST_F(Window, OpensWithTheTextsOfAFreshStart)
{
    EXPECT_EQ(window.windowTitle(), "Quillonde");
    EXPECT_TRUE(control<QRadioButton>("op_fresh")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("op_salt")->isChecked());
    EXPECT_EQ(box_text("tx_lat"), "45");
    EXPECT_EQ(box_text("tx_press"), "100");
    EXPECT_EQ(box_text("tx_ss_file"), "");
    EXPECT_EQ(box_text("tx_out"), "");
    EXPECT_EQ(caption("lb_depth"), "Depth [m]: ");
    EXPECT_EQ(caption("Label4"), "-");
    EXPECT_EQ(caption("Label6"), "-");
    EXPECT_EQ(control<QListWidget>("List1")->count(), 0);
    EXPECT_EQ(QApplication::focusWidget(), control("op_fresh"));
    EXPECT_FALSE(window.windowIcon().isNull());
}

TEST_F(Window, LaysOutEveryControlAsDesigned)
{
    EXPECT_EQ(window.size(), QSize(385, 395));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // the user cannot resize it
    const QFont base = window.font();
    EXPECT_DOUBLE_EQ(base.pointSizeF(), 8.25);

    struct Expected {
        const char* name;
        QRect geometry; // in pixels, inside Frame1 except for Frame1 and Label7
        QString text;
        bool bold;
        bool underlined;
    };
    const Expected controls[] = {
        {"Frame1", {0, -4, 385, 377}, "", false, false},
        {"Command3", {8, 344, 73, 17}, "Browse ...", false, false},
        {"tx_out", {96, 344, 281, 19}, "", false, false},
        {"List1", {184, 144, 193, 160}, "", false, false},
        {"tx_ss_file", {96, 120, 281, 19}, "", false, false},
        {"Command2", {8, 120, 73, 17}, "Browes ...", false, false},
        {"tx_lat", {8, 56, 81, 19}, "45", false, false},
        {"tx_press", {104, 56, 81, 19}, "100", false, false},
        {"Command1", {232, 24, 121, 25}, "Calculate depth [m]", false, false},
        {"op_salt", {112, 16, 81, 17}, "Salt water", false, false},
        {"op_fresh", {8, 16, 97, 17}, "Fresh water", false, false},
        {"Label6", {8, 208, 169, 17}, "-", true, false},
        {"Label5", {8, 320, 209, 17}, "Export as ELAC .sva file", false, true},
        {"Line2", {8, 312, 368, 1}, "", false, false},
        {"Label4", {8, 144, 185, 17}, "-", false, false},
        {"Label3", {8, 96, 169, 17}, "Load Sea & Sun data file (*.TOB) ", false, true},
        {"Line1", {8, 88, 368, 1}, "", false, false},
        {"Label1", {8, 40, 81, 17}, "Latitude [deg]", false, false},
        {"Label2", {104, 40, 81, 17}, "Pressure [dbar]", false, false},
        {"lb_depth", {200, 56, 177, 17}, "Depth [m]: ", true, false},
        {"Label7",
         {8, 376, 369, 17},
         "Sea water depth after UNESCO 1983 (Fofonoff and Millard)",
         false,
         false},
    };
    QWidget* frame = control("Frame1");
    for (const Expected& expected : controls) {
        QWidget* widget = control(expected.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), expected.geometry) << expected.name;
        const bool on_window = widget == frame || QLatin1String(expected.name) == QLatin1String("Label7");
        EXPECT_EQ(widget->parentWidget(), on_window ? static_cast<QWidget*>(&window) : frame)
            << expected.name;
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            text = button->text();
        } else if (auto* box = qobject_cast<QLineEdit*>(widget)) {
            text = box->text();
        }
        EXPECT_EQ(text, expected.text) << expected.name;
        EXPECT_DOUBLE_EQ(widget->font().pointSizeF(), 8.25) << expected.name;
        EXPECT_EQ(widget->font().bold(), expected.bold) << expected.name;
        EXPECT_EQ(widget->font().underline(), expected.underlined) << expected.name;
        EXPECT_EQ(widget->font().family(), base.family()) << expected.name;
    }
    // Children of the frame sit 4 pixels higher on the window than their place in it says.
    EXPECT_EQ(control("tx_lat")->mapTo(&window, QPoint(0, 0)), QPoint(8, 52));
    EXPECT_NE(window.findChild<FileDialog*>(QStringLiteral("CD")), nullptr);
}

TEST_F(Window, NumberBoxesTakeOnlyDigitsPointsAndSlashes)
{
    auto* latitude = control<QLineEdit>("tx_lat");
    auto* pressure = control<QLineEdit>("tx_press");
    latitude->clear();
    QTest::keyClicks(latitude, "-12e");
    EXPECT_EQ(latitude->text(), "12");
    pressure->clear();
    QTest::keyClicks(pressure, "1.2.3/4");
    EXPECT_EQ(pressure->text(), "1.2.3/4");

    // Keys that type a character other than those change nothing.
    for (const auto& [key, modifiers] :
         std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>{{Qt::Key_A, Qt::ControlModifier},
                                                                {Qt::Key_C, Qt::ControlModifier},
                                                                {Qt::Key_V, Qt::ControlModifier},
                                                                {Qt::Key_X, Qt::ControlModifier},
                                                                {Qt::Key_Return, Qt::NoModifier},
                                                                {Qt::Key_Enter, Qt::KeypadModifier},
                                                                {Qt::Key_Space, Qt::NoModifier},
                                                                {Qt::Key_Minus, Qt::NoModifier},
                                                                {Qt::Key_Escape, Qt::NoModifier}}) {
        QApplication::clipboard()->setText(QStringLiteral("99"));
        QTest::keyClick(pressure, key, modifiers);
        EXPECT_EQ(pressure->text(), "1.2.3/4") << key;
    }

    // Keys that type no character keep their effect: Backspace, Delete, arrows, Home, End.
    QTest::keyClick(pressure, Qt::Key_Backspace);
    EXPECT_EQ(pressure->text(), "1.2.3/");
    QTest::keyClick(pressure, Qt::Key_Home);
    QTest::keyClick(pressure, Qt::Key_Delete);
    EXPECT_EQ(pressure->text(), ".2.3/");
    QTest::keyClick(pressure, Qt::Key_Right);
    QTest::keyClick(pressure, Qt::Key_7);
    EXPECT_EQ(pressure->text(), ".72.3/");
    QTest::keyClick(pressure, Qt::Key_End);
    QTest::keyClick(pressure, Qt::Key_Left);
    QTest::keyClick(pressure, Qt::Key_Backspace);
    EXPECT_EQ(pressure->text(), ".72./");

    // Text that arrives otherwise, such as a paste from the context menu, is not filtered.
    QApplication::clipboard()->setText(QStringLiteral("-4,5"));
    latitude->clear();
    latitude->paste();
    EXPECT_EQ(latitude->text(), "-4,5");
}

TEST_F(Window, TabFollowsTheWindowsOrder)
{
    control("Command1")->setFocus();
    const char* order[] = {"tx_press", "tx_lat", "Command2", "tx_ss_file", "List1", "tx_out", "Command3"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(next)) << next;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // round to the selected option
    EXPECT_EQ(QApplication::focusWidget(), control("op_fresh"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), control("op_fresh"));
}

TEST_F(Window, EnterAndEscapePressNoButton)
{
    for (const char* name : {"tx_lat", "tx_press", "tx_ss_file", "tx_out"}) {
        control(name)->setFocus();
        QTest::keyClick(control(name), Qt::Key_Return);
        QTest::keyClick(control(name), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(control(name), Qt::Key_Escape);
    }
    EXPECT_EQ(caption("lb_depth"), "Depth [m]: ");
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(Window, CalculatesTheDepthForTheSelectedWater)
{
    click("Command1");
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  101.97");
    QTest::mouseClick(control("op_salt"), Qt::LeftButton);
    EXPECT_FALSE(control<QRadioButton>("op_fresh")->isChecked());
    click("Command1");
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  99.16");

    control<QLineEdit>("tx_press")->clear();
    click("Command1");
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0], R"(Type mismatch: pressure "" is not a number)");
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  99.16");
}

TEST_F(Window, LoadsAndExportsThroughTheDialog)
{
    answer = casts + "rev205_deneb.TOB";
    click("Command2");
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_EQ(requests[0].filter_index, 2);
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(box_text("tx_ss_file"), answer);
    EXPECT_EQ(caption("Label4"), "Number of rows: 250");
    EXPECT_EQ(caption("Label6"), "-");
    auto* list = control<QListWidget>("List1");
    ASSERT_EQ(list->count(), 8);
    EXPECT_EQ(list->item(1)->text(), "Press");

    answer = QString::fromStdString(dir.file("deneb.sva"));
    click("Command3");
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[1].filter_index, 3);
    EXPECT_TRUE(requests[1].save);
    EXPECT_EQ(box_text("tx_out"), answer);
    const std::string file = read_file(dir.file("deneb.sva"));
    const std::string first_lines = ".profile  1\r\n\r\n0.5\t1491.88\t19.03\t11.02\t16.43\t\r\n";
    EXPECT_EQ(file.substr(0, first_lines.size()), first_lines);
    EXPECT_TRUE(errors.empty());
}

TEST_F(Window, WritesTheFilesOfTheBatchTool)
{
    struct Water {
        bool salt;
        const char* latitude;
    };
    for (const char* cast : {"rev205_deneb.TOB", "rev183_duplicate_press.TOB"}) {
        for (const Water water : {Water{false, "45"}, Water{true, "54"}, Water{true, "-12.5"}}) {
            control<QRadioButton>(water.salt ? "op_salt" : "op_fresh")->setChecked(true);
            control<QLineEdit>("tx_lat")->setText(QString::fromLatin1(water.latitude));
            answer = casts + QString::fromLatin1(cast);
            click("Command2");
            answer = QString::fromStdString(dir.file("window.sva"));
            click("Command3");

            QStringList arguments{QStringLiteral("convert")};
            arguments << (water.salt
                              ? QStringList{"--salt", "--latitude", QString::fromLatin1(water.latitude)}
                              : QStringList{"--fresh"});
            arguments << QStringLiteral("-o") << QString::fromStdString(dir.file("batch.sva"))
                      << casts + QString::fromLatin1(cast);
            QProcess batch;
            batch.start(QStringLiteral(QUILLONDE_CLI), arguments);
            ASSERT_TRUE(batch.waitForFinished(10000));
            EXPECT_EQ(batch.exitCode(), 0) << batch.readAllStandardError().toStdString();
            const std::string window_file = read_file(dir.file("window.sva"));
            EXPECT_GT(window_file.size(), 100U);
            EXPECT_EQ(read_file(dir.file("batch.sva")), window_file)
                << cast << ", latitude " << water.latitude;
        }
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(Window, ACancelledDialogUsesWhatThePathBoxHolds)
{
    // Empty boxes: nothing happens.
    click("Command2");
    click("Command3");
    EXPECT_EQ(requests.size(), 1U); // the export refuses before its dialog: nothing is loaded
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_EQ(errors[0], "No data file has been loaded");
    EXPECT_EQ(caption("Label6"), "-");
    EXPECT_EQ(control<QListWidget>("List1")->count(), 0);

    // Paths typed by hand: the cast there is loaded, the profile written there.
    control<QLineEdit>("tx_ss_file")->setText(casts + "rev205_deneb.TOB");
    click("Command2");
    EXPECT_EQ(control<QListWidget>("List1")->count(), 8);
    const QString out = QString::fromStdString(dir.file("typed by hand.sva"));
    control<QLineEdit>("tx_out")->setText(out);
    click("Command3");
    EXPECT_EQ(read_file(out.toStdString()).substr(0, 11), ".profile  1");
}

TEST(FileDialog, ShowsTheFilterTextsAndMatchesAnyCase)
{
    TempDir dir;
    for (const char* name : {"cast.TOB", "cast.tob", "Cast.Tob", "notes.txt", "profile.sva"}) {
        dir.write(name, "");
    }
    QWidget owner;
    FileDialog dialog(&owner,
                      QStringLiteral("All *.*|*.*|Sea and Sun *.TOB|*.TOB|ELAC Sound File *.sva|*.sva|"));
    dialog.set_filter_index(2);
    QStringList filter_texts;
    QString selected_filter;
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        shown->setDirectory(QString::fromStdString(dir.path().string()));
        auto* types = shown->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        for (int i = 0; i < types->count(); ++i) {
            filter_texts << types->itemText(i);
        }
        selected_filter = types->currentText();
        auto* files = shown->findChild<QListView*>(QStringLiteral("listView"));
        ASSERT_NE(files, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([&] { return files->model()->rowCount(files->rootIndex()) >= 3; }, 5000));
        for (int row = 0; row < files->model()->rowCount(files->rootIndex()); ++row) {
            listed << files->model()->index(row, 0, files->rootIndex()).data().toString();
        }
        shown->reject();
    });
    dialog.show(1);
    EXPECT_EQ(filter_texts, (QStringList{"All *.*", "Sea and Sun *.TOB", "ELAC Sound File *.sva"}));
    EXPECT_EQ(selected_filter, "Sea and Sun *.TOB");
    listed.sort();
    EXPECT_EQ(listed, (QStringList{"Cast.Tob", "cast.TOB", "cast.tob"}));
    EXPECT_EQ(dialog.file_name(), ""); // cancelled
    EXPECT_EQ(dialog.action(), 1);
}

TEST_F(Window, ShowsFileBytesAsWindows1252)
{
    answer = QString::fromStdString(
        dir.write("latin.TOB", "Lines : 1\n; Datasets Press T\xb0 \x80uro\n1 2 3 4\n"));
    click("Command2");
    auto* list = control<QListWidget>("List1");
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(2)->text(), QString::fromUtf8("T°"));
    EXPECT_EQ(list->item(3)->text(), QString::fromUtf8("€uro"));
    EXPECT_EQ(window.list_entry(2), "T\xb0");
}

TEST_F(Window, ButtonsRestDuringALoadAndComeBackAfterIt)
{
    answer = big_cast();
    std::vector<bool> load_enabled;
    std::vector<bool> export_enabled;
    bool busy = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        load_enabled.push_back(control("Command2")->isEnabled());
        export_enabled.push_back(control("Command3")->isEnabled());
        busy = busy || QApplication::overrideCursor() != nullptr;
        click("Command1"); // other handlers still run in the middle of a load
    });
    probe.start(0);
    click("Command2");
    probe.stop();
    ASSERT_FALSE(load_enabled.empty()) << "the load gave the window no event round";
    EXPECT_EQ(load_enabled, std::vector<bool>(load_enabled.size(), false));
    EXPECT_EQ(export_enabled, std::vector<bool>(export_enabled.size(), false));
    EXPECT_TRUE(busy);
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  101.97");
    EXPECT_TRUE(control("Command2")->isEnabled());
    EXPECT_TRUE(control("Command3")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_GE(window.event_rounds(), 2);
    EXPECT_LT(window.longest_event_gap_ms(), 1000.0); // rounds come with the work, not at its end

    // After a failed load too.
    answer = QString::fromStdString(dir.write("broken.TOB", "; Datasets Press\n"));
    click("Command2");
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_TRUE(control("Command2")->isEnabled());
    EXPECT_TRUE(control("Command3")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(caption("Label6"), "-");
}

TEST_F(Window, AnErrorShowsAMessageBoxAndTheWindowGoesOn)
{
    window.set_error_presenter({}); // the real message box
    Form1 real;                     // a window whose presenter was never replaced
    real.show();
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    QTest::mouseClick(real.findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    EXPECT_EQ(title, "Quillonde");
    EXPECT_EQ(text, "No data file has been loaded");
    QTest::mouseClick(real.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    EXPECT_EQ(real.findChild<QLabel*>(QStringLiteral("lb_depth"))->text(), "Depth [m]:  101.97");
}

TEST_F(Window, ClosingTheWindowStopsALoad)
{
    answer = big_cast();
    QTimer::singleShot(0, &window, &QWidget::close);
    click("Command2");
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(caption("Label6"), "-");
    // Stopped early: the file's last rows never arrived.
    EXPECT_LT(window.event_rounds(), 3);
}

} // namespace
} // namespace quillonde
