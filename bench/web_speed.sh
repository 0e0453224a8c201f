#!/usr/bin/env bash
# The page's transform in headless Chromium beside the native one-thread
# transform, in one run: 512 x 512 forward against the native time, 1024 x
# 1024 forward with one worker and with two, and the inverse of a complex
# spectrum (an edit's reconstruction) against the machine's 128-bit peak.
#   bench/web_speed.sh [native build, default build/release]
# Needs what the page's tests need (see web/test/run.cmake), run once first:
# the `web` preset built and puppeteer-core in <build>/web-test. Timings are
# the fastest of several runs; the machine's load is printed with them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
cmake --build --preset web --target page >/dev/null
cmake --build "$build" --target bench_dft specfwd >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
lscpu | grep -m1 'Model name' | sed 's/  */ /g'
echo "load: $(uptime | sed 's/.*load average: //')"
"$build/bench/bench_dft" --benchmark_filter='^(peak/128-bit|avx512/(gray|complex)/(512x512|1024x1024))' \
  --benchmark_repetitions=5 --benchmark_out="$out/native.json" --benchmark_out_format=json >/dev/null 2>&1
NODE_PATH="$build/web-test/node_modules" SPEC_PAGE="$PWD/build/web/index.html" \
  SPEC_CHROMIUM="$(command -v chromium)" SPEC_MAGICK="$(command -v convert)" SPEC_OUT="$out" \
  node bench/web_speed.js "$out/native.json"
echo "load: $(uptime | sed 's/.*load average: //')"
