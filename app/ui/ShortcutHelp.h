// Help ▸ Keyboard Shortcuts: a window-modal message titled "Keyboard
// Shortcuts" listing the keys one per line, with a single OK.
#pragma once

#include <QString>

#include "app/platform/InterfaceLanguage.h"

class QWidget;

namespace quillet::ShortcutHelp {

// The list, one line per key (every shortcut of the window's actions).
QString text(Language language = InterfaceLanguage::current());
// Opens the message on `window` and returns at once.
void show(QWidget* window);

}  // namespace quillet::ShortcutHelp
