#!/usr/bin/env python3
"""Draws every image of the resource library LUMEXRS.DLL into ../images:
the three skins (five images each, the LED window's two sets), the LED,
row-icon and S.M.A.R.T. box strips, the slider thumbs, the icons, the about
picture and the frames of the self-test clip (lumetra-rc builds the clip
from them). Deterministic: the same pixels every run.

    python3 make_images.py            (from this folder)
    python3 make_images.py --check    compares instead of writing: exit 1
                                      when a committed image shows other
                                      pixels (the compressed bytes may differ
                                      with another zlib)

The look: a graphite desktop widget. Everything the colour slider must
recolour is drawn in exact greys (the tint only touches pixels whose red,
green and blue are equal); colour is kept for what must not change with it:
the lit LEDs, the health colours, the hue track of the colour slider.
The geometry follows the LED window's layout values in lumex.rcs (string
211: LED 20 x 24, spacing 2, margin 2, stretch column 60) and is explained
in ../DECISIONS.md."""
import colorsys
import math
import os
import sys
import tempfile

sys.dont_write_bytecode = True  # the check runs from the source tree; leave nothing there
from raster import Image, grey, lerp, vertical, read_png, write_png, clamp

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "images")

# Greys of the body, lightest to darkest.
WHITE = (255, 255, 255, 255)
BLACK = (0, 0, 0, 255)
OUTLINE = grey(18)
BEVEL = grey(100)
BODY_TOP, BODY_BOTTOM = grey(68), grey(44)
SHADE = grey(34)
WELL_TOP, WELL_BOTTOM = grey(30), grey(24)
WELL_SHADOW = grey(14)
WELL_LIGHT = grey(78)
GLYPH = grey(170)
GLYPH_HOVER = grey(232)
GLYPH_DIM = grey(92)
HOVER_FILL = grey(88)
PRESSED_FILL = grey(28)

# Colours that stay: LEDs, health, the option-on dot.
READ_TOP, READ_BOTTOM = (40, 200, 150, 255), (0, 120, 90, 255)
WRITE_TOP, WRITE_BOTTOM = (255, 176, 70, 255), (214, 96, 8, 255)
LETTER_WHITE = (255, 255, 254, 255)  # the LED letters' colour 0xFEFFFF: never grey, never tinted
ON_DOT = (255, 178, 40, 255)
LCD_TOP, LCD_BOTTOM = (226, 232, 228, 255), (212, 220, 215, 255)
LCD_EDGE = (112, 122, 116, 255)

# The LED window's geometry (string 211 and the row formula).
H = 32
LED_W, LED_H = 20, 24
TILE_W = 120            # the tile of a row with one letter
STRETCH_COLUMN = 60     # a column inside the LED channel
WELL_X0, WELL_X1 = 35, 118
SMART_BOX_X = 62        # row right + 4
SMART_TAB = (75, 27, 28, 5)
SECOND_W = 187


def save(name, image):
    write_png(os.path.join(OUT, name), image)


# ---------------------------------------------------------------- modules

def module(img, x0, x1, mask=None):
    """A rounded graphite module from column x0 to x1 (excluded), full height."""
    outer = (x0, 0, x1, img.h)
    img.round_rect(*outer, 5, OUTLINE)
    img.round_rect(x0 + 1, 1, x1 - 1, img.h - 1, 4, vertical(BODY_TOP, BODY_BOTTOM, 1, img.h - 1))
    img.fill_rect(x0 + 4, 1, x1 - 4, 2, BEVEL)
    img.fill_rect(x0 + 4, img.h - 2, x1 - 4, img.h - 1, SHADE)
    if mask is not None:
        mask.round_rect(*outer, 5, BLACK)


def well(img, x0, y0, x1, y1):
    """A recessed channel: dark inside, shadow above and left, light below and right."""
    img.fill_rect(x0, y0, x1, y1, WELL_SHADOW)
    img.fill_rect(x0 + 1, y1 - 1, x1, y1, WELL_LIGHT)
    img.fill_rect(x1 - 1, y0 + 1, x1, y1, WELL_LIGHT)
    img.fill_rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, vertical(WELL_TOP, WELL_BOTTOM, y0 + 1, y1 - 1))


def binary_mask(mask):
    """Pure white outside, black inside: a pixel counts as inside when the
    shape covers at least half of it."""
    for p in mask.px:
        inside = p[3] >= 127.5 and p[0] < 128
        p[:] = [0.0, 0.0, 0.0, 255.0] if inside else [255.0, 255.0, 255.0, 255.0]
    return mask


def white_outside(face, mask):
    for i, m in enumerate(mask.px):
        if m[0] > 128:
            face.px[i] = [255.0, 255.0, 255.0, 255.0]
        else:
            face.px[i][3] = 255.0


# ---------------------------------------------------------------- glyphs
# Each draws into a cell whose centre is (cx, cy); strokes about 1.3 px.

def glyph_cd(img, cx, cy, c):
    img.ring(cx, cy, 5.2, 1.4, c)
    img.circle(cx, cy, 1.5, c)
    img.strokes([img.arc(cx, cy, 3.2, 200, 250, 6)], 1.0, c)


def glyph_network(img, cx, cy, c):
    meridian = [(cx + 2.3 * math.sin(math.radians(a)), cy - 5.2 * math.cos(math.radians(a))) for a in range(0, 361, 20)]
    img.ring(cx, cy, 5.2, 1.3, c)
    img.strokes([[(cx - 5, cy), (cx + 5, cy)], meridian], 1.0, c)


def glyph_tape(img, cx, cy, c):
    img.round_rect(cx - 6.5, cy - 4.5, cx + 6.5, cy + 4.5, 1.5, c)
    img.round_rect(cx - 5.2, cy - 3.2, cx + 5.2, cy + 3.2, 1, PRESSED_FILL)
    img.ring(cx - 2.6, cy - 0.3, 1.5, 1.2, c)
    img.ring(cx + 2.6, cy - 0.3, 1.5, 1.2, c)
    img.fill_rect(int(cx - 3), int(cy + 2), int(cx + 3), int(cy + 4), c)


def glyph_removable(img, cx, cy, c):
    img.round_rect(cx - 3, cy - 2.5, cx + 3, cy + 6.5, 1.2, c)
    img.fill_rect(int(cx - 2), int(cy - 6.5), int(cx + 2), int(cy - 2.5), c)
    img.fill_rect(int(cx - 1), int(cy - 5.5), int(cx), int(cy - 4.5), PRESSED_FILL)
    img.fill_rect(int(cx), int(cy - 5.5), int(cx + 1), int(cy - 4.5), PRESSED_FILL)


def glyph_auto_hide(img, cx, cy, c):
    img.fill_rect(int(cx + 4), int(cy - 6), int(cx + 6), int(cy + 6), c)
    img.strokes([[(cx - 5.5, cy), (cx + 2, cy)], [(cx - 1, cy - 3), (cx + 2, cy), (cx - 1, cy + 3)]], 1.4, c)


def glyph_snap(img, cx, cy, c):
    img.strokes([[(cx - 4, cy - 5), (cx - 4, cy + 1)] + img.arc(cx, cy + 1, 4, 180, 0, 10)[1:] +
                 [(cx + 4, cy - 5)]], 2.2, c)
    img.fill_rect(int(cx - 5), int(cy - 6), int(cx - 2), int(cy - 4), LETTER_WHITE if c == GLYPH_HOVER else c)
    img.fill_rect(int(cx + 3), int(cy - 6), int(cx + 6), int(cy - 4), LETTER_WHITE if c == GLYPH_HOVER else c)


def glyph_on_top(img, cx, cy, c):
    img.strokes([[(cx - 5.5, cy - 1), (cx - 5.5, cy - 5.5), (cx + 1.5, cy - 5.5), (cx + 1.5, cy - 3)]], 1.2, c)
    img.round_rect(cx - 2.5, cy - 2, cx + 6, cy + 5.5, 1, c)


def glyph_keyboard_led(img, cx, cy, c):
    img.strokes([[(cx - 6, cy - 4), (cx + 6, cy - 4), (cx + 6, cy + 5), (cx - 6, cy + 5), (cx - 6, cy - 4)]], 1.2, c)
    for i in range(4):
        img.fill_rect(int(cx - 4 + 2 * i), int(cy - 1), int(cx - 3 + 2 * i), int(cy), c)
    img.fill_rect(int(cx - 3), int(cy + 2), int(cx + 3), int(cy + 3), c)
    img.circle(cx + 3.5, cy - 6.5, 1.6, c)


def glyph_help(img, cx, cy, c):
    img.strokes([img.arc(cx, cy - 2, 3.2, 200, 400, 14) + [(cx, cy + 2.2)]], 1.6, c)
    img.circle(cx, cy + 5, 1.1, c)


def glyph_about(img, cx, cy, c):
    img.ring(cx, cy, 6, 1.2, c)
    img.circle(cx, cy - 3.2, 1.0, c)
    img.fill_rect(int(cx - 1), int(cy - 1), int(cx + 1), int(cy + 4), c)


def glyph_exit(img, cx, cy, c):
    img.strokes([[(cx - 3.5, cy - 3.5), (cx + 3.5, cy + 3.5)], [(cx + 3.5, cy - 3.5), (cx - 3.5, cy + 3.5)]], 1.5, c)


def glyph_minimize(img, cx, cy, c):
    img.strokes([[(cx, cy - 4.5), (cx, cy + 1.5)], [(cx - 3, cy - 1.5), (cx, cy + 1.5), (cx + 3, cy - 1.5)]], 1.4, c)
    img.fill_rect(int(cx - 4), int(cy + 3), int(cx + 5), int(cy + 5), c)


def glyph_save(img, cx, cy, c):
    img.strokes([[(cx - 4, cy - 5), (cx + 2, cy - 5), (cx + 4.5, cy - 2.5), (cx + 4.5, cy + 5), (cx - 4, cy + 5),
                  (cx - 4, cy - 5)]], 1.2, c)
    img.strokes([[(cx, cy - 2.5), (cx, cy + 2.5)], [(cx - 2, cy + 0.5), (cx, cy + 2.5), (cx + 2, cy + 0.5)]], 1.2, c)


def glyph_grip(img, cx, cy, c):
    for dy in (-5, 0, 5):
        img.circle(cx, cy + dy, 1.3, c)


# ---------------------------------------------------------------- buttons

class Button:
    """One control's rectangle and how it looks in the face, hover, pressed
    and disabled images."""

    def __init__(self, x, y, w, h, glyph, latched_dot=False, radius=3):
        self.x, self.y, self.w, self.h = x, y, w, h
        self.glyph, self.dot, self.radius = glyph, latched_dot, radius

    def centre(self):
        return self.x + self.w / 2, self.y + self.h / 2

    def draw(self, img, state):
        x0, y0, x1, y1 = self.x + 1, self.y + 1, self.x + self.w - 1, self.y + self.h - 1
        y0 = max(y0, 2)
        y1 = min(y1, img.h - 2)
        cx, cy = self.centre()
        if state == "hover":
            img.round_rect(x0, y0, x1, y1, self.radius, grey(24))
            img.round_rect(x0 + 0.6, y0 + 0.6, x1 - 0.6, y1 - 0.6, self.radius - 0.6, vertical(grey(104), grey(80), y0, y1))
            self.glyph(img, cx, cy, GLYPH_HOVER)
        elif state == "pressed":
            img.round_rect(x0, y0, x1, y1, self.radius, WELL_SHADOW)
            img.round_rect(x0 + 1, y0 + 1, x1, y1, self.radius - 0.5, PRESSED_FILL)
            self.glyph(img, cx + 0.5, cy + 0.5, GLYPH_HOVER)
            if self.dot:
                img.circle(x1 - 2.6, y1 - 2.6, 1.5, ON_DOT)
        elif state == "disabled":
            self.glyph(img, cx, cy, GLYPH_DIM)
        else:
            self.glyph(img, cx, cy, GLYPH)


def skin_set(width, height, draw_body, buttons, extra=None):
    """The five images (face, mask, hover, pressed, disabled) of a skin."""
    images = {}
    mask = Image(width, height, (255, 255, 255, 0))
    base = Image(width, height, (255, 255, 255, 0))
    draw_body(base, mask)
    binary_mask(mask)
    for state in ("face", "hover", "pressed", "disabled"):
        img = base.copy()
        for b in buttons:
            b.draw(img, state)
        if extra:
            extra(img, state)
        white_outside(img, mask)
        images[state] = img
    images["mask"] = mask
    return images


def save_set(images, names):
    """names: face, mask, hover, pressed, disabled file names."""
    for state, name in zip(("face", "mask", "hover", "pressed", "disabled"), names):
        save(name, images[state])


# ---------------------------------------------------------------- LED window

def led_primary():
    """The per-row tile: the row icon on the rim, one channel for the LEDs
    and the S.M.A.R.T. box, and the S.M.A.R.T. details tab under the box."""
    def body(img, mask):
        module(img, 0, TILE_W, mask)
        well(img, WELL_X0, 2, WELL_X1, 31)

    def tab(img, state):
        x, y, w, h = SMART_TAB
        fill = {"hover": grey(128), "pressed": grey(44), "disabled": grey(60)}.get(state, grey(96))
        img.round_rect(x, y - 2, x + w, y + h, 2.5, OUTLINE)
        img.round_rect(x + 1, y - 1, x + w - 1, y + h - 1, 1.8, fill)
        img.fill_rect(x + 3, y - 1, x + w - 3, y, grey(170) if state == "hover" else grey(132))
        chevron = {"hover": grey(250), "disabled": GLYPH_DIM}.get(state, grey(214))
        cx = x + w / 2
        img.strokes([[(cx - 3, y + 0.6), (cx, y + 2.6), (cx + 3, y + 0.6)]], 1.2, chevron)
        img.fill_rect(x + 2, y + h - 1, x + w - 2, y + h, OUTLINE)

    return skin_set(TILE_W, H, body, [], tab)


# The options strip's controls at their positions in the second set.
OPTION_BUTTONS = [
    Button(1, 0, 16, 16, glyph_cd, True),
    Button(17, 0, 16, 16, glyph_network, True),
    Button(1, 16, 16, 16, glyph_tape, True),
    Button(17, 16, 16, 16, glyph_removable, True),
    Button(107, 1, 16, 15, glyph_auto_hide, True),
    Button(107, 16, 16, 15, glyph_snap, True),
    Button(124, 1, 16, 15, glyph_on_top, True),
    Button(124, 16, 16, 15, glyph_keyboard_led, True),
    Button(145, 1, 16, 15, glyph_help),
    Button(145, 16, 16, 15, glyph_about),
]
FIXED_BUTTONS = [
    Button(164, 1, 15, 15, glyph_exit),
    Button(164, 16, 15, 15, glyph_minimize),
    Button(179, 5, 8, 22, glyph_grip, radius=3),
]
SLIDER_COLOR = (34, 4, 70, 10)
SLIDER_ALPHA = (34, 19, 70, 10)
SLIDER_CHANNEL_MARGIN = 8  # the trackbar's channel starts 8 pixels in


def hls_to_rgb(hue, lightness, saturation):
    """The integer hue-lightness-saturation conversion the tint uses (scale 255)."""
    def hue_to_rgb(low, high, h):
        if h > 255:
            h -= 255
        if h < 0:
            h += 255
        if h < 42:
            return low + ((high - low) * h + 21) // 42
        if h < 128:
            return high
        if h < 170:
            return low + ((high - low) * (170 - h) + 21) // 42
        return low
    if saturation == 0:
        return (lightness,) * 3
    high = (lightness * (255 + saturation) + 127) // 255 if lightness <= 127 else \
        lightness + saturation - (lightness * saturation + 127) // 255
    low = 2 * lightness - high
    return tuple((hue_to_rgb(low, high, h) * 255 + 127) // 255 for h in (hue + 85, hue, hue - 85))


def tint_colour(index):
    hue = int(abs(index - 16) * 2.55)
    return hls_to_rgb(hue, 165, 255)


def slider_track(img, rect, colour_at):
    x, y, w, h = rect
    top, bottom = y + h // 2 - 2, y + h // 2 + 2
    img.fill_rect(x + 2, top - 1, x + w - 2, bottom + 1, WELL_SHADOW)
    img.fill_rect(x + 3, bottom, x + w - 2, bottom + 1, WELL_LIGHT)
    for px in range(x + 3, x + w - 3):
        for py in range(top, bottom):
            img.put(px, py, colour_at(px - x, py - top))


def colour_track(lx, ly):
    """The tint each position gives, under the position's thumb; position 0 is no tint."""
    width = SLIDER_COLOR[2] - 2 * SLIDER_CHANNEL_MARGIN
    position = int(round(clamp((lx - SLIDER_CHANNEL_MARGIN) / width) * 100))
    if position == 0:
        return grey(150)
    r, g, b = tint_colour(position)
    shade = 1.0 if ly < 2 else 0.86
    return (int(r * shade), int(g * shade), int(b * shade), 255)


def alpha_track(lx, ly):
    """From opaque on the left to a see-through chequer on the right."""
    width = SLIDER_ALPHA[2] - 2 * SLIDER_CHANNEL_MARGIN
    t = clamp((lx - SLIDER_CHANNEL_MARGIN) / width)
    chequer = 200 if ((lx // 2) + (ly // 2)) % 2 else 96
    return grey(int(round(190 + (chequer - 190) * t)))


def led_second():
    """Options strip (columns 0-161) and the three fixed buttons (162-186)."""
    def body(img, mask):
        module(img, 0, 162, mask)
        module(img, 162, SECOND_W, mask)
        for x in (33, 105, 142):
            img.fill_rect(x, 5, x + 1, 27, SHADE)
            img.fill_rect(x + 1, 5, x + 2, 27, grey(78))
        slider_track(img, SLIDER_COLOR, colour_track)
        slider_track(img, SLIDER_ALPHA, alpha_track)

    return skin_set(SECOND_W, H, body, OPTION_BUTTONS + FIXED_BUTTONS)


def thumb(pressed, accent):
    """A slider knob 7 x 10, opaque: it is drawn over the track as it is."""
    img = Image(7, 10, OUTLINE)
    fill = vertical(grey(250), grey(196), 1, 9) if not pressed else vertical(accent, lerp(accent, (0, 0, 0, 255), 0.25), 1, 9)
    img.fill_rect(1, 1, 6, 9, fill)
    img.fill_rect(3, 3, 4, 7, grey(120) if not pressed else grey(255))
    return img


# ---------------------------------------------------------------- LED strip

def lens(img, top, bottom, hot=None):
    img.round_rect(0, 0, LED_W, LED_H, 3, grey(12))
    img.round_rect(1.5, 1.5, LED_W - 1.5, 18.5, 2.5, vertical(top, bottom, 2, 18))
    if hot:
        img.fill_sdf((3, 2, 17, 8), lambda x, y: math.hypot((x - 10) / 6.0, (y - 4.2) / 2.2) * 2.2 - 2.2, hot)
    img.fill_rect(2, 20, 18, 22, grey(20))
    img.fill_rect(2, 22, 18, 23, grey(40))


def led_strip():
    cells = []
    read, write, both, idle = (Image(LED_W, LED_H) for _ in range(4))
    lens(read, READ_TOP, READ_BOTTOM, (190, 255, 230, 110))
    lens(write, WRITE_TOP, WRITE_BOTTOM, (255, 236, 190, 130))
    lens(both, READ_TOP, READ_BOTTOM, (190, 255, 230, 110))
    both.fill_sdf((1.5, 10, LED_W - 1.5, 18.5), lambda x, y: max(10 - y, 0) if y < 10 else
                  max(abs(x - 10) - 8.5, y - 18.5), vertical(WRITE_TOP, WRITE_BOTTOM, 2, 18))
    both.fill_rect(2, 10, 18, 11, (120, 60, 20, 255))
    lens(idle, grey(58), grey(40), grey(90, 70))
    bar = Image(LED_W, LED_H)
    bar.fill_rect(2, 20, 18, 21, grey(214))
    bar.fill_rect(2, 21, 18, 22, grey(178))
    network = Image(LED_W, LED_H)
    glyph_network(network, 9.5, 9.5, LETTER_WHITE)
    cells = [read, write, both, idle, bar, network]
    strip = Image(LED_W * len(cells), LED_H)
    for i, cell in enumerate(cells):
        strip.paste(cell, i * LED_W, 0)
    return strip.keyed()


# ---------------------------------------------------------------- row icons

def icon_disk(img, ox, oy):
    img.round_rect(ox + 3, oy + 4, ox + 25, oy + 24, 2.5, grey(40))
    img.round_rect(ox + 4, oy + 5, ox + 24, oy + 23, 2, vertical(grey(196), grey(150), oy + 5, oy + 23))
    img.circle(ox + 14, oy + 13, 7.2, grey(70))
    img.circle(ox + 14, oy + 13, 6.4, vertical(grey(232), grey(186), oy + 7, oy + 20))
    img.circle(ox + 14, oy + 13, 1.8, grey(70))
    img.line(ox + 21.5, oy + 6.5, ox + 15.5, oy + 14, 1.4, grey(60))
    img.circle(ox + 21.5, oy + 6.5, 1.6, grey(60))
    img.circle(ox + 21, oy + 20.5, 1.2, READ_TOP)


def icon_cd(img, ox, oy):
    cx, cy = ox + 14, oy + 14

    def sheen(x, y):
        angle = math.atan2(y + 0.5 - cy, x + 0.5 - cx)
        r, g, b = colorsys.hsv_to_rgb((angle / (2 * math.pi)) % 1.0, 0.28, 0.94)
        return (int(r * 255), int(g * 255), int(b * 255), 255)
    img.circle(cx, cy, 11.5, grey(60))
    img.circle(cx, cy, 10.7, sheen)
    img.ring(cx, cy, 7.5, 0.8, (255, 255, 255, 90))
    img.circle(cx, cy, 4.2, grey(120))
    img.circle(cx, cy, 3.4, grey(220))
    img.fill_sdf((cx - 3, cy - 3, cx + 3, cy + 3), lambda x, y: math.hypot(x - cx, y - cy) - 1.8, (0, 0, 0, 0))
    punch(img, cx, cy, 1.8)


def punch(img, cx, cy, r):
    """A real hole: pixels inside the circle become transparent."""
    for y in range(int(cy - r - 1), int(cy + r + 2)):
        for x in range(int(cx - r - 1), int(cx + r + 2)):
            cov = clamp(r + 0.5 - math.hypot(x + 0.5 - cx, y + 0.5 - cy))
            if cov > 0 and 0 <= x < img.w and 0 <= y < img.h:
                p = img.px[y * img.w + x]
                p[3] *= 1 - cov


def icon_tape(img, ox, oy):
    img.round_rect(ox + 2, oy + 6, ox + 26, oy + 23, 2.5, grey(40))
    img.round_rect(ox + 3, oy + 7, ox + 25, oy + 22, 2, vertical(grey(200), grey(156), oy + 7, oy + 22))
    img.round_rect(ox + 7, oy + 9.5, ox + 21, oy + 16.5, 1.5, grey(52))
    for cx in (ox + 10.5, ox + 17.5):
        img.circle(cx, oy + 13, 2.6, grey(214))
        img.circle(cx, oy + 13, 1.0, grey(52))
    img.polygon([(ox + 8, oy + 22), (ox + 10, oy + 18.5), (ox + 18, oy + 18.5), (ox + 20, oy + 22)], grey(110))


def icon_network(img, ox, oy):
    img.round_rect(ox + 5, oy + 3, ox + 23, oy + 15, 2, grey(40))
    img.round_rect(ox + 6, oy + 4, ox + 22, oy + 14, 1.5, vertical(grey(200), grey(158), oy + 4, oy + 14))
    img.fill_rect(ox + 8, oy + 10, ox + 15, oy + 12, grey(96))
    img.circle(ox + 19, oy + 11, 1.2, READ_TOP)
    img.fill_rect(ox + 13, oy + 15, ox + 15, oy + 20, grey(150))
    img.round_rect(ox + 2, oy + 19.5, ox + 26, oy + 22.5, 1.5, grey(150))
    for x in (ox + 5, ox + 23):
        img.circle(x, oy + 21, 2.2, grey(200))
        img.circle(x, oy + 21, 1.0, grey(80))
    img.circle(ox + 14, oy + 21, 2.4, grey(220))


def icon_removable(img, ox, oy):
    img.round_rect(ox + 8, oy + 9, ox + 20, oy + 26, 2.5, grey(40))
    img.round_rect(ox + 9, oy + 10, ox + 19, oy + 25, 2, vertical(grey(196), grey(150), oy + 10, oy + 25))
    img.fill_rect(ox + 10, oy + 2, ox + 18, oy + 10, grey(40))
    img.fill_rect(ox + 11, oy + 3, ox + 17, oy + 10, grey(222))
    img.fill_rect(ox + 12, oy + 5, ox + 14, oy + 7, grey(80))
    img.fill_rect(ox + 15, oy + 5, ox + 17, oy + 7, grey(80))
    img.circle(ox + 14, oy + 21, 1.3, WRITE_TOP)


def row_icons():
    strip = Image(28 * 5, 28)
    for i, draw in enumerate((icon_disk, icon_cd, icon_tape, icon_network, icon_removable)):
        draw(strip, 28 * i, 0)
    return strip.keyed()


# ---------------------------------------------------------------- S.M.A.R.T. box

BOX_W, BOX_H = 53, 27


def smart_box(healthy):
    edge = (34, 96, 56, 255) if healthy else (140, 34, 30, 255)
    top, bottom = ((228, 246, 230, 255), (200, 230, 206, 255)) if healthy else ((252, 226, 222, 255), (240, 198, 192, 255))
    track = (156, 194, 164, 255) if healthy else (216, 158, 150, 255)
    img = Image(BOX_W, BOX_H)
    img.round_rect(0, 0, BOX_W, BOX_H, 3, edge)
    img.round_rect(1, 1, BOX_W - 1, BOX_H - 1, 2.2, vertical(top, bottom, 1, BOX_H - 1))
    img.fill_rect(2, 2, BOX_W - 2, 6, track)
    img.fill_rect(2, 6, BOX_W - 2, 7, lerp(track, top, 0.5))
    if healthy:
        img.strokes([[(4.5, 15), (6.8, 17.5), (10.5, 12)]], 1.6, edge)
    else:
        img.polygon([(7, 8.5), (12.5, 19.5), (1.5, 19.5)], edge)
        img.fill_rect(6, 12, 8, 16, (255, 240, 236, 255))
        img.fill_rect(6, 17, 8, 19, (255, 240, 236, 255))
    return img


def life_bar(healthy):
    img = Image(BOX_W, BOX_H)
    top, bottom = ((90, 206, 116, 255), (30, 140, 62, 255)) if healthy else ((240, 96, 72, 255), (176, 30, 22, 255))
    img.fill_rect(2, 2, BOX_W - 2, 6, vertical(top, bottom, 2, 6))
    return img


def smart_strip():
    cells = [smart_box(True), life_bar(True), smart_box(False), life_bar(False), Image(BOX_W, BOX_H), Image(BOX_W, BOX_H)]
    strip = Image(BOX_W * len(cells), BOX_H)
    for i, cell in enumerate(cells):
        strip.paste(cell, i * BOX_W, 0)
    return strip.keyed()


# ---------------------------------------------------------------- dialogs

TITLE_H = 18


def dialog_frame(img, mask, panel):
    w, h = img.w, img.h
    img.round_rect(0, 0, w, h, 8, OUTLINE)
    img.round_rect(1, 1, w - 1, h - 1, 7, vertical(BODY_TOP, BODY_BOTTOM, 1, h - 1))
    img.fill_rect(6, 1, w - 6, 2, BEVEL)
    mask.round_rect(0, 0, w, h, 8, BLACK)
    x0, y0, x1, y1 = panel
    img.round_rect(x0 - 1, y0 - 1, x1 + 1, y1 + 1, 4, LCD_EDGE)
    img.round_rect(x0, y0, x1, y1, 3, vertical(LCD_TOP, LCD_BOTTOM, y0, y1))
    img.fill_rect(x0 + 3, y0, x1 - 3, y0 + 1, (196, 204, 199, 255))
    title_mark(img, 8, 4)


def title_mark(img, x, y):
    """A small S.M.A.R.T. box in the title bar, before the drive's label."""
    img.round_rect(x, y, x + 14, y + 10, 2, (34, 96, 56, 255))
    img.round_rect(x + 1, y + 1, x + 13, y + 9, 1.5, (214, 238, 218, 255))
    img.fill_rect(x + 2, y + 2, x + 10, y + 4, (46, 170, 84, 255))
    img.strokes([[(x + 3.5, y + 6.5), (x + 5, y + 7.8), (x + 7.5, y + 5.2)]], 1.0, (34, 96, 56, 255))


DETAILS_W, DETAILS_H = 300, 226
DETAILS_PANEL = (8, 20, 292, 218)
DETAILS_BUTTONS = [
    Button(244, 3, 15, 13, glyph_save),
    Button(261, 3, 15, 13, glyph_minimize),
    Button(278, 3, 15, 13, glyph_exit),
]


def details_dialog():
    def body(img, mask):
        dialog_frame(img, mask, DETAILS_PANEL)
        # faint rules between the groups of lines: identity, age, traffic, errors
        for y in (38, 57):
            img.fill_rect(14, y, 286, y + 1, (200, 208, 203, 255))
    return skin_set(DETAILS_W, DETAILS_H, body, DETAILS_BUTTONS)


SELFTEST_W, SELFTEST_H = 310, 190
SELFTEST_PANEL = (8, 18, 302, 158)
SELFTEST_BUTTONS = [
    Button(272, 3, 15, 13, glyph_minimize),
    Button(289, 3, 15, 13, glyph_exit),
]
CANCEL = (115, 164, 80, 18)
PROGRESS = (55, 116, 200, 8)
CLIP = (55, 40, 200, 70)


def selftest_dialog():
    def body(img, mask):
        dialog_frame(img, mask, SELFTEST_PANEL)
        x, y, w, h = PROGRESS
        img.fill_rect(x, y, x + w, y + h, (150, 160, 154, 255))
        img.fill_rect(x + 1, y + 1, x + w, y + h, (196, 204, 199, 255))
        img.fill_rect(x + 1, y + h - 1, x + w, y + h, (236, 240, 237, 255))

    def extra(img, state):
        x, y, w, h = CANCEL
        fill = {"hover": grey(104), "disabled": grey(62)}.get(state, grey(82))
        img.round_rect(x, y, x + w, y + h, 4, OUTLINE)
        img.round_rect(x + 1, y + 1, x + w - 1, y + h - 1, 3, fill)
        if state == "pressed":
            img.fill_rect(x + 3, y + 1, x + w - 3, y + 3, WELL_SHADOW)
            img.fill_rect(x + 1, y + 3, x + 3, y + h - 3, WELL_SHADOW)
        else:
            img.fill_rect(x + 4, y + 1, x + w - 4, y + 2, grey(130) if state == "hover" else grey(112))
        if state == "disabled":
            # the filled part of the progress bar is cut from this image
            px, py, pw, ph = PROGRESS
            img.fill_rect(px + 1, py + 1, px + pw, py + ph, vertical((44, 196, 150, 255), (0, 128, 96, 255), py + 1, py + ph))
            img.fill_rect(px + 1, py + 1, px + pw, py + 2, (150, 236, 208, 255))
    return skin_set(SELFTEST_W, SELFTEST_H, body, SELFTEST_BUTTONS, extra)


def selftest_clip(face):
    """A drive under test: the platter turns, the head sweeps, and the sector
    map fills as the scan passes. Drawn on the panel it plays over."""
    x0, y0, w, h = CLIP
    frames = []
    count = 24
    cols, rows = 12, 4
    for n in range(count):
        img = face.crop(x0, y0, x0 + w, y0 + h)
        cx, cy, r = 38, 35, 29
        img.circle(cx, cy, r + 1, (110, 120, 126, 255))
        img.circle(cx, cy, r, lambda x, y: lerp((236, 240, 244, 255), (170, 180, 190, 255), (y - cy + r) / (2 * r)))
        for tr in (23, 16, 10):
            img.ring(cx, cy, tr, 0.7, (150, 160, 170, 160))
        angle = 360.0 * n / count

        def sector(x, y, a=angle):
            d = (math.degrees(math.atan2(y + 0.5 - cy, x + 0.5 - cx)) - a) % 360
            return (255, 255, 255, int(150 * clamp(1 - d / 50)))
        img.fill_sdf((cx - r, cy - r, cx + r, cy + r), lambda x, y: math.hypot(x - cx, y - cy) - (r - 1), sector)
        img.circle(cx, cy, 4.5, (80, 88, 96, 255))
        img.circle(cx, cy, 2, (200, 206, 212, 255))
        reach = 14 + 9 * (0.5 - 0.5 * math.cos(2 * math.pi * n / count))
        hx, hy = cx + reach * math.cos(math.radians(-35)), cy + reach * math.sin(math.radians(-35))
        img.line(84, 8, hx, hy, 2.4, (70, 78, 86, 255))
        img.circle(84, 8, 5, (70, 78, 86, 255))
        img.circle(84, 8, 2, (170, 178, 186, 255))
        img.round_rect(hx - 2.5, hy - 2.5, hx + 2.5, hy + 2.5, 1, (40, 46, 52, 255))
        done = (n + 1) * cols * rows // count
        for i in range(cols * rows):
            gx, gy = 100 + (i % cols) * 8, 12 + (i // cols) * 12
            colour = (170, 180, 175, 255)
            if i < done - 1:
                colour = (40, 170, 130, 255)
            elif i == done - 1:
                colour = WRITE_TOP
            img.round_rect(gx, gy, gx + 6, gy + 9, 1.2, colour)
        frames.append(img)
    return frames


# ---------------------------------------------------------------- icons and about

def product_tile(img, ox, oy, size, leds, dim=False):
    s = size / 32.0
    img.round_rect(ox + 1 * s, oy + 1 * s, ox + 31 * s, oy + 31 * s, 6 * s, OUTLINE)
    img.round_rect(ox + 2 * s, oy + 2 * s, ox + 30 * s, oy + 30 * s, 5 * s,
                   vertical(grey(88 if not dim else 70), grey(50 if not dim else 44), oy + 2 * s, oy + 30 * s))
    img.round_rect(ox + 3 * s, oy + 9 * s, ox + 29 * s, oy + 23 * s, 3.5 * s, WELL_SHADOW)
    img.round_rect(ox + 4 * s, oy + 10 * s, ox + 29 * s, oy + 23 * s, 3 * s, WELL_BOTTOM)
    step = 24.0 / len(leds)
    radius = min(4.2, step / 2 - 0.6)
    for i, colour in enumerate(leds):
        lx = ox + (4 + step * (i + 0.5)) * s
        img.circle(lx, oy + 16.5 * s, (radius + 0.7) * s, grey(10))
        img.circle(lx, oy + 16.5 * s, radius * s, colour)
        if colour != grey(60):
            img.circle(lx - 1.0 * s, oy + 15.3 * s, 1.3 * s, (255, 255, 255, 150))


def warning_badge(img, ox, oy):
    img.polygon([(ox + 8, oy), (ox + 16, oy + 14), (ox, oy + 14)], OUTLINE)
    img.polygon([(ox + 8, oy + 2), (ox + 14.3, oy + 13), (ox + 1.7, oy + 13)], (236, 60, 36, 255))
    img.fill_rect(ox + 7, oy + 5, ox + 9, oy + 10, WHITE)
    img.fill_rect(ox + 7, oy + 11, ox + 9, oy + 12, WHITE)


def icons():
    normal = Image(32, 32)
    product_tile(normal, 0, 0, 32, [READ_TOP, WRITE_TOP])
    alert = Image(32, 32)
    product_tile(alert, 0, 0, 32, [READ_TOP, grey(60)])
    warning_badge(alert, 15, 17)
    off = Image(32, 32)
    product_tile(off, 0, 0, 32, [grey(60), grey(60)], dim=True)
    return normal, alert, off


# The desktop's icon of the program: icon 138's design at the icon theme's
# usual sizes (installed as hicolor/<n>x<n>/apps/zelmor-lumetra.png).
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def desktop_icon(size):
    img = Image(size, size)
    product_tile(img, 0, 0, size, [READ_TOP, WRITE_TOP])
    return img


def about_picture():
    img = Image(96, 104)
    product_tile(img, 0, 0, 96, [READ_TOP, WRITE_TOP, READ_TOP, grey(60)])
    img.paste(smart_box(True), 22, 74)
    return img


# ---------------------------------------------------------------- all of it

def main():
    global OUT
    if sys.argv[1:] == ["--check"]:
        committed = OUT
        with tempfile.TemporaryDirectory() as fresh:
            OUT = fresh
            draw_all()
            stale = [name for name in sorted(os.listdir(fresh)) if not same_pixels(fresh, committed, name)]
        for name in stale:
            print("images/%s differs from what make_images.py draws" % name)
        sys.exit(1 if stale else 0)
    draw_all()


def same_pixels(fresh, committed, name):
    """Whether the committed image has the drawn one's size, colour type and
    pixels."""
    path = os.path.join(committed, name)
    return os.path.exists(path) and read_png(path) == read_png(os.path.join(fresh, name))


def draw_all():
    os.makedirs(OUT, exist_ok=True)
    save_set(led_primary(), ["led_face.png", "led_mask.png", "led_hover.png", "led_pressed.png", "led_disabled.png"])
    save_set(led_second(), ["options_face.png", "options_mask.png", "options_hover.png", "options_pressed.png",
                            "options_disabled.png"])
    save("thumb_color.png", thumb(False, (255, 255, 255, 255)))
    save("thumb_color_pressed.png", thumb(True, ON_DOT))
    save("thumb_alpha.png", thumb(False, (255, 255, 255, 255)))
    save("thumb_alpha_pressed.png", thumb(True, (150, 210, 255, 255)))
    save("leds.png", led_strip())
    save("row_icons.png", row_icons())
    save("smart_boxes.png", smart_strip())
    details = details_dialog()
    save_set(details, ["details_face.png", "details_mask.png", "details_hover.png", "details_pressed.png",
                       "details_disabled.png"])
    selftest = selftest_dialog()
    save_set(selftest, ["selftest_face.png", "selftest_mask.png", "selftest_hover.png", "selftest_pressed.png",
                        "selftest_disabled.png"])
    for n, frame in enumerate(selftest_clip(selftest["face"])):
        save("selftest_clip_%02d.png" % n, frame)
    normal, alert, off = icons()
    save("icon_normal.png", normal)
    save("icon_alert.png", alert)
    save("icon_smart_off.png", off)
    save("about.png", about_picture())
    for size in DESKTOP_ICON_SIZES:
        save("desktop_icon_%d.png" % size, desktop_icon(size))


if __name__ == "__main__":
    main()
