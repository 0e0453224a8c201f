#!/usr/bin/env bash
# The spectrum's error, by picture size, against a long-double reference
# (bench/dft_accuracy.cpp): the demo picture, then ImageMagick plasma pictures
# (a fixed seed, so the same pictures every run) of growing size. In a build
# with FFTW (cmake --preset fftw) the same for specfwd -f, with how far its
# spectrum lies from the direct one's and how many pixels of each picture
# drawn from the two differ; with numpy, the error of numpy.fft.fft2 of the
# same gray pictures.
#
#   bench/accuracy.sh [build_dir [WxH ...]]     (default build/release;
#                                                a few minutes single-threaded)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
shift || true
sizes=("$@")
((${#sizes[@]})) || sizes=(640x480 1920x1080 4000x3000)
tools=$build/tools
python=/usr/bin/python3
[ -x "$python" ] || python=python3
has_numpy=0
"$python" -c "import numpy, PIL.Image" 2>/dev/null && has_numpy=1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# Without FFTW, -f ends with 17 before it looks for its input.
has_fft=1
"$tools/specfwd/specfwd" -f >/dev/null 2>&1 || [ $? != 17 ] || has_fft=0

# Every picture drawn from the direct spectrum (in direct/) and from the FFT's
# (in fast/): pixels that differ, and by how many levels at most.
compare_pictures() {
  local dir name pixels worst
  for dir in direct fast; do
    (cd $dir && "$tools/specshow/specshow" -n dft_complex.dat linear.bmp &&
      "$tools/specshow/specshow" -d dft_complex.dat natural.bmp &&
      "$tools/specshow/specshow" -d -n dft_complex.dat natural_linear.bmp &&
      "$tools/specinv/specinv" $([ $dir = fast ] && echo -f) >/dev/null)
  done
  for name in SourceToGray PowerSpectrum linear natural natural_linear idft_2D; do
    pixels=$(compare -metric AE direct/$name.bmp fast/$name.bmp null: 2>&1 || true)
    worst=$(compare -metric PAE direct/$name.bmp fast/$name.bmp null: 2>&1 || true)
    worst=${worst#*(}
    printf "  %-20s %8s pixels differ, by up to %3.0f levels\n" "$name.bmp" "$pixels" \
      "$(awk "BEGIN { print ${worst%)} * 255 }")"
  done
}

# The largest difference between the two spectra's values, in units in the
# last place of the direct one's largest value.
compare_spectra() {
  "$python" - <<'PYTHON'
import numpy as np
def values(path):
    raw = open(path, "rb").read()
    off, w, h = (int.from_bytes(raw[i:i + 4], "little", signed=True) for i in (16, 24, 28))
    return np.frombuffer(raw, "<f8", 2 * w * h, off)
a, b = values("direct/dft_complex.dat"), values("fast/dft_complex.dat")
unit = np.spacing(np.abs(a).max())
print(f"  spectra: {np.count_nonzero(a != b)} of {a.size} values differ, "
      f"the largest by {np.abs(a - b).max() / unit:.2f} units in the last place of the largest")
PYTHON
}

measure() {  # measure NAME PICTURE.bmp
  rm -rf direct fast && mkdir direct fast
  (cd direct && "$tools/specfwd/specfwd" "../$2" >/dev/null)
  echo "== $1: the suite"
  "$build/bench/dft_accuracy" direct/SourceToGray.bmp direct/dft_complex.dat
  if ((has_fft)); then
    (cd fast && "$tools/specfwd/specfwd" -f "../$2" >/dev/null)
    echo "== $1: specfwd -f"
    "$build/bench/dft_accuracy" fast/SourceToGray.bmp fast/dft_complex.dat | tail -n +2 |
      grep -v "^  "
    ((has_numpy)) && compare_spectra
    compare_pictures
  fi
  if ((has_numpy)); then
    # numpy's FFT of the same gray levels, written as a spectrum file.
    (cd direct && "$python" - <<'EOF'
import struct
import numpy as np
from PIL import Image
gray = np.asarray(Image.open("SourceToGray.bmp").convert("L"), np.float64)[::-1]
h, w = gray.shape
header = struct.pack("<4s7i", b"CPX\0", 0, 32 + 16 * w * h, 16, 32, 16 * w * h, w, h)
open("numpy.dat", "wb").write(header + np.fft.fft2(gray).astype("<c16").tobytes())
EOF
    )
    echo "== $1: numpy.fft.fft2"
    "$build/bench/dft_accuracy" direct/SourceToGray.bmp direct/numpy.dat | tail -n +2 |
      grep -v "^  "
  fi
}

"$build/demo/scene" scene.bmp
measure "demo picture" scene.bmp
for size in "${sizes[@]}"; do
  convert -size "$size" -seed 1 plasma: -type truecolor BMP3:plasma.bmp
  measure "plasma $size" plasma.bmp
done
