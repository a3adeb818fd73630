"""The player driven from the desktop: a private session bus, the real
command-line remote playerctl and dbus-monitor, as a desktop's media keys
and widgets reach it. What it did is judged on the sound that reached SDL's
disk driver and on the caption, not on the bus's own answers alone."""

import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import test_player  # noqa: E402

# Long enough to seek to 0:30; tones written at a low rate to be quick to make.
SONGS = [("1 Low.wav", 440.0), ("2 Middle.wav", 660.0), ("3 High.wav", 880.0)]
SECONDS = 40
CAPTIONS = ["01/03. 1 Low (00:40)", "02/03. 2 Middle (00:40)", "01/03. 1 Low (00:40)"]
WINDOW = 441  # 10 ms of the capture


class Bus:
    """A session bus of the test's own, ended with the test."""

    def __init__(self, test):
        self.daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        test.addCleanup(self.stop)
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.daemon.stdout.readline().strip())
        self.monitor = None

    def ctl(self, *args):
        result = subprocess.run(["playerctl", *args], env=self.env, capture_output=True, text=True, timeout=20)
        return result.stdout.strip()

    def until(self, expected, *args, timeout=15.0):
        """playerctl's answer, once it is `expected` (or passes that check:
        a request is acted on in a later frame) or the time is up."""
        check = expected if callable(expected) else expected.__eq__
        deadline = time.time() + timeout
        answer = self.ctl(*args)
        while not check(answer) and time.time() < deadline:
            time.sleep(0.1)
            answer = self.ctl(*args)
        return answer

    def watch(self, folder):
        """dbus-monitor's view of the player's signals, from now on."""
        self.log = os.path.join(folder, "monitor.txt")
        with open(self.log, "w") as out:
            self.monitor = subprocess.Popen(
                ["dbus-monitor", "--session", "type='signal',path='/org/mpris/MediaPlayer2'"],
                env=self.env, stdout=out, stderr=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.getsize(self.log) and time.time() < deadline:
            time.sleep(0.05)  # until it is listening: its own NameLost comes first

    def stop(self):
        for process in (self.monitor, self.daemon):
            if process and process.poll() is None:
                process.terminate()
                process.wait(10)
        self.daemon.stdout.close()


class Player(test_player.ListSession):
    def __init__(self, test, bus, folder, music, *args):
        super().__init__(test, folder, "--playlist", music, "--no-resume", *args, env=bus.env)

    def heard(self, settle=0.5, listen=1.0):
        """(level, frequency) of what sounded `settle` seconds from now on:
        the median peak of the 10 ms windows that sound, since under load the
        disk driver writes whole buffers of silence of its own."""
        time.sleep(settle)
        self.capture.mark()
        time.sleep(listen)
        samples = self.capture.left_channel()
        peaks = [max(map(abs, samples[i:i + WINDOW])) for i in range(0, len(samples) - WINDOW, WINDOW)]
        loud = [p for p in peaks if p > 0.02]
        if len(loud) < 10:
            return 0.0, 0.0
        return statistics.median(loud), songs.frequency(samples)


class DesktopBus(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="tessellune-e2e-bus-")
        self.addCleanup(shutil.rmtree, self.folder, True)
        self.music = os.path.join(self.folder, "music")
        os.makedirs(self.music)
        for name, hz in SONGS:
            songs.write_tone(os.path.join(self.music, name), hz, SECONDS, rate=8000)
        self.bus = Bus(self)

    def test_the_remote_controls_what_is_heard_and_the_desktop_is_told(self):
        bus = self.bus
        a = Player(self, bus, self.folder, self.music)
        self.assertEqual(bus.until("Stopped", "-p", "tessellune", "status"), "Stopped")
        bus.watch(self.folder)

        bus.ctl("-p", "tessellune", "play")
        self.assertTrue(a.program.wait_caption(CAPTIONS[0]), a.program.caption())
        self.assertEqual(bus.until("Playing", "-p", "tessellune", "status"), "Playing")
        metadata = bus.ctl("-p", "tessellune", "metadata", "--format", "{{xesam:title}}|{{mpris:length}}|{{xesam:url}}")
        self.assertEqual(metadata, "1 Low|%d|file://%s/1%%20Low.wav" % (SECONDS * 1000000,
                                                                      os.path.realpath(self.music)))
        loud, hz = a.heard()
        self.assertAlmostEqual(hz, 440.0, delta=5)

        bus.ctl("-p", "tessellune", "play-pause")
        self.assertEqual(bus.until("Paused", "-p", "tessellune", "status"), "Paused")
        self.assertEqual(a.heard()[0], 0.0, "paused: nothing sounds")
        bus.ctl("-p", "tessellune", "play-pause")
        self.assertEqual(bus.until("Playing", "-p", "tessellune", "status"), "Playing")
        self.assertAlmostEqual(a.heard()[1], 440.0, delta=5, msg="resumed")

        bus.ctl("-p", "tessellune", "next")
        self.assertTrue(a.program.wait_caption(CAPTIONS[1]), a.program.caption())
        self.assertEqual(bus.until("2 Middle", "-p", "tessellune", "metadata", "title"), "2 Middle")
        bus.ctl("-p", "tessellune", "previous")
        self.assertTrue(a.program.wait_caption(CAPTIONS[2]), a.program.caption())

        bus.ctl("-p", "tessellune", "position", "30")
        position = bus.until(lambda answer: float(answer or 0) >= 30, "-p", "tessellune", "position")
        self.assertTrue(30 <= float(position) < 36, position)
        # Back by 25 s (Seek, where the above was SetPosition): the song
        # then lasts the rest of the test.
        bus.ctl("-p", "tessellune", "position", "25-")
        self.assertLess(float(bus.until(lambda answer: float(answer) < 15, "-p", "tessellune", "position")), 15)

        bus.ctl("-p", "tessellune", "volume", "0.5")
        self.assertAlmostEqual(float(bus.until("0.493039", "-p", "tessellune", "volume")), 0.5, delta=0.01)
        half, hz = a.heard()
        self.assertAlmostEqual(hz, 440.0, delta=5)
        self.assertAlmostEqual(half / loud, 0.5, delta=0.05, msg="the level halves")

        # The desktop was told of the pause and of each song change.
        signals = pathlib.Path(bus.log).read_text().split("\nsignal ")
        told = [s for s in signals if "member=PropertiesChanged" in s]
        self.assertTrue(any(re.search(r'"PlaybackStatus"\s+variant\s+string "Paused"', s) for s in told), signals)
        self.assertTrue(any(re.search(r'"xesam:title"\s+variant\s+string "2 Middle"', s) for s in told), signals)
        self.assertTrue(any("member=Seeked" in s for s in signals), "the seek is told")

        self.second_player_apart(a)

    def second_player_apart(self, a):  # a second player takes a name of its own; each obeys its own
        bus = self.bus
        b = Player(self, bus, self.folder, self.music)
        Player(self, bus, self.folder, self.music, "--no-mpris")  # not on the bus at all
        second = "tessellune.instance%d" % b.program.process.pid
        self.assertEqual(sorted(bus.ctl("-l").split()), sorted(["tessellune", second]))
        bus.ctl("-p", second, "open", "file://%s/3%%20High.wav" % self.music)
        self.assertTrue(b.program.wait_caption("01/01. 3 High (00:40)"), b.program.caption())
        self.assertAlmostEqual(b.heard()[1], 880.0, delta=5)
        self.assertEqual(a.program.caption(), CAPTIONS[2], "the first player goes on with its own song")
        self.assertAlmostEqual(a.heard()[1], 440.0, delta=5)

        subprocess.run(["dbus-send", "--session", "--type=method_call", "--dest=org.mpris.MediaPlayer2.tessellune",
                        "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2.Quit"],
                       env=bus.env, check=True)
        self.assertEqual(a.program.wait(), 0, a.program.stderr())
        self.assertEqual(b.program.process.poll(), None, "only the first player quit")
        b.program.close()
        self.assertEqual(b.program.wait(), 0, b.program.stderr())
        for player in (a, b):
            self.assertNotIn("tessellune:", player.program.stderr(), "a bus: nothing to say")


if __name__ == "__main__":
    unittest.main(verbosity=2)
