#!/usr/bin/python3
"""The short session behind tools/valgrind.sh: the player started under the
command given on the command line (valgrind and the program), PLAY, NEXT
through songs of every format, PREV, STOP and a close request. Exits with
the program's status, which valgrind replaces by its error exit code when
it found anything; run it through tools/valgrind.sh."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import xtools  # noqa: E402

GUI_W, GUI_H = 800, 500
PREV, PLAY, STOP, NEXT = (35, 425), (95, 425), (155, 425), (215, 425)
SONGS = ["01/06. Song 01 (WAV) (00:02)", "02/06. Song 02 (FLAC) (00:03)",
         "03/06. Song 03 (Ogg Vorbis) (00:04)", "04/06. Song 04 (Opus) (00:05)",
         "05/06. Song 05 (MP3) (00:02)", "06/06. Song 06 (module) (00:03)"]


def main():
    folder, command = sys.argv[1], sys.argv[2:]
    program = xtools.Program(command, cwd=folder)
    try:
        program.wait_window(300)
        w, h = program.geometry()

        def press(button, caption, tries=1):
            for _ in range(tries):
                program.click(int(button[0] * w / GUI_W), int((GUI_H - button[1]) * h / GUI_H))
                if program.wait_caption(caption, 30):
                    time.sleep(1.0)  # let it play a while
                    return
            raise SystemExit("valgrind session: %r never showed; the caption is %r"
                             % (caption, program.caption()))

        # Clicks before the main loop runs are drained by the start-up.
        press(PLAY, SONGS[0], tries=10)
        for caption in SONGS[1:]:
            press(NEXT, caption)
        press(PREV, SONGS[4])
        program.click(int(STOP[0] * w / GUI_W), int((GUI_H - STOP[1]) * h / GUI_H))
        time.sleep(1.0)
        program.close()
        status = program.wait(300)
        print("valgrind session: 6 songs played, PREV, STOP, closed; exit status %d" % status)
        return status
    finally:
        program.kill()


if __name__ == "__main__":
    sys.exit(main())
