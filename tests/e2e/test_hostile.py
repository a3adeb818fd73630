"""The player on a playlist that mixes good songs with everything a playlist
can wrongly name: a missing file, an empty one, noise, cut-off files, a
picture, a folder and a web address. One PLAY click, then the automatic
advance walks the whole list. Each bad entry must cost exactly one warning
line and its playing time in silence, the good ones must sound, and the
player must end normally on a close request. What really left the program is
read from SDL's disk audio driver."""

import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import xtools  # noqa: E402

PLAYER = xtools.binary("tessellune")
MAKE_SONGS = xtools.binary("make_test_songs")
GUI_H = 500
PLAY = (95, 425)
# Playlist seconds per entry; the advance comes 0.4 s after them. The Ogg
# cut mid-stream sounds for about 1.5 s and gets longer, to be heard ending.
LENGTH = 1
SHORT_LENGTH = 2
WARNING = re.compile(r'^tessellune: cannot play "(.*)": (.+)$')
SANITIZER = ("AddressSanitizer", "LeakSanitizer", "runtime error:", "Segmentation fault")


def png_bytes():
    """A real 4 x 4 red PNG."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + b"\xff\0\0" * 4 for _ in range(4))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as out:
        out.write(data)


class Entry:
    """kind: "good" (a tone that sounds throughout), "bad" (a warning and
    silence) or "short" (a tone that stops early: the file ends early)."""

    def __init__(self, file, title, kind, hz=None):
        self.file, self.title, self.kind, self.hz = file, title, kind, hz
        self.length = SHORT_LENGTH if kind == "short" else LENGTH

    def shown_path(self):
        return self.file if "://" in self.file else "data/music/" + self.file


def make_playlist(folder):
    """The hostile playlist in folder/data/music; returns its entries."""
    made = os.path.join(folder, "made")
    os.makedirs(made)
    subprocess.run([MAKE_SONGS, made, "3"], check=True, capture_output=True)
    ogg = read(os.path.join(made, "song03.ogg"))  # 4 s, 260 Hz
    noise = random.Random(8)
    entries = [
        Entry("one.wav", "Good One", "good", 440.0),
        Entry("missing.ogg", "Missing", "bad"),
        Entry("empty.ogg", "Empty", "bad"),
        Entry("noise.ogg", "Noise Ogg", "bad"),
        Entry("noise.mod", "Noise Module", "bad"),
        Entry("two.wav", "Good Two", "good", 660.0),
        Entry("cut.ogg", "Ogg Cut In Its Headers", "bad"),
        Entry("cut.mod", "Module Cut In Its Header", "bad"),
        Entry("picture.mp3", "Picture", "bad"),
        Entry("folder.ogg", "Folder", "bad"),
        Entry("ftp://localhost/stream.ogg", "Web Address", "bad"),
        Entry("short.ogg", "Ogg Cut Mid Stream", "short", 260.0),
        Entry("three.wav", "Good Three", "good", 880.0),
    ]
    music = songs.write_playlist(folder, [(e.file, e.title, e.length) for e in entries])
    for e in entries:
        if e.kind == "good":
            songs.write_tone(os.path.join(music, e.file), e.hz, e.length + 2.0)
    write(os.path.join(music, "empty.ogg"), b"")
    write(os.path.join(music, "noise.ogg"), bytes(noise.randrange(256) for _ in range(30000)))
    write(os.path.join(music, "noise.mod"), bytes(noise.randrange(256) for _ in range(30000)))
    write(os.path.join(music, "cut.ogg"), ogg[:1000])
    module = read(os.path.join(xtools.SOURCE_DIR, "data", "music", "tessellate.mod"))
    write(os.path.join(music, "cut.mod"), module[:1000])
    write(os.path.join(music, "picture.mp3"), png_bytes())
    os.mkdir(os.path.join(music, "folder.ogg"))
    # Two thirds of the file: its headers and about 1.5 s of the tone.
    write(os.path.join(music, "short.ogg"), ogg[: len(ogg) * 2 // 3])
    return entries


class HostilePlaylist(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tessellune-e2e-hostile-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.entries = make_playlist(self.folder)
        self.capture = songs.Capture(os.path.join(self.folder, "sound.raw"))
        self.program = xtools.Program([PLAYER], cwd=self.folder, env={
            "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.capture.path})
        self.addCleanup(self.program.kill)
        self.program.wait_window()

    def walk(self):
        """Clicks PLAY and follows the caption through every entry and back
        to the first; returns the arrival time of each entry's caption."""
        p = self.program
        count = len(self.entries)
        captions = ["%02d/%02d. %s (00:%02d)" % (i + 1, count, e.title, e.length)
                    for i, e in enumerate(self.entries)]
        spy = xtools.CaptionSpy(p.window)
        self.addCleanup(spy.stop)
        w, h = p.geometry()
        # The start-up's loading loop drains the events of a click that
        # comes before the main loop runs: PLAY until the first song shows.
        for _ in range(5):
            p.click(int(PLAY[0] * w / 800), int((GUI_H - PLAY[1]) * h / GUI_H))
            if p.wait_caption(captions[0], 3.0):
                break
        deadline = time.time() + sum(e.length + 0.4 for e in self.entries) + 30
        while time.time() < deadline:
            seen = [(t, c) for t, c in list(spy.changes) if c in captions]
            # A PLAY retried while the first one was still on its way
            # restarts the first song: its turn counts from the last start.
            while len(seen) > 1 and seen[0][1] == seen[1][1] == captions[0]:
                seen.pop(0)
            order = [captions.index(c) for _, c in seen]
            if len(order) > count:
                self.assertEqual(order[: count + 1], list(range(count)) + [0],
                                 "the entries came out of order")
                return [t for t, _ in seen[: count + 1]]
            self.assertIsNone(p.process.poll(), "the player ended: %s" % p.stderr())
            time.sleep(0.05)
        self.fail("the advance stalled; captions seen: %s; stderr: %s"
                  % (spy.captions(), p.stderr()))

    def test_every_bad_entry_warns_once_plays_silence_and_is_passed(self):
        arrivals = self.walk()
        p = self.program
        # Closed at once: 2.4 s later the advance would reach the first bad
        # entry a second time.
        out, err = p.stdout(), p.stderr()
        p.close()
        self.assertEqual(p.wait(), 0, p.stderr())
        count = len(self.entries)

        # Every entry keeps the caption for its playlist length (plus the
        # advance's 0.4 s). Read on the wall clock from a spy that reports
        # each change as it comes, so the bound only has to allow for the
        # delivery of one change: half the entry's time is far more than
        # that even on a loaded machine, and far less than a skipped entry.
        for i, e in enumerate(self.entries):
            held = arrivals[i + 1] - arrivals[i]
            self.assertGreater(held, (e.length + 0.4) / 2, "%s was passed too soon" % e.title)

        self.check_sound()

        # Exactly one warning per bad entry, naming it; nothing for the rest.
        warned = [m.group(1) for m in map(WARNING.match, err.splitlines()) if m]
        expected = [e.shown_path() for e in self.entries if e.kind == "bad"]
        self.assertEqual(sorted(warned), sorted(expected), err)
        self.assertIn('"ftp://localhost/stream.ogg": only http and https addresses are played', err)
        for marker in SANITIZER:
            self.assertNotIn(marker, err)
        # The advance printed its trace line once for every entry it left.
        for i in range(count):
            line = "current_song:%d, song_i:%d, modulo:%d\n" % (i, count, (i + 1) % count)
            self.assertEqual(out.count(line), 1, out)

    def check_sound(self):
        """What was heard, judged on the capture alone: the sample count is
        the program's own clock, so no boundary depends on when the test
        happened to look. The good entries are tones of their own pitch, so
        the capture falls into runs of one tone or of silence; in playlist
        order they must be: the first good tone, silence for the four bad
        entries, the second tone, silence for the next five, the tone of the
        Ogg cut mid-stream ending early into silence, and the third tone."""
        tones = [e for e in self.entries if e.kind != "bad"]
        samples = self.capture.left_channel()
        runs = runs_of(samples, [e.hz for e in tones])
        labels = [label for label, _, _ in runs]
        self.assertIn(tones[0].hz, labels, "the first song never sounded: %s" % labels)
        runs = runs[labels.index(tones[0].hz):]
        expected = [tones[0].hz, 0, tones[1].hz, 0, tones[2].hz, 0, tones[3].hz]
        self.assertEqual([label for label, _, _ in runs][: len(expected)], expected,
                         "the capture in runs of (Hz, seconds): %s"
                         % [(label, round((end - begin) / songs.CAPTURE_RATE, 2))
                            for label, begin, end in runs])
        edge = 2 * WINDOW  # a change-over blurs the windows beside it
        for (_, begin, end), tone in zip(runs[0:7:2], tones):
            # A good song sounds for its whole turn; the cut Ogg for about
            # the 1.5 s its file still holds, well short of its 2.4 s turn.
            self.assertGreater(end - begin, songs.CAPTURE_RATE // 2, "%s sounded too briefly" % tone.title)
            heard = samples[begin + edge: end - edge]
            self.assertAlmostEqual(songs.frequency(heard), tone.hz, delta=tone.hz * 0.01, msg=tone.title)
        _, begin, end = runs[4]
        self.assertLess(end - begin, 2 * songs.CAPTURE_RATE, "the cut Ogg sounds past its end")
        # The bad entries' turns are silent: nothing was mixed for them.
        for _, begin, end in runs[1:7:2]:
            self.assertLess(songs.rms(samples[begin + edge: end - edge]), 0.001)


WINDOW = 441  # 10 ms


def runs_of(samples, pitches):
    """The capture as runs of (pitch, first sample, end): 0 for silence,
    else the listed pitch nearest to a window's rising zero crossings.
    Windows that are neither silent nor clearly loud join the run before
    them, and a run of one or two windows (a change-over, which mixes two
    songs) joins the run before it."""
    runs = []
    for start in range(0, len(samples) - WINDOW + 1, WINDOW):
        part = samples[start: start + WINDOW]
        level = songs.rms(part)
        if level < 0.001:
            label = 0
        elif level > 0.1:
            rising = sum(1 for a, b in zip(part, part[1:]) if a < 0 <= b)
            label = min(pitches, key=lambda p: abs(p - rising * songs.CAPTURE_RATE / WINDOW))
        else:
            label = runs[-1][0] if runs else 0
        if runs and runs[-1][0] == label:
            runs[-1][2] = start + WINDOW
        else:
            runs.append([label, start, start + WINDOW])
    merged = []
    for run in runs:
        if merged and (run[2] - run[1] <= 2 * WINDOW or merged[-1][0] == run[0]):
            merged[-1][2] = run[2]
        else:
            merged.append(run)
    return [tuple(run) for run in merged]


if __name__ == "__main__":
    unittest.main(verbosity=2)
