#!/usr/bin/env python3
"""Writes the production's saved sync tracks into data/production/tracks/.

    python3 tools/makeTracks.py            writes every track of the table below
    python3 tools/makeTracks.py --check    exits 1 when a file differs from what it would write

The tracks hold the values that are easier to tune by eye than in code: the
moon's path and the sky's light, the camera's height, the glow, the credits'
fade. Each track is named "scene:variable" and drives that variable of that
scene; its keys sit on module rows (64 rows an order, 0.12 s a row). A
release run reads these files; a live run with --sync-editor takes the
editor's keys instead, and the editor's save writes the same files. After
tuning in the editor, copy the keys back into the table here so that the
next run of this script does not undo them.

The saved form is the one system/production/syncTrack.cpp reads: a
little-endian key count, then per key its row (int32), value (float32) and
interpolation (one byte).
"""
import os
import struct
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE = os.path.join(ROOT, "data", "production", "tracks", "sync")
ROWS_PER_ORDER = 64

# How a value goes on to the next key.
STEP, LINEAR, SMOOTH, RAMP = 0, 1, 2, 3

# track: [(order, row, value, interpolation to the next key), ...]
TRACKS = {
    # The moon rises over the intro, swings left as the camera climbs in the
    # build-up, stands small between the drawings in the break and grows as
    # the camera lifts towards it at the end.
    "sky:moonX": [(0, 0, 0.78, STEP), (3, 0, 0.78, SMOOTH), (4, 0, 0.30, STEP), (4, 1, 0.85, STEP),
                  (8, 0, 0.53, STEP), (10, 0, 0.70, STEP), (11, 0, 0.70, SMOOTH), (11, 48, 0.5, STEP)],
    "sky:moonY": [(0, 0, 0.30, SMOOTH), (1, 0, 0.72, SMOOTH), (2, 0, 0.80, STEP), (8, 0, 0.84, STEP),
                  (10, 0, 0.82, STEP), (11, 0, 0.82, SMOOTH), (11, 48, 0.62, STEP)],
    "sky:moonSize": [(0, 0, 260, SMOOTH), (1, 0, 200, SMOOTH), (2, 0, 150, STEP), (8, 0, 90, STEP),
                     (10, 0, 150, STEP), (11, 0, 150, RAMP), (11, 56, 330, STEP)],
    # The first frame already shows the sky; dimmed under the drawings.
    "sky:light": [(0, 0, 0.55, SMOOTH), (0, 16, 1.0, STEP), (8, 0, 1.0, SMOOTH), (8, 8, 0.45, STEP),
                  (9, 48, 0.45, SMOOTH), (10, 0, 1.0, STEP)],
    "sky:stars": [(0, 0, 1.0, STEP), (4, 0, 0.7, STEP), (8, 0, 1.0, STEP)],
    # The name turns to and fro while it is written, less once it stands.
    "title:sway": [(0, 0, 10.0, SMOOTH), (1, 0, 4.0, STEP)],
    # The flight's height over every path, and the ink between the lead's notes.
    "tiles:height": [(2, 0, 0.0, STEP)],
    "drawing:ink": [(8, 0, 0.75, STEP)],
    "finale:height": [(10, 0, 0.0, STEP)],
    # The credits are written line after line over the ending's first half.
    "finale:credits": [(11, 4, 0.0, LINEAR), (11, 28, 1.0, STEP)],
    # Glow and feedback: a little in the intro, more in the drop, the most in
    # the final drop; the feedback swells with the snare roll into each drop
    # and is off (and costs nothing) through most of the drop and the end. It
    # starts from nothing on a cut, so the last shot leaves no ghost in the next.
    "post:glow": [(0, 0, 0.35, STEP), (2, 0, 0.4, STEP), (4, 0, 0.55, STEP), (8, 0, 0.6, STEP), (10, 0, 0.7, STEP),
                  (11, 0, 0.7, LINEAR), (12, 0, 0.35, STEP)],
    "post:feedback": [(0, 0, 0.0, STEP), (3, 48, 0.0, RAMP), (4, 0, 0.45, SMOOTH), (4, 16, 0.0, STEP),
                      (8, 0, 0.0, SMOOTH), (8, 8, 0.3, STEP), (9, 48, 0.3, RAMP),
                      (10, 0, 0.0, SMOOTH), (10, 4, 0.45, STEP), (11, 0, 0.45, SMOOTH),
                      (11, 32, 0.0, STEP)],
    "post:zoom": [(0, 0, 1.02, STEP), (10, 0, 1.035, STEP), (11, 0, 1.015, STEP)],
}


def track_path(name):
    """As syncTrackPath: bytes other than letters, digits, '.', '_' and '/' as -XX."""
    kept = "".join(c if c.isascii() and (c.isalnum() or c in "._/") else "-%02X" % ord(c) for c in name)
    return BASE + "_" + kept + ".track"


def track_bytes(keys):
    rows = [order * ROWS_PER_ORDER + row for order, row, _, _ in keys]
    assert rows == sorted(set(rows)), "keys in row order, one a row"
    data = struct.pack("<I", len(keys))
    for (order, row, value, kind), at in zip(keys, rows):
        data += struct.pack("<ifB", at, value, kind)
    return data


def main(argv):
    check = "--check" in argv
    os.makedirs(os.path.dirname(BASE), exist_ok=True)
    stale = []
    for name, keys in sorted(TRACKS.items()):
        path, data = track_path(name), track_bytes(keys)
        if check:
            if not os.path.exists(path) or open(path, "rb").read() != data:
                stale.append(name)
            continue
        with open(path, "wb") as f:
            f.write(data)
        print(f"{os.path.relpath(path, ROOT)}: {len(keys)} keys")
    if stale:
        print("differs from tools/makeTracks.py: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
