#include "app/editor/ItemPainter.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include "app/document/ItemAnnotation.h"
#include "app/editor/ItemRaster.h"

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

void paintVectors(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
                  const QTransform& pageToDevice, bool showCommentText, std::optional<QRectF> visiblePageRect);

// 16 MiB of premultiplied pixels.
constexpr double kMaxWholeRasterPixels = 4 << 20;

std::atomic<int64_t> rasterized{0};
std::atomic<size_t> cachedBytes{0};

// An item's raster for one zoom: valid for every device transform with the
// same linear part and the same fraction of a pixel in its translation, so
// scrolling by whole pixels reuses it.
struct CachedRaster {
    QTransform linear;
    QPointF fraction;
    bool expanded = false;
    std::vector<ItemRaster::Layer> layers;
    size_t bytes = 0;

    CachedRaster() = default;
    CachedRaster(const CachedRaster&) = delete;
    CachedRaster& operator=(const CachedRaster&) = delete;
    ~CachedRaster() { cachedBytes.fetch_sub(bytes, std::memory_order_relaxed); }

    bool fits(const QTransform& l, QPointF f, bool e) const { return linear == l && fraction == f && expanded == e; }
};

struct Placement {
    QTransform linear;
    QPointF fraction;
    QPoint whole;
    QRect device;  // the device's pixels
};

Placement placementOf(const QTransform& toDevice, const QPaintDevice& device) {
    const double wx = std::floor(toDevice.dx()), wy = std::floor(toDevice.dy());
    const double ratio = device.devicePixelRatioF();
    return {QTransform(toDevice.m11(), toDevice.m12(), toDevice.m21(), toDevice.m22(), 0, 0),
            QPointF(toDevice.dx() - wx, toDevice.dy() - wy), QPoint(int(wx), int(wy)),
            QRect(0, 0, int(std::ceil(device.width() * ratio)), int(std::ceil(device.height() * ratio)))};
}

void drawLayers(QPainter& painter, const std::vector<ItemRaster::Layer>& layers, QPoint shift) {
    for (const ItemRaster::Layer& layer : layers) {
        painter.setCompositionMode(layer.multiply ? QPainter::CompositionMode_Multiply
                                                  : QPainter::CompositionMode_SourceOver);
        painter.drawImage(layer.origin + shift, layer.image);
    }
}

// Draws one item through its kept raster, making (and keeping) it when the
// zoom or the pixel fraction changed. `painter` maps device pixels 1:1.
void drawRasterized(QPainter& painter, const ItemAnnotation& annotation, const ItemAppearance& appearance,
                    bool expanded, const Placement& at) {
    std::shared_ptr<void>& slot = annotation.drawingCache();
    auto* kept = static_cast<CachedRaster*>(slot.get());
    if (kept && kept->fits(at.linear, at.fraction, expanded)) {
        drawLayers(painter, kept->layers, at.whole);
        return;
    }
    rasterized.fetch_add(1, std::memory_order_relaxed);
    const QTransform toLocal = at.linear * QTransform::fromTranslate(at.fraction.x(), at.fraction.y());
    // An item of more than kMaxWholeRasterPixels (a large one at a high zoom)
    // is drawn only where the device is, and that partial raster is not kept.
    const QRect full = toLocal.mapRect(toQt(appearance.bounds)).toAlignedRect().adjusted(-2, -2, 2, 2);
    const bool whole = double(full.width()) * full.height() <= kMaxWholeRasterPixels;
    const QRect within = whole ? full : at.device.translated(-at.whole);
    std::vector<ItemRaster::Layer> layers = ItemRaster::rasterize(appearance.commands, toLocal, within);
    drawLayers(painter, layers, at.whole);
    if (!whole) return;
    size_t bytes = 0;
    for (const ItemRaster::Layer& layer : layers) bytes += static_cast<size_t>(layer.image.sizeInBytes());
    const size_t released = kept ? kept->bytes : 0;
    slot.reset();
    if (cachedBytes.load(std::memory_order_relaxed) + bytes > kMaxCachedRasterBytes + released) return;
    auto raster = std::make_shared<CachedRaster>();
    raster->linear = at.linear;
    raster->fraction = at.fraction;
    raster->expanded = expanded;
    raster->layers = std::move(layers);
    raster->bytes = bytes;
    cachedBytes.fetch_add(bytes, std::memory_order_relaxed);
    slot = std::move(raster);
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
    // Printers and vector outputs get the paths themselves.
    if (!painter.paintEngine() || painter.paintEngine()->type() != QPaintEngine::Raster) {
        paintVectors(painter, annotations, pageToDevice, showCommentText, visiblePageRect);
        return;
    }
    painter.save();
    // The device's own scale (high-DPI screens) is part of the item's raster;
    // the layers are then drawn 1:1 in device pixels.
    const QTransform deviceScale = painter.worldTransform().inverted() * painter.deviceTransform();
    const Placement at = placementOf(pageToDevice * painter.deviceTransform(), *painter.device());
    painter.setWorldTransform(deviceScale.inverted());
    for (const ItemAnnotation* annotation : annotations) {
        if (!annotation->isDisplayed()) continue;
        const ItemAppearance& appearance = annotation->appearance(showCommentText);
        if (visiblePageRect && !visiblePageRect->intersects(toQt(appearance.bounds))) continue;
        drawRasterized(painter, *annotation, appearance, annotation->item().isNote() && showCommentText, at);
    }
    painter.restore();
}

int64_t rasterizedCount() { return rasterized.load(std::memory_order_relaxed); }

namespace {

void paintVectors(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
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

}  // namespace
}  // namespace quillet::ItemPainter
