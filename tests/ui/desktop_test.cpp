// The window as a desktop starts and feeds it: a cast on the command line, files dropped onto it,
// and dialogs that open where the user last chose a file, also after a restart.
#include "temp_dir.h"
#include "ui/command_line.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace quillonde {
namespace {

const QString cast = QStringLiteral(QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB");

class Desktop : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settings.path()));
        window.show();
        window.file_dialog().set_runner([this](const FileDialog::Request&) {
            ++dialogs;
            return QString();
        });
        window.set_error_presenter([this](const QString& message) { errors.push_back(message); });
        window.set_question_presenter([this](const QString& question) {
            errors.push_back(question);
            return false;
        });
    }

    QString loaded_path() { return window.findChild<QLineEdit*>(QStringLiteral("tx_ss_file"))->text(); }
    bool loaded() { return window.findChild<QListWidget*>(QStringLiteral("List1"))->count() == 8; }

    void drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop_event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop_event);
    }

    testing::TempDir settings;
    Form1 window;
    int dialogs = 0;
    std::vector<QString> errors;
};

TEST_F(Desktop, ACastOnTheCommandLineLoadsOnceTheWindowShows)
{
    window.open_cast_later(cast_argument({QStringLiteral("quillonde"), cast}));
    EXPECT_FALSE(loaded());
    EXPECT_TRUE(QTest::qWaitFor([this] { return loaded(); }));
    EXPECT_EQ(loaded_path(), cast);
    EXPECT_EQ(dialogs, 0);
}

TEST_F(Desktop, ADroppedCastLoadsAndSeveralLoadNone)
{
    drop({QUrl::fromLocalFile(cast), QUrl::fromLocalFile(cast)});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !errors.empty(); }));
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("One cast at a time"))) << errors[0].toStdString();
    EXPECT_TRUE(loaded_path().isEmpty());

    drop({QUrl::fromLocalFile(cast)});
    EXPECT_TRUE(QTest::qWaitFor([this] { return loaded(); }));
    EXPECT_EQ(loaded_path(), cast);
    EXPECT_EQ(dialogs, 0);
}

TEST_F(Desktop, EachDialogOpensInTheFolderLastChosenInItAfterARestart)
{
    // action 1 opens a cast, 2 saves a profile; each run is a new dialog, as after a restart.
    const auto show = [](int action, const QString& answer) {
        FileDialog dialog(nullptr, QString());
        QString folder;
        dialog.set_runner([&](const FileDialog::Request& request) {
            folder = request.folder;
            return answer;
        });
        dialog.show(action);
        return folder;
    };
    EXPECT_EQ(show(1, QStringLiteral("/tmp/cast.TOB")), QDir::homePath());
    EXPECT_EQ(show(1, QString()), QStringLiteral("/tmp"));
    EXPECT_EQ(show(1, QString()), QStringLiteral("/tmp")) << "a cancelled dialog changes nothing";
    EXPECT_EQ(show(2, QStringLiteral("/cast.sva")), QDir::homePath()) << "saving has its own folder";
    EXPECT_EQ(show(2, QString()), QStringLiteral("/"));
}

} // namespace
} // namespace quillonde
