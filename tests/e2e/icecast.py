"""A real streaming server for the tests: icecast2 on 127.0.0.1 with a
generated configuration in a folder of its own, fed by ezstream from a
generated MP3 whose title the feeder sets. It can be stopped and started
again on the same port; close() ends everything it started.

    with Icecast(folder, frequency=440, title="Feeder Song") as station:
        url = station.url  # the mount
        station.stop(); station.start()
"""

import os
import pwd
import shutil
import signal
import socket
import subprocess
import tempfile
import time

import streamServer

MOUNT = "/radio.mp3"
PASSWORD = "tessellune-source"
START_TIMEOUT = 20.0  # seconds for the server to listen and the feeder to be on air
# As root icecast2 refuses to start unless it is told whom to become.
UNPRIVILEGED = ("nobody", "nogroup")

ICECAST_CONFIG = """<icecast>
  <location>here</location>
  <admin>nobody@localhost</admin>
  <limits>
    <clients>20</clients>
    <sources>2</sources>
    <queue-size>524288</queue-size>
    <client-timeout>30</client-timeout>
    <header-timeout>15</header-timeout>
    <source-timeout>10</source-timeout>
    <burst-on-connect>1</burst-on-connect>
    <burst-size>32768</burst-size>
  </limits>
  <authentication>
    <source-password>{password}</source-password>
    <relay-password>{password}</relay-password>
    <admin-user>admin</admin-user>
    <admin-password>{password}</admin-password>
  </authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket>
    <port>{port}</port>
    <bind-address>127.0.0.1</bind-address>
  </listen-socket>
  <fileserve>1</fileserve>
  <paths>
    <basedir>{folder}</basedir>
    <logdir>{folder}/log</logdir>
    <webroot>/usr/share/icecast2/web</webroot>
    <adminroot>/usr/share/icecast2/admin</adminroot>
  </paths>
  <logging>
    <accesslog>access.log</accesslog>
    <errorlog>error.log</errorlog>
    <loglevel>3</loglevel>
  </logging>
  <security>
    <chroot>0</chroot>
    {owner}
  </security>
</icecast>
"""

EZSTREAM_CONFIG = """<?xml version="1.0" encoding="UTF-8"?>
<ezstream>
  <servers>
    <server>
      <hostname>127.0.0.1</hostname>
      <port>{port}</port>
      <password>{password}</password>
      <tls>None</tls>
      <reconnect_attempts>1</reconnect_attempts>
    </server>
  </servers>
  <streams>
    <stream>
      <mountpoint>{mount}</mountpoint>
      <format>MP3</format>
      <stream_name>{name}</stream_name>
      <public>No</public>
    </stream>
  </streams>
  <intakes>
    <intake>
      <type>playlist</type>
      <filename>{folder}/feed.m3u</filename>
    </intake>
  </intakes>
  <metadata>
    <program>{folder}/title.sh</program>
    <format_str>@t@</format_str>
  </metadata>
</ezstream>
"""

# What ezstream asks its metadata program: the whole line with no
# argument, or one field by name; the title file answers all of them.
TITLE_PROGRAM = """#!/bin/sh
cat "$(dirname "$0")/title.txt"
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Icecast:
    def __init__(self, folder=None, frequency=440.0, title="Feeder Song", name="Local Mount"):
        self.own_folder = folder is None
        self.folder = folder or tempfile.mkdtemp(prefix="tessellune-icecast-")
        self.port = free_port()
        self.url = "http://127.0.0.1:%d%s" % (self.port, MOUNT)
        self.server = self.feeder = None
        try:
            self.prepare(frequency, title, name)
            self.start()
        except BaseException:
            self.close()
            raise

    def prepare(self, frequency, title, name):
        # The server drops its privileges and still writes its logs here.
        os.chmod(self.folder, 0o755)
        log = os.path.join(self.folder, "log")
        os.makedirs(log, exist_ok=True)
        os.chmod(log, 0o777)
        owner = ""
        if os.geteuid() == 0:
            owner = "<changeowner><user>%s</user><group>%s</group></changeowner>" % UNPRIVILEGED
            pwd.getpwnam(UNPRIVILEGED[0])  # a clear error where the user is missing
        self.write("icecast.xml", ICECAST_CONFIG.format(password=PASSWORD, port=self.port,
                                                         folder=self.folder, owner=owner))
        # ezstream refuses a configuration others may write.
        self.write("ezstream.xml", EZSTREAM_CONFIG.format(port=self.port, password=PASSWORD, mount=MOUNT,
                                                           name=name, folder=self.folder), 0o600)
        song = os.path.join(self.folder, "feed.mp3")
        streamServer.make_audio(song, "mp3", frequency, seconds=8.0)
        self.write("feed.m3u", song + "\n")
        self.write("title.sh", TITLE_PROGRAM, 0o755)
        self.write("title.txt", title + "\n")

    def write(self, name, text, mode=0o644):
        path = os.path.join(self.folder, name)
        with open(path, "w") as out:
            out.write(text)
        os.chmod(path, mode)
        return path

    def start(self):
        """The server, then the feeder; returns once the mount is on air."""
        self.server = self.launch(["icecast2", "-c", os.path.join(self.folder, "icecast.xml")], "icecast.out")
        self.wait(lambda: self.answers("/status-json.xsl"), "icecast2 listening on port %d" % self.port)
        self.feeder = self.launch(["ezstream", "-q", "-c", os.path.join(self.folder, "ezstream.xml")],
                                  "ezstream.out")
        self.wait(lambda: self.answers(MOUNT), "the mount %s on air" % MOUNT)

    def launch(self, args, log):
        with open(os.path.join(self.folder, log), "ab") as out:
            return subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=out)

    def answers(self, path):
        """Whether the server answers `path` with 200."""
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=2) as s:
                s.sendall(("GET %s HTTP/1.0\r\n\r\n" % path).encode())
                head = b""
                while b"\r\n\r\n" not in head and len(head) < 16384:
                    chunk = s.recv(4096)
                    if not chunk:
                        return False
                    head += chunk
                return head.split(b"\r\n", 1)[0].split(b" ")[1:2] == [b"200"]
        except OSError:
            return False

    def wait(self, ready, what):
        deadline = time.monotonic() + START_TIMEOUT
        while time.monotonic() < deadline:
            if ready():
                return
            for process in (self.server, self.feeder):
                if process is not None and process.poll() is not None:
                    break
            else:
                time.sleep(0.1)
                continue
            break
        raise RuntimeError("no %s: %s" % (what, self.logs()))

    def logs(self):
        texts = []
        for name in ("icecast.out", "ezstream.out", "log/error.log"):
            path = os.path.join(self.folder, name)
            if os.path.exists(path):
                with open(path, errors="replace") as f:
                    texts.append("%s:\n%s" % (name, f.read()[-2000:]))
        return "\n".join(texts)

    def set_title(self, title):
        """The feeder announces `title` at once (SIGUSR2 makes it ask again)."""
        self.write("title.txt", title + "\n")
        if self.feeder is not None and self.feeder.poll() is None:
            self.feeder.send_signal(signal.SIGUSR2)

    def stop(self):
        """Server and feeder gone, as when a station goes down."""
        for process in (self.feeder, self.server):
            if process is not None and process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.server = self.feeder = None

    def close(self):
        self.stop()
        if self.own_folder:
            shutil.rmtree(self.folder, True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


if __name__ == "__main__":
    with Icecast() as station:
        print("on air: %s (folder %s); Ctrl-C ends it" % (station.url, station.folder), flush=True)
        try:
            while True:
                time.sleep(3600)
        except KeyboardInterrupt:
            pass
