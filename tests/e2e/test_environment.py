"""The programs where the machine falls short: no sound device, a sound
driver that will not open, no playlist, a working directory they may not
write. Each time the program must start, run and end normally, and say what
is missing in exactly one line (or nothing, when nothing it needs is
missing)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from unittest import mock

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import xtools  # noqa: E402

PLAYER = xtools.binary("tessellune")
EDITOR = xtools.binary("tessellune_editor")
GUI_H = 500
PLAY, NEXT = (95, 425), (215, 425)
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
NO_DEVICE = re.compile(r"^tessellune: no audio device \(.+\); playing silently$")
DRIVER_FAILS = re.compile(
    r"^tessellune: the audio driver chosen in SDL_AUDIODRIVER does not open \(.+\); no sound$")
NO_PLAYLIST = ('tessellune: cannot read the playlist "data/music/playlist.pls": '
               "No such file or directory; no songs to play")


def two_song_folder(test):
    """A folder with data/music/playlist.pls naming two one-second tones."""
    folder = tempfile.mkdtemp(prefix="tessellune-e2e-env-")
    test.addCleanup(shutil.rmtree, folder, True)
    music = songs.write_playlist(folder, [("a.wav", "A", 1), ("b.wav", "B", 1)])
    songs.write_tone(os.path.join(music, "a.wav"), 440.0, 2.0)
    songs.write_tone(os.path.join(music, "b.wav"), 660.0, 2.0)
    return folder


def start(test, args, folder, env):
    """Starts a program with exactly the SDL_AUDIODRIVER setting in `env`
    (none when absent), whatever the test runner's environment says."""
    patched = mock.patch.dict(os.environ)
    patched.start()
    try:
        for name in ("SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "AUDIODEV"):
            os.environ.pop(name, None)
        program = xtools.Program(args, cwd=folder, env=env)
    finally:
        patched.stop()
    test.addCleanup(program.kill)
    program.wait_window()
    return program


def click(program, button):
    w, h = program.geometry()
    program.click(int(button[0] * w / 800), int((GUI_H - button[1]) * h / GUI_H))


def press_play(program, caption):
    """PLAY until the caption shows the song: the start-up's loading loop
    drains the events of a click that comes before the main loop runs."""
    for _ in range(5):
        click(program, PLAY)
        if program.wait_caption(caption, 3.0):
            return True
    return False


def lines(text):
    """Standard error's lines besides the one about the missing bus."""
    return [line for line in xtools.without_bus_line(text).splitlines() if line]


class NoAudioDevice(unittest.TestCase):
    def play(self, program):
        self.assertTrue(press_play(program, "01/02. A (00:01)"), program.caption())
        return program

    def test_without_a_device_the_player_plays_silently_after_one_line(self):
        # Every server and card SDL might find is pointed nowhere, so the
        # case is the same on a machine that has sound.
        program = start(self, [PLAYER], two_song_folder(self), {
            "PULSE_SERVER": "unix:/nonexistent/pulse", "PIPEWIRE_REMOTE": "/nonexistent/pipewire",
            "JACK_NO_START_SERVER": "1", "AUDIODEV": "hw:99"})
        self.play(program)
        # Silence still runs in real time: the advance moves on.
        self.assertTrue(program.wait_caption("02/02. B (00:01)", 6.0), program.caption())
        program.close()
        self.assertEqual(program.wait(), 0, program.stderr())
        err = lines(program.stderr())
        self.assertEqual(len(err), 1, err)
        self.assertRegex(err[0], NO_DEVICE)

    def test_a_chosen_driver_that_cannot_open_costs_one_line(self):
        folder = two_song_folder(self)
        for env in ({"SDL_AUDIODRIVER": "nosuchdriver"},
                    {"SDL_AUDIODRIVER": "alsa", "AUDIODEV": "hw:99"},
                    {"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": "/nonexistent/sound.raw"}):
            with self.subTest(**env):
                program = self.play(start(self, [PLAYER], folder, env))
                click(program, NEXT)
                self.assertTrue(program.wait_caption("02/02. B (00:01)"), program.caption())
                program.close()
                self.assertEqual(program.wait(), 0, program.stderr())
                err = lines(program.stderr())
                self.assertEqual(len(err), 1, err)
                self.assertRegex(err[0], DRIVER_FAILS)


class NoDisplay(unittest.TestCase):
    def run_player(self, env):
        environment = {k: v for k, v in os.environ.items()
                       if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
        environment.update(env)
        return subprocess.run([PLAYER, "--muteSound"], env=environment, capture_output=True,
                              text=True, timeout=20)

    def test_without_a_display_the_player_says_so_and_ends(self):
        result = self.run_player({})
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("tessellune: no display to open the window on (DISPLAY is not set or does not "
                      "answer); set DISPLAY, or run tools/play.sh, which uses Xvfb", result.stderr)
        # An unreachable display is no better than none.
        result = self.run_player({"DISPLAY": ":999"})
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("tessellune: no display to open the window on", result.stderr)

    def test_a_video_driver_asked_for_is_used_without_a_word(self):
        environment = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        environment["SDL_VIDEODRIVER"] = "offscreen"
        program = subprocess.Popen([PLAYER, "--muteSound"], env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        time.sleep(3)
        running = program.poll() is None
        program.terminate()
        _, err = program.communicate(timeout=10)
        self.assertTrue(running, "the player ended: %s" % err)
        self.assertNotIn("no display", err)


class NoPlaylist(unittest.TestCase):
    def test_a_missing_playlist_is_named_once_and_the_player_idles(self):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-env-")
        self.addCleanup(shutil.rmtree, folder, True)
        program = start(self, [PLAYER], folder, {"SDL_AUDIODRIVER": "dummy"})
        time.sleep(1.0)  # into the main loop, where clicks are taken
        for button in (PLAY, NEXT, PLAY):
            click(program, button)
        time.sleep(0.5)
        self.assertIsNone(program.process.poll())
        self.assertEqual(program.caption(), "Tessellune")
        program.close()
        self.assertEqual(program.wait(), 0, program.stderr())
        self.assertEqual(lines(program.stderr()), [NO_PLAYLIST])
        self.assertEqual(program.stdout(), "", "no songs announced")


class ReadOnlyWorkingDirectory(unittest.TestCase):
    """The folder is made read-only; as root that binds nobody, so the
    program runs as the unprivileged user nobody."""

    def setUp(self):
        self.folder = two_song_folder(self)
        self.addCleanup(self.make_writable)
        for root, dirs, files in os.walk(self.folder):
            for name in files:
                os.chmod(os.path.join(root, name), 0o444)
            os.chmod(root, 0o555)
        self.prefix = self.unprivileged()
        probe = subprocess.run(self.prefix + ["touch", os.path.join(self.folder, "probe")],
                               capture_output=True)
        if probe.returncode == 0:
            self.skipTest("cannot make a folder that the program may not write")

    def make_writable(self):
        for root, _, _ in os.walk(self.folder):
            os.chmod(root, 0o755)

    def unprivileged(self):
        if os.geteuid() != 0:
            return []
        if not shutil.which("setpriv"):
            self.skipTest("running as root without setpriv: cannot drop privileges")
        for check in (["test", "-x", PLAYER], ["test", "-x", EDITOR], ["xdpyinfo"]):
            if subprocess.run(NOBODY + check, capture_output=True).returncode != 0:
                self.skipTest("user nobody cannot run %s" % " ".join(check))
        return NOBODY

    def test_the_player_plays_and_has_nothing_to_say(self):
        program = start(self, self.prefix + [PLAYER], self.folder, {"SDL_AUDIODRIVER": "dummy"})
        self.assertTrue(press_play(program, "01/02. A (00:01)"), program.caption())
        program.close()
        self.assertEqual(program.wait(), 0, program.stderr())
        # It writes nothing there, so nothing fails and nothing is said.
        self.assertEqual(lines(program.stderr()), [])
        self.assertEqual(sorted(os.listdir(self.folder)), ["data"])

    def test_editor_saves_fail_with_one_line_each_and_it_goes_on(self):
        program = start(self, self.prefix + [EDITOR, "--resolution", "400x300"], self.folder, {})
        time.sleep(0.6)  # the input layer ignores the first 0.1 s of its clock
        xtools.xdotool("mousemove", "--window", program.window, 200, 150)
        for key, name in (("F1", "draw1.dat"), ("F2", "draw2.dat")):
            xtools.xdotool("key", key)
            line = "spline editor: cannot open %s for writing: Permission denied\n" % name
            deadline = time.time() + 10
            while line not in program.stdout() and time.time() < deadline:
                time.sleep(0.05)
            self.assertEqual(program.stdout().count(line), 1, program.stdout())
        time.sleep(0.3)
        self.assertIsNone(program.process.poll(), "the editor ended after a failed save")
        self.assertEqual(sorted(os.listdir(self.folder)), ["data"])
        xtools.xdotool("key", "Escape")
        self.assertEqual(program.wait(), 0, program.stderr())
        self.assertEqual(lines(program.stderr()), [])
        self.assertNotIn("saved", program.stdout())


if __name__ == "__main__":
    unittest.main(verbosity=2)
