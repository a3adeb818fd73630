"""A small radio station for the tests, on 127.0.0.1 only: endless live
streams paced at real time with ICY metadata, and the ways real stations and
networks misbehave (drops, redirects, stalls, garbage, formats the player
does not take). The audio is generated at test time with ffmpeg: a steady
tone whose frequency tells which stream is playing.

As a module:
    server = StreamServer()
    server.stream("/mp3", make_stream(folder, "mp3", 440), metaint=1000)
    url = server.url("/mp3"); server.set_title("/mp3", "Café", "latin-1")
    server.close()
As a script (for a look by hand with curl -H 'Icy-MetaData: 1'):
    python3 tests/e2e/streamServer.py [PORT]
"""

import os
import random
import socket
import socketserver
import struct
import subprocess
import sys
import tempfile
import threading
import time

# Each piece of a stream lasts this long: short enough that a chain of Ogg
# pieces brings a new title every few seconds, long enough that the gap an
# encoder leaves at a piece's ends is a small part of what is heard.
PIECE_SECONDS = 4.0
# A new listener gets this much audio at once, as real stations send a
# burst, so the player starts without waiting for the pace to fill its buffer.
BURST_SECONDS = 1.0
# Audio leaves in slices this long; the pace is kept between them.
SLICE_SECONDS = 0.05
# The longest request head the server reads before it gives up on a client.
REQUEST_LIMIT = 16384

CONTENT_TYPES = {"mp3": "audio/mpeg", "ogg": "application/ogg", "opus": "audio/ogg", "aac": "audio/aac"}
ENCODERS = {"mp3": ["-c:a", "libmp3lame", "-b:a", "64k", "-write_xing", "0", "-id3v2_version", "0",
                    "-f", "mp3"],
            "ogg": ["-c:a", "libvorbis", "-q:a", "2", "-f", "ogg"],
            "opus": ["-c:a", "libopus", "-b:a", "48k", "-f", "ogg"],
            "aac": ["-c:a", "aac", "-b:a", "64k", "-f", "adts"]}


def make_audio(path, kind, frequency, seconds=PIECE_SECONDS, title=None, rate=44100):
    """A stereo sine tone of `frequency` Hz encoded as `kind` (mp3, ogg,
    opus, aac), with `title` in its tags where the format carries them."""
    tags = ["-metadata", "title=%s" % title] if title else []
    if kind == "opus":
        rate = 48000
    subprocess.run(["ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi",
                    "-i", "sine=frequency=%g:sample_rate=%d:duration=%g" % (frequency, rate, seconds),
                    "-af", "volume=3", "-ac", "2", *tags, *ENCODERS[kind], path], check=True)
    with open(path, "rb") as f:
        return f.read()


class Audio:
    """An endless stream's content: pieces of (bytes, seconds) sent in turn
    and from the first again, with the content type that announces them."""

    def __init__(self, kind, pieces):
        self.kind = kind
        self.content_type = CONTENT_TYPES[kind]
        self.pieces = pieces


def make_stream(folder, kind, frequency, titles=None):
    """The audio of a station playing one tone. For Ogg, `titles` makes a
    chain of pieces, each carrying its own title in its comment header, as
    an Ogg station tells what plays."""
    pieces = []
    for i, title in enumerate(titles or [None]):
        path = os.path.join(folder, "%s-%g-%d.%s" % (kind, frequency, i, kind))
        pieces.append((make_audio(path, kind, frequency, title=title), PIECE_SECONDS))
    return Audio(kind, pieces)


# Ogg pages carry a CRC (polynomial 0x04c11db7, unreflected, start 0).
def _ogg_crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


OGG_CRC = _ogg_crc_table()


def ogg_with_serial(data, serial):
    """The Ogg file `data` with every page moved to logical stream `serial`.
    A chain must not repeat the serial of the link before it, which looping
    one file would do."""
    out, at = bytearray(), 0
    while at + 27 <= len(data) and data[at:at + 4] == b"OggS":
        segments = data[at + 26]
        size = 27 + segments + sum(data[at + 27: at + 27 + segments])
        page = bytearray(data[at: at + size])
        struct.pack_into("<I", page, 14, serial)
        struct.pack_into("<I", page, 22, 0)
        crc = 0
        for byte in page:
            crc = ((crc << 8) & 0xFFFFFFFF) ^ OGG_CRC[((crc >> 24) ^ byte) & 0xFF]
        struct.pack_into("<I", page, 22, crc)
        out += page
        at += size
    return bytes(out)


class Route:
    """What one path answers, and its state while the server runs."""

    def __init__(self, kind, **options):
        self.kind = kind
        self.options = options
        self.title = None        # (text, encoding) set on command
        self.title_serial = 0    # grows with each new title
        self.drops = list(options.get("drops", ()))


class StreamServer:
    def __init__(self, port=0):
        self.routes = {}
        self.events = []  # (time.monotonic(), what, path, detail)
        self.lock = threading.Lock()
        self.clients = set()
        self.closing = threading.Event()
        outer = self

        class Handler(socketserver.BaseRequestHandler):
            def handle(self):
                outer.serve(self.request)

        class Server(socketserver.ThreadingTCPServer):
            allow_reuse_address = True  # a fixed port given again right after a run
            daemon_threads = True

        self.server = Server(("127.0.0.1", port), Handler)
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, args=(0.1,), daemon=True)
        self.thread.start()

    # What the paths answer.
    def stream(self, path, audio, metaint=None, icy_status=False, name="Test Station",
               drops=(), split_meta=False, content_type=None):
        """An endless live stream. metaint: ICY metadata every that many
        bytes when the client asks for it. drops: the first connections end
        after that many audio bytes each (0: right after the head), the
        later ones go on. split_meta: each metadata block leaves in three
        writes with pauses between, so the client reads it in pieces."""
        self.routes[path] = Route("stream", audio=audio, metaint=metaint, icy_status=icy_status,
                                  name=name, drops=drops, split_meta=split_meta,
                                  content_type=content_type or audio.content_type)

    def file(self, path, body, content_type):
        """A plain answer, such as a playlist (audio/x-scpls, audio/x-mpegurl)."""
        self.routes[path] = Route("file", body=body.encode() if isinstance(body, str) else body,
                                  content_type=content_type)

    def redirect(self, path, location, status=302):
        self.routes[path] = Route("redirect", location=location, status=status)

    def stall(self, path, headers=False):
        """Accepts and sends nothing, or only the head of a stream."""
        self.routes[path] = Route("stall", headers=headers)

    def garbage(self, path, headers=True):
        """Bytes that hold no audio frame, sent forever: after a stream's
        head announcing MP3, or instead of any HTTP answer."""
        self.routes[path] = Route("garbage", headers=headers)

    def set_title(self, path, title, encoding="utf-8"):
        """The title a stream announces at its next metadata block."""
        route = self.routes[path]
        with self.lock:
            route.title = (title, encoding)
            route.title_serial += 1
        self.log("title", path, title)

    def schedule(self, path, titles, seconds, encoding="utf-8"):
        """The stream's title goes through `titles` in turn, one every
        `seconds`, until the server closes."""
        def run():
            for n in range(1 << 30):
                self.set_title(path, titles[n % len(titles)], encoding)
                if self.closing.wait(seconds):
                    return
        threading.Thread(target=run, daemon=True).start()

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def log(self, what, path, detail=None):
        with self.lock:
            self.events.append((time.monotonic(), what, path, detail))

    def times(self, what, path, detail):
        """When the server logged `what` for `path` with `detail`."""
        with self.lock:
            return [t for t, w, p, d in self.events if (w, p, d) == (what, path, detail)]

    def count(self, what, path):
        with self.lock:
            return sum(1 for _, w, p, _ in self.events if w == what and p == path)

    def requests(self, path):
        """The request heads (a dict, names in lower case) sent for `path`."""
        with self.lock:
            return [d for _, w, p, d in self.events if w == "connect" and p == path]

    def close(self):
        self.closing.set()
        self.server.shutdown()
        self.server.server_close()
        with self.lock:
            clients = list(self.clients)
        for client in clients:
            try:
                client.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        self.thread.join(5)

    # Serving one client.
    def serve(self, sock):
        with self.lock:
            self.clients.add(sock)
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        path = None
        try:
            request = read_request(sock)
            if request is None:
                return
            path, headers = request
            self.log("connect", path, headers)
            route = self.routes.get(path)
            if route is None:
                sock.sendall(b"HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\n\r\nno such path\n")
            else:
                getattr(self, "serve_" + route.kind)(sock, path, route, headers)
        except OSError:
            pass  # the client went away: that is its right
        finally:
            self.log("closed", path)
            with self.lock:
                self.clients.discard(sock)
            sock.close()

    def serve_file(self, sock, path, route, headers):
        o = route.options
        sock.sendall(("HTTP/1.0 200 OK\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n"
                      % (o["content_type"], len(o["body"]))).encode() + o["body"])

    def serve_redirect(self, sock, path, route, headers):
        o = route.options
        reason = {301: "Moved Permanently", 302: "Found"}.get(o["status"], "Redirect")
        sock.sendall(("HTTP/1.0 %d %s\r\nLocation: %s\r\nContent-Length: 0\r\n\r\n"
                      % (o["status"], reason, o["location"])).encode())

    def serve_stall(self, sock, path, route, headers):
        if route.options["headers"]:
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nicy-name: Stalled\r\n\r\n")
        while not self.closing.wait(0.2):
            pass

    def serve_garbage(self, sock, path, route, headers):
        if route.options["headers"]:
            sock.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n")
        noise = random.Random(7)
        while not self.closing.is_set():
            # No 0xFF: no MPEG frame can start; no letters: no Ogg or FLAC mark.
            sock.sendall(bytes(noise.choice(range(0x80, 0xFF)) for _ in range(800)))
            time.sleep(0.05)

    def serve_stream(self, sock, path, route, headers):
        o = route.options
        audio = o["audio"]
        metaint = o["metaint"] if headers.get("icy-metadata") == "1" else None
        status = "ICY 200 OK" if o["icy_status"] else "HTTP/1.0 200 OK"
        head = [status, "Content-Type: " + o["content_type"], "icy-name: " + o["name"],
                "Cache-Control: no-cache"]
        if metaint:
            head.append("icy-metaint: %d" % metaint)
        sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode())
        with self.lock:
            limit = route.drops.pop(0) if route.drops else None
        writer = StreamWriter(sock, metaint, o["split_meta"], lambda: self.title_of(route),
                              lambda title: self.log("told", path, title))
        start = time.monotonic()
        played = 0.0  # seconds of audio sent
        piece = 0
        while not self.closing.is_set():
            data, seconds = audio.pieces[piece % len(audio.pieces)]
            if audio.kind in ("ogg", "opus"):
                data = ogg_with_serial(data, 0x5EED0000 + piece)
            piece += 1
            step = max(1, int(len(data) * SLICE_SECONDS / seconds))
            for at in range(0, len(data), step):
                chunk = data[at: at + step]
                if limit is not None and writer.sent + len(chunk) > limit:
                    writer.audio(chunk[: limit - writer.sent])
                    self.log("drop", path)
                    sock.shutdown(socket.SHUT_RDWR)
                    return
                writer.audio(chunk)
                played += seconds * len(chunk) / len(data)
                ahead = played - BURST_SECONDS - (time.monotonic() - start)
                if ahead > 0 and self.closing.wait(ahead):
                    return

    def title_of(self, route):
        with self.lock:
            return route.title_serial, route.title


class StreamWriter:
    """Audio bytes with an ICY metadata block after every `metaint` of them;
    a block carries the title when it changed, else it is the empty block."""

    def __init__(self, sock, metaint, split, title, told):
        self.sock = sock
        self.on_told = told
        self.metaint = metaint
        self.split = split
        self.title = title
        self.sent = 0          # audio bytes, metadata not counted
        self.told = 0          # serial of the last title sent

    def audio(self, data):
        while data:
            if not self.metaint:
                self.sock.sendall(data)
                self.sent += len(data)
                return
            room = self.metaint - self.sent % self.metaint
            self.sock.sendall(data[:room])
            self.sent += len(data[:room])
            data = data[room:]
            if self.sent % self.metaint == 0:
                self.metadata()

    def metadata(self):
        serial, title = self.title()
        block = b""
        if serial != self.told and title:
            self.told = serial
            block = b"StreamTitle='" + title[0].encode(title[1]) + b"';StreamUrl='';"
        block += b"\0" * (-len(block) % 16)
        whole = bytes([len(block) // 16]) + block
        if not self.split or not block:
            self.sock.sendall(whole)
        else:
            # The length byte alone, then the text cut in the middle of the
            # title: a reader must join the pieces.
            for piece in (whole[:1], whole[1:20], whole[20:]):
                self.sock.sendall(piece)
                time.sleep(0.03)
        if block:
            self.on_told(title[0])


def read_request(sock):
    """(path, headers with lower-case names), or None for a client that
    sent no complete request head."""
    sock.settimeout(10)
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(4096)
        if not chunk or len(data) > REQUEST_LIMIT:
            return None
        data += chunk
    sock.settimeout(None)
    lines = data.split(b"\r\n\r\n", 1)[0].decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) < 2:
        return None
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return parts[1], headers


def main():
    """Every kind of answer on one port, for a look by hand."""
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    folder = tempfile.mkdtemp(prefix="tessellune-station-")
    server = StreamServer(port)
    server.stream("/mp3", make_stream(folder, "mp3", 440), metaint=1000)
    server.stream("/icy", make_stream(folder, "mp3", 440), metaint=1000, icy_status=True, split_meta=True)
    server.stream("/ogg", make_stream(folder, "ogg", 660, ["Ogg One", "Ogg Two"]))
    server.stream("/opus", make_stream(folder, "opus", 880, ["Opus One", "Opus Two"]))
    server.stream("/drop", make_stream(folder, "mp3", 550), metaint=1000, drops=[40000, 0])
    server.stream("/aac", make_stream(folder, "aac", 330))
    server.redirect("/moved", "/mp3", 301)
    for i in range(6):
        server.redirect("/loop%d" % i, "/loop%d" % ((i + 1) % 6))
    server.file("/list.pls", "[playlist]\nFile1=%s\nTitle1=Station\nLength1=-1\nNumberOfEntries=1\n"
                % server.url("/mp3"), "audio/x-scpls")
    server.file("/list.m3u", "#EXTM3U\n%s\n" % server.url("/ogg"), "audio/x-mpegurl")
    server.stall("/silent")
    server.stall("/stall", headers=True)
    server.garbage("/garbage")
    server.garbage("/noise", headers=False)
    print("serving on %s (audio in %s)" % (server.url("/"), folder), flush=True)

    server.schedule("/mp3", ["Café Nº 1", "Café Nº 2"], 5, "latin-1")
    server.schedule("/icy", ["Song ♪ 1", "Don't Stop; Go"], 5)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        server.close()


if __name__ == "__main__":
    main()
