"""A whole library on the command line: a tree of 300 songs in nested
album folders with a link back to its top, a FIFO, hidden entries and
other files, given as a plain path. The caption must count all 300 in
path order, the walk must end (no hang on the link or the FIFO), and the
album's first three songs, one continuous sine cut at arbitrary samples
and the middle one at another rate, must reach the sound card as one
unbroken sine. Judged on the captions and on what SDL's disk driver got."""

import math
import os
import shutil
import struct
import sys
import tempfile
import time
import unittest
import wave

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import test_player  # noqa: E402

TONE, AMPLITUDE = 441.0, 0.5
RATE = songs.CAPTURE_RATE
# (name, rate, first sample, end sample) of the sine; the cuts fall where a
# sample of both rates meet (every 1/300 s) so the sine itself runs on.
PARTS = [("01 part.wav", 44100, 0, 147 * 180), ("02 part.wav", 48000, 160 * 180, 160 * 390),
         ("03 part.wav", 44100, 147 * 390, 147 * 390 + 26003)]
JOINED = 147 * 390 + 26003  # frames of the three at the device rate
CAPTIONS = ["01/300. 01 part (00:00)", "02/300. 02 part (00:00)", "03/300. 03 part (00:00)",
            "04/300. 01 (00:00)"]


def write_sine(path, rate, first, end):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", round(32767 * AMPLITUDE * math.sin(
            2 * math.pi * TONE * i / rate))) for i in range(first, end)))


def make_tree(root):
    album = os.path.join(root, "A Artist", "First Album")
    os.makedirs(album)
    for name, rate, first, end in PARTS:
        write_sine(os.path.join(album, name), rate, first, end)
    tiny = os.path.join(root, "tiny.wav")
    songs.write_tone(tiny, 660.0, 0.05, rate=RATE)
    for n in range(297):  # 27 albums of 11, two levels down
        folder = os.path.join(root, "B Artist", "Album %02d" % (n // 11), "Disc" if n % 11 > 8 else "")
        os.makedirs(folder, exist_ok=True)
        shutil.copy(tiny, os.path.join(folder, "%02d.wav" % (n % 11 + 1)))
    os.remove(tiny)
    os.mkfifo(os.path.join(album, "04 pipe.wav"))
    os.symlink(root, os.path.join(root, "B Artist", "loop"))
    os.mkdir(os.path.join(album, ".hidden"))
    songs.write_tone(os.path.join(album, ".hidden", "00.wav"), 440.0, 0.05, rate=RATE)
    songs.write_tone(os.path.join(album, ".00.wav"), 440.0, 0.05, rate=RATE)
    open(os.path.join(album, "cover.jpg"), "wb").close()


def without_dropouts(samples):
    """Stretches of 256 or more exact zeros taken out: under load the disk
    driver writes buffers of silence our callback never produced."""
    kept, zeros = [], []
    for s in samples:
        if s == 0.0:
            zeros.append(s)
            continue
        if len(zeros) < 256:
            kept.extend(zeros)
        zeros = []
        kept.append(s)
    return kept


class Library(unittest.TestCase):
    def test_nested_tree_counts_every_song_in_order_and_joins_without_a_gap(self):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        root = os.path.join(folder, "Music")
        make_tree(root)
        session = test_player.ListSession(self, folder, "--no-resume", root)
        p, capture, spy = session.program, session.capture, session.spy
        capture.mark()

        session.click(test_player.PLAY)
        deadline = time.time() + 60  # generous: the machine may be loaded
        while CAPTIONS[-1] not in spy.captions() and time.time() < deadline:
            time.sleep(0.05)
        p.terminate()
        self.assertEqual(p.wait(), 0, p.stderr())

        shown = [c for c in spy.captions() if "/300. " in c]
        self.assertEqual(shown[:4], CAPTIONS, spy.captions())

        sound = without_dropouts(capture.left_channel())
        # The silence before PLAY went with the dropouts, and with it the
        # sine's first sample, which is 0.
        start = next(i for i, s in enumerate(sound) if s != 0.0)
        joined = sound[start:start + JOINED - 1]
        self.assertEqual(len(joined), JOINED - 1, (len(sound), start))
        largest = AMPLITUDE * 2 * math.pi * TONE / RATE + 3 / 32768  # the sine's step, and rounding
        steps = [abs(b - a) for a, b in zip(joined, joined[1:])]
        worst = max(range(len(steps)), key=steps.__getitem__)
        self.assertLessEqual(steps[worst], largest, "a break %d samples in" % worst)


if __name__ == "__main__":
    unittest.main()
