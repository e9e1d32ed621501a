#include "ui/key_filter.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <cstdint>

namespace quillonde {

namespace {

constexpr int backspace = 8;
constexpr int delete_code = 127;   // some platforms give Delete this text; it types nothing
constexpr int first_accepted = 46; // "."
constexpr int last_accepted = 57;  // "9"
// The keypad's decimal key types a comma under many locales; dropped, 12,5 would become 125.
constexpr char16_t comma = u',';
constexpr char16_t point = u'.';

} // namespace

bool number_box_accepts(int code) noexcept
{
    const auto signed_code = static_cast<std::int16_t>(code);
    return signed_code == backspace || (signed_code >= first_accepted && signed_code <= last_accepted);
}

bool NumberKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QObject::eventFilter(watched, event);
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab || text.isEmpty() ||
        (text.size() == 1 && text.front().unicode() == delete_code)) {
        return false; // moves the focus or edits without typing a character
    }
    QString accepted;
    for (const QChar c : text) {
        if (c.unicode() == comma) {
            accepted += QChar(point);
        } else if (number_box_accepts(c.unicode())) {
            accepted += c;
        }
    }
    if (accepted == text) {
        return false;
    }
    // Some characters go, some stay: type the ones that stay (Backspace among them) by hand.
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box != nullptr) {
        for (const QChar c : accepted) {
            if (c.unicode() == backspace) {
                box->backspace();
            } else {
                box->insert(QString(c));
            }
        }
    }
    return true;
}

} // namespace quillonde
