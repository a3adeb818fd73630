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
    # The moon rises over the title, stands high over the tiles, steps aside
    # for the drawings and comes back large for the finale.
    "sky:moonX": [(0, 4, 0.80, SMOOTH), (1, 30, 0.74, STEP), (3, 0, 0.74, SMOOTH), (4, 0, 0.30, SMOOTH),
                  (4, 16, 0.53, STEP), (6, 0, 0.53, SMOOTH), (6, 16, 0.50, STEP)],
    "sky:moonY": [(0, 4, 0.10, SMOOTH), (1, 30, 0.72, STEP), (2, 0, 0.72, SMOOTH), (2, 16, 0.80, STEP),
                  (3, 0, 0.80, SMOOTH), (4, 0, 0.86, SMOOTH), (4, 16, 0.84, STEP), (6, 0, 0.84, SMOOTH),
                  (6, 16, 0.79, STEP)],
    "sky:moonSize": [(0, 4, 300, SMOOTH), (1, 30, 210, STEP), (2, 0, 210, SMOOTH), (2, 16, 150, STEP),
                     (4, 0, 150, SMOOTH), (4, 16, 90, STEP), (6, 0, 90, SMOOTH), (6, 16, 220, STEP)],
    # Dimmed under the drawings, so the ink carries the picture.
    "sky:light": [(0, 0, 1.0, STEP), (4, 0, 1.0, SMOOTH), (4, 16, 0.45, STEP), (6, 0, 0.45, SMOOTH),
                  (6, 16, 1.0, STEP)],
    # The name turns to and fro, less once all its letters are in.
    "title:sway": [(0, 32, 12.0, SMOOTH), (1, 0, 5.0, STEP)],
    # The plane sinks away under the finale.
    "finale:rise": [(6, 0, 0.6, LINEAR), (8, 0, 1.4, STEP)],
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
