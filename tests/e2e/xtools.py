"""Driving real programs under X as a person would: start them, find their
windows, read captions and pixels, click, type and close."""

import os
import re
import signal
import struct
import subprocess
import tempfile
import threading
import time

SOURCE_DIR = os.environ.get("TESSELLUNE_SOURCE_DIR",
                            os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..")))
BUILD_DIR = os.environ.get("TESSELLUNE_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))


# What the player says, once, where there is no session bus to offer it on;
# the tests run without one unless they start their own.
NO_BUS = re.compile(r"^tessellune: no desktop bus \(.+\); media keys and desktop controls do not reach the player\n",
                    re.MULTILINE)


def without_bus_line(text):
    """The program's standard error less the one line about a missing bus."""
    return NO_BUS.sub("", text, count=1)


def binary(name):
    return os.path.join(BUILD_DIR, name)


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), result.stderr.strip()))
    return result.stdout.strip()


class Program:
    """A started program with its output collected in files."""

    def __init__(self, args, cwd=None, env=None):
        self.out = tempfile.TemporaryFile(mode="w+")
        self.err = tempfile.TemporaryFile(mode="w+")
        full_env = dict(os.environ)
        full_env.update(env or {})
        self.process = subprocess.Popen(args, cwd=cwd or SOURCE_DIR, env=full_env,
                                        stdout=self.out, stderr=self.err)
        self.window = None

    def wait_window(self, timeout=20.0):
        """The program's top-level window id, once it is mapped."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("program ended (%s) before its window appeared: %s"
                                   % (self.process.returncode, self.stderr()))
            ids = xdotool("search", "--onlyvisible", "--pid", self.process.pid, check=False).split()
            if ids:
                self.window = ids[-1]
                return self.window
            time.sleep(0.1)
        tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
        stack = subprocess.run(["gdb", "-p", str(self.process.pid), "-batch", "-ex", "thread apply all bt 8"],
                               capture_output=True, text=True).stdout if os.environ.get("E2E_DEBUG") else ""
        raise RuntimeError("no window after %.0f s; windows of the pid: %r; stderr: %s\n%s\n%s"
                           % (timeout, xdotool("search", "--pid", self.process.pid, check=False),
                              self.stderr(), tree, stack))

    def caption(self):
        return xdotool("getwindowname", self.window)

    def wait_caption(self, text, timeout=10.0):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.caption() == text:
                return True
            time.sleep(0.05)
        return False

    def geometry(self):
        """(width, height) of the window."""
        out = xdotool("getwindowgeometry", "--shell", self.window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["WIDTH"]), int(values["HEIGHT"])

    def click(self, x, y, button=1):
        """Click at window pixel (x, y), origin top left as X counts."""
        xdotool("mousemove", "--window", self.window, x, y)
        time.sleep(0.05)
        xdotool("click", "--window", self.window, button)

    def key(self, name):
        xdotool("key", "--window", self.window, name)

    def close(self):
        """A window manager's close request (WM_DELETE_WINDOW)."""
        subprocess.run([binary("x_close_window"), self.window], check=True)

    def terminate(self):
        self.process.send_signal(signal.SIGTERM)

    def wait(self, timeout=20.0):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise

    def stdout(self):
        self.out.seek(0)
        return self.out.read()

    def stderr(self):
        self.err.seek(0)
        return self.err.read()

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.out.close()
        self.err.close()


class CaptionSpy:
    """Every change of a window's caption as it happens, from xprop's spy
    mode: one long-lived process that reports each change, where polling
    with a new process per look misses or delays changes on a busy machine.
    `changes` holds (time.monotonic() at arrival, caption text); the first
    entry is the caption at the start. _NET_WM_NAME, because SDL sets it
    once per caption (WM_NAME is written twice: see windowSdl). xprop
    writes a caption's non-ASCII letters as octal escapes unless its locale
    is a UTF-8 one, whatever the test run's locale is."""

    def __init__(self, window, atom="_NET_WM_NAME"):
        self.process = subprocess.Popen(["xprop", "-spy", "-id", str(window), atom],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                        encoding="utf-8", env=dict(os.environ, LC_ALL="C.UTF-8"))
        self.changes = []
        self.thread = threading.Thread(target=self.read, daemon=True)
        self.thread.start()

    def read(self):
        for line in self.process.stdout:
            # _NET_WM_NAME(UTF8_STRING) = "01/03. Title (00:01)"
            value = line.split(" = ", 1)[-1].strip()
            if len(value) >= 2 and value[0] == value[-1] == '"':
                value = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
            self.changes.append((time.monotonic(), value))

    def captions(self):
        return [caption for _, caption in list(self.changes)]

    def stop(self):
        self.process.terminate()
        self.process.wait()
        self.thread.join(2)
        self.process.stdout.close()


def wait_until(what, check, timeout):
    """Asks `check` until it gives something true, and returns that; fails
    naming `what` after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = check()
        if result:
            return result
        time.sleep(0.05)
    raise AssertionError("not within %.0f s: %s" % (timeout, what))


def screenshot(window):
    """The window's pixels as (width, height, rows), rows top first, each a
    list of (r, g, b). Read through the X server with xwd."""
    data = subprocess.run(["xwd", "-silent", "-id", str(window)], capture_output=True, check=True).stdout
    return parse_xwd(data)


def parse_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, _, _, depth, width, height = fields[0:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask = fields[14:17]
    ncolors = fields[19]
    offset = header_size + ncolors * 12
    if bits_per_pixel != 32:
        raise RuntimeError("unexpected xwd depth %d" % bits_per_pixel)
    fmt = "<I" if byte_order == 0 else ">I"

    def shift(mask):
        s = 0
        while mask and not mask & 1:
            mask >>= 1
            s += 1
        return s

    rs, gs, bs = shift(red_mask), shift(green_mask), shift(blue_mask)
    rows = []
    for y in range(height):
        line = data[offset + y * bytes_per_line: offset + y * bytes_per_line + width * 4]
        row = []
        for x in range(width):
            (v,) = struct.unpack_from(fmt, line, x * 4)
            row.append(((v & red_mask) >> rs, (v & green_mask) >> gs, (v & blue_mask) >> bs))
        rows.append(row)
    return width, height, rows


def window_exists_for(pid):
    return bool(xdotool("search", "--pid", pid, check=False).split())
