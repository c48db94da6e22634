#!/usr/bin/env bash
# Editor benchmark: the time from a mouse move of a 2,000-point pen stroke to
# the end of its repaint on a heavy page (a dense page of the pgf manual when
# texlive-pictures-doc is installed, else a generated page of 40,000 strokes),
# on the page alone and over 10,000 items, and committing and undoing a stroke
# on a page that holds 10,000 items.
# Targets: input to overlay median < 4 ms and 99th percentile < 16 ms;
# commit and undo < 16 ms each.
#
#   bash bench/run-editor-bench.sh
#
# Runs on the offscreen platform (set QT_QPA_PLATFORM to measure another).
# Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/bench-app
echo "building editor_bench (Release) in $BUILD ..." >&2
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target editor_bench -j 2 >/dev/null

PGF=/usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
if [[ -f "$PGF" ]]; then
  # Page 200 of the manual: a page dense with pictures.
  "$BUILD/app/editor_bench" "$PGF" 199
else
  echo "(pgf manual not installed: a generated heavy page)" >&2
  "$BUILD/app/editor_bench"
fi
