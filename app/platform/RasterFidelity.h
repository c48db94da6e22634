// How closely one drawing of a page follows another: the share of pixels of
// `drawn` whose channels all lie within `tolerance` of the range the same
// pixel of `reference` and its neighbours up to `reach` pixels away span, and
// the other way round. Two
// renderers place glyph and path edges a fraction of a pixel apart, which
// gives an edge pixel any value between its neighbours'; the reach forgives
// that, while a missing image, mask or shading still counts.
#pragma once

#include <QImage>

namespace quillet {

struct RasterFidelity {
    static constexpr int defaultTolerance = 24;  // of 255
    static constexpr int defaultReach = 1;
    // Below this share a drawing is not faithful.
    static constexpr double faithfulShare = 0.99;

    // 0 when the sizes differ or an image is null.
    static double matchingShare(const QImage& drawn, const QImage& reference,
                                int tolerance = defaultTolerance, int reach = defaultReach);
};

}  // namespace quillet
