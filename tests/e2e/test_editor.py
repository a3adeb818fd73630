#!/usr/bin/python3
"""The editor program driven from outside: a stroke drawn with the mouse
through xdotool, saved with F1 and again with F2, the drawing files checked
record by record, and Escape ends the program with status 0. The program runs
in a temporary directory, where its drawing files land."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

WIDTH, HEIGHT = 400, 300
TITLE = "Tessellune editor"


def xdo(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True,
                          capture_output=True, text=True).stdout.strip()


def find_window(proc, timeout=20.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if proc.poll() is not None:
            raise AssertionError("the editor ended early with status %d" % proc.returncode)
        found = subprocess.run(["xdotool", "search", "--name", TITLE],
                               capture_output=True, text=True).stdout.split()
        if found:
            return found[0]
        time.sleep(0.1)
    raise AssertionError("no window named %r appeared" % TITLE)


def wait_for_file(path, timeout=10.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            time.sleep(0.2)  # let the write finish
            return
        time.sleep(0.05)
    raise AssertionError("%s was not written" % path)


def read_records(path):
    """Decodes a drawing file: count, width, first point, then differences."""
    data = open(path, "rb").read()
    records, offset = [], 0
    while offset < len(data):
        count, width = struct.unpack_from("<ii", data, offset)
        offset += 8
        points = []
        for j in range(count):
            a, b = struct.unpack_from("<ff", data, offset)
            offset += 8
            points.append((a, b) if j == 0 else (points[-1][0] - a, points[-1][1] - b))
        records.append((width, points))
    assert offset == len(data), "trailing bytes in %s" % path
    return records


def draw_stroke(window):
    # The input layer ignores a press in the first 0.1 s of its clock.
    time.sleep(0.6)
    xdo("mousemove", "--window", window, 50, 100)
    time.sleep(0.2)
    xdo("mousedown", 1)
    time.sleep(0.1)
    for x in range(60, 251, 10):
        xdo("mousemove", "--window", window, x, 100)
        time.sleep(0.05)
    time.sleep(0.1)
    xdo("mouseup", 1)
    time.sleep(0.3)


def check_drawing(path):
    records = read_records(path)
    assert len(records) == 1, "one stroke expected, got %d" % len(records)
    width, points = records[0]
    assert width == 3, "width %d" % width
    assert len(points) >= 5, "only %d points" % len(points)
    # Window y 100 from the top is 200 from the bottom in a 300-pixel window.
    assert points[0] == (50.0, 200.0), "first point %r" % (points[0],)
    assert all(y == 200.0 for _, y in points), "the stroke left its row: %r" % points
    xs = [x for x, _ in points]
    assert xs == sorted(xs) and len(set(xs)) == len(xs), "x not increasing: %r" % xs
    assert xs[-1] >= 200.0, "the stroke stops short at %r" % xs[-1]
    return points


def main():
    if not os.environ.get("DISPLAY"):
        print("test_editor: skipped, no X display")
        return 0
    build = os.environ.get("TESSELLUNE_BUILD_DIR", "build")
    editor = os.path.abspath(os.path.join(build, "tessellune_editor"))
    work = tempfile.mkdtemp(prefix="tessellune-e2e-editor-")
    proc = subprocess.Popen([editor, "--resolution", "%dx%d" % (WIDTH, HEIGHT)], cwd=work,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        window = find_window(proc)
        draw_stroke(window)
        xdo("key", "F1")
        wait_for_file(os.path.join(work, "draw1.dat"))
        points = check_drawing(os.path.join(work, "draw1.dat"))
        xdo("key", "F2")
        wait_for_file(os.path.join(work, "draw2.dat"))
        assert read_records(os.path.join(work, "draw2.dat")) == [(3, points)], "F2 differs"
        xdo("key", "Escape")
        out, err = proc.communicate(timeout=15)
        assert proc.returncode == 0, "status %d: %s" % (proc.returncode, err)
        assert "Ctrl+Z" in out, "the keys were not listed"
        assert "saved 1 strokes in draw1.dat" in out, out
        assert "saved 1 strokes in draw2.dat" in out, out
        print("test_editor: %d points drawn, saved and read back" % len(points))
        return 0
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
