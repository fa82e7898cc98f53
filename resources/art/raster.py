"""A small deterministic raster library for the resource images: RGBA
pixels in floats, shapes given by signed distance (anti-aliased by their
coverage of each pixel), crisp pixel rectangles, and a PNG writer with the
reader that compares what files show. Standard library only.

Greys stay exactly grey: a grey painted over a grey gives equal channels, so
the skins' grey body is what the tint of the LED window recolours."""
import math
import struct
import zlib

MAGENTA = (255, 0, 255)


def grey(v, a=255):
    return (v, v, v, a)


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def lerp(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


class Image:
    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.w, self.h = width, height
        self.px = [list(map(float, fill)) for _ in range(width * height)]

    def copy(self):
        other = Image(self.w, self.h)
        other.px = [p[:] for p in self.px]
        return other

    def get(self, x, y):
        return tuple(int(round(c)) for c in self.px[y * self.w + x])

    def put(self, x, y, rgba):
        self.px[y * self.w + x] = list(map(float, rgba))

    def blend(self, x, y, rgba, coverage=1.0):
        """Paints `rgba` over the pixel with `coverage` (0..1)."""
        if coverage <= 0 or not (0 <= x < self.w and 0 <= y < self.h):
            return
        d = self.px[y * self.w + x]
        a = rgba[3] / 255.0 * coverage if len(rgba) > 3 else coverage
        da = d[3] / 255.0
        out_a = a + da * (1 - a)
        if out_a <= 0:
            self.px[y * self.w + x] = [0.0, 0.0, 0.0, 0.0]
            return
        for i in range(3):
            d[i] = (rgba[i] * a + d[i] * da * (1 - a)) / out_a
        d[3] = out_a * 255.0

    # Shapes. `paint` is a colour or a function (x, y) -> colour.
    def fill_rect(self, x0, y0, x1, y1, paint):
        """Crisp rectangle, x1 and y1 excluded."""
        for y in range(max(0, y0), min(self.h, y1)):
            for x in range(max(0, x0), min(self.w, x1)):
                self.blend(x, y, paint(x, y) if callable(paint) else paint)

    def fill_sdf(self, box, sdf, paint):
        """Anti-aliased shape: sdf(px, py) < 0 inside, in pixels."""
        x0, y0, x1, y1 = box
        for y in range(max(0, int(math.floor(y0)) - 1), min(self.h, int(math.ceil(y1)) + 1)):
            for x in range(max(0, int(math.floor(x0)) - 1), min(self.w, int(math.ceil(x1)) + 1)):
                cov = clamp(0.5 - sdf(x + 0.5, y + 0.5))
                if cov > 0:
                    self.blend(x, y, paint(x, y) if callable(paint) else paint, cov)

    def round_rect(self, x0, y0, x1, y1, r, paint):
        self.fill_sdf((x0, y0, x1, y1), round_rect_sdf(x0, y0, x1, y1, r), paint)

    def circle(self, cx, cy, r, paint):
        self.fill_sdf((cx - r, cy - r, cx + r, cy + r), lambda x, y: math.hypot(x - cx, y - cy) - r, paint)

    def ring(self, cx, cy, r, width, paint):
        self.fill_sdf((cx - r - width, cy - r - width, cx + r + width, cy + r + width),
                      lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - width / 2, paint)

    def line(self, xa, ya, xb, yb, width, paint):
        box = (min(xa, xb) - width, min(ya, yb) - width, max(xa, xb) + width, max(ya, yb) + width)
        self.fill_sdf(box, lambda x, y: segment_distance(x, y, xa, ya, xb, yb) - width / 2, paint)

    def strokes(self, paths, width, paint):
        """Open paths of (x, y) points stroked `width` wide as one shape, so
        joints and crossings are painted once."""
        segments = [(a, b) for path in paths for a, b in zip(path, path[1:])]
        xs = [p[0] for path in paths for p in path]
        ys = [p[1] for path in paths for p in path]
        box = (min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width)

        def sdf(x, y):
            return min(segment_distance(x, y, a[0], a[1], b[0], b[1]) for a, b in segments) - width / 2
        self.fill_sdf(box, sdf, paint)

    def arc(self, cx, cy, r, start, end, steps=16):
        """Points along a circle from angle `start` to `end` (degrees, y down)."""
        return [(cx + r * math.cos(math.radians(start + (end - start) * i / steps)),
                 cy + r * math.sin(math.radians(start + (end - start) * i / steps))) for i in range(steps + 1)]

    def polygon(self, points, paint, samples=4):
        """Filled polygon, coverage by samples x samples points a pixel."""
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        for y in range(max(0, int(min(ys))), min(self.h, int(math.ceil(max(ys))) + 1)):
            for x in range(max(0, int(min(xs))), min(self.w, int(math.ceil(max(xs))) + 1)):
                inside = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if point_in_polygon(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples, points):
                            inside += 1
                if inside:
                    self.blend(x, y, paint(x, y) if callable(paint) else paint, inside / (samples * samples))

    def paste(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                if 0 <= ox + x < self.w and 0 <= oy + y < self.h:
                    self.blend(ox + x, oy + y, other.get(x, y))

    def crop(self, x0, y0, x1, y1):
        part = Image(x1 - x0, y1 - y0)
        for y in range(y0, y1):
            for x in range(x0, x1):
                part.put(x - x0, y - y0, self.get(x, y))
        return part

    def keyed(self):
        """Fully transparent pixels carry the key colour magenta, so the image
        works with alpha and with a colour-keyed mask alike."""
        out = self.copy()
        for p in out.px:
            if p[3] < 0.5:
                p[:] = [255.0, 0.0, 255.0, 0.0]
        return out

    def rgb_rows(self, bottom_up=False):
        ys = range(self.h - 1, -1, -1) if bottom_up else range(self.h)
        return [[self.get(x, y)[:3] for x in range(self.w)] for y in ys]


def round_rect_sdf(x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return sdf


def segment_distance(x, y, xa, ya, xb, yb):
    dx, dy = xb - xa, yb - ya
    length = dx * dx + dy * dy
    t = 0 if length == 0 else clamp(((x - xa) * dx + (y - ya) * dy) / length)
    return math.hypot(x - (xa + t * dx), y - (ya + t * dy))


def point_in_polygon(x, y, points):
    inside = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
            inside = not inside
        j = i
    return inside


def vertical(top, bottom, y0, y1):
    """A paint that runs from `top` at row y0 to `bottom` at row y1 (greys stay grey)."""
    def paint(x, y):
        t = clamp((y + 0.5 - y0) / max(1, y1 - y0))
        return tuple(int(round(c)) for c in lerp(top, bottom, t))
    return paint


def write_png(path, image):
    rows = b"".join(b"\0" + bytes(c for x in range(image.w) for c in image.get(x, y)) for y in range(image.h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", image.w, image.h, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def read_png(path):
    """What a non-interlaced 8-bit PNG file shows: (width, height, colour
    type, unfiltered rows), whatever compressor and filters wrote it; None
    for anything else."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    at, head, packed = 8, None, b""
    while at + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            head = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            packed += body
        at += 12 + length
    channels = {0: 1, 2: 3, 4: 2, 6: 4}.get(head[3]) if head else None
    if not channels or head[2] != 8 or head[6] != 0:
        return None
    w, h = head[0], head[1]
    stride = w * channels
    raw = zlib.decompress(packed)
    rows, previous = [], bytes(stride)
    for y in range(h):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        if kind:
            unfilter(kind, line, previous, channels)
        rows.append(bytes(line))
        previous = line
    return w, h, head[3], b"".join(rows)


def unfilter(kind, line, up, bpp):
    """Undoes PNG filter `kind` (1 Sub, 2 Up, 3 Average, 4 Paeth) in place."""
    for i in range(len(line)):
        a = line[i - bpp] if i >= bpp else 0
        b = up[i]
        c = up[i - bpp] if i >= bpp else 0
        if kind == 1:
            line[i] = (line[i] + a) & 255
        elif kind == 2:
            line[i] = (line[i] + b) & 255
        elif kind == 3:
            line[i] = (line[i] + (a + b) // 2) & 255
        else:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
