#!/usr/bin/env python3
"""Draws the wizard's welcome picture and window icon and writes them as XPM
C arrays (two characters per pixel) for src/ui/images.

Deterministic: the same script always gives byte-identical output, so a test
can regenerate the headers and compare them with the committed ones.

    make_images.py [OUTPUT_DIR]      (default: src/ui/images beside this tree)
"""
import math
import os
import sys

# Characters usable in a C string without escaping; '"' and '\\' are left out.
CODE_CHARS = ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
              "0123456789.,:;-+=*#@$%&!?<>()[]{}/|_~^")
TRANSPARENT = None


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def coverage(distance):
    """Antialiased coverage from a signed distance (negative inside)."""
    return clamp(0.5 - distance)


def rounded_rect_distance(x, y, cx, cy, half_w, half_h, radius):
    dx = abs(x - cx) - (half_w - radius)
    dy = abs(y - cy) - (half_h - radius)
    outside = math.hypot(max(dx, 0.0), max(dy, 0.0))
    inside = min(max(dx, dy), 0.0)
    return outside + inside - radius


def segment_distance(x, y, ax, ay, bx, by, half_width):
    px, py = x - ax, y - ay
    vx, vy = bx - ax, by - ay
    t = clamp((px * vx + py * vy) / (vx * vx + vy * vy))
    return math.hypot(px - vx * t, py - vy * t) - half_width


def hex_rgb(text):
    return tuple(int(text[i:i + 2], 16) / 255.0 for i in (1, 3, 5))


NAVY = hex_rgb("#1d3b5c")
TEAL = hex_rgb("#2f7f8f")
MIST = hex_rgb("#cfe6ea")
PAPER = hex_rgb("#fbfcfd")
PAPER_SHADE = hex_rgb("#dfe9ef")
LINE = hex_rgb("#9db4c4")
ACCENT = hex_rgb("#3aa57a")
WHITE = (1.0, 1.0, 1.0)


def draw_card_stack(x, y, cx, cy, scale, colour):
    """Three stacked template sheets with text lines and an install badge."""
    for i, shade in ((2, 0.55), (1, 0.75)):
        d = rounded_rect_distance(x, y, cx + 7 * i * scale, cy - 7 * i * scale,
                                  30 * scale, 38 * scale, 5 * scale)
        colour = mix(colour, mix(PAPER_SHADE, colour, 1 - shade), coverage(d))
    d = rounded_rect_distance(x, y, cx, cy, 30 * scale, 38 * scale, 5 * scale)
    colour = mix(colour, PAPER, coverage(d))
    if d < 0:
        for row in range(4):
            ly = cy - 22 * scale + row * 11 * scale
            length = (38, 30, 34, 18)[row] * scale
            dl = segment_distance(x, y, cx - 19 * scale, ly,
                                  cx - 19 * scale + length, ly, 1.6 * scale)
            colour = mix(colour, LINE, coverage(dl))
    # A round badge with a downward arrow: templates going into place. Not a
    # tick, because the failure page shows the same picture.
    bx, by = cx + 22 * scale, cy + 30 * scale
    db = math.hypot(x - bx, y - by) - 15 * scale
    colour = mix(colour, WHITE, coverage(db - 2.5 * scale))
    colour = mix(colour, ACCENT, coverage(db))
    dt = min(segment_distance(x, y, bx, by - 8 * scale, bx, by + 6 * scale, 2.0 * scale),
             segment_distance(x, y, bx - 6.5 * scale, by, bx, by + 6.5 * scale, 2.0 * scale),
             segment_distance(x, y, bx + 6.5 * scale, by, bx, by + 6.5 * scale, 2.0 * scale))
    return mix(colour, WHITE, coverage(dt))


def welcome_pixel(x, y, w, h):
    t = y / (h - 1)
    colour = mix(NAVY, TEAL, t) if t < 0.75 else mix(TEAL, MIST, (t - 0.75) / 0.25 * 0.6)
    # Soft diagonal light bands.
    band = 0.5 + 0.5 * math.sin((x * 0.6 + y) / 38.0)
    colour = mix(colour, WHITE, 0.05 * band)
    # Concentric arcs rising from the lower left corner.
    r = math.hypot(x + 30, y - h - 10)
    for radius in (120, 150, 180):
        colour = mix(colour, WHITE, 0.18 * coverage(abs(r - radius) - 1.0))
    return draw_card_stack(x, y, w * 0.47, h * 0.36, 1.25, colour)


def icon_pixel(x, y, w, h):
    d = rounded_rect_distance(x, y, w / 2, h / 2, w / 2 - 8, h / 2 - 8, 44)
    if d > 0.5:
        return TRANSPARENT
    t = clamp((x + y) / (w + h))
    colour = mix(TEAL, NAVY, t)
    glow = clamp(1 - math.hypot(x - w * 0.3, y - h * 0.25) / (w * 0.7))
    colour = mix(colour, WHITE, 0.18 * glow)
    colour = draw_card_stack(x, y, w * 0.43, h * 0.54, 2.2, colour)
    # A hard edge against the transparent outside keeps the colour count low.
    return colour


def render(width, height, pixel, limit):
    raw = [[pixel(x + 0.5, y + 0.5, width, height) for x in range(width)] for y in range(height)]
    for step in range(1, 64):
        def q(c):
            return min(255, int(round(c * 255 / step)) * step)
        rows = [[None if c is None else (q(c[0]), q(c[1]), q(c[2])) for c in row] for row in raw]
        colours = sorted({c for row in rows for c in row}, key=lambda c: (c is not None, c))
        if len(colours) <= limit:
            return rows, colours
    raise SystemExit("cannot bring the picture under %d colours" % limit)


def code_for(index):
    n = len(CODE_CHARS)
    return CODE_CHARS[index // n] + CODE_CHARS[index % n]


def to_xpm(name, width, height, rows, colours):
    codes = {c: code_for(i) for i, c in enumerate(colours)}
    out = ["/* Generated by assets/make_images.py; do not edit. */",
           "#pragma once", "",
           "namespace tpl {", "",
           "// clang-format off",
           "static const char* const %s[] = {" % name,
           '"%d %d %d 2",' % (width, height, len(colours))]
    for c in colours:
        value = "None" if c is None else "#%02x%02x%02x" % c
        out.append('"%s c %s",' % (codes[c], value))
    for i, row in enumerate(rows):
        line = '"' + "".join(codes[c] for c in row) + '"'
        out.append(line + ("," if i + 1 < len(rows) else ""))
    out.append("};")
    out.append("")
    out.append("}  // namespace tpl")
    out.append("")
    return "\n".join(out)


IMAGES = (
    ("welcome_picture.xpm.h", "kWelcomePictureXpm", 158, 286, welcome_pixel, 256),
    ("icon.xpm.h", "kIconXpm", 256, 256, icon_pixel, 211),
)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "ui", "images")
    os.makedirs(out_dir, exist_ok=True)
    for file_name, symbol, width, height, pixel, limit in IMAGES:
        rows, colours = render(width, height, pixel, limit)
        with open(os.path.join(out_dir, file_name), "w", newline="\n") as f:
            f.write(to_xpm(symbol, width, height, rows, colours))


if __name__ == "__main__":
    main()
