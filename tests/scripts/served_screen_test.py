#!/usr/bin/env python3
"""The screen that scripts/run serves without a display: it lets in the user who started it,
with the secret it printed, and nobody else; and a viewer gets the colours in the channel
order it asks for.

Needs QUORIN_SOURCE (the repository) and QUORIN_BUILD (a build tree with Quorin in bin/).
"""
import base64
import os
import pwd
import re
import signal
import socket
import struct
import subprocess
import tempfile
import time
import unittest

SOURCE = os.environ.get("QUORIN_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD = os.environ.get("QUORIN_BUILD", os.path.join(SOURCE, "build"))


def recv_exactly(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise EOFError("closed after %d of %d bytes" % (len(data), n))
        data += chunk
    return data


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class WebSocket:
    """Just enough of a WebSocket client to read what the page's connection would get."""

    def __init__(self, port, path):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=10)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall(
            ("GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nUpgrade: websocket\r\n"
             "Connection: Upgrade\r\nSec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n"
             "Sec-WebSocket-Protocol: binary\r\n\r\n" % (path, port, key)).encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                break
            head += chunk
        self.status = int(head.split(b" ")[1]) if head.startswith(b"HTTP/") else 0
        self.buffer = b""

    def read(self, n):
        """n bytes of the stream behind the socket, or fewer if it closes."""
        while len(self.buffer) < n:
            try:
                b0, b1 = recv_exactly(self.sock, 2)
            except (EOFError, OSError):
                break
            length = b1 & 0x7F
            if length == 126:
                length = struct.unpack(">H", recv_exactly(self.sock, 2))[0]
            elif length == 127:
                length = struct.unpack(">Q", recv_exactly(self.sock, 8))[0]
            payload = recv_exactly(self.sock, length)
            if b0 & 0x0F == 8:  # close
                break
            self.buffer += payload
        data, self.buffer = self.buffer[:n], self.buffer[n:]
        return data

    def close(self):
        self.sock.close()


def connect_unix(path):
    with socket.socket(socket.AF_UNIX) as s:
        s.connect(path)


def connect_x_without_cookie(display):
    """The X server's answer to a client that brings no cookie: 0 is Failed, 1 Success."""
    s = socket.socket(socket.AF_UNIX)
    s.settimeout(10)
    s.connect("\0/tmp/.X11-unix/X" + display.lstrip(":"))
    s.sendall(struct.pack("<BxHHHHxx", ord("l"), 11, 0, 0, 0))
    answer = recv_exactly(s, 1)[0]
    s.close()
    return answer


class Rfb:
    """A VNC viewer on the screen's socket that asks for a pixel format of its choosing."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.settimeout(10)
        self.sock.connect(path)
        assert recv_exactly(self.sock, 12) == b"RFB 003.008\n"
        self.sock.sendall(b"RFB 003.008\n")
        types = recv_exactly(self.sock, recv_exactly(self.sock, 1)[0])
        assert 1 in types, types
        self.sock.sendall(b"\x01")
        assert struct.unpack(">I", recv_exactly(self.sock, 4))[0] == 0
        self.sock.sendall(b"\x01")
        self.w, self.h = struct.unpack(">HH", recv_exactly(self.sock, 4))
        recv_exactly(self.sock, 16)
        recv_exactly(self.sock, struct.unpack(">I", recv_exactly(self.sock, 4))[0])

    def picture(self, red_shift, blue_shift):
        """The screen in 32-bit little-endian pixels with the given shifts, as (r, g, b) rows."""
        fmt = struct.pack(">BBBBHHHBBBxxx", 32, 24, 0, 1, 255, 255, 255, red_shift, 8, blue_shift)
        self.sock.sendall(b"\x00\x00\x00\x00" + fmt)
        self.sock.sendall(struct.pack(">BxHi", 2, 1, 0))  # raw only
        self.sock.sendall(struct.pack(">BBHHHH", 3, 0, 0, 0, self.w, self.h))
        fb = bytearray(self.w * self.h * 4)
        while True:
            kind = recv_exactly(self.sock, 1)[0]
            if kind == 0:
                break
            if kind == 2:
                continue
            if kind == 3:
                recv_exactly(self.sock, 3)
                recv_exactly(self.sock, struct.unpack(">I", recv_exactly(self.sock, 4))[0])
                continue
            raise AssertionError("server message %d" % kind)
        recv_exactly(self.sock, 1)
        for _ in range(struct.unpack(">H", recv_exactly(self.sock, 2))[0]):
            x, y, w, h, enc = struct.unpack(">HHHHi", recv_exactly(self.sock, 12))
            assert enc == 0, enc
            data = recv_exactly(self.sock, w * h * 4)
            for row in range(h):
                o = ((y + row) * self.w + x) * 4
                fb[o:o + w * 4] = data[row * w * 4:(row + 1) * w * 4]
        pixels = []
        for i in range(0, len(fb), 4):
            v = struct.unpack("<I", fb[i:i + 4])[0]
            pixels.append(((v >> red_shift) & 255, (v >> 8) & 255, (v >> blue_shift) & 255))
        return pixels

    def close(self):
        self.sock.close()


class ServedScreenTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="quorin-served-")
        os.makedirs(os.path.join(cls.work, "device"))
        cls.port = free_port()
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY")}
        env.update(QUORIN_NO_BUILD="1", QUORIN_BUILD=BUILD, QUORIN_WEB_PORT=str(cls.port),
                   QUORIN_DEVICE=os.path.join(cls.work, "device"),
                   QUORIN_CLOCK="2026-12-08 09:20:15")
        cls.log = open(os.path.join(cls.work, "run.log"), "w+")
        cls.runner = subprocess.Popen([os.path.join(SOURCE, "scripts", "run")], env=env,
                                   stdout=cls.log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        text = ""
        for _ in range(300):
            cls.log.seek(0)
            text = cls.log.read()
            if "The screen's folder:" in text or cls.runner.poll() is not None:
                break
            time.sleep(0.1)
        m = re.search(r"^  (http://127\.0\.0\.1:\d+/vnc\.html\S*)$", text, re.M)
        f = re.search(r"^The screen's folder: (\S+) \(display (:\d+)\)$", text, re.M)
        if not m or not f:
            cls.tearDownClass()
            raise AssertionError("scripts/run served no screen:\n" + text)
        cls.address, cls.folder, cls.display = m.group(1), f.group(1), f.group(2)
        # The program is a client of the display once its windows are up.
        time.sleep(2)

    @classmethod
    def tearDownClass(cls):
        if cls.runner.poll() is None:
            cls.runner.send_signal(signal.SIGTERM)
            try:
                cls.runner.wait(20)
            except subprocess.TimeoutExpired:
                os.killpg(cls.runner.pid, signal.SIGKILL)
                cls.runner.wait()
        cls.log.close()
        subprocess.run(["rm", "-rf", cls.work])

    def secret(self):
        with open(os.path.join(self.folder, "secret")) as f:
            return f.read().strip()

    def test_the_secret_is_printed_with_the_address_and_kept_private(self):
        secret = self.secret()
        self.assertRegex(secret, r"^[0-9a-f]{32}$")
        self.assertIn("token%3D" + secret, self.address)
        for path, mode in ((self.folder, 0o700), (os.path.join(self.folder, "secret"), 0o600),
                           (os.path.join(self.folder, "vnc.sock"), 0o600),
                           (os.path.join(self.folder, "Xauthority"), 0o600)):
            st = os.stat(path)
            self.assertEqual(st.st_uid, os.getuid(), path)
            self.assertEqual(st.st_mode & 0o777, mode, path)

    def test_the_page_with_the_secret_reaches_the_screen(self):
        ws = WebSocket(self.port, "/websockify?token=" + self.secret())
        try:
            self.assertEqual(ws.status, 101)
            self.assertEqual(ws.read(12), b"RFB 003.008\n")
        finally:
            ws.close()

    def test_a_connection_without_the_secret_is_refused(self):
        for path in ("/websockify", "/websockify?token=", "/websockify?token=" + "0" * 32,
                     "/websockify?token=" + self.secret()[:-1]):
            ws = WebSocket(self.port, path)
            try:
                self.assertEqual(ws.read(12), b"", path)
            finally:
                ws.close()

    def test_the_screen_has_no_network_port_but_the_page(self):
        listening = set()
        for table in ("/proc/net/tcp", "/proc/net/tcp6"):
            with open(table) as f:
                for line in f.readlines()[1:]:
                    fields = line.split()
                    if fields[3] == "0A":  # LISTEN
                        listening.add((int(fields[1].rsplit(":", 1)[1], 16), int(fields[9])))
        ours = set()
        for pid in os.listdir("/proc"):
            if not pid.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f:
                    cmdline = f.read()
                if self.folder.encode() not in cmdline:
                    continue
                for fd in os.listdir("/proc/%s/fd" % pid):
                    target = os.readlink("/proc/%s/fd/%s" % (pid, fd))
                    if target.startswith("socket:["):
                        ours.add(int(target[8:-1]))
            except OSError:
                continue
        ports = sorted(port for port, inode in listening if inode in ours)
        self.assertEqual(ports, [self.port])

    def test_an_x_client_without_the_cookie_is_refused(self):
        self.assertEqual(connect_x_without_cookie(self.display), 0)

    @unittest.skipUnless(os.getuid() == 0, "needs root to act as a second user")
    def test_another_user_reaches_neither_the_secret_nor_the_screen(self):
        nobody = pwd.getpwnam("nobody")
        read, write = os.pipe()
        child = os.fork()
        if child == 0:
            os.close(read)
            results = []
            try:
                os.setgroups([])
                os.setgid(nobody.pw_gid)
                os.setuid(nobody.pw_uid)
                for attempt in (
                        lambda: open(os.path.join(self.folder, "secret")).read(),
                        lambda: connect_unix(os.path.join(self.folder, "vnc.sock")),
                        lambda: os.listdir(self.folder)):
                    try:
                        attempt()
                        results.append("in")
                    except PermissionError:
                        results.append("refused")
                results.append("x%d" % connect_x_without_cookie(self.display))
                ws = WebSocket(self.port, "/websockify")
                results.append("page%d" % len(ws.read(12)))
            except Exception as e:  # reported to the parent, never raised in the fork
                results.append("error " + repr(e))
            os.write(write, " ".join(results).encode())
            os._exit(0)
        os.close(write)
        with os.fdopen(read) as f:
            results = f.read()
        os.waitpid(child, 0)
        self.assertEqual(results, "refused refused refused x0 page0")

    def test_a_viewer_gets_the_channel_order_it_asks_for(self):
        # noVNC asks for red in the lowest byte; a viewer of the server's own order asks for
        # blue there. Both must see one picture.
        viewer = Rfb(os.path.join(self.folder, "vnc.sock"))
        try:
            as_novnc = viewer.picture(red_shift=0, blue_shift=16)
            native = viewer.picture(red_shift=16, blue_shift=0)
        finally:
            viewer.close()
        self.assertEqual(len(as_novnc), 240 * 320)
        # A screen of one grey would hide a swap: the program draws colours.
        self.assertGreater(sum(1 for r, g, b in native if abs(r - b) > 64), 100)
        differing = [i for i, (a, b) in enumerate(zip(as_novnc, native)) if a != b]
        self.assertEqual(differing[:5], [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
