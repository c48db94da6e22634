// The prompt for the password of a locked document: the message, the
// explanatory text, a secure field with the keyboard focus, and "Open" and
// "Cancel" in this order. Window-modal and non-blocking: the prompt sits on
// its document's window while every other window (and another locked
// document's prompt) stays usable.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quillet {

// Called once with the password, or with nothing when cancelled; never when
// the window closes first (the prompt goes with it).
using PasswordAnswer = std::function<void(std::optional<QString> password)>;
// Asks without blocking; the answer comes later from the event loop.
using AsyncPasswordPrompt = std::function<void(const QString& informativeText, PasswordAnswer answer)>;

// Opens the prompt on `window` and returns at once.
void askForPasswordAsync(QWidget* window, const QString& informativeText, PasswordAnswer answer);

}  // namespace quillet
