#!/usr/bin/env bash
# Runs one fuzz target of the host build for SECONDS over its seed corpus and
# the crash inputs kept in regressions/, and prints one summary line: runs,
# coverage, corpus size and whether it crashed.
#   run-target.sh [--fresh] [--seed N] HOST_BUILD_DIR NAME SECONDS
# --fresh starts from an empty working corpus (CTest: the same run each time);
# otherwise what earlier runs found is kept in HOST_BUILD_DIR/fuzz-corpus/NAME.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

fresh=0
seed=0
while [ $# -gt 0 ]; do
  case "$1" in
    --fresh) fresh=1; shift ;;
    --seed) seed="$2"; shift 2 ;;
    *) break ;;
  esac
done
[ $# -eq 3 ] || { echo "usage: $0 [--fresh] [--seed N] HOST_BUILD_DIR NAME SECONDS" >&2; exit 2; }
build="$1" name="$2" seconds="$3"

binary="$build/fuzz/fuzz_$name"
[ -x "$binary" ] || { echo "$name: $binary is not built" >&2; exit 2; }
work="$build/fuzz-corpus/$name"
artifacts="$build/fuzz-artifacts/$name"
log="$build/fuzz-logs/$name.log"
if ((fresh)); then rm -rf "$work"; fi
mkdir -p "$work" "$artifacts" "$(dirname "$log")"

# New inputs go to the first folder only; the repository's folders are read.
corpora=("$work")
for dir in "$here/corpus/$name" "$here/regressions/$name"; do
  [ -d "$dir" ] && corpora+=("$dir")
done
case "$name" in
  markup | image_pixels) corpora+=("$top/app/skin") ;; # the skin's own markup and images
esac

# 2 s per input and 512 MB are the limits an input must stay within; a single
# allocation beyond 512 MB counts as a fault as well.
stamp="$build/fuzz-logs/$name.start"
touch "$stamp"
status=0
ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}" \
UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}" \
  "$binary" -seed="$seed" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=512 -malloc_limit_mb=512 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "${corpora[@]}" >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1 || true)
coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
features=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
corpus=$(find "$work" -type f | wc -l)
if [ "$status" -eq 0 ]; then
  printf '%-18s %10s runs  cov %5s  ft %6s  new inputs %5s  no crash\n' \
    "$name" "${runs:-?}" "${coverage:-?}" "${features:-?}" "$corpus"
  exit 0
fi
printf '%-18s %10s runs  cov %5s  ft %6s  CRASH (exit %s)\n' "$name" "${runs:-?}" "${coverage:-?}" "${features:-?}" "$status"
grep -E '^(==[0-9]+==ERROR|SUMMARY|invariant broken|.*runtime error)' "$log" | head -n 5 || true
find "$artifacts" -type f -newer "$stamp" | while read -r input; do
  echo "  reproducer: $input (keep it in tests/fuzz/regressions/$name/)"
done
echo "  full log: $log"
exit 1
