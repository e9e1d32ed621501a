#include "ui/form1.h"

#include "cast_generator.h"
#include "cli/tool.h"
#include "ui/profile_window.h"
#include "window_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillonde {
namespace {

using testing::casts;
using testing::read_file;
using testing::TempDir;

class Window : public testing::WindowTest {
protected:
    /// A cast generated into the test's folder, big enough that a load takes several event rounds.
    QString big_cast(int rows = 200'000)
    {
        const std::string path = dir.file("big.TOB");
        bench::CastShape shape;
        shape.rows = rows;
        bench::write_cast(path, shape);
        return QString::fromStdString(path);
    }
};

TEST_F(Window, OpensWithTheTextsOfAFreshStart)
{
    EXPECT_EQ(window.windowTitle(), "Quillonde");
    EXPECT_TRUE(control<QRadioButton>("op_fresh")->isChecked());
    EXPECT_FALSE(control<QRadioButton>("op_salt")->isChecked());
    EXPECT_EQ(control<QListWidget>("List1")->count(), 0); // the texts: LaysOutEveryControlAsDesigned
    EXPECT_EQ(QApplication::focusWidget(), control("op_fresh"));
    EXPECT_FALSE(window.windowIcon().isNull());
}

// What a user sees: a window of a fixed size, every control whole inside it, no control hiding
// another but where a box covers the edge of its label, the captions and their fonts.
TEST_F(Window, ShowsEveryControlWholeAndApart)
{
    EXPECT_EQ(window.size(), QSize(385, 395));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // the user cannot resize it
    const QFont base = window.font();
    EXPECT_DOUBLE_EQ(base.pointSizeF(), 8.25);

    const std::pair<const char*, const char*> controls[] = {
        {"Command3", "Browse ..."},
        {"tx_out", ""},
        {"List1", ""},
        {"tx_ss_file", ""},
        {"Command2", "Browes ..."},
        {"tx_lat", "45"},
        {"tx_press", "100"},
        {"Command1", "Calculate depth [m]"},
        {"op_salt", "Salt water"},
        {"op_fresh", "Fresh water"},
        {"Label6", "-"},
        {"Label5", "Export as ELAC .sva file"},
        {"Line2", ""},
        {"Label4", "-"},
        {"Label3", "Load Sea & Sun data file (*.TOB) "},
        {"Line1", ""},
        {"Label1", "Latitude [deg]"},
        {"Label2", "Pressure [dbar]"},
        {"lb_depth", "Depth [m]: "},
        {"Label7", "Fresh water depth: 1.019716 m per dbar"}, // what the selected water is: StatusLine
    };
    // Where a label reaches under a box, the box lies above it.
    const std::set<std::pair<QString, QString>> covered = {
        {"Label4", "List1"}, {"Label1", "tx_lat"}, {"Label2", "tx_press"}};
    const QStringList bold = {"Label6", "lb_depth"};
    const QStringList underlined = {"Label5", "Label3"};
    const QRect inside = window.rect();
    for (const auto& [name, text] : controls) {
        QWidget* widget = control(name);
        ASSERT_NE(widget, nullptr);
        const QRect shown(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(inside.contains(shown)) << name;
        EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(text)) << name;
        EXPECT_EQ(widget->font().bold(), bold.contains(QLatin1String(name))) << name;
        EXPECT_EQ(widget->font().underline(), underlined.contains(QLatin1String(name))) << name;
        EXPECT_EQ(widget->font().family(), base.family()) << name;
        for (const auto& [other_name, other_text] : controls) {
            QWidget* other = control(other_name);
            const QRect other_shown(other->mapTo(&window, QPoint(0, 0)), other->size());
            if (widget == other || !shown.intersects(other_shown)) {
                continue;
            }
            const std::pair<QString, QString> pair{QLatin1String(name), QLatin1String(other_name)};
            const std::pair<QString, QString> reversed{pair.second, pair.first};
            EXPECT_TRUE(covered.contains(pair) || covered.contains(reversed))
                << name << " hides " << other_name;
        }
    }
    for (const auto& [label, box] : covered) {
        const QObjectList siblings = control(box.toLatin1().constData())->parent()->children();
        EXPECT_GT(siblings.indexOf(control(box.toLatin1().constData())),
                  siblings.indexOf(control(label.toLatin1().constData())))
            << box.toStdString() << " lies under " << label.toStdString();
    }
    EXPECT_NE(window.findChild<FileDialog*>(QStringLiteral("CD")), nullptr);
}

TEST_F(Window, NumberBoxesFilterWhatIsTypedOrPastedAndKeepTheirEditingKeys)
{
    auto* latitude = control<QLineEdit>("tx_lat");
    auto* pressure = control<QLineEdit>("tx_press");
    latitude->clear();
    QTest::keyClicks(latitude, "-12,59e ");
    EXPECT_EQ(latitude->text().toStdString(), "12.59");
    pressure->clear();
    QTest::keyClicks(pressure, "1.2.3/4");
    EXPECT_EQ(pressure->text().toStdString(), "1.2.3/4");

    // Keys that type no character keep their effect: Backspace, Delete, arrows, Home, End.
    for (const Qt::Key key : {Qt::Key_Backspace, Qt::Key_Home, Qt::Key_Delete, Qt::Key_Right, Qt::Key_7,
                              Qt::Key_End, Qt::Key_Left, Qt::Key_Backspace, Qt::Key_Escape}) {
        QTest::keyClick(pressure, key);
    }
    EXPECT_EQ(pressure->text().toStdString(), ".72./");

    // The editing shortcuts were swallowed: pasting "54" did nothing.
    QClipboard* clipboard = QApplication::clipboard();
    QTest::keyClick(pressure, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(pressure, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text().toStdString(), ".72./");
    QTest::keyClick(pressure, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(pressure->text().toStdString(), "");
    QTest::keyClick(pressure, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pressure->text().toStdString(), ".72./");
    latitude->clear();
    clipboard->setText(QStringLiteral("54"));
    QTest::keyClick(latitude, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(latitude->text().toStdString(), "54");

    // Pasted text is filtered as typed text is, whichever way it comes.
    clipboard->setText(QStringLiteral(" -4,5 N\n"));
    QTest::keyClick(latitude, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(latitude->text().toStdString(), "544.5");
    latitude->clear();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QStringLiteral("&Paste"))) {
                action->trigger();
            }
        }
        menu->close();
    });
    QContextMenuEvent menu_key(QContextMenuEvent::Keyboard, QPoint(5, 5),
                               latitude->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(latitude, &menu_key);
    EXPECT_EQ(latitude->text().toStdString(), "4.5");
}

TEST_F(Window, TabFollowsTheWindowsOrder)
{
    control("Command1")->setFocus();
    // Round to the selected option, then back.
    const char* order[] = {"tx_press", "tx_lat",   "Command2", "tx_ss_file", "List1",
                           "tx_out",   "Command3", "op_fresh", "Command1"};
    for (const char* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(next)) << next;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), control("op_fresh"));
}

// A file of many casts loads its newest; the list below the row count offers the others, numbered as
// info numbers them, and loads the one chosen by mouse or key: the status line, the Profile window and
// the export follow. Another file loads its own newest, and a file of one cast hides the list.
TEST_F(Window, ChoosesTheSectionOfAFileOfManyCasts)
{
    const std::string caris = QUILLONDE_TEST_DATA "/formats/caris/";
    const std::string february = read_file(caris + "2020_036_182635.svp");
    const std::string survey = dir.write("survey.svp", read_file(caris + "s20200713_071750.svp") +
                                                           february.substr(february.find("Section")));
    auto* sections = control<QComboBox>("sections");
    load(survey);
    ASSERT_TRUE(errors.empty()) << errors.front().toStdString();
    ASSERT_TRUE(sections->isVisible());
    ASSERT_EQ(sections->count(), 2);
    EXPECT_EQ(sections->itemText(0).toStdString(),
              "1  2020-07-13T07:17:50Z  54.2928333333333 11.9551666666667  207 lines");
    EXPECT_EQ(sections->itemText(1).toStdString(),
              "2  2020-02-05T18:26:00Z  37.8509444444444 -122.464916666667  24 lines");
    EXPECT_EQ(sections->currentIndex(), 0);
    EXPECT_TRUE(caption("Label7").startsWith(QStringLiteral("Loaded 207 of 207 rows")))
        << caption("Label7").toStdString();

    // Reached with Tab after the file's name; a key chooses.
    box("tx_ss_file")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), sections);
    QTest::keyClick(sections, Qt::Key_Down);
    EXPECT_EQ(sections->currentIndex(), 1);
    EXPECT_TRUE(caption("Label7").startsWith(QStringLiteral("Loaded 24 of 24 rows")))
        << caption("Label7").toStdString();
    EXPECT_TRUE(caption("Label7").endsWith(QStringLiteral("; section 2 of 2")))
        << caption("Label7").toStdString();
    EXPECT_TRUE(window.findChild<ProfileWindow*>()->plot().summary().contains(
        QStringLiteral("24 of 24 rows stored")));
    answer = QString::fromStdString(dir.file("second.csv"));
    click("Command3");
    EXPECT_NE(read_file(dir.file("second.csv")).find("\n0.031000,1487.619079,"), std::string::npos)
        << read_file(dir.file("second.csv"));

    // A click on the first entry takes the newest again.
    sections->showPopup();
    QListView* entries = qobject_cast<QListView*>(sections->view());
    QTest::mouseClick(entries->viewport(), Qt::LeftButton, {},
                      entries->visualRect(entries->model()->index(0, 0)).center());
    EXPECT_EQ(sections->currentIndex(), 0);
    EXPECT_TRUE(caption("Label7").startsWith(QStringLiteral("Loaded 207 of 207 rows")));

    // A file loaded anew shows its newest, whatever was chosen of another.
    QTest::keyClick(sections, Qt::Key_Down);
    load(survey);
    EXPECT_EQ(sections->currentIndex(), 0);
    EXPECT_TRUE(caption("Label7").startsWith(QStringLiteral("Loaded 207 of 207 rows")));
    load(dir.file("none.svp")); // a load that fails leaves nothing to choose
    EXPECT_FALSE(sections->isVisible());
    EXPECT_EQ(errors.size(), 1U);
    load(survey);
    EXPECT_TRUE(sections->isVisible());
    load(casts + QStringLiteral("rev205_deneb.TOB"));
    EXPECT_FALSE(sections->isVisible());
    EXPECT_EQ(errors.size(), 1U);
}

// Enter did nothing anywhere.
TEST_F(Window, EnterInABoxDoesWhatTheBoxIsFor)
{
    QTest::keyClick(control("tx_press"), Qt::Key_Return);
    EXPECT_EQ(caption("lb_depth").toStdString(), "Depth [m]:  101.97");
    control<QRadioButton>("op_salt")->setChecked(true);
    QTest::keyClick(control("tx_lat"), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(caption("lb_depth").toStdString(), "Depth [m]:  99.16");

    box("tx_ss_file")->setText(casts + QStringLiteral("rev205_deneb.TOB"));
    QTest::keyClick(control("tx_ss_file"), Qt::Key_Return);
    EXPECT_EQ(list()->count(), 8); // loaded without a dialog
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        QTest::keyClick(control("tx_out"), key); // exports nothing: the dialog only
    }
    EXPECT_TRUE(requests.empty());
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(errors.empty());
}

TEST_F(Window, CalculatesTheDepthForTheSelectedWater)
{
    // Fresh water and the error box: ButtonsRestDuringALoadAndComeBackAfterIt, AnErrorShowsAMessageBox...
    QTest::mouseClick(control("op_salt"), Qt::LeftButton);
    EXPECT_FALSE(control<QRadioButton>("op_fresh")->isChecked());
    click("Command1");
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  99.16");
}

TEST_F(Window, LoadsAndExportsThroughTheDialog)
{
    control<QRadioButton>("op_salt")->setChecked(true);
    box("tx_lat")->setText(QStringLiteral("54"));
    answer = casts + "rev205_deneb.TOB";
    click("Command2");
    const auto selected = [&](std::size_t request) {
        return FileDialog::name_filters(requests[request].filter).value(requests[request].filter_index - 1);
    };
    ASSERT_EQ(requests.size(), 1U);
    EXPECT_TRUE(selected(0).startsWith("Sea and Sun *.TOB ("));
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(box_text("tx_ss_file"), answer);
    EXPECT_EQ(caption("Label4"), "Number of rows: 250");
    EXPECT_EQ(caption("Label6"), "-");
    EXPECT_EQ(control<QListWidget>("List1")->count(), 8);

    answer = QString::fromStdString(dir.file("deneb.sva"));
    click("Command3");
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_TRUE(selected(1).startsWith("ELAC Sound File *.sva ("));
    EXPECT_TRUE(requests[1].save);
    // It started in the home folder, or where the last profile went, with no name.
    EXPECT_EQ(requests[1].folder, QDir::cleanPath(QStringLiteral(QUILLONDE_TEST_DATA "/casts")));
    EXPECT_EQ(requests[1].name.toStdString(), "rev205_deneb.sva");
    EXPECT_EQ(box_text("tx_out"), answer);
    EXPECT_EQ(read_file(dir.file("deneb.sva")).substr(0, 11),
              ".profile  1"); // the bytes: WritesTheFilesOfTheBatchTool
    EXPECT_TRUE(errors.empty());
}

TEST_F(Window, WritesTheFilesOfTheBatchTool)
{
    expect_questions = true; // fresh water for a sea cast
    yes = true;
    const std::tuple<const char*, bool, const char*> cases[] = {{"rev205_deneb.TOB", false, "45"},
                                                                {"rev205_deneb.TOB", true, "-12.5"},
                                                                {"rev183_duplicate_press.TOB", true, "54"}};
    for (const auto& [cast, salt, latitude] : cases) {
        control<QRadioButton>(salt ? "op_salt" : "op_fresh")->setChecked(true);
        control<QLineEdit>("tx_lat")->setText(QString::fromLatin1(latitude));
        load(casts + QString::fromLatin1(cast));
        answer = QString::fromStdString(dir.file("window.sva"));
        click("Command3");

        const std::string cast_path = (casts + QString::fromLatin1(cast)).toStdString();
        std::vector<std::string> arguments = {"convert", "--fresh"};
        if (salt) {
            arguments = {"convert", "--salt", "--latitude", latitude};
        }
        arguments.insert(arguments.end(), {"-o", dir.file("batch.sva"), cast_path});
        const testing::Outcome batch = testing::run(arguments);
        EXPECT_EQ(batch.status, 0) << batch.err;
        const std::string window_file = read_file(dir.file("window.sva"));
        EXPECT_GT(window_file.size(), 100U);
        EXPECT_EQ(read_file(dir.file("batch.sva")), window_file) << cast << ", latitude " << latitude;
    }
    EXPECT_TRUE(errors.empty());
}

TEST(FileDialog, ShowsTheFilterTextsAndMatchesAnyCase)
{
    TempDir dir;
    for (const char* name : {"cast.TOB", "cast.tob", "Cast.Tob", "notes.txt", "profile.sva"}) {
        dir.write(name, "");
    }
    QWidget owner;
    FileDialog dialog(&owner);
    dialog.set_filter(QStringLiteral("All *.*|*.*|Sea and Sun *.TOB|*.TOB|ELAC Sound File *.sva|*.sva|"), 2);
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
    load(dir.write("latin.TOB", "Lines : 1\n; Datasets Press T\xb0 \x80uro\n1 2 3 4\n"));
    ASSERT_EQ(list()->count(), 4);
    EXPECT_EQ(list()->item(2)->text(), QString::fromUtf8("T°"));
    EXPECT_EQ(list()->item(3)->text(), QString::fromUtf8("€uro"));
    EXPECT_EQ(list()->item(2)->data(Qt::UserRole).toByteArray(), QByteArray("T\xb0"));
}

TEST_F(Window, ButtonsRestDuringALoadAndComeBackAfterIt)
{
    answer = big_cast();
    int rounds = 0;
    bool enabled = false;
    bool busy = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        ++rounds;
        enabled = enabled || control("Command2")->isEnabled() || control("Command3")->isEnabled();
        busy = busy || QApplication::overrideCursor() != nullptr;
        click("Command1"); // other handlers still run in the middle of a load
    });
    probe.start(0);
    click("Command2");
    probe.stop();
    ASSERT_GT(rounds, 0) << "the load gave the window no event round";
    EXPECT_FALSE(enabled);
    EXPECT_TRUE(busy);
    EXPECT_EQ(caption("lb_depth"), "Depth [m]:  101.97");
    EXPECT_TRUE(control("Command2")->isEnabled());
    EXPECT_TRUE(control("Command3")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_GE(window.event_rounds(), 2);
    EXPECT_LT(window.longest_event_gap_ms(), 1000.0); // rounds come with the work, not at its end

    // After a failed load too.
    load(dir.write("broken.TOB", "; Datasets Press\n"));
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
