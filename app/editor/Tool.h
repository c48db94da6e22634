// The editor's tools as the interface shows them: the list and the control
// predicates come from the core (core/markup/Tool.h); here each tool gets its
// display name and the name of its symbol (see ToolIcons).
#pragma once

#include <QString>

#include "app/platform/InterfaceLanguage.h"
#include "core/markup/Tool.h"

namespace quillet {

// "Pen" / "Перо", ...: the toolbar's tool group and the Tools menu.
LocalizedString toolDisplayName(Tool tool);
// "pencil.tip", "highlighter", ...: the symbol drawn for the tool.
QString toolSymbolName(Tool tool);

}  // namespace quillet
