"""The window caption as the window manager reads it, for titles beyond
ASCII: playlists in UTF-8 and in Latin-1 with accents, an en dash, CJK and a
title so long that the caption is cut. Both properties a window manager may
read are checked with xprop: _NET_WM_NAME (UTF-8) and the legacy WM_NAME,
whose type must fit its text (STRING is Latin-1, COMPOUND_TEXT the rest)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import xtools  # noqa: E402

PLAYER = xtools.binary("tessellune")
GUI_H = 500
PLAY, NEXT = (95, 425), (215, 425)
LENGTH = 30  # long enough that no song ends during the test
PROPERTY = re.compile(r'^(_NET_WM_NAME|WM_NAME)\(([A-Z0-9_]+)\) = "(.*)"$')
LONG = "夜" * 100  # 300 bytes of three-byte characters


def caption(i, count, title):
    """The caption of entry i, cut like the window's 256-byte buffer: at 255
    bytes, backed up to the start of a character."""
    text = ("%02d/%02d. %s (00:%02d)" % (i + 1, count, title, LENGTH)).encode()
    # Decoding drops exactly the character the cut went through, if any.
    return text[:255].decode("utf-8", "ignore")


def window_names(window):
    """{property: (type, text)} as xprop reads them in a UTF-8 locale."""
    env = dict(os.environ, LC_ALL="C.UTF-8")
    out = subprocess.run(["xprop", "-id", str(window), "_NET_WM_NAME", "WM_NAME"],
                         capture_output=True, text=True, env=env, check=True).stdout
    names = {}
    for line in out.splitlines():
        m = PROPERTY.match(line)
        if m:
            names[m.group(1)] = (m.group(2), m.group(3).replace('\\"', '"').replace("\\\\", "\\"))
    return names


class NonAsciiCaptions(unittest.TestCase):
    def play_through(self, titles, encoding):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-captions-")
        self.addCleanup(shutil.rmtree, folder, True)
        music = os.path.join(folder, "data", "music")
        os.makedirs(music)
        lines = ["[playlist]"]
        for i, title in enumerate(titles, 1):
            songs.write_tone(os.path.join(music, "t%d.wav" % i), 440.0, 3.0)
            lines += ["File%d=t%d.wav" % (i, i), "Title%d=%s" % (i, title), "Length%d=%d" % (i, LENGTH)]
        with open(os.path.join(music, "playlist.pls"), "wb") as out:
            out.write(("\n".join(lines) + "\n").encode(encoding))
        program = xtools.Program([PLAYER], cwd=folder, env={"SDL_AUDIODRIVER": "dummy"})
        self.addCleanup(program.kill)
        program.wait_window()
        w, h = program.geometry()
        for i, title in enumerate(titles):
            expected = caption(i, len(titles), title)
            button = PLAY if i == 0 else NEXT
            # The first clicks may still fall into the start-up's loading loop.
            for _ in range(5 if i == 0 else 1):
                program.click(int(button[0] * w / 800), int((GUI_H - button[1]) * h / GUI_H))
                if self.wait_names(program.window, expected):
                    break
            names = window_names(program.window)
            self.assertEqual(names.get("_NET_WM_NAME"), ("UTF8_STRING", expected), title)
            latin1 = all(ord(c) < 256 for c in expected)
            self.assertEqual(names.get("WM_NAME"), ("STRING" if latin1 else "COMPOUND_TEXT", expected),
                             title)
        program.close()
        self.assertEqual(program.wait(), 0, program.stderr())

    def wait_names(self, window, expected, timeout=3.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            names = window_names(window)
            if names.get("_NET_WM_NAME", (None, None))[1] == expected and \
               names.get("WM_NAME", (None, None))[1] == expected:
                return True
            time.sleep(0.05)
        return False

    def test_utf8_titles_reach_the_window_manager_whole_or_cut_on_a_character(self):
        self.play_through(["Café Déjà Vu", "A – B", "東京の夜", LONG], "utf-8")

    def test_latin1_titles_are_shown_as_the_text_they_are(self):
        self.play_through(["Café Déjà Vu", "Über Größe"], "latin-1")


if __name__ == "__main__":
    unittest.main(verbosity=2)
