#!/usr/bin/env python3
"""Draws the skin-demo's skin: the five full-window images of the primary
set (face, mask, hover, pressed, disabled), the second set whose face holds
the tint slider's groove, and the slider's two thumbs. The skin is grey, so
the tint colours it; the progress bar's fill is coloured and keeps its
colour. The files are committed; run this only to change them:
python3 make_assets.py (from this folder). The rectangles here match the
control records of skin_demo.rcs."""
import struct
import zlib

W, H = 320, 100
RADIUS = 12

EXIT = (292, 5, 20, 16)
SNAP = (244, 5, 20, 16)
HIDE = (268, 5, 20, 16)
START = (222, 30, 84, 22)
PROGRESS = (14, 58, 200, 10)
SLIDER = (54, 74, 160, 20)


def png(path, width, height, pixel):
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def grey(v):
    v = max(0, min(255, int(v)))
    return (v, v, v)


def inside(rect, x, y):
    rx, ry, rw, rh = rect
    return rx <= x < rx + rw and ry <= y < ry + rh


def in_shape(x, y):
    # A rounded rectangle: the corners are cut on a circle of RADIUS.
    cx = min(max(x, RADIUS), W - 1 - RADIUS)
    cy = min(max(y, RADIUS), H - 1 - RADIUS)
    return (x - cx) ** 2 + (y - cy) ** 2 <= RADIUS ** 2


def base(x, y):
    # Brushed metal: a vertical gradient with faint horizontal streaks, a
    # darker title band, a light rim.
    if not in_shape(x, y):
        return grey(0)
    if not in_shape(x - 1, y) or not in_shape(x + 1, y) or not in_shape(x, y - 1) or not in_shape(x, y + 1):
        return grey(40)
    streak = ((x * 7 + y * 13) % 11) - 5
    if y < 24:
        return grey(78 - y + streak // 2)
    if y == 24:
        return grey(150)
    return grey(118 - (y - 25) * 0.55 + streak)


def glyph(name, gx, gy):
    # 8 x 8 pictures of the buttons: a cross, an arrow to an edge, an arrow off it.
    if name == "exit":
        return gx == gy or gx == 7 - gy
    if name == "snap":
        return gx == 7 or (gy in (3, 4) and gx < 6) or (abs(gy - 3.5) + 0.5 <= 6 - gx and gx in (4, 5))
    if name == "hide":
        return gx == 0 or (gy in (3, 4) and gx > 1) or (abs(gy - 3.5) + 0.5 <= gx - 1 and gx in (2, 3))
    return False


BUTTONS = ((EXIT, "exit"), (SNAP, "snap"), (HIDE, "hide"), (START, None))


def button(role, rect, name, x, y):
    rx, ry, rw, rh = rect
    lx, ly = x - rx, y - ry
    body = {"face": 140, "hover": 176, "pressed": 92, "disabled": 110}[role]
    light = {"face": 196, "hover": 225, "pressed": 60, "disabled": 120}[role]
    dark = {"face": 55, "hover": 80, "pressed": 150, "disabled": 90}[role]
    if ly == 0 or lx == 0:
        return grey(light)
    if ly == rh - 1 or lx == rw - 1:
        return grey(dark)
    if name:
        shift = 1 if role == "pressed" else 0
        gx, gy = lx - (rw - 8) // 2 - shift, ly - (rh - 8) // 2 - shift
        if 0 <= gx < 8 and 0 <= gy < 8 and glyph(name, gx, gy):
            return grey({"face": 235, "hover": 255, "pressed": 220, "disabled": 135}[role])
    return grey(body - ly)


def progress(role, x, y):
    rx, ry, rw, rh = PROGRESS
    if role == "disabled":
        t = (x - rx) / rw
        return (int(40 + 30 * t), int(205 - 40 * t), int(90 + 140 * t))
    edge = y == ry or x == rx
    return grey(30 if edge else 46)


def image(role):
    def pixel(x, y):
        for rect, name in BUTTONS:
            if inside(rect, x, y):
                return button(role, rect, name, x, y)
        if inside(PROGRESS, x, y):
            return progress(role, x, y)
        return base(x, y)
    return pixel


def second_face(x, y):
    # The tint slider's groove, on the same metal.
    sx, sy, sw, sh = SLIDER
    mid = sy + sh // 2
    if sx + 6 <= x < sx + sw - 6 and mid - 2 <= y <= mid + 1:
        return grey(35 if y < mid else 175)
    return base(x, y)


def mask(x, y):
    return grey(0) if in_shape(x, y) else grey(255)


def thumb(pressed):
    def pixel(x, y):
        if x in (0, 9) or y in (0, 17):
            return grey(40)
        if pressed:
            return (70, 110, 190) if 6 <= y <= 11 else (50, 80, 150)
        return grey(230 - y * 4) if not 7 <= y <= 10 else grey(120)
    return pixel


for role in ("face", "hover", "pressed", "disabled"):
    png(role + ".png", W, H, image(role))
png("mask.png", W, H, mask)
png("face2.png", W, H, second_face)
png("thumb.png", 10, 18, thumb(False))
png("thumb_pressed.png", 10, 18, thumb(True))
