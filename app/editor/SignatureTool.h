// The signature tool: a click places the current saved signature, centred
// on the point, and selects it; the tool then returns to select. While the
// pointer rests over a page, a translucent copy shows where it would go.
#pragma once

#include "app/editor/EditorTool.h"
#include "core/markup/AnnotationItem.h"

namespace quillet {

struct SignatureInk;

class SignatureTool : public EditorTool {
  public:
    using EditorTool::EditorTool;

    // Signature width: 60 % of the page's shown width, at most this.
    static constexpr double maxWidth = 150;

    // The preview's share of the signature colour's opacity.
    static constexpr double previewOpacity = 0.45;

    void deactivate() override;
    bool press(const PointerInput& input) override;
    bool hover(const PointerInput& input) override;

  private:
    // The signature as a click at `at` places it.
    AnnotationItem placed(const SignatureInk& signature, const EditorLocation& at) const;
};

}  // namespace quillet
