#!/usr/bin/env python3
"""What a turn of a series costs beyond its pause, timed from outside as a person would see it:
tidefill's series (menu 5) and tidefill-play's --watch, both on 64 x 64 boards with 32 colours,
16-pixel cells and a 1 ms pause, on an Xvfb server this script starts. The programs run in
alternation; each figure is the median of the rounds.

    series_pace.py --tidefill build/release/tidefill --play build/release/tidefill-play

Beside the wall time per turn it gives the CPU time per turn of the program's main thread and of
the X server, which the machine's load disturbs less.
"""
import argparse
import os
import pty
import re
import select
import statistics
import subprocess
import sys
import tempfile
import time

PAUSE_MS = 1
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    """User and system time of a running process's main thread, from /proc: the thread that
    plays and paints (tidefill-play's searches run on threads of their own)."""
    with open(f"/proc/{pid}/task/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


class Terminal:
    """A program on a pseudo-terminal, its output read as it comes."""

    def __init__(self, argv, env):
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.execve(argv[0], argv, env)
        self.text = ""

    def wait_for(self, pattern, timeout=120):
        deadline = time.monotonic() + timeout
        while True:
            found = re.search(pattern, self.text)
            if found:
                self.text = self.text[found.end():]
                return found
            left = deadline - time.monotonic()
            if left <= 0:
                raise RuntimeError(f"timed out waiting for {pattern!r}: {self.text[-300:]!r}")
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    self.text += os.read(self.fd, 65536).decode(errors="replace")
                except OSError:
                    raise RuntimeError(f"ended while waiting for {pattern!r}")

    def send(self, text):
        os.write(self.fd, text.encode())

    def stop(self):
        try:
            os.kill(self.pid, 15)
        except ProcessLookupError:
            pass
        os.waitpid(self.pid, 0)
        os.close(self.fd)


def time_tidefill(program, env, boards, xvfb_pid):
    term = Terminal([program], env)
    try:
        for prompt, answer in (("board size", "64"), ("amount of colors", "32"),
                               ("cell size", "16"), ("sleep time", str(PAUSE_MS))):
            term.wait_for(prompt)
            term.send(answer + "\n")
        time.sleep(1.0)  # the window is up and painted
        term.send("\x1bOP")  # F1 as the terminal sends it
        term.wait_for("Enter your selection:")
        term.send("5\n")
        term.wait_for("amount of simulations to run:")
        cpu, server = cpu_seconds(term.pid), cpu_seconds(xvfb_pid)
        started = time.monotonic()
        term.send(f"{boards}\n")
        found = term.wait_for(r"Ran \d+ simulations with an average of ([0-9.]+) turns")
        wall = time.monotonic() - started
        turns = boards * float(found.group(1))
        return wall / turns, (cpu_seconds(term.pid) - cpu) / turns, \
            (cpu_seconds(xvfb_pid) - server) / turns
    finally:
        term.stop()


def time_play(program, env, xvfb_pid):
    argv = [program, "--size", "64", "--colors", "32", "--cell", "16", "--seed", "1",
            "--watch", "greedy", "--pause", str(PAUSE_MS), "--time-limit", "1"]
    term = Terminal(argv, env)
    try:
        term.wait_for(r"Board 0 of seed 1")
        term.wait_for(r"Move 1: colour")
        first = (time.monotonic(), cpu_seconds(term.pid), cpu_seconds(xvfb_pid))
        last, moves = first, 1
        # Timed to the last move's line: the line that ends the board waits for the board's own
        # search, which is no part of a turn.
        while True:
            found = term.wait_for(r"Move (\d+): colour \d+\r?\n|Solved board 0")
            if found.group(1) is None:
                break
            last, moves = (time.monotonic(), cpu_seconds(term.pid), cpu_seconds(xvfb_pid)), \
                int(found.group(1))
        turns = moves - 1
        return tuple((b - a) / turns for a, b in zip(first, last))
    finally:
        term.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tidefill", default="build/release/tidefill")
    parser.add_argument("--play", default="build/release/tidefill-play")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--boards", type=int, default=4, help="tidefill boards a round")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as scratch:
        display_file = os.path.join(scratch, "display")
        with open(display_file, "w") as out:
            xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0",
                                     "1280x1024x24", "-nolisten", "tcp"], pass_fds=[out.fileno()],
                                    stderr=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.getsize(display_file) > 0:
                break
            time.sleep(0.1)
        with open(display_file) as display:
            env = dict(os.environ, DISPLAY=":" + display.read().strip(), LANG="C", LC_ALL="C")
        try:
            results = {"tidefill": [], "tidefill-play": []}
            for _ in range(args.rounds):
                results["tidefill"].append(time_tidefill(args.tidefill, env, args.boards, xvfb.pid))
                results["tidefill-play"].append(time_play(args.play, env, xvfb.pid))
        finally:
            xvfb.terminate()
            xvfb.wait()
    print(f"A turn of a series at a {PAUSE_MS} ms pause on 64 x 64 / 32, 16 px cells, Xvfb; "
          f"median of {args.rounds} rounds, in ms a turn:")
    print(f"{'program':<15}{'wall':>8}{'beyond pause':>14}{'main thread CPU':>17}{'X server CPU':>14}")
    for name, rounds in results.items():
        wall = statistics.median(r[0] for r in rounds) * 1e3
        cpu = statistics.median(r[1] for r in rounds) * 1e3
        server = statistics.median(r[2] for r in rounds) * 1e3
        print(f"{name:<15}{wall:8.3f}{wall - PAUSE_MS:14.3f}{cpu:17.3f}{server:14.3f}")


if __name__ == "__main__":
    main()
