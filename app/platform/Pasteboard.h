// The clipboard for the application's own data: text under a private type
// (the items' payloads under "app.quillet.item"), so that other applications
// neither see it as plain text nor hand us theirs as ours.
#pragma once

#include <QString>
#include <optional>

namespace quillet::Pasteboard {

inline constexpr char itemType[] = "app.quillet.item";

// The clipboard format used for a private type.
QString mimeTypeFor(const QString& type);

// Replaces the clipboard's whole content, with `plainText` (when given) as
// text for every other application. False without a GUI application.
bool setString(const QString& type, const QString& text,
               const std::optional<QString>& plainText = std::nullopt);
// Absent when the clipboard holds nothing of that type (or there is no GUI application).
std::optional<QString> string(const QString& type);
bool hasType(const QString& type);

}  // namespace quillet::Pasteboard
