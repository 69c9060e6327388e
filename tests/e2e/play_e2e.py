#!/usr/bin/env python3
"""Plays tidefill-play as a person would: keys and clicks through xdotool on an Xvfb server this
script starts, the terminal lines read as they come, the window read back as pixels, and every
answer held against tidefill-study's own.

    play_e2e.py --program build/release/tidefill-play --study build/release/tidefill-study
    play_e2e.py --program "wine build/windows/tidefill-play.exe" --wine --study ...

Standard library only (and the X helpers of tidefill_e2e.py). Needs Xvfb, xdotool and xwininfo.
"""

import argparse
import os
import queue
import re
import shlex
import subprocess
import sys
import tempfile
import threading
import time
import traceback

import wine_console
from tidefill_e2e import Failure, Xvfb, check

TITLE = "^Tidefill Play"
SWATCH, GAP, MIN_WIDTH, STATUS_LINE = 32, 8, 400, 20


class Play:
    """tidefill-play on the test's display, its standard output read line by line."""

    def __init__(self, options, xvfb, args, stdin=None):
        self.options = options
        self.xvfb = xvfb
        self.env = dict(os.environ, DISPLAY=xvfb.display, LANG="C", LC_ALL="C")
        self.process = subprocess.Popen(
            options.program + args, stdin=stdin if stdin is not None else subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=self.env,
            cwd=options.home, start_new_session=True)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()
        self.window = None

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def expect(self, pattern, what=None):
        """The next line that matches `pattern` (a regular expression), skipping others; the
        lines skipped must be of the kinds that come on their own time (best-from-here lines)."""
        deadline = time.monotonic() + self.options.timeout
        while True:
            try:
                line = self.lines.get(timeout=max(0.0, deadline - time.monotonic()))
            except queue.Empty:
                raise Failure("timed out waiting for %s; lines so far: %r"
                              % (what or pattern, self.seen[-8:]))
            if line is None:
                raise Failure("the program ended (status %s) while waiting for %s"
                              % (self.process.wait(), what or pattern))
            self.seen.append(line)
            match = re.fullmatch(pattern, line)
            if match:
                return match
            check(line.startswith("Best from here after move "),
                  "unexpected line %r while waiting for %s" % (line, what or pattern))

    def find_window(self):
        if self.window is None:
            found = self.xdotool(["search", "--sync", "--onlyvisible", "--name", TITLE])
            self.window = int(found.split()[0])
        return self.window

    def xdotool(self, argv, may_fail=False):
        try:
            result = subprocess.run(["xdotool"] + argv, capture_output=True, text=True,
                                    timeout=self.options.timeout, env=self.env)
        except subprocess.TimeoutExpired:
            raise Failure("xdotool %s timed out" % " ".join(argv))
        check(result.returncode == 0 or may_fail, "xdotool %s failed: %s" % (argv, result.stderr))
        return result.stdout

    def key(self, *names):
        window = str(self.find_window())
        self.xdotool(["windowfocus", "--sync", window])
        for name in names:  # XTEST, as a keyboard: the server sees each key go down and up
            self.xdotool(["key", name])

    def quit_with(self, name):
        """A key that ends the program: the window may be gone before the key comes up."""
        window = str(self.find_window())
        self.xdotool(["windowfocus", "--sync", window])
        self.xdotool(["key", name], may_fail=True)

    def click(self, x, y):
        """A click at a point of the client area, wherever the window system put that."""
        left, top, _, _ = self.client_rect()
        self.xdotool(["mousemove", "--sync", str(left + x), str(top + y), "click", "1"])

    def client_rect(self):
        """(x, y, width, height) of the client area on the screen."""
        query = lambda *flags: subprocess.run(
            ["xwininfo"] + list(flags) + ["-id", str(self.find_window())], capture_output=True,
            text=True, env=self.env, timeout=self.options.timeout).stdout
        if self.options.wine:  # Wine's frame is part of the X window; Direct2D draws in a child
            return wine_console.client_rect(lambda: query("-stats", "-tree"),
                                            self.options.timeout)[:4]
        info = query()
        check("Width" in info, "xwininfo could not see the window: %r" % info)
        field = lambda name: int(re.search(name + r":\s+(-?\d+)", info).group(1))
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                field("Height"))

    def screenshot(self):
        return self.xvfb.screenshot(*self.client_rect())

    def close_window(self):
        self.xvfb.send_delete_window(self.find_window())

    def wait_exit(self):
        try:
            return self.process.wait(self.options.timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end; its last lines: %r" % self.seen[-3:])

    def expect_clean_exit(self, how):
        status = self.wait_exit()
        check(status == 0, "%s ended the program with %s: %s"
              % (how, status, self.process.stderr.read()))

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


# ---------------------------------------------------------------- boards and the study's answers

def read_boards(path):
    """The boards of a board file: (side, colours, rows)."""
    boards, words = [], []
    with open(path) as text:
        for line in text:
            words += line.split("#")[0].split()
    while words:
        side, colours = int(words[0]), int(words[1])
        tiles = [int(w) for w in words[2:2 + side * side]]
        words = words[2 + side * side:]
        boards.append((side, colours, [tiles[r * side:(r + 1) * side] for r in range(side)]))
    return boards


def write_board(path, board):
    side, colours, rows = board
    with open(path, "w") as out:
        out.write("%d %d\n" % (side, colours))
        for row in rows:
            out.write(" ".join(map(str, row)) + "\n")


def study(options, args):
    result = subprocess.run([options.study] + args, capture_output=True, text=True,
                            timeout=120, cwd=options.home)
    check(result.returncode == 0, "the study failed: %s" % result.stderr)
    return result.stdout


def study_answers(options, board_file):
    """Per board and solver: (turns, proven, moves) as the study finds them."""
    csv = study(options, ["--from", board_file, "--solver", "greedy,exact", "--csv", "-",
                          "--moves", "--quiet"])
    answers = {}
    for line in csv.splitlines()[1:]:
        fields = line.split(",")
        answers[(int(fields[0]), fields[1])] = (int(fields[2]), fields[3] == "1",
                                                [int(m) for m in fields[9].split()])
    return answers


def seeded_board(options, seed, index, side, colours):
    path = os.path.join(options.home, "seeded-%d-%d.txt" % (seed, index))
    study(options, ["--seed", str(seed), "--first-board", str(index), "--boards", "1", "--size",
                    str(side), "--colors", str(colours), "--write-boards", path, "--quiet"])
    return read_boards(path)[0]


def play_colour(board, colour):
    """The board after the top-left region takes `colour`."""
    side, colours, rows = board
    rows = [list(row) for row in rows]
    own, stack, region = rows[0][0], [(0, 0)], {(0, 0)}
    while stack:
        x, y = stack.pop()
        for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
            if 0 <= nx < side and 0 <= ny < side and (nx, ny) not in region \
                    and rows[ny][nx] == own:
                region.add((nx, ny))
                stack.append((nx, ny))
    for x, y in region:
        rows[y][x] = colour
    return side, colours, rows


def key_of(colour):
    return "0" if colour == 9 else str(colour + 1)


def swatch_origin(side, colours, cell, colour):
    width = max(side * cell, MIN_WIDTH)
    per_row = max(1, (width - GAP) // (SWATCH + GAP))
    return (GAP + (colour % per_row) * (SWATCH + GAP),
            side * cell + GAP + (colour // per_row) * (SWATCH + GAP))


def settled(play, compare):
    """`compare` holds for a screenshot. The window may still be painting (under Wine a frame
    takes tens of milliseconds): the last of a few looks counts."""
    deadline = time.monotonic() + 5
    while True:
        try:
            return compare(play.screenshot())
        except Failure:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.1)


def check_tiles(play, board, cell):
    """Each tile's pixels are its colour's swatch; different colours differ."""
    settled(play, lambda pixels: compare_tiles(pixels, board, cell))


def check_text(play, board, cell):
    """The swatches of colours 0..9 carry their key's label, and the status lines have text:
    pixels of another colour inside each swatch, and in each status line."""
    side, colours, _ = board

    def compare(pixels):
        for colour in range(min(colours, 10)):
            x, y = swatch_origin(side, colours, cell, colour)
            inside = {pixels[y + dy][x + dx] for dy in range(SWATCH) for dx in range(SWATCH)}
            check(len(inside) > 1, "the swatch of colour %d has no label" % colour)
        last_swatch = swatch_origin(side, colours, cell, colours - 1)[1]
        for line in range(2):
            top = last_swatch + SWATCH + GAP + line * STATUS_LINE
            background = pixels[top][1]
            check(any(pixel != background for row in pixels[top:top + STATUS_LINE]
                      for pixel in row[GAP:]), "status line %d is blank" % (line + 1))

    settled(play, compare)


def compare_tiles(pixels, board, cell):
    side, colours, rows = board
    swatch = []
    for colour in range(colours):
        x, y = swatch_origin(side, colours, cell, colour)
        swatch.append(pixels[y + 2][x + 2])  # a corner, clear of the key's label
    check(len(set(swatch)) == colours, "two colours share a swatch: %r" % swatch)
    for ty in range(side):
        for tx in range(side):
            for px, py in ((1, 1), (cell // 2, cell // 2), (cell - 2, cell - 2)):
                seen = pixels[ty * cell + py][tx * cell + px]
                check(seen == swatch[rows[ty][tx]],
                      "tile (%d, %d) of colour %d shows %r, its swatch %r"
                      % (tx, ty, rows[ty][tx], seen, swatch[rows[ty][tx]]))


# ---------------------------------------------------------------- cases

def case_optimal_moves_of_a_board_file(options, xvfb):
    path = os.path.join(options.home, "boards.txt")
    study(options, ["--seed", "31", "--boards", "2", "--size", "12", "--colors", "6",
                    "--write-boards", path, "--quiet"])
    answers = study_answers(options, path)
    play = Play(options, xvfb, ["--from", path, "--cell", "20"])
    try:
        for index in range(2):
            optimum, proven, moves = answers[(index, "exact")]
            greedy = answers[(index, "greedy")][0]
            check(proven, "the study did not prove board %d" % index)
            play.expect(r"Board %d of %s: 12x12, 6 colours" % (index, re.escape(path)))
            play.expect(r"Best from here after move 0: %d" % optimum)
            for number, colour in enumerate(moves, 1):
                play.key(key_of(colour))
                play.expect(r"Move %d: colour %d" % (number, colour))
            play.expect(r"Solved board %d in %d moves; the optimum is %d; the program's rule "
                        r"takes %d\." % (index, optimum, optimum, greedy))
            if index == 0:
                play.key("n")
        play.key("n")  # after the file's last board, nothing
        play.quit_with("q")
        play.expect_clean_exit("q")
        rest = []
        while (line := play.lines.get(timeout=5)) is not None:
            rest.append(line)
        check(rest == [], "lines after the last board's end: %r" % rest)
    finally:
        play.stop()


def case_hint_starts_an_optimal_sequence(options, xvfb):
    path = os.path.join(options.home, "hint.txt")
    study(options, ["--seed", "77", "--boards", "1", "--size", "10", "--colors", "5",
                    "--write-boards", path, "--quiet"])
    board = read_boards(path)[0]
    optimum = study_answers(options, path)[(0, "exact")][0]
    play = Play(options, xvfb, ["--from", path, "--cell", "24"])
    try:
        play.expect(r"Board 0 of .*")
        play.key("h")
        colour = int(play.expect(r"Hint: colour (\d+)").group(1))
        # The hinted swatch is framed: the pixels just outside it are white.
        x, y = swatch_origin(10, 5, 24, colour)
        settled(play, lambda pixels: check(pixels[y - 4][x - 4] == (255, 255, 255),
                                           "the hint is not shown"))
        after = os.path.join(options.home, "after-hint.txt")
        write_board(after, play_colour(board, colour))
        rest = study_answers(options, after)[(0, "exact")][0]
        check(rest == optimum - 1, "the hint leaves %d moves where the optimum is %d"
              % (rest, optimum))
        play.click(x + SWATCH // 2, y + SWATCH // 2)  # a click on a swatch plays its colour
        play.expect(r"Move 1: colour %d" % colour)
        play.expect(r"Best from here after move 1: %d" % (optimum - 1))
        play.close_window()
        play.expect_clean_exit("closing the window")
    finally:
        play.stop()


def case_take_back_restart_and_next_board(options, xvfb):
    seed, index, side, colours, cell = 2026, 4, 14, 6, 16
    board = seeded_board(options, seed, index, side, colours)
    play = Play(options, xvfb, ["--seed", str(seed), "--board", str(index), "--cell", str(cell)])
    try:
        play.expect(r"Board 4 of seed 2026: 14x14, 6 colours")
        play.expect(r"Best from here after move 0: \d+")
        check_tiles(play, board, cell)
        check_text(play, board, cell)
        own = board[2][0][0]
        play.key(key_of(own))  # the player's own colour joins nothing
        # A click on a tile plays its colour: the right neighbour differs or joins nothing.
        first = next(c for c in range(colours) if c != own and
                     play_colour(board, c) != board and
                     any(board[2][y][x] == c for y in range(side) for x in range(side)
                         if (x, y) in ((1, 0), (0, 1))) )
        tile = next((x, y) for (x, y) in ((1, 0), (0, 1)) if board[2][y][x] == first)
        play.click(tile[0] * cell + cell // 2, tile[1] * cell + cell // 2)
        play.expect(r"Move 1: colour %d" % first)
        after_one = play_colour(board, first)
        check_tiles(play, after_one, cell)
        second = next(c for c in range(colours) if c != first and
                      play_colour(after_one, c)[2] != after_one[2])
        play.key(key_of(second))
        play.expect(r"Move 2: colour %d" % second)
        play.key("u")
        play.expect(r"Back to move 1")
        check_tiles(play, after_one, cell)
        play.key("BackSpace")
        play.expect(r"Back to move 0")
        play.key("u")  # nothing left to take back
        play.key(key_of(first))
        play.expect(r"Move 1: colour %d" % first)
        play.key("r")
        play.expect(r"Restart")
        check_tiles(play, board, cell)
        play.key("n")
        play.expect(r"Board 5 of seed 2026: 14x14, 6 colours")
        check_tiles(play, seeded_board(options, seed, index + 1, side, colours), cell)
        play.quit_with("Escape")
        play.expect_clean_exit("Escape")
        check(not any(line.startswith("Back to move") and line != "Back to move 1" and
                      line != "Back to move 0" for line in play.seen), "a take-back too many")
    finally:
        play.stop()


def case_many_colours_and_watching(options, xvfb):
    seed, side, colours, cell = 9, 20, 32, 12
    board = seeded_board(options, seed, 0, side, colours)
    common = ["--seed", str(seed), "--size", str(side), "--colors", str(colours), "--cell",
              str(cell), "--time-limit", "0.5"]
    play = Play(options, xvfb, common)
    try:
        play.expect(r"Board 0 of seed 9: 20x20, 32 colours")
        check_tiles(play, board, cell)
        check_text(play, board, cell)
        play.quit_with("q")
        play.expect_clean_exit("q")
    finally:
        play.stop()
    path = os.path.join(options.home, "watched.txt")
    write_board(path, board)
    greedy = study_answers_greedy(options, path)
    play = Play(options, xvfb, common + ["--watch", "greedy", "--pause", "5"])
    try:
        play.expect(r"Board 0 of seed 9: 20x20, 32 colours")
        moves = 0
        while True:
            line = play.expect(r"(Move (\d+): colour \d+|Solved .*)").group(0)
            if line.startswith("Solved"):
                break
            moves += 1
            check(line.startswith("Move %d:" % moves), "watched move out of order: %r" % line)
        solved = re.fullmatch(r"Solved board 0 in (\d+) moves; the optimum is (\d+|between \d+ "
                              r"and \d+); the program's rule takes (\d+)\.", line)
        check(solved is not None, "the last line is %r" % line)
        check(int(solved.group(1)) == greedy == int(solved.group(3)) == moves,
              "the watched rule took %s moves where the study counts %d"
              % (solved.group(1), greedy))
        play.close_window()
        play.expect_clean_exit("closing the window")
    finally:
        play.stop()


def study_answers_greedy(options, path):
    csv = study(options, ["--from", path, "--solver", "greedy", "--csv", "-", "--quiet"])
    return int(csv.splitlines()[1].split(",")[2])


def case_bad_options_and_files(options, xvfb):
    bad = os.path.join(options.home, "bad.txt")
    with open(bad, "w") as out:
        out.write("3 2\n0 1 1\n1 0\n")
    large = os.path.join(options.home, "large.txt")
    study(options, ["--seed", "1", "--boards", "1", "--size", "65", "--write-boards", large,
                    "--quiet"])
    cases = [
        (["--size", "2"], "--size"), (["--size", "65"], "--size"), (["--colors", "33"], None),
        (["--cell", "7"], "--cell"), (["--pause", "0"], "--pause"), (["--seed", "x"], "--seed"),
        (["--watch", "nobody"], "nobody"), (["--time-limit", "0"], "--time-limit"),
        (["--bogus"], "--bogus"), (["--from", bad, "--seed", "3"], "--seed"),
        (["--from", os.path.join(options.home, "missing.txt")], "cannot read"),
        (["--from", bad, "--board", "1"], None), (["--from", large], "64"),
    ]
    for args, word in cases:
        result = subprocess.run(options.program + args, capture_output=True, text=True,
                                timeout=options.timeout, cwd=options.home,
                                env=dict(os.environ, DISPLAY=xvfb.display))
        check(result.returncode == 2, "%r: status %d" % (args, result.returncode))
        check(result.stdout == "", "%r printed %r" % (args, result.stdout))
        first = result.stderr.splitlines()[0] if result.stderr else ""
        check(first.startswith("tidefill-play: ") and (word is None or word in first),
              "%r: message %r" % (args, result.stderr))
    # A malformed file is refused as the study refuses it: file, line, message.
    ours = subprocess.run(options.program + ["--from", bad], capture_output=True, text=True,
                          timeout=options.timeout, cwd=options.home).stderr
    theirs = subprocess.run([options.study, "--from", bad], capture_output=True, text=True,
                            timeout=options.timeout, cwd=options.home).stderr
    check(ours.split(" ", 1)[1] == theirs.split(" ", 1)[1],
          "the file is refused as %r where the study says %r" % (ours, theirs))
    check(":3: row 2 has 2 colours" in ours, "no line number in %r" % ours)
    # The same file on standard input.
    with open(bad) as source:
        piped = subprocess.run(options.program + ["--from", "-"], stdin=source,
                               capture_output=True, text=True, timeout=options.timeout)
    check(piped.returncode == 2 and "standard input:3:" in piped.stderr,
          "standard input: %r" % piped.stderr)
    for flag, expected in (("--help", "--watch"), ("--version", "tidefill-play 0.2.0")):
        result = subprocess.run(options.program + [flag], capture_output=True, text=True,
                                timeout=options.timeout)
        check(result.returncode == 0 and expected in result.stdout,
              "%s: %r" % (flag, result.stdout))


def case_seed_from_the_clock_is_printed(options, xvfb):
    play = Play(options, xvfb, ["--size", "5", "--colors", "3"])
    try:
        seed = int(play.expect(r"Board 0 of seed (\d+): 5x5, 3 colours").group(1))
        board = seeded_board(options, seed, 0, 5, 3)
        cell = min(48, 48)
        x, y, width, height = play.client_rect()
        check(width == MIN_WIDTH, "window %dx%d" % (width, height))
        check_tiles(play, board, cell)
        play.close_window()
        play.expect_clean_exit("closing the window")
    finally:
        play.stop()


def case_window_follows_the_boards_of_a_file(options, xvfb):
    """A board file's boards of other sizes: the window takes each one's layout."""
    small = os.path.join(options.home, "mixed-small.txt")
    large = os.path.join(options.home, "mixed-large.txt")
    study(options, ["--seed", "5", "--boards", "1", "--size", "6", "--colors", "3",
                    "--write-boards", small, "--quiet"])
    study(options, ["--seed", "6", "--boards", "1", "--size", "24", "--colors", "12",
                    "--write-boards", large, "--quiet"])
    path = os.path.join(options.home, "mixed.txt")
    with open(path, "w") as out:
        out.write(open(small).read() + open(large).read())
    boards = read_boards(path)
    cell = 20
    play = Play(options, xvfb, ["--from", path, "--cell", str(cell)])
    try:
        for index, board in enumerate(boards):
            side, colours, _ = board
            play.expect(r"Board %d of .*: %dx%d, %d colours" % (index, side, side, colours))
            rows = -(-colours // ((max(side * cell, MIN_WIDTH) - GAP) // (SWATCH + GAP)))
            wanted = (max(side * cell, MIN_WIDTH),
                      side * cell + GAP + rows * (SWATCH + GAP) + 2 * STATUS_LINE + GAP)
            deadline = time.monotonic() + 5
            while play.client_rect()[2:] != wanted and time.monotonic() < deadline:
                time.sleep(0.1)
            check(play.client_rect()[2:] == wanted, "board %d: client area %r, not %r"
                  % (index, play.client_rect()[2:], wanted))
            check_tiles(play, board, cell)
            play.key("n")
        play.quit_with("Escape")
        play.expect_clean_exit("Escape")
    finally:
        play.stop()


CASES = [
    ("optimal_moves_of_a_board_file", case_optimal_moves_of_a_board_file),
    ("hint_starts_an_optimal_sequence", case_hint_starts_an_optimal_sequence),
    ("take_back_restart_and_next_board", case_take_back_restart_and_next_board),
    ("many_colours_and_watching", case_many_colours_and_watching),
    ("seed_from_the_clock_is_printed", case_seed_from_the_clock_is_printed),
    ("window_follows_the_boards_of_a_file", case_window_follows_the_boards_of_a_file),
    ("bad_options_and_files", case_bad_options_and_files),
]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True,
                        help="command that starts the program, e.g. 'wine tidefill-play.exe'")
    parser.add_argument("--wine", action="store_true",
                        help="the program runs under Wine, whose frame is part of the X window")
    parser.add_argument("--study", required=True)
    parser.add_argument("--case", action="append", help="run only these cases")
    parser.add_argument("--timeout", type=float, default=20.0, help="seconds for each wait")
    options = parser.parse_args()
    options.program = shlex.split(options.program)
    if os.path.exists(options.program[0]):  # the program runs in a scratch directory
        options.program[0] = os.path.abspath(options.program[0])
    options.study = os.path.abspath(options.study)
    results = []
    with tempfile.TemporaryDirectory(prefix="tidefill-play-e2e-") as home:
        options.home = home
        xvfb = Xvfb(options.timeout)
        try:
            for name, body in CASES:
                if options.case and name not in options.case:
                    continue
                started = time.monotonic()
                try:
                    body(options, xvfb)
                    print("PASS %s (%.1fs)" % (name, time.monotonic() - started), flush=True)
                    results.append(True)
                except Exception as error:
                    print("FAIL %s: %s" % (name, error), flush=True)
                    if not isinstance(error, Failure):
                        traceback.print_exc(file=sys.stdout)
                    results.append(False)
        finally:
            xvfb.stop()
    print("%d passed, %d failed" % (sum(results), len(results) - sum(results)))
    return 0 if results and all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
