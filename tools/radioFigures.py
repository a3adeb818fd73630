#!/usr/bin/env python3
"""Figures for internet radio, each the median of three runs against a
local Icecast mount (the e2e tests' fixture, on 127.0.0.1):
  - PLAY to the first sound,
  - the player's CPU share of one core while streaming, beside the same
    music played from its file,
  - the time from the server's return to sound after a restart.
Run from the repository: tools/with-xvfb.sh python3 tools/radioFigures.py
The sound is read from SDL's disk driver as it is written, every 10 ms."""

import array
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
import icecast  # noqa: E402
import xtools  # noqa: E402

PLAYER = os.path.abspath(os.path.join(os.environ.get("TESSELLUNE_BUILD_DIR", "build"), "tessellune"))
LOUD = 3000           # of 32767: the feed's tone, not a decoder's edge
CPU_SECONDS = 10.0


class Player:
    def __init__(self, folder, target):
        self.sound = os.path.join(folder, "sound-%d.raw" % time.monotonic_ns())
        self.program = xtools.Program([PLAYER, "--no-resume", "--no-mpris", "--playlist", target], cwd=folder,
                                      env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.sound})
        self.program.wait_window()
        time.sleep(1.0)  # past start-up

    def size(self):
        return os.path.getsize(self.sound) if os.path.exists(self.sound) else 0

    def sound_after(self, offset, timeout=30.0):
        """Seconds until a loud sample is written past `offset`."""
        start = time.monotonic()
        while time.monotonic() - start < timeout:
            with open(self.sound, "rb") as f:
                f.seek(offset)
                data = f.read()
            samples = array.array("h", data[: len(data) // 2 * 2])
            if any(abs(s) > LOUD for s in samples):
                return time.monotonic() - start
            offset += len(data) // 4 * 4
            time.sleep(0.01)
        raise RuntimeError("no sound within %.0f s: %s" % (timeout, self.program.stderr()))

    def play(self):
        offset = self.size()
        self.program.key("space")
        return self.sound_after(offset)

    def cpu_share(self):
        def used():
            with open("/proc/%d/stat" % self.program.process.pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")
        before, start = used(), time.monotonic()
        time.sleep(CPU_SECONDS)
        return (used() - before) / (time.monotonic() - start)

    def close(self):
        self.program.close()
        self.program.wait()


def measure(folder):
    with icecast.Icecast(folder, frequency=330, title="Figures") as station:
        radio = Player(folder, station.url)
        try:
            first = radio.play()
            streaming = radio.cpu_share()
            station.stop()
            time.sleep(3.0)  # the buffer drains; the player is trying again
            offset = radio.size()
            station.start()
            back = radio.sound_after(offset)
        finally:
            radio.close()
        local = Player(folder, os.path.join(folder, "feed.mp3"))
        try:
            local.play()
            from_file = local.cpu_share()
        finally:
            local.close()
    return first, streaming, from_file, back


def one_run():
    folder = tempfile.mkdtemp(prefix="tessellune-figures-")
    try:
        return measure(folder)
    finally:
        shutil.rmtree(folder, True)


def main():
    runs = [one_run() for _ in range(3)]
    for i, name in enumerate(("PLAY to first sound (s)", "CPU share streaming", "CPU share from the file",
                              "server back to sound (s)")):
        values = [r[i] for r in runs]
        print("%-26s median %.3f   runs %s" % (name, statistics.median(values),
                                               " ".join("%.3f" % v for v in values)))


if __name__ == "__main__":
    main()
