"""The music player used as a person uses it: clicks on the player screen,
the caption, the pixels on screen and the sound that really left the
program (SDL's disk audio driver)."""

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import xtools  # noqa: E402

PLAYER = xtools.binary("tessellune")
GUI_W, GUI_H = 800, 500
# Button centres in GUI units (origin lower left).
PREV, PLAY, STOP, NEXT = (35, 425), (95, 425), (155, 425), (215, 425)
TITLES = ["Alpha", "Beta Two", "Gamma Ray Three"]
TONES = [440.0, 660.0, 880.0]


class PlayerSession:
    """One player process on a playlist of three tones, in a folder of its own."""

    def __init__(self, test, *args):
        self.folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        test.addCleanup(shutil.rmtree, self.folder, True)
        music = songs.write_playlist(self.folder, [
            ("tone%d.wav" % i, TITLES[i], 60) for i in range(3)])
        for i, hz in enumerate(TONES):
            songs.write_tone(os.path.join(music, "tone%d.wav" % i), hz, 12.0)
        self.capture = songs.Capture(os.path.join(self.folder, "sound.raw"))
        self.program = xtools.Program([PLAYER, *args], cwd=self.folder, env={
            "SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": self.capture.path})
        test.addCleanup(self.program.kill)
        self.program.wait_window()
        self.size = self.program.geometry()
        self.wait_ready()

    def wait_ready(self, timeout=10.0):
        """Until the player screen shows (white button text on black): a
        click during the start-up's loading frame, white with a black bar,
        belongs to the loading loop, not to the buttons."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            _, _, rows = self.shot()
            x0, y1 = self.to_window(15, 418)
            x1, y0 = self.to_window(55, 431)
            text = any(min(rows[y][x]) > 200 for y in range(y0, y1) for x in range(x0, x1))
            bx, by = self.to_window(700, 470)
            if text and rows[by][bx] == (0, 0, 0):
                return
            time.sleep(0.1)
        raise AssertionError("the player screen never showed")

    def to_window(self, gx, gy):
        w, h = self.size
        return int(gx * w / GUI_W), int((GUI_H - gy) * h / GUI_H)

    def click(self, button):
        self.program.click(*self.to_window(*button))

    def sound_after(self, settle=0.4, listen=1.2):
        """The left channel of what was played during `listen` seconds,
        starting `settle` seconds from now."""
        time.sleep(settle)
        self.capture.mark()
        time.sleep(listen)
        return self.capture.left_channel()

    def shot(self):
        return xtools.screenshot(self.program.window)


class ListSession(PlayerSession):
    """The player started on lists of a person's own (`args`) in `folder`,
    with its sound captured from SDL's disk driver and every caption change
    followed as it happens."""

    def __init__(self, test, folder, *args, env=None):
        self.folder = folder
        self.capture = songs.Capture(os.path.join(folder, "sound-%d.raw" % time.monotonic_ns()))
        self.program = xtools.Program([PLAYER, *args], cwd=folder, env=dict(
            env or {}, SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.capture.path))
        test.addCleanup(self.program.kill)
        self.program.wait_window()
        self.size = self.program.geometry()
        self.wait_ready()
        self.spy = xtools.CaptionSpy(self.program.window)
        test.addCleanup(self.spy.stop)


def white_columns(shot, gx0, gy0, gx1, gy1):
    """GUI x of every white pixel in the GUI rectangle (800 x 500 window)."""
    _, _, rows = shot
    found = []
    for gy in range(gy0, gy1):
        row = rows[GUI_H - 1 - gy]
        for gx in range(gx0, gx1):
            if min(row[gx]) > 200:
                found.append(gx)
    return found


def label_start(shot):
    """Where the song label's text begins, GUI x; None when it is empty."""
    columns = white_columns(shot, 0, 356, 800, 372)
    return min(columns) if columns else None


def label_x(title):
    return (80 - len(title)) * 5


class PlayerScreen(unittest.TestCase):
    def test_first_frame_shows_logo_and_buttons_white_on_black(self):
        session = PlayerSession(self)
        time.sleep(0.5)
        shot = session.shot()
        # Raster positions: "PREV" at (15, 420), logo line 0 at (3, 305);
        # glyph rows reach 2 below and 10 above them.
        prev = white_columns(shot, 0, 418, 60, 431)
        self.assertTrue(prev, "no button text")
        self.assertEqual(min(prev), 15)
        for x in (75, 135, 195):
            self.assertTrue(white_columns(shot, x, 418, x + 8, 431), x)
        logo = white_columns(shot, 0, 303, 800, 316)
        self.assertTrue(logo, "no logo line 0")
        self.assertGreaterEqual(min(logo), 3)
        self.assertFalse(white_columns(shot, 300, 440, 800, 500), "background is black")
        _, _, rows = shot
        self.assertEqual(rows[10][700], (0, 0, 0))

    def test_transport_buttons_drive_playback(self):
        s = PlayerSession(self)
        p = s.program
        s.click(PLAY)
        self.assertTrue(p.wait_caption("01/03. Alpha (01:00)"), p.caption())
        heard = s.sound_after()
        self.assertGreater(songs.rms(heard), 0.1)
        self.assertAlmostEqual(songs.frequency(heard), 440.0, delta=440 * 0.002)
        self.assertEqual(label_start(s.shot()), label_x("Alpha"))

        s.click(NEXT)
        self.assertTrue(p.wait_caption("02/03. Beta Two (01:00)"), p.caption())
        self.assertIn("current_song:0, song_i:3, modulo:1\n", p.stdout())
        self.assertAlmostEqual(songs.frequency(s.sound_after()), 660.0, delta=660 * 0.002)
        self.assertEqual(label_start(s.shot()), label_x("Beta Two"))

        s.click(STOP)
        time.sleep(0.3)
        self.assertLess(songs.rms(s.sound_after()), 0.001, "STOP silences")

        s.click(NEXT)
        time.sleep(0.3)
        self.assertEqual(label_start(s.shot()), label_x("Gamma Ray Three"))
        self.assertEqual(p.caption(), "02/03. Beta Two (01:00)", "NEXT while stopped moves the label only")
        self.assertLess(songs.rms(s.sound_after()), 0.001)

        s.click(PREV)
        s.click(PREV)
        time.sleep(0.3)
        self.assertEqual(label_start(s.shot()), label_x("Alpha"))
        s.click(PREV)
        time.sleep(0.3)
        self.assertEqual(label_start(s.shot()), label_x("Gamma Ray Three"), "PREV on the first selects the last")

        s.click(PLAY)
        self.assertTrue(p.wait_caption("03/03. Gamma Ray Three (01:00)"), p.caption())
        self.assertAlmostEqual(songs.frequency(s.sound_after()), 880.0, delta=880 * 0.002)

    def test_holding_a_button_acts_once_and_keys_do_nothing(self):
        s = PlayerSession(self)
        p = s.program
        x, y = s.to_window(*NEXT)
        xtools.xdotool("mousemove", "--window", p.window, x, y)
        xtools.xdotool("mousedown", "--window", p.window, 1)
        time.sleep(0.8)
        xtools.xdotool("mouseup", "--window", p.window, 1)
        time.sleep(0.3)
        self.assertEqual(p.stdout().count("current_song:"), 1, p.stdout())

        p.key("Escape")
        p.key("Return")
        time.sleep(0.5)
        self.assertIsNone(p.process.poll(), "Escape does not end the player")
        self.assertEqual(p.caption(), "Tessellune")
        self.assertEqual(p.stdout().count("current_song:"), 1)

    def test_clicks_land_on_the_buttons_in_a_larger_window(self):
        s = PlayerSession(self, "--resolution", "1024x768")
        self.assertEqual(s.size, (1024, 768))
        s.click(PLAY)
        self.assertTrue(s.program.wait_caption("01/03. Alpha (01:00)"), s.program.caption())
        s.click(NEXT)
        self.assertTrue(s.program.wait_caption("02/03. Beta Two (01:00)"), s.program.caption())
        s.click(STOP)
        time.sleep(0.3)
        self.assertLess(songs.rms(s.sound_after()), 0.001)

    def test_closing_the_window_stops_the_sound_and_ends_cleanly(self):
        s = PlayerSession(self)
        s.click(PLAY)
        self.assertTrue(s.program.wait_caption("01/03. Alpha (01:00)"))
        self.assertGreater(songs.rms(s.sound_after(0.2, 0.5)), 0.1)
        s.program.close()
        self.assertEqual(s.program.wait(), 0, s.program.stderr())

        s = PlayerSession(self)
        s.click(PLAY)
        self.assertTrue(s.program.wait_caption("01/03. Alpha (01:00)"))
        s.program.terminate()
        self.assertEqual(s.program.wait(), 0, s.program.stderr())


class EmptyPlayer(unittest.TestCase):
    def test_no_playlist_shows_a_hint_and_buttons_do_nothing(self):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        p = xtools.Program([PLAYER], cwd=folder, env={"SDL_AUDIODRIVER": "dummy"})
        self.addCleanup(p.kill)
        p.wait_window()
        for button in (PLAY, NEXT, PREV, STOP):
            p.click(button[0], GUI_H - button[1])
        time.sleep(0.5)
        self.assertIsNone(p.process.poll())
        self.assertEqual(p.caption(), "Tessellune")
        self.assertIsNotNone(label_start(xtools.screenshot(p.window)), "a hint in the label")
        p.close()
        self.assertEqual(p.wait(), 0, p.stderr())


if __name__ == "__main__":
    unittest.main(verbosity=2)
