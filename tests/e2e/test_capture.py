"""The demo production rendered off line (tessellune_demo --capture): two
captures of the same segment are the same bytes, a beat of the music lights
the frame it falls in and a snare turns the light magenta, a cut changes the
layout of the picture where a beat changes only its light, the sound covers
exactly the frames' time, and the scenes start where the module's orders do,
as the decoder itself reports."""

import hashlib
import os
import re
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402

DEMO = xtools.binary("tessellune_demo")
FPS = 12
RATE = 44100
BLOCK = 512  # the audio layer mixes and publishes positions in blocks of this many frames
ORDER_SECONDS = 64 * 0.12  # tools/makeModule.py: 64 rows of 0.12 s an order
# The tiles scene lights the tiles on every kick (every fourth row from
# order 1 on); order 2 row 32 starts at 19.2 s, between the frames at
# 19.1667 and 19.25. Kick and snare together on row 36 (19.68 s).
BEAT = 2 * ORDER_SECONDS + 32 * 0.12
SNARE = 2 * ORDER_SECONDS + 36 * 0.12
SEGMENT = ("0:19", "0:19.8")
# The drop cuts to another camera path at order 4 row 32 (34.56 s), on a
# kick and a new bar; the kick of row 16 (32.64 s) starts a bar in the same
# shot. Neither has a snare.
CUT, SAME_SHOT_KICK = 4 * ORDER_SECONDS + 32 * 0.12, 4 * ORDER_SECONDS + 16 * 0.12


def capture(folder, start, end, size="160x90", cwd=xtools.SOURCE_DIR):
    result = subprocess.run([DEMO, "--capture", folder, "--fps", str(FPS), "--from", start, "--to", end,
                             "--resolution", size], cwd=cwd, capture_output=True, text=True,
                            errors="replace", timeout=180)
    if result.returncode != 0:
        raise AssertionError("capture failed (%d): %s" % (result.returncode, result.stderr))
    return result.stdout


def first_frame(output):
    return int(re.search(r"^capture: frames (\d+) to (\d+) at", output, re.M).group(1))


def read_png(path):
    """(width, height, rows of RGB bytes top first) of an 8-bit RGB PNG, decoded here."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert (depth, colour, interlace) == (8, 2, 0), header
    raw, stride, rows, previous = zlib.decompress(idat), width * 3, [], bytearray(width * 3)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - 3] if i >= 3 else 0
            up, corner = previous[i], previous[i - 3] if i >= 3 else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, rows


def brightness(path):
    _, _, rows = read_png(path)
    return sum(sum(row) for row in rows) / sum(len(row) for row in rows)


def redness(path):
    """Red over blue, summed over the picture."""
    _, _, rows = read_png(path)
    return sum(sum(row[0::3]) for row in rows) / sum(sum(row[2::3]) for row in rows)


def likeness(first, second, block=10):
    """Correlation of two frames' brightness in blocks of block x block
    pixels: near 1 when only the light changes (a flash), lower when the
    layout of the picture does (a cut)."""
    def blocks(path):
        width, height, rows = read_png(path)
        return [sum(sum(rows[y][3 * x0:3 * (x0 + block)]) for y in range(y0, y0 + block))
                for y0 in range(0, height - block + 1, block) for x0 in range(0, width - block + 1, block)]
    return statistics.correlation(blocks(first), blocks(second))


def frame_at(seconds):
    return -int(-seconds * FPS // 1)  # the first frame at or after the time


def read_wav(path):
    """(channels, rate, bits, stereo frames, samples) of a PCM WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:4] == b"RIFF" and data[8:16] == b"WAVEfmt ", path
    _, channels, rate, _, _, bits = struct.unpack("<HHIIHH", data[20:36])
    assert data[36:40] == b"data"
    (size,) = struct.unpack("<I", data[40:44])
    assert 44 + size == len(data), "the header's size is the file's"
    samples = struct.unpack("<%dh" % (size // 2), data[44:44 + size])
    return channels, rate, bits, size // 4, samples


def digest(folder):
    sums = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            sums[name] = hashlib.sha256(f.read()).hexdigest()
    return sums


class Capture(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="tessellune-capture-")
        cls.first = os.path.join(cls.folder, "first")
        cls.second = os.path.join(cls.folder, "second")
        cls.output = capture(cls.first, *SEGMENT)
        capture(cls.second, *SEGMENT)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, True)

    def frames(self):
        return sorted(name for name in os.listdir(self.first) if name.endswith(".png"))

    def test_two_captures_are_the_same_bytes(self):
        first = digest(self.first)
        self.assertEqual(len(self.frames()), 10, "0:19 to 0:19.8 at 12 frames a second")
        self.assertEqual(self.frames()[0], "00000.png")
        self.assertIn("sound.wav", first)
        self.assertEqual(first, digest(self.second))

    def test_a_beat_lights_the_frame_it_falls_in(self):
        start = first_frame(self.output)
        self.assertEqual(start, 19 * FPS)
        at = frame_at(BEAT) - start
        before, lit, after = (brightness(os.path.join(self.first, "%05d.png" % i)) for i in (at - 1, at, at + 1))
        self.assertGreater(lit, before * 1.15, "the tiles light up with the kick")
        self.assertLess(after, lit, "and fade over the beat")
        kick, snare = (redness(os.path.join(self.first, "%05d.png" % (frame_at(t) - start))) for t in (BEAT, SNARE))
        self.assertGreater(snare, kick * 1.1, "the snare turns the kick's ice-blue light magenta")

    def test_a_cut_changes_the_layout_a_beat_only_the_light(self):
        folder = os.path.join(self.folder, "cut")
        start = first_frame(capture(folder, "0:32.5", "0:34.7"))
        path = lambda seconds, step=0: os.path.join(folder, "%05d.png" % (frame_at(seconds) - start + step))
        beat = likeness(path(SAME_SHOT_KICK, -1), path(SAME_SHOT_KICK))
        self.assertLess(likeness(path(CUT, -1), path(CUT)), beat - 0.1)

    def test_the_first_frame_already_shows_the_sky(self):
        folder = os.path.join(self.folder, "opening")
        capture(folder, "0:00", "0:00.05")
        self.assertGreater(brightness(os.path.join(folder, "00000.png")), 8, "no black opening")

    def test_the_sound_covers_the_frames_time(self):
        channels, rate, bits, frames, samples = read_wav(os.path.join(self.first, "sound.wav"))
        self.assertEqual((channels, rate, bits), (2, RATE, 16))
        self.assertLessEqual(abs(frames - len(self.frames()) * RATE / FPS), BLOCK)
        loud = max(abs(s) for s in samples)
        self.assertGreater(loud, 3000, "the drums and the bass of order 2 are in it")

    def test_scenes_start_where_the_orders_do(self):
        # Through every scene's start: the finale's at order 10.
        output = capture(os.path.join(self.folder, "finale"), "1:17", "1:17.1")
        starts = re.findall(r"^scene (\w+) starts at (\d+):([\d.]+): order (\d+), row (\d+)$", output, re.M)
        self.assertEqual([s[0] for s in starts], ["sky", "title", "post", "tiles", "drawing", "finale"], output)
        for name, minutes, seconds, order, row in starts:
            at = int(minutes) * 60 + float(seconds)
            self.assertEqual(int(order), int(at / ORDER_SECONDS + 1e-6), name)
            self.assertEqual(int(row), 0, "%s begins on the first row of its order" % name)
            self.assertLess(at - int(order) * ORDER_SECONDS, 1.0 / FPS + 1e-3, name)
        planned = re.findall(r"^scene (\w+) from (\d+):([\d.]+) to", output, re.M)
        self.assertEqual(len(planned), 6)
        for name, minutes, seconds in planned:
            orders = (int(minutes) * 60 + float(seconds)) / ORDER_SECONDS
            self.assertAlmostEqual(orders, round(orders), delta=0.001, msg=name)

    def test_a_frame_that_cannot_be_written_ends_the_run_naming_it(self):
        # Frames are written behind the drawing: the failure must still come
        # back, name the frame that failed and stop the run.
        folder = os.path.join(self.folder, "blocked")
        os.makedirs(os.path.join(folder, "00002.png"))
        result = subprocess.run([DEMO, "--capture", folder, "--fps", str(FPS), "--from", SEGMENT[0], "--to",
                                 SEGMENT[1], "--resolution", "160x90"], cwd=xtools.SOURCE_DIR,
                                capture_output=True, text=True, errors="replace", timeout=180)
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot write %s/00002.png" % folder, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(folder, "00005.png")), "the run stops at the failure")


class ShippedTracks(unittest.TestCase):
    def test_a_release_run_reads_the_saved_tracks(self):
        # A tree of its own, whose tracks folder can lose one file without
        # touching the repository's; the moon stands where its tracks say.
        root = tempfile.mkdtemp(prefix="tessellune-tracks-")
        self.addCleanup(shutil.rmtree, root, True)
        data = os.path.join(xtools.SOURCE_DIR, "data")
        for part in ("music", "production/images", "production/art"):
            os.makedirs(os.path.dirname(os.path.join(root, "data", part)), exist_ok=True)
            os.symlink(os.path.join(data, part), os.path.join(root, "data", part))
        tracks = os.path.join(root, "data", "production", "tracks")
        shutil.copytree(os.path.join(data, "production", "tracks"), tracks)
        frames = {}
        for hidden in ("", "sync_sky-3AmoonY.track"):
            if hidden:
                os.remove(os.path.join(tracks, hidden))
            out = os.path.join(root, "frames" + hidden)
            capture(out, "0:10", "0:10.05", cwd=root)
            frames[hidden] = digest(out)["00000.png"]
        self.assertNotEqual(frames[""], frames["sync_sky-3AmoonY.track"])


class WithoutADisplay(unittest.TestCase):
    def test_it_says_so_and_ends_with_status_one(self):
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        for display in ({}, {"DISPLAY": ":999"}):
            result = subprocess.run([DEMO], cwd=xtools.SOURCE_DIR, env={**environment, **display},
                                    capture_output=True, text=True, errors="replace", timeout=30)
            self.assertEqual(result.returncode, 1, display)
            self.assertIn("tessellune_demo: no display to open the window on", result.stderr)
            self.assertNotIn("capture", result.stdout)


if __name__ == "__main__":
    unittest.main()
