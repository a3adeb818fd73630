"""Live editing and rehearsal of the demo. As a sync editor's client,
against an editor scripted here that speaks the editor's side of the
protocol: the greeting, the tracks asked for by the scenes' variable names,
a key that darkens the sky on screen, PAUSE holding the picture, SET_ROW
moving it and the rows reported from there, bad messages ignored,
SAVE_TRACKS writing files that the next run (a capture) reads, and the
editor going away mid-run. A picture saved anew during a run shows, a
broken one leaves the last good one; Space holds the picture and Right
moves it on."""

import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zlib

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402
from test_capture import read_png  # noqa: E402

DEMO = xtools.binary("tessellune_demo")
ROW = 0.12  # seconds a row of the demo's module
WAIT = 20.0  # seconds the program gets to answer, however loaded the machine


def work_folder(folder, copied=()):
    """The demo's data, with a tracks folder of this test's own and the `copied` folders to change."""
    source = os.path.join(xtools.SOURCE_DIR, "data")
    os.makedirs(os.path.join(folder, "data", "production", "tracks"))
    os.symlink(os.path.join(source, "music"), os.path.join(folder, "data", "music"))
    for name in ("images", "art"):
        (shutil.copytree if name in copied else os.symlink)(os.path.join(source, "production", name),
                                                         os.path.join(folder, "data", "production", name))


def write_png(path, rgb, side=8):
    """A plain picture of one colour, written beside and renamed as an editor saves."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(rgb) * side for _ in range(side))
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    with open(path + ".new", "wb") as f:
        f.write(data)
    os.replace(path + ".new", path)


class Editor:
    def __init__(self, server):
        server.settimeout(WAIT)
        self.sock, _ = server.accept()
        self.sock.settimeout(WAIT)
        self.rest = b""

    def take(self, count):
        while len(self.rest) < count:
            chunk = self.sock.recv(4096)
            if not chunk:
                raise AssertionError("the demo closed the connection")
            self.rest += chunk
        taken, self.rest = self.rest[:count], self.rest[count:]
        return taken

    def get_track(self):
        assert self.take(1) == b"\x02", "GET_TRACK expected"
        (length,) = struct.unpack(">I", self.take(4))
        return self.take(length).decode()

    def next_row(self):
        """The row of the next SET_ROW the demo sends."""
        assert self.take(1) == b"\x03"
        return struct.unpack(">I", self.take(4))[0]

    def drain(self):
        """Forgets what the demo has sent so far (it sends nothing while paused)."""
        self.sock.settimeout(0.5)
        try:
            while self.sock.recv(4096):
                pass
        except socket.timeout:
            pass
        self.sock.settimeout(WAIT)
        self.rest = b""

    def send(self, data):
        self.sock.sendall(data)


def set_key(track, row, value, kind=0):
    return struct.pack(">BIIfB", 0, track, row, value, kind)


def corner(window):
    """Brightness of the sky near the top left corner, where no scene draws over it."""
    _, _, rows = xtools.screenshot(window)
    return sum(rows[4][4])


def wait_for(test, what):
    return xtools.wait_until(what, test, WAIT)


class SyncEditor(unittest.TestCase):
    def test_a_session_with_the_editor(self):
        with tempfile.TemporaryDirectory(prefix="tessellune-sync-") as folder:
            work_folder(folder)
            server = socket.create_server(("127.0.0.1", 0))
            port = server.getsockname()[1]
            demo = xtools.Program([DEMO, "--resolution", "320x180", "--from", "0:05",
                                   "--sync-editor", "127.0.0.1:%d" % port],
                                  cwd=folder, env={"SDL_AUDIODRIVER": "dummy"})
            try:
                self.session(demo, Editor(server), folder)
            finally:
                demo.kill()
                server.close()
            # The next run reads what SAVE_TRACKS wrote: a dark sky from the start.
            frames = os.path.join(folder, "frames")
            subprocess.run([DEMO, "--capture", frames, "--fps", "4", "--from", "0:05", "--to", "0:05.25",
                            "--resolution", "160x90"], cwd=folder, check=True, capture_output=True, timeout=180)
            _, _, rows = read_png(os.path.join(frames, "00000.png"))
            self.assertEqual(bytes(rows[2][6:9]), bytes(3), "the saved key darkens the captured sky")

    def test_a_picture_saved_during_the_run_shows(self):
        with tempfile.TemporaryDirectory(prefix="tessellune-reload-") as folder:
            work_folder(folder, copied=("images",))
            demo = xtools.Program([DEMO, "--resolution", "320x180", "--from", "0:05"], cwd=folder,
                                  env={"SDL_AUDIODRIVER": "dummy"})
            try:
                window = demo.wait_window()
                wait_for(lambda: corner(window), "the sky")
                sky = os.path.join(folder, "data", "production", "images", "sky.png")
                saved = time.monotonic()
                write_png(sky, (255, 0, 0))
                wait_for(lambda: xtools.screenshot(window)[2][4][4] == (255, 0, 0), "the new sky")
                print("the new picture showed after %.2f s" % (time.monotonic() - saved))
                with open(sky, "wb") as f:
                    f.write(b"\x89PNG broken")
                wait_for(lambda: "cannot load" in demo.stderr(), "the broken picture's line")
                self.assertEqual(xtools.screenshot(window)[2][4][4], (255, 0, 0), "the last good picture stays")
                self.assertEqual(demo.stderr().count("cannot load"), 1, demo.stderr())
                # The rehearsal keys take the same paths as the editor's PAUSE and SET_ROW.
                demo.key("space")
                time.sleep(0.5)
                held = xtools.screenshot(window)
                time.sleep(0.5)
                self.assertEqual(xtools.screenshot(window), held, "Space holds the picture")
                demo.key("Right")
                wait_for(lambda: xtools.screenshot(window) != held, "Right to move on by a pattern")
            finally:
                demo.kill()

    def session(self, demo, editor, folder):
        self.assertEqual(editor.take(19), b"hello, synctracker!")
        editor.send(b"hello, demo!")
        names = []  # a track's index is the order the demo asks for them in
        while "sky:light" not in names:
            names.append(editor.get_track())
        sky = names.index("sky:light")
        window = demo.wait_window()
        self.assertGreater(wait_for(lambda: corner(window), "the sky"), 0)
        editor.send(set_key(sky, 0, 0.0))
        wait_for(lambda: corner(window) == 0, "the key to darken the sky")
        # Paused, the picture holds; SET_ROW moves it, and playing on reports rows from there.
        editor.send(struct.pack(">BB", 4, 1))
        time.sleep(0.5)
        held = xtools.screenshot(window)
        time.sleep(0.5)
        self.assertEqual(xtools.screenshot(window), held, "PAUSE holds the picture")
        editor.send(struct.pack(">BI", 3, 300))
        wait_for(lambda: xtools.screenshot(window) != held, "SET_ROW to move the picture")
        editor.drain()
        editor.send(struct.pack(">BB", 4, 0))
        self.assertIn(editor.next_row(), range(300, 300 + int(WAIT / ROW)))
        # Bad messages are ignored with a line; a good one after them still counts.
        editor.send(b"\x7f" + set_key(9999, 0, 1.0) + set_key(sky, 0, 1.0, 9) + b"\x05")
        track = os.path.join(folder, "data", "production", "tracks", "sync_sky-3Alight.track")
        wait_for(lambda: os.path.exists(track), "SAVE_TRACKS to write the tracks")
        with open(track, "rb") as f:
            self.assertEqual(f.read(), struct.pack("<IifB", 1, 0, 0.0, 0))
        editor.sock.close()
        wait_for(lambda: "lost" in demo.stderr(), "the lost editor's line")
        time.sleep(0.5)
        self.assertIsNone(demo.process.poll(), "the run goes on without the editor")
        for line in ("unknown command byte 127", "no track 9999", "unknown interpolation 9"):
            self.assertIn(line, demo.stderr())
        demo.close()
        self.assertEqual(demo.wait(), 0)


if __name__ == "__main__":
    unittest.main()
