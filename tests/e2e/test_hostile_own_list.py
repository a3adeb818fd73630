"""A person's own PLS list as other programs write it, with hostile entries
beside real songs: no titles at all, a FIFO where a song should be (its open
would wait for a writer forever), a missing file that claims a length, and
whole-second lengths that are wrong both ways. One PLAY click, then the list
plays itself through. Every real song must sound to its last sample and be
followed at once by the next; the FIFO and the missing file must be passed
over at once with one line each; SIGTERM must end the player normally.
Judged on what reached SDL's disk driver and on the captions."""

import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import songs  # noqa: E402
import test_own_music  # noqa: E402
import test_player  # noqa: E402
import xtools  # noqa: E402

# (file, tone, real seconds, listed seconds or None): "low" is listed short
# (a list length would cut it 0.3 s early), "high" long (2.7 s of silence).
SONGS = [("low.wav", 440.0, 1.7, 1), ("high.wav", 880.0, 1.3, 4), ("mid.wav", 660.0, 1.45, None)]
RATE = songs.CAPTURE_RATE
CAPTIONS = ["02/05. low (00:01)", "04/05. high (00:01)", "05/05. mid (00:01)"]


def write_list(folder):
    lines = ["[playlist]", "File1=fifo.mp3",
             "File2=low.wav", "Length2=1",
             "File3=missing.ogg", "Length3=8",
             "File4=high.wav", "Length4=4",
             "File5=mid.wav", "NumberOfEntries=5", ""]
    path = os.path.join(folder, "mine.pls")
    with open(path, "w") as out:
        out.write("\n".join(lines))
    return path


class HostileOwnList(unittest.TestCase):
    def test_bad_entries_are_passed_over_and_songs_end_with_their_music(self):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        self.addCleanup(shutil.rmtree, folder, True)
        for name, hz, seconds, _ in SONGS:
            songs.write_tone(os.path.join(folder, name), hz, seconds, rate=RATE)
        os.mkfifo(os.path.join(folder, "fifo.mp3"))
        session = test_player.ListSession(self, folder, "--playlist", write_list(folder))
        p, capture, spy = session.program, session.capture, session.spy

        session.click(test_player.PLAY)
        # Until the list has come round to the first real song again.
        deadline = time.time() + 60  # generous: the machine may be loaded
        while spy.captions().count(CAPTIONS[0]) < 2 and time.time() < deadline:
            time.sleep(0.05)
        signalled = time.monotonic()
        p.terminate()
        self.assertEqual(p.wait(), 0, p.stderr())
        print("SIGTERM to exit: %.0f ms" % ((time.monotonic() - signalled) * 1000), file=sys.stderr)

        shown = [c for c in spy.captions() if c in CAPTIONS]
        self.assertEqual(shown[:4], CAPTIONS + CAPTIONS[:1], spy.captions())
        warnings = {line for line in xtools.without_bus_line(p.stderr()).splitlines()
                    if line.startswith("tessellune:")}
        self.assertEqual(warnings, {'tessellune: cannot play "%s/fifo.mp3": not a regular file' % folder,
                                    'tessellune: cannot play "%s/missing.ogg": No such file or directory'
                                    % folder}, "one reason per bad entry, nothing else")

        runs = test_own_music.tone_runs(capture.left_channel())
        self.assertGreaterEqual(len(runs), 3, runs)
        for (name, hz, seconds, _), (start, end, heard) in zip(SONGS, runs):
            self.assertAlmostEqual(heard, hz, delta=hz * 0.002, msg=name)
            # To its last sample, whatever the list said.
            self.assertAlmostEqual(end - start, seconds, delta=1.0 / hz + 0.001, msg=name)
        gaps = [start - end for (_, end, _), (start, _, _) in zip(runs, runs[1:4])]
        print("silence between songs: %s ms" % ", ".join("%.1f" % (g * 1000) for g in gaps), file=sys.stderr)
        for gap in gaps:
            # A bad entry between two songs is left at once, and a listed
            # length pads nothing: a few device blocks at most (see the
            # folder test); the wrong lengths here would leave 0.4 s or more.
            self.assertLess(gap, 0.23, runs)


if __name__ == "__main__":
    unittest.main(verbosity=2)
