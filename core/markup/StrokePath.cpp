#include "core/markup/StrokePath.h"

namespace quillet::StrokePath {

Path path(const std::vector<Stroke>& strokes) {
    PathBuilder builder;
    for (const Stroke& points : strokes) {
        const size_t n = points.size();
        if (n == 0) continue;
        builder.moveTo(points[0]);
        if (n <= 2) {
            builder.lineTo(points[n - 1]);
            continue;
        }
        for (size_t i = 1; i + 1 < n; ++i) builder.quadTo(points[i], (points[i] + points[i + 1]) / 2);
        builder.lineTo(points[n - 1]);
    }
    return builder.build();
}

}  // namespace quillet::StrokePath
