#!/usr/bin/env python3
"""Draws the 67 built-in skin files (24-bit BMPs and RGBA PNGs) into a directory.

    python3 tools/skingen/skingen.py controls/skins

Shapes are signed distance functions in a 0..1 design space; a pixel's coverage comes from
its distance to the shape's edge, which gives smooth edges at every size without supersampling.
The output is deterministic, so the committed files only change when the drawings do.
"""
import math
import os
import struct
import sys
import zlib


# ---- shapes: f(x, y) -> signed distance in design units (negative inside) ----------------

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, w):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - w / 2


def box(x0, y0, x1, y1, radius=0.0):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def f(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        out = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return out + min(max(qx, qy), 0.0) - radius
    return f


def frame(x0, y0, x1, y1, w, radius=0.0):
    """The outline of a box, w thick, centred on the box's edge."""
    inner = box(x0, y0, x1, y1, radius)
    return lambda x, y: abs(inner(x, y)) - w / 2


def _seg(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy or 1e-12)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def stroke(points, w):
    """A polyline with round caps and joins."""
    segs = list(zip(points, points[1:]))
    return lambda x, y: min(_seg(x, y, a[0], a[1], b[0], b[1]) for a, b in segs) - w / 2


def arc_points(cx, cy, r, a0, a1, n=24):
    """Points on an arc, angles in degrees, y pointing down (0 = right, 90 = down)."""
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / n)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / n))) for i in range(n + 1)]


def polygon(points):
    n = len(points)

    def f(x, y):
        d = min((x - px) ** 2 + (y - py) ** 2 for px, py in points)
        s = 1.0
        j = n - 1
        for i in range(n):
            ax, ay = points[i]
            bx, by = points[j]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = min(max((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.0), 1.0)
            d = min(d, (wx - ex * t) ** 2 + (wy - ey * t) ** 2)
            c1, c2, c3 = y >= ay, y < by, ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    return f


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# ---- canvas ---------------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h, bg=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(bg) for _ in range(w * h)]

    def fill(self, shape, rgba, bbox=(0.0, 0.0, 1.0, 1.0)):
        """Blends rgba over the pixels covered by shape; bbox (design units) limits the work."""
        sw, sh = self.w, self.h
        scale = min(sw, sh)  # design units to pixels for distances
        x0 = max(int(bbox[0] * sw) - 2, 0)
        y0 = max(int(bbox[1] * sh) - 2, 0)
        x1 = min(int(bbox[2] * sw) + 3, sw)
        y1 = min(int(bbox[3] * sh) + 3, sh)
        r, g, b, a = rgba
        for py in range(y0, y1):
            for px in range(x0, x1):
                d = shape((px + 0.5) / sw, (py + 0.5) / sh) * scale
                cov = min(max(0.5 - d, 0.0), 1.0)
                if cov <= 0.0:
                    continue
                sa = a / 255.0 * cov
                p = self.px[py * sw + px]
                da = p[3] / 255.0
                oa = sa + da * (1 - sa)
                if oa <= 0:
                    continue
                for k, c in enumerate((r, g, b)):
                    p[k] = (c * sa + p[k] * da * (1 - sa)) / oa
                p[3] = oa * 255.0

    def vgradient(self, top, bottom):
        for py in range(self.h):
            t = py / max(self.h - 1, 1)
            c = [top[k] + (bottom[k] - top[k]) * t for k in range(3)] + [255]
            for px in range(self.w):
                self.px[py * self.w + px] = list(c)

    def rows(self):
        for py in range(self.h):
            yield [tuple(min(max(int(round(v)), 0), 255) for v in self.px[py * self.w + px])
                   for px in range(self.w)]


def write_bmp(path, canvas):
    """24 bits per pixel, bottom-up rows padded to 4 bytes."""
    rows = list(canvas.rows())
    stride = (canvas.w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def write_png(path, canvas):
    """8-bit RGBA, no interlace, filter 0 on every row."""
    raw = bytearray()
    for row in canvas.rows():
        raw.append(0)
        for px in row:
            raw += bytes(px)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


# ---- colours ----------------------------------------------------------------------------------

WHITE = (255, 255, 255, 255)
DARK = (64, 64, 64, 255)
GREEN = (46, 160, 67, 255)
RED = (218, 54, 51, 255)
BLUE = (0, 120, 215, 255)
ORANGE = (247, 148, 30, 255)
YELLOW = (252, 200, 30, 255)
GREY = (150, 150, 150, 255)
CAPTION = (43, 87, 154)
CAPTION_HOVER = (74, 120, 184)
CLOSE_HOVER = (232, 17, 35)

TICK = [(0.27, 0.52), (0.43, 0.68), (0.74, 0.34)]


# ---- drawings ---------------------------------------------------------------------------------

def combo_thumb(state):
    face, border, shift = {
        "normal": ((240, 240, 240), (172, 172, 172), 0),
        "hover": ((229, 241, 251), (0, 120, 215), 0),
        "down": ((204, 228, 247), (0, 84, 153), 1),
    }[state]
    c = Canvas(15, 16, (*face, 255))
    c.fill(frame(0.5 / 15, 0.5 / 16, 14.5 / 15, 15.5 / 16, 1.0 / 15), (*border, 255))
    dx, dy = shift / 15, shift / 16
    c.fill(polygon([(4 / 15 + dx, 6 / 16 + dy), (11 / 15 + dx, 6 / 16 + dy), (7.5 / 15 + dx, 10 / 16 + dy)]),
           (50, 50, 50, 255))
    return c


def caption_button(glyph, hover):
    bg = (CLOSE_HOVER if glyph == "close" else CAPTION_HOVER) if hover else CAPTION
    c = Canvas(21, 21, (*bg, 255))
    w = 1.3 / 21
    if glyph == "close":
        c.fill(stroke([(0.3, 0.3), (0.7, 0.7)], w), WHITE)
        c.fill(stroke([(0.7, 0.3), (0.3, 0.7)], w), WHITE)
    elif glyph == "maximize":
        c.fill(frame(0.29, 0.29, 0.71, 0.71, w), WHITE)
        c.fill(box(0.29, 0.29, 0.71, 0.36), WHITE)
    elif glyph == "minimize":
        c.fill(box(0.29, 0.62, 0.71, 0.69), WHITE)
    elif glyph == "restore":
        c.fill(frame(0.38, 0.26, 0.74, 0.62, w), WHITE)
        c.fill(box(0.24, 0.38, 0.62, 0.76), (*bg, 255))
        c.fill(frame(0.26, 0.4, 0.62, 0.76, w), WHITE)
        c.fill(box(0.26, 0.4, 0.62, 0.46), WHITE)
    elif glyph == "settop":  # pinned: an upright pin
        c.fill(box(0.36, 0.2, 0.64, 0.5, 0.03), WHITE)
        c.fill(box(0.27, 0.48, 0.73, 0.55), WHITE)
        c.fill(stroke([(0.5, 0.55), (0.5, 0.8)], w), WHITE)
    elif glyph == "setnotop":  # not pinned: the pin lies on its side
        c.fill(box(0.45, 0.36, 0.75, 0.64, 0.03), WHITE)
        c.fill(box(0.4, 0.27, 0.47, 0.73), WHITE)
        c.fill(stroke([(0.2, 0.5), (0.42, 0.5)], w), WHITE)
    return c


def gradient_bmp(w, h, top, bottom):
    c = Canvas(w, h)
    c.vgradient(top, bottom)
    return c


def solid_bmp(w, h, rgb):
    return Canvas(w, h, (*rgb, 255))


def toggle(on):
    c = Canvas(95, 36)
    # Distances are in units of the shorter side (36 px); x is stretched, so draw in pixels.
    def px_shape(f):
        return lambda x, y: f(x * 95 / 36, y)
    track = px_shape(box(1 / 36, 1 / 36, 94 / 36, 35 / 36, 17 / 36))
    c.fill(track, (76, 199, 100, 255) if on else (200, 200, 200, 255))
    kx = (95 - 19) / 36 if on else 19 / 36
    c.fill(px_shape(circle(kx, 0.5, 14 / 36)), WHITE)
    c.fill(px_shape(ring(kx, 0.5, 14 / 36, 1 / 36)), (0, 0, 0, 40))
    return c


def arrow_shape(direction, thick=0.16):
    """A block arrow pointing down, turned to the wanted direction."""
    pts = [(0.5 - thick / 2, 0.18), (0.5 + thick / 2, 0.18), (0.5 + thick / 2, 0.52), (0.78, 0.52),
           (0.5, 0.84), (0.22, 0.52), (0.5 - thick / 2, 0.52)]
    turn = {"down": lambda x, y: (x, y), "up": lambda x, y: (x, 1 - y),
            "right": lambda x, y: (y, x), "left": lambda x, y: (1 - y, x)}[direction]
    return polygon([turn(x, y) for x, y in pts])


def updown(direction):
    c = Canvas(50, 50)
    c.fill(circle(0.5, 0.5, 0.46), BLUE)
    c.fill(arrow_shape(direction, 0.14), WHITE, (0.1, 0.1, 0.9, 0.9))
    return c


def icon(size, draw):
    c = Canvas(size, size)
    draw(c)
    return c


def tick(c, colour, w=0.11):
    c.fill(stroke(TICK, w), colour, (0.15, 0.25, 0.85, 0.8))


def cross(c, colour, w=0.11, r=0.2):
    c.fill(stroke([(0.5 - r, 0.5 - r), (0.5 + r, 0.5 + r)], w), colour, (0.2, 0.2, 0.8, 0.8))
    c.fill(stroke([(0.5 + r, 0.5 - r), (0.5 - r, 0.5 + r)], w), colour, (0.2, 0.2, 0.8, 0.8))


def disc(c, colour):
    c.fill(circle(0.5, 0.5, 0.46), colour)


def ok_icon(size, variant):
    def d(c):
        if variant in (1, 3):
            disc(c, GREEN)
            tick(c, WHITE)
        elif variant == 2:
            tick(c, GREEN, 0.14)
        else:
            c.fill(ring(0.5, 0.5, 0.42, 0.07), GREEN)
            tick(c, GREEN)
    return icon(size, d)


def ng_icon(size, variant):
    def d(c):
        if variant in (1, 3):
            disc(c, RED)
            cross(c, WHITE)
        elif variant == 2:
            cross(c, RED, 0.14, 0.24)
        else:
            c.fill(ring(0.5, 0.5, 0.42, 0.07), RED)
            cross(c, RED)
    return icon(size, d)


def question_mark(c, colour, w=0.09):
    c.fill(stroke(arc_points(0.5, 0.38, 0.13, 180, 405) + [(0.5, 0.6)], w), colour, (0.25, 0.15, 0.75, 0.7))
    c.fill(circle(0.5, 0.74, w * 0.7), colour, (0.4, 0.6, 0.6, 0.85))


def exclamation(c, colour, top=0.24, w=0.1):
    c.fill(stroke([(0.5, top), (0.5, 0.6)], w), colour)
    c.fill(circle(0.5, 0.74, w * 0.65), colour)


def arrow_head(tip_from, direction, length, half_width):
    """A triangle whose base is centred on tip_from and which points along direction."""
    (x, y), (dx, dy) = tip_from, direction
    n = math.hypot(dx, dy)
    dx, dy = dx / n, dy / n
    return polygon([(x + dx * length, y + dy * length), (x - dy * half_width, y + dx * half_width),
                    (x + dy * half_width, y - dx * half_width)])


def circular_arrow(c, colour):
    """Most of a circle, drawn clockwise, with a head at its end."""
    a1 = 230
    c.fill(stroke(arc_points(0.5, 0.5, 0.3, -60, a1), 0.09), colour)
    a = math.radians(a1)
    end = (0.5 + 0.3 * math.cos(a), 0.5 + 0.3 * math.sin(a))
    c.fill(arrow_head(end, (-math.sin(a), math.cos(a)), 0.14, 0.13), colour)


def redo_undo(size, redo):
    """An arch from left to right ending in a head that points down (mirrored for undo)."""
    def d(c):
        pts = arc_points(0.47, 0.62, 0.27, 180, 360, 20)
        end = pts[-1]
        head = arrow_head(end, (0, 1), 0.16, 0.14)
        shape = union(stroke(pts, 0.09), head)
        if not redo:
            c.fill(lambda x, y: shape(1 - x, y), BLUE)
        else:
            c.fill(shape, BLUE)
    return icon(size, d)


def document(c, x0, y0, x1, y1, fill, line):
    c.fill(box(x0, y0, x1, y1, 0.03), line)
    c.fill(box(x0 + 0.03, y0 + 0.03, x1 - 0.03, y1 - 0.03, 0.01), fill)
    for i in range(3):
        y = y0 + 0.12 + i * 0.09
        c.fill(box(x0 + 0.08, y, x1 - 0.08, y + 0.03), (170, 170, 170, 255))


def copy_icon(size):
    def d(c):
        document(c, 0.16, 0.12, 0.6, 0.68, WHITE, DARK)
        document(c, 0.4, 0.32, 0.84, 0.88, WHITE, BLUE)
    return icon(size, d)


def cut_icon(size):
    def d(c):
        c.fill(stroke([(0.32, 0.12), (0.62, 0.66)], 0.07), GREY)
        c.fill(stroke([(0.68, 0.12), (0.38, 0.66)], 0.07), GREY)
        c.fill(ring(0.32, 0.76, 0.11, 0.06), RED)
        c.fill(ring(0.68, 0.76, 0.11, 0.06), RED)
    return icon(size, d)


def paste_icon(size):
    def d(c):
        c.fill(box(0.18, 0.14, 0.78, 0.9, 0.05), (160, 110, 60, 255))
        c.fill(box(0.36, 0.08, 0.6, 0.2, 0.03), GREY)
        document(c, 0.4, 0.36, 0.86, 0.92, WHITE, BLUE)
    return icon(size, d)


def refresh_icon(size):
    def d(c):
        circular_arrow(c, GREEN)
    return icon(size, d)


def forbidden_icon(size):
    def d(c):
        c.fill(ring(0.5, 0.5, 0.38, 0.12), RED)
        c.fill(stroke([(0.25, 0.25), (0.75, 0.75)], 0.12), RED)
    return icon(size, d)


def info_icon(size):
    def d(c):
        disc(c, BLUE)
        c.fill(circle(0.5, 0.27, 0.065), WHITE)
        c.fill(box(0.44, 0.4, 0.56, 0.78, 0.02), WHITE)
    return icon(size, d)


def question_icon(size):
    def d(c):
        disc(c, BLUE)
        question_mark(c, WHITE)
    return icon(size, d)


def warning1_icon(size):
    def d(c):
        tri = polygon([(0.5, 0.1), (0.92, 0.86), (0.08, 0.86)])
        c.fill(lambda x, y: tri(x, y) - 0.03, YELLOW)
        exclamation(c, DARK, 0.34, 0.09)
    return icon(size, d)


def warning2_icon(size):
    def d(c):
        disc(c, ORANGE)
        exclamation(c, WHITE)
    return icon(size, d)


def calendar_icon(size):
    def d(c):
        c.fill(box(0.12, 0.16, 0.88, 0.88, 0.05), DARK)
        c.fill(box(0.15, 0.32, 0.85, 0.85, 0.02), WHITE)
        c.fill(box(0.15, 0.19, 0.85, 0.3), RED)
        for x in (0.3, 0.7):
            c.fill(stroke([(x, 0.08), (x, 0.22)], 0.05), DARK)
        for row in range(3):
            for col in range(4):
                x, y = 0.24 + col * 0.17, 0.42 + row * 0.14
                c.fill(box(x, y, x + 0.1, y + 0.08), (120, 120, 120, 255))
    return icon(size, d)


def heart_shape():
    return union(circle(0.34, 0.38, 0.2), circle(0.66, 0.38, 0.2),
                 polygon([(0.15, 0.46), (0.85, 0.46), (0.5, 0.86)]))


def heart_icon(size, filled):
    def d(c):
        h = heart_shape()
        if filled:
            c.fill(h, RED)
        else:
            c.fill(lambda x, y: abs(h(x, y)) - 0.035, RED)
    return icon(size, d)


def arrow_icon(size, direction):
    def d(c):
        c.fill(arrow_shape(direction, 0.2), BLUE)
    return icon(size, d)


def plus_minus_icon(size, plus, in_disc):
    def d(c):
        colour = GREEN if plus else RED
        fg = colour
        if in_disc:
            disc(c, colour)
            fg = WHITE
        w = 0.12 if in_disc else 0.16
        c.fill(stroke([(0.27, 0.5), (0.73, 0.5)], w), fg)
        if plus:
            c.fill(stroke([(0.5, 0.27), (0.5, 0.73)], w), fg)
    return icon(size, d)


def search_icon(size):
    def d(c):
        c.fill(ring(0.42, 0.42, 0.24, 0.09), DARK)
        c.fill(stroke([(0.6, 0.6), (0.84, 0.84)], 0.13), DARK)
    return icon(size, d)


def help_icon(size):
    def d(c):
        disc(c, (0, 150, 136, 255))
        question_mark(c, WHITE, 0.1)
    return icon(size, d)


def guide_icon(size):  # a signpost
    def d(c):
        c.fill(box(0.45, 0.1, 0.55, 0.92), (120, 80, 40, 255))
        c.fill(polygon([(0.2, 0.18), (0.74, 0.18), (0.86, 0.29), (0.74, 0.4), (0.2, 0.4)]), BLUE)
        c.fill(polygon([(0.8, 0.48), (0.26, 0.48), (0.14, 0.59), (0.26, 0.7), (0.8, 0.7)]), GREEN)
    return icon(size, d)


def gear_icon(size):
    def d(c):
        teeth = []
        for i in range(8):
            a = math.radians(i * 45)
            ca, sa = math.cos(a), math.sin(a)
            pts = [(-0.07, 0.28), (0.07, 0.28), (0.06, 0.44), (-0.06, 0.44)]
            teeth.append(polygon([(0.5 + x * ca - y * sa, 0.5 + x * sa + y * ca) for x, y in pts]))
        body = union(circle(0.5, 0.5, 0.32), *teeth)
        c.fill(subtract(body, circle(0.5, 0.5, 0.13)), (90, 90, 90, 255))
    return icon(size, d)


def radio_on_icon(size):
    def d(c):
        c.fill(circle(0.5, 0.5, 0.4), WHITE)
        c.fill(ring(0.5, 0.5, 0.4, 0.06), BLUE)
        c.fill(circle(0.5, 0.5, 0.2), BLUE)
    return icon(size, d)


def save_icon(size):
    def d(c):
        c.fill(polygon([(0.12, 0.12), (0.74, 0.12), (0.88, 0.26), (0.88, 0.88), (0.12, 0.88)]), BLUE)
        c.fill(box(0.26, 0.12, 0.66, 0.36), (220, 230, 240, 255))
        c.fill(box(0.52, 0.16, 0.6, 0.32), BLUE)
        c.fill(box(0.22, 0.52, 0.78, 0.88), WHITE)
    return icon(size, d)


def check_box(checked):
    def d(c):
        c.fill(box(0.1, 0.1, 0.9, 0.9, 0.06), (90, 90, 90, 255))
        c.fill(box(0.16, 0.16, 0.84, 0.84, 0.03), WHITE)
        if checked:
            c.fill(stroke([(0.28, 0.5), (0.44, 0.66), (0.73, 0.34)], 0.1), GREEN)
    return icon(56, d)


def frame_piece(w, h, top_rgb=None, bottom_rgb=None, rgb=None):
    if rgb is not None:
        return solid_bmp(w, h, rgb)
    return gradient_bmp(w, h, top_rgb, bottom_rgb)


CAPTION_TOP, CAPTION_BOTTOM = (74, 120, 184), (43, 87, 154)
BORDER = (43, 87, 154)

FILES = [
    ("cmbDefThumb-down.bmp", lambda: combo_thumb("down")),
    ("cmbDefThumb-hover.bmp", lambda: combo_thumb("hover")),
    ("cmbDefThumb-normal.bmp", lambda: combo_thumb("normal")),
    ("DlgBtn-CloseNor.bmp", lambda: caption_button("close", False)),
    ("DlgBtn-CloseOver.bmp", lambda: caption_button("close", True)),
    ("DlgBtn-MaximizeNor.bmp", lambda: caption_button("maximize", False)),
    ("DlgBtn-MaximizeOver.bmp", lambda: caption_button("maximize", True)),
    ("DlgBtn-MinimizeNor.bmp", lambda: caption_button("minimize", False)),
    ("DlgBtn-MinimizeOver.bmp", lambda: caption_button("minimize", True)),
    ("DlgBtn-RestoreNor.bmp", lambda: caption_button("restore", False)),
    ("DlgBtn-RestoreOver.bmp", lambda: caption_button("restore", True)),
    ("DlgBtn-SetNoTopNor.bmp", lambda: caption_button("setnotop", False)),
    ("DlgBtn-SetNoTopOver.bmp", lambda: caption_button("setnotop", True)),
    ("DlgBtn-SetTopNor.bmp", lambda: caption_button("settop", False)),
    ("DlgBtn-SetTopOver.bmp", lambda: caption_button("settop", True)),
    ("DlgToolBarBk.bmp", lambda: gradient_bmp(10, 32, (250, 250, 250), (222, 226, 232))),
    ("PopWinBkCenterBottom.bmp", lambda: frame_piece(5, 5, rgb=BORDER)),
    ("PopWinBkCenterTop.bmp", lambda: frame_piece(10, 26, CAPTION_TOP, CAPTION_BOTTOM)),
    ("PopWinBkLeft.bmp", lambda: frame_piece(5, 10, rgb=BORDER)),
    ("PopWinBkLeftBottom.bmp", lambda: frame_piece(5, 5, rgb=BORDER)),
    ("PopWinBkLeftTop.bmp", lambda: frame_piece(8, 25, CAPTION_TOP, CAPTION_BOTTOM)),
    ("PopWinBkRight.bmp", lambda: frame_piece(5, 10, rgb=BORDER)),
    ("PopWinBkRightBottom.bmp", lambda: frame_piece(5, 5, rgb=BORDER)),
    ("PopWinBkRightTop.bmp", lambda: frame_piece(8, 25, CAPTION_TOP, CAPTION_BOTTOM)),
    ("off.png", lambda: toggle(False)),
    ("on.png", lambda: toggle(True)),
    ("up.png", lambda: updown("up")),
    ("down.png", lambda: updown("down")),
    ("General_OK1.png", lambda: ok_icon(32, 1)),
    ("General_NG1.png", lambda: ng_icon(32, 1)),
    ("General_OK2.png", lambda: ok_icon(32, 2)),
    ("General_NG2.png", lambda: ng_icon(32, 2)),
    ("General_Search.png", lambda: search_icon(32)),
    ("General_Help.png", lambda: help_icon(32)),
    ("General_Guaide.png", lambda: guide_icon(32)),
    ("General_Setting.png", lambda: gear_icon(32)),
    ("General_RButtonON.png", lambda: radio_on_icon(32)),
    ("General_Refesh1.png", lambda: refresh_icon(32)),
    ("General_Save.png", lambda: save_icon(32)),
    ("General_Redo.png", lambda: redo_undo(256, True)),
    ("General_Undo.png", lambda: redo_undo(256, False)),
    ("General_Copy.png", lambda: copy_icon(256)),
    ("General_Cut.png", lambda: cut_icon(256)),
    ("General_Paste.png", lambda: paste_icon(256)),
    ("General_Refresh2.png", lambda: refresh_icon(256)),
    ("General_Forbidden.png", lambda: forbidden_icon(256)),
    ("General_Information.png", lambda: info_icon(256)),
    ("General_Question.png", lambda: question_icon(256)),
    ("General_Warning1.png", lambda: warning1_icon(256)),
    ("General_Warning2.png", lambda: warning2_icon(256)),
    ("General_Calendar.png", lambda: calendar_icon(256)),
    ("General_Heart1.png", lambda: heart_icon(256, True)),
    ("General_Heart2.png", lambda: heart_icon(256, False)),
    ("General_ArrowDown.png", lambda: arrow_icon(256, "down")),
    ("General_ArrowLeft.png", lambda: arrow_icon(256, "left")),
    ("General_ArrowRight.png", lambda: arrow_icon(256, "right")),
    ("General_ArrowUp.png", lambda: arrow_icon(256, "up")),
    ("General_Add1.png", lambda: plus_minus_icon(256, True, True)),
    ("General_Add2.png", lambda: plus_minus_icon(256, True, False)),
    ("General_Remove1.png", lambda: plus_minus_icon(256, False, True)),
    ("General_Remove2.png", lambda: plus_minus_icon(256, False, False)),
    ("General_NG3.png", lambda: ng_icon(256, 3)),
    ("General_NG4.png", lambda: ng_icon(256, 4)),
    ("General_OK3.png", lambda: ok_icon(256, 3)),
    ("General_OK4.png", lambda: ok_icon(256, 4)),
    ("General_ListChkBoxY.png", lambda: check_box(True)),
    ("General_ListChkBoxN.png", lambda: check_box(False)),
]


FIRST_RESOURCE_ID = 4000


def write_rc(path):
    """The resource script: built-in file i is RCDATA resource FIRST_RESOURCE_ID + i
    (IDR_DEFAULT_SKIN_FIRST in controls/SkinFiles.h)."""
    lines = ["// Generated by tools/skingen/skingen.py: the built-in skin files, in their table order.",
             f"// Built-in file i is RCDATA resource {FIRST_RESOURCE_ID} + i (IDR_DEFAULT_SKIN_FIRST).", ""]
    for i, (name, _) in enumerate(FILES):
        lines.append(f'{FIRST_RESOURCE_ID + i} RCDATA "{name}"')
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    only = set(sys.argv[2:])  # optional: redraw only these files
    os.makedirs(out, exist_ok=True)
    assert len(FILES) == 67
    for name, draw in FILES:
        if only and name not in only:
            continue
        canvas = draw()
        (write_png if name.endswith(".png") else write_bmp)(os.path.join(out, name), canvas)
    write_rc(os.path.join(out, "DefaultSkins.rc"))


if __name__ == "__main__":
    main()
