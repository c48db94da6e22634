// Helpers the window tests share.
#pragma once

#include <QImage>
#include <functional>

namespace quillet::testing {

// How many pixels of `image` (within `area`, when given) are `counted`.
inline int pixelsWhere(const QImage& image, const std::function<bool(const QColor&)>& counted,
                       const QRect& area = {}) {
    const QRect clipped = area.isNull() ? image.rect() : area.intersected(image.rect());
    int count = 0;
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            count += counted(image.pixelColor(x, y));
        }
    }
    return count;
}

}  // namespace quillet::testing
