"""Checks that the suite's files pass between it and other image tools.

    interop.py CHECK --bin SPECFWD SPECINV SPECSHOW SPECFILTER SCENE [--magick CONVERT] [--launcher RUN]

CHECK is one of
  suite-bmps    every BMP the suite writes is decoded by ImageMagick and by
                Pillow to exactly the pixels in the file, and those pixels are
                what the suite meant (the input's gray levels, the centred
                zero frequency, the reconstruction);
  foreign-bmps  BMPs written by ImageMagick and by Pillow, in every format
                specfwd accepts and in either row order, are read by specfwd
                to the gray levels of the pixels those tools report; the
                formats it refuses are refused with the status its manual
                page gives; pictures that a plain BMP3 conversion makes
                into refused files are accepted when converted with the
                README's recipe, with their gray levels;
  numpy-fft     the spectrum file agrees with numpy.fft.fft2 of the same gray
                picture to within the bound of tolerance() below;
  numpy-filter  specfilter's samples are within 1 ulp (--ulps) of the
                gains computed here from their formulas, on even and odd
                sizes, with masks centred and in natural order;
  numpy-notch   a notch at the demo picture's grating makes its two
                coefficients 0, and the reconstruction has no more energy
                at that frequency than at its neighbours.

Needs numpy and Pillow, and ImageMagick's convert for the first two checks.
With --launcher the suite's programs are started as RUN PROGRAM ARGS...
(the emulator of a build for another processor).
"""

import argparse
import math
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np
from PIL import Image


def tolerance(w, h):
    """Largest difference from numpy.fft.fft2 allowed for a W x H picture, as
    a fraction of the largest coefficient. The suite forms each factor's angle
    as k * (j * s) in double: along a line of n samples the angle reaches
    2 pi n, and its rounding moves a factor by up to about 2 pi n epsilon.
    The levels are not negative, so the largest coefficient, their sum, bounds
    every sum of magnitudes, and each pass adds at most about (2 pi + 1) n
    epsilon of it (the factors, then the running sums)."""
    return 8 * (w + h) * np.finfo(np.float64).eps


class Tools:
    magick = None
    launcher = []
    ulps = 1
    specfwd = specinv = specshow = specfilter = scene = None


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


def run(program, args, cwd):
    done = subprocess.run(Tools.launcher + [program] + args, cwd=cwd, capture_output=True, text=True)
    return done.returncode, done.stderr


def run_ok(program, args, cwd):
    status, err = run(program, args, cwd)
    expect(status == 0, "%s %s ended with %d: %s" % (os.path.basename(program), args, status, err))


def gray_of(rgb):
    """The suite's gray level of every pixel of an H x W x 3 array."""
    rgb = rgb.astype(np.int64)
    return (306 * rgb[..., 0] + 601 * rgb[..., 1] + 117 * rgb[..., 2]) >> 10


# ---- Three independent readings of a BMP, each top row first ----------------

def magick_rgba(path):
    """H x W x 4 as ImageMagick decodes the file (alpha 255 where it sees none)."""
    size = subprocess.run([Tools.magick, path, "-format", "%w %h", "info:"],
                          capture_output=True, text=True, check=True).stdout.split()
    w, h = int(size[0]), int(size[1])
    raw = subprocess.run([Tools.magick, path, "-depth", "8", "RGBA:-"],
                         capture_output=True, check=True).stdout
    expect(len(raw) == w * h * 4, "ImageMagick gave %d bytes for %s" % (len(raw), path))
    return np.frombuffer(raw, np.uint8).reshape(h, w, 4)


def pillow_rgba(path):
    with Image.open(path) as im:
        return np.asarray(im.convert("RGBA"))


def suite_pixels(path):
    """H x W x 4 (red, green, blue, fourth byte) read straight from a BMP the
    suite wrote, after checking that its header is the one the suite writes."""
    data = open(path, "rb").read()
    (bf_type, bf_size, _, _, off_bits, bi_size, w, h, planes, bits, compression,
     size_image) = struct.unpack_from("<2sIHHIIiiHHII", data, 0)
    expect((bf_type, off_bits, bi_size, planes, bits, compression) == (b"BM", 54, 40, 1, 32, 0)
           and h > 0 and bf_size == len(data) == 54 + 4 * w * h and size_image == 4 * w * h,
           "%s does not have the header the suite writes" % path)
    bgrx = np.frombuffer(data, np.uint8, offset=54).reshape(h, w, 4)[::-1]
    return np.concatenate([bgrx[..., 2::-1], bgrx[..., 3:]], axis=2)


# ---- Pictures ---------------------------------------------------------------

def test_picture(w, h, seed):
    """A colourful W x H picture: smooth gradients, a bright block and noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w]
    rgb = np.stack([(x * 255) // max(w - 1, 1), (y * 255) // max(h - 1, 1),
                    (x * y * 7) % 256], axis=2)
    rgb = (rgb + rng.integers(-20, 21, rgb.shape)).clip(0, 255)
    rgb[h // 4:h // 2, w // 3:w // 2] = (250, 180, 40)
    return rgb.astype(np.uint8)


def flip_rows(data):
    """The same BMP stored top-down: rows in reverse order, negative height."""
    off_bits, = struct.unpack_from("<I", data, 10)
    w, h, _, bits = struct.unpack_from("<iiHH", data, 18)
    stride = (bits * w + 31) // 32 * 4
    rows = [data[off_bits + r * stride:off_bits + (r + 1) * stride] for r in range(h)]
    out = bytearray(data)
    out[off_bits:off_bits + h * stride] = b"".join(reversed(rows))
    struct.pack_into("<i", out, 22, -h)
    return bytes(out)


# ---- suite-bmps -------------------------------------------------------------

def check_suite_bmps(work):
    # An odd width (the swap leaves the last column) and an even height, so
    # that row H/2 from the bottom is not row H/2 from the top.
    w, h = 37, 24
    picture = test_picture(w, h, 1)
    Image.fromarray(picture, "RGB").save(os.path.join(work, "in.bmp"))
    run_ok(Tools.specfwd, ["in.bmp", "out.bmp"], work)
    run_ok(Tools.specinv, [], work)
    views = {"centred_log.bmp": [], "natural_log.bmp": ["-d"],
             "centred_linear.bmp": ["-n"], "natural_linear.bmp": ["-d", "-n"]}
    for name, options in views.items():
        run_ok(Tools.specshow, options + ["dft_complex.dat", name], work)

    written = ["SourceToGray.bmp", "PowerSpectrum.bmp", "out.bmp", "idft_2D.bmp"] + list(views)
    levels = {}
    for name in written:
        path = os.path.join(work, name)
        pixels = suite_pixels(path)
        expect((pixels[..., 3] == 0).all(), name + ": a fourth byte is not 0")
        expect((pixels[..., 0] == pixels[..., 1]).all() and (pixels[..., 1] == pixels[..., 2]).all(),
               name + ": a pixel is not gray")
        for reader, decode in (("ImageMagick", magick_rgba), ("Pillow", pillow_rgba)):
            seen = decode(path)
            expect(seen.shape == (h, w, 4), "%s reads %s as %s" % (reader, name, seen.shape))
            expect((seen[..., 3] == 255).all(), "%s sees transparency in %s" % (reader, name))
            differ = int((seen[..., :3] != pixels[..., :3]).any(axis=2).sum())
            expect(differ == 0, "%s decodes %d pixels of %s differently" % (reader, differ, name))
        levels[name] = pixels[..., 0].astype(np.int64)
        print("%-20s ImageMagick and Pillow read all %d pixels as written" % (name, w * h))

    # What the pictures mean, as another program shows them (top row first).
    expect((levels["SourceToGray.bmp"] == gray_of(magick_rgba(os.path.join(work, "in.bmp"))[..., :3])).all(),
           "SourceToGray.bmp is not the gray picture of the input")
    back = levels["idft_2D.bmp"] - levels["SourceToGray.bmp"]
    expect(back.min() >= -1 and back.max() <= 0, "the reconstruction strays by %d..%d" % (back.min(), back.max()))
    expect((levels["PowerSpectrum.bmp"] == levels["centred_log.bmp"]).all()
           and (levels["out.bmp"] == levels["centred_log.bmp"]).all(),
           "specfwd's power spectra differ from specshow's")
    # The zero frequency, the largest coefficient of a picture, is white: in
    # the centre (column W/2, row H/2 from the bottom) or at the bottom left.
    centre, corner = (h - 1 - h // 2, w // 2), (h - 1, 0)
    for name, where in (("centred_log.bmp", centre), ("centred_linear.bmp", centre),
                        ("natural_log.bmp", corner), ("natural_linear.bmp", corner)):
        expect(levels[name][where] >= 254, "%s: zero frequency at %s is %d" % (name, where, levels[name][where]))
    print("gray picture, reconstruction (%d..%d) and zero-frequency positions as meant"
          % (back.min(), back.max()))


# ---- foreign-bmps -----------------------------------------------------------

def magick_writes(*options):
    def write(source_png, path):
        subprocess.run([Tools.magick, source_png] + list(options) + ["BMP3:" + path], check=True)
    return write


def magick_writes_v5(*options):
    def write(source_png, path):
        subprocess.run([Tools.magick, source_png] + list(options) + ["BMP:" + path], check=True)
    return write


def pillow_writes(mode):
    def write(source_png, path):
        with Image.open(source_png) as im:
            if mode == "RGBA":
                im = im.convert("RGBA")
                im.putalpha(Image.linear_gradient("L").resize(im.size))
            elif mode == "P":
                im = im.convert("P", palette=Image.ADAPTIVE, colors=100)
            else:
                im = im.convert(mode)
            im.save(path, "BMP")
    return write


# (name, writer, bits per pixel written, status of specfwd: 0 or the refusal)
FOREIGN = [
    ("ImageMagick BMP3 24-bit", magick_writes(), 24, 0),
    ("ImageMagick BMP3 32-bit with alpha",
     magick_writes("-alpha", "set", "-channel", "A", "-fx", "0.2+0.6*i/w", "+channel",
                   "-define", "bmp3:alpha=true"), 32, 0),
    ("ImageMagick BMP3 8-bit palette", magick_writes("-type", "palette", "-compress", "none"), 8, 0),
    ("ImageMagick BMP3 8-bit gray palette",
     magick_writes("-colorspace", "gray", "-type", "palette", "-compress", "none"), 8, 0),
    ("ImageMagick BMP3 1-bit", magick_writes("-monochrome"), 1, 0),
    ("Pillow 24-bit", pillow_writes("RGB"), 24, 0),
    ("Pillow 32-bit with alpha", pillow_writes("RGBA"), 32, 0),
    ("Pillow 8-bit palette", pillow_writes("P"), 8, 0),
    ("Pillow 8-bit gray", pillow_writes("L"), 8, 0),
    ("Pillow 1-bit", pillow_writes("1"), 1, 0),
    # Refused, as the manual page says: a longer info header moves the pixels
    # past byte 54 (6), run-length and bit-field files are compressed (3), and
    # 4 bits per pixel cannot be expanded (9).
    ("ImageMagick BMP (V5 header) 24-bit", magick_writes_v5(), 24, 6),
    ("ImageMagick BMP (V5 header) 32-bit bit fields", magick_writes_v5("-alpha", "on"), 32, 3),
    ("ImageMagick BMP3 8-bit run-length", magick_writes("-type", "palette"), 8, 3),
    ("ImageMagick BMP3 4-bit", magick_writes("-colors", "16", "-compress", "none"), 4, 9),
]


# Pictures that a plain `convert SRC BMP3:OUT` turns into files specfwd
# refuses, and the refusals: (name, ImageMagick options making SRC from the
# test picture, SRC's file name, statuses of the plain conversion). Palettes
# are run-length encoded (3) where that makes the file smaller; 16 colours
# take 4 bits (9).
RECIPE = [
    ("gray JPEG", ["-colorspace", "gray"], "gray.jpg", (3,)),
    ("GIF", [], "picture.gif", (3,)),
    ("16 colours", ["-colors", "16"], "colours16.png", (3, 9)),
    ("palette", ["-colors", "200", "-type", "palette"], "palette.png", (3,)),
]


def check_recipe(work, source):
    """The README's conversion, `convert 'SRC[0]' -type truecolor BMP3:OUT`,
    gives a file specfwd accepts, with the gray levels of SRC's pixels."""
    for case, (name, options, picture, plain_statuses) in enumerate(RECIPE):
        folder = os.path.join(work, "recipe%d" % case)
        os.mkdir(folder)
        made = os.path.join(folder, picture)
        subprocess.run([Tools.magick, source] + options + [made], check=True)
        subprocess.run([Tools.magick, made, "BMP3:" + os.path.join(folder, "plain.bmp")], check=True)
        got_plain, err = run(Tools.specfwd, ["plain.bmp"], folder)
        expect(got_plain in plain_statuses,
               "%s, plain BMP3: specfwd ended with %d: %s" % (name, got_plain, err))
        subprocess.run([Tools.magick, made + "[0]", "-type", "truecolor",
                        "BMP3:" + os.path.join(folder, "in.bmp")], check=True)
        run_ok(Tools.specfwd, ["in.bmp"], folder)
        got = suite_pixels(os.path.join(folder, "SourceToGray.bmp"))[..., 0]
        differ = int((got != gray_of(magick_rgba(made)[..., :3])).sum())
        expect(differ == 0, "%s, converted by the recipe: %d gray levels differ" % (name, differ))
        print("%-48s plain BMP3 refused (%d), the recipe's accepted" % (name, got_plain))


def check_foreign_bmps(work):
    w, h = 45, 29  # 24-bit rows need padding; 1-bit rows end inside a byte
    source = os.path.join(work, "source.png")
    Image.fromarray(test_picture(w, h, 2), "RGB").save(source)
    for case, (name, write, bits, status) in enumerate(FOREIGN):
        folder = os.path.join(work, "case%d" % case)
        os.mkdir(folder)
        original = os.path.join(folder, "in.bmp")
        write(source, original)
        data = open(original, "rb").read()
        expect(struct.unpack_from("<H", data, 28)[0] == bits, "%s: not %d bits per pixel" % (name, bits))
        if status != 0:
            got, err = run(Tools.specfwd, ["in.bmp"], folder)
            expect(got == status and err.endswith("'in.bmp' unknown file\n")
                   and os.listdir(folder) == ["in.bmp"],
                   "%s: specfwd ended with %d: %s" % (name, got, err))
            print("%-48s refused with status %d" % (name, status))
            continue
        # The pixels as both tools report them; they must agree.
        reported = magick_rgba(original)[..., :3]
        differ = int((pillow_rgba(original)[..., :3] != reported).any(axis=2).sum())
        expect(differ == 0, "%s: ImageMagick and Pillow disagree on %d pixels" % (name, differ))
        expected = gray_of(reported)
        for order, contents in (("bottom-up", data), ("top-down", flip_rows(data))):
            path = os.path.join(folder, order + ".bmp")
            open(path, "wb").write(contents)
            for reader, decode in (("ImageMagick", magick_rgba), ("Pillow", pillow_rgba)):
                expect((decode(path)[..., :3] == reported).all(),
                       "%s, %s: %s reads another picture" % (name, order, reader))
            run_ok(Tools.specfwd, [order + ".bmp"], folder)
            got = suite_pixels(os.path.join(folder, "SourceToGray.bmp"))[..., 0]
            differ = int((got != expected).sum())
            expect(differ == 0, "%s, %s: %d gray levels differ" % (name, order, differ))
        print("%-48s gray levels as reported, both row orders" % name)
    check_recipe(work, source)


# ---- numpy-fft --------------------------------------------------------------

def read_spectrum(path):
    data = open(path, "rb").read()
    fields = struct.unpack_from("<4s7i", data, 0)
    ident, zero, size, data_byte, offset, size_data, w, h = fields
    expect((ident, zero, size, data_byte, offset, size_data) ==
           (b"CPX\0", 0, len(data), 16, 32, 16 * w * h), "unexpected header %s" % (fields,))
    return np.frombuffer(data, "<c16", w * h, offset).reshape(h, w)


def check_numpy_fft(work):
    for w, h, seed in ((37, 23, 3), (64, 48, 4), (50, 81, 5)):
        picture = test_picture(w, h, seed)
        Image.fromarray(picture, "RGB").save(os.path.join(work, "in.bmp"))
        run_ok(Tools.specfwd, ["in.bmp"], work)
        spectrum = read_spectrum(os.path.join(work, "dft_complex.dat"))
        # Row 0 of the transformed picture is its bottom row.
        gray = gray_of(picture)[::-1].astype(np.float64)
        reference = np.fft.fft2(gray)
        largest = np.abs(reference).max()
        error = np.abs(spectrum - reference).max() / largest
        bound = tolerance(w, h)
        expect(error <= bound, "%d x %d: relative difference %.3g, over %.3g" % (w, h, error, bound))
        print("%3d x %-3d largest difference from numpy.fft.fft2: %.2e of the largest coefficient"
              " (bound %.2e)" % (w, h, error, bound))


# ---- numpy-filter and numpy-notch -------------------------------------------

def write_spectrum(path, samples, text=b""):
    h, w = samples.shape
    offset = 32 + len(text)
    header = struct.pack("<4s7i", b"CPX\0", 0, offset + 16 * w * h, 16, offset, 16 * w * h, w, h)
    open(path, "wb").write(header + text + samples.astype("<c16").tobytes())


def read_any_spectrum(path):
    data = open(path, "rb").read()
    offset, w, h = (struct.unpack_from("<i", data, at)[0] for at in (16, 24, 28))
    return np.frombuffer(data, "<c16", w * h, offset).reshape(h, w)


def signed_frequencies(n):
    i = np.arange(n)
    return np.where(i <= n // 2, i, i - n)


def squared_distance(w, h, fu=0, fv=0):
    """Squared distance of every sample (row v, column u) from frequency
    (fu, fv), around the spectrum's edges."""
    du = signed_frequencies(w)[(np.arange(w) - fu) % w]
    dv = signed_frequencies(h)[(np.arange(h) - fv) % h]
    return (dv[:, None] ** 2 + du[None, :] ** 2).astype(np.float64)


# The C library's exp and pow, as the program calls them: numpy's own
# vector code and its shortcuts for small powers may round otherwise, and a
# high-pass, 1 minus a gain near 1, magnifies that in its last places.
EXP = np.vectorize(math.exp, otypes=[np.float64])
POW = np.vectorize(math.pow, otypes=[np.float64])


def low_pass(shape, d2, r):
    r2 = r * r
    with np.errstate(divide="ignore", over="ignore"):
        if shape == "ideal":
            gain = (d2 <= r2).astype(np.float64)
        elif shape == "gauss":
            gain = EXP(-d2 / (2.0 * r2))
        else:
            gain = 1.0 / (1.0 + POW(d2 / r2, float(shape)))
    return np.where(d2 == 0, 1.0, gain)


def band_pass(shape, d2, r1, r2):
    if shape == "ideal":
        return ((d2 >= r1 * r1) & (d2 <= r2 * r2)).astype(np.float64)
    with np.errstate(divide="ignore", invalid="ignore"):
        s = (d2 - r1 * r2) / (np.sqrt(d2) * (r2 - r1))
    return np.where(d2 == 0, 0.0, low_pass(shape, np.where(d2 == 0, 1.0, s * s), 1.0))


def notch(shape, w, h, u, v, r):
    gain = 1.0 - low_pass(shape, squared_distance(w, h, u, v), r)
    if (2 * u) % w or (2 * v) % h:
        gain = gain * (1.0 - low_pass(shape, squared_distance(w, h, -u, -v), r))
    return gain


def natural_mask(levels, centred):
    """The mask's levels (rows bottom first) at the samples they apply to:
    a centred mask is laid out as specshow swaps the quadrants, the last
    column and row of an odd side staying where they are."""
    if not centred:
        return levels
    h, w = levels.shape
    hw, hh = w // 2, h // 2
    x = np.where(np.arange(w) < hw, np.arange(w) + hw, np.arange(w) - hw)
    y = np.where(np.arange(h) < hh, np.arange(h) + hh, np.arange(h) - hh)
    x[2 * hw:], y[2 * hh:] = np.arange(2 * hw, w), np.arange(2 * hh, h)
    out = levels[y[:, None], x[None, :]]
    out[2 * hh:, :], out[:, 2 * hw:] = levels[2 * hh:, :], levels[:, 2 * hw:]
    return out


def ulp_distance(a, b):
    """Distance in units in the last place between equal-shaped float arrays."""
    def ordinal(x):
        i = np.ascontiguousarray(x, np.float64).view(np.int64)
        return np.where(i < 0, -(i & 0x7FFFFFFFFFFFFFFF), i)
    return np.abs(ordinal(a) - ordinal(b))


def check_numpy_filter(work):
    rng = np.random.default_rng(6)
    # An even and an odd size, and one large enough to be shared among threads.
    for w, h in ((8, 6), (9, 7), (300, 221)):
        samples = rng.normal(0, 1e3, (h, w)) + 1j * rng.normal(0, 1e3, (h, w))
        write_spectrum(os.path.join(work, "in.dat"), samples, b"test\0")
        levels = rng.integers(0, 256, (h, w)).astype(np.uint8)
        # Pillow writes rows top first; the mask's row 0 is its bottom row.
        Image.fromarray(levels[::-1], "L").save(os.path.join(work, "mask.bmp"))
        d2 = squared_distance(w, h)
        r = min(w, h) / 5
        nu, nv = w // 3, -(h // 4)
        cases = [
            (["-l%r" % r], low_pass("ideal", d2, r)),
            (["-g", "-l%r" % r], low_pass("gauss", d2, r)),
            (["-g", "-e%r" % r], 1.0 - low_pass("gauss", d2, r)),
            (["-o2", "-l%r" % r], low_pass(2, d2, r)),
            (["-o3", "-e%r" % r], 1.0 - low_pass(3, d2, r)),
            (["-g", "-b%r,%r" % (r / 2, r * 1.5)], band_pass("gauss", d2, r / 2, r * 1.5)),
            (["-o4", "-r%r,%r" % (r / 3, r)], 1.0 - band_pass(4, d2, r / 3, r)),
            (["-g", "-n%d,%d,1.5" % (nu, nv)], notch("gauss", w, h, nu, nv, 1.5)),
            (["-o2", "-n%d,%d,2" % (nu, nv), "-n1,1,1"],
             notch(2, w, h, nu, nv, 2) * notch(2, w, h, 1, 1, 1)),
            (["-g", "-l%r" % r, "-mmask.bmp"],
             low_pass("gauss", d2, r) * (natural_mask(levels, True) / 255.0)),
            (["-d", "-mmask.bmp"], natural_mask(levels, False) / 255.0),
            (["-s", "-mmask.bmp"],
             np.minimum(natural_mask(levels, True),
                        np.roll(natural_mask(levels, True)[::-1, ::-1], (1, 1), (0, 1))) / 255.0),
        ]
        for options, gain in cases:
            run_ok(Tools.specfilter, options + ["in.dat", "out.dat"], work)
            got = read_any_spectrum(os.path.join(work, "out.dat"))
            worst = max(ulp_distance(got.real, samples.real * gain).max(),
                        ulp_distance(got.imag, samples.imag * gain).max())
            expect(worst <= Tools.ulps,
                   "%d x %d %s: samples %d ulps from numpy's" % (w, h, " ".join(options), worst))
        print("%3d x %-3d %d filters within %d ulp of numpy's" % (w, h, len(cases), Tools.ulps))


def check_numpy_notch(work):
    # The demo picture's grating makes 24 cycles across and 16 up: all its
    # energy lies in the coefficients (24, 16) and (-24, -16).
    run_ok(Tools.scene, ["scene.bmp"], work)
    run_ok(Tools.specfwd, ["scene.bmp"], work)
    run_ok(Tools.specfilter, ["-n24,16,1"], work)
    before = read_any_spectrum(os.path.join(work, "dft_complex.dat"))
    after = read_any_spectrum(os.path.join(work, "dft_filtered.dat"))
    h, w = after.shape
    peaks = ((16, 24), (h - 16, w - 24))
    for v, u in peaks:
        expect(after[v, u] == 0, "coefficient (%d, %d) is %r after the notch" % (u, v, after[v, u]))
    run_ok(Tools.specinv, ["dft_filtered.dat", "clean.bmp"], work)
    clean = suite_pixels(os.path.join(work, "clean.bmp"))[::-1, :, 0].astype(np.float64)
    magnitude = np.abs(np.fft.fft2(clean))
    # The reconstruction is drawn in whole gray levels, whose rounding spreads
    # a little energy over every frequency: the grating's coefficient must sink
    # to that floor.
    floor = np.median(magnitude[8:40, 8:56])
    for v, u in peaks:
        expect(magnitude[v, u] < 4 * floor and magnitude[v, u] < 1e-3 * abs(before[v, u]),
               "the reconstruction keeps %.0f at (%d, %d) (floor %.0f, before %.0f)"
               % (magnitude[v, u], u, v, floor, abs(before[v, u])))
    print("grating coefficients 0 after the notch; the reconstruction has %.0f there "
          "(was %.0f; floor %.0f)" % (magnitude[peaks[0]], abs(before[peaks[0]]), floor))


CHECKS = {"suite-bmps": check_suite_bmps, "foreign-bmps": check_foreign_bmps,
          "numpy-fft": check_numpy_fft, "numpy-filter": check_numpy_filter,
          "numpy-notch": check_numpy_notch}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--magick")
    parser.add_argument("--bin", nargs=5, required=True,
                        metavar=("SPECFWD", "SPECINV", "SPECSHOW", "SPECFILTER", "SCENE"))
    parser.add_argument("--launcher")
    parser.add_argument("--ulps", type=int, default=1)
    args = parser.parse_args()
    Tools.magick = args.magick
    Tools.launcher = [args.launcher] if args.launcher else []
    Tools.ulps = args.ulps
    Tools.specfwd, Tools.specinv, Tools.specshow, Tools.specfilter, Tools.scene = args.bin
    with tempfile.TemporaryDirectory(prefix="speccore-interop-") as work:
        CHECKS[args.check](work)
    print("%s: all checks passed" % args.check)


if __name__ == "__main__":
    main()
