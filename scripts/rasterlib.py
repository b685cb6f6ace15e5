"""Small drawing and picture-file helpers for the picture scripts (standard
library only): an RGBA canvas with anti-aliased polygons, circles and rounded
rectangles, and writers for PNG, BMP, ICO and CUR files."""
import math
import struct
import zlib


def inside_polygon(points, px, py):
    """Even-odd rule: True when (px, py) lies inside the polygon of points."""
    c = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            c = not c
        j = i
    return c


class Canvas:
    """RGBA pixels (0-255 floats); shapes are drawn with `ss` x `ss` samples per pixel."""

    def __init__(self, width, height, background=(0, 0, 0, 0), ss=4):
        self.w, self.h, self.ss = width, height, ss
        self.px = [list(background) for _ in range(width * height)]

    def _blend(self, x, y, color, coverage):
        if coverage <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        r, g, b, a = color
        a = a / 255.0 * min(1.0, coverage)
        d = self.px[y * self.w + x]
        da = d[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            d[i] = (c * a + d[i] * da * (1 - a)) / oa
        d[3] = oa * 255.0

    def fill(self, inside, color, box=None):
        """Fills where inside(x, y) is true (sub-pixel coordinates), anti-aliased.
        color may be a function of (x, y) giving an RGBA tuple."""
        x0, y0, x1, y1 = box if box else (0, 0, self.w, self.h)
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        n = self.ss
        step = 1.0 / n
        for y in range(y0, y1):
            for x in range(x0, x1):
                hits = 0
                for sy in range(n):
                    for sx in range(n):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    c = color(x + 0.5, y + 0.5) if callable(color) else color
                    self._blend(x, y, c, hits / (n * n))

    def polygon(self, points, color):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.fill(lambda px, py: inside_polygon(points, px, py), color, (min(xs), min(ys), max(xs) + 1, max(ys) + 1))

    def circle(self, cx, cy, r, color):
        self.fill(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color, (cx - r, cy - r, cx + r + 1, cy + r + 1))

    def ring(self, cx, cy, r, width, color):
        r0 = r - width
        self.fill(lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r, color,
                  (cx - r, cy - r, cx + r + 1, cy + r + 1))

    def rounded_rect(self, x0, y0, x1, y1, radius, color):
        def inside(x, y):
            if not (x0 <= x <= x1 and y0 <= y <= y1):
                return False
            cx = min(max(x, x0 + radius), x1 - radius)
            cy = min(max(y, y0 + radius), y1 - radius)
            return (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius

        self.fill(inside, color, (x0, y0, x1 + 1, y1 + 1))

    def rect(self, x0, y0, x1, y1, color):
        self.fill(lambda x, y: x0 <= x <= x1 and y0 <= y <= y1, color, (x0, y0, x1 + 1, y1 + 1))

    def line(self, xa, ya, xb, yb, width, color):
        dx, dy = xb - xa, yb - ya
        length = math.hypot(dx, dy) or 1.0
        nx, ny = -dy / length * width / 2, dx / length * width / 2
        self.polygon([(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny), (xa - nx, ya - ny)], color)

    def rgba_rows(self):
        """Top-down rows of (r, g, b, a) byte tuples."""
        out = []
        for y in range(self.h):
            row = []
            for x in range(self.w):
                r, g, b, a = self.px[y * self.w + x]
                row.append(tuple(int(max(0, min(255, round(v)))) for v in (r, g, b, a)))
            out.append(row)
        return out

    def flatten(self, background):
        """A copy composed over an opaque background colour."""
        c = Canvas(self.w, self.h, tuple(background) + (255,), self.ss)
        for i, (r, g, b, a) in enumerate(self.px):
            c._blend(i % self.w, i // self.w, (r, g, b, a), 1.0)
        return c


def png_bytes(canvas, alpha=True):
    rows = canvas.rgba_rows()
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a) if alpha else (r, g, b))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    head = struct.pack(">IIBBBBB", canvas.w, canvas.h, 8, 6 if alpha else 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")


def write_png(path, canvas, alpha=True):
    with open(path, "wb") as f:
        f.write(png_bytes(canvas, alpha))


def write_bmp24(path, canvas):
    """24-bit BMP of the canvas' colours (alpha ignored: flatten first)."""
    rows = canvas.rgba_rows()
    row_bytes = (canvas.w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for r, g, b, _ in row:
            line += bytes((b, g, r))
        line += b"\0" * (row_bytes - len(line))
        data += line
    header = struct.pack("<IiiHHIIiiII", 40, canvas.w, canvas.h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54) + header + data)


def _dib_entry(canvas):
    """A 32-bit icon image: header with double height, BGRA rows, AND mask."""
    rows = canvas.rgba_rows()
    w, h = canvas.w, canvas.h
    xor = bytearray()
    for row in reversed(rows):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def _icon_file(canvases, kind, hotspots=None):
    count = len(canvases)
    entries = bytearray()
    images = bytearray()
    offset = 6 + 16 * count
    for i, c in enumerate(canvases):
        data = _dib_entry(c)
        if kind == 1:
            planes, bits = 1, 32
        else:
            planes, bits = hotspots[i]
        entries += struct.pack("<BBBBHHII", c.w % 256, c.h % 256, 0, 0, planes, bits, len(data), offset)
        images += data
        offset += len(data)
    return struct.pack("<HHH", 0, kind, count) + entries + images


def write_ico(path, canvases):
    with open(path, "wb") as f:
        f.write(_icon_file(canvases, 1))


def write_cur(path, canvas, hotspot):
    with open(path, "wb") as f:
        f.write(_icon_file([canvas], 2, [hotspot]))
