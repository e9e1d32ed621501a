#pragma once

#include <QObject>

namespace quillonde {

/// Whether a typed character may reach a number box: Backspace and the codes 46 to 57 (".", "/"
/// and the digits) pass, every other code is discarded. The code is a signed 16-bit number, as
/// the window has always seen it, so characters from 0x8000 on count as negative.
bool number_box_accepts(int code) noexcept;

/// The key filter of the number boxes tx_lat and tx_press. It looks at the characters a key
/// produces, types a comma as a point and drops what number_box_accepts refuses; keys that produce none (Tab,
/// arrows, Home, End, Delete) keep their usual effect, and text that arrives any other way (the context
/// menu's paste) is not filtered.
class NumberKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quillonde
