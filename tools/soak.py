#!/usr/bin/python3
"""The soak run behind tools/soak.sh: the real player on twenty short songs
in every format, each opened once with NEXT, then clicked at random for a
given time while the automatic advance runs between the clicks. Run it
through tools/soak.sh, which builds the program, sets the sanitizer options
and provides the X display.

Passing: alive at the end, exit status 0 on a close request, no sanitizer
report, and resident memory after the first minute growing by less than
2 MB over the rest of the run."""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import xtools  # noqa: E402

GUI_W, GUI_H = 800, 500
SONGS = 20
BUTTONS = {"PREV": (35, 425), "PLAY": (95, 425), "STOP": (155, 425), "NEXT": (215, 425)}
# Relative weights of the actions; STOP is rarer so that songs mostly play.
ACTIONS = [("PREV", 2), ("PLAY", 3), ("STOP", 1), ("NEXT", 3), ("elsewhere", 2)]
SAMPLE_SECONDS = 2.5
FIRST_MINUTE = 60.0
# Resident memory is judged on the median of the samples of a 30-second
# window, so that a song's decoder or a large buffer that happens to be
# alive at one sampling moment is not taken for growth; a leak keeps the
# median rising.
WINDOW = 30.0
GROWTH_LIMIT_KB = 2048
SANITIZER_MARKERS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                     "LeakSanitizer has encountered", "SUMMARY: AddressSanitizer",
                     "SUMMARY: UndefinedBehaviorSanitizer")


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS for %d" % pid)


def song_starts(spy):
    """Every song start sets the caption, also to the same text."""
    return sum(1 for caption in spy.captions() if caption != "Tessellune")


class Soak:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.clicks = {name: 0 for name, _ in ACTIONS}
        self.samples = []  # (seconds since start, VmRSS in kB)

    def start(self, folder):
        music = os.path.join(folder, "data", "music")
        os.makedirs(music)
        subprocess.run([xtools.binary("make_test_songs"), music, str(SONGS)], check=True,
                       stdout=subprocess.DEVNULL)
        self.program = xtools.Program([xtools.binary("tessellune")], cwd=folder, env={
            "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/dev/null"})
        self.program.wait_window(120)
        self.size = self.program.geometry()
        self.spy = xtools.CaptionSpy(self.program.window)
        self.began = time.time()
        self.sample()

    def sample(self):
        t, kb = time.time() - self.began, resident_kb(self.program.process.pid)
        if self.samples and int(t // 60) > int(self.samples[-1][0] // 60):
            print("soak: minute %d: resident memory %.1f MB, %d songs started, %d clicks"
                  % (t // 60, kb / 1024, song_starts(self.spy), sum(self.clicks.values())), flush=True)
        self.samples.append((t, kb))

    def alive(self):
        if self.program.process.poll() is not None:
            raise SystemExit("soak: FAILED: the player ended with status %s during the run\n%s"
                             % (self.program.process.returncode, self.program.stderr()[-4000:]))

    def wait(self, seconds):
        """Sleeps, sampling memory on schedule and watching the process."""
        end = time.time() + seconds
        while True:
            self.alive()
            if time.time() - self.began >= len(self.samples) * SAMPLE_SECONDS:
                self.sample()
            left = end - time.time()
            if left <= 0:
                return
            time.sleep(min(left, 0.25))

    def click_at(self, gx, gy):
        w, h = self.size
        x, y = int(gx * w / GUI_W), int((GUI_H - gy) * h / GUI_H)
        xtools.xdotool("mousemove", "--window", self.program.window, x, y)
        xtools.xdotool("click", "--window", self.program.window, 1)

    def act(self):
        name = self.rng.choices([a for a, _ in ACTIONS], [w for _, w in ACTIONS])[0]
        if name == "elsewhere":
            # Anywhere but the button row (400-450): the logo, the label, the black.
            gy = self.rng.choice([self.rng.uniform(0, 400), self.rng.uniform(451, GUI_H - 1)])
            self.click_at(self.rng.uniform(0, GUI_W - 1), gy)
            self.clicks[name] += 1
        else:
            self.press(name)

    def press(self, name):
        gx, gy = BUTTONS[name]
        self.click_at(gx + self.rng.uniform(-8, 8), gy + self.rng.uniform(-4, 4))
        self.clicks[name] += 1

    def warm_up(self):
        """Every song opened once in the first minute. The sanitizer's
        allocator keeps what it was given, so the first meeting with the
        largest file or a decoder's buffers raises resident memory once for
        good; met after the first minute, that step would read as growth."""
        self.press("PLAY")
        self.wait(0.5)
        for _ in range(SONGS):
            self.press("NEXT")
            self.wait(0.5)

    def pause(self):
        """Mostly quick successions; now and then long enough for a song or
        two to run out and the advance to move on."""
        if self.rng.random() < 0.7:
            return self.rng.uniform(0.03, 1.5)
        return self.rng.uniform(2.0, 10.0)

    def run(self):
        duration = self.args.minutes * 60.0
        self.warm_up()
        while time.time() - self.began < duration:
            self.act()
            self.wait(min(self.pause(), max(0.0, duration - (time.time() - self.began))))
        self.alive()
        self.sample()

    def finish(self):
        p = self.program
        p.close()
        try:
            status = p.wait(180)
        except subprocess.TimeoutExpired:
            raise SystemExit("soak: FAILED: no exit within 180 s of the close request")
        self.spy.stop()
        return status


def median_kb(samples, begin, end):
    """The median of the samples taken from `begin` to `end` seconds."""
    values = sorted(kb for t, kb in samples if begin <= t <= end)
    return values[len(values) // 2] if values else None


def report(soak, status, elapsed):
    out, err = soak.program.stdout(), soak.program.stderr()
    samples = soak.samples
    start_kb = samples[0][1]
    end_t = samples[-1][0]
    minute_kb = median_kb(samples, FIRST_MINUTE, FIRST_MINUTE + WINDOW)
    end_kb = median_kb(samples, end_t - WINDOW, end_t)
    growth = end_kb - minute_kb if minute_kb is not None else 0
    clicks = sum(soak.clicks.values())
    print("soak: seed %d, %.1f minutes asked, %.0f s run" % (soak.args.seed, soak.args.minutes, elapsed))
    print("soak: songs started %d (caption changes), of them %d by NEXT or the advance (trace lines)"
          % (song_starts(soak.spy), out.count("current_song:")))
    print("soak: clicks %d (%s)" % (clicks, ", ".join("%s %d" % kv for kv in soak.clicks.items())))
    later = [kb for t, kb in samples if t >= FIRST_MINUTE] or [start_kb]
    print("soak: resident memory at start %.1f MB; after the first minute (median of %.0f-%.0f s) "
          "%.1f MB; at the end (median of the last %.0f s) %.1f MB; after the first minute "
          "between %.1f and %.1f MB; growth %+.2f MB (limit +2 MB)"
          % (start_kb / 1024, FIRST_MINUTE, FIRST_MINUTE + WINDOW, (minute_kb or 0) / 1024, WINDOW,
             end_kb / 1024, min(later) / 1024, max(later) / 1024, growth / 1024))
    failures = []
    if status != 0:
        failures.append("exit status %d on the close request" % status)
    found = [m for m in SANITIZER_MARKERS if m in err]
    if found:
        failures.append("sanitizer report (%s)" % ", ".join(found))
    if end_t < FIRST_MINUTE + 2 * WINDOW - SAMPLE_SECONDS:
        failures.append("the run was too short to judge memory after the first minute")
    elif growth >= GROWTH_LIMIT_KB:
        failures.append("resident memory grew by %.2f MB after the first minute (limit 2 MB)"
                        % (growth / 1024))
    if failures:
        print("soak: FAILED: " + "; ".join(failures))
        print("soak: the player's standard error ends with:\n" + err[-6000:])
        return 1
    print("soak: passed")
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=2.0)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    if args.seed is None:
        args.seed = random.SystemRandom().randrange(1, 2 ** 31)
    print("soak: seed %d (repeat with --seed %d)" % (args.seed, args.seed), flush=True)
    folder = tempfile.mkdtemp(prefix="tessellune-soak-")
    soak = Soak(args)
    try:
        soak.start(folder)
        soak.run()
        status = soak.finish()
        return report(soak, status, time.time() - soak.began)
    finally:
        if getattr(soak, "program", None):
            soak.program.kill()
        shutil.rmtree(folder, True)


if __name__ == "__main__":
    sys.exit(main())
