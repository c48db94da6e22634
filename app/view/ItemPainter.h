// Paints items with QPainter by replaying their drawing commands: the same
// commands the PDF appearance streams are written from, so the screen shows
// what every viewer shows once the file is saved. Core paths become
// QPainterPaths; strokes have round caps and joins; fills use the nonzero
// rule; highlighter commands blend by multiplying. Used by the page view,
// thumbnails and printing. On pixel devices the page's items are rasterized
// as Poppler rasterizes the saved file (ItemRaster) and the result is kept
// with each item for the next repaint at the same zoom.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/markup/DrawCommand.h"
#include "core/markup/ItemAppearance.h"
#include "core/markup/Path.h"
#include "core/markup/RGBA.h"

class QPainter;

namespace quillet {

class ItemAnnotation;

namespace ItemPainter {

// Paints the commands in order; `pageToDevice` maps page space into the
// painter's current coordinates. The painter's state is left as it was.
void paint(QPainter& painter, const std::vector<DrawCommand>& commands, const QTransform& pageToDevice);
void paint(QPainter& painter, const ItemAppearance& appearance, const QTransform& pageToDevice);

// A page's items composed at one zoom, kept by the view per page. Over an
// opaque page every item, drawn normally or multiplying, maps each channel
// of the pixel under it affinely (p' = p·k + a), so the whole stack is one
// such map, kept as two images: a repaint draws those two instead of every
// item, and a change recomposes only the rectangles of the changed items.
class PageItemLayers {
  public:
    PageItemLayers();
    ~PageItemLayers();
    PageItemLayers(PageItemLayers&&) noexcept;
    PageItemLayers& operator=(PageItemLayers&&) noexcept;

    // Pixels recomposed so far; tests read it to see that a change
    // recomposes only its own area.
    int64_t recomposedPixels() const;
    // The page's items changed: the next paint walks them again.
    void markChanged();

    struct State;  // ItemPainter.cpp's own
    State& state() { return *state_; }

  private:
    std::unique_ptr<State> state_;
};

// Paints a page's items in drawing order, skipping hidden ones and, when
// `visiblePageRect` (page space) is given, those entirely outside it. With
// `composed` (and the painter on an opaque raster page), through the page's
// composed maps.
void paintAnnotations(QPainter& painter, const std::vector<const ItemAnnotation*>& annotations,
                      const QTransform& pageToDevice, bool showCommentText,
                      std::optional<QRectF> visiblePageRect = std::nullopt,
                      PageItemLayers* composed = nullptr);

// Paints the page's items from `composed` alone, as the last paint through it
// composed them, without walking the items: for repaints of a page whose
// items have not changed since (its owner calls markChanged() when they do).
// False, painting nothing, when the maps are not complete or were composed
// at another zoom or with notes' text shown otherwise.
bool paintKept(QPainter& painter, PageItemLayers& composed, const QTransform& pageToDevice,
               bool showCommentText);

// Items rasterized so far in this process (cache misses); the benchmark and
// tests read it to see that an unchanged item is not drawn anew.
int64_t rasterizedCount();
// The rasters kept with items stay under this many bytes in all; past it,
// items are drawn without keeping their raster.
inline constexpr size_t kMaxCachedRasterBytes = size_t{256} << 20;

}  // namespace ItemPainter
}  // namespace quillet
