#!/usr/bin/env bash
# Builds the libFuzzer targets with Clang (preset `fuzz`), seeds their corpora
# with generated files and, when it is beside the project, the BMP Suite (the
# target of the whole public header, fuzz_api, starts from nothing), and runs
# each target for a bounded time:
#   fuzz/run.sh [seconds per target, default 60]
# Ends with a non-zero status when a target fails; the input that made it
# fail is then in build/fuzz/artifacts/ (keep it under tests/fuzz-regressions/).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
suite=${SPEC_BMPSUITE_DIR:-../shared/bmpsuite}
cxx=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$cxx" ]; then
  echo "fuzz/run.sh: no clang++ found" >&2
  exit 1
fi

cmake --preset fuzz -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build --preset fuzz

out=build/fuzz
rm -rf "$out/corpus" "$out/artifacts"
mkdir -p "$out/corpus/bmp" "$out/corpus/spectrum" "$out/corpus/api" "$out/artifacts"
"$out/fuzz/fuzz_seeds" "$out/corpus/bmp" "$out/corpus/spectrum"
if [ -d "$suite" ]; then
  cp "$suite"/*/*.bmp "$out/corpus/bmp/"
else
  echo "BMP Suite not found at $suite: seeding with generated files only"
fi
# The inputs that once made a target fail are seeds as well.
for target in bmp spectrum api; do
  if [ -d "tests/fuzz-regressions/$target" ]; then
    cp tests/fuzz-regressions/$target/* "$out/corpus/$target/" 2>/dev/null || true
  fi
done

status=0
for target in bmp spectrum api; do
  log="$out/fuzz_$target.log"
  echo "fuzz_$target: $seconds s from $(ls "$out/corpus/$target" | wc -l) seeds"
  # A block of over 2 GiB, or 10 s on one input, counts as a failure too. The
  # palette lines of refused BMPs are dropped (close_fd_mask); reports are not.
  if "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=2048 -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
      "$out/corpus/$target" >"$log" 2>&1; then
    grep -E '(INITED|DONE) ' "$log" || tail -n 3 "$log"
  else
    status=1
    echo "fuzz_$target failed:"
    tail -n 60 "$log"
  fi
done
exit $status
