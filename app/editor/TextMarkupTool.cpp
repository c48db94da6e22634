#include "app/editor/TextMarkupTool.h"

#include "app/editor/ToolContext.h"

namespace quillet {

bool TextMarkupTool::release(const PointerInput&) {
    // The view's own release ends its selection afterwards, with nothing left
    // to offer as the primary selection.
    context_.markSelectedText(kind_);
    return false;
}

}  // namespace quillet
