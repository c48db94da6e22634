#include "app/editor/ItemPainter.h"

#include <algorithm>

#include <QPainter>
#include <QPen>

#include "app/document/ItemAnnotation.h"

namespace quillet::ItemPainter {
namespace {

QPointF toQt(Point p) { return {p.x, p.y}; }

QRectF toQt(const Rect& r) { return {r.minX(), r.minY(), r.maxX() - r.minX(), r.maxY() - r.minY()}; }

void paintCommand(QPainter& painter, const DrawCommand& command) {
    QPainterPath path = painterPath(command.path);
    painter.setCompositionMode(command.multiply ? QPainter::CompositionMode_Multiply
                                                : QPainter::CompositionMode_SourceOver);
    if (command.paint.isStroke()) {
        QPen pen(color(command.color), command.paint.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(path, pen);
    } else {
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, color(command.color));
    }
}

}  // namespace

QPainterPath painterPath(const Path& path) {
    QPainterPath out;
    const std::vector<PathElement>& elements = path.elements();
    out.reserve(static_cast<int>(elements.size()));
    for (const PathElement& e : elements) {
        switch (e.kind) {
        case PathElement::Kind::moveTo: out.moveTo(toQt(e.points[0])); break;
        case PathElement::Kind::lineTo: out.lineTo(toQt(e.points[0])); break;
        case PathElement::Kind::quadTo: out.quadTo(toQt(e.points[0]), toQt(e.points[1])); break;
        case PathElement::Kind::cubicTo: out.cubicTo(toQt(e.points[0]), toQt(e.points[1]), toQt(e.points[2])); break;
        case PathElement::Kind::close: out.closeSubpath(); break;
        }
    }
    return out;
}

QColor color(const RGBA& rgba) {
    auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
    return QColor::fromRgbF(static_cast<float>(unit(rgba.r)), static_cast<float>(unit(rgba.g)),
                            static_cast<float>(unit(rgba.b)), static_cast<float>(unit(rgba.a)));
}

void paint(QPainter& painter, const std::vector<DrawCommand>& commands, const QTransform& pageToDevice) {
    if (commands.empty()) return;
    painter.save();
    painter.setWorldTransform(pageToDevice, true);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const DrawCommand& command : commands) paintCommand(painter, command);
    painter.restore();
}

void paint(QPainter& painter, const ItemAppearance& appearance, const QTransform& pageToDevice) {
    paint(painter, appearance.commands, pageToDevice);
}

void paintAnnotations(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
                      const QTransform& pageToDevice, bool showCommentText, std::optional<QRectF> visiblePageRect) {
    painter.save();
    painter.setWorldTransform(pageToDevice, true);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ItemAnnotation* annotation : annotations) {
        if (!annotation->isDisplayed()) continue;
        const ItemAppearance& appearance = annotation->appearance(showCommentText);
        if (visiblePageRect && !visiblePageRect->intersects(toQt(appearance.bounds))) continue;
        for (const DrawCommand& command : appearance.commands) paintCommand(painter, command);
    }
    painter.restore();
}

}  // namespace quillet::ItemPainter
