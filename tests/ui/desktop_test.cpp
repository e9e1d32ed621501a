// The window as a desktop starts and feeds it: a cast on the command line, files dropped onto it,
// and dialogs that open where the user last chose a file, also after a restart.
#include "ui/command_line.h"
#include "window_fixture.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSettings>

#include <vector>

namespace quillonde {
namespace {

const QString cast = QStringLiteral(QUILLONDE_TEST_DATA "/casts/rev205_deneb.TOB");

class Desktop : public testing::WindowTest {
protected:
    void SetUp() override
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir.path()));
        WindowTest::SetUp();
    }

    QString loaded_path() { return box_text("tx_ss_file"); }
    bool loaded() { return list()->count() == 8; }

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
};

TEST_F(Desktop, ACastOnTheCommandLineLoadsOnceTheWindowShows)
{
    window.open_cast_later(start_options({QStringLiteral("quillonde"), cast}).cast);
    EXPECT_FALSE(loaded());
    EXPECT_TRUE(QTest::qWaitFor([this] { return loaded(); }));
    EXPECT_EQ(loaded_path(), cast);
    EXPECT_TRUE(requests.empty());
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
    EXPECT_TRUE(requests.empty());
}

TEST_F(Desktop, EachDialogOpensInTheFolderLastChosenInItAfterARestart)
{
    // action 1 opens a cast, 2 saves a profile; each run is a new dialog, as after a restart.
    const auto show = [](int action, const QString& chosen) {
        FileDialog dialog(nullptr);
        QString folder;
        dialog.set_runner([&](const FileDialog::Request& request) {
            folder = request.folder;
            return chosen;
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
