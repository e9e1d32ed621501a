#include "ui/send_dialog.h"

#include "formats/sound_speed_datagram.h"
#include "profile/sounder_shaping.h"
#include "ui/file_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <exception>

namespace quillonde {

namespace {

constexpr auto dialog_title = "Send to echo sounder";
constexpr auto send_caption = "&Send";
constexpr auto apply_caption = "&Apply at once (otherwise SIS opens it first)";
constexpr auto extend_caption = "&Last line at 12000 m (1675.8 m/s)";
constexpr auto shape_caption = "For SIS, also in *.asvp files:";
constexpr auto targets_key = "sounder/targets"; // "sis 192.168.1.20:4001", the last first
constexpr auto extend_key = "sounder/extend";
constexpr auto most_lines_key = "sounder/most_lines";
constexpr qsizetype most_targets = 10;
constexpr int fewest_lines = 3;

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

SounderSettings sounder_settings()
{
    const auto settings = user_settings();
    SounderSettings shape;
    shape.extend = settings->value(QString::fromUtf8(extend_key), true).toBool();
    const int lines = settings->value(QString::fromUtf8(most_lines_key), 0).toInt();
    shape.most_lines = lines >= fewest_lines && lines <= static_cast<int>(datagram_most_lines)
                           ? static_cast<std::size_t>(lines)
                           : sis_default_most_lines;
    return shape;
}

SendDialog::SendDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SendDialog"));
    setWindowTitle(QString::fromUtf8(dialog_title));
    sounder_ = new QComboBox(this);
    sounder_->setObjectName(QStringLiteral("sounder"));
    for (const SounderFacts& facts : sounders()) {
        sounder_->addItem(utf8(facts.name), utf8(facts.id));
    }
    destination_ = new QComboBox(this);
    destination_->setObjectName(QStringLiteral("destination"));
    destination_->setEditable(true);
    destination_->setInsertPolicy(QComboBox::NoInsert);
    destination_->setMinimumContentsLength(24);
    apply_ = new QCheckBox(QString::fromUtf8(apply_caption), this);
    apply_->setObjectName(QStringLiteral("apply"));
    extend_ = new QCheckBox(QString::fromUtf8(extend_caption), this);
    extend_->setObjectName(QStringLiteral("extend"));
    most_lines_ = new QSpinBox(this);
    most_lines_->setObjectName(QStringLiteral("most_lines"));
    most_lines_->setRange(fewest_lines, static_cast<int>(datagram_most_lines));
    const SounderSettings shape = sounder_settings();
    extend_->setChecked(shape.extend);
    most_lines_->setValue(static_cast<int>(shape.most_lines));
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setWordWrap(true);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons_->addButton(QString::fromUtf8(send_caption), QDialogButtonBox::AcceptRole);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Echo sounder:"), sounder_);
    form->addRow(QStringLiteral("&Host[:port]:"), destination_);
    form->addRow(QString(), apply_);
    form->addRow(new QLabel(QString::fromUtf8(shape_caption), this));
    form->addRow(QString(), extend_);
    form->addRow(QStringLiteral("At &most lines:"), most_lines_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons_);

    // The last target sent to comes back first.
    const QStringList targets = user_settings()->value(QString::fromUtf8(targets_key)).toStringList();
    if (!targets.isEmpty()) {
        const int kind = sounder_->findData(targets.front().section(QLatin1Char(' '), 0, 0));
        sounder_->setCurrentIndex(std::max(kind, 0));
    }
    sounder_chosen();

    connect(sounder_, &QComboBox::currentIndexChanged, this, &SendDialog::sounder_chosen);
    connect(destination_, &QComboBox::editTextChanged, this, &SendDialog::check);
    connect(extend_, &QCheckBox::toggled, this,
            [](bool on) { user_settings()->setValue(QString::fromUtf8(extend_key), on); });
    connect(most_lines_, &QSpinBox::valueChanged, this,
            [](int lines) { user_settings()->setValue(QString::fromUtf8(most_lines_key), lines); });
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void SendDialog::sounder_chosen()
{
    const SounderFacts* facts = sounder_named(sounder_->currentData().toString().toStdString());
    const QString prefix = sounder_->currentData().toString() + QLatin1Char(' ');
    destination_->clear();
    for (const QString& target : user_settings()->value(QString::fromUtf8(targets_key)).toStringList()) {
        if (target.startsWith(prefix)) {
            destination_->addItem(target.mid(prefix.size()));
        }
    }
    if (destination_->count() == 0 && facts != nullptr && facts->default_port != 0) {
        destination_->setEditText(QStringLiteral("127.0.0.1:") + QString::number(facts->default_port));
    }
    const bool sis = facts != nullptr && facts->applies_at_once;
    apply_->setEnabled(sis);
    if (!sis) {
        apply_->setChecked(false);
    }
    check();
}

void SendDialog::check()
{
    QString problem;
    if (const SounderFacts* facts = sounder_named(sounder_->currentData().toString().toStdString())) {
        try {
            sounder_destination(*facts, destination_->currentText().trimmed().toStdString());
        } catch (const std::exception& error) {
            problem = QString::fromUtf8(error.what());
        }
    }
    problem_->setText(problem);
    for (QAbstractButton* button : buttons_->buttons()) {
        if (buttons_->buttonRole(button) == QDialogButtonBox::AcceptRole) {
            button->setEnabled(problem.isEmpty());
        }
    }
}

SendRequest SendDialog::request() const
{
    SendRequest request;
    request.sounder = sounder_named(sounder_->currentData().toString().toStdString());
    request.destination = destination_->currentText().trimmed().toStdString();
    request.apply = apply_->isChecked();
    request.extend = extend_->isChecked();
    request.most_lines = static_cast<std::size_t>(most_lines_->value());
    return request;
}

void SendDialog::remember(const SendRequest& request)
{
    const auto settings = user_settings();
    const QString target =
        utf8(request.sounder->id) + QLatin1Char(' ') + QString::fromStdString(request.destination);
    QStringList targets = settings->value(QString::fromUtf8(targets_key)).toStringList();
    targets.removeAll(target);
    targets.prepend(target);
    settings->setValue(QString::fromUtf8(targets_key), targets.mid(0, most_targets));
}

} // namespace quillonde
