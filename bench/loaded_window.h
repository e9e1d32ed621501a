#pragma once

#include "cast_generator.h"
#include "ui/file_dialog.h"
#include "ui/form1.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace quillonde::bench {

/// The window, shown, with a generated cast of `rows` rows loaded as a user loads it.
struct LoadedWindow {
    QTemporaryDir folder;
    QString cast = folder.filePath(QStringLiteral("big.TOB"));
    Form1 window;
    QListWidget* list = nullptr;

    explicit LoadedWindow(int rows)
    {
        CastShape shape;
        shape.rows = rows;
        write_cast(cast.toStdString(), shape);
        window.show();
        window.file_dialog().set_runner([this](const FileDialog::Request&) { return cast; });
        window.findChild<QPushButton*>(QStringLiteral("Command2"))->click();
        list = window.findChild<QListWidget*>(QStringLiteral("List1"));
        QTest::qWait(100);
    }

    /// Where the list shows the column `name`.
    QPoint entry(const char* name) const
    {
        return list->visualItemRect(list->findItems(QString::fromLatin1(name), Qt::MatchExactly).value(0))
            .center();
    }
};

} // namespace quillonde::bench
