// The single-key tool shortcuts V P H T N A S E M, matched by physical key so
// that they work on every keyboard layout, Cyrillic included.
#pragma once

#include <QtGlobal>
#include <optional>

#include "core/markup/Tool.h"

class QKeyEvent;

namespace quillet::ToolKeys {

// X11 and Wayland report a key's scan code as its evdev code + 8.
std::optional<Tool> toolForScanCode(quint32 scanCode);
// By scan code when the platform reports one; otherwise (offscreen, some
// input methods) by the Latin letter the key produced.
std::optional<Tool> toolForKey(const QKeyEvent& event);

}  // namespace quillet::ToolKeys
