#!/usr/bin/env bash
# The spectrum's error, by picture size, against a long-double reference
# (bench/dft_accuracy.cpp): the demo picture, then ImageMagick plasma pictures
# (a fixed seed, so the same pictures every run) of growing size. With numpy
# the same is measured for numpy.fft.fft2 of the same gray pictures.
#
#   bench/accuracy.sh [build_dir [WxH ...]]     (default build/release;
#                                                about a minute single-threaded)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(640x480 1920x1080 4000x3000)
python=/usr/bin/python3
[ -x "$python" ] || python=python3
has_numpy=0
"$python" -c "import numpy, PIL.Image" 2>/dev/null && has_numpy=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

measure() {  # measure NAME PICTURE.bmp
  "$build/tools/specfwd/specfwd" "$2" >/dev/null
  echo "== $1: the suite"
  "$build/bench/dft_accuracy" SourceToGray.bmp dft_complex.dat
  if ((has_numpy)); then
    # numpy's FFT of the same gray levels, written as a spectrum file.
    "$python" - <<'EOF'
import struct
import numpy as np
from PIL import Image
gray = np.asarray(Image.open("SourceToGray.bmp").convert("L"), np.float64)[::-1]
h, w = gray.shape
header = struct.pack("<4s7i", b"CPX\0", 0, 32 + 16 * w * h, 16, 32, 16 * w * h, w, h)
open("numpy.dat", "wb").write(header + np.fft.fft2(gray).astype("<c16").tobytes())
EOF
    echo "== $1: numpy.fft.fft2"
    "$build/bench/dft_accuracy" SourceToGray.bmp numpy.dat | tail -n +2 | grep -v "^  "
  fi
}

"$build/demo/scene" scene.bmp
measure "demo picture" scene.bmp
for size in "${sizes[@]}"; do
  convert -size "$size" -seed 1 plasma: -type truecolor BMP3:plasma.bmp
  measure "plasma $size" plasma.bmp
done
