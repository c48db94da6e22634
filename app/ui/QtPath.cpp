#include "app/ui/QtPath.h"

namespace quillet {

QPainterPath toQPainterPath(const Path& path) {
    QPainterPath out;
    auto q = [](Point p) { return QPointF(p.x, p.y); };
    for (const PathElement& e : path.elements()) {
        switch (e.kind) {
            case PathElement::Kind::moveTo: out.moveTo(q(e.points[0])); break;
            case PathElement::Kind::lineTo: out.lineTo(q(e.points[0])); break;
            case PathElement::Kind::quadTo: out.quadTo(q(e.points[0]), q(e.points[1])); break;
            case PathElement::Kind::cubicTo: out.cubicTo(q(e.points[0]), q(e.points[1]), q(e.points[2])); break;
            case PathElement::Kind::close: out.closeSubpath(); break;
        }
    }
    return out;
}

}  // namespace quillet
