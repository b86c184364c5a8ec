#!/usr/bin/env python3
"""Reads app/res/cameras.bmp and app/res/Larkvane.ico back byte by byte and checks the layout
Windows' loaders expect; exits non-zero with the faults found.

    python3 tools/artwork/check_artwork.py [DIR]
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_DIR = os.path.normpath(os.path.join(HERE, "..", "..", "app", "res"))
WHITE = (255, 255, 255)


def check_bmp(data, faults):
    magic, file_size, _, _, bits_at = struct.unpack_from("<2sIHHI", data, 0)
    size, w, h, planes, bpp, compression, image_size = struct.unpack_from("<IiiHHII", data, 14)
    expect = {"magic": (magic, b"BM"), "file size": (file_size, len(data)),
              "info header size (BITMAPINFOHEADER)": (size, 40), "width": (w, 320),
              "height (positive: bottom-up)": (h, 20), "planes": (planes, 1), "bits": (bpp, 24),
              "compression (BI_RGB)": (compression, 0), "bits offset": (bits_at, 54)}
    wrong = [f"cameras.bmp: {k} is {v!r}, wants {e!r}" for k, (v, e) in expect.items() if v != e]
    if wrong:
        faults += wrong
        return
    stride = (abs(w) * 3 + 3) & ~3
    if image_size not in (0, stride * abs(h)) or len(data) - bits_at != stride * abs(h):
        faults.append(f"cameras.bmp: {len(data) - bits_at} pixel bytes, wants {stride * abs(h)}")
        return
    # Row y of the picture is stored at (h - 1 - y): bottom-up.
    def pixel(x, y):
        o = bits_at + (h - 1 - y) * stride + x * 3
        b, g, r = data[o:o + 3]
        return r, g, b

    for tile in range(16):
        inked = sum(pixel(tile * 20 + x, y) != WHITE for x in range(20) for y in range(20))
        if not 30 <= inked <= 380:
            faults.append(f"cameras.bmp: picture {tile} has {inked} non-white pixels")
    # The camera in the list: its pixels must not touch its neighbours' squares.
    for y in range(20):
        if pixel(19, y) != WHITE and pixel(20, y) != WHITE or pixel(39, y) != WHITE and pixel(40, y) != WHITE:
            faults.append(f"cameras.bmp: picture 1 runs into a neighbour on row {y}")


def check_ico(data, faults):
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if (reserved, kind) != (0, 1):
        faults.append("Larkvane.ico: not an icon directory")
        return
    sizes = []
    for i in range(count):
        w, h, colours, _, planes, bpp, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        sizes.append(w)
        image = data[offset:offset + length]
        if len(image) != length or (planes, bpp, colours) != (1, 32, 0) or w != h:
            faults.append(f"Larkvane.ico: entry {i} ({w}) has a bad directory entry")
            continue
        if image.startswith(b"\x89PNG\r\n\x1a\n"):
            pw, ph, depth, colour_type = struct.unpack_from(">IIBB", image, 16)
            crc = struct.unpack_from(">I", image, 29)[0]
            if (pw, ph, depth, colour_type) != (w, h, 8, 6) or crc != zlib.crc32(image[12:29]):
                faults.append(f"Larkvane.ico: PNG entry {w} is not {w} x {h} 8-bit RGBA")
            continue
        hsize, dw, dh, dplanes, dbpp, dcomp = struct.unpack_from("<IiiHHI", image, 0)
        mask_stride = ((w + 31) // 32) * 4
        if (hsize, dw, dh, dplanes, dbpp, dcomp) != (40, w, 2 * h, 1, 32, 0) \
                or len(image) != 40 + w * h * 4 + mask_stride * h:
            faults.append(f"Larkvane.ico: DIB entry {w} has a bad header or length")
            continue
        alphas = image[40 + 3:40 + w * h * 4:4]
        if not (0 in alphas and 255 in alphas):
            faults.append(f"Larkvane.ico: entry {w} has no transparent or no opaque pixels")
    if sorted(sizes) != [16, 24, 32, 48, 256]:
        faults.append(f"Larkvane.ico: sizes {sizes}")


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else DEFAULT_DIR
    faults = []
    with open(os.path.join(folder, "cameras.bmp"), "rb") as f:
        check_bmp(f.read(), faults)
    with open(os.path.join(folder, "Larkvane.ico"), "rb") as f:
        check_ico(f.read(), faults)
    print("\n".join(faults) if faults else "cameras.bmp and Larkvane.ico look right")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
