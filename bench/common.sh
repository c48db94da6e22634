# Shared by the benchmark scripts (sourced, not run): tool checks, the
# Release build of quillet with the measuring helpers, the ~1 GB test file
# and a median filter.

require_tools() {  # NAME TOOL...
  local name="$1" tool
  shift
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is needed" >&2; exit 1; }
  done
}

# Builds quillet (Release) in BUILD and the helpers into BIN; sets QUILLET.
build_bench_tools() {  # BUILD BIN
  local build="$1" bin="$2"
  echo "building quillet (Release) in $build ..." >&2
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_APP=OFF >/dev/null
  cmake --build "$build" --target quillet -j 2 >/dev/null
  QUILLET="$PWD/$build/cli/quillet"
  build_bench_helpers "$bin"
}

# The file generator and the time/memory meter, rebuilt when their source changed.
build_bench_helpers() {  # BIN
  local bin="$1" helper
  for helper in make_bench_pdf measure; do
    if [[ ! -x "$bin/$helper" || "bench/$helper.cpp" -nt "$bin/$helper" ]]; then
      g++ -O2 -std=c++20 -o "$bin/$helper" "bench/$helper.cpp"
    fi
  done
}

# About 1 GB: 40 copies of a 25 MB document of incompressible images, joined
# by qpdf. qpdf reads a repeated path only once, hence hard links. Made once.
make_huge_pdf() {  # PATH BIN SCRATCH
  local huge="$1" bin="$2" scratch="$3" i
  [[ -f "$huge" ]] && return 0
  echo "generating $huge ..." >&2
  "$bin/make_bench_pdf" images "$scratch/part-25mb.pdf" 50 500000
  local parts=()
  for i in $(seq -w 1 40); do
    ln -f "$scratch/part-25mb.pdf" "$scratch/part-$i.pdf"
    parts+=("$scratch/part-$i.pdf")
  done
  qpdf --empty --pages "${parts[@]}" -- "$huge.tmp"
  mv "$huge.tmp" "$huge"
  rm -f "$scratch/part-25mb.pdf" "${parts[@]}"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
