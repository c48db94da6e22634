// The prompt for the password of a locked document: the message, the
// explanatory text, a secure field with the keyboard focus, and "Open" and
// "Cancel" in this order.
#pragma once

#include <optional>

#include <QString>

class QWidget;

namespace quillet {

// Modal to `parent`'s window; absent when cancelled.
std::optional<QString> askForPassword(QWidget* parent, const QString& informativeText);

}  // namespace quillet
