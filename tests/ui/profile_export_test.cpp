// The export to the echo sounders' formats in the window: the dialog for a cast's time and position,
// the question before a CARIS file takes another cast, the filter that names the format.
#include "ui/cast_fix_dialog.h"
#include "ui/form1.h"
#include "ui/profile_window.h"
#include "ui/send_dialog.h"

#include "formats/registry.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quillonde {
namespace {

namespace fs = std::filesystem;
using testing::read_file;

/// What the time-and-position dialog showed first, and whether OK could be pressed.
struct Shown {
    QString latitude;
    QString longitude;
    QString time;
    QString problem;
    bool ok_enabled = false;
};

class ProfileExport : public testing::WindowTest {
protected:
    /// Copies a cast of tests/data into the test's folder, written at 2021-03-04T05:06:07Z.
    QString copy_cast(const char* cast, const char* name)
    {
        const std::string path = dir.file(name);
        fs::copy_file(std::string(QUILLONDE_TEST_DATA "/casts/") + cast, path);
        fs::last_write_time(
            path, std::chrono::file_clock::from_sys(std::chrono::sys_days(std::chrono::year(2021) / 3 / 4) +
                                                    std::chrono::hours(5) + std::chrono::minutes(6) +
                                                    std::chrono::seconds(7)));
        return QString::fromStdString(path);
    }
    /// Loads the deneb cast, a sea cast, for sea water at 54 degrees.
    void load_deneb()
    {
        control<QRadioButton>("op_salt")->setChecked(true);
        control<QLineEdit>("tx_lat")->setText(QStringLiteral("54"));
        load(copy_cast("rev205_deneb.TOB", "deneb.TOB"));
    }
    /// Exports to `name` in the test's folder, the time-and-position dialog handled by `handle` once
    /// it shows; returns what it showed first.
    Shown export_with_dialog(const std::string& name, const std::function<void(CastFixDialog&)>& handle)
    {
        Shown shown;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CastFixDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            shown = {dialog->findChild<QLineEdit*>(QStringLiteral("latitude"))->text(),
                     dialog->findChild<QLineEdit*>(QStringLiteral("longitude"))->text(),
                     dialog->findChild<QDateTimeEdit*>(QStringLiteral("utc_time"))->text(),
                     dialog->findChild<QLabel*>(QStringLiteral("problem"))->text(),
                     dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled()};
            handle(*dialog);
        });
        answer = QString::fromStdString(dir.file(name));
        click("Command3");
        return shown;
    }
};

/// Confirms the time shown as UTC, where the dialog asks, and presses OK.
void press_ok(CastFixDialog& dialog)
{
    dialog.findChild<QCheckBox*>(QStringLiteral("time_confirmed"))->setChecked(true);
    QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

// The dialog shows what is known first: the cast's position, else the window's latitude; the cast's
// time, else its file's modification time. What the user gave is shown again at the next export of
// the same cast.
TEST_F(ProfileExport, TheDialogShowsWhatIsKnownAndRemembersWhatWasGiven)
{
    load_deneb();
    const Shown first = export_with_dialog("deneb.asvp", [](CastFixDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("longitude"))->setText(QStringLiteral("11.7"));
        press_ok(dialog);
    });
    EXPECT_EQ(first.latitude, "54.3386667");
    EXPECT_EQ(first.longitude, "11.6913333");
    // The header's Datum, the day alone: never the file's modification time; OK waits for the
    // time to be confirmed as UTC or changed.
    EXPECT_EQ(first.time, "2016-08-18 00:00:00");
    EXPECT_FALSE(first.ok_enabled);
    EXPECT_TRUE(
        read_file(dir.file("deneb.asvp"))
            .starts_with("( SoundVelocity 1.0 0 201608180000 54.3386667 11.7 -1 0 0 Quillonde P 46 )\r\n"));
    EXPECT_TRUE(control<QLabel>("Label7")->toolTip().endsWith(
        QStringLiteral("; extended to 12000 m below the cast's 24.88 m")))
        << control<QLabel>("Label7")->toolTip().toStdString();

    const Shown again = export_with_dialog("deneb.vel", [](CastFixDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(again.longitude, "11.7");
    EXPECT_EQ(again.time, "2016-08-18 00:00:00");
    EXPECT_FALSE(fs::exists(dir.file("deneb.vel"))); // cancelled

    // A cast without position: the window's latitude, no longitude yet, the time the cast states.
    box("tx_lat")->setText(QStringLiteral("59"));
    load(copy_cast("rev183_duplicate_press.TOB", "stockholm.TOB"));
    const Shown other = export_with_dialog("stockholm.vel", [](CastFixDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("longitude"))->setText(QStringLiteral("181"));
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("problem"))->text(),
                  "The longitude 181 lies beyond 180 degrees");
        dialog.findChild<QLineEdit*>(QStringLiteral("longitude"))->setText(QStringLiteral("-18.25"));
        press_ok(dialog);
    });
    EXPECT_EQ(other.latitude, "59");
    EXPECT_EQ(other.longitude, "");
    EXPECT_EQ(other.time, "2017-09-13 08:23:35");
    EXPECT_EQ(other.problem, "The longitude is not a number.");
    EXPECT_FALSE(other.ok_enabled);
    EXPECT_TRUE(read_file(dir.file("stockholm.vel")).starts_with("FTP NEW 3 59 -18.25 08:23 09/13/2017\r\n"));
    EXPECT_TRUE(errors.empty());
}

// A CARIS file that holds casts: the window asks whether to add the cast or replace the file.
TEST_F(ProfileExport, ACarisFileIsAskedToTakeTheCastAsANewSection)
{
    expect_questions = true;
    load_deneb();
    const auto give_time = [](CastFixDialog& dialog) { press_ok(dialog); };
    export_with_dialog("survey.svp", give_time);
    EXPECT_TRUE(questions.empty()); // a new file
    choice = 0;
    // The same cast a minute later: the same one again would be refused as a section the file holds.
    export_with_dialog("survey.svp", [](CastFixDialog& dialog) {
        auto* time = dialog.findChild<QDateTimeEdit*>(QStringLiteral("utc_time"));
        time->setDateTime(time->dateTime().addSecs(60));
        press_ok(dialog);
    });
    ASSERT_EQ(choices.size(), 1U);
    EXPECT_EQ(choices[0], (QStringList{"Add the cast as a new section", "Replace the file", "Cancel"}));
    EXPECT_EQ(questions[0], "\"" + QString::fromStdString(dir.file("survey.svp")) +
                                "\" holds 1 cast already. Add the profile of \"" +
                                QString::fromStdString(dir.file("deneb.TOB")) +
                                "\" to it as a new section, or replace the file?");
    const std::string survey = read_file(dir.file("survey.svp"));
    EXPECT_NE(survey.find("Section"), survey.rfind("Section")); // two sections
    EXPECT_TRUE(errors.empty());
}

// Qt's dialog does not ask before a CARIS file is chosen, since the export asks what to do with it;
// the filter selected when it closes names the format.
TEST(ProfileFileDialog, TheChosenFilterIsReadBackAndCarisFilesAreNotConfirmed)
{
    testing::TempDir dir;
    const std::string survey = dir.write("survey.svp", "[SVP_VERSION_2]\r\n");
    QWidget owner;
    FileDialog dialog(&owner);
    const FilterList filters = save_filters();
    dialog.set_filter(QString::fromStdString(filters.text), filters.selected);
    const int caris = save_filter_index(*writer_with_id("caris"));
    bool confirms_at_first = false;
    QTimer::singleShot(0, [&] {
        auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(shown, nullptr);
        confirms_at_first = !shown->testOption(QFileDialog::DontConfirmOverwrite);
        auto* types = shown->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(types, nullptr);
        types->setCurrentIndex(caris - 1);
        emit types->activated(caris - 1);
        emit types->textActivated(types->itemText(caris - 1));
        EXPECT_TRUE(shown->testOption(QFileDialog::DontConfirmOverwrite));
        shown->selectFile(QString::fromStdString(survey));
        static_cast<QDialog*>(shown)->accept(); // QFileDialog::accept, as the Save button calls it
    });
    dialog.show(2);
    EXPECT_TRUE(confirms_at_first);
    EXPECT_EQ(dialog.file_name().toStdString(), survey);
    EXPECT_EQ(dialog.chosen_filter_index(), caris);
}

/// A UDP socket bound to 127.0.0.1, at a port the system chose: "127.0.0.1:PORT".
std::string loopback_receiver(int& socket_out)
{
    socket_out = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(socket_out, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(socket_out, reinterpret_cast<sockaddr*>(&address), &length);
    return "127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

// The Profile window's button asks where (the target sent to last offered first) and the questions
// of the export; the status line says what was sent. A host no resolver knows is the error shown.
TEST_F(ProfileExport, TheProfileWindowSendsToARememberedTarget)
{
    load_deneb();
    auto* profile = window.findChild<ProfileWindow*>();
    profile->show_column("SOUND");
    int sounder = -1;
    const std::string target = loopback_receiver(sounder);
    const auto send_with = [&](const std::function<void(SendDialog&)>& handle) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<SendDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            handle(*dialog);
        });
        QTest::mouseClick(profile->findChild<QPushButton*>(QStringLiteral("send")), Qt::LeftButton);
    };
    const auto destination = [](SendDialog& dialog) {
        return dialog.findChild<QComboBox*>(QStringLiteral("destination"));
    };
    send_with([&](SendDialog& dialog) {
        dialog.findChild<QComboBox*>(QStringLiteral("sounder"))->setCurrentIndex(0);
        destination(dialog)->setEditText(QString::fromStdString(target));
        QTimer::singleShot(
            0, [] { press_ok(*qobject_cast<CastFixDialog*>(QApplication::activeModalWidget())); });
        dialog.accept();
    });
    EXPECT_TRUE(errors.empty()) << (errors.empty() ? std::string() : errors[0].toStdString());
    EXPECT_TRUE(
        caption("Label7").startsWith(QString::fromStdString("Sent 46 lines to " + target + " (SIS, S12); ")))
        << caption("Label7").toStdString();
    pollfd ready{sounder, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 5000), 1);
    std::string bytes(70000, '\0');
    bytes.resize(
        static_cast<std::size_t>(std::max<ssize_t>(0, recv(sounder, bytes.data(), bytes.size(), 0))));
    close(sounder);
    EXPECT_TRUE(bytes.starts_with("$MVS12,00000,0046,000000,18,08,2016,0.00,")) << bytes.substr(0, 50);

    const NumericResolver numbers_only;
    window.set_resolver(numbers_only);
    QString remembered;
    send_with([&](SendDialog& dialog) {
        remembered = destination(dialog)->currentText();
        destination(dialog)->setEditText(QStringLiteral("sounder.invalid:4001"));
        QTimer::singleShot(
            0, [] { press_ok(*qobject_cast<CastFixDialog*>(QApplication::activeModalWidget())); });
        dialog.accept();
    });
    EXPECT_EQ(remembered.toStdString(), target);
    ASSERT_EQ(errors.size(), 1U);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("host unknown"))) << errors[0].toStdString();
}

} // namespace
} // namespace quillonde
