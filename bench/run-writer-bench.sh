#!/usr/bin/env bash
# Writer benchmark: adding one item to a ~1 GB PDF with `quillet add`, timed
# as a whole process and durable (the tool flushes what it writes), side by
# side with the two alternatives it is measured against:
#   cp+sync   `cp` of the same file followed by `sync` of the copy: the
#             physical floor of producing a new file on a file system
#             without reflinks (with reflinks the clone is free and only
#             the append counts);
#   qpdf      `qpdf IN OUT` rewriting the whole file, then `sync` of OUT.
# Then saving again with no change (`quillet write` of the file's own
# listing): nothing may be appended, so the time is the clone's.
# Prints the medians over RUNS interleaved rounds, our median over each
# peer's, and our peak resident memory.
# Targets: add <= 1.15 x cp+sync; peak memory < 64 MiB.
#
#   bash bench/run-writer-bench.sh            (RUNS=9 by default)
#
# The 1 GB file is generated once into build/bench-data (shared with the
# reader benchmark; delete it to regenerate); outputs are removed at the
# end. About 4 GB of free space needed. Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS="${RUNS:-9}"
BUILD=build/bench-writer
DATA=build/bench-data
BIN="$BUILD/bin"
WORK="$DATA/writer"
mkdir -p "$DATA" "$BIN" "$WORK"
trap 'rm -rf "$WORK"' EXIT

source bench/common.sh
require_tools run-writer-bench qpdf g++ cmake
build_bench_tools "$BUILD" "$BIN"

# About 1 GB of joined copies (bench/common.sh).
# The same file as the reader benchmark's.
HUGE="$DATA/huge-1gb.pdf"
make_huge_pdf "$HUGE" "$BIN" "$WORK"

field() { sed -n "s/.*\"$1\": \([0-9]*\).*/\1/p"; }

OUT="$WORK/out.pdf"
ADDED="$WORK/added.pdf"
LISTING="$WORK/listing.json"
"$QUILLET" add "$HUGE" "$ADDED" --page 1 --ink "100,100 200,180 300,120" >/dev/null
"$QUILLET" list "$ADDED" >"$LISTING"
appended=$("$QUILLET" write "$ADDED" "$OUT" --markup "$LISTING" | tr -d '\n' | field bytesAppended)
if [[ "$appended" != 0 ]]; then
  echo "saving again without a change appended $appended bytes" >&2
  exit 1
fi
rm -f "$OUT"

# Runs one tool once on a fresh output path; prints "seconds kib cpu".
# The previous output's removal is flushed first, so that no run pays for
# another's leftovers.
run_once() {
  local tool=$1 source=$2
  rm -f "$OUT"
  sync
  case $tool in
    add) "$BIN/measure" 1 "$QUILLET" add "$source" "$OUT" --page 1 --ink "100,100 200,180 300,120" ;;
    resave) "$BIN/measure" 1 "$QUILLET" write "$source" "$OUT" --markup "$LISTING" ;;
    cp) "$BIN/measure" 1 sh -c 'cp "$0" "$1" && sync "$1"' "$source" "$OUT" ;;
    qpdf) "$BIN/measure" 1 sh -c 'qpdf "$0" "$1" && sync "$1"' "$source" "$OUT" ;;
  esac
}

printf '%-16s %6s | %10s %10s %9s | %8s %4s | %7s | %9s | %7s %4s\n' \
  case MiB quillet_s cp+sync_s qpdf_s vs_cp goal cpu_cp vs_qpdf rss_MiB goal
for scenario in add resave; do
  if [[ $scenario == add ]]; then source=$HUGE; tools=(add cp qpdf); else source=$ADDED; tools=(resave cp); fi
  cat "$source" >/dev/null  # every tool starts from a warm page cache
  declare -A times=() peaks=() cpus=()
  for ((round = 0; round < RUNS; round++)); do
    # Rotate the order so that no tool always runs right after another.
    n=${#tools[@]}
    order=("${tools[@]:round%n}" "${tools[@]:0:round%n}")
    for tool in "${order[@]}"; do
      read -r secs kib cpu < <(run_once "$tool" "$source")
      times[$tool]+="$secs "
      cpus[$tool]+="$cpu "
      [[ ${peaks[$tool]:-0} -ge $kib ]] || peaks[$tool]=$kib
    done
  done
  ours=${tools[0]}
  q=$(tr ' ' '\n' <<<"${times[$ours]}" | grep . | median)
  c=$(tr ' ' '\n' <<<"${times[cp]}" | grep . | median)
  qc=$(tr ' ' '\n' <<<"${cpus[$ours]}" | grep . | median)
  cc=$(tr ' ' '\n' <<<"${cpus[cp]}" | grep . | median)
  s=-
  [[ -z ${times[qpdf]:-} ]] || s=$(tr ' ' '\n' <<<"${times[qpdf]}" | grep . | median)
  label="add one item"
  [[ $scenario == add ]] || label="save unchanged"
  awk -v name="$label" -v bytes="$(stat -Lc %s "$source")" -v q="$q" -v c="$c" -v s="$s" -v qc="$qc" -v cc="$cc" \
      -v rss="${peaks[$ours]}" 'BEGIN {
    ratio = q / c
    vsq = (s == "-") ? "-" : sprintf("%.3f", q / s)
    qs = (s == "-") ? "-" : sprintf("%.3f", s)
    cratio = (cc > 0) ? sprintf("%.3f", qc / cc) : "-"
    printf "%-16s %6.1f | %10.3f %10.3f %9s | %8.3f %4s | %7s | %9s | %7.1f %4s\n",
      name, bytes / 1048576, q, c, qs, ratio, (ratio <= 1.15) ? "ok" : "MISS", cratio, vsq,
      rss / 1024, (rss < 65536) ? "ok" : "MISS"
  }'
  unset times peaks cpus
done
echo "vs_cp: quillet's median wall time over cp+sync's (goal <= 1.15); cpu_cp: the same in processor time" >&2
echo "(user + system; the copy runs in the kernel either way); vs_qpdf: wall time over qpdf's rewrite." >&2
echo "rss: quillet's peak resident memory, the mapped source included (goal < 64 MiB)." >&2
echo "save unchanged appended 0 bytes." >&2
