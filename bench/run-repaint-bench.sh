#!/usr/bin/env bash
# Repaint benchmark: one A4 page holding 10,000 items at 100 % zoom, repainted
# by the page view with appearances kept, and after one item changed, against
# Poppler rendering the same page with the same items saved as annotations.
# Targets: repaint <= 0.5 x Poppler's time and under 16 ms; one changed item
# rebuilds one appearance and one raster.
#
#   bash bench/run-repaint-bench.sh [ITEMS]
#
# Runs on the offscreen platform. Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/bench-editor
echo "building repaint_bench (Release) in $BUILD ..." >&2
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target repaint_bench -j 2 >/dev/null

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
uptime
"$BUILD/app/repaint_bench" "$@"
