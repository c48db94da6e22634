#include "app/editor/SignatureTool.h"

#include <algorithm>

#include "app/editor/EditorController.h"
#include "app/editor/EditorStrings.h"
#include "app/ui/ToolSettings.h"

namespace quillet {

bool SignatureTool::press(const PointerInput& input)
{
    if (!input.location || input.button != Qt::LeftButton) {
        return false;
    }
    const std::optional<SignatureInk>& signature = editor_.currentSignature();
    if (!signature) {
        if (editor_.requestSignature) {
            editor_.requestSignature();
        }
        return true;
    }
    const int page = input.location->page;
    const int rotation = editor_.pageRotation(page);
    const Rect bounds = editor_.pageBounds(page);
    const double shownWidth = rotation == 90 || rotation == 270 ? bounds.height : bounds.width;
    const double width = std::min(0.6 * shownWidth, maxWidth);
    const double height = width / std::max(signature->aspect, 0.1);
    const AffineTransform turn = AffineTransform::rotationDegrees(rotation);
    std::vector<Stroke> strokes;
    for (const Stroke& stroke : signature->strokes) {
        Stroke placed;
        for (const Point& p : stroke) {
            const Point local{height * p.x - width / 2, height * p.y - height / 2};
            placed.push_back(roundTo2(turn.applyToVector(local) + input.location->point));
        }
        strokes.push_back(std::move(placed));
    }
    const ToolStyle style = editor_.settings().styleFor(Tool::signature);
    const AnnotationItem item(UUID::random(), InkShape{InkKind::signature, std::move(strokes)}, style.color,
                              style.lineWidth, rotation, editor_.timestamp());
    const int index = static_cast<int>(editor_.store().itemsOnPage(page).size());
    editor_.commit(EditorStrings::signature, StoreChange::insert(item, page, index));
    editor_.select(item.id);
    editor_.setTool(Tool::select);
    return true;
}

bool SignatureTool::hover(const PointerInput&)
{
    editor_.setCursorShape(Qt::CrossCursor);
    return true;
}

}  // namespace quillet
