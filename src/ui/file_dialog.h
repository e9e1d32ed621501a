#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QSettings;
class QWidget;

namespace quillonde {

/// The user's settings, for every window: $XDG_CONFIG_HOME/quillonde/quillonde.ini (by default
/// in ~/.config).
std::unique_ptr<QSettings> user_settings();

/// The window's file dialog CD: a filter list of description and pattern pairs, the selected
/// filter, an open or a save mode, and the name chosen at the last showing (empty when cancelled).
/// Patterns match regardless of case, so cast.tob shows under "*.TOB". Each mode opens in the
/// folder of the file last chosen in it, remembered in the settings across runs; at first in the
/// user's home folder. A save for a cast (propose_for) opens in the cast's folder instead and
/// proposes the cast's name with the extension of the selected filter, which follows the filter
/// the user then chooses.
class FileDialog : public QObject {
    Q_OBJECT
public:
    /// What a showing asks for.
    struct Request {
        QString filter;       ///< the filter list, "description|pattern|..."
        int filter_index = 1; ///< the selected filter, counted from 1; a showing leaves the one
                              ///< selected when the user closed it
        bool save = false;    ///< save mode, else open mode
        QString folder;       ///< the folder it opens in
        /// Save mode: the descriptions of the filters under which an existing file is chosen without
        /// the question whether to replace it, since the export asks what to do with it.
        QStringList unconfirmed;
        QString name; ///< the file name it proposes, or empty
    };
    /// Shows the dialog for a request and returns the chosen path, or an empty text; sets the
    /// request's filter_index to the filter selected at the end.
    using Runner = std::function<QString(Request&)>;

    explicit FileDialog(QWidget* owner);

    /// Sets the filter list and selects a filter in it.
    void set_filter(QString filter, int index)
    {
        request_.filter = std::move(filter);
        request_.filter_index = index;
    }
    const QString& filter() const { return request_.filter; }
    int filter_index() const { return request_.filter_index; }
    /// 1 after an open showing, 2 after a save showing, 0 before any.
    int action() const { return action_; }
    const QString& file_name() const { return file_name_; }
    /// The filter selected when the dialog was last closed, counted from 1; the one set before when
    /// it was cancelled.
    int chosen_filter_index() const { return chosen_filter_ > 0 ? chosen_filter_ : request_.filter_index; }

    /// The cast whose profile the next save showing is for, or an empty text for none.
    void propose_for(QString cast) { cast_ = std::move(cast); }

    /// Shows the dialog modally in open (1) or save (2) mode.
    void show(int action);
    /// Takes the place of a showing the user cancels at once: no name, no dialog.
    void cancel(int action);

    /// Replaces the real dialog, for tests that preset the user's answer.
    void set_runner(Runner runner) { runner_ = std::move(runner); }

    /// Qt's name filters for a filter list: each description, its pattern made case-insensitive.
    static QStringList name_filters(const QString& filter);
    /// The descriptions of a filter list, in its order.
    static QStringList filter_descriptions(const QString& filter);

    /// The name of `file` with the extension of filter `index` (counted from 1) in place of its
    /// last one: cast.TOB under "*.sva" is cast.sva. Under a filter without one extension ("*.*"),
    /// or none, the name stays as it is.
    static QString renamed_for_filter(const QString& file, const QString& filter, int index);

private:
    QString run_qt_dialog(Request& request) const;

    QWidget* owner_;
    Request request_;
    int action_ = 0;
    QString file_name_;
    int chosen_filter_ = 0; // 0 until a showing chose a name
    QString cast_;
    Runner runner_;
};

} // namespace quillonde
