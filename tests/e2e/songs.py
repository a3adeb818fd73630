"""Test songs and captured sound for the end-to-end tests: sine tones written
as WAV files, a PLS playlist naming them, and the measurement of what the
player really sent to SDL's disk audio driver (16-bit stereo, 44.1 kHz)."""

import math
import os
import struct
import wave

CAPTURE_RATE = 44100


def write_tone(path, frequency, seconds, rate=22050, amplitude=0.5):
    frames = int(seconds * rate)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        samples = (int(32767 * amplitude * math.sin(2 * math.pi * frequency * i / rate))
                   for i in range(frames))
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples))


def write_playlist(folder, entries):
    """entries: (file name, title, length in seconds); the playlist goes to
    folder/data/music/playlist.pls, beside the files."""
    music = os.path.join(folder, "data", "music")
    os.makedirs(music, exist_ok=True)
    lines = ["[playlist]"]
    for i, (name, title, length) in enumerate(entries, 1):
        lines += ["File%d=%s" % (i, name), "Title%d=%s" % (i, title), "Length%d=%d" % (i, length)]
    lines += ["NumberOfEntries=%d" % len(entries), "Version=2", ""]
    with open(os.path.join(music, "playlist.pls"), "w") as out:
        out.write("\n".join(lines))
    return music


class Capture:
    """The disk driver's output file, read from a remembered offset on."""

    def __init__(self, path):
        self.path = path
        self.offset = 0

    def size(self):
        return os.path.getsize(self.path) if os.path.exists(self.path) else 0

    def mark(self):
        """Forget everything written so far."""
        self.offset = self.size()

    def left_channel(self):
        """Samples written since the mark, left channel, as floats -1..1."""
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            data = f.read()
        data = data[: len(data) - len(data) % 4]
        count = len(data) // 2
        values = struct.unpack("<%dh" % count, data)
        return [v / 32768.0 for v in values[0::2]]


def rms(samples):
    if not samples:
        return 0.0
    return math.sqrt(sum(s * s for s in samples) / len(samples))


def frequency(samples, rate=CAPTURE_RATE):
    """Frequency from rising zero crossings, interpolated between samples;
    only the stretch that actually sounds is measured."""
    loud = [i for i, s in enumerate(samples) if abs(s) > 0.05]
    if len(loud) < 2:
        return 0.0
    samples = samples[loud[0]: loud[-1]]
    crossings = []
    for i in range(1, len(samples)):
        a, b = samples[i - 1], samples[i]
        if a < 0 <= b:
            crossings.append(i - 1 + (-a) / (b - a))
    if len(crossings) < 3:
        return 0.0
    return (len(crossings) - 1) * rate / (crossings[-1] - crossings[0])
