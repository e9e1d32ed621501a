#include "ui/file_dialog.h"

#include "formats/registry.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>
#include <memory>

namespace quillonde {

std::unique_ptr<QSettings> user_settings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                       QStringLiteral("quillonde"), QStringLiteral("quillonde"));
}

namespace {

/// "*.TOB" as "*.[tT][oO][bB]": the file system is case-sensitive, the casts' names are not.
QString any_case(const QString& pattern)
{
    QString glob;
    for (const QChar c : pattern) {
        if (c.isLetter()) {
            glob += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            glob += c;
        }
    }
    return glob;
}

/// The settings key of the folder remembered for a mode.
QString folder_key(bool save)
{
    return save ? QStringLiteral("dialogs/save_folder") : QStringLiteral("dialogs/open_folder");
}

QString remembered_folder(bool save)
{
    const QString folder = user_settings()->value(folder_key(save)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

} // namespace

FileDialog::FileDialog(QWidget* owner) : QObject(owner), owner_(owner)
{
    setObjectName(QStringLiteral("CD"));
}

QStringList FileDialog::filter_descriptions(const QString& filter)
{
    const QStringList items = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList descriptions;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        descriptions << items[i];
    }
    return descriptions;
}

QStringList FileDialog::name_filters(const QString& filter)
{
    const QStringList items = filter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < items.size(); i += 2) {
        // "*.*" means every file, as its description says, also one without a dot in its name.
        const QString pattern = items[i + 1] == QStringLiteral("*.*") ? QStringLiteral("*") : items[i + 1];
        filters << items[i] + QStringLiteral(" (") + any_case(pattern) + QLatin1Char(')');
    }
    return filters;
}

QString FileDialog::renamed_for_filter(const QString& file, const QString& filter, int index)
{
    const QFileInfo info(file);
    const QString base = info.completeBaseName().isEmpty() ? info.fileName() : info.completeBaseName();
    const QString pattern = index >= 1 ? filter.split(QLatin1Char('|')).value(2 * index - 1) : QString();
    const bool one_extension = pattern.startsWith(QStringLiteral("*.")) && pattern.size() > 2 &&
                               !pattern.mid(2).contains(QRegularExpression(QStringLiteral("[*?\\[ .;]")));
    return one_extension ? base + pattern.mid(1) : info.fileName();
}

void FileDialog::show(int action)
{
    action_ = action;
    request_.save = action == 2;
    request_.folder = remembered_folder(request_.save);
    request_.unconfirmed.clear();
    request_.name.clear();
    if (request_.save) {
        for (const ProfileWriter* writer : profile_writers()) {
            if (writer->holds_many_casts()) {
                request_.unconfirmed << QString::fromUtf8(
                    writer->facts().filter.data(), static_cast<qsizetype>(writer->facts().filter.size()));
            }
        }
        if (!cast_.isEmpty()) {
            if (const QFileInfo cast(cast_); cast.absoluteDir().exists()) {
                request_.folder = cast.absolutePath();
            }
            request_.name = renamed_for_filter(cast_, request_.filter, request_.filter_index);
            if (request_.name == QFileInfo(cast_).fileName()) {
                request_.name = QFileInfo(cast_).completeBaseName(); // never the cast's own name
            }
        }
    }
    Request request = request_;
    file_name_ = runner_ ? runner_(request) : run_qt_dialog(request);
    chosen_filter_ = file_name_.isEmpty() ? 0 : request.filter_index;
    if (!file_name_.isEmpty()) {
        user_settings()->setValue(folder_key(request_.save), QFileInfo(file_name_).absolutePath());
    }
}

void FileDialog::cancel(int action)
{
    action_ = action;
    file_name_.clear();
    chosen_filter_ = 0;
}

QString FileDialog::run_qt_dialog(Request& request) const
{
    QFileDialog dialog(owner_);
    // Qt's own dialog: it shows the descriptions as they are and matches patterns in any case.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDirectory(request.folder);
    const QStringList filters = name_filters(request.filter);
    dialog.setNameFilters(filters);
    const QStringList descriptions = filter_descriptions(request.filter);
    // The filter selected, counted from 0: Qt names it as it shows it, without its patterns.
    const auto selected = [&] {
        const QString shown = dialog.selectedNameFilter();
        const qsizetype whole = filters.indexOf(shown);
        return whole >= 0 ? whole : descriptions.indexOf(shown);
    };
    const auto follow_filter = [&] {
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         request.unconfirmed.contains(descriptions.value(selected())));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow_filter);
    if (request.filter_index >= 1 && request.filter_index <= filters.size()) {
        dialog.selectNameFilter(filters[request.filter_index - 1]);
    }
    follow_filter();
    if (!request.name.isEmpty()) {
        dialog.selectFile(request.name);
        // The proposed name takes the extension of each filter chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&] {
            const QString typed = dialog.selectedFiles().value(0);
            dialog.selectFile(renamed_for_filter(typed.isEmpty() ? request.name : typed, request.filter,
                                                 static_cast<int>(selected()) + 1));
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    request.filter_index = static_cast<int>(selected()) + 1;
    return dialog.selectedFiles().front();
}

} // namespace quillonde
