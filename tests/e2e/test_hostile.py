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
BYTES_PER_SECOND = songs.CAPTURE_RATE * 4  # 16-bit stereo
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
        Entry("http://localhost/stream.ogg", "Web Address", "bad"),
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
        to the first; returns, per entry, where its sound starts in the
        capture, and the offset where the walk ended."""
        p = self.program
        count = len(self.entries)
        captions = ["%02d/%02d. %s (00:%02d)" % (i + 1, count, e.title, e.length)
                    for i, e in enumerate(self.entries)]
        w, h = p.geometry()
        # The start-up's loading loop drains the events of a click that
        # comes before the main loop runs: PLAY until the first song shows.
        for _ in range(5):
            p.click(int(PLAY[0] * w / 800), int((GUI_H - PLAY[1]) * h / GUI_H))
            if p.wait_caption(captions[0], 3.0):
                break
        starts = {}
        deadline = time.time() + sum(e.length + 0.4 for e in self.entries) + 30
        while time.time() < deadline:
            caption = p.caption()
            if caption in captions:
                i = captions.index(caption)
                if i == 0 and count - 1 in starts:
                    return starts, self.capture.size()
                starts.setdefault(i, self.capture.size())
            self.assertIsNone(p.process.poll(), "the player ended: %s" % p.stderr())
            time.sleep(0.03)
        self.fail("the advance stalled; entries reached: %s; stderr: %s"
                  % (sorted(starts), p.stderr()))

    def sound(self, start, end, skip=0.5, trim=0.35):
        """Left channel of the capture between two offsets, the edges cut
        off to allow for the caption poll's lag."""
        first = start + int(skip * BYTES_PER_SECOND) // 4 * 4
        last = end - int(trim * BYTES_PER_SECOND) // 4 * 4
        with open(self.capture.path, "rb") as f:
            f.seek(first)
            data = f.read(max(0, last - first))
        values = struct.unpack("<%dh" % (len(data) // 2), data[: len(data) // 4 * 4])
        return [v / 32768.0 for v in values[0::2]]

    def test_every_bad_entry_warns_once_plays_silence_and_is_passed(self):
        starts, end = self.walk()
        p = self.program
        # Closed at once: 2.4 s later the advance would reach the first bad
        # entry a second time.
        out, err = p.stdout(), p.stderr()
        p.close()
        self.assertEqual(p.wait(), 0, p.stderr())
        count = len(self.entries)
        self.assertEqual(sorted(starts), list(range(count)), "an entry was skipped")
        bounds = [starts[i] for i in range(count)] + [end]

        for i, e in enumerate(self.entries):
            heard = self.sound(bounds[i], bounds[i + 1])
            self.assertGreater(len(heard), songs.CAPTURE_RATE // 3, "%s played too briefly" % e.title)
            if e.kind == "good":
                self.assertGreater(songs.rms(heard), 0.1, e.title)
                self.assertAlmostEqual(songs.frequency(heard), e.hz, delta=e.hz * 0.01, msg=e.title)
            elif e.kind == "bad":
                self.assertLess(songs.rms(heard), 0.001, "%s is not silent" % e.title)
            else:
                # The file gives out after about 1.5 s: sound, then silence.
                opening = self.sound(bounds[i], bounds[i] + BYTES_PER_SECOND, skip=0.2, trim=0)
                self.assertGreater(songs.rms(opening), 0.05, e.title)
                self.assertAlmostEqual(songs.frequency(opening), e.hz, delta=e.hz * 0.01, msg=e.title)
                closing = self.sound(bounds[i + 1] - BYTES_PER_SECOND // 2, bounds[i + 1], skip=0, trim=0.1)
                self.assertLess(songs.rms(closing), 0.001, "%s sounds past its end" % e.title)

        # Exactly one warning per bad entry, naming it; nothing for the rest.
        warned = [m.group(1) for m in map(WARNING.match, err.splitlines()) if m]
        expected = [e.shown_path() for e in self.entries if e.kind == "bad"]
        self.assertEqual(sorted(warned), sorted(expected), err)
        self.assertIn('"http://localhost/stream.ogg": network addresses are not played', err)
        for marker in SANITIZER:
            self.assertNotIn(marker, err)
        # The advance printed its trace line once for every entry it left.
        for i in range(count):
            line = "current_song:%d, song_i:%d, modulo:%d\n" % (i, count, (i + 1) % count)
            self.assertEqual(out.count(line), 1, out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
