#!/usr/bin/env bash
# Reader benchmark: opening a file and counting its pages with `quillet info`,
# side by side with `pdfinfo` (poppler-utils) and `qpdf --show-npages`, each
# timed as a whole process. Prints, per file, the median wall time of every
# tool over RUNS interleaved rounds, our time as a fraction of the fastest
# peer's (also in processor time, steadier on a busy machine), and our peak
# resident memory against the budget: 8 bytes per object slot plus the mapped
# file.
#
#   bash bench/run-reader-bench.sh            (RUNS=7 by default)
#
# Test files are generated once into build/bench-data (several GB of free
# space needed; delete the folder to regenerate). Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS="${RUNS:-7}"
BUILD=build/bench
DATA=build/bench-data
BIN="$DATA/bin"
mkdir -p "$DATA" "$BIN"

source bench/common.sh
require_tools run-reader-bench pdfinfo qpdf g++ cmake
build_bench_tools "$BUILD" "$BIN"

# (a) A large real document: the pgf manual if texlive-pictures-doc is
# installed, else 2,500 generated pages rewritten by qpdf with object streams.
PGF=/usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf
if [[ -f "$PGF" ]]; then
  LARGE="$PGF"
else
  LARGE="$DATA/large-2500-pages.pdf"
  if [[ ! -f "$LARGE" ]]; then
    "$BIN/make_bench_pdf" objects "$DATA/large-src.pdf" 20000 2500
    qpdf --object-streams=generate "$DATA/large-src.pdf" "$LARGE"
    rm -f "$DATA/large-src.pdf"
  fi
fi

# (b) About 1 GB of joined copies (bench/common.sh).
HUGE="$DATA/huge-1gb.pdf"
make_huge_pdf "$HUGE" "$BIN" "$DATA"

# (c) 1,000,000 objects indexed by one classic table.
MANY="$DATA/objects-1m.pdf"
if [[ ! -f "$MANY" ]]; then
  echo "generating $MANY ..." >&2
  "$BIN/make_bench_pdf" objects "$MANY.tmp" 1000000 1000
  mv "$MANY.tmp" "$MANY"
fi


# Our pages and slot count, checked against both peers before timing.
check_pages() {
  local file=$1 ours theirs qp
  ours=$("$QUILLET" info "$file" | sed -n 's/.*"pages": \([0-9]*\).*/\1/p')
  theirs=$(pdfinfo "$file" 2>/dev/null | awk '/^Pages:/ { print $2 }')
  qp=$(qpdf --show-npages "$file")
  if [[ "$ours" != "$theirs" || "$ours" != "$qp" ]]; then
    echo "page counts differ on $file: quillet $ours, pdfinfo $theirs, qpdf $qp" >&2
    exit 1
  fi
  echo "$ours"
}

baseline_kib=$("$BIN/measure" 1 "$QUILLET" --help | awk '{ print $2 }')

printf '%-16s %6s %5s %7s | %10s %10s %8s | %6s %4s | %9s | %7s %6s %4s | %11s %8s\n' \
  file MiB pages slots quillet_ms pdfinfo_ms qpdf_ms ratio time cpu_ratio rss_MiB budget mem pdfinfo_rss qpdf_rss
for file in "$LARGE" "$HUGE" "$MANY"; do
  pages=$(check_pages "$file")
  slots=$("$QUILLET" info "$file" | sed -n 's/.*"size": \([0-9]*\).*/\1/p')
  bytes=$(stat -Lc %s "$file")
  cat "$file" >/dev/null  # every tool starts from a warm page cache
  declare -A times=() peaks=() cpus=()
  for ((round = 0; round < RUNS; round++)); do
    # Rotate the order so that no tool always runs right after another.
    order=(quillet pdfinfo qpdf)
    order=("${order[@]:round%3}" "${order[@]:0:round%3}")
    for tool in "${order[@]}"; do
      case $tool in
        quillet) cmd=("$QUILLET" info "$file") ;;
        pdfinfo) cmd=(pdfinfo "$file") ;;
        qpdf) cmd=(qpdf --show-npages "$file") ;;
      esac
      read -r secs kib cpu < <("$BIN/measure" 1 "${cmd[@]}")
      times[$tool]+="$secs "
      cpus[$tool]+="$cpu "
      [[ ${peaks[$tool]:-0} -ge $kib ]] || peaks[$tool]=$kib
    done
  done
  q=$(tr ' ' '\n' <<<"${times[quillet]}" | grep . | median)
  p=$(tr ' ' '\n' <<<"${times[pdfinfo]}" | grep . | median)
  s=$(tr ' ' '\n' <<<"${times[qpdf]}" | grep . | median)
  qc=$(tr ' ' '\n' <<<"${cpus[quillet]}" | grep . | median)
  pc=$(tr ' ' '\n' <<<"${cpus[pdfinfo]}" | grep . | median)
  sc=$(tr ' ' '\n' <<<"${cpus[qpdf]}" | grep . | median)
  budget_kib=$(( baseline_kib + (8 * slots + bytes) / 1024 ))
  awk -v name="$(basename "$file")" -v mb="$bytes" -v pages="$pages" -v slots="$slots" \
      -v q="$q" -v p="$p" -v s="$s" -v qc="$qc" -v pc="$pc" -v sc="$sc" -v rss="${peaks[quillet]}" -v budget="$budget_kib" \
      -v prss="${peaks[pdfinfo]}" -v srss="${peaks[qpdf]}" 'BEGIN {
    fastest = (p < s) ? p : s
    ratio = q / fastest
    cfastest = (pc < sc) ? pc : sc
    cratio = (cfastest > 0) ? sprintf("%.3f", qc / cfastest) : "-"
    printf "%-16s %6.1f %5d %7d | %10.1f %10.1f %8.1f | %6.3f %4s | %9s | %7.1f %6.1f %4s | %11.1f %8.1f\n",
      name, mb / 1048576, pages, slots, q * 1000, p * 1000, s * 1000,
      ratio, (ratio <= 0.5) ? "ok" : "MISS", cratio, rss / 1024, budget / 1024, (rss <= budget) ? "ok" : "MISS",
      prss / 1024, srss / 1024
  }'
  unset times peaks cpus
done
echo "ratio: quillet's median wall time over the faster peer's (target <= 0.5); cpu_ratio: the same in processor time." >&2
echo "budget: quillet --help's resident size + 8 bytes per object slot + the file size." >&2

# (d) The joined file with its cross-reference data cut off: quillet rebuilds
# its object table by one scan of the file; qpdf --check reconstructs it too.
CUT="$DATA/huge-xref-cut.pdf"
if [[ ! -f "$CUT" ]]; then
  cut_at=$(tail -c 1024 "$HUGE" | awk '/startxref/ { getline; print; exit }')
  head -c "$cut_at" "$HUGE" >"$CUT.tmp"
  mv "$CUT.tmp" "$CUT"
fi
repaired=$("$QUILLET" info "$CUT" | sed -n 's/.*"repaired": \([a-z]*\).*/\1/p')
[[ "$repaired" == true ]] || { echo "quillet did not rebuild the table of $CUT" >&2; exit 1; }
cat "$CUT" >/dev/null
declare -A cut_times=()
for ((round = 0; round < RUNS; round++)); do
  read -r secs _ _ < <("$BIN/measure" 1 "$QUILLET" info "$CUT")
  cut_times[quillet]+="$secs "
  # qpdf exits with 3 on a file it had to repair; that is the point here.
  read -r secs _ _ < <("$BIN/measure" 1 sh -c 'qpdf --check "$1" >/dev/null 2>&1; exit 0' sh "$CUT")
  cut_times[qpdf]+="$secs "
done
q=$(tr ' ' '\n' <<<"${cut_times[quillet]}" | grep . | median)
s=$(tr ' ' '\n' <<<"${cut_times[qpdf]}" | grep . | median)
awk -v q="$q" -v s="$s" -v mb="$(stat -Lc %s "$CUT")" 'BEGIN {
  printf "%s, %.1f MiB, cross-reference cut off: quillet info (rebuilds the table) %.1f ms, qpdf --check %.1f ms, ratio %.3f\n",
    "huge-xref-cut.pdf", mb / 1048576, q * 1000, s * 1000, q / s }'
