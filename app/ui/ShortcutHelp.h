// Help ▸ Keyboard Shortcuts: a window-modal message titled "Keyboard
// Shortcuts" listing the keys one per line, with a single OK.
#pragma once

#include <QString>

class QWidget;

namespace quillet::ShortcutHelp {

// The list, one line per key, in the interface language.
QString text();
// Opens the message on `window` and returns at once.
void show(QWidget* window);

}  // namespace quillet::ShortcutHelp
