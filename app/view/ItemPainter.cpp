#include "app/view/ItemPainter.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <unordered_map>

#include "app/document/ItemAnnotation.h"
#include "app/platform/QtConversions.h"
#include "app/view/ItemRaster.h"

namespace quillet::ItemPainter {
namespace {

void paintCommand(QPainter& painter, const DrawCommand& command) {
    QPainterPath path = toQPainterPath(command.path);
    painter.setCompositionMode(command.multiply ? QPainter::CompositionMode_Multiply
                                                : QPainter::CompositionMode_SourceOver);
    if (command.paint.isStroke()) {
        QPen pen(toQColor(command.color), command.paint.width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(path, pen);
    } else {
        path.setFillRule(Qt::WindingFill);
        painter.fillPath(path, toQColor(command.color));
    }
}

void paintVectors(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
                  const QTransform& pageToDevice, bool showCommentText,
                  std::optional<QRectF> visiblePageRect);

// 16 MiB of premultiplied pixels.
constexpr double kMaxWholeRasterPixels = 4 << 20;
// Two maps of 32 MiB each: a letter page at 400 % fits.
constexpr double kMaxComposedPixels = 8 << 20;

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
    QRect rect;  // the layers' union
    size_t bytes = 0;

    CachedRaster() = default;
    CachedRaster(const CachedRaster&) = delete;
    CachedRaster& operator=(const CachedRaster&) = delete;
    ~CachedRaster() { cachedBytes.fetch_sub(bytes, std::memory_order_relaxed); }

    bool fits(const QTransform& l, QPointF f, bool e) const {
        return linear == l && fraction == f && expanded == e;
    }
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

// The item's raster at `at`: the kept one, or a new one, kept when it is
// whole (kMaxWholeRasterPixels) and the budget allows. An item too large for
// a whole raster (a large one at a high zoom) is rasterized only where the
// device is and never kept.
std::shared_ptr<const CachedRaster> rasterFor(const ItemAnnotation& annotation,
                                              const ItemAppearance& appearance, bool expanded,
                                              const Placement& at, bool& kept) {
    std::shared_ptr<void>& slot = annotation.drawingCache();
    if (auto* known = static_cast<CachedRaster*>(slot.get());
        known && known->fits(at.linear, at.fraction, expanded)) {
        kept = true;
        return std::static_pointer_cast<const CachedRaster>(slot);
    }
    slot.reset();
    rasterized.fetch_add(1, std::memory_order_relaxed);
    const QTransform toLocal = at.linear * QTransform::fromTranslate(at.fraction.x(), at.fraction.y());
    const QRect full = toLocal.mapRect(toQRectF(appearance.bounds)).toAlignedRect().adjusted(-2, -2, 2, 2);
    const bool whole = double(full.width()) * full.height() <= kMaxWholeRasterPixels;
    auto raster = std::make_shared<CachedRaster>();
    raster->linear = at.linear;
    raster->fraction = at.fraction;
    raster->expanded = expanded;
    raster->layers =
        ItemRaster::rasterize(appearance.commands, toLocal, whole ? full : at.device.translated(-at.whole));
    size_t bytes = 0;
    for (const ItemRaster::Layer& layer : raster->layers) {
        bytes += static_cast<size_t>(layer.image.sizeInBytes());
        raster->rect |= QRect(layer.origin, layer.image.size());
    }
    kept = whole && cachedBytes.load(std::memory_order_relaxed) + bytes <= kMaxCachedRasterBytes;
    if (kept) {
        raster->bytes = bytes;
        cachedBytes.fetch_add(bytes, std::memory_order_relaxed);
        slot = raster;
    }
    return raster;
}

// Draws one item through its raster. `painter` maps device pixels 1:1.
void drawRasterized(QPainter& painter, const ItemAnnotation& annotation, const ItemAppearance& appearance,
                    bool expanded, const Placement& at) {
    bool kept = false;
    drawLayers(painter, rasterFor(annotation, appearance, expanded, at, kept)->layers, at.whole);
}

// Applies one item layer to the composed maps within `region` (local pixels).
void applyLayer(const ItemRaster::Layer& layer, const QRect& region, QImage& factor, QImage& offset,
                QPoint origin) {
    const QRect area = QRect(layer.origin, layer.image.size()) & region;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(layer.image.constScanLine(y - layer.origin.y()));
        auto* k = reinterpret_cast<QRgb*>(factor.scanLine(y - origin.y()));
        auto* a = reinterpret_cast<QRgb*>(offset.scanLine(y - origin.y()));
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb s = src[x - layer.origin.x()];
            const int alpha = qAlpha(s);
            if (alpha == 0) continue;
            QRgb& kp = k[x - origin.x()];
            QRgb& ap = a[x - origin.x()];
            auto scale = [](int v, int by) { return (v * by + 127) / 255; };
            int kc[3] = {qRed(kp), qGreen(kp), qBlue(kp)}, ac[3] = {qRed(ap), qGreen(ap), qBlue(ap)};
            const int sc[3] = {qRed(s), qGreen(s), qBlue(s)};
            for (int c = 0; c < 3; ++c) {
                // Over an opaque pixel p: normal gives p(1 - α) + s, multiply p(1 - α + s).
                const int by = layer.multiply ? 255 - alpha + sc[c] : 255 - alpha;
                kc[c] = scale(kc[c], by);
                ac[c] = std::min(255, scale(ac[c], by) + (layer.multiply ? 0 : sc[c]));
            }
            kp = qRgb(kc[0], kc[1], kc[2]);
            ap = qRgb(ac[0], ac[1], ac[2]);
        }
    }
}

}  // namespace

struct PageItemLayers::State {
    struct Entry {
        std::shared_ptr<const CachedRaster> raster;
        QRect rect;  // local pixels
    };
    QTransform linear;
    QPointF fraction;
    QRect area;     // local pixels the maps cover
    QImage factor;  // per channel, what the page's pixel is multiplied by
    QImage offset;  // per channel, what is added then
    std::vector<Entry> entries;
    int64_t recomposed = 0;
    // The maps hold every item of the last full paint, with the notes'
    // text shown or not; cleared by markChanged() and by a paint that
    // could not compose.
    bool complete = false;
    bool showCommentText = false;

    // Recomposes `region` from every entry, in drawing order.
    void recompose(const QRect& region) {
        const QRect r = region & area;
        if (r.isEmpty()) return;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            std::fill_n(reinterpret_cast<QRgb*>(factor.scanLine(y - area.top())) + (r.left() - area.left()),
                        r.width(), qRgb(255, 255, 255));
            std::fill_n(reinterpret_cast<QRgb*>(offset.scanLine(y - area.top())) + (r.left() - area.left()),
                        r.width(), qRgb(0, 0, 0));
        }
        for (const Entry& entry : entries)
            if (entry.rect.intersects(r))
                for (const ItemRaster::Layer& layer : entry.raster->layers)
                    applyLayer(layer, r, factor, offset, area.topLeft());
        recomposed += int64_t(r.width()) * r.height();
    }
};

PageItemLayers::PageItemLayers() : state_(std::make_unique<State>()) {}
PageItemLayers::~PageItemLayers() = default;
PageItemLayers::PageItemLayers(PageItemLayers&&) noexcept = default;
PageItemLayers& PageItemLayers::operator=(PageItemLayers&&) noexcept = default;
int64_t PageItemLayers::recomposedPixels() const {
    return state_->recomposed;
}
void PageItemLayers::markChanged() {
    state_->complete = false;
}

namespace {

// Brings the maps up to date with `entries`: only the rectangles of items
// that came, went or changed are recomposed, unless the order of the others
// changed, the zoom changed, or the items outgrew the maps.
void update(PageItemLayers::State& state, std::vector<PageItemLayers::State::Entry> entries,
            const Placement& at) {
    QRect area;
    for (const auto& entry : entries) area |= entry.rect;
    const bool sameZoom = state.linear == at.linear && state.fraction == at.fraction;
    if (!sameZoom || !state.area.contains(area) || state.factor.isNull()) {
        state.linear = at.linear;
        state.fraction = at.fraction;
        state.area = area;
        state.factor = QImage(area.size(), QImage::Format_RGB32);
        state.offset = QImage(area.size(), QImage::Format_RGB32);
        state.entries = std::move(entries);
        state.recompose(area);
        return;
    }
    // The usual repaint: the same rasters in the same order.
    const bool same = entries.size() == state.entries.size() &&
                      std::equal(entries.begin(), entries.end(), state.entries.begin(),
                                 [](const auto& a, const auto& b) { return a.raster == b.raster; });
    if (same) return;
    std::unordered_map<const CachedRaster*, size_t> before;
    for (size_t i = 0; i < state.entries.size(); ++i) before.emplace(state.entries[i].raster.get(), i);
    QRect dirty;
    std::vector<bool> stays(state.entries.size(), false);
    size_t last = 0;
    bool ordered = true;
    for (const auto& entry : entries) {
        const auto found = before.find(entry.raster.get());
        if (found == before.end()) {
            dirty |= entry.rect;
            continue;
        }
        ordered = ordered && (found->second >= last);
        last = found->second;
        stays[found->second] = true;
    }
    for (size_t i = 0; i < stays.size(); ++i)
        if (!stays[i]) dirty |= state.entries[i].rect;
    state.entries = std::move(entries);
    state.recompose(ordered ? dirty : state.area);
}

// Paints through the page's composed maps; false when some item has no kept
// raster (the budget is spent, or an item is too large) or the maps would be
// too large, and the caller paints item by item.
void drawLayers(QPainter& painter, const PageItemLayers::State& state, const Placement& at) {
    if (state.area.isEmpty()) return;
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawImage(state.area.topLeft() + at.whole, state.factor);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);
    painter.drawImage(state.area.topLeft() + at.whole, state.offset);
}

bool paintComposed(QPainter& painter, PageItemLayers::State& state,
                   const std::vector<const ItemAnnotation*>& annotations, bool showCommentText,
                   const Placement& at) {
    state.complete = false;
    std::vector<PageItemLayers::State::Entry> entries;
    entries.reserve(annotations.size());
    QRect area;
    for (const ItemAnnotation* annotation : annotations) {
        if (!annotation->isDisplayed()) continue;
        const ItemAppearance& appearance = annotation->appearance(showCommentText);
        bool kept = false;
        auto raster =
            rasterFor(*annotation, appearance, annotation->item().isNote() && showCommentText, at, kept);
        if (!kept) return false;
        area |= raster->rect;
        const QRect rect = raster->rect;
        entries.push_back({std::move(raster), rect});
    }
    if (double(area.width()) * area.height() > kMaxComposedPixels) return false;
    update(state, std::move(entries), at);
    state.complete = true;
    state.showCommentText = showCommentText;
    drawLayers(painter, state, at);
    return true;
}

}  // namespace

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
                      const QTransform& pageToDevice, bool showCommentText,
                      std::optional<QRectF> visiblePageRect, PageItemLayers* composed) {
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
    if (composed && paintComposed(painter, composed->state(), annotations, showCommentText, at)) {
        painter.restore();
        return;
    }
    for (const ItemAnnotation* annotation : annotations) {
        if (!annotation->isDisplayed()) continue;
        const ItemAppearance& appearance = annotation->appearance(showCommentText);
        if (visiblePageRect && !visiblePageRect->intersects(toQRectF(appearance.bounds))) continue;
        drawRasterized(painter, *annotation, appearance, annotation->item().isNote() && showCommentText, at);
    }
    painter.restore();
}

bool paintKept(QPainter& painter, PageItemLayers& composed, const QTransform& pageToDevice,
               bool showCommentText) {
    const PageItemLayers::State& state = composed.state();
    if (!state.complete || state.showCommentText != showCommentText || !painter.paintEngine() ||
        painter.paintEngine()->type() != QPaintEngine::Raster) {
        return false;
    }
    const QTransform deviceScale = painter.worldTransform().inverted() * painter.deviceTransform();
    const Placement at = placementOf(pageToDevice * painter.deviceTransform(), *painter.device());
    // Scrolling moves the maps by whole pixels; any other change of place redraws.
    if (state.linear != at.linear || state.fraction != at.fraction) return false;
    painter.save();
    painter.setWorldTransform(deviceScale.inverted());
    drawLayers(painter, state, at);
    painter.restore();
    return true;
}

int64_t rasterizedCount() {
    return rasterized.load(std::memory_order_relaxed);
}

namespace {

void paintVectors(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
                  const QTransform& pageToDevice, bool showCommentText,
                  std::optional<QRectF> visiblePageRect) {
    painter.save();
    painter.setWorldTransform(pageToDevice, true);
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const ItemAnnotation* annotation : annotations) {
        if (!annotation->isDisplayed()) continue;
        const ItemAppearance& appearance = annotation->appearance(showCommentText);
        if (visiblePageRect && !visiblePageRect->intersects(toQRectF(appearance.bounds))) continue;
        for (const DrawCommand& command : appearance.commands) paintCommand(painter, command);
    }
    painter.restore();
}

}  // namespace
}  // namespace quillet::ItemPainter
