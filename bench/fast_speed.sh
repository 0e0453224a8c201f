#!/usr/bin/env bash
# specfwd -f against specfwd (the exact direct DFT) and two peers, whole
# processes on the same pictures in one run: ImageMagick's -fft to PNG, and
# a numpy script (fft2, fftshift, Pillow; bench/numpy_fft.py). Each figure is
# the median elapsed time of 3 runs, on one processor (taskset -c 0) and on
# two (taskset -c 0,1). "write only" is the time it takes just to write
# specfwd's four files of that size, each to a temporary flushed to the disk
# and renamed over the last run's as specfwd does; the last column is specfwd -f over it. Then
# bench/fwd_steps shows where the time of specfwd -f goes at the largest size.
#
#   bench/fast_speed.sh [build_dir [WxH ...]]   (default build/fftw and 1024x1024
#                                                1920x1080 4000x3000 4001x2999;
#                                                about 5 minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/fftw}" && pwd)
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(1024x1024 1920x1080 4000x3000 4001x2999)
specfwd=$build/tools/specfwd/specfwd
# Debian's own ImageMagick, not whatever else may stand first on PATH.
magick=/usr/bin/convert
[ -x "$magick" ] || magick=$(command -v convert || true)
[ -n "$magick" ] || { echo "fast_speed.sh: ImageMagick's convert is needed" >&2; exit 1; }
python=/usr/bin/python3
[ -x "$python" ] || python=python3
"$python" -c "import numpy, PIL.Image" 2>/dev/null ||
  { echo "fast_speed.sh: numpy and Pillow are needed (python3-numpy python3-pil)" >&2; exit 1; }
command -v taskset >/dev/null || { echo "fast_speed.sh: taskset is needed (util-linux)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Without FFTW, -f ends with 17 before it looks for its input.
status=0
"$specfwd" -f >/dev/null 2>&1 || status=$?
[ "$status" != 17 ] || { echo "fast_speed.sh: $specfwd has no FFTW (cmake --preset fftw)" >&2; exit 1; }

# median CPUS COMMAND...: the median elapsed seconds of 3 runs in ./run.
median() {
  local cpus=$1 t0 t1 times=()
  shift
  for _ in 1 2 3; do
    t0=$(date +%s%N)
    (cd run && taskset -c "$cpus" "$@" >/dev/null 2>&1)
    t1=$(date +%s%N)
    times+=("$(((t1 - t0) / 1000000))")
  done
  printf "%s\n" "${times[@]}" | sort -n | sed -n 2p | awk '{ printf "%.3f", $1 / 1000 }'
}

# The four files of specfwd, as it writes them: a temporary flushed to the
# disk, then a rename.
cat > write_only.sh <<'SCRIPT'
for f in SourceToGray.bmp:$1 dft_complex.dat:$2 PowerSpectrum.bmp:$1 dft_2D.bmp:$1; do
  dd if=/dev/zero of=".${f%%:*}.tmp" bs=4M count="${f#*:}" iflag=count_bytes conv=fsync \
    status=none
done
for f in SourceToGray.bmp dft_complex.dat PowerSpectrum.bmp dft_2D.bmp; do mv ".$f.tmp" "$f"; done
SCRIPT

echo "load: $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 minutes)"
printf "%-10s %5s %11s %9s %12s %11s %11s %8s\n" size cores "specfwd -f" specfwd \
  "IM -fft" "numpy fft2" "write only" "-f/write"
for size in "${sizes[@]}"; do
  "$magick" -seed 1 -size "$size" plasma:fractal -type truecolor "BMP3:$size.bmp"
  w=${size%x*} h=${size#*x}
  bmp=$((54 + 4 * w * h)) spectrum=$((32 + 11 + 16 * w * h))
  for cpus in 0 0,1; do
    rm -rf run && mkdir run
    fast=$(median "$cpus" "$specfwd" -f "../$size.bmp")
    direct=$(median "$cpus" "$specfwd" "../$size.bmp")
    im=$(median "$cpus" "$magick" "../$size.bmp" -fft fft.png)
    numpy=$(median "$cpus" "$python" "$root/bench/numpy_fft.py" "../$size.bmp" numpy.png)
    write=$(median "$cpus" bash ../write_only.sh "$bmp" "$spectrum")
    printf "%-10s %5s %11s %9s %12s %11s %11s %7.2fx\n" "$size" "$(((${#cpus} + 1) / 2))" \
      "$fast" "$direct" "$im" "$numpy" "$write" "$(awk "BEGIN { print $fast / $write }")"
  done
done
last=${sizes[-1]}
for size in "${sizes[@]}"; do [ "$size" = 4000x3000 ] && last=$size; done
for cpus in 0 0,1; do
  echo
  echo "specfwd -f on $last, step by step, on processors $cpus:"
  (cd run && taskset -c "$cpus" "$build/bench/fwd_steps" -f "../$last.bmp" 3)
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
