#!/usr/bin/python3
"""Writes a four-channel ProTracker module (M.K.) whose samples are
synthesised here, so the player ships music that is entirely its own.

    tools/makeModule.py data/music/tessellate.mod            the bundled song
    tools/makeModule.py --orders 80 /tmp/long.mod            a longer one (benchmarks)
    tools/makeModule.py --orders 1 --rows 8 fuzz/corpus/...  a tiny one (fuzz seed)

Every row lasts 0.12 s (speed 6, 125 BPM) and every order 64 rows, so
order o starts at o * 7.68 s; the length is printed.
"""

import argparse
import math
import random
import struct

SAMPLE_RATE = 8287  # what period 428 plays at on a PAL machine

# Periods of octaves 1 to 3 (finetune 0), semitone by semitone from C.
PERIODS = [856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
           428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
           214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113]


def to_bytes(values):
    return bytes((max(-127, min(127, int(round(v * 127)))) & 0xFF) for v in values)


def cycle(shape, length):
    return [shape(i / length) for i in range(length)]


def make_samples():
    """(name, data, volume, loop start, loop length) for samples 1 to 5;
    looped samples are one cycle long, tuned so note C plays a C."""
    rng = random.Random(7)
    bass = cycle(lambda t: 0.9 if t < 0.5 else -0.9, 64)
    lead = cycle(lambda t: 0.7 * math.sin(2 * math.pi * t) + 0.25 * math.sin(6 * math.pi * t), 32)
    pad = cycle(lambda t: 0.8 * (1 - 4 * abs(t - 0.5)), 64)
    kick, phase = [], 0.0
    for i in range(1800):
        frequency = 40 + 110 * math.exp(-i / 300)
        phase += 2 * math.pi * frequency / SAMPLE_RATE
        kick.append(math.sin(phase) * math.exp(-i / 700))
    snare = [rng.uniform(-1, 1) * math.exp(-i / 350) for i in range(1400)]
    hat = [rng.uniform(-1, 1) * math.exp(-i / 60) for i in range(400)]
    return [
        ("bass", to_bytes(bass), 48, 0, 64),
        ("lead", to_bytes(lead), 40, 0, 32),
        ("pad", to_bytes(pad), 24, 0, 64),
        ("kick", to_bytes(kick), 64, 0, 0),
        ("noise", to_bytes(snare + hat), 40, 0, 0),
    ]


BASS, LEAD, PAD, KICK, NOISE = 1, 2, 3, 4, 5

# Chords as (root semitone from C, minor?): Am F C G and F G Am Am.
VERSE = [(9, True), (5, False), (0, False), (7, False)]
BRIDGE = [(5, False), (7, False), (9, True), (9, True)]


def cell(note=None, sample=0, effect=0, parameter=0):
    period = PERIODS[note] if note is not None else 0
    return struct.pack(">BBBB", (sample & 0xF0) | (period >> 8), period & 0xFF,
                       ((sample & 0x0F) << 4) | effect, parameter)


def make_pattern(rows, chords, drums, lead, seed, fade=False):
    rng = random.Random(seed)
    grid = [[cell() for _ in range(4)] for _ in range(rows)]
    bar = max(1, rows // len(chords))
    for row in range(rows):
        root, minor = chords[min(row // bar, len(chords) - 1)]
        beat = row % 16
        if drums:
            if beat in (0, 8, 10):
                grid[row][0] = cell(24, KICK)
            elif beat in (4, 12):
                grid[row][0] = cell(24, NOISE)
            elif beat % 2 == 0:
                grid[row][0] = cell(31, NOISE, 0xC, 12)  # quiet, high: a hat
        if beat % 4 == 0:
            grid[row][1] = cell(root, BASS)
        elif beat % 4 == 2 and drums:
            grid[row][1] = cell(root + 12 if root + 12 < 24 else root, BASS, 0xC, 32)
        arpeggio = 0x37 if minor else 0x47  # the effect that turns one note into the chord
        if fade and row % bar == 0:
            grid[row][3] = cell(12 + root, PAD, 0xC, max(4, 24 - 6 * (row // bar)))
        elif row % bar == 0:
            grid[row][3] = cell(12 + root, PAD, 0x0, arpeggio)
        elif not fade:
            grid[row][3] = cell(None, 0, 0x0, arpeggio)  # held on every row, or it stops
        if lead and beat % 2 == 0 and rng.random() < 0.7:
            scale = [0, 3, 7, 10, 12] if minor else [0, 4, 7, 11, 12]
            grid[row][2] = cell(min(35, 12 + root + rng.choice(scale)), LEAD)
    return b"".join(b"".join(r) for r in grid)


def song(orders, rows):
    """Pattern data and the order list for a song of `orders` orders."""
    patterns = [
        make_pattern(rows, VERSE, False, False, 1),
        make_pattern(rows, VERSE, True, False, 2),
        make_pattern(rows, VERSE, True, True, 3),
        make_pattern(rows, BRIDGE, True, True, 4),
        make_pattern(rows, BRIDGE, False, True, 5),
        make_pattern(rows, VERSE, False, False, 6, fade=True),
    ]
    body = [1, 2, 3, 2, 3, 4, 1, 2, 3, 2, 3, 4, 4, 2, 3, 1, 2, 3, 2, 3, 2]
    order_list = [0, 0] + [body[i % len(body)] for i in range(max(0, orders - 3))] + [5]
    return patterns, order_list[:orders] if orders > 1 else [2]


def write_module(path, orders, rows):
    patterns, order_list = song(orders, rows)
    samples = make_samples()
    out = bytearray(b"tessellate".ljust(20, b"\0"))
    for i in range(31):
        if i < len(samples):
            name, data, volume, loop_start, loop_length = samples[i]
            out += name.encode().ljust(22, b"\0")
            out += struct.pack(">HBBHH", len(data) // 2, 0, volume, loop_start // 2,
                               loop_length // 2 if loop_length else 1)
        else:
            out += bytes(22) + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
    out += struct.pack(">BB", len(order_list), 127)
    out += bytes(order_list).ljust(128, b"\0")
    out += b"M.K."
    used = max(order_list) + 1
    for pattern in patterns[:used]:
        full = bytearray(pattern) + bytearray(cell() * 4 * (64 - rows))
        if rows < 64:
            full[(rows - 1) * 16 + 2] |= 0xD  # break to the next order after the last row
            full[(rows - 1) * 16 + 3] = 0
        out += full
    for _, data, _, _, _ in samples:
        out += data
    with open(path, "wb") as f:
        f.write(out)
    return len(order_list) * rows * 0.12


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--orders", type=int, default=24)
    parser.add_argument("--rows", type=int, default=64, help="rows played per order (1 to 64)")
    arguments = parser.parse_args()
    if not 1 <= arguments.orders <= 128 or not 1 <= arguments.rows <= 64:
        parser.error("--orders must be 1 to 128 and --rows 1 to 64")
    seconds = write_module(arguments.output, arguments.orders, arguments.rows)
    print(f"{arguments.output}: {arguments.orders} orders, {seconds:.2f} s")


if __name__ == "__main__":
    main()
