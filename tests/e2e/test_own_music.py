"""A person's own music: the player started on a folder of songs that carry
no length anywhere, driven by the keyboard alone. What it played is judged
on the program's own clock, the sound it sent to SDL's disk driver, not on
when a caption happened to be polled."""

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import test_player  # noqa: E402
import xtools  # noqa: E402

# (file, tone, seconds): lengths off the whole second, so a song that is
# left by a rounded length (too early, or with a silence after it) shows.
SONGS = [("1 Low.wav", 440.0, 1.6), ("2 Middle.wav", 660.0, 1.3), ("3 High.wav", 880.0, 1.9)]
RATE = songs.CAPTURE_RATE  # written at the device rate: nothing resampled
CAPTIONS = ["01/03. 1 Low (00:01)", "02/03. 2 Middle (00:01)", "03/03. 3 High (00:01)"]


class OwnMusicSession(test_player.PlayerSession):
    """The player on a folder of its own, started away from the repository."""

    def __init__(self, test):
        self.folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        test.addCleanup(shutil.rmtree, self.folder, True)
        music = os.path.join(self.folder, "My Music")
        os.makedirs(music)
        for name, hz, seconds in SONGS:
            songs.write_tone(os.path.join(music, name), hz, seconds, rate=RATE)
        self.capture = songs.Capture(os.path.join(self.folder, "sound.raw"))
        self.program = xtools.Program([test_player.PLAYER, "--playlist", music], cwd=self.folder, env={
            "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.capture.path})
        test.addCleanup(self.program.kill)
        self.program.wait_window()
        self.size = self.program.geometry()
        self.wait_ready()


def tone_runs(samples):
    """(start, end, frequency) in seconds of every stretch of one steady
    tone: rising zero crossings a steady period apart. A silence has no
    crossings; another song changes the period. Start and end are those of
    the first and last whole cycle, so each is within one period."""
    crossings = [i - 1 + (-a) / (b - a) for i, (a, b) in enumerate(zip(samples, samples[1:]), 1)
                 if a < 0 <= b and b - a > 0.01]
    runs, first = [], 0
    for k in range(1, len(crossings) + 1):
        period = crossings[first + 1] - crossings[first] if first + 1 < len(crossings) else 0
        if k == len(crossings) or abs(crossings[k] - crossings[k - 1] - period) > 0.03 * period:
            if k - first >= 10:  # a few stray cycles are no song
                count = k - 1 - first
                hz = count * RATE / (crossings[k - 1] - crossings[first])
                # The first rising crossing comes one cycle after a tone's
                # start at phase 0.
                runs.append(((crossings[first] - RATE / hz) / RATE, crossings[k - 1] / RATE, hz))
            first = k
    return runs


def shows_label(shot, title):
    """Whether the song label shows a text as long as `title`: where its
    ink starts (a digit's glyph starts a column or two into its cell)."""
    start = test_player.label_start(shot)
    return start is not None and 0 <= start - test_player.label_x(title) <= 2


class OwnMusic(unittest.TestCase):
    def test_a_folder_plays_through_by_the_keyboard_each_song_to_its_end(self):
        s = OwnMusicSession(self)
        p = s.program
        self.assertTrue(shows_label(s.shot(), "1 Low"))
        p.key("Page_Down")
        p.key("Page_Down")
        p.key("Page_Up")
        # One key a frame: the label passes "2 Middle" on the way to the
        # third song, so wait for both NEXT moves before looking for it.
        deadline = time.time() + 10
        while p.stdout().count("current_song:") < 2 and time.time() < deadline:
            time.sleep(0.05)
        while not shows_label(s.shot(), "2 Middle") and time.time() < deadline:
            time.sleep(0.1)
        self.assertTrue(shows_label(s.shot(), "2 Middle"))
        self.assertEqual(p.caption(), "Tessellune", "moving the selection plays nothing")
        p.key("Page_Up")
        time.sleep(0.3)
        self.assertTrue(shows_label(s.shot(), "1 Low"))
        # "stopped", 7 characters centred over 80 cells: from x 365.
        stopped = test_player.white_columns(s.shot(), 300, 322, 500, 337)
        self.assertTrue(stopped and 365 <= min(stopped) <= 367 and max(stopped) < 435, "the time line says stopped")

        # Every caption change as it happens: a poll with a new process per
        # look misses whole songs on a loaded machine.
        spy = xtools.CaptionSpy(p.window)
        self.addCleanup(spy.stop)
        p.key("space")
        seen, timeline = [], []
        deadline = time.time() + 60  # generous: the machine may be loaded
        while len(seen) < 4 and time.time() < deadline:
            seen = [c for c in spy.captions() if c != "Tessellune"]
            if not timeline and seen and seen[-1] == CAPTIONS[1]:
                timeline = test_player.white_columns(s.shot(), 300, 322, 500, 337)
            time.sleep(0.05)
        p.key("s")
        seen = seen[:4]
        self.assertEqual(seen, CAPTIONS + CAPTIONS[:1], "the captions in order, then the first again" + repr(spy.captions()) + p.stdout() + p.stderr())
        # "0:00 / 0:02", 11 characters: from x 345, wider than "stopped".
        self.assertTrue(timeline and min(timeline) < 360, "the time line shows while a song plays")
        deadline = time.time() + 10
        while not p.stdout().endswith("modulo:0\n") and time.time() < deadline:
            time.sleep(0.1)
        self.assertTrue(p.stdout().endswith(
            "current_song:0, song_i:3, modulo:1\n"   # Page Down, while stopped
            "current_song:1, song_i:3, modulo:2\n"   # Page Down
            "current_song:0, song_i:3, modulo:1\n"   # each song's end, as for NEXT
            "current_song:1, song_i:3, modulo:2\n"
            "current_song:2, song_i:3, modulo:0\n"), p.stdout())

        # Let the stop reach the capture, then read it whole.
        time.sleep(0.5)
        runs = tone_runs(s.capture.left_channel())
        # The first song again is a fourth stretch, unless the stop came
        # within its first ten cycles.
        self.assertIn(len(runs), (3, 4), runs)
        for (name, hz, seconds), (start, end, heard) in zip(SONGS, runs):
            self.assertAlmostEqual(heard, hz, delta=hz * 0.002, msg=name)
            # Each song plays to its last sample: within one cycle at either
            # end of the measured stretch, and 1 ms for the interpolation.
            self.assertAlmostEqual(end - start, seconds, delta=1.0 / hz + 0.001, msg=name)
        for (_, end, _), (start, _, _) in zip(runs, runs[1:]):
            # The next song is queued behind the playing one and follows on
            # the sample; the upper bound allows for buffers of silence the
            # disk driver writes under load (ten device blocks of 23 ms). A
            # song left by a rounded length leaves 0.4 s or more.
            self.assertLess(start - end, 0.23, runs)
            self.assertGreater(start - end, -0.001, runs)
        for start, end, heard in runs[3:]:
            self.assertAlmostEqual(heard, SONGS[0][1], delta=2, msg="then the first again, until stopped")
            self.assertLess(end - start, SONGS[0][2])
        p.close()
        self.assertEqual(p.wait(), 0, p.stderr())


if __name__ == "__main__":
    unittest.main(verbosity=2)
