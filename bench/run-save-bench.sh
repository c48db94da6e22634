#!/usr/bin/env bash
# Save benchmark: one new item saved in place into the ~1 GB PDF by the
# application's save engine, end to end (hidden temporary file beside the
# document, the update appended and flushed, qpdf's verification, rename,
# folder flush), side by side with its floor measured in the same rounds:
# `cp` of the same file, `sync` of the copy and `qpdf --show-npages` on it
# (an independent reader must open the result at least that far).
# Also times the verification alone (qpdf's share of the save).
# As in the application, the replaced version's space is given back after the
# save is done (on file systems that discard freed blocks at once, ext4's
# "discard", that takes a good part of a second for this file): save_s is the
# process's time without that release, release_s the release itself, which
# the user does not wait for.
# Prints medians over RUNS interleaved rounds and the save's peak memory.
# Targets: save <= 1.2 x floor; peak memory < 100 MiB.
#
#   bash bench/run-save-bench.sh            (RUNS=7 by default)
#
# Shares the 1 GB file with the other benchmarks (build/bench-data); about
# 3 GB of free space needed. Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS="${RUNS:-7}"
BUILD=build/bench-save
DATA=build/bench-data
BIN="$BUILD/bin"
WORK="$DATA/save"
mkdir -p "$DATA" "$BIN" "$WORK"
trap 'rm -rf "$WORK"' EXIT

source bench/common.sh
require_tools run-save-bench qpdf g++ cmake
build_bench_helpers "$BIN"
echo "building save_bench (Release) in $BUILD ..." >&2
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target save_bench -j 2 >/dev/null
SAVE="$PWD/$BUILD/app/save_bench"

HUGE="$DATA/huge-1gb.pdf"
make_huge_pdf "$HUGE" "$BIN" "$WORK"
PAGES=$(qpdf --show-npages "$HUGE")

# The document's working copy is the pristine file; the user's file is a
# copy that every save replaces.
TARGET="$WORK/document.pdf"
OUT="$WORK/copy.pdf"
export XDG_DATA_HOME="$WORK/data"
cp "$HUGE" "$TARGET"
"$SAVE" "$HUGE" "$TARGET" "$PAGES"
qpdf --check "$TARGET" >/dev/null

run_once() {
  sync
  case $1 in
    save) "$BIN/measure" 1 "$SAVE" "$HUGE" "$TARGET" "$PAGES" "$TIMES" ;;
    floor) rm -f "$OUT"; sync
      "$BIN/measure" 1 sh -c 'cp "$0" "$1" && sync "$1" && qpdf --show-npages "$1"' "$HUGE" "$OUT" ;;
    verify) "$BIN/measure" 1 "$SAVE" --verify "$TARGET" "$PAGES" ;;
  esac
}

TIMES="$WORK/save-times"
: >"$TIMES"
cat "$HUGE" >/dev/null  # every tool starts from a warm page cache
declare -A times=() peaks=()
tools=(save floor verify)
for ((round = 0; round < RUNS; round++)); do
  order=("${tools[@]:round%3}" "${tools[@]:0:round%3}")
  for tool in "${order[@]}"; do
    read -r secs kib _ < <(run_once "$tool")
    if [[ $tool == save ]]; then
      read -r _ release < <(tail -n 1 "$TIMES")
      times[release]+="$release "
      times[process]+="$secs "
      secs=$(awk -v s="$secs" -v r="$release" 'BEGIN { printf "%.6f", s - r }')
    fi
    times[$tool]+="$secs "
    [[ ${peaks[$tool]:-0} -ge $kib ]] || peaks[$tool]=$kib
  done
done
m() { tr ' ' '\n' <<<"${times[$1]}" | grep . | median; }
awk -v bytes="$(stat -Lc %s "$HUGE")" -v s="$(m save)" -v f="$(m floor)" -v v="$(m verify)" \
    -v r="$(m release)" -v p="$(m process)" \
    -v rss="${peaks[save]}" -v vrss="${peaks[verify]}" 'BEGIN {
  printf "%-22s %6s | %8s %8s | %8s %4s | %9s %9s | %7s %4s\n", "case", "MiB", "save_s", "floor_s", "vs_floor",
    "goal", "verify_s", "qpdf_share", "rss_MiB", "goal"
  printf "%-22s %6.1f | %8.3f %8.3f | %8.3f %4s | %9.3f %9.1f%% | %7.1f %4s\n", "save one item in place",
    bytes / 1048576, s, f, s / f, (s / f <= 1.2) ? "ok" : "MISS", v, 100 * v / s, rss / 1024,
    (rss < 102400) ? "ok" : "MISS"
  printf "verification alone: peak memory %.1f MiB\n", vrss / 1024
  printf "after the save: release of the replaced version %.3f s; the save process with it %.3f s (%.3f x floor)\n",
    r, p, p / f
}'
echo "floor: cp + sync of the copy + qpdf --show-npages on it; qpdf_share: the verification's time over the save's." >&2
