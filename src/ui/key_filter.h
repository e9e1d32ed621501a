#pragma once

#include <QObject>
#include <QString>

namespace quillonde {

/// Whether a typed character may reach a number box: Backspace and the codes 46 to 57 (".", "/"
/// and the digits) pass, every other code is discarded. The code is a signed 16-bit number, as
/// the window has always seen it, so characters from 0x8000 on count as negative.
bool number_box_accepts(int code) noexcept;

/// What of `text` a number box takes when it is typed or pasted: the characters number_box_accepts
/// lets pass, a comma as a point; no Backspace.
QString number_box_text(const QString& text);

/// The filter of the number boxes tx_lat and tx_press. It is about the characters that reach them:
/// a key that types characters types those of number_box_text; text pasted by Ctrl+V, Shift+Insert,
/// the context menu or the middle button, or dropped, is filtered the same way. Keys that type no
/// character keep their usual effect: the editing shortcuts (Ctrl+A, C, X, Z), Enter, Tab, arrows,
/// Home, End, Backspace, Delete.
class NumberKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace quillonde
