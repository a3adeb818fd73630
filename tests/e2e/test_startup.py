"""The real player binary started as a person would: switches, window size,
caption, closing."""

import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402

PLAYER = xtools.binary("tessellune")


def start(test, *args, cwd=None):
    program = xtools.Program([PLAYER, *args], cwd=cwd, env={"SDL_AUDIODRIVER": "dummy"})
    test.addCleanup(program.kill)
    return program


class SwitchesBeforeAnyWindow(unittest.TestCase):
    """Refused switches end the program with status 1 before a window opens,
    and say why on the standard error."""

    def refused(self, *args):
        program = start(self, *args)
        status = program.wait(20)
        self.assertEqual(status, 1, args)
        self.assertFalse(xtools.window_exists_for(program.process.pid))
        err = program.stderr()
        self.assertEqual(len(err.strip().splitlines()), 1, err)
        self.assertIn("usage: tessellune", err)
        return err

    def test_misspelled_switches_are_refused(self):
        self.assertIn('"-muteSound"', self.refused("-muteSound"))
        self.refused("--MuteSound")
        self.refused("--muteSound", "extra")

    def test_value_switch_without_its_value_is_refused(self):
        for switch in ("--changePosition", "--resolution", "--fullscreen"):
            self.assertIn("missing value", self.refused("--muteSound", switch))

    def test_absurd_window_sizes_are_refused(self):
        for value in ("0x500", "-800x500", "100000x100000", "800x0"):
            self.refused("--resolution", value)

    def test_help_prints_usage_and_succeeds(self):
        for switch in ("--help", "-h"):
            program = start(self, switch)
            self.assertEqual(program.wait(20), 0)
            self.assertTrue(program.stdout().startswith("usage: tessellune"))
            self.assertIn("--playlist", program.stdout())

    def test_a_playlist_path_with_nothing_to_play_is_refused_with_the_reason(self):
        empty = tempfile.mkdtemp(prefix="tessellune-e2e-")
        self.addCleanup(shutil.rmtree, empty, True)
        for path, reason in (("/nonexistent/My Music.m3u", "No such file or directory"),
                             (empty, "no music files in this folder")):
            for muted in ((), ("--muteSound",)):
                program = start(self, *muted, "--playlist", path)
                self.assertEqual(program.wait(20), 1, path)
                self.assertFalse(xtools.window_exists_for(program.process.pid))
                self.assertEqual(program.stderr(), 'tessellune: --playlist "%s": %s\n' % (path, reason))


class Window(unittest.TestCase):
    def run_until_window(self, *args):
        program = start(self, "--muteSound", *args)
        program.wait_window()
        return program

    def test_default_window_is_800_by_500_and_captioned(self):
        program = self.run_until_window()
        self.assertTrue(program.wait_caption("Tessellune"), program.caption())
        self.assertEqual(program.geometry(), (800, 500))
        program.terminate()
        self.assertEqual(program.wait(), 0, program.stderr())

    def test_resolution_switch_sizes_the_window(self):
        self.assertEqual(self.run_until_window("--resolution", "1024x768").geometry(), (1024, 768))
        self.assertEqual(self.run_until_window("--resolution", "1024").geometry(), (1024, 500))
        self.assertEqual(self.run_until_window("--resolution", "abc").geometry(), (800, 500))

    def test_accepted_switches_change_nothing_visible(self):
        program = self.run_until_window("--noMenu", "--changePosition", "1:30.000", "--fullscreen", "abc")
        self.assertTrue(program.wait_caption("Tessellune"))
        self.assertEqual(program.geometry(), (800, 500))

    def test_close_request_and_sigterm_end_with_status_zero(self):
        program = self.run_until_window()
        program.close()
        self.assertEqual(program.wait(), 0, program.stderr())
        program = self.run_until_window()
        program.terminate()
        self.assertEqual(program.wait(), 0, program.stderr())


class NoDisplay(unittest.TestCase):
    def test_missing_display_exits_1_with_the_reason(self):
        program = xtools.Program([PLAYER, "--muteSound"], env={"DISPLAY": ":9999", "SDL_VIDEODRIVER": "x11"})
        self.addCleanup(program.kill)
        self.assertEqual(program.wait(20), 1)
        self.assertIn("cannot open", program.stderr())


if __name__ == "__main__":
    unittest.main(verbosity=2)
