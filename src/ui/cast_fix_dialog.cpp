#include "ui/cast_fix_dialog.h"

#include "runtime/convert.h"
#include "runtime/error.h"
#include "ui/text_codec.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillonde {

namespace {

constexpr auto latitude_caption = "Latitude [deg, north +]";
constexpr auto longitude_caption = "Longitude [deg, east +]";
constexpr auto time_caption = "Date and time (UTC)";
constexpr auto time_format = "yyyy-MM-dd HH:mm:ss";
constexpr auto nearest_note = "Echo sounder software picks the profile nearest in space and time.";
constexpr auto not_a_number = "is not a number";
constexpr auto confirm_caption = "This date and time are in UTC";
constexpr auto no_time_note = "The cast states no time: give it in UTC.";
constexpr auto time_missing_problem = "Give the date and time (UTC).";
constexpr auto confirm_problem = "The cast names no zone for its time: change it to UTC or confirm it is.";

QString utf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CastFixDialog::CastFixDialog(const FixRequest& request, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CastFixDialog"));
    if (parent != nullptr) {
        setWindowTitle(parent->window()->windowTitle()); // the window's caption, as message boxes have it
    }
    // "A Kongsberg SIS *.asvp file states where and when the cast was taken; "cast.TOB" states no
    // position and no time in UTC."
    auto* why = new QLabel(
        from_message("A " + request.format + " file states where and when the cast was taken; " +
                     quoted_path(request.cast) + " states " + request.missing_text() + ". " + nearest_note),
        this);
    why->setWordWrap(true);
    latitude_ = new QLineEdit(utf8(request.latitude_shown), this);
    latitude_->setObjectName(QStringLiteral("latitude"));
    longitude_ = new QLineEdit(utf8(request.longitude_shown), this);
    longitude_->setObjectName(QStringLiteral("longitude"));
    time_ = new QDateTimeEdit(this);
    time_->setObjectName(QStringLiteral("utc_time"));
    time_->setTimeSpec(Qt::UTC);
    time_->setDisplayFormat(QString::fromUtf8(time_format));
    // Nothing known shows as a blank, the least time the box holds.
    const QDateTime least = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    time_->setMinimumDateTime(least);
    time_->setSpecialValueText(QStringLiteral(" "));
    time_->setDateTime(request.time_shown ? QDateTime::fromSecsSinceEpoch(
                                                request.time_shown->time_since_epoch().count(), Qt::UTC)
                                          : least);
    auto* source =
        new QLabel(request.time_shown ? utf8(request.time_source) : QString::fromUtf8(no_time_note), this);
    source->setObjectName(QStringLiteral("time_source"));
    source->setWordWrap(true);
    confirmed_ = new QCheckBox(QString::fromUtf8(confirm_caption), this);
    confirmed_->setObjectName(QStringLiteral("time_confirmed"));
    confirmed_->setVisible(request.time_shown && request.time_to_confirm);
    confirmed_->setChecked(!request.time_to_confirm);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* fields = new QFormLayout;
    fields->addRow(QString::fromUtf8(latitude_caption), latitude_);
    fields->addRow(QString::fromUtf8(longitude_caption), longitude_);
    fields->addRow(QString::fromUtf8(time_caption), time_);
    fields->addRow(QString(), source);
    fields->addRow(QString(), confirmed_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(why);
    layout->addLayout(fields);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);

    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(latitude_, &QLineEdit::textChanged, this, &CastFixDialog::check);
    connect(longitude_, &QLineEdit::textChanged, this, &CastFixDialog::check);
    connect(confirmed_, &QCheckBox::toggled, this, &CastFixDialog::check);
    connect(time_, &QDateTimeEdit::dateTimeChanged, this, [this] {
        time_changed_ = true;
        check();
    });
    // The box that still needs typing has the focus.
    (request.longitude_shown.empty() ? longitude_ : latitude_)->setFocus();
    check();
}

std::optional<CastFix> CastFixDialog::typed(QString& problem) const
{
    double latitude = 0.0;
    double longitude = 0.0;
    for (const auto& [box, value, name] :
         {std::tuple{latitude_, &latitude, "latitude"}, std::tuple{longitude_, &longitude, "longitude"}}) {
        const QByteArray text = box->text().toUtf8();
        if (parse_number({text.constData(), static_cast<std::size_t>(text.size())}, *value) !=
            NumberStatus::ok) {
            problem = QStringLiteral("The ") + QString::fromLatin1(name) + QStringLiteral(" ") +
                      QString::fromUtf8(not_a_number) + QStringLiteral(".");
            return std::nullopt;
        }
    }
    if (const std::string reason = position_problem(latitude, longitude); !reason.empty()) {
        problem = utf8(reason);
        problem[0] = problem[0].toUpper();
        return std::nullopt;
    }
    if (time_->dateTime() == time_->minimumDateTime()) {
        problem = QString::fromUtf8(time_missing_problem);
        return std::nullopt;
    }
    if (!confirmed_->isChecked() && !time_changed_) {
        problem = QString::fromUtf8(confirm_problem);
        return std::nullopt;
    }
    return CastFix{latitude, longitude,
                   std::chrono::sys_seconds(std::chrono::seconds(time_->dateTime().toSecsSinceEpoch()))};
}

void CastFixDialog::check()
{
    QString problem;
    const bool ok = typed(problem).has_value();
    problem_->setText(problem);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(ok);
}

CastFix CastFixDialog::fix() const
{
    QString ignored;
    return typed(ignored).value_or(CastFix{});
}

} // namespace quillonde
