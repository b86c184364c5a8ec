#!/usr/bin/env python3
"""Draws the tool's two pictures: the list's 16-picture strip and the application icon.

    python3 tools/artwork/draw_artwork.py [--out DIR] [--preview DIR]

Writes DIR/cameras.bmp (320 x 20, 24-bit, white is transparent) and DIR/Larkvane.ico
(16, 24, 32, 48 and 256 pixels, 32-bit with alpha, the 256 one PNG-compressed); DIR defaults to
app/res. With --preview, also writes 10x enlarged PNGs for looking at the drawings.

The shapes, the canvas and the BMP/PNG writers come from tools/skingen/skingen.py, so both
generators draw the same way: signed distance shapes in a 0..1 design space, standard library only.
The output is deterministic.
"""
import argparse
import math
import os
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(REPO, "tools", "skingen"))

from skingen import (Canvas, arc_points, arrow_head, box, circle, polygon,  # noqa: E402
                     ring, stroke, subtract, write_bmp, write_png)

TILE = 20
TILES = 16
ICON_SIZES = (16, 24, 32, 48, 256)
TRANSPARENT = (255, 255, 255)

# Inside a picture nothing may be pure white, or the image list punches a hole there.
OUTLINE = (46, 56, 72, 255)
BODY = (226, 231, 238, 255)
BODY_SHADE = (178, 188, 202, 255)
SHIELD = (64, 78, 98, 255)
LENS = (30, 36, 46, 255)
GLASS = (38, 118, 214, 255)
GLINT = (240, 240, 240, 255)
METAL = (120, 130, 144, 255)
GREEN = (40, 160, 70, 255)
RED = (214, 50, 48, 255)
AMBER = (245, 170, 30, 255)
BLUE = (0, 110, 200, 255)
SCREEN = (60, 140, 220, 255)


def rotate(shape, cx, cy, degrees):
    """The shape turned clockwise (y down) by degrees about (cx, cy)."""
    a = math.radians(degrees)
    ca, sa = math.cos(a), math.sin(a)

    def f(x, y):
        dx, dy = x - cx, y - cy
        return shape(cx + dx * ca + dy * sa, cy - dx * sa + dy * ca)
    return f


def moved(shape, dx, dy, scale=1.0):
    """The shape scaled about the origin, then moved by (dx, dy)."""
    return lambda x, y: shape((x - dx) / scale, (y - dy) / scale) * scale


def line_width(size, design):
    """A stroke of `design` units, but never thinner than one pixel."""
    return max(design, 1.0 / size)


# ---- the network camera (list picture 1 and the application icon) -----------------------------

def bullet_camera(c, size, dx=0.0, dy=0.0, scale=1.0, tilt=12.0, led=GREEN):
    """A bullet camera facing left, tilted down, on an arm to a wall plate at the right."""
    ow = line_width(size, 0.035) / scale

    def fill(shape, colour):
        c.fill(moved(shape, dx, dy, scale), colour)

    def tilted(shape):
        return rotate(shape, 0.56, 0.42, -tilt)

    # wall plate and arm, behind the body; small sizes draw them flat, outlines would blur them
    arm = [(0.62, 0.50), (0.70, 0.72), (0.86, 0.72)]
    if size * scale <= 24:
        fill(box(0.83, 0.60, 0.95, 0.92, 0.02), SHIELD)
        fill(stroke(arm, 0.10), SHIELD)
    else:
        fill(box(0.80, 0.56, 0.94, 0.92, 0.03), OUTLINE)
        fill(box(0.80 + ow, 0.56 + ow, 0.94 - ow, 0.92 - ow, 0.02), METAL)
        fill(stroke(arm, 0.09 + 2 * ow), OUTLINE)
        fill(stroke(arm, 0.09), METAL)
    # body: outline, light top, shaded lower half
    body = box(0.16, 0.28, 0.86, 0.58, 0.07)
    fill(tilted(body), OUTLINE)
    fill(tilted(box(0.16 + ow, 0.28 + ow, 0.86 - ow, 0.58 - ow, 0.05)), BODY)
    fill(tilted(box(0.16 + ow, 0.45, 0.86 - ow, 0.58 - ow, 0.04)), BODY_SHADE)
    # sun shield over the top, reaching past the front
    fill(tilted(box(0.06, 0.20, 0.84, 0.32, 0.05)), SHIELD)
    # lens barrel at the front with its blue glass
    fill(tilted(box(0.04, 0.31, 0.20, 0.55, 0.03)), LENS)
    fill(tilted(box(0.04, 0.35, 0.09, 0.51, 0.02)), GLASS)
    if size >= 24:
        fill(tilted(circle(0.065, 0.38, 0.018 * max(1.0, 20.0 / size))), GLINT)
    # status light on the body
    fill(tilted(circle(0.30, 0.40, max(0.035, 0.8 / size) / scale)), led)


def wifi_arcs(c, size, cx, cy, r, colour):
    w = line_width(size, 0.07)
    c.fill(circle(cx, cy, w * 0.8), colour)
    for k in (1, 2):
        c.fill(stroke(arc_points(cx, cy, r * k, 225, 315, 10), w), colour)


# ---- the other pictures ----------------------------------------------------------------------

def dome_camera(c, size):
    ow = line_width(size, 0.05)
    c.fill(box(0.12, 0.18, 0.88, 0.34, 0.04), OUTLINE)
    c.fill(box(0.12 + ow, 0.18 + ow, 0.88 - ow, 0.34 - ow, 0.02), METAL)
    dome = subtract(circle(0.5, 0.34, 0.34), box(0.0, 0.0, 1.0, 0.34))
    c.fill(dome, OUTLINE)
    c.fill(subtract(circle(0.5, 0.34, 0.34 - ow), box(0.0, 0.0, 1.0, 0.34)), BODY_SHADE)
    c.fill(circle(0.5, 0.5, 0.13), LENS)
    c.fill(circle(0.5, 0.5, 0.07), GLASS)


def wifi_camera(c, size):
    bullet_camera(c, size, dx=0.0, dy=0.18, scale=0.82)
    wifi_arcs(c, size, 0.80, 0.36, 0.13, BLUE)


def ptz_camera(c, size):
    ow = line_width(size, 0.05)
    c.fill(box(0.40, 0.08, 0.60, 0.24), OUTLINE)
    c.fill(circle(0.5, 0.56, 0.34), OUTLINE)
    c.fill(circle(0.5, 0.56, 0.34 - ow), BODY)
    c.fill(box(0.18, 0.50, 0.82, 0.62), SHIELD)
    c.fill(circle(0.5, 0.56, 0.12), LENS)
    c.fill(circle(0.5, 0.56, 0.06), GLASS)


def box_camera(c, size):
    ow = line_width(size, 0.05)
    c.fill(box(0.08, 0.26, 0.70, 0.74, 0.06), OUTLINE)
    c.fill(box(0.08 + ow, 0.26 + ow, 0.70 - ow, 0.74 - ow, 0.04), BODY)
    c.fill(polygon([(0.66, 0.40), (0.94, 0.26), (0.94, 0.74), (0.66, 0.60)]), LENS)
    c.fill(circle(0.38, 0.50, 0.14), LENS)
    c.fill(circle(0.38, 0.50, 0.07), GLASS)


def monitor(c, size):
    c.fill(box(0.08, 0.14, 0.92, 0.70, 0.04), OUTLINE)
    c.fill(box(0.14, 0.20, 0.86, 0.64), SCREEN)
    c.fill(polygon([(0.40, 0.70), (0.60, 0.70), (0.66, 0.84), (0.34, 0.84)]), METAL)
    c.fill(box(0.24, 0.82, 0.76, 0.90, 0.02), OUTLINE)


def network_plug(c, size):
    c.fill(stroke([(0.5, 0.62), (0.5, 0.96)], line_width(size, 0.12)), BLUE)
    c.fill(box(0.24, 0.30, 0.76, 0.66, 0.04), OUTLINE)
    c.fill(box(0.30, 0.10, 0.70, 0.34, 0.03), BODY_SHADE)
    for i in range(4):
        x = 0.35 + i * 0.1
        c.fill(box(x, 0.13, x + 0.05, 0.24), AMBER)


def recorder(c, size):
    c.fill(box(0.06, 0.28, 0.94, 0.72, 0.05), OUTLINE)
    c.fill(box(0.12, 0.36, 0.60, 0.46), METAL)
    c.fill(box(0.12, 0.54, 0.60, 0.64), METAL)
    c.fill(circle(0.76, 0.50, 0.07), GREEN)


def switch(c, size):
    c.fill(box(0.06, 0.40, 0.94, 0.78, 0.05), OUTLINE)
    for i in range(4):
        x = 0.14 + i * 0.19
        c.fill(box(x, 0.52, x + 0.13, 0.66), LENS)
        c.fill(circle(x + 0.065, 0.47, 0.03), GREEN)
    wifi_arcs(c, size, 0.5, 0.34, 0.12, BLUE)


def computer(c, size):
    c.fill(box(0.06, 0.12, 0.66, 0.58, 0.04), OUTLINE)
    c.fill(box(0.11, 0.17, 0.61, 0.53), SCREEN)
    c.fill(box(0.22, 0.66, 0.50, 0.72), OUTLINE)
    c.fill(box(0.70, 0.12, 0.94, 0.88, 0.04), OUTLINE)
    c.fill(box(0.75, 0.20, 0.89, 0.26), METAL)
    c.fill(circle(0.82, 0.74, 0.04), GREEN)


def globe(c, size):
    w = line_width(size, 0.06)
    c.fill(circle(0.5, 0.5, 0.40), SCREEN)
    c.fill(ring(0.5, 0.5, 0.40, w), BLUE)
    c.fill(stroke([(0.1, 0.5), (0.9, 0.5)], w), BLUE)
    c.fill(lambda x, y: abs(math.hypot((x - 0.5) / 0.45, y - 0.5) - 0.40) - w / 2, BLUE)


def with_badge(badge):
    def draw(c, size):
        bullet_camera(c, size, dx=-0.04, dy=-0.08, scale=0.9, led=METAL)
        badge(c, size)
    return draw


def badge_ok(c, size):
    c.fill(circle(0.74, 0.74, 0.22), GREEN)
    c.fill(stroke([(0.64, 0.74), (0.72, 0.82), (0.85, 0.66)], line_width(size, 0.07)), GLINT)


def badge_offline(c, size):
    c.fill(circle(0.74, 0.74, 0.22), RED)
    w = line_width(size, 0.07)
    c.fill(stroke([(0.66, 0.66), (0.82, 0.82)], w), GLINT)
    c.fill(stroke([(0.82, 0.66), (0.66, 0.82)], w), GLINT)


def badge_warning(c, size):
    c.fill(polygon([(0.74, 0.50), (0.98, 0.94), (0.50, 0.94)]), AMBER)
    c.fill(stroke([(0.74, 0.64), (0.74, 0.80)], line_width(size, 0.06)), LENS)
    c.fill(circle(0.74, 0.87, 0.035), LENS)


def search_camera(c, size):
    bullet_camera(c, size, dx=-0.04, dy=-0.08, scale=0.8)
    w = line_width(size, 0.08)
    c.fill(ring(0.68, 0.68, 0.14, w), OUTLINE)
    c.fill(circle(0.68, 0.68, 0.14 - w / 2), (200, 225, 245, 255))
    c.fill(stroke([(0.78, 0.78), (0.92, 0.92)], w * 1.4), OUTLINE)


def refresh_camera(c, size):
    bullet_camera(c, size, dx=-0.04, dy=-0.08, scale=0.8)
    a1 = 200
    c.fill(stroke(arc_points(0.72, 0.72, 0.16, -70, a1, 16), line_width(size, 0.07)), GREEN)
    a = math.radians(a1)
    end = (0.72 + 0.16 * math.cos(a), 0.72 + 0.16 * math.sin(a))
    c.fill(arrow_head(end, (-math.sin(a), math.cos(a)), 0.1, 0.09), GREEN)


def camera(c, size):
    bullet_camera(c, size)


# Picture i of the strip; the list shows picture 1 for every camera.
PICTURES = [
    dome_camera, camera, wifi_camera, ptz_camera,
    box_camera, with_badge(badge_ok), with_badge(badge_offline),
    with_badge(badge_warning),
    search_camera, refresh_camera, monitor, computer,
    recorder, switch, network_plug, globe,
]
assert len(PICTURES) == TILES


def draw(picture, size):
    c = Canvas(size, size)
    picture(c, size)
    return c


# ---- the strip -------------------------------------------------------------------------------

def flattened(c, rgb):
    """The canvas's pixels laid over an opaque background colour."""
    out = []
    for r, g, b, a in c.px:
        t = a / 255.0
        out.append([r * t + rgb[0] * (1 - t), g * t + rgb[1] * (1 - t), b * t + rgb[2] * (1 - t), 255])
    return out


def painted_white(drawn, flat):
    """Pixels a shape mostly covers that still come out pure white: the image list would punch
    holes there. Background pixels (and gaps between parts) are rightly white."""
    return [(i % TILE, i // TILE) for i, (p, q) in enumerate(zip(drawn.px, flat))
            if p[3] >= 128 and tuple(q[:3]) == TRANSPARENT]


def strip():
    """The strip and a list of faults found in its pictures."""
    out = Canvas(TILE * TILES, TILE)
    faults = []
    for i, picture in enumerate(PICTURES):
        drawn = draw(picture, TILE)
        # Rounded now so the check sees the bytes the file gets.
        flat = [[int(round(v)) for v in p] for p in flattened(drawn, TRANSPARENT)]
        bad = painted_white(drawn, flat)
        if bad:
            faults.append(f"picture {i} is pure white inside at {bad[:5]}")
        for y in range(TILE):
            row = y * out.w + i * TILE
            out.px[row:row + TILE] = flat[y * TILE:(y + 1) * TILE]
    return out, faults


# ---- the icon --------------------------------------------------------------------------------

def icon_dib(c):
    """BITMAPINFOHEADER (height doubled for the mask), bottom-up BGRA rows, then the AND mask."""
    rows = list(c.rows())
    colour = bytearray()
    mask = bytearray()
    mask_stride = ((c.w + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            colour += bytes((b, g, r, a))
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return header + colour + mask


def png_bytes(c):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "icon.png")
        write_png(path, c)
        with open(path, "rb") as f:
            return f.read()


def write_ico(path, canvases):
    images = [png_bytes(c) if c.w >= 256 else icon_dib(c) for c in canvases]
    data = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for c, image in zip(canvases, images):
        data += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(data + b"".join(images))


# ---- previews --------------------------------------------------------------------------------

class Grid:
    """Just enough of a canvas for write_png: w, h and rows() of RGBA tuples."""

    def __init__(self, w, h, bg):
        self.w, self.h = w, h
        self.lines = [[bg] * w for _ in range(h)]

    def paste(self, c, x0, y0, zoom, backdrop=None):
        for y, row in enumerate(c.rows()):
            for x, p in enumerate(row):
                if backdrop:
                    q = backdrop(x, y)
                    t = p[3] / 255.0
                    p = tuple(int(round(p[k] * t + q[k] * (1 - t))) for k in range(3)) + (255,)
                for yy in range(y0 + y * zoom, y0 + (y + 1) * zoom):
                    self.lines[yy][x0 + x * zoom:x0 + (x + 1) * zoom] = [p] * zoom

    def rows(self):
        return iter(self.lines)


def checker(x, y):
    return (204, 204, 204) if (x // 4 + y // 4) % 2 else (250, 250, 250)


def write_previews(folder, bmp_canvas, icons):
    os.makedirs(folder, exist_ok=True)
    zoom = 10
    # The strip twice: as stored, and as on a selected (blue) row where white turns transparent.
    g = Grid(bmp_canvas.w * zoom, bmp_canvas.h * zoom * 2 + 10, (255, 0, 255, 255))
    g.paste(bmp_canvas, 0, 0, zoom)
    masked = Canvas(bmp_canvas.w, bmp_canvas.h)
    masked.px = [[r, g_, b, 0 if (r, g_, b) == TRANSPARENT else 255] for r, g_, b, _ in bmp_canvas.px]
    g.paste(masked, 0, bmp_canvas.h * zoom + 10, zoom, backdrop=lambda x, y: (51, 153, 255))
    write_png(os.path.join(folder, "cameras-10x.png"), g)

    small = [c for c in icons if c.w < 256]
    g = Grid(sum(c.w * zoom + 10 for c in small), max(c.h for c in small) * zoom, (255, 255, 255, 255))
    x = 0
    for c in small:
        g.paste(c, x, 0, zoom, backdrop=checker)
        x += c.w * zoom + 10
    write_png(os.path.join(folder, "Larkvane-icon-10x.png"), g)
    big = [c for c in icons if c.w >= 256][0]
    g = Grid(big.w * 2, big.h * 2, (255, 255, 255, 255))
    g.paste(big, 0, 0, 2, backdrop=checker)
    write_png(os.path.join(folder, "Larkvane-icon-256-2x.png"), g)
    # Every small size at 1x next to each other, as the shell shows them.
    g = Grid(sum(c.w + 8 for c in icons), 256, (240, 240, 240, 255))
    x = 0
    for c in icons:
        g.paste(c, x, 0, 1, backdrop=lambda x, y: (240, 240, 240))
        x += c.w + 8
    write_png(os.path.join(folder, "Larkvane-icon-1x.png"), g)


def app_icon(c, size):
    bullet_camera(c, size, dx=-0.02, dy=0.01)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join(REPO, "app", "res"))
    parser.add_argument("--preview", help="also write enlarged PNG previews into this folder")
    args = parser.parse_args()
    bmp, faults = strip()
    icons = [draw(app_icon, size) for size in ICON_SIZES]
    if args.preview:
        write_previews(args.preview, bmp, icons)
    if faults:
        sys.exit("\n".join(faults))  # the previews show them; the resources stay as they were
    os.makedirs(args.out, exist_ok=True)
    write_bmp(os.path.join(args.out, "cameras.bmp"), bmp)
    write_ico(os.path.join(args.out, "Larkvane.ico"), icons)


if __name__ == "__main__":
    main()
