"""Figures for internet radio against the local streaming server, median of
three runs each: from PLAY to the first sound of the mount, the player's CPU
share of one core while it streams against the same MP3 played from disk,
and from the server's return to sound after a restart. Times come from the
sound captured from SDL's disk driver (its samples are the clock), not from
when a poll happened to look.
    tools/with-xvfb.sh python3 tests/e2e/radio_figures.py
"""

import os
import shutil
import statistics
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import icecast  # noqa: E402
import songs  # noqa: E402
import test_radio  # noqa: E402

RUNS = 3
CPU_SECONDS = 10.0


def first_sound(capture, timeout=30.0):
    """Seconds of captured sound from the mark to the first loud sample."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        samples = capture.left_channel()
        loud = next((i for i, s in enumerate(samples) if abs(s) > 0.1), None)
        if loud is not None:
            return loud / songs.CAPTURE_RATE
        time.sleep(0.1)
    raise RuntimeError("no sound within %.0f s" % timeout)


def cpu_share(pid, seconds=CPU_SECONDS):
    def ticks():
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
        return int(fields[11]) + int(fields[12])  # utime + stime
    start = ticks()
    time.sleep(seconds)
    return (ticks() - start) / os.sysconf("SC_CLK_TCK") / seconds


class Figures(unittest.TestCase):
    def measure(self, station):
        radio = test_radio.Radio(self, "--playlist", station.url)
        radio.capture.mark()
        radio.program.key(test_radio.PLAY)
        to_sound = first_sound(radio.capture)
        streaming = cpu_share(radio.program.process.pid)
        station.stop()
        radio.new_line(radio.lines())
        radio.silence()
        station.start()
        radio.capture.mark()
        back = first_sound(radio.capture)
        radio.close()

        disk = test_radio.Radio(self, "--playlist", os.path.join(station.folder, "feed.m3u"))
        disk.program.key(test_radio.PLAY)
        first_sound(disk.capture)
        from_disk = cpu_share(disk.program.process.pid)
        disk.close()
        return to_sound, streaming, from_disk, back

    def test_figures(self):
        rows = []
        for _ in range(RUNS):
            folder = tempfile.mkdtemp(prefix="tessellune-figures-")
            self.addCleanup(shutil.rmtree, folder, True)
            station = icecast.Icecast(folder, frequency=330)
            self.addCleanup(station.close)
            rows.append(self.measure(station))
            station.close()
        names = ("PLAY to first sound, s", "CPU share streaming", "CPU share from disk",
                 "server back to sound, s")
        for name, values in zip(names, zip(*rows)):
            print("%-26s median %.3f  (runs: %s)" % (name, statistics.median(values),
                                                   ", ".join("%.3f" % v for v in values)))


if __name__ == "__main__":
    unittest.main(verbosity=2)
