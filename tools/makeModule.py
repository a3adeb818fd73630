#!/usr/bin/python3
"""Writes an eight-channel module ("8CHN") whose samples are synthesised
here, so the player ships music that is entirely its own.

    tools/makeModule.py data/music/tessellate.mod            the bundled song
    tools/makeModule.py --orders 80 /tmp/long.mod            a longer one (benchmarks)
    tools/makeModule.py --orders 1 --rows 8 fuzz/corpus/...  a tiny one (fuzz seed)

Every row lasts 0.12 s (speed 6, 125 BPM), a beat 4 rows, a bar 16 and an
order 64, so order o starts at o * 7.68 s; the length is printed. The
bundled song is 12 orders: intro, intro 2, two orders of build-up, four of
drop, two of break, the final drop and the ending. Longer songs repeat the
middle; one order alone is the final drop.

Eight channels because the drums overlap (a crash rings over the kick and
the hats) and the pads need two voices of their own beside bass and lead;
squeezed into four, every hit would cut another off.
"""

import argparse
import math
import random
import struct

CLOCK = 3546895  # PAL: a sample played at period p runs at CLOCK / p samples a second

# Periods of octaves 1 to 3 (finetune 0), semitone by semitone from C.
PERIODS = [856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
           428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
           214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113]
C2, C3, B3 = 12, 24, 35  # indices into PERIODS

KICK, SNARE, HAT, BASS, LEAD, PAD, CRASH = 1, 2, 3, 4, 5, 6, 7  # effects/demo/demo.h has the same
CH_KICK, CH_SNARE, CH_HAT, CH_CRASH, CH_BASS, CH_LEAD, CH_PAD1, CH_PAD2 = range(8)
CHANNELS = 8
ROWS = 64

# --- samples ------------------------------------------------------------------------

def rate(index):
    return CLOCK / PERIODS[index]


def to_bytes(values):
    values = values + [0.0] * (len(values) % 2)  # lengths are counted in words
    return bytes((max(-127, min(127, int(round(v * 127)))) & 0xFF) for v in values)


def normalise(values, peak=0.97):
    top = max(abs(v) for v in values) or 1.0
    return [v * peak / top for v in values]


def saturate(values, drive):
    # Noise peaks are rare and tall: rounding them off makes a hit louder
    # for the same eight bits.
    return normalise([math.tanh(drive * v) for v in normalise(values)])


def partials(length, voices):
    """One loop of `length` samples: voices are (whole cycles in the loop,
    harmonics as {number: amplitude}); each harmonic stays below half the
    rate of the slowest note played, so nothing folds back."""
    out = [0.0] * length
    for cycles, harmonics in voices:
        for h, amplitude in harmonics.items():
            step = 2 * math.pi * cycles * h / length
            for i in range(length):
                out[i] += amplitude * math.sin(step * i)
    return normalise(out)


def saw(count, bright=1.0):
    return {h: bright ** (h - 1) / h for h in range(1, count + 1)}


def lowpass(values, coefficient):
    out, y = [], 0.0
    for v in values:
        y += coefficient * (v - y)
        out.append(y)
    return out


def highpass(values, coefficient):
    low = lowpass(values, coefficient)
    return [v - l for v, l in zip(values, low)]


def silent_start(values):
    # The classic players go on repeating an unlooped sample's first word
    # after its end: keep that word silent.
    return [0.0, 0.0] + values


def kick():
    sr, out, phase = rate(C3), [], 0.0
    for i in range(int(sr * 0.38)):
        t = i / sr
        frequency = 48 + 130 * math.exp(-t / 0.035)
        phase += 2 * math.pi * frequency / sr
        body = math.sin(phase) * math.exp(-t / 0.16)
        click = math.exp(-t / 0.003) * 0.6 * math.sin(2 * math.pi * 1400 * t)
        out.append(math.tanh(1.8 * (body + click)))
    return silent_start(normalise(out))


def snare(rng):
    sr = rate(C3)
    noise = highpass([rng.uniform(-1, 1) for _ in range(int(sr * 0.26))], 0.12)
    out, phase = [], 0.0
    for i, n in enumerate(noise):
        t = i / sr
        phase += 2 * math.pi * (175 + 60 * math.exp(-t / 0.02)) / sr
        body = math.sin(phase) * math.exp(-t / 0.045)
        out.append(0.9 * body + 1.3 * n * math.exp(-t / 0.08))
    return silent_start(saturate(out, 2.5))


def metal(rng, sr, seconds, decay, tones):
    """Noise, high-passed, with a few inharmonic square tones: hats and crash."""
    out, phases = [], [rng.random() for _ in tones]
    noise = highpass([rng.uniform(-1, 1) for _ in range(int(sr * seconds))], 0.45)
    for i, n in enumerate(noise):
        t = i / sr
        ring = sum(1 if ((p + f * t) % 1) < 0.5 else -1 for p, f in zip(phases, tones)) / len(tones)
        out.append((n + 0.35 * ring) * math.exp(-t / decay) * min(1.0, t / 0.0015))
    return silent_start(saturate(highpass(out, 0.3), 2.0))


def bass():
    """A pluck: 128 samples a cycle (C-2 plays the C two octaves below
    middle C), a saw over a sine, brightest at the start and settled within
    a few cycles; the last cycle loops."""
    cycle, cycles, out = 128, 24, []
    for c in range(cycles):
        bright = 0.88 + 0.1 * math.exp(-c / 3.0)
        wave = partials(cycle, [(1, saw(32, bright)), (1, {1: 0.5})])
        out += wave
    return out, (cycles - 1) * cycle, cycle


def lead():
    """Two saws a quarter of a semitone apart (64 and 65 cycles in a loop
    of 64 cycles of 24 samples; C-2 plays the F above middle C) and a sine
    an octave down: the beating between the saws gives the lead its
    movement, several times a second."""
    length = 24 * 64
    wave = partials(length, [(64, saw(10, 0.92)), (65, {h: 0.8 * a for h, a in saw(10, 0.92).items()}),
                             (32, {1: 0.35})])
    return wave, 0, length


def pad():
    """Soft: a few odd and even partials and a chorus of three detuned
    copies, 64 samples a cycle like the bass an octave up."""
    length, cycles = 64 * 48, 48
    soft = {1: 1.0, 2: 0.35, 3: 0.25, 4: 0.1, 5: 0.08}
    wave = partials(length, [(cycles, soft), (cycles + 1, soft), (cycles - 1, {h: 0.7 * a for h, a in soft.items()})])
    return wave, 0, length


BASS_VOLUME = 44  # the drive's second sixteenth plays at it: see centre()


def make_samples():
    """(name, data, volume, loop start, loop length) for samples 1 to 7."""
    rng = random.Random(7)
    bass_wave, bass_loop, bass_length = bass()
    lead_wave, _, lead_length = lead()
    pad_wave, _, pad_length = pad()
    hat = metal(rng, rate(B3), 0.08, 0.026, [3130, 4720, 6210, 8050])
    crash = metal(rng, rate(B3), 1.6, 0.45, [2870, 3990, 5410, 7330, 9110])
    return [
        ("kick", to_bytes(kick()), 64, 0, 0),
        ("snare", to_bytes(snare(rng)), 56, 0, 0),
        ("hat", to_bytes(hat), 40, 0, 0),
        ("bass", to_bytes(bass_wave), BASS_VOLUME, bass_loop, bass_length),
        ("lead", to_bytes(lead_wave), 44, 0, lead_length),
        ("pad", to_bytes(pad_wave), 40, 0, pad_length),
        ("crash", to_bytes(crash), 44, 0, 0),
    ]


# --- the arrangement ---------------------------------------------------------------

NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8, "A": 9, "A#": 10, "B": 11}


def midi(name):
    return 12 * (int(name[-1]) + 1) + NAMES[name[:-1]]


# The MIDI note each pitched sample plays at C-2 (index 12 of PERIODS).
AT_C2 = {BASS: 36, LEAD: 65, PAD: 48}

# A chord: the bass's root and the pads' two voices (third and fifth, kept close).
CHORDS = {
    "Am": ("A1", "C4", "E4"), "F": ("F1", "A3", "C4"), "C": ("C2", "G3", "E4"),
    "G": ("G1", "B3", "D4"), "E": ("E1", "G#3", "B3"),
}
VERSE = ["Am", "F", "C", "G"]
BREAK = ["F", "G", "Am", "Am"]
BREAK2 = ["F", "G", "Am", "E"]
ENDING = ["Am", "Am", "F", "Am"]

# The lead, a bar a string: note:rows, "-" rests. The hook is bars 1 and 2;
# bars 3 and 4 answer it.
HOOK = ["E4:3 A4:3 C5:2 B4:2 A4:2 E5:4", "D5:3 C5:3 A4:2 C5:8",
        "E4:3 G4:3 C5:2 B4:2 G4:2 E5:4", "D5:3 B4:3 G4:2 B4:4 D5:4"]
HOOK_TURN = HOOK[:3] + ["D5:3 E5:3 D5:2 B4:2 G4:2 B4:4"]
TEASE = ["E4:3 A4:3 C5:2 -:8", "-:16", "E4:3 G4:3 C5:2 -:8", "-:8 B4:8"]
RISE = HOOK[:3] + ["B4:4 C5:4 D5:4 E5:4"]
FAREWELL = [HOOK[0], "A4:16", "A4:16", "A4:16"]

DROP = dict(chords=VERSE, pad="pump", hats="sixteenths", kick="four", snare="backbeat", crash=True, bass="drive",
            lead=HOOK)
ORDERS = [
    # 0, intro: pads swelling on each chord, a few soft hats from the second bar.
    dict(chords=VERSE, pad="swell", hats="sparse"),
    # 1, intro 2: the kick on every beat, the bass on the off-beats.
    dict(chords=VERSE, pad="swell", hats="offbeat", kick="four", bass="offbeat", level=0.7),
    # 2 and 3, build-up: the snare's backbeat, the lead's hook in pieces, then
    # whole; the last bar drops the kick for a snare roll.
    dict(chords=VERSE, pad="swell", hats="offbeat", kick="four", snare="backbeat", bass="offbeat", lead=TEASE,
         level=0.75),
    dict(chords=VERSE, pad="swell", hats="sixteenths", kick="build", snare="roll", bass="eighths", lead=RISE,
         level=0.85),
    # 4 to 7, the drop, every other order with the hook's other answer and a fill.
    DROP,
    dict(DROP, snare="pickup", lead=HOOK_TURN),
    DROP,
    dict(DROP, snare="fill", lead=HOOK_TURN),
    # 8 and 9, the break: no kick, the lead in arpeggios, the bass held; the
    # kick comes back in the last bar under a snare roll.
    dict(chords=BREAK, pad="swell", bass="long", lead="arpeggio"),
    dict(chords=BREAK2, pad="swell", hats="offbeat", kick="return", snare="return", bass="long", lead="arpeggio",
         level=0.7),
    # 10, the final drop, the lead an octave up.
    dict(DROP, snare="fill", lead=HOOK_TURN, octave=12),
    # 11, the ending: one kick and crash, then everything fades out by row 60.
    dict(chords=ENDING, pad="fade", kick="once", crash=True, bass="once", lead=FAREWELL, fade=True),
]


def cell(note=None, sample=0, effect=0, parameter=0):
    period = PERIODS[note] if note is not None else 0
    return struct.pack(">BBBB", (sample & 0xF0) | (period >> 8), period & 0xFF,
                       ((sample & 0x0F) << 4) | effect, parameter)


def pitch(sample, name, octave=0):
    index = midi(name) + octave - AT_C2[sample] + C2
    assert 0 <= index < len(PERIODS), (name, sample)
    return index


def volume(v):
    return 0xC, max(0, min(64, int(round(v))))


def drums(grid, order):
    kick, snare, hats, level = order.get("kick"), order.get("snare"), order.get("hats"), order.get("level", 1)
    for row in range(ROWS):
        bar, beat, step = row // 16, row // 4 % 4, row % 4
        if step == 0 and (kick in ("four", "build") and not (kick == "build" and bar == 3)
                          or kick == "return" and bar == 3 or kick == "once" and row == 0):
            grid[row][CH_KICK] = (C3, KICK) + volume(64 * level)
        if snare in ("backbeat", "pickup", "roll", "fill") and step == 0 and beat in (1, 3) and (
                bar < 3 or snare != "roll"):
            grid[row][CH_SNARE] = (C3, SNARE) + volume(64 * level)
        if hats == "sparse" and bar > 0 and row % 8 == 6 or hats == "offbeat" and step == 2:
            grid[row][CH_HAT] = (B3, HAT) + volume(26 if hats == "sparse" else 44 * level)
        if hats == "offbeat" and row >= 60:
            grid[row][CH_HAT] = (B3, HAT) + volume((24 + 6 * step) * level)  # a run into the next order
        if hats == "sixteenths" and not (snare == "roll" and bar == 3 and row >= 56):
            grid[row][CH_HAT] = (B3, HAT) + volume([40, 24, 58, 28][step] * level)
    if snare in ("roll", "return"):
        # Eighths, then sixteenths, climbing in pitch and loudness into the drop.
        hits = list(range(48, 56, 2)) + list(range(56, 64))
        for i, row in enumerate(hits):
            grid[row][CH_SNARE] = (C3 + i, SNARE) + volume(24 + 40 * i / (len(hits) - 1))
    if snare == "pickup":
        grid[62][CH_SNARE], grid[63][CH_SNARE] = (C3, SNARE) + volume(26), (C3, SNARE) + volume(40)
    if snare == "fill":
        for i, row in enumerate([58, 60, 61, 62, 63]):
            grid[row][CH_SNARE] = (C3 + 2 * i, SNARE) + volume(44 + 5 * i)
    if order.get("crash"):
        grid[0][CH_CRASH] = (B3, CRASH) + volume(64)


def bass_line(grid, order):
    style, level = order.get("bass"), order.get("level", 1)
    for bar, chord in enumerate(order["chords"]):
        root = CHORDS[chord][0]
        for step in range(16):
            row = bar * 16 + step
            if style == "offbeat" and step % 4 == 2 or style == "eighths" and step % 2 == 0 and not (
                    bar == 3 and step >= 8):
                grid[row][CH_BASS] = (pitch(BASS, root), BASS) + volume(48 * level)
            elif style == "drive":
                # Sixteenths, the octave on the off-beat eighth; quieter under the kick.
                octave = 12 if step % 4 == 2 else 0
                grid[row][CH_BASS] = (pitch(BASS, root, octave), BASS) + volume([36, BASS_VOLUME, 60, 50][step % 4])
            elif style == "long" and step == 0:
                grid[row][CH_BASS] = (pitch(BASS, root), BASS) + volume(30)
        if style == "eighths" and bar == 3:
            grid[56][CH_BASS] = (pitch(BASS, root, 12), BASS) + volume(48 * level)
    if style == "once":
        grid[0][CH_BASS] = (pitch(BASS, CHORDS[order["chords"][0]][0]), BASS) + volume(48)
        fade(grid, CH_BASS, 48, 0, 28)


def fade(grid, channel, start, first, last):
    """A fade from `start` at row `first` to silence at row `last`. The
    volume follows the square of a straight line: a straight line in
    amplitude would hold loud and then drop away in its last rows."""
    for row in range(first + 1, ROWS):
        v = start * max(0.0, 1 - (row - first) / (last - first)) ** 2
        note, sample, effect, _ = grid[row][channel] or (None, 0, 0, 0)
        grid[row][channel] = (note, sample) + volume(v)


def pads(grid, order):
    style = order["pad"]
    for bar, chord in enumerate(order["chords"]):
        if style == "fade" and bar > 0 and chord == order["chords"][bar - 1]:
            continue
        for channel, name in zip((CH_PAD1, CH_PAD2), CHORDS[chord][1:]):
            for step in range(16):
                if style == "swell":
                    v = min(42, 26 + 2 * step)
                elif style == "pump":
                    # Ducked on every kick and back within the beat: the drop breathes.
                    v = [12, 26, 36, 42][step % 4]
                else:
                    v = 42
                note = pitch(PAD, name) if step == 0 else None
                grid[bar * 16 + step][channel] = (note, PAD if note is not None else 0) + volume(v)
    if style == "fade":
        for channel in (CH_PAD1, CH_PAD2):
            fade(grid, channel, 42, 0, 60)


def parse_bar(text):
    row = 0
    for token in text.split():
        name, rows = token.split(":")
        yield row, None if name == "-" else name, int(rows)
        row += int(rows)
    assert row == 16, text


def lead_line(grid, order):
    part, octave = order.get("lead"), order.get("octave", 0)
    if part is None:
        return
    if part == "arpeggio":
        bars = [arpeggio(chord) for chord in order["chords"]]
    else:
        bars = part
    for bar, text in enumerate(bars):
        for step, name, rows in parse_bar(text):
            row = bar * 16 + step
            if name is None:
                grid[row][CH_LEAD] = (None, 0) + volume(0)
                continue
            loud = 24 + 8 * bar if part == "arpeggio" else 46
            grid[row][CH_LEAD] = (pitch(LEAD, name, octave), LEAD) + volume(loud)
            for held in range(row + 3, row + rows):
                grid[held][CH_LEAD] = (None, 0, 0x4, 0x34)  # a late vibrato on long notes
    if order.get("fade"):
        fade(grid, CH_LEAD, 46, 16, 60)


def arpeggio(chord):
    """The break's lead: the chord's notes as eighths, up and back."""
    root = midi(CHORDS[chord][0]) % 12 + 60
    third = 3 if chord.endswith("m") else 4
    tones = [root, root + third, root + 7, root + 12, root + 7, root + third, root + 7, root + 12]
    names = [next(n for n, v in NAMES.items() if v == t % 12) + str(t // 12 - 1) for t in tones]
    return " ".join(n + ":2" for n in names)


def centre(grid, channel):
    """Kick, snare, bass and lead in the middle: the classic layout pans
    channels left, right, right, left, and would put kick and bass on one
    side. Players without panning commands ignore this one. It goes on
    the second row, where these parts can spare the effect column: a note
    there plays at its sample's own volume, a fade holds for a row."""
    note, sample, effect, parameter = grid[1][channel] or (None, 0, 0, 0)
    assert effect == 0 or effect == 0xC and (not sample or sample == BASS and parameter == BASS_VOLUME), channel
    grid[1][channel] = (note, sample, 0x8, 0x80)


def make_pattern(order, rows):
    grid = [[None] * CHANNELS for _ in range(ROWS)]
    drums(grid, order)
    bass_line(grid, order)
    pads(grid, order)
    lead_line(grid, order)
    for channel in (CH_KICK, CH_SNARE, CH_BASS, CH_LEAD):
        centre(grid, channel)
    if rows < ROWS:
        # Short orders (fuzz seeds) break to the next order after their last row.
        grid[rows - 1][CH_CRASH] = (grid[rows - 1][CH_CRASH] or (None, 0))[:2] + (0xD, 0)
    return b"".join(cell(*(c or ())) for line in grid for c in line)


def song(orders, rows):
    """Patterns and the order list for a song of `orders` orders."""
    if orders == 1:
        plan = [len(ORDERS) - 2]
    else:
        middle = list(range(1, len(ORDERS) - 1))
        plan = [0] + [middle[i % len(middle)] for i in range(orders - 2)] + [len(ORDERS) - 1]
    patterns, order_list = [], []
    for o in plan:
        data = make_pattern(ORDERS[o], rows)
        if data not in patterns:
            patterns.append(data)
        order_list.append(patterns.index(data))
    return patterns, order_list


def write_module(path, orders, rows):
    patterns, order_list = song(orders, rows)
    samples = make_samples()
    out = bytearray(b"tessellate".ljust(20, b"\0"))
    for i in range(31):
        if i < len(samples):
            name, data, level, loop_start, loop_length = samples[i]
            assert len(data) % 2 == 0 and len(data) < 131072, name
            out += name.encode().ljust(22, b"\0")
            out += struct.pack(">HBBHH", len(data) // 2, 0, level, loop_start // 2,
                               loop_length // 2 if loop_length else 1)
        else:
            out += bytes(22) + struct.pack(">HBBHH", 0, 0, 0, 0, 1)
    out += struct.pack(">BB", len(order_list), 127)
    out += bytes(order_list).ljust(128, b"\0")
    out += b"%dCHN" % CHANNELS
    for pattern in patterns:
        out += pattern
    for _, data, _, _, _ in samples:
        out += data
    with open(path, "wb") as f:
        f.write(out)
    return len(order_list) * rows * 0.12


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--orders", type=int, default=len(ORDERS))
    parser.add_argument("--rows", type=int, default=ROWS, help="rows played per order (1 to 64)")
    arguments = parser.parse_args()
    if not 1 <= arguments.orders <= 128 or not 1 <= arguments.rows <= 64:
        parser.error("--orders must be 1 to 128 and --rows 1 to 64")
    seconds = write_module(arguments.output, arguments.orders, arguments.rows)
    print(f"{arguments.output}: {arguments.orders} orders, {seconds:.2f} s")


if __name__ == "__main__":
    main()
