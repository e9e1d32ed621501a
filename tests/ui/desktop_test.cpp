// The window as a desktop starts and feeds it: a cast on the command line, files dropped onto it,
// and dialogs that open where the user last chose a file, also after a restart.
#include "temp_dir.h"
#include "ui/command_line.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace quillonde {
namespace {

using testing::TempDir;

const QString cast = QStringLiteral(QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB");

class Desktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings_dir.path().string()));
        start();
    }

    /// A window as after a start of the program; the one before is closed.
    void start()
    {
        window = std::make_unique<Form1>();
        window->show();
        window->file_dialog().set_runner([this](const FileDialog::Request& request) {
            requests.push_back(request);
            return answer;
        });
        window->set_error_presenter([this](const QString& message) { errors.push_back(message); });
    }

    QString loaded_path() { return window->findChild<QLineEdit*>(QStringLiteral("tx_ss_file"))->text(); }
    int columns() { return window->findChild<QListWidget*>(QStringLiteral("List1"))->count(); }

    void drop(const QStringList& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls << QUrl::fromLocalFile(path);
        }
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop_event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop_event);
    }

    TempDir settings_dir;
    TempDir dir;
    std::unique_ptr<Form1> window;
    QString answer;
    std::vector<FileDialog::Request> requests;
    std::vector<QString> errors;
};

TEST_F(Desktop, ACastOnTheCommandLineLoadsOnceTheWindowShows)
{
    window->open_cast_later(cast_argument({QStringLiteral("quillonde"), cast}));
    EXPECT_EQ(columns(), 0); // not before the window shows
    EXPECT_TRUE(QTest::qWaitFor([this] { return columns() == 8; }));
    EXPECT_EQ(loaded_path(), cast);
    EXPECT_TRUE(requests.empty()) << "no dialog shows";
    EXPECT_TRUE(errors.empty());

    const QString missing = QString::fromStdString(dir.file("missing.TOB"));
    window->open_cast_later(cast_argument({QStringLiteral("quillonde"), missing}));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !errors.empty(); }));
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("File not found"))) << errors[0].toStdString();
}

TEST_F(Desktop, ADroppedCastLoadsAndSeveralLoadNone)
{
    drop({cast, cast});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !errors.empty(); }));
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("One cast at a time"))) << errors[0].toStdString();
    EXPECT_EQ(columns(), 0);
    EXPECT_TRUE(loaded_path().isEmpty());

    drop({cast});
    EXPECT_TRUE(QTest::qWaitFor([this] { return columns() == 8; }));
    EXPECT_EQ(loaded_path(), cast);
    EXPECT_TRUE(requests.empty()) << "no dialog shows";
}

TEST_F(Desktop, EachDialogOpensInTheFolderLastChosenInItAfterARestart)
{
    const auto click = [this](const char* button) {
        QTest::mouseClick(window->findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    };
    const QString casts = QString::fromStdString(dir.file("casts"));
    const QString profiles = QString::fromStdString(dir.file("profiles"));
    ASSERT_TRUE(QDir().mkpath(casts) && QDir().mkpath(profiles));
    ASSERT_TRUE(QFile::copy(cast, casts + QStringLiteral("/cast.TOB")));
    answer = casts + QStringLiteral("/cast.TOB");
    click("Command2");
    answer = profiles + QStringLiteral("/cast.sva");
    click("Command3");
    ASSERT_TRUE(errors.empty()) << errors[0].toStdString();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].folder, QDir::homePath());
    EXPECT_EQ(requests[1].folder, QDir::homePath());

    start();
    requests.clear();
    answer.clear();
    click("Command2");
    answer = casts + QStringLiteral("/cast.TOB");
    click("Command2");
    click("Command3");
    ASSERT_EQ(requests.size(), 3U);
    EXPECT_EQ(requests[0].folder, casts);
    EXPECT_EQ(requests[1].folder, casts) << "a cancelled dialog changes nothing";
    EXPECT_EQ(requests[2].folder, profiles) << "the save dialog keeps its own folder";
}

} // namespace
} // namespace quillonde
