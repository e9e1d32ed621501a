#include "ui/key_filter.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace quillonde {

namespace {

constexpr int backspace = 8;
constexpr int first_accepted = 46; // "."
constexpr int last_accepted = 57;  // "9"
// The keypad's decimal key types a comma under many locales; dropped, 12,5 would become 125.
constexpr char16_t comma = u',';
constexpr char16_t point = u'.';

/// Types `text` into `box` as the filter lets it pass, at the cursor, as one step to undo.
void type_filtered(QLineEdit* box, const QString& text)
{
    const QString accepted = number_box_text(text);
    if (!accepted.isEmpty()) {
        box->insert(accepted);
    }
}

/// The Paste entry of a text box's own context menu, named as the toolkit names it.
QAction* paste_action(const QMenu& menu)
{
    const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
    for (QAction* action : menu.actions()) {
        if (action->objectName() == QStringLiteral("edit-paste") ||
            action->text().section(QLatin1Char('\t'), 0, 0) == paste) {
            return action;
        }
    }
    return nullptr;
}

/// The box's own context menu, its Paste filtered.
void show_menu(QLineEdit* box, const QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    if (QAction* paste = paste_action(*menu)) {
        QObject::disconnect(paste, &QAction::triggered, box, nullptr);
        QObject::connect(paste, &QAction::triggered, box,
                         [box] { type_filtered(box, QGuiApplication::clipboard()->text()); });
    }
    menu->exec(event->globalPos());
}

} // namespace

bool number_box_accepts(int code) noexcept
{
    const auto signed_code = static_cast<std::int16_t>(code);
    return signed_code == backspace || (signed_code >= first_accepted && signed_code <= last_accepted);
}

QString number_box_text(const QString& text)
{
    QString accepted;
    for (const QChar c : text) {
        if (c.unicode() == comma) {
            accepted += QChar(point);
        } else if (c.unicode() != backspace && number_box_accepts(c.unicode())) {
            accepted += c;
        }
    }
    return accepted;
}

bool NumberKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box == nullptr) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Paste)) {
            type_filtered(box, QGuiApplication::clipboard()->text());
            return true;
        }
        // Keys that type no character keep their effect: the editing shortcuts (Ctrl+A, C, X, Z),
        // Enter, Tab, Backspace, Delete, the arrows, Home and End. As the toolkit's own boxes see it,
        // Ctrl and Ctrl+Shift type nothing, whatever text the platform gives the key; AltGr does.
        const QString text = key->text();
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier) ||
            std::none_of(text.begin(), text.end(), [](QChar c) { return c.isPrint(); })) {
            return false;
        }
        if (number_box_text(text) == text) {
            return false;
        }
        type_filtered(box, text);
        return true;
    }
    case QEvent::ContextMenu: show_menu(box, static_cast<QContextMenuEvent*>(event)); return true;
    case QEvent::MouseButtonRelease: {
        // The middle button pastes the selection on X11.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::MiddleButton || !QGuiApplication::clipboard()->supportsSelection()) {
            return false;
        }
        box->deselect();
        type_filtered(box, QGuiApplication::clipboard()->text(QClipboard::Selection));
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() == box || !drop->mimeData()->hasText() || drop->mimeData()->hasUrls()) {
            return false; // text moved within the box passed the filter already; files go to the window
        }
        box->setCursorPosition(box->cursorPositionAt(drop->position().toPoint()));
        type_filtered(box, drop->mimeData()->text());
        drop->acceptProposedAction();
        return true;
    }
    default: return QObject::eventFilter(watched, event);
    }
}

} // namespace quillonde
