#include "app/editor/ToolKeys.h"

#include <QKeyEvent>
#include <array>
#include <utility>

namespace quillet::ToolKeys {

namespace {

struct KeyBinding {
    Tool tool;
    quint32 evdevCode;  // KEY_V, KEY_P, ... of linux/input-event-codes.h
    int qtKey;
};

constexpr quint32 evdevToNative = 8;

constexpr std::array<KeyBinding, 9> bindings{{
    {Tool::select, 47, Qt::Key_V},
    {Tool::pen, 25, Qt::Key_P},
    {Tool::highlighter, 35, Qt::Key_H},
    {Tool::text, 20, Qt::Key_T},
    {Tool::note, 49, Qt::Key_N},
    {Tool::arrow, 30, Qt::Key_A},
    {Tool::signature, 31, Qt::Key_S},
    {Tool::eraser, 18, Qt::Key_E},
    {Tool::textHighlight, 50, Qt::Key_M},
}};

}  // namespace

std::optional<Tool> toolForScanCode(quint32 scanCode) {
    for (const KeyBinding& binding : bindings) {
        if (binding.evdevCode + evdevToNative == scanCode) {
            return binding.tool;
        }
    }
    return std::nullopt;
}

std::optional<Tool> toolForKey(const QKeyEvent& event) {
    if (event.nativeScanCode() != 0) {
        return toolForScanCode(event.nativeScanCode());
    }
    for (const KeyBinding& binding : bindings) {
        if (binding.qtKey == event.key()) {
            return binding.tool;
        }
    }
    return std::nullopt;
}

}  // namespace quillet::ToolKeys
