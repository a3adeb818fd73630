#!/usr/bin/env python3
"""Draws the production's vector pictures with the spline editor, as a person
would: the mouse button goes down at a stroke's first point, the mouse moves
through the stroke's points one editor frame at a time, the button comes up;
Page Up / Page Down set the width before a stroke; F1 saves. The saved
draw1.dat becomes data/production/art/<name>.dat.

    tools/with-xvfb.sh python3 tools/drawArt.py [--build DIR] [--shots DIR] [name ...]

--build: the build folder holding tessellune_editor (default build/).
--shots: also write a screenshot of each finished drawing, <name>.png.
Names: crescent, lettering, mosaic (default all).

The pictures are computed here as point lists in editor window pixels
(EDITOR_W x EDITOR_H, origin bottom left, y up, as the editor stores them);
every stroke's points lie at least SPACING pixels apart so the editor keeps
each one (it drops a point within 4 pixels of the last on both axes). After
the save the file is read back and must hold exactly the points sent, so a
frame that missed a mouse position fails the run instead of spoiling a file.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUT = os.path.join(ROOT, "data", "production", "art")
EDITOR_W, EDITOR_H = 800, 600
TITLE = "Tessellune editor"
SPACING = 9.0        # pixels between the points of a stroke
FRAME_WAIT = 0.045   # seconds per mouse position: a few editor frames
START_WIDTH = 3      # the editor's line width at start


# ------------------------------------------------------------ path helpers

def resample(polyline, spacing=SPACING, closed=False):
    """Points evenly spaced along a polyline (both ends kept), whole pixels,
    since the mouse only reaches whole pixels."""
    pts = list(polyline) + ([polyline[0]] if closed else [])
    lengths = [math.dist(pts[i], pts[i + 1]) for i in range(len(pts) - 1)]
    total = sum(lengths)
    count = max(1, int(round(total / spacing)))
    out = []
    for k in range(count + 1):
        target = total * k / count
        i, run = 0, 0.0
        while i < len(lengths) - 1 and run + lengths[i] < target:
            run += lengths[i]
            i += 1
        t = 0.0 if lengths[i] == 0 else (target - run) / lengths[i]
        x = pts[i][0] + (pts[i + 1][0] - pts[i][0]) * t
        y = pts[i][1] + (pts[i + 1][1] - pts[i][1]) * t
        p = (int(round(x)), int(round(y)))
        if not out or max(abs(p[0] - out[-1][0]), abs(p[1] - out[-1][1])) > 4:
            out.append(p)
    return out


def polygon(corners, spacing=SPACING):
    """A path through the given corners, each edge resampled on its own so
    every corner is a point of the stroke and stays sharp."""
    out = []
    for a, b in zip(corners, corners[1:]):
        edge = resample([a, b], spacing)
        out += edge[1:] if out else edge
    return out


def bezier(p0, p1, p2, p3, steps=40):
    """A cubic Bezier as a fine polyline, to be resampled."""
    pts = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        pts.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                    u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return pts


def arc(cx, cy, r, a0, a1, steps=80):
    return [(cx + r * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + r * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


def chain(*parts):
    """Joins polylines, dropping the repeated point where one ends and the next begins."""
    out = []
    for part in parts:
        out += part[1:] if out and math.dist(out[-1], part[0]) < 1e-6 else part
    return out


# ------------------------------------------------------------ the pictures

def star5(cx, cy, r, turn=90.0):
    """A five-pointed star in one stroke, point to point as it is drawn by
    hand; starts and ends at the top point."""
    tips = [(cx + r * math.cos(math.radians(turn + 144 * k)), cy + r * math.sin(math.radians(turn + 144 * k)))
            for k in range(6)]
    return polygon(tips, spacing=max(7.0, r / 3.5))


def sparkle(cx, cy, r):
    """A four-pointed twinkle: two short crossing strokes."""
    return [resample([(cx, cy - r), (cx, cy + r)], spacing=6.0),
            resample([(cx - r, cy), (cx + r, cy)], spacing=6.0)]


def crescent():
    """A crescent opening to the left: the outer rim from the upper horn round
    the right to the lower horn, then the inner rim back up; then stars."""
    outer_c, outer_r = (450.0, 300.0), 210.0
    inner_c, inner_r = (372.0, 352.0), 190.0
    # Horns: where the two circles cross.
    dx, dy = inner_c[0] - outer_c[0], inner_c[1] - outer_c[1]
    d = math.hypot(dx, dy)
    a = (outer_r ** 2 - inner_r ** 2 + d * d) / (2 * d)
    h = math.sqrt(outer_r ** 2 - a * a)
    mx, my = outer_c[0] + a * dx / d, outer_c[1] + a * dy / d
    horn1 = (mx - h * dy / d, my + h * dx / d)
    horn2 = (mx + h * dy / d, my - h * dx / d)
    upper, lower = (horn1, horn2) if horn1[1] > horn2[1] else (horn2, horn1)

    def angle(c, p):
        return math.degrees(math.atan2(p[1] - c[1], p[0] - c[0]))

    a_up, a_low = angle(outer_c, upper), angle(outer_c, lower)
    # Clockwise from the upper horn through angle 0 (the right) to the lower horn.
    if a_low > a_up:
        a_low -= 360.0
    outer = resample(arc(*outer_c, outer_r, a_up, a_low), spacing=12.0)
    i_low, i_up = angle(inner_c, lower), angle(inner_c, upper)
    # Counter-clockwise through the inner circle's right side, the part inside the rim.
    if i_up < i_low:
        i_up += 360.0
    inner = resample(arc(*inner_c, inner_r, i_low, i_up), spacing=12.0)
    strokes = [(5, outer), (5, inner)]
    for cx, cy, r in ((300, 300, 46), (150, 440, 32), (110, 170, 26), (260, 540, 22), (720, 545, 24)):
        strokes.append((3, star5(cx, cy, r)))
    for cx, cy, r in ((250, 95, 13), (520, 570, 11), (60, 320, 10), (730, 90, 12), (400, 470, 9)):
        for s in sparkle(cx, cy, r):
            strokes.append((3, s))
    return strokes


# Letters on a grid of unit boxes: x 0..1 across a letter, y 0..1 from the
# baseline to the cap height. Each letter is a list of strokes, each stroke a
# list of cubic Bezier segments (four points) or straight runs (two points).
def _letters():
    T = [[((0.0, 0.95), (0.3, 1.03), (0.7, 0.93), (1.0, 1.0))],
         [((0.52, 0.98), (0.5, 0.6), (0.52, 0.3), (0.45, 0.0))]]
    E = [[((0.9, 1.0), (0.5, 1.02), (0.15, 1.02), (0.1, 0.95)),
          ((0.1, 0.95), (0.05, 0.6), (0.05, 0.3), (0.1, 0.05)),
          ((0.1, 0.05), (0.2, -0.02), (0.6, 0.0), (0.95, 0.02))],
         [((0.12, 0.52), (0.35, 0.55), (0.55, 0.5), (0.75, 0.53))]]
    S = [[((0.9, 0.88), (0.75, 1.05), (0.12, 1.05), (0.12, 0.76)),
          ((0.12, 0.76), (0.12, 0.5), (0.88, 0.52), (0.88, 0.24)),
          ((0.88, 0.24), (0.88, -0.05), (0.2, -0.06), (0.06, 0.14))]]
    L = [[((0.12, 1.0), (0.1, 0.7), (0.08, 0.35), (0.12, 0.08)),
          ((0.12, 0.08), (0.15, -0.02), (0.6, 0.02), (0.95, 0.05))]]
    U = [[((0.08, 1.0), (0.05, 0.5), (0.02, 0.0), (0.48, 0.0)),
          ((0.48, 0.0), (0.95, 0.0), (0.92, 0.5), (0.9, 1.0))]]
    N = [[((0.08, 0.0), (0.07, 0.35), (0.08, 0.7), (0.1, 1.0)),
          ((0.1, 1.0), (0.35, 0.65), (0.6, 0.35), (0.88, 0.0)),
          ((0.88, 0.0), (0.9, 0.35), (0.9, 0.7), (0.92, 1.0))]]
    return {"T": T, "E": E, "S": S, "L": L, "U": U, "N": N}


def lettering():
    """TESSELLUNE in stroke capitals with a slight forward slant, letter
    after letter, then a swash under the word."""
    letters = _letters()
    word = "TESSELLUNE"
    cap, box_w, gap = 120.0, 56.0, 16.0
    slant = 0.18
    left = (EDITOR_W - (len(word) * box_w + (len(word) - 1) * gap)) / 2.0
    base = 250.0

    def place(p, x0):
        return (x0 + p[0] * box_w + slant * p[1] * cap, base + p[1] * cap)

    strokes = []
    for index, letter in enumerate(word):
        x0 = left + index * (box_w + gap) - slant * cap * 0.5
        for stroke in letters[letter]:
            line = chain(*[bezier(*[place(p, x0) for p in seg]) for seg in stroke])
            strokes.append((5, resample(line, spacing=7.0)))
    swash = bezier((left - 10, base - 45), (left + 250, base - 80), (left + 500, base - 20),
                   (left + len(word) * (box_w + gap) - 10, base - 55), steps=80)
    strokes.append((3, resample(swash, spacing=14.0)))
    return strokes


def mosaic():
    """Seven hexagons, one in the middle and six round it sharing its edges,
    each drawn from the middle of an edge; then a Y in each from the centre
    to every other corner, so every hexagon reads as three rhombi (a cube
    seen corner-on), as on the tiles texture."""
    r = 78.0
    cx, cy = 400.0, 300.0
    centres = [(cx, cy)] + [(cx + math.sqrt(3) * r * math.cos(math.radians(a)),
                             cy + math.sqrt(3) * r * math.sin(math.radians(a)))
                            for a in (60, 0, -60, -120, 180, 120)]
    strokes = []
    for hx, hy in centres:
        corners = [(hx + r * math.cos(math.radians(30 + 60 * k)), hy + r * math.sin(math.radians(30 + 60 * k)))
                   for k in range(6)]
        start = ((corners[0][0] + corners[1][0]) / 2, (corners[0][1] + corners[1][1]) / 2)
        strokes.append((5, polygon([start] + corners[1:] + [corners[0], start], spacing=10.0)))
    for hx, hy in centres:
        # A Y of spokes from the centre to the corners at 30, 150 and 270
        # degrees, as two strokes (one spoke through the centre into the
        # next, then the third), since one stroke cannot branch. The top
        # rhombus is then the lit face, as on the tiles texture.
        a, b, c = [(hx + r * math.cos(math.radians(30 + 120 * k)), hy + r * math.sin(math.radians(30 + 120 * k)))
                   for k in range(3)]
        strokes.append((3, polygon([b, (hx, hy), a], spacing=8.0)))
        strokes.append((3, polygon([(hx, hy), c], spacing=8.0)))
    return strokes


PICTURES = {"crescent": crescent, "lettering": lettering, "mosaic": mosaic}


# ----------------------------------------------------------- the editor run

def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True, text=True).stdout.strip()


def find_window(proc, timeout=20.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc.poll() is not None:
            raise RuntimeError("the editor ended early with status %d" % proc.returncode)
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[-1]
        time.sleep(0.1)
    raise RuntimeError("no editor window appeared")


def set_width(current, wanted):
    """Page Up / Page Down until the editor's line width is `wanted`. The
    input layer counts a key's release like its press, so one tap moves the
    width by 2 and only odd widths are reachable from the start width 3."""
    assert (wanted - current) % 2 == 0, "width %d is not reachable from %d" % (wanted, current)
    key = "Page_Up" if wanted > current else "Page_Down"
    for _ in range(abs(wanted - current) // 2):
        xdo("key", key)
        time.sleep(0.03)
    return wanted


def to_window(p):
    """Editor point (y up) to the X pixel in the window (y down)."""
    return p[0], EDITOR_H - p[1]


def draw_stroke(window, points):
    x, y = to_window(points[0])
    xdo("mousemove", "--window", window, x, y)
    time.sleep(FRAME_WAIT * 2)
    # One xdotool run per stroke: the button goes down, every point gets a
    # few frames of its own, the button comes up.
    args = ["mousedown", 1, "sleep", FRAME_WAIT]
    for p in points[1:]:
        x, y = to_window(p)
        args += ["mousemove", "--window", window, x, y, "sleep", FRAME_WAIT]
    args += ["sleep", FRAME_WAIT, "mouseup", 1, "sleep", 0.15]
    xdo(*args)


def read_drawing(path):
    """(width, points) records of a drawing file; points absolute."""
    data = open(path, "rb").read()
    records, offset = [], 0
    while offset < len(data):
        count, width = struct.unpack_from("<ii", data, offset)
        offset += 8
        points = []
        for j in range(count):
            a, b = struct.unpack_from("<ff", data, offset)
            offset += 8
            points.append((a, b) if j == 0 else (points[-1][0] - a, points[-1][1] - b))
        records.append((width, points))
    return records


def wait_for(path, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            time.sleep(0.3)
            return
        time.sleep(0.05)
    raise RuntimeError("%s was not written" % path)


def screenshot(window, path):
    sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
    sys.path.insert(0, os.path.join(ROOT, "tools"))
    import makeImages
    import xtools
    width, height, rows = xtools.screenshot(window)
    pixels = bytes(v for row in rows for pixel in row for v in pixel)
    with open(path, "wb") as f:
        f.write(makeImages.png_bytes(width, height, 3, pixels))


def draw_picture(editor, name, strokes, shots):
    work = tempfile.mkdtemp(prefix="tessellune-art-")
    proc = subprocess.Popen([editor, "--resolution", "%dx%d" % (EDITOR_W, EDITOR_H)], cwd=work,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        window = find_window(proc)
        time.sleep(0.6)  # the input layer ignores a press in the first 0.1 s of its clock
        xdo("mousemove", "--window", window, EDITOR_W // 2, EDITOR_H // 2)
        width = START_WIDTH
        for stroke_width, points in strokes:
            width = set_width(width, stroke_width)
            draw_stroke(window, points)
        xdo("mousemove", "--window", window, EDITOR_W - 1, EDITOR_H - 1)
        time.sleep(0.2)
        xdo("key", "F1")
        saved = os.path.join(work, "draw1.dat")
        wait_for(saved)
        got = read_drawing(saved)
        wanted = [(w, [(float(x), float(y)) for x, y in pts]) for w, pts in strokes]
        if got != wanted:
            for i, (a, b) in enumerate(zip(got, wanted)):
                if a != b:
                    raise RuntimeError("%s: stroke %d came out as %d points of width %d, not %d of width %d"
                                       % (name, i, len(a[1]), a[0], len(b[1]), b[0]))
            raise RuntimeError("%s: %d strokes saved, %d drawn" % (name, len(got), len(wanted)))
        if shots:
            screenshot(window, os.path.join(shots, name + ".png"))
        xdo("key", "Escape")
        proc.wait(timeout=15)
        os.makedirs(OUT, exist_ok=True)
        shutil.move(saved, os.path.join(OUT, name + ".dat"))
        xs = [p[0] for _, pts in strokes for p in pts]
        ys = [p[1] for _, pts in strokes for p in pts]
        print("data/production/art/%s.dat: %d strokes, %d points, x %d..%d, y %d..%d"
              % (name, len(strokes), len(xs), min(xs), max(xs), min(ys), max(ys)))
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    build, shots, names = os.path.join(ROOT, "build"), None, []
    i = 0
    while i < len(argv):
        if argv[i] in ("--build", "--shots") and i + 1 < len(argv):
            if argv[i] == "--build":
                build = argv[i + 1]
            else:
                shots = argv[i + 1]
            i += 2
            continue
        if argv[i] not in PICTURES:
            sys.exit("usage: drawArt.py [--build DIR] [--shots DIR] [%s ...]" % " | ".join(PICTURES))
        names.append(argv[i])
        i += 1
    if not os.environ.get("DISPLAY"):
        sys.exit("drawArt.py: no X display; run it under tools/with-xvfb.sh")
    editor = os.path.abspath(os.path.join(build, "tessellune_editor"))
    if shots:
        os.makedirs(shots, exist_ok=True)
    for name in names or list(PICTURES):
        draw_picture(editor, name, PICTURES[name](), shots)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
