#!/usr/bin/env python3
"""Drives the real Tidefill program as a person would: its console is a pseudo-terminal, its
window lives on an Xvfb server this script starts, F1 is pressed at the terminal or in the window,
and the window is read back as pixels.

    tidefill_e2e.py --program build/release/tidefill
    tidefill_e2e.py --program "wine build/win/tidefill.exe" --f1 window --console wine

Standard library only. Needs Xvfb, xdotool and xwininfo/xprop (x11-utils) on the PATH.
"""

import argparse
import fcntl
import os
import re
import select
import shlex
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import termios
import time
import traceback
import zlib

import wine_console

TITLE = "Tidefill Solver Visualizer"
HINT = "Press F1 to display the menu and enter a command.\n"
MENU = ("1. Generate New Board\n2. Run Algorithm Once\n3. Query Tile\n4. Query Cluster\n"
        "5. Run Complete Simulation\nEnter your selection:")
BOARD_PROMPT = "Please enter a board size between 3 and 64: "
COLORS_PROMPT = "Please enter the amount of colors (2 - 32): "
CELL_PROMPT = "Please enter the cell size px (default=16): "
SLEEP_PROMPT = "Please enter the sleep time ms (default=500): "
TILE_PROMPT = 'Enter the tile to query in zero-indexed "x,y" format:'
CLUSTER_PROMPT = "Enter a cluster id:"
SERIES_PROMPT = "Please enter the amount of simulations to run:"
TILE_LINE = re.compile(r"\((\d+), (\d+)\) Cluster=(\d+), Color=(\d+), Neighbors=(\d+)\n")
CLUSTER_LINE = re.compile(r"Color=(\d+), Size=(\d+), Neighbors=(\d+)\n")

# Escape sequences a terminal program may send: CSI, OSC, charset and single-character forms.
ESCAPES = re.compile(r"\x1b\[[0-?]*[ -/]*[@-~]|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|"
                     r"\x1b[()*+][0-9A-Za-z]|\x1b[@-Z\\-_=>78]")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def f32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


# ---------------------------------------------------------------- X server and a tiny X client

class Xvfb:
    """An X server of our own on the first free display number."""

    def __init__(self, timeout):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + timeout
        while not number.endswith(b"\n"):
            ready, _, _ = select.select([read_end], [], [], max(0, deadline - time.monotonic()))
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                self.stop()
                raise Failure("Xvfb did not report a display")
            number += chunk
        os.close(read_end)
        self.number = int(number)
        self.display = ":%d" % self.number

    def screenshot(self, x, y, width, height):
        """Rows of (r, g, b) tuples of a rectangle of this server's screen."""
        connection = XConnection(self.number)
        try:
            return connection.screenshot(x, y, width, height)
        finally:
            connection.close()

    def send_delete_window(self, window):
        """Asks `window` to close, as a window manager would."""
        connection = XConnection(self.number)
        try:
            connection.send_delete_window(window)
        finally:
            connection.close()

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


class XConnection:
    """Just enough of the X protocol to ask a window to close and to read pixels back."""

    def __init__(self, display_number):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect("/tmp/.X11-unix/X%d" % display_number)
        self.sock.sendall(struct.pack("<BxHHHH2x", 0x6C, 11, 0, 0, 0))
        head = self._read(8)
        check(head[0] == 1, "the X server refused the connection")
        setup = self._read(struct.unpack_from("<H", head, 6)[0] * 4)
        vendor_length, = struct.unpack_from("<H", setup, 16)
        screens, formats, self.byte_order = struct.unpack_from("<BBB", setup, 20)
        offset = 32 + (vendor_length + 3) // 4 * 4
        self.bits_per_pixel = {}
        for _ in range(formats):
            depth, bpp = struct.unpack_from("<BB", setup, offset)
            self.bits_per_pixel[depth] = bpp
            offset += 8
        self.root, = struct.unpack_from("<I", setup, offset)

    def close(self):
        self.sock.close()

    def _read(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            check(chunk, "the X server closed the connection")
            data += chunk
        return data

    def _reply(self):
        head = self._read(32)
        check(head[0] != 0, "X error %d" % head[1])
        return head + self._read(struct.unpack_from("<I", head, 4)[0] * 4)

    def intern_atom(self, name):
        encoded = name.encode()
        padded = encoded + b"\0" * (-len(encoded) % 4)
        self.sock.sendall(struct.pack("<BBHH2x", 16, 0, 2 + len(padded) // 4, len(encoded))
                          + padded)
        return struct.unpack_from("<I", self._reply(), 8)[0]

    def send_delete_window(self, window):
        """What a window manager sends when the user clicks the close button."""
        protocols = self.intern_atom("WM_PROTOCOLS")
        delete = self.intern_atom("WM_DELETE_WINDOW")
        event = struct.pack("<BBHII5I", 33, 32, 0, window, protocols, delete, 0, 0, 0, 0)
        self.sock.sendall(struct.pack("<BBHII", 25, 0, 11, window, 0) + event)
        self.sock.sendall(struct.pack("<BxH", 43, 1))  # GetInputFocus: a round trip as a sync
        self._reply()

    def screenshot(self, x, y, width, height):
        """Rows of (r, g, b) tuples of a rectangle of the screen."""
        self.sock.sendall(struct.pack("<BBHIhhHHI", 73, 2, 5, self.root, x, y, width, height,
                                      0xFFFFFFFF))
        reply = self._reply()
        depth = reply[1]
        check(self.bits_per_pixel.get(depth) == 32 and self.byte_order == 0,
              "unexpected screen format (depth %d)" % depth)
        data = reply[32:]
        rows = []
        for row in range(height):
            line = data[row * width * 4:(row + 1) * width * 4]
            rows.append([(line[i + 2], line[i + 1], line[i]) for i in range(0, len(line), 4)])
        return rows


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(channel for pixel in row for channel in pixel) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as png:
        png.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------- the program in a pseudo-terminal

def take_terminal():
    # Runs in the child after setsid: the pty (its output, even when input is a pipe) becomes
    # its controlling terminal, as in a shell, so Ctrl-C and end of file behave as for a person.
    fcntl.ioctl(1, termios.TIOCSCTTY, 0)


class Session:
    def __init__(self, options, xvfb, display=True, stdin_pipe=None, stderr_apart=False,
                 arguments=()):
        self.options = options
        self.xvfb = xvfb
        self.timeout = options.timeout
        self.strict = options.console == "posix"
        self.master, self.slave = os.openpty()
        fcntl.ioctl(self.slave, termios.TIOCSWINSZ, struct.pack("HHHH", 40, 120, 0, 0))
        self.terminal_before = termios.tcgetattr(self.slave)
        env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": options.home,
               "LANG": "C", "LC_ALL": "C", "TERM": "dumb", "XDG_RUNTIME_DIR": options.home}
        for name in options.pass_env:
            if name in os.environ:
                env[name] = os.environ[name]
        if display:
            env["DISPLAY"] = xvfb.display
        self.raw = b""
        self.cursor = 0  # how much of the normalised output has been accounted for
        self.echo = ""   # what the terminal is expected to echo before the next output
        self.window = None
        self.notes = []  # (output position, note) for transcripts
        # Standard error apart from the terminal, for cases that tell the two streams apart.
        self.stderr_reader, stderr_writer = os.pipe() if stderr_apart else (None, self.slave)
        self.process = subprocess.Popen(
            options.program + list(arguments), stdin=stdin_pipe if stdin_pipe is not None else self.slave,
            stdout=self.slave, stderr=stderr_writer, env=env, cwd=options.home,
            start_new_session=True, preexec_fn=take_terminal)
        if stderr_apart:
            os.close(stderr_writer)

    # -- output

    def text(self):
        text = self.raw.decode("utf-8", "replace")
        if self.options.console == "wine":
            text = wine_console.plain_text(text)
        text = ESCAPES.sub("", text)
        text = text.replace("\r\n", "\n")
        return re.sub(r"[^\n]*\r", "", text)  # a bare CR starts the line over

    def _pump(self, until):
        remaining = until - time.monotonic()
        ready, _, _ = select.select([self.master], [], [], max(0.0, min(remaining, 0.05)))
        if ready:
            try:
                self.raw += os.read(self.master, 65536)
            except OSError:
                pass

    def wait_for(self, text, timeout=None, what=None, any_gap=False):
        """Waits for `text` after the cursor; in the strict console, what lies between must be
        exactly the echo of what was typed, unless `any_gap`. Returns what lay between."""
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            output = self.text()
            found = output.find(text, self.cursor)
            if found >= 0:
                gap = output[self.cursor:found]
                if self.strict and not any_gap and gap != self.echo:
                    raise Failure("unexpected output before %r: %r (expected only the echo %r)"
                                  % (what or text, gap, self.echo))
                self.cursor = found + len(text)
                self.echo = ""
                return gap
            if time.monotonic() > deadline:
                raise Failure("timed out waiting for %r" % (what or text))
            if self.process.poll() is not None:
                self._pump(time.monotonic() + 0.05)
                if self.text().find(text, self.cursor) < 0:
                    raise Failure("the program ended (status %s) while waiting for %r"
                                  % (self.process.returncode, what or text))
            self._pump(deadline)

    def wait_for_line(self, pattern, what):
        """Waits for one whole line matching `pattern` right after the cursor."""
        deadline = time.monotonic() + self.timeout
        while True:
            output = self.text()
            start = self.cursor
            if not self.strict:  # other output may be interleaved; look at every line ahead
                newline = output.find("\n", start)
                while newline >= 0:
                    match = pattern.match(output, start)
                    if match and match.end() == newline + 1:
                        self.cursor = match.end()
                        self.echo = ""
                        return match
                    start = newline + 1
                    newline = output.find("\n", start)
            else:
                start += len(self.echo) if output.startswith(self.echo, start) else 0
                match = pattern.match(output, start)
                if match:
                    self.cursor = match.end()
                    self.echo = ""
                    return match
                if output.find("\n", start) >= 0:
                    raise Failure("expected %s, got %r" % (what, output[self.cursor:][:200]))
            if time.monotonic() > deadline:
                raise Failure("timed out waiting for %s" % what)
            self._pump(deadline)

    def expect_nothing_more(self, settle=0.3):
        deadline = time.monotonic() + settle
        while time.monotonic() < deadline:
            self._pump(deadline)
        rest = self.text()[self.cursor:]
        if self.strict:
            check(rest == self.echo, "unexpected output: %r" % rest)

    # -- input

    def local_flags(self):
        return termios.tcgetattr(self.slave)[3]

    def wait_terminal(self, canonical):
        """Waits until the program has the terminal in line mode (a question is open) or in
        polling mode, so typed bytes reach the reader they are meant for."""
        if self.options.console == "wine":
            canonical = wine_console.TERMINAL_CANONICAL
        elif self.options.console != "posix":
            return
        deadline = time.monotonic() + self.timeout
        while bool(self.local_flags() & termios.ICANON) != canonical:
            if time.monotonic() > deadline:
                raise Failure("the terminal never went to %s mode"
                              % ("line" if canonical else "polling"))
            check(self.process.poll() is None, "the program ended unexpectedly")
            self._pump(time.monotonic() + 0.002)

    def type_line(self, line):
        self.wait_terminal(True)
        enter = wine_console.ENTER if self.options.console == "wine" else b"\n"
        os.write(self.master, line.encode() + enter)
        self.echo += line + "\n"

    def answer(self, prompt, line):
        self.wait_for(prompt)
        self.type_line(line)

    def send_eof(self):
        self.wait_terminal(True)
        os.write(self.master, bytes([self.terminal_before[6][termios.VEOF][0]]))

    # -- the window

    def find_window(self):
        if self.window is None:
            found = run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % TITLE],
                        self, self.timeout)
            self.window = int(found.split()[0])
        return self.window

    def press_f1(self, method=None):
        method = method or self.options.f1[0]
        self.notes.append((len(self.text()), "F1"))
        if method == "terminal":
            self.wait_terminal(False)
            os.write(self.master, b"\x1bOP")
        else:
            window = self.find_window()
            run(["xdotool", "windowfocus", "--sync", str(window)], self)
            run(["xdotool", "key", "F1"], self)

    def client_rect(self):
        if self.options.console == "wine":
            return wine_console.client_rect(
                lambda: run(["xwininfo", "-stats", "-tree", "-id", str(self.find_window())], self),
                self.timeout)
        info = run(["xwininfo", "-id", str(self.find_window())], self)
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"),
                field("Width"), field("Height"), info)

    def screenshot(self):
        x, y, width, height, _ = self.client_rect()
        return self.xvfb.screenshot(x, y, width, height)

    def close_window(self):
        self.xvfb.send_delete_window(self.find_window())

    # -- the end

    def wait_exit(self, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while self.process.poll() is None:
            if time.monotonic() > deadline:
                raise Failure("the program did not end")
            self._pump(time.monotonic() + 0.02)
        self._pump(time.monotonic() + 0.05)
        return self.process.returncode

    def standard_error(self):
        """Everything the ended program wrote to its standard error (kept apart)."""
        data = b""
        while chunk := os.read(self.stderr_reader, 65536):
            data += chunk
        return data.decode("utf-8", "replace").replace("\r\n", "\n")

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.close(self.master)
        os.close(self.slave)
        if self.stderr_reader is not None:
            os.close(self.stderr_reader)

    def dump(self):
        text = self.text()
        return ("--- last output (cursor at %d of %d) ---\n%s\n--- raw tail ---\n%r"
                % (self.cursor, len(text), text[-1500:], self.raw[-400:]))


def run(argv, session, timeout=None):
    try:
        result = subprocess.run(argv, capture_output=True, text=True,
                                timeout=timeout or session.timeout,
                                env=dict(os.environ, DISPLAY=session.xvfb.display))
    except subprocess.TimeoutExpired:
        raise Failure("%s timed out" % " ".join(argv))
    check(result.returncode == 0, "%s failed: %s" % (" ".join(argv), result.stderr.strip()))
    return result.stdout


# ---------------------------------------------------------------- dialogue steps

def banner(session):
    gap = session.wait_for(BOARD_PROMPT, what="the banner and the first prompt", any_gap=True)
    check(re.fullmatch(r"[^\n]+\n", gap) is not None or not session.strict,
          "the banner is not one line: %r" % gap)


def start_up(session, size, colors, cell="", sleep="1"):
    banner(session)
    session.type_line(str(size))
    session.answer(COLORS_PROMPT, str(colors))
    session.answer(CELL_PROMPT, str(cell))
    if cell == "":
        session.wait_for("Using default value: 16\n")
    session.answer(SLEEP_PROMPT, str(sleep))
    if sleep == "":
        session.wait_for("Using default value: 500\n")
    session.wait_for(HINT)


def open_menu(session, method=None):
    session.press_f1(method)
    session.wait_for(MENU, what="the menu")


def choose(session, number):
    session.type_line(str(number))


def query_tile(session, text):
    open_menu(session)
    choose(session, 3)
    session.answer(TILE_PROMPT, text)


def query_all_tiles(session, size):
    grid = {}
    for y in range(size):
        for x in range(size):
            query_tile(session, "%d,%d" % (x, y))
            match = session.wait_for_line(TILE_LINE, "the line of tile (%d, %d)" % (x, y))
            check((int(match[1]), int(match[2])) == (x, y), "wrong tile: %r" % match[0])
            grid[x, y] = tuple(int(v) for v in match.groups()[2:])  # cluster, colour, neighbours
            session.wait_for(HINT)
    return grid


def query_cluster(session, text):
    open_menu(session)
    choose(session, 4)
    session.answer(CLUSTER_PROMPT, text)


def regions(colors, size):
    """Side-connected regions of one colour, numbered by their smallest tile index."""
    label = {}
    members = {}
    for start in ((x, y) for y in range(size) for x in range(size)):
        if start in label:
            continue
        region = len(members) + 1
        members[region] = []
        stack = [start]
        label[start] = region
        while stack:
            x, y = stack.pop()
            members[region].append((x, y))
            for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                if (0 <= nx < size and 0 <= ny < size and (nx, ny) not in label
                        and colors[nx, ny] == colors[x, y]):
                    label[nx, ny] = region
                    stack.append((nx, ny))
    return label, members


def side_neighbors(x, y, size):
    return [(a, b) for a, b in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1))
            if 0 <= a < size and 0 <= b < size]


def check_fresh_board(session, size):
    """Every tile and every cluster of a fresh board as the queries report them, held against
    the regions the reported colours make."""
    grid = query_all_tiles(session, size)
    colors = {tile: value[1] for tile, value in grid.items()}
    label, members = regions(colors, size)
    for (x, y), (cluster, color, neighbors) in grid.items():
        check(cluster == label[x, y], "tile (%d, %d) reports cluster %d, its region is %d"
              % (x, y, cluster, label[x, y]))
        other = {label[t] for t in side_neighbors(x, y, size) if colors[t] != color}
        check(neighbors == len(other), "tile (%d, %d) reports %d neighbours, expected %d"
              % (x, y, neighbors, len(other)))
    for region, tiles in members.items():
        query_cluster(session, str(region))
        match = session.wait_for_line(CLUSTER_LINE, "the line of cluster %d" % region)
        touching = {label[t] for tile in tiles for t in side_neighbors(*tile, size)} - {region}
        expected = (colors[tiles[0]], len(tiles), len(touching))
        check(tuple(int(v) for v in match.groups()) == expected,
              "cluster %d: %r, expected colour, size, neighbours %r" % (region, match[0], expected))
        session.wait_for(HINT)
    query_cluster(session, str(len(members) + 1))
    session.wait_for("Could not find a cluster with id: %d\n" % (len(members) + 1))
    session.wait_for(HINT)
    return grid


def check_drawing(session, colors, size, cell):
    """Each tile is one uniform square of `cell` pixels, and tiles of one colour look alike."""
    settle = time.monotonic() + 0.2  # a few idle repaints after the last command
    while time.monotonic() < settle:
        session._pump(settle)
    pixels = session.screenshot()
    check(len(pixels) == size * cell and len(pixels[0]) == size * cell,
          "client area %dx%d" % (len(pixels[0]), len(pixels)))
    drawn = {}
    for (x, y), color in colors.items():
        square = {pixels[y * cell + j][x * cell + i] for j in range(cell) for i in range(cell)}
        check(len(square) == 1, "tile (%d, %d) is not one uniform square: %d colours"
              % (x, y, len(square)))
        pixel = square.pop()
        check(drawn.setdefault(color, pixel) == pixel,
              "colour %d is drawn as both %r and %r" % (color, drawn[color], pixel))
    return pixels


# ---------------------------------------------------------------- cases

def case_startup_dialogue(session):
    banner(session)
    session.type_line("2")
    session.wait_for("Value (2) is not between 3 and 64\n")
    session.answer(BOARD_PROMPT, "")
    session.answer(BOARD_PROMPT, "99999999999")
    session.wait_for("Value (2147483647) is not between 3 and 64\n")
    session.answer(BOARD_PROMPT, " +6 tiles")
    session.answer(COLORS_PROMPT, "33")
    session.wait_for("Value (33) is not between 2 and 32\n")
    session.answer(COLORS_PROMPT, "4")
    session.answer(CELL_PROMPT, " ")
    session.wait_for("Value (0) is not between 8 and 128\n")
    session.answer(CELL_PROMPT, "")
    session.wait_for("Using default value: 16\n")
    session.answer(SLEEP_PROMPT, "10001")
    session.wait_for("Value (10001) is not between 1 and 10000\n")
    session.answer(SLEEP_PROMPT, "")
    session.wait_for("Using default value: 500\n")
    session.wait_for(HINT)
    session.find_window()
    session.expect_nothing_more()


def case_window_geometry_and_close(session):
    start_up(session, 6, 4, cell="20")
    x, y, width, height, info = session.client_rect()
    check('"%s"' % TITLE in info, "window title: %s" % info.splitlines()[1:2])
    check((width, height) == (120, 120), "client area %dx%d, expected 120x120" % (width, height))
    if session.options.console == "wine":  # the frame is drawn: its corner is at (0, 0)
        x, y = wine_console.window_origin(info)
    check((x, y) == (0, 0), "window at (%d, %d), expected (0, 0)" % (x, y))
    if session.options.console == "posix":
        hints = run(["xprop", "-id", str(session.find_window()), "WM_NORMAL_HINTS"], session)
        check("minimum size: 120 by 120" in hints and "maximum size: 120 by 120" in hints,
              "the window is resizable: %s" % hints.strip())
    session.close_window()
    status = session.wait_exit()
    check(status == 0, "exit status %s after closing the window" % status)
    session.expect_nothing_more(0)


def menu_refusals_with(method):
    def case(session):
        start_up(session, 5, 3)
        open_menu(session, method)
        session.type_line("")
        session.type_line("0")
        session.wait_for("Value (0) is not between 1 and 5\n")
        session.type_line("6")
        session.wait_for("Value (6) is not between 1 and 5\n")
        session.type_line("2 turns")
        session.wait_for(HINT)
        open_menu(session, method)  # a second time: the press was consumed, not stuck
        choose(session, 1)
        session.wait_for(HINT)
        session.expect_nothing_more()
    return case


def case_queries_match_the_drawing(session):
    size, cell = 6, 16
    start_up(session, size, 4)
    grid = check_fresh_board(session, size)
    first = check_drawing(session, {t: v[1] for t, v in grid.items()}, size, cell)

    for text in ("3 7", ""):
        query_tile(session, text)
        session.wait_for("Missing comma delimiter\n")
        session.wait_for(HINT)
    for text in (",3", "1,", "2,"):
        query_tile(session, text)
        session.wait_for(HINT)
    for text, value in (("6,0", 6), ("-1,0", -1), ("0,6", 6), ("0,-1", -1), ("9,", 9)):
        query_tile(session, text)
        session.wait_for("Value (%d) is not between 0 and 5\n" % value)
        session.wait_for(HINT)
    for text, tile in (("1,2,3", (1, 2)), (" 2, 3", (2, 3)), ("a,b", (0, 0))):
        query_tile(session, text)
        cluster, color, neighbors = grid[tile]
        session.wait_for("(%d, %d) Cluster=%d, Color=%d, Neighbors=%d\n"
                         % (tile + (cluster, color, neighbors)))
        session.wait_for(HINT)
    for text, shown in (("", 0), ("-1", -1), ("x", 0)):
        query_cluster(session, text)
        session.wait_for("Could not find a cluster with id: %d\n" % shown)
        session.wait_for(HINT)

    # One turn: the player's region takes a new colour and the window follows.
    open_menu(session)
    choose(session, 2)
    session.wait_for(HINT)
    after = query_all_tiles(session, size)
    colors = {t: v[1] for t, v in after.items()}
    label, members = regions(colors, size)
    mine = set(members[label[0, 0]])
    check(colors[0, 0] != grid[0, 0][1] or len(mine) == size * size, "the turn changed nothing")
    for tile, (cluster, _, _) in after.items():
        check((cluster == 1) == (tile in mine), "tile %r reports cluster %d after the turn"
              % (tile, cluster))
    query_cluster(session, "1")
    session.wait_for("Color=%d, Size=%d, " % (colors[0, 0], len(mine)))
    session.wait_for_line(re.compile(r"Neighbors=\d+\n"), "the neighbour count")
    session.wait_for(HINT)
    check_drawing(session, colors, size, cell)

    # A new board is drawn at once.
    open_menu(session)
    choose(session, 1)
    session.wait_for(HINT)
    grid = check_fresh_board(session, size)
    check(check_drawing(session, {t: v[1] for t, v in grid.items()}, size, cell) != first,
          "the window still shows the first board")


def case_series(session):
    start_up(session, 6, 4, sleep="1")
    open_menu(session)
    choose(session, 5)
    session.answer(SERIES_PROMPT, "")
    session.answer(SERIES_PROMPT, "0")
    session.wait_for("Value (0) is not between 1 and 16777215\n")
    session.answer(SERIES_PROMPT, "16777216")
    session.wait_for("Value (16777216) is not between 1 and 16777215\n")
    session.answer(SERIES_PROMPT, "3")
    session.wait_for(HINT)
    runs = [int(session.wait_for_line(re.compile(r"Finished running simulation in (\d+) turns\n"),
                                      "a finished run")[1]) for _ in range(3)]
    check(all(turns >= 1 for turns in runs), "runs of %r turns" % runs)
    average = f32(f32(float(sum(runs))) / f32(3.0))
    session.wait_for_line(re.compile(re.escape(
        "Ran 3 simulations with an average of %f turns\n" % average)), "the average line")
    session.wait_for_line(re.compile(re.escape("Board Size=6x6, Colors=4\n")), "the size line")
    session.wait_for_line(re.compile(re.escape(
        "Worst Turns to solve a board: %d\n" % max(runs))), "the worst line")
    open_menu(session)
    choose(session, 2)
    session.wait_for("The board is already completed\n")
    session.wait_for(HINT)
    open_menu(session)
    choose(session, 1)
    session.wait_for(HINT)
    open_menu(session)
    choose(session, 2)
    session.wait_for(HINT)
    session.expect_nothing_more()


def expect_terminal_restored(session):
    after = termios.tcgetattr(session.slave)
    names = ("iflag", "oflag", "cflag", "lflag")
    for index, name in enumerate(names):
        check(after[index] == session.terminal_before[index],
              "terminal %s is %o, was %o" % (name, after[index], session.terminal_before[index]))
    check(after[6] == session.terminal_before[6], "terminal control characters changed")


def case_end_of_input_at_a_question(session):
    banner(session)
    session.type_line("6")
    session.wait_for(COLORS_PROMPT)
    session.send_eof()
    status = session.wait_exit()
    check(status == 0, "exit status %s at end of input" % status)
    expect_terminal_restored(session)


def case_end_of_input_in_the_menu(session):
    start_up(session, 5, 3)
    open_menu(session, "terminal")  # the terminal was in polling mode just before
    session.send_eof()
    status = session.wait_exit()
    check(status == 0, "exit status %s at end of input" % status)
    expect_terminal_restored(session)


def type_control_while_polling(session, control):
    """Types the terminal's own control character (termios.VEOF, VINTR, ...) while the program
    waits for F1, and returns its exit status."""
    start_up(session, 5, 3)
    session.wait_terminal(False)
    os.write(session.master, bytes([session.terminal_before[6][control][0]]))
    return session.wait_exit()


def case_ctrl_d_while_polling(session):
    status = type_control_while_polling(session, termios.VEOF)
    check(status == 0, "exit status %s after Ctrl-D while idle" % status)
    expect_terminal_restored(session)


def case_ctrl_c_while_polling(session):
    status = type_control_while_polling(session, termios.VINTR)
    check(status == -signal.SIGINT, "status %s after Ctrl-C, expected death by SIGINT" % status)
    expect_terminal_restored(session)


def case_end_of_piped_input(session):
    session.pipe_writer.write(b"6\n")
    session.pipe_writer.close()
    banner(session)
    session.wait_for(COLORS_PROMPT)
    status = session.wait_exit()
    check(status == 0, "exit status %s at end of piped input" % status)


def cpu_seconds(session):
    """User and system CPU time the program has used so far."""
    with open("/proc/%d/stat" % session.process.pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def process_state(session):
    with open("/proc/%d/stat" % session.process.pid) as stat:
        return stat.read().rsplit(")", 1)[1].split()[0]


def case_idle_program_sleeps(session):
    start_up(session, 64, 32)
    session.wait_terminal(False)
    time.sleep(0.5)  # the first frames
    before, started = cpu_seconds(session), time.monotonic()
    time.sleep(4)
    share = (cpu_seconds(session) - before) / (time.monotonic() - started)
    check(share < 0.02, "the idle program used %.1f%% of a core" % (share * 100))
    open_menu(session, "terminal")  # and still answers F1 at once
    choose(session, 1)
    session.wait_for(HINT)


def case_ctrl_d_during_a_series(session):
    start_up(session, 6, 4, sleep="1")
    open_menu(session)
    choose(session, 5)
    session.answer(SERIES_PROMPT, "100000")
    session.wait_for(HINT)
    session.wait_for_line(re.compile(r"Finished running simulation in \d+ turns\n"), "a run")
    flags = session.local_flags()
    check(not flags & (termios.ICANON | termios.ECHO), "the terminal echoes during a series")
    os.write(session.master, b"typed during the series")
    os.write(session.master, bytes([session.terminal_before[6][termios.VEOF][0]]))
    status = session.wait_exit()
    check(status == 0, "exit status %s after Ctrl-D during a series" % status)
    rest = session.text()[session.cursor:]
    check("typed" not in rest, "keys typed during the series were echoed: %r" % rest[-200:])
    expect_terminal_restored(session)


def case_ctrl_d_in_a_long_pause(session):
    """Keys typed in a pause of ten seconds, F1 among them, leave it alone; Ctrl-D ends the
    program at once, not after the pause."""
    start_up(session, 4, 4, sleep="10000")
    open_menu(session)
    choose(session, 5)
    session.answer(SERIES_PROMPT, "3")
    session.wait_for(HINT)
    session.wait_terminal(False)  # the series' first pause
    # A board of 16 tiles takes at most 15 turns: a pause ended by each key would finish a run.
    for key in [b"x"] * 10 + [b"\x1bOP"] + [b"y"] * 9:
        os.write(session.master, key)
        time.sleep(0.025)
    check(session.process.poll() is None, "keys typed in a pause ended the program")
    session.expect_nothing_more(0.2)
    os.write(session.master, bytes([session.terminal_before[6][termios.VEOF][0]]))
    typed = time.monotonic()
    status = session.wait_exit()
    took = time.monotonic() - typed
    check(status == 0, "exit status %s after Ctrl-D in a pause" % status)
    check(took < 0.5, "Ctrl-D in a pause took %.2f s to end the program" % took)
    session.expect_nothing_more(0)
    expect_terminal_restored(session)


def case_end_of_input_with_the_last_answer(session):
    banner(session)
    session.type_line("6")
    session.answer(COLORS_PROMPT, "4")
    session.answer(CELL_PROMPT, "")
    session.wait_for("Using default value: 16\n")
    session.wait_for(SLEEP_PROMPT)
    session.wait_terminal(True)
    eof = bytes([session.terminal_before[6][termios.VEOF][0]])
    os.write(session.master, b"5" + eof)  # hands over "5" without a newline
    time.sleep(0.2)
    os.write(session.master, eof)  # end of input
    session.echo = "5"
    session.wait_for(HINT)  # the answer is taken, then the program ends
    status = session.wait_exit()
    check(status == 0, "exit status %s at end of input after the last answer" % status)
    expect_terminal_restored(session)


def case_end_of_piped_input_after_the_answers(session):
    session.pipe_writer.write(b"6\n4\n\n1\n")
    session.pipe_writer.close()
    session.strict = False  # a pipe is not echoed
    banner(session)
    session.wait_for(HINT)
    status = session.wait_exit()
    check(status == 0, "exit status %s at end of piped input" % status)


def case_ctrl_z_without_job_control(session):
    """Started as a session leader with no shell: there is no job control to continue a stopped
    program, so Ctrl-Z must not stop it."""
    start_up(session, 5, 3)
    session.wait_terminal(False)
    os.write(session.master, bytes([session.terminal_before[6][termios.VSUSP][0]]))
    time.sleep(0.3)
    check(process_state(session) != "T", "Ctrl-Z stopped the program for good")
    session.wait_terminal(False)  # the polling mode is back
    check(not session.local_flags() & termios.ECHO, "the terminal echoes after Ctrl-Z")
    open_menu(session, "terminal")
    choose(session, 1)
    session.wait_for(HINT)
    session.expect_nothing_more()


def case_series_then_end_of_input(session):
    """A short use of the whole program, for runs under valgrind or another checker."""
    start_up(session, 6, 4, sleep="1")
    open_menu(session, "terminal")
    choose(session, 5)
    session.answer(SERIES_PROMPT, "2")
    session.wait_for(HINT)
    session.wait_for("Worst Turns to solve a board: ", any_gap=True)
    session.wait_for_line(re.compile(r"\d+\n"), "the worst turns")
    session.wait_terminal(False)
    os.write(session.master, bytes([session.terminal_before[6][termios.VEOF][0]]))
    status = session.wait_exit()
    check(status == 0, "exit status %s" % status)
    expect_terminal_restored(session)


def case_no_display(session):
    status = session.wait_exit()
    output = session.text()
    errors = session.standard_error()
    check(status != 0, "exit status 0 without a display")
    check(output == "", "the failure went to standard output: %r" % output)
    check(re.fullmatch(r"Tidefill: [^\n]+\n", errors) is not None,
          "expected one line naming the failure on standard error, got %r" % errors)


def project_version():
    """The version CMakeLists.txt gives the project, which --version must show."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    with open(path) as cmake:
        return re.search(r"project\(Tidefill VERSION ([0-9.]+)", cmake.read())[1]


def answer_to(session, arguments):
    """Runs the program with `arguments` and a terminal that nobody types at, beside the case's
    own session; returns its status, what the terminal showed and its standard error."""
    other = Session(session.options, session.xvfb, display=not session.strict, stderr_apart=True,
                    arguments=arguments)
    try:
        status = other.wait_exit()
        return status, other.text(), other.standard_error()
    finally:
        other.stop()


def case_version_and_help(session):
    """Answered on standard output with no window and no question (the POSIX runs have no
    display at all), then status 0."""
    status, output, errors = answer_to(session, ["--version"])
    check((status, output, errors) == (0, "tidefill %s\n" % project_version(), ""),
          "--version: status %s, output %r, errors %r" % (status, output, errors))
    status, output, errors = answer_to(session, ["--help"])
    check(status == 0 and errors == "", "--help: status %s, errors %r" % (status, errors))
    check(output.startswith("Usage: tidefill [--help | --version]\n"), "--help: %r" % output)
    for words in ("no other options", "settings at the terminal", "F1", "Closing the window",
                  "Ctrl-D" if session.strict else "Ctrl-Z"):
        check(words in output, "--help does not mention %r: %r" % (words, output))
    check(all(len(line) <= 80 for line in output.splitlines()), "--help: lines over 80 columns")
    if session.strict:  # a help that could not be written is no success
        with open("/dev/full", "w") as full:
            written = subprocess.run(session.options.program + ["--help"], stdout=full,
                                     stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
        check(written.returncode == 1, "--help to a full disk: status %s" % written.returncode)


def case_other_arguments(session):
    """One line on standard error naming the argument, nothing else, and status 2."""
    for arguments in (["--bogus"], ["-h"], ["help"], [""], ["--help", "--version"],
                      ["--version", "extra"]):
        status, output, errors = answer_to(session, arguments)
        refused = arguments[-1]
        check(status == 2 and output == "",
              "%r: status %s, output %r" % (arguments, status, output))
        check(re.fullmatch(r"tidefill: [^\n]*'%s'[^\n]*\n" % re.escape(refused), errors),
              "%r: expected one line naming %r on standard error, got %r"
              % (arguments, refused, errors))


def record_docs(session):
    """A short real session for the README, and a picture of its window."""
    session.strict = False  # answers are recorded, not checked
    size = 10
    start_up(session, size, 5, cell="", sleep="")
    open_menu(session)
    choose(session, 3)
    session.answer(TILE_PROMPT, "2,3")
    session.wait_for(HINT)
    open_menu(session)
    choose(session, 4)
    session.answer(CLUSTER_PROMPT, "1")
    session.wait_for(HINT)
    time.sleep(0.3)
    write_png(os.path.join(session.options.docs, "window.png"), session.screenshot())
    open_menu(session)
    choose(session, 5)
    session.answer(SERIES_PROMPT, "2")
    session.wait_for("Worst Turns to solve a board: ", timeout=120)
    session.wait_for("\n")
    text = session.text()
    pieces, last = [], 0
    for position, note in session.notes:
        pieces.append(text[last:position])
        pieces.append("<%s>\n" % note)
        last = position
    pieces.append(text[last:])
    with open(os.path.join(session.options.docs, "session.txt"), "w") as transcript:
        transcript.write("".join(pieces))
    session.close_window()
    check(session.wait_exit() == 0, "the program did not end with 0")


# ---------------------------------------------------------------- runner

def cases(options):
    posix = options.console == "posix"
    table = [
        ("startup_dialogue", case_startup_dialogue, {}),
        ("window_geometry_and_close", case_window_geometry_and_close, {}),
    ]
    for method in options.f1:
        table.append(("menu_by_%s_f1" % method, menu_refusals_with(method), {}))
    table += [
        ("queries_match_the_drawing", case_queries_match_the_drawing, {}),
        ("series", case_series, {}),
        ("version_and_help", case_version_and_help, {}),
        ("other_arguments", case_other_arguments, {}),
    ]
    if posix:
        table += [
            ("end_of_input_at_a_question", case_end_of_input_at_a_question, {}),
            ("ctrl_d_while_polling", case_ctrl_d_while_polling, {}),
            ("ctrl_c_while_polling", case_ctrl_c_while_polling, {}),
            ("end_of_piped_input", case_end_of_piped_input, {"pipe": True}),
            ("end_of_piped_input_after_the_answers", case_end_of_piped_input_after_the_answers,
             {"pipe": True}),
            ("end_of_input_with_the_last_answer", case_end_of_input_with_the_last_answer, {}),
            ("ctrl_z_without_job_control", case_ctrl_z_without_job_control, {}),
            ("idle_program_sleeps", case_idle_program_sleeps, {}),
            ("no_display", case_no_display, {"display": False, "stderr_apart": True}),
        ]
        if "terminal" in options.f1:
            table.append(("end_of_input_in_the_menu", case_end_of_input_in_the_menu, {}))
            table.append(("ctrl_d_during_a_series", case_ctrl_d_during_a_series, {}))
            table.append(("ctrl_d_in_a_long_pause", case_ctrl_d_in_a_long_pause, {}))
    # Not run by default: for a run of the program under a checker (--case).
    if options.case and "series_then_end_of_input" in options.case:
        table.append(("series_then_end_of_input", case_series_then_end_of_input, {}))
    return table


def run_case(options, xvfb, name, body, extra):
    reader = writer = None
    if extra.get("pipe"):
        reader, writer = os.pipe()
    session = Session(options, xvfb, display=extra.get("display", True), stdin_pipe=reader,
                      stderr_apart=extra.get("stderr_apart", False))
    if reader is not None:
        os.close(reader)
        session.pipe_writer = os.fdopen(writer, "wb", buffering=0)
    started = time.monotonic()
    try:
        body(session)
        print("PASS %s (%.1fs)" % (name, time.monotonic() - started), flush=True)
        return True
    except Exception as error:  # every failure of a case is reported, then the next one runs
        print("FAIL %s: %s" % (name, error), flush=True)
        if not isinstance(error, Failure):
            traceback.print_exc(file=sys.stdout)
        print(session.dump(), flush=True)
        return False
    finally:
        session.stop()
        if writer is not None and not session.pipe_writer.closed:
            session.pipe_writer.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True,
                        help="command that starts the program, e.g. 'wine tidefill.exe'")
    parser.add_argument("--f1", default="terminal,window",
                        help="how F1 can be pressed, comma-separated: terminal, window; the "
                             "first is used for ordinary menu openings")
    parser.add_argument("--console", choices=("posix", "wine"), default="posix",
                        help="posix: exact transcripts and terminal-mode checks; wine: text "
                             "compared in order only, no end-of-input cases")
    parser.add_argument("--case", action="append", help="run only these cases")
    parser.add_argument("--timeout", type=float, default=15.0, help="seconds for each wait")
    parser.add_argument("--pass-env", default="", help="variables handed to the program")
    parser.add_argument("--docs", help="record docs/session.txt and docs/window.png here instead")
    options = parser.parse_args()
    options.program = shlex.split(options.program)
    if os.path.exists(options.program[0]):  # the program runs in a scratch directory
        options.program[0] = os.path.abspath(options.program[0])
    options.f1 = [m for m in options.f1.split(",") if m]
    options.pass_env = [n for n in options.pass_env.split(",") if n]

    with tempfile.TemporaryDirectory(prefix="tidefill-e2e-") as home:
        options.home = home
        xvfb = Xvfb(options.timeout)
        try:
            if options.docs:
                return 0 if run_case(options, xvfb, "docs", record_docs, {}) else 1
            selected = [c for c in cases(options) if not options.case or c[0] in options.case]
            results = [run_case(options, xvfb, *c) for c in selected]
        finally:
            xvfb.stop()
    passed = sum(results)
    print("%d passed, %d failed" % (passed, len(results) - passed))
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
