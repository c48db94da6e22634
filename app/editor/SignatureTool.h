// The signature tool: a click places the current saved signature, centred
// on the point, and selects it; the tool then returns to select.
#pragma once

#include "app/editor/EditorTool.h"

namespace quillet {

class SignatureTool : public EditorTool {
public:
    using EditorTool::EditorTool;

    // Signature width: 60 % of the page's shown width, at most this.
    static constexpr double maxWidth = 150;

    bool press(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;
};

}  // namespace quillet
