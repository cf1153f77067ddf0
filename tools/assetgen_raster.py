"""A small RGB canvas for the asset generator: fills, gradients, shapes, bevelled blocks, a
5 x 7 bitmap font, and BMP (24-bit) and PNG (RGB) writers. Standard library only."""

import math
import random
import struct
import zlib

# Black is the colour key of every sprite sheet: transparent areas are pure black and visible
# dark areas use KEY_SAFE_DARK or lighter, which stays non-black in a 5-6-5 screen format.
TRANSPARENT = (0, 0, 0)
KEY_SAFE_DARK = (12, 12, 16)


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(v)


def mix(a, b, t):
    return tuple(clamp8(a[i] + (b[i] - a[i]) * t) for i in range(3))


def scale(c, f):
    return tuple(clamp8(v * f) for v in c)


def key_safe(c):
    """Keeps a visible colour away from the colour key: every channel at least 8."""
    return tuple(max(8, v) for v in c)


class Canvas:
    def __init__(self, width, height, fill=TRANSPARENT):
        self.w = width
        self.h = height
        self.px = bytearray(bytes(fill) * (width * height))

    def get(self, x, y):
        i = (y * self.w + x) * 3
        return (self.px[i], self.px[i + 1], self.px[i + 2])

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            i = (y * self.w + x) * 3
            self.px[i] = c[0]
            self.px[i + 1] = c[1]
            self.px[i + 2] = c[2]

    def blend(self, x, y, c, a):
        if 0 <= x < self.w and 0 <= y < self.h and a > 0:
            self.set(x, y, mix(self.get(x, y), c, min(1.0, a)))

    def rect(self, x0, y0, w, h, c):
        x0c, y0c = max(0, x0), max(0, y0)
        x1c, y1c = min(self.w, x0 + w), min(self.h, y0 + h)
        if x1c <= x0c:
            return
        row = bytes(c) * (x1c - x0c)
        for y in range(y0c, y1c):
            i = (y * self.w + x0c) * 3
            self.px[i:i + len(row)] = row

    def frame(self, x0, y0, w, h, c, t=1):
        self.rect(x0, y0, w, t, c)
        self.rect(x0, y0 + h - t, w, t, c)
        self.rect(x0, y0, t, h, c)
        self.rect(x0 + w - t, y0, t, h, c)

    def vgradient(self, x0, y0, w, h, top, bottom):
        for y in range(h):
            self.rect(x0, y0 + y, w, 1, mix(top, bottom, y / max(1, h - 1)))

    def shade_rect(self, x0, y0, w, h, c, alpha):
        for y in range(max(0, y0), min(self.h, y0 + h)):
            for x in range(max(0, x0), min(self.w, x0 + w)):
                self.blend(x, y, c, alpha)

    def noise(self, x0, y0, w, h, amount, seed):
        rng = random.Random(seed)
        for y in range(max(0, y0), min(self.h, y0 + h)):
            for x in range(max(0, x0), min(self.w, x0 + w)):
                d = rng.uniform(-amount, amount)
                c = self.get(x, y)
                if c != TRANSPARENT:
                    self.set(x, y, key_safe(tuple(clamp8(v + d) for v in c)))

    def ellipse(self, cx, cy, rx, ry, c, aa=False):
        """Filled ellipse; with aa the rim is blended (only for opaque pictures)."""
        for y in range(int(cy - ry - 1), int(cy + ry + 2)):
            for x in range(int(cx - rx - 1), int(cx + rx + 2)):
                dx = (x + 0.5 - cx) / rx
                dy = (y + 0.5 - cy) / ry
                d = math.sqrt(dx * dx + dy * dy)
                if aa:
                    edge = (1.0 - d) * min(rx, ry)
                    if edge > 0:
                        self.blend(x, y, c, min(1.0, edge + 0.5))
                elif d <= 1.0:
                    self.set(x, y, c)

    def ring(self, cx, cy, r_out, r_in, c):
        for y in range(int(cy - r_out - 1), int(cy + r_out + 2)):
            for x in range(int(cx - r_out - 1), int(cx + r_out + 2)):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if r_in <= d <= r_out:
                    self.set(x, y, c)

    def polygon(self, pts, c):
        ys = [p[1] for p in pts]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            yc = y + 0.5
            xs = []
            n = len(pts)
            for i in range(n):
                (x1, y1), (x2, y2) = pts[i], pts[(i + 1) % n]
                if (y1 <= yc < y2) or (y2 <= yc < y1):
                    xs.append(x1 + (yc - y1) * (x2 - x1) / (y2 - y1))
            xs.sort()
            for i in range(0, len(xs) - 1, 2):
                for x in range(int(math.ceil(xs[i] - 0.5)), int(math.floor(xs[i + 1] - 0.5)) + 1):
                    self.set(x, y, c)

    def line(self, x0, y0, x1, y1, c, width=1.0):
        r = width / 2.0
        for y in range(int(min(y0, y1) - r - 1), int(max(y0, y1) + r + 2)):
            for x in range(int(min(x0, x1) - r - 1), int(max(x0, x1) + r + 2)):
                px, py = x + 0.5, y + 0.5
                vx, vy = x1 - x0, y1 - y0
                ll = vx * vx + vy * vy
                t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - x0) * vx + (py - y0) * vy) / ll))
                d = math.hypot(px - (x0 + t * vx), py - (y0 + t * vy))
                if d <= r:
                    self.set(x, y, c)

    def arc(self, cx, cy, rx, ry, a0, a1, c, width=2.0):
        steps = max(8, int(abs(a1 - a0) * max(rx, ry) / 2))
        prev = None
        for i in range(steps + 1):
            a = a0 + (a1 - a0) * i / steps
            p = (cx + rx * math.cos(a), cy + ry * math.sin(a))
            if prev:
                self.line(prev[0], prev[1], p[0], p[1], c, width)
            prev = p

    def blit(self, src, dx, dy, sx=0, sy=0, w=None, h=None, keyed=True):
        w = src.w if w is None else w
        h = src.h if h is None else h
        for y in range(h):
            for x in range(w):
                c = src.get(sx + x, sy + y)
                if keyed and c == TRANSPARENT:
                    continue
                self.set(dx + x, dy + y, c)

    # --- output ---------------------------------------------------------------

    def save_bmp(self, path):
        row_bytes = self.w * 3
        pad = (4 - row_bytes % 4) % 4
        data = bytearray()
        for y in range(self.h - 1, -1, -1):  # bottom-up rows
            for x in range(self.w):
                r, g, b = self.get(x, y)
                data += bytes((b, g, r))
            data += b"\0" * pad
        header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
        with open(path, "wb") as f:
            f.write(header + info + data)

    def save_png(self, path):
        raw = bytearray()
        stride = self.w * 3
        for y in range(self.h):
            raw.append(0)
            raw += self.px[y * stride:(y + 1) * stride]

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        ihdr = struct.pack(">IIBBBBB", self.w, self.h, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
                    + chunk(b"IEND", b""))


# --- blocks -------------------------------------------------------------------


def bevel_block(cv, x0, y0, size, base, depth=3, gloss=True):
    """A cut-stone block: light top-left bevel, dark bottom-right bevel, a soft face and a glint."""
    light = mix(base, (255, 255, 255), 0.55)
    dark = scale(base, 0.45)
    edge = key_safe(scale(base, 0.25))
    cv.rect(x0, y0, size, size, edge)
    for y in range(1, size - 1):
        for x in range(1, size - 1):
            d_tl = min(x, y)
            d_br = min(size - 1 - x, size - 1 - y)
            if d_tl <= depth and d_tl <= d_br:
                c = light
            elif d_br <= depth:
                c = dark
            else:
                t = (x + y) / (2.0 * size)
                c = mix(mix(base, (255, 255, 255), 0.18), scale(base, 0.85), t)
            cv.set(x0 + x, y0 + y, key_safe(c))
    if gloss:
        g = mix(base, (255, 255, 255), 0.85)
        for i in range(3):
            cv.set(x0 + depth + 2 + i, y0 + depth + 2, g)
        cv.set(x0 + depth + 2, y0 + depth + 3, g)


# --- 5 x 7 font ---------------------------------------------------------------

FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "Q": ["01110", "10001", "10001", "10001", "10101", "10010", "01101"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "W": ["10001", "10001", "10001", "10101", "10101", "10101", "01010"],
    "X": ["10001", "10001", "01010", "00100", "01010", "10001", "10001"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "Z": ["11111", "00001", "00010", "00100", "01000", "10000", "11111"],
    "J": ["00111", "00010", "00010", "00010", "00010", "10010", "01100"],
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "!": ["00100", "00100", "00100", "00100", "00100", "00000", "00100"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    " ": ["00000"] * 7,
}


def text_width(text, px, gap=1):
    return len(text) * (5 + gap) * px - gap * px


def draw_text(cv, x, y, text, px, color, shadow=None, gap=1):
    """Draws text in the 5 x 7 font with square dots of px pixels; shadow is drawn one dot down-right."""
    for layer in ((shadow, max(1, px // 3)), (color, 0)) if shadow else ((color, 0),):
        c, off = layer
        cx = x
        for ch in text:
            glyph = FONT.get(ch, FONT[" "])
            for gy, row in enumerate(glyph):
                for gx, bit in enumerate(row):
                    if bit == "1":
                        cv.rect(cx + gx * px + off, y + gy * px + off, px, px, c)
            cx += (5 + gap) * px


def draw_block_text(cv, x, y, text, size, colors, gap=1):
    """Text whose every dot is a bevelled block, cycling through colours letter by letter."""
    cx = x
    for i, ch in enumerate(text):
        glyph = FONT.get(ch, FONT[" "])
        base = colors[i % len(colors)]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":
                    bevel_block(cv, cx + gx * size, y + gy * size, size, base, depth=max(1, size // 6))
        cx += (5 + gap) * size
