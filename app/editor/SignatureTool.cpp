#include "app/editor/SignatureTool.h"

#include <algorithm>

#include "app/editor/EditorStrings.h"
#include "app/editor/ToolContext.h"

namespace quillet {

void SignatureTool::deactivate() {
    context_.setPreview(std::nullopt);
}

bool SignatureTool::press(const PointerInput& input) {
    if (!input.location || input.button != Qt::LeftButton) {
        return false;
    }
    const std::optional<SignatureInk>& signature = context_.currentSignature();
    if (!signature) {
        context_.askForSignature();
        return true;
    }
    const AnnotationItem item = placed(*signature, *input.location);
    context_.insertOnTop(EditorStrings::signature, item, input.location->page);
    context_.select(item.id);
    context_.setTool(Tool::select);
    return true;
}

bool SignatureTool::hover(const PointerInput& input) {
    context_.setCursorShape(Qt::CrossCursor);
    const std::optional<SignatureInk>& signature = context_.currentSignature();
    if (!input.location || !signature) {
        context_.setPreview(std::nullopt);
        return true;
    }
    AnnotationItem preview = placed(*signature, *input.location);
    preview.color.a *= previewOpacity;
    context_.setPreview(std::pair{std::move(preview), input.location->page});
    return true;
}

AnnotationItem SignatureTool::placed(const SignatureInk& signature, const EditorLocation& at) const {
    const int rotation = context_.pageRotation(at.page);
    const Rect bounds = context_.pageBounds(at.page);
    const double shownWidth = rotation == 90 || rotation == 270 ? bounds.height : bounds.width;
    const double width = std::min(0.6 * shownWidth, maxWidth);
    const double height = width / std::max(signature.aspect, 0.1);
    const AffineTransform turn = AffineTransform::rotationDegrees(rotation);
    std::vector<Stroke> strokes;
    for (const Stroke& stroke : signature.strokes) {
        Stroke shifted;
        for (const Point& p : stroke) {
            const Point local{height * p.x - width / 2, height * p.y - height / 2};
            shifted.push_back(roundTo2(turn.applyToVector(local) + at.point));
        }
        strokes.push_back(std::move(shifted));
    }
    const ToolStyle style = context_.styleFor(Tool::signature);
    return AnnotationItem(UUID::random(), InkShape{InkKind::signature, std::move(strokes)}, style.color,
                          style.lineWidth, rotation, context_.timestamp());
}

}  // namespace quillet
