#include "app/platform/RasterFidelity.h"

#include <algorithm>

namespace quillet {
namespace {

// Whether each channel of `value` lies within `tolerance` of the range its
// counterparts span in the reference's neighbourhood [x0, x1] x [y0, y1]: an
// edge drawn a fraction of a pixel away takes a value between its neighbours'.
bool withinNeighbours(QRgb value, const QImage& reference, int x0, int x1, int y0, int y1, int tolerance) {
    int low[3] = {255, 255, 255};
    int high[3] = {0, 0, 0};
    for (int y = y0; y <= y1; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        for (int x = x0; x <= x1; ++x) {
            const int channels[3] = {qRed(row[x]), qGreen(row[x]), qBlue(row[x])};
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], channels[c]);
                high[c] = std::max(high[c], channels[c]);
            }
        }
    }
    const int mine[3] = {qRed(value), qGreen(value), qBlue(value)};
    for (int c = 0; c < 3; ++c) {
        if (mine[c] < low[c] - tolerance || mine[c] > high[c] + tolerance) {
            return false;
        }
    }
    return true;
}

}  // namespace

double RasterFidelity::matchingShare(const QImage& drawn, const QImage& reference, int tolerance, int reach) {
    if (drawn.isNull() || drawn.size() != reference.size()) {
        return 0;
    }
    const QImage a = drawn.convertToFormat(QImage::Format_RGB32);
    const QImage b = reference.convertToFormat(QImage::Format_RGB32);
    const int width = a.width();
    const int height = a.height();
    qint64 matching = 0;
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* same = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        const int y0 = std::max(0, y - reach);
        const int y1 = std::min(height - 1, y + reach);
        for (int x = 0; x < width; ++x) {
            const int x0 = std::max(0, x - reach);
            const int x1 = std::min(width - 1, x + reach);
            // Most pixels equal their counterpart; only the others look around,
            // both ways, so that a hairline one drawing lacks still counts.
            const bool matches =
                row[x] == same[x] || (withinNeighbours(row[x], b, x0, x1, y0, y1, tolerance) &&
                                      withinNeighbours(same[x], a, x0, x1, y0, y1, tolerance));
            matching += matches ? 1 : 0;
        }
    }
    return double(matching) / (double(width) * height);
}

}  // namespace quillet
