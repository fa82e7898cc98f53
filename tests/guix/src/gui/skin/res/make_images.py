#!/usr/bin/env python3
"""Draws the images of the skin tests' resource library. Each full-window
image encodes its role and the pixel's place, so a test can tell from one
pixel which image and which spot a control piece was cut from:
red = the role's code, green = x, blue = y. The files are committed; run
this only to change them: python3 make_images.py (from this folder)."""
import struct
import zlib

W, H = 200, 60


def png(path, width, height, pixel):
    rows = b"".join(b"\0" + bytes(c for x in range(width) for c in pixel(x, y) + (255,)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    head = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


def coded(code):
    return lambda x, y: (code, x, y)


def solid(colour):
    return lambda x, y: colour


# The primary set (codes 10 to 40) and the second set (codes 50 to 80).
for name, code in (("face", 10), ("hover", 20), ("pressed", 30), ("disabled", 40),
                   ("face2", 50), ("hover2", 60), ("pressed2", 70), ("disabled2", 80)):
    png(name + ".png", W, H, coded(code))

# Inside everywhere but the top-left pixel.
png("mask.png", W, H, lambda x, y: (255, 255, 255) if (x, y) == (0, 0) else (0, 0, 0))
png("mask_white.png", 20, 10, solid((255, 255, 255)))

# A grey skin for tinting: every role a grey level of its own.
for name, level in (("grey_face", 128), ("grey_hover", 200), ("grey_pressed", 64), ("grey_disabled", 32)):
    png(name + ".png", 100, 40, solid((level, level, level)))
png("grey_mask.png", 100, 40, solid((0, 0, 0)))

png("thumb.png", 8, 12, solid((200, 0, 0)))
png("thumb_pressed.png", 8, 12, solid((0, 0, 200)))
