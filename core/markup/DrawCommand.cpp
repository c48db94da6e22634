#include "core/markup/DrawCommand.h"

namespace quillet {

Rect DrawCommand::paintedBounds() const {
    const Rect box = path.boundingBox();
    if (!paint.isStroke()) return box;
    const double grow = paint.width / 2 + 1;
    return box.insetBy(-grow, -grow);
}

}  // namespace quillet
