#!/usr/bin/python3
"""Renders a module through the decoder the player uses and prints its
levels, to judge a mix by numbers where nobody can listen:

    tools/moduleLevels.py data/music/tessellate.mod

Per order: the whole mix's loudness (RMS, dBFS) and peak, the share of
low (< 150 Hz), middle and high (> 4 kHz) energy, and each channel's RMS
rendered alone (the others' notes removed from a copy of the module).
Last, the mix's level over the final seconds, which should fall to
silence. Needs a player build's libopenmpt; nothing else."""

import array
import ctypes
import math
import sys

RATE = 22050
ROW_SECONDS = 0.12
ROWS = 64


def render(data):
    lib = ctypes.CDLL("libopenmpt.so.0")
    lib.openmpt_module_create_from_memory.restype = ctypes.c_void_p
    lib.openmpt_module_create_from_memory.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_void_p,
                                                      ctypes.c_void_p, ctypes.c_void_p]
    lib.openmpt_module_read_interleaved_float_stereo.argtypes = [ctypes.c_void_p, ctypes.c_int32,
                                                                 ctypes.c_size_t, ctypes.c_void_p]
    lib.openmpt_module_read_interleaved_float_stereo.restype = ctypes.c_size_t
    lib.openmpt_module_destroy.argtypes = [ctypes.c_void_p]
    module = lib.openmpt_module_create_from_memory(data, len(data), None, None, None)
    assert module, "not a module"
    out, block = array.array("f"), (ctypes.c_float * 8192)()
    while True:
        frames = lib.openmpt_module_read_interleaved_float_stereo(module, RATE, 4096, block)
        if frames == 0:
            break
        out.extend(block[:2 * frames])
    lib.openmpt_module_destroy(module)
    return out


def only_channel(data, channel):
    """A copy whose patterns keep one channel's notes and everyone's breaks."""
    channels = int(data[1080:1081]) if data[1081:1084] == b"CHN" else 4
    patterns = max(data[952:952 + data[950]]) + 1
    copy = bytearray(data)
    for p in range(patterns):
        for row in range(ROWS):
            for c in range(channels):
                at = 1084 + ((p * ROWS + row) * channels + c) * 4
                if c != channel and copy[at + 2] & 0x0F != 0xD:
                    copy[at:at + 4] = bytes(4)
    return bytes(copy), channels


def db(x):
    return 20 * math.log10(x) if x > 1e-9 else -99.0


def rms(samples):
    return math.sqrt(sum(v * v for v in samples) / max(1, len(samples)))


def bands(mono):
    """Shares of energy below 150 Hz, between, and above 4 kHz (one-pole splits)."""
    low_k, high_k = 1 - math.exp(-2 * math.pi * 150 / RATE), 1 - math.exp(-2 * math.pi * 4000 / RATE)
    low = high_low = 0.0
    energy = [0.0, 0.0, 0.0]
    for v in mono:
        low += low_k * (v - low)
        high_low += high_k * (v - high_low)
        parts = (low, high_low - low, v - high_low)
        for i in range(3):
            energy[i] += parts[i] * parts[i]
    total = sum(energy) or 1.0
    return [e / total for e in energy]


def per_order(stereo):
    span = int(ROWS * ROW_SECONDS * RATE)
    mono = [(stereo[i] + stereo[i + 1]) / 2 for i in range(0, len(stereo), 2)]
    return [mono[o:o + span] for o in range(0, len(mono), span)], mono


def main():
    data = open(sys.argv[1], "rb").read()
    stereo = render(data)
    orders, mono = per_order(stereo)
    peak = max(abs(v) for v in stereo)
    print("%s: %.2f s, peak %.1f dBFS, %d samples at or past full scale"
          % (sys.argv[1], len(mono) / RATE, db(peak), sum(abs(v) >= 1.0 for v in stereo)))
    channels = only_channel(data, 0)[1]
    alone = [per_order(render(only_channel(data, c)[0]))[0] for c in range(channels)]
    print("order   rms   peak   low  mid high   " + " ".join("ch%d " % c for c in range(channels)))
    for o, part in enumerate(orders):
        shares = bands(part)
        print("%5d %5.1f %6.1f  %4.2f %4.2f %4.2f  " % (o, db(rms(part)), db(max(abs(v) for v in part)), *shares)
              + " ".join("%4.0f" % db(rms(alone[c][o])) if o < len(alone[c]) else "   -" for c in range(channels)))
    tail = [db(rms(mono[len(mono) - int(RATE * (s + 1)):len(mono) - int(RATE * s)])) for s in range(4, -1, -1)]
    print("last five seconds, one by one: " + " ".join("%.0f" % t for t in tail) + " dBFS")


if __name__ == "__main__":
    main()
