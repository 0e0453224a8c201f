#!/usr/bin/env bash
# specfwd on photographs' sizes: elapsed time, peak resident memory and the
# bytes it writes, for ImageMagick plasma pictures (a fixed seed, so the same
# pictures every run) of the given sizes, on every processor the run may use
# (taskset -c 0 bench/photo_sizes.sh ... measures one).
#
#   bench/photo_sizes.sh [build_dir [WxH ...]]   (default build/release and
#                                                 1920x1080 4000x3000 6000x4000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(1920x1080 4000x3000 6000x4000)
magick=$(command -v convert || true)
[ -n "$magick" ] || { echo "photo_sizes.sh: ImageMagick's convert is needed" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "photo_sizes.sh: /usr/bin/time is needed (Debian package time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf "%-10s %8s %10s %12s %14s\n" size threads "elapsed s" "peak MiB" "written MB"
for size in "${sizes[@]}"; do
  "$magick" -seed 7 -size "$size" plasma:fractal -type truecolor "BMP3:$size.bmp"
  mkdir "$size" && cd "$size"
  /usr/bin/time -f "%e %M" -o ../time.txt "$build/tools/specfwd/specfwd" "../$size.bmp" >/dev/null
  read -r elapsed kib < ../time.txt
  written=$(cat SourceToGray.bmp dft_complex.dat PowerSpectrum.bmp dft_2D.bmp | wc -c)
  awk -v s="$size" -v t="$(nproc)" -v e="$elapsed" -v k="$kib" -v w="$written" \
    'BEGIN { printf "%-10s %8s %10s %12.1f %14.1f\n", s, t, e, k / 1024, w / 1e6 }'
  cd .. && rm -rf "$size" "$size.bmp"
done
