// Turns an item's drawing commands into one small premultiplied image in
// device pixels, rasterized the way Poppler's Splash renderer does it: each
// pixel is 4 × 4 cells, a cell counts as covered when the outline touches its
// row span, and the share of covered cells goes through a 1.5 gamma. Poppler
// draws the page under our items and shows the saved file in other viewers;
// QPainter's exact-area antialiasing differs from it by up to 40/255 on every
// edge pixel, so items drawn by QPainter would visibly change on save.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QPoint>
#include <QTransform>
#include <cstdint>
#include <vector>

#include "core/markup/DrawCommand.h"

namespace quillet::ItemRaster {

// A run of commands composed in one mode: `image` (premultiplied ARGB)
// belongs at device pixel `origin`.
struct Layer {
    QImage image;
    QPoint origin;
    bool multiply = false;
};

// Coverage of a device-space outline (nonzero winding) as 0...255 per
// pixel, after the gamma, over the pixel rectangle `area`.
std::vector<uint8_t> coverage(const QPainterPath& devicePath, const QRect& area);

// The commands mapped through `pageToDevice` (which includes the device's
// own scale), composed in order, within the device pixels `within`.
// Consecutive commands that blend normally share one layer; each
// multiplying run gets its own.
std::vector<Layer> rasterize(const std::vector<DrawCommand>& commands, const QTransform& pageToDevice,
                             const QRect& within);

// The outline a command fills, in device space: strokes become their
// outline with round caps and joins, stroked in page space as PDF does.
QPainterPath deviceOutline(const DrawCommand& command, const QTransform& pageToDevice);

}  // namespace quillet::ItemRaster
