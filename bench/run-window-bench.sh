#!/usr/bin/env bash
# Window benchmark: launch to first page painted, verda-pdf against a minimal
# Poppler-Qt6 program (bench/minimal_viewer.cpp) that opens the same file and
# paints page 1 in a widget of the same size at the same zoom, both on the
# same Qt platform (offscreen unless QT_QPA_PLATFORM says otherwise). Both
# report the time from their start (the clock read just before it) to the
# first paint; medians over RUNS interleaved rounds after one warm-up. Then a
# search over a 1,000-page document of text: the longest and the
# 99th-percentile gap between the ticks of a 10 ms main-thread timer while it
# runs (medians over RUNS searches). Then
# memory: five 1,000-page documents open at once, each paged through to its
# end, the peak resident size. Ends with the README's table.
# Targets: launch <= 1.2 x the peer; timer gaps < 100 ms; memory < 600 MiB.
#
#   bash bench/run-window-bench.sh [BIG.pdf ...]   (RUNS=3 by default)
#
# Without arguments: PGF_MANUAL (the 1,321-page pgf manual, by default where
# texlive-pictures-doc puts it) or a generated 1,321-page document, and the shared ~1 GB file. Runs in
# self-test mode, so the user's settings are neither read nor changed.
# Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS="${RUNS:-3}"
BUILD=build/bench-app
DATA=build/bench-data
BIN="$BUILD/bin"
WORK="$DATA/window"
mkdir -p "$DATA" "$BIN" "$WORK"
chmod 700 "$WORK"  # it is also the runtime folder, which Qt wants private
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export QUILLET_SELFTEST=bench XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$WORK}"

source bench/common.sh
require_tools run-window-bench qpdf g++ cmake
build_bench_tools build/bench-writer "$BIN"
echo "building verda-pdf and minimal_viewer (Release) in $BUILD ..." >&2
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target verda-pdf minimal_viewer -j 2 >/dev/null
APP="$PWD/$BUILD/app/verda-pdf"
PEER="$PWD/$BUILD/app/minimal_viewer"

files=("$@")
if ((${#files[@]} == 0)); then
  PGF_MANUAL="${PGF_MANUAL:-/usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf}"
  if [[ -f "$PGF_MANUAL" ]]; then
    files+=("$PGF_MANUAL")
  else
    [[ -f "$DATA/pages-1321.pdf" ]] || "$BIN/make_bench_pdf" objects "$DATA/pages-1321.pdf" 20000 1321
    files+=("$DATA/pages-1321.pdf")
  fi
  make_huge_pdf "$DATA/huge-1gb.pdf" "$BIN" "$WORK"
  files+=("$DATA/huge-1gb.pdf")
fi

app_ms() {  # FILE
  BENCH_LAUNCHED_NS=$(date +%s%N) QUILLET_SELFTEST_FIRST_PAINT=exit "$APP" "$1" 2>&1 | sed -n 's/.*first page painted after \([0-9]*\) ms.*/\1/p' | tail -1
}
peer_ms() {  # FILE
  BENCH_LAUNCHED_NS=$(date +%s%N) "$PEER" "$1" | sed -n 's/first page painted after \([0-9]*\) ms/\1/p'
}

rows=()
for file in "${files[@]}"; do
  app_runs=() peer_runs=()
  app_ms "$file" >/dev/null; peer_ms "$file" >/dev/null  # warm the page cache
  for ((i = 0; i < RUNS; i++)); do
    app_runs+=("$(app_ms "$file")")
    peer_runs+=("$(peer_ms "$file")")
  done
  app=$(printf '%s\n' "${app_runs[@]}" | median)
  peer=$(printf '%s\n' "${peer_runs[@]}" | median)
  awk -v f="$(basename "$file")" -v a="$app" -v p="$peer" \
    'BEGIN { printf "%s: first page painted %d ms, peer %d ms, ratio %.2f (target <= 1.2)\n", f, a, p, a / p }'
  pages=$("$QUILLET" info "$file" 2>/dev/null | sed -n 's/.*"pages": *\([0-9]*\).*/\1/p' | head -1)
  rows+=("$(awk -v f="$(basename "$file")" -v n="${pages:-?}" -v a="$app" -v p="$peer" \
    'BEGIN { printf "| %s (%s pages), launch to first page painted | %d ms | %d ms | %.2f | ≤ 1.2 |", f, n, a, p, a / p }')")
done

# Responsiveness: a search over 1,000 pages of text (50,000 matches) while a
# 10 ms timer ticks on the main thread.
[[ -f "$DATA/text-1000.pdf" ]] || "$BIN/make_bench_pdf" text "$DATA/text-1000.pdf" 1000
longest_runs=() p99_runs=()
for ((i = 0; i < RUNS; i++)); do
  line=$(QUILLET_SELFTEST_SEARCH=fox "$APP" "$DATA/text-1000.pdf" 2>&1 | grep 'main-thread timer gaps' | tail -1)
  longest_runs+=("$(sed -n 's/.*longest \([0-9]*\) ms.*/\1/p' <<<"$line")")
  p99_runs+=("$(sed -n 's/.*99th percentile \([0-9]*\) ms.*/\1/p' <<<"$line")")
  echo "${line#*VerdaPDF: }"
done
longest=$(printf '%s\n' "${longest_runs[@]}" | median)
p99=$(printf '%s\n' "${p99_runs[@]}" | median)
echo "search over 1,000 pages: main-thread timer gaps longest $longest ms, 99th percentile $p99 ms (target < 100)"
rows+=("| search over 1,000 pages (50,000 matches), longest main-thread timer gap (99th percentile) | $longest ms ($p99 ms) | – | – | < 100 ms |")

docs=()
for i in 1 2 3 4 5; do
  [[ -f "$DATA/pages-1000-$i.pdf" ]] || "$BIN/make_bench_pdf" objects "$DATA/pages-1000-$i.pdf" $((15000 + i)) 1000
  docs+=("$DATA/pages-1000-$i.pdf")
done
# Memory: five 1,000-page documents, each paged through to its end.
peak=$(QUILLET_SELFTEST_SCROLL_THROUGH=1 "$APP" "${docs[@]}" 2>&1 | sed -n 's/.*VmHWM:[[:space:]]*\([0-9]*\) kB.*/\1/p' | sort -n | tail -1)
awk -v k="$peak" 'BEGIN { printf "five 1,000-page documents paged through: peak %.0f MiB (target < 600)\n", k / 1024 }'
rows+=("$(awk -v k="$peak" 'BEGIN { printf "| five 1,000-page documents open and paged through, peak memory | %.0f MiB | – | – | < 600 MiB |", k / 1024 }')")

echo
echo "Measured $(date -u +%Y-%m-%d), $RUNS rounds, load $(cut -d' ' -f1-3 /proc/loadavg):"
echo
echo "| case | verda-pdf | minimal viewer | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
