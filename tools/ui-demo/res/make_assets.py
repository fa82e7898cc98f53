#!/usr/bin/env python3
"""Draws the ui-demo's images: the dialog's skin (skin.png), the tray and
window icon (icon.png) and the spinning-platter clip (platter.avi, an
uncompressed RIFF AVI). The files are committed; run this only to change
them: python3 make_assets.py (from this folder)."""
import math
import struct
import zlib

SKIN_W, SKIN_H = 320, 200


def png(path, width, height, pixel):
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def skin(x, y):
    # A dark blue panel with a light top bevel and a title band.
    if y < 2:
        return (150, 180, 220, 255)
    if y < 28:
        return mix((70, 96, 140), (40, 58, 92), y / 28) + (255,)
    if x < 1 or x >= SKIN_W - 1 or y >= SKIN_H - 1:
        return (20, 26, 40, 255)
    return mix((34, 46, 70), (16, 22, 34), (y - 28) / (SKIN_H - 28)) + (255,)


def icon(x, y):
    d = math.hypot(x - 11.5, y - 11.5)
    if d > 11:
        return (0, 0, 0, 0)
    return mix((60, 230, 80), (20, 90, 40), d / 11) + (255,)


# Where the clip sits on the dialog's skin, so its corners match the skin.
PLATTER_X, PLATTER_Y = 16, 102


def platter_frame(n, size=32, frames=8):
    # Bottom-up BGR rows (32 pixels of 3 bytes need no padding): a grey
    # platter whose bright sector moves on by one eighth a frame.
    rows = []
    for y in reversed(range(size)):
        row = bytearray()
        for x in range(size):
            dx, dy = x - size / 2 + 0.5, y - size / 2 + 0.5
            d = math.hypot(dx, dy)
            angle = (math.atan2(dy, dx) / (2 * math.pi) * frames - n) % frames
            if d > size / 2 - 1:
                c = skin(PLATTER_X + x, PLATTER_Y + y)[:3]
            elif d < 3:
                c = (200, 200, 210)
            else:
                c = (230, 200, 90) if angle < 1 else (110, 120, 140)
            row += bytes((c[2], c[1], c[0]))
        rows.append(bytes(row))
    return b"".join(rows)


def avi(path, frames=8, size=32, frame_us=100000):
    def chunk(kind, data):
        pad = b"\0" if len(data) % 2 else b""
        return kind + struct.pack("<I", len(data)) + data + pad

    def lst(kind, body):
        return chunk(b"LIST", kind + body)

    frame_bytes = size * size * 3
    avih = struct.pack("<IIIIIIIIIIIIII", frame_us, 0, 0, 0x10, frames, 0, 1, frame_bytes, size, size, 0, 0, 0, 0)
    strh = b"vids" + b"DIB " + struct.pack("<IHHIIIIIIIIhhhh", 0, 0, 0, 0, 1, 10, 0, frames, frame_bytes, 0xFFFFFFFF, 0, 0, 0, size, size)
    strf = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 24, 0, frame_bytes, 0, 0, 0, 0)
    hdrl = lst(b"hdrl", chunk(b"avih", avih) + lst(b"strl", chunk(b"strh", strh) + chunk(b"strf", strf)))
    movi = lst(b"movi", b"".join(chunk(b"00db", platter_frame(n, size, frames)) for n in range(frames)))
    body = b"AVI " + hdrl + movi
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


png("skin.png", SKIN_W, SKIN_H, skin)
png("icon.png", 24, 24, icon)
avi("platter.avi")
