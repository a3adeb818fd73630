#!/usr/bin/env python3
"""Writes the production's stroke font, data/production/font/strokes.txt.

    python3 tools/makeStrokeFont.py            writes the font
    python3 tools/makeStrokeFont.py --check    exits 1 when the file differs from what it would write

Every glyph is a few strokes, each a list of points that the engine draws as
a natural cubic spline through them (effects/demo/lettering.cpp), so the
letters stay crisp at any size. A spline rounds every corner it passes
through, so a corner is where one stroke ends and the next begins; straight
strokes get points along them so that the curve between them stays on the
line. The stroke order is the pen's order when a text is revealed.

Units: the capital height is 10, the baseline y = 0, x from the glyph's left
edge. The file holds one glyph a line:

    <character> <advance> | x y x y ... | x y ...

with the advance (the step to the next glyph) and then the strokes, each a
run of x y pairs. Lower-case letters are drawn with the capitals.
"""
import math
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "data", "production", "font", "strokes.txt")
GAP = 2.4    # between one glyph's widest point and the next glyph
SPACE = 5.0  # the advance of a blank
STEP = 1.5   # units between the points put along a straight stroke


def line(x0, y0, x1, y1):
    count = max(1, math.ceil(math.hypot(x1 - x0, y1 - y0) / STEP))
    return [(x0 + (x1 - x0) * i / count, y0 + (y1 - y0) * i / count) for i in range(count + 1)]


def arc(cx, cy, rx, ry, start, end):
    """Degrees counter-clockwise from +x; start > end goes clockwise."""
    count = max(2, math.ceil(abs(end - start) / 15))
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / count)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / count))) for i in range(count + 1)]


def join(*parts):
    """One stroke of several pieces, each starting where the last ended."""
    points = list(parts[0])
    for part in parts[1:]:
        points += part[1:]
    return points


def dot(x, y):
    return line(x, y, x, y + 0.35)


def p_bowl(top, bottom, right):
    """The bowl of P, R and B: from the stem at `top` round to the stem at `bottom`."""
    r = (top - bottom) / 2
    return join(line(0, top, right - r, top), arc(right - r, top - r, r, r, 90, -90), line(right - r, bottom, 0, bottom))


GLYPHS = {
    "A": [line(0, 0, 3.6, 10), line(3.6, 10, 7.2, 0), line(1.3, 3.6, 5.9, 3.6)],
    "B": [line(0, 0, 0, 10), p_bowl(10, 5.3, 5.6), p_bowl(5.3, 0, 6.2)],
    "C": [arc(3.8, 5, 3.8, 5, 45, 315)],
    "D": [line(0, 0, 0, 10), join(line(0, 10, 2.4, 10), arc(2.4, 5, 4.4, 5, 90, -90), line(2.4, 0, 0, 0))],
    "E": [line(0, 0, 0, 10), line(0, 10, 6, 10), line(0, 5.2, 4.8, 5.2), line(0, 0, 6, 0)],
    "F": [line(0, 0, 0, 10), line(0, 10, 6, 10), line(0, 5.2, 4.8, 5.2)],
    "G": [arc(3.8, 5, 3.8, 5, 45, 360), line(4.2, 5, 7.6, 5)],
    "H": [line(0, 0, 0, 10), line(7, 0, 7, 10), line(0, 5.2, 7, 5.2)],
    "I": [line(0, 0, 0, 10)],
    "J": [join(line(5, 10, 5, 3), arc(2.5, 3, 2.5, 3, 0, -180))],
    "K": [line(0, 0, 0, 10), line(6.4, 10, 0, 3.8), line(2.2, 5.9, 6.8, 0)],
    "L": [line(0, 10, 0, 0), line(0, 0, 5.6, 0)],
    "M": [line(0, 0, 0, 10), line(0, 10, 4.2, 2.5), line(4.2, 2.5, 8.4, 10), line(8.4, 10, 8.4, 0)],
    "N": [line(0, 0, 0, 10), line(0, 10, 7, 0), line(7, 0, 7, 10)],
    "O": [arc(4, 5, 4, 5, 90, 450)],
    "P": [line(0, 0, 0, 10), p_bowl(10, 4.8, 6)],
    "Q": [arc(4, 5, 4, 5, 90, 450), line(4.6, 2.4, 8, -0.8)],
    "R": [line(0, 0, 0, 10), p_bowl(10, 4.8, 6), line(3.2, 4.8, 6.6, 0)],
    "S": [join(arc(3.3, 7.5, 3.3, 2.5, 30, 270), arc(3.3, 2.5, 3.5, 2.5, 90, -150))],
    "T": [line(0, 10, 7.2, 10), line(3.6, 10, 3.6, 0)],
    "U": [join(line(0, 10, 0, 3.6), arc(3.4, 3.6, 3.4, 3.6, 180, 360), line(6.8, 3.6, 6.8, 10))],
    "V": [line(0, 10, 3.6, 0), line(3.6, 0, 7.2, 10)],
    "W": [line(0, 10, 2.3, 0), line(2.3, 0, 4.7, 7.2), line(4.7, 7.2, 7.1, 0), line(7.1, 0, 9.4, 10)],
    "X": [line(0, 10, 7, 0), line(0, 0, 7, 10)],
    "Y": [line(0, 10, 3.6, 5), line(7.2, 10, 3.6, 5), line(3.6, 5, 3.6, 0)],
    "Z": [line(0, 10, 7, 10), line(7, 10, 0, 0), line(0, 0, 7, 0)],
    "0": [arc(3.3, 5, 3.3, 5, 90, 450)],
    "1": [line(0.6, 7.8, 3, 10), line(3, 10, 3, 0)],
    "2": [join(arc(3.3, 6.8, 3.3, 3.2, 165, -35), line(6.0, 5.0, 0, 0)), line(0, 0, 6.8, 0)],
    "3": [join(arc(3.2, 7.6, 3.0, 2.4, 155, -90), arc(3.2, 2.6, 3.4, 2.6, 90, -155))],
    "4": [line(5.2, 0, 5.2, 10), line(5.2, 10, 0, 3), line(0, 3, 7, 3)],
    "5": [line(6.2, 10, 0.6, 10), line(0.6, 10, 0.3, 5.4), arc(3.3, 3.2, 3.4, 3.3, 140, -150)],
    "6": [arc(4.4, 4, 4.4, 6, 70, 180), arc(3.4, 3.2, 3.4, 3.2, 180, 540)],
    "7": [line(0, 10, 7, 10), line(7, 10, 2.4, 0)],
    "8": [arc(3.4, 7.6, 2.8, 2.4, -90, 270), arc(3.4, 2.6, 3.4, 2.6, 90, 450)],
    "9": [arc(3.4, 6.8, 3.4, 3.2, 0, 360), arc(2.6, 6, 4.4, 6, 0, -110)],
    ".": [dot(0.2, 0)],
    ",": [line(0.8, 0.6, 0, -1.6)],
    "-": [line(0, 4.6, 4.2, 4.6)],
    ":": [dot(0.2, 0), dot(0.2, 6)],
    "!": [line(0.2, 10, 0.2, 3.2), dot(0.2, 0)],
    "'": [line(0.2, 10, 0.2, 7.4)],
    "/": [line(0, -0.5, 5, 10.5)],
    "+": [line(0, 4.6, 6, 4.6), line(3, 1.6, 3, 7.6)],
}


def number(value):
    text = "%.3f" % value
    text = text.rstrip("0").rstrip(".")
    return "0" if text == "-0" else text


def font_text():
    lines = ["  %s" % number(SPACE)]
    for char, strokes in GLYPHS.items():
        width = max(x for stroke in strokes for x, _ in stroke)
        parts = [" ".join(number(v) for point in stroke for v in point) for stroke in strokes]
        lines.append("%s %s | %s" % (char, number(width + GAP), " | ".join(parts)))
    return "\n".join(lines) + "\n"


def main(argv):
    text = font_text()
    if "--check" in argv:
        if not os.path.exists(OUT) or open(OUT).read() != text:
            print("differs from tools/makeStrokeFont.py: " + os.path.relpath(OUT, ROOT), file=sys.stderr)
            return 1
        return 0
    os.makedirs(os.path.dirname(OUT), exist_ok=True)
    with open(OUT, "w") as f:
        f.write(text)
    print(f"{os.path.relpath(OUT, ROOT)}: {len(GLYPHS)} glyphs and the blank")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
