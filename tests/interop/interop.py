"""Checks that the suite's files pass between it and other image tools.

    interop.py CHECK --bin SPECFWD SPECINV SPECSHOW [--magick CONVERT]

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
                picture to within the bound of tolerance() below.

Needs numpy and Pillow, and ImageMagick's convert for the first two checks.
"""

import argparse
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
    specfwd = specinv = specshow = None


def fail(message):
    print("FAILED: " + message)
    sys.exit(1)


def expect(condition, message):
    if not condition:
        fail(message)


def run(program, args, cwd):
    done = subprocess.run([program] + args, cwd=cwd, capture_output=True, text=True)
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


CHECKS = {"suite-bmps": check_suite_bmps, "foreign-bmps": check_foreign_bmps,
          "numpy-fft": check_numpy_fft}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("check", choices=sorted(CHECKS))
    parser.add_argument("--magick")
    parser.add_argument("--bin", nargs=3, required=True)
    args = parser.parse_args()
    Tools.magick = args.magick
    Tools.specfwd, Tools.specinv, Tools.specshow = args.bin
    with tempfile.TemporaryDirectory(prefix="speccore-interop-") as work:
        CHECKS[args.check](work)
    print("%s: all checks passed" % args.check)


if __name__ == "__main__":
    main()
