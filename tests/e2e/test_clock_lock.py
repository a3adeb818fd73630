"""The live picture locked to the music: the demo runs in real time with
SDL's disk audio driver while the test watches the driver's file grow; what
is heard at a moment is the file as written, less the buffer that has just
begun to sound. Each frame of --clock-log is compared with that at the
moment its time was read, so a loaded machine's slow frames do not count."""

import bisect
import os
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402

DEMO = xtools.binary("tessellune_demo")
RATE = 44100
BUFFER = 1024      # the audio layer's device buffer, in stereo frames
FRAME = 0.012      # the frame timer's shortest frame
BLOCK = 512 / RATE  # the audio layer mixes and publishes in blocks of this many frames
LENGTH = 92.16     # the production: twelve orders of 7.68 s


def run_live(folder):
    """[(CLOCK_MONOTONIC, bytes)] of the disk file at each change, and the clock log's frames."""
    raw, log = os.path.join(folder, "sound.raw"), os.path.join(folder, "clock.txt")
    env = dict(os.environ, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=raw)
    program = subprocess.Popen([DEMO, "--resolution", "320x180", "--clock-log", log], cwd=xtools.SOURCE_DIR,
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    sizes, deadline = [], time.monotonic() + LENGTH + 60
    while program.poll() is None and time.monotonic() < deadline:
        size = os.path.getsize(raw) if os.path.exists(raw) else 0
        if not sizes or size != sizes[-1][1]:
            sizes.append((time.monotonic(), size))
        time.sleep(0.0005)
    program.kill()
    _, errors = program.communicate()
    assert program.returncode == 0, errors.decode(errors="replace")
    with open(log) as f:
        frames = [tuple(map(float, line.split())) for line in f]
    with open(raw, "rb") as f:
        data = f.read()
    start = next(i for i in range(0, len(data), 4) if data[i:i + 4] != bytes(4))
    # Under load SDL writes whole buffers of its own silence between ours: they
    # delay the music rather than play it. The production's music has no
    # buffer of digital silence of its own before its end.
    chunk = 4 * BUFFER
    last = max(i for i in range(0, len(data), chunk) if data[i:i + chunk].strip(b"\0"))
    silent = [i for i in range(start // chunk * chunk + chunk, last, chunk) if not data[i:i + chunk].strip(b"\0")]
    return [(at, size - start - chunk * bisect.bisect_left(silent, size)) for at, size in sizes], frames


def heard(sizes, moment):
    """Seconds of music heard at `moment`; None before the first buffer."""
    i = bisect.bisect_right([s[0] for s in sizes], moment) - 1
    if i < 0 or sizes[i][1] <= 0:
        return None
    written_at, size = sizes[i]
    return (size / 4 - BUFFER) / RATE + min(moment - written_at, BUFFER / RATE)


class ClockLock(unittest.TestCase):
    def test_every_frame_shows_the_music_being_heard(self):
        with tempfile.TemporaryDirectory(prefix="tessellune-clock-") as folder:
            sizes, frames = run_live(folder)
        self.assertGreater(len(frames), LENGTH / 0.2, "frames all through the production")
        self.assertAlmostEqual(frames[-1][1], LENGTH, delta=1.0, msg="it ran to its end")
        times = [scene for _, scene, _ in frames]
        self.assertEqual(times, sorted(times), "the scene time never runs backwards")
        for (_, scene, shown_at), (_, next_scene, next_at) in zip(frames, frames[1:]):
            self.assertLessEqual(next_scene - scene, 2 * (next_at - shown_at) + FRAME,
                                 "no frame jumps ahead at %.3f s" % scene)
        offsets = [scene - heard(sizes, at) for _, scene, at in frames if heard(sizes, at) is not None]
        self.assertGreater(len(offsets), len(frames) * 0.95)
        bound = FRAME + BLOCK
        within = sum(abs(d) <= bound for d in offsets) / len(offsets)
        worst = max(offsets, key=abs)
        report = "picture minus music: median %+.1f ms, worst %+.1f ms, %.1f %% within %.1f ms" % (
            1000 * statistics.median(offsets), 1000 * worst, 100 * within, 1000 * bound)
        print(report)
        self.assertLessEqual(abs(statistics.median(offsets)), bound, report)
        # The whole run in step: the start and the end alike, not on average.
        for part in (offsets[:len(offsets) // 10], offsets[-len(offsets) // 10:]):
            self.assertLessEqual(abs(statistics.median(part)), bound, report)
        self.assertGreaterEqual(within, 0.95, report)


if __name__ == "__main__":
    unittest.main()
