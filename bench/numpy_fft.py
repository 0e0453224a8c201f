# What a numpy user writes for a picture's centred log power spectrum: the
# suite's gray levels, fft2, fftshift, a log scale, a PNG. A peer for
# bench/fast_speed.sh.    python3 numpy_fft.py picture.bmp spectrum.png
import sys
import numpy as np
from PIL import Image
rgb = np.asarray(Image.open(sys.argv[1]).convert("RGB"), np.int32)
gray = (306 * rgb[..., 0] + 601 * rgb[..., 1] + 117 * rgb[..., 2]) >> 10
power = np.log10(1 + np.abs(np.fft.fftshift(np.fft.fft2(gray))))
Image.fromarray(np.uint8(power * (255 / power.max()))).save(sys.argv[2])
