#include "app/editor/TextTool.h"

#include "app/editor/ToolContext.h"
#include "core/markup/ItemGeometry.h"
#include "core/markup/TextLayout.h"

namespace quillet {

bool TextTool::press(const PointerInput& input) {
    if (!input.location || input.button != Qt::LeftButton) {
        return false;
    }
    if (const auto hit = context_.itemAt(*input.location)) {
        if (note_ ? hit->first.isNote() : hit->first.isText()) {
            context_.startTextEditing(hit->first.id);
            return true;
        }
    }
    if (note_) {
        placeNote(*input.location);
    } else {
        placeTextBox(*input.location);
    }
    return true;
}

bool TextTool::hover(const PointerInput&) {
    context_.setCursorShape(note_ ? Qt::CrossCursor : Qt::IBeamCursor);
    return true;
}

void TextTool::placeTextBox(const EditorLocation& at) {
    const ToolStyle style = context_.styleFor(Tool::text);
    const TextSpec spec{"", style.fontSize, std::nullopt, style.boxed};
    const TextLayoutResult empty = TextLayout::layout(spec);
    const int rotation = context_.pageRotation(at.page);
    // The click lands on the first line's start, halfway down the empty box.
    const Point offset =
        AffineTransform::rotationDegrees(rotation).applyToVector({-empty.padding, empty.boxSize.height / 2});
    const AnnotationItem item(UUID::random(), TextShape{roundTo2(at.point + offset), spec}, style.color,
                              style.lineWidth, rotation, context_.timestamp());
    context_.beginText(InlineTextSession{item, at.page, true, InlineTextTarget::of(item), spec});
}

void TextTool::placeNote(const EditorLocation& at) {
    const ToolStyle style = context_.styleFor(Tool::note);
    const TextSpec spec{"", style.fontSize, std::nullopt, style.boxed};
    const int rotation = context_.pageRotation(at.page);
    const Point anchor =
        roundTo2(at.point + AffineTransform::rotationDegrees(rotation).applyToVector({-10, 10}));
    const Point bubble =
        roundTo2(ItemGeometry::defaultBubblePoint(spec, anchor, rotation, context_.pageBounds(at.page)));
    const AnnotationItem item(UUID::random(), NoteShape{anchor, bubble, spec}, style.color, style.lineWidth,
                              rotation, context_.timestamp());
    context_.beginText(InlineTextSession{item, at.page, true, InlineTextTarget::of(item), spec});
}

}  // namespace quillet
