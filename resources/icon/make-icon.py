#!/usr/bin/env python3
"""Rasterise veltrane.svg into the application icon files.

Writes, next to this script:
  veltrane-256.png, veltrane-48.png  RGBA PNGs (for icon themes)
  veltrane.ico                       Windows icon with two images:
                                       256x256, 8 bits per pixel, palette
                                       48x48, 32 bits per pixel (BGRA)

Needs Python 3 (standard library only) and the ImageMagick command line
(`convert`) with its SVG coder (Debian: imagemagick plus
libmagickcore-6.q16-6-extra). The output is byte-for-byte reproducible.

Usage: python3 resources/icon/make-icon.py   (from any directory)
"""

import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SVG = os.path.join(HERE, "veltrane.svg")
ICO = os.path.join(HERE, "veltrane.ico")

# The SVG is drawn on a 256-unit canvas. ImageMagick's SVG reader maps
# 96 units to one inch, so 384 dpi gives a 1024 px render that is then
# scaled down for smooth edges.
RENDER_DENSITY = "384"


def find_convert():
    exe = shutil.which("convert")
    if exe is None:
        sys.exit("make-icon.py: ImageMagick 'convert' not found "
                 "(Debian: apt-get install imagemagick)")
    return exe


CONVERT = find_convert()


def magick(*args, hint=""):
    """Run convert single-threaded (deterministic) and return stdout."""
    cmd = [CONVERT, "-limit", "thread", "1", *args]
    try:
        res = subprocess.run(cmd, check=True, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
    except subprocess.CalledProcessError as err:
        sys.stderr.write(err.stderr.decode(errors="replace"))
        sys.exit("make-icon.py: command failed: " + " ".join(cmd) + hint)
    return res.stdout


def render_png(size):
    """Rasterise the SVG to an RGBA PNG of size x size; return its path."""
    out = os.path.join(HERE, "veltrane-%d.png" % size)
    # "msvg:" selects ImageMagick's built-in renderer explicitly, so the
    # result does not depend on whether an external rsvg-convert exists.
    magick("-background", "none", "-density", RENDER_DENSITY,
           "msvg:" + SVG,
           "-resize", "%dx%d!" % (size, size),
           "-strip",
           "-define", "png:exclude-chunks=date,time",
           "+set", "date:create", "+set", "date:modify",
           "png32:" + out,
           hint="\n(is ImageMagick's SVG coder installed? Debian: "
                "apt-get install libmagickcore-6.q16-6-extra)")
    return out


def read_rgba(png, size, *ops):
    """Return the PNG's pixels (after optional convert ops) as RGBA bytes,
    top row first."""
    data = magick("png:" + png, *ops, "-depth", "8", "rgba:-")
    if len(data) != size * size * 4:
        sys.exit("make-icon.py: unexpected raw size from convert for %s"
                 % png)
    return data


def and_mask(rgba, size):
    """1-bit AND mask, bottom-up, rows padded to 4 bytes.
    A set bit means transparent (alpha < 128)."""
    row_bytes = ((size + 31) // 32) * 4
    out = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(row_bytes)
        base = y * size * 4
        for x in range(size):
            if rgba[base + x * 4 + 3] < 128:
                row[x >> 3] |= 0x80 >> (x & 7)
        out += row
    return bytes(out)


def bitmap_header(size, bit_count, image_bytes, colours_used):
    # BITMAPINFOHEADER; the height covers the XOR image plus the AND mask.
    return struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bit_count,
                       0, image_bytes, 0, 0, colours_used, 0)


def dib_8bit(png, size):
    """256-colour image: at most 255 opaque colours plus the AND mask."""
    rgba = read_rgba(png, size,
                     "-channel", "A", "-threshold", "50%", "+channel",
                     "+dither", "-colors", "255")
    opaque = set()
    for i in range(0, len(rgba), 4):
        if rgba[i + 3] >= 128:
            opaque.add((rgba[i], rgba[i + 1], rgba[i + 2]))
    # Index 0 is black: transparent pixels point at it, so that the
    # XOR/AND combination leaves the background untouched.
    palette = [(0, 0, 0)] + sorted(opaque - {(0, 0, 0)})
    if len(palette) > 256:
        sys.exit("make-icon.py: quantisation left %d colours"
                 % (len(palette) - 1))
    index = {c: i for i, c in enumerate(palette)}

    stride = (size + 3) & ~3
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        row = bytearray(stride)
        base = y * size * 4
        for x in range(size):
            p = base + x * 4
            if rgba[p + 3] >= 128:
                row[x] = index[(rgba[p], rgba[p + 1], rgba[p + 2])]
        xor += row
    mask = and_mask(rgba, size)

    # Full 256-entry colour table (RGBQUAD: blue, green, red, reserved).
    table = bytearray()
    for r, g, b in palette + [(0, 0, 0)] * (256 - len(palette)):
        table += bytes((b, g, r, 0))
    header = bitmap_header(size, 8, len(xor) + len(mask), 256)
    return header + bytes(table) + bytes(xor) + mask, len(palette) - 1


def dib_32bit(png, size):
    """True-colour image with alpha: BGRA rows bottom-up, plus AND mask."""
    rgba = read_rgba(png, size)
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        base = y * size * 4
        for x in range(size):
            p = base + x * 4
            r, g, b, a = rgba[p], rgba[p + 1], rgba[p + 2], rgba[p + 3]
            if a == 0:
                r = g = b = 0
            xor += bytes((b, g, r, a))
    mask = and_mask(rgba, size)
    header = bitmap_header(size, 32, len(xor) + len(mask), 0)
    return header + bytes(xor) + mask


def write_ico(path, images):
    """images: list of (size, bit_count, colour_count, dib_bytes)."""
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))  # ICONDIR
    offset = 6 + 16 * len(images)
    for size, bits, colours, dib in images:
        dim = 0 if size >= 256 else size          # 0 means 256
        count = colours if colours < 256 else 0   # 0 for >= 256 colours
        out += struct.pack("<BBBBHHII", dim, dim, count, 0, 1, bits,
                           len(dib), offset)      # ICONDIRENTRY
        offset += len(dib)
    for _, _, _, dib in images:
        out += dib
    with open(path, "wb") as f:
        f.write(out)


def main():
    png256 = render_png(256)
    png48 = render_png(48)
    dib256, colours = dib_8bit(png256, 256)
    dib48 = dib_32bit(png48, 48)
    # An 8-bit image has a 256-entry table, so its entry's colour count is 0.
    write_ico(ICO, [(256, 8, 256, dib256), (48, 32, 0, dib48)])
    for p in (png256, png48, ICO):
        print("wrote %s (%d bytes)" % (os.path.basename(p),
                                       os.path.getsize(p)))
    print("8-bit image uses %d opaque colours" % colours)


if __name__ == "__main__":
    main()
