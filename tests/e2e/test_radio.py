"""Internet radio as a listener meets it: stations in lists fetched over
HTTP and in lists of one's own, their titles in the caption as they change,
stations that drop, stall, send garbage or a format the player does not
take, and a real streaming server that goes down and comes back. Judged on
the sound that reached SDL's disk driver (each station plays its own tone),
on every caption change and on the program's standard error."""

import os
import shutil
import statistics
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import icecast  # noqa: E402
import songs  # noqa: E402
import streamServer  # noqa: E402
import test_player  # noqa: E402
import xtools  # noqa: E402

WAIT = 30.0      # seconds for anything that should happen soon; generous for a loaded machine
METAINT = 1000   # audio bytes between ICY metadata blocks
MP3_BYTES_PER_SECOND = 8000  # the stations' MP3 at 64 kbit/s
NEXT, PLAY = "Page_Down", "space"


def setUpModule():
    global FOLDER, STATION
    # Module clean-ups run also when the set-up fails half way.
    FOLDER = tempfile.mkdtemp(prefix="tessellune-radio-")
    unittest.addModuleCleanup(shutil.rmtree, FOLDER, True)
    STATION = streamServer.StreamServer()
    unittest.addModuleCleanup(STATION.close)
    s, make = STATION, streamServer.make_stream
    s.stream("/icy.mp3", make(FOLDER, "mp3", 440), metaint=METAINT, icy_status=True, split_meta=True)
    s.redirect("/moved", "/found", 301)
    s.redirect("/found", s.url("/icy.mp3"), 302)
    s.stream("/vorbis", make(FOLDER, "ogg", 660, ["Ogg One", "Ogg Two"]))
    s.stream("/opus", make(FOLDER, "opus", 880, ["Opus One", "Opus Two"]))
    s.file("/stations.pls", "[playlist]\nFile1=%s\nTitle1=Station One\nLength1=-1\n"
           "File2=%s\nTitle2=Ogg Station\nLength2=-1\nNumberOfEntries=2\nVersion=2\n"
           % (s.url("/moved"), s.url("/vorbis")), "audio/x-scpls")
    s.file("/more.m3u", "#EXTM3U\n#EXTINF:-1,Opus Station\n%s\n" % s.url("/opus"), "audio/x-mpegurl")

    s.stall("/silent")
    s.stall("/stalled", headers=True)
    s.stream("/aac", make(FOLDER, "aac", 330))
    s.garbage("/noise")
    for i in range(6):  # more hops than a client may follow, in a circle
        s.redirect("/loop%d" % i, "/loop%d" % ((i + 1) % 6))
    # Drops after about four seconds of audio, then twice more right after
    # the head (the player falls silent), then stays.
    s.stream("/dropping.mp3", make(FOLDER, "mp3", 550), metaint=METAINT, drops=[32000, 0, 0])


def tone(samples):
    """(frequency, loudness): the frequency from the median distance of
    rising zero crossings, which the short silences a lossy stream has where
    its pieces meet do not move."""
    crossings = [i - 1 + (-a) / (b - a) for i, (a, b) in enumerate(zip(samples, samples[1:]), 1)
                 if a < 0 <= b and b - a > 0.01]
    if len(crossings) < 20:
        return 0.0, songs.rms(samples)
    period = statistics.median(b - a for a, b in zip(crossings, crossings[1:]))
    return songs.CAPTURE_RATE / period, songs.rms(samples)


def wait_until(what, check, timeout=WAIT):
    return xtools.wait_until(what, check, timeout)


class Radio:
    """One player on radio lists, with its sound, captions and standard error."""

    def __init__(self, test, *args):
        folder = tempfile.mkdtemp(prefix="tessellune-e2e-")
        test.addCleanup(shutil.rmtree, folder, True)
        # Where the list was left is kept in the test's own folder, so no
        # earlier run decides which station comes first.
        self.session = test_player.ListSession(test, folder, "--no-mpris", *args,
                                               env={"XDG_STATE_HOME": folder})
        self.test = test
        self.program, self.spy, self.capture = self.session.program, self.session.spy, self.session.capture

    def caption(self, text, timeout=WAIT):
        """When the caption became `text` (the spy's clock)."""
        def seen():
            return next((t for t, c in list(self.spy.changes) if c == text), None)
        return wait_until("the caption %r; captions: %r; stderr: %s"
                          % (text, self.spy.captions(), self.program.stderr()), seen, timeout)

    def tone(self, hz, timeout=WAIT):
        """When `hz` was heard, steady and loud, in the sound sent from now on."""
        self.capture.mark()

        def heard():
            samples = self.capture.left_channel()[-int(0.5 * songs.CAPTURE_RATE):]
            if len(samples) < 0.5 * songs.CAPTURE_RATE:
                return None
            frequency, loudness = tone(samples)
            return time.monotonic() if loudness > 0.1 and abs(frequency - hz) < hz * 0.01 else None
        return wait_until("a tone of %g Hz: the last was %r; stderr: %s"
                          % (hz, tone(self.capture.left_channel()[-22050:]), self.program.stderr()),
                          heard, timeout)

    def silence(self, timeout=WAIT):
        """Once half a second of what is sent from now on is silent. The whole
        capture since the mark is searched, not only its latest part, so a
        short gap is found however late a busy machine polls; and a stray
        device buffer or two in the gap (the disk driver writes stale ones
        under load) does not hide it."""
        self.capture.mark()
        block, quiet_blocks = 1024, []
        need = int(0.5 * songs.CAPTURE_RATE / block)

        def quiet():
            samples = self.capture.left_channel()
            for start in range(len(quiet_blocks) * block, len(samples) - block + 1, block):
                quiet_blocks.append(songs.rms(samples[start:start + block]) < 0.01)
            return any(sum(quiet_blocks[i:i + need]) >= need - 2 for i in range(len(quiet_blocks) - need + 1))
        wait_until("silence", quiet, timeout)

    def lines(self):
        """The player's lines on standard error, less the one about the bus."""
        return [line for line in xtools.without_bus_line(self.program.stderr()).splitlines()
                if line.startswith("tessellune: ")]

    def new_line(self, before, timeout=WAIT):
        """Once there are more lines than `before`, the lines after it."""
        return wait_until("a line on standard error after %r" % before,
                          lambda: self.lines()[len(before):], timeout)

    def shows(self, prefix):
        captions = self.spy.captions()
        return captions and captions[-1].startswith(prefix)

    def close(self):
        self.program.close()
        self.test.assertEqual(self.program.wait(), 0, self.program.stderr())


class Stations(unittest.TestCase):
    def test_stations_from_lists_over_http_play_with_their_changing_titles(self):
        radio = Radio(self, "--playlist", STATION.url("/stations.pls"), "--playlist", STATION.url("/more.m3u"))
        radio.program.key(PLAY)
        # Two redirects away, an ICY status line, metadata blocks that reach
        # the player in pieces; before the station names a song, the list's
        # title shows.
        radio.caption("01/03. Station One (live)")
        radio.tone(440)
        head = STATION.requests("/icy.mp3")[-1]
        self.assertEqual(head.get("icy-metadata"), "1", head)
        self.assertEqual((STATION.count("connect", "/moved"), STATION.count("connect", "/found")), (1, 1))
        # A Latin-1 title (not UTF-8), then a UTF-8 one with the quote that
        # ends StreamTitle's value inside it.
        for title, encoding in (("Café Noir", "latin-1"), ("Don't Stop ♪ Ünïcode", "utf-8")):
            STATION.set_title("/icy.mp3", title, encoding)
            shown = radio.caption("01/03. %s (live)" % title)
            told = wait_until("the block with %r" % title, lambda: STATION.times("told", "/icy.mp3", title))
            # Shown while the station had sent at most 32 more blocks (four
            # seconds): read as the blocks arrive, not when a buffer or a
            # reconnect comes round to it.
            print("%r shown %.2f s after its block left" % (title, shown - told[0]), file=sys.stderr)
            self.assertLess(shown - told[0], 32 * METAINT / MP3_BYTES_PER_SECOND, title)

        # Ogg stations name their songs in the stream: each link of the
        # chain brings its own comment header.
        radio.program.key(NEXT)
        radio.caption("02/03. Ogg One (live)")
        radio.tone(660)
        radio.caption("02/03. Ogg Two (live)")
        radio.program.key(NEXT)
        radio.caption("03/03. Opus One (live)")
        radio.tone(880)
        radio.caption("03/03. Opus Two (live)")

        seen = [c for c in radio.spy.captions() if c != "Tessellune"]
        expected = ["01/03. Station One (live)", "01/03. Café Noir (live)", "01/03. Don't Stop ♪ Ünïcode (live)",
                    "02/03. Ogg One (live)", "02/03. Ogg Two (live)", "03/03. Opus One (live)",
                    "03/03. Opus Two (live)"]
        # The list's title may show for a moment before an Ogg link's own.
        allowed = expected + ["02/03. Ogg Station (live)", "03/03. Opus Station (live)"]
        self.assertEqual([c for c in seen if c in expected], expected, seen)
        self.assertEqual([c for c in seen if c not in allowed], [], "no torn or garbled title")
        self.assertEqual(radio.lines(), [], "nothing to complain about")
        radio.close()

    def test_bad_stations_cost_a_line_each_and_a_dropped_one_comes_back(self):
        folder = tempfile.mkdtemp(prefix="tessellune-radio-list-")
        self.addCleanup(shutil.rmtree, folder, True)
        entries = [("Silent", "/silent"), ("Stalled", "/stalled"), ("AAC", "/aac"), ("Noise", "/noise"),
                   ("Loop", "/loop0"), ("Dropping", "/dropping.mp3")]
        mine = os.path.join(folder, "stations.m3u")
        with open(mine, "w") as out:
            out.write("#EXTM3U\n" + "".join("#EXTINF:-1,%s\n%s\n" % (title, STATION.url(path))
                                           for title, path in entries))
        radio = Radio(self, "--playlist", mine)
        p = radio.program

        # A station that accepts and says nothing: the keys still work. A
        # player waiting for it on its main thread would time out first
        # and say so before it took the key.
        p.key(PLAY)
        radio.caption("01/06. Silent (live)")
        wait_until("the player connected", lambda: STATION.count("connect", "/silent"))
        p.key(NEXT)
        radio.caption("02/06. Stalled (live)", timeout=10)
        self.assertEqual(radio.lines(), [], "NEXT waited for the silent station's time-out")

        # Headers, then nothing: a line once the read times out.
        said = radio.new_line([])
        self.assertTrue(radio.shows("02/06."), said)
        p.key(NEXT)

        # AAC is not taken: one line naming it, and the next entry plays
        # without a key. Garbage and a redirect loop: at least a line each.
        radio.caption("04/06. Noise (live)")
        before = radio.lines()
        self.assertEqual(len([line for line in before if "audio/aac" in line]), 1, before)
        for number in (4, 5):
            radio.new_line(before)
            time.sleep(1.5)  # room for the player to pass the entry by itself
            if radio.shows("%02d/06." % number):
                p.key(NEXT)
            radio.caption("%02d/06. %s (live)" % (number + 1, entries[number][0]))
            before = radio.lines()

        # Plays, drops after a few seconds, is dropped twice more right
        # after its head, then plays on: the sound comes back by itself.
        radio.tone(550)
        wait_until("the first drop", lambda: STATION.count("drop", "/dropping.mp3"))
        # Whether the drops are heard as a gap depends on how far the
        # buffered music reaches, which a busy machine stretches: the
        # attempts and the music after them are what is judged.
        wait_until("the fourth connection", lambda: STATION.count("connect", "/dropping.mp3") >= 4)
        radio.tone(550)
        # The station's own lines: its first drops can come before the
        # caption is seen, since the server sends its head at once.
        attempts = [line for line in radio.lines() if "/dropping.mp3" in line]
        self.assertGreaterEqual(len(attempts), 3, "one line per attempt: %r" % attempts)
        self.assertTrue(radio.shows("06/06."), radio.spy.captions())

        lines = radio.lines()
        print("\n".join(lines), file=sys.stderr)
        self.assertEqual(len([line for line in lines if "audio/aac" in line]), 1, lines)
        self.assertLess(len(lines), 20, "a line per failure, not a flood: %r" % lines)
        radio.close()


class RealServer(unittest.TestCase):
    def test_a_mount_plays_with_its_title_and_comes_back_after_a_restart(self):
        folder = tempfile.mkdtemp(prefix="tessellune-icecast-")
        self.addCleanup(shutil.rmtree, folder, True)
        # The server sends MP3 titles as Latin-1.
        station = icecast.Icecast(folder, frequency=330, title="Feeder Señal")
        self.addCleanup(station.close)
        radio = Radio(self, "--playlist", station.url)
        radio.program.key(PLAY)
        radio.tone(330)
        radio.caption("01/01. Feeder Señal (live)")

        station.stop()
        before = radio.lines()
        radio.new_line(before)  # the drop, or the first attempt after it
        radio.silence()  # what was buffered has played: the sound that comes is new
        station.set_title("Back On Air")
        station.start()
        back = time.monotonic()
        heard = radio.tone(330)
        print("sound %.1f s after the server was back" % (heard - back), file=sys.stderr)
        self.assertLess(heard - back, 10.0, "plays again within 10 s of the server's return")
        radio.caption("01/01. Back On Air (live)")
        radio.close()


if __name__ == "__main__":
    unittest.main(verbosity=2)
