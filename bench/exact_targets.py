#!/usr/bin/env python3
"""The exact search's CPU time and memory a board, one process a board on one thread, for a new
tidefill-study binary against an old one on the same board files, the two run alternately.

  bench/exact_targets.py --new build/release/tidefill-study [--old /path/to/old/tidefill-study]
                         [--sets 18x18/6:100,21x21/6:20] [--old-sets 18x18/6,21x21/6]
                         [--seed 1] [--cpu-limit 60] [--wall-limit 180] [--dir DIR]

Each child's CPU time (user + sys) and peak resident memory come from os.wait4's rusage, so
the figures hold on a loaded machine. As --time-limit is wall-clock, each search gets
--wall-limit seconds, and a board counts as proven only when it was within --cpu-limit seconds
of CPU time. Per set it prints boards, proven, total and median CPU
seconds, max RSS and, where the old binary ran, the old/new ratios.
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile

DEFAULT_SETS = "18x18/6:100,21x21/6:20,24x24/6:10,26x26/6:5,14x14/10:20,18x18/10:10"


def parse_sets(text):
    sets = []
    for item in text.split(","):
        name, count = item.split(":")
        side, colors = name.split("x")[0], name.split("/")[1]
        sets.append((name, int(side), int(colors), int(count)))
    return sets


def write_board_files(binary, seed, side, colors, count, directory):
    """One file a board, split out of one --write-boards file."""
    whole = os.path.join(directory, f"{side}x{side}_{colors}_seed{seed}.txt")
    subprocess.run([binary, "--seed", str(seed), "--size", str(side), "--colors", str(colors),
                    "--boards", str(count), "--write-boards", whole, "--quiet"],
                   check=True, stdout=subprocess.DEVNULL)
    header, boards = [], []
    with open(whole) as f:
        for line in f:
            if line.startswith("# board"):
                boards.append([line])
            elif boards:
                boards[-1].append(line)
            else:
                header.append(line)
    paths = []
    for i, lines in enumerate(boards):
        path = whole[:-4] + f"_board{i}.txt"
        with open(path, "w") as f:
            f.writelines(header + lines)
        paths.append(path)
    return paths


def solve(binary, board, wall_limit, cpu_limit):
    """(proven, turns, cpu seconds, peak RSS in MB) of one exact search in a process of its own."""
    command = [binary, "--from", board, "--solver", "exact", "--threads", "1",
               "--time-limit", str(wall_limit), "--csv", "-", "--quiet"]
    child = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    child.stdout.close()
    if status != 0:
        sys.exit(f"{' '.join(command)} failed with status {status}")
    row = out.splitlines()[1].split(",")  # board,solver,turns,proven,bound,...
    seconds = usage.ru_utime + usage.ru_stime
    return row[3] == "1" and seconds <= cpu_limit, int(row[2]), seconds, usage.ru_maxrss / 1024


class Tally:
    def __init__(self):
        self.proven, self.seconds, self.rss, self.turns = 0, [], 0.0, []

    def add(self, result):
        proven, turns, seconds, rss = result
        self.proven += proven
        self.seconds.append(seconds)
        self.rss = max(self.rss, rss)
        self.turns.append(turns if proven else None)

    def line(self, label, name):
        return (f"{name:>9} {label:>3} {len(self.seconds):6d} {self.proven:6d} "
                f"{sum(self.seconds):10.2f} {statistics.median(self.seconds) * 1000:10.1f} "
                f"{self.rss:8.0f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--new", required=True, help="tidefill-study to measure")
    parser.add_argument("--old", help="tidefill-study to compare against")
    parser.add_argument("--sets", default=DEFAULT_SETS, help="SIDExSIDE/COLOURS:BOARDS,...")
    parser.add_argument("--old-sets", default="18x18/6,21x21/6",
                        help="the sets the old binary runs too (all: every set)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--cpu-limit", type=float, default=60,
                        help="CPU seconds within which a board must be proven to count")
    parser.add_argument("--wall-limit", type=float, default=180,
                        help="the searches' --time-limit, wall-clock")
    parser.add_argument("--dir", help="where the board files go (default: a temporary directory)")
    parser.add_argument("--per-board", action="store_true", help="a line for every search too")
    args = parser.parse_args()

    directory = args.dir or tempfile.mkdtemp(prefix="exact_targets_")
    os.makedirs(directory, exist_ok=True)
    print(f"seed {args.seed}, proven within {args.cpu_limit:g} s of CPU ({args.wall_limit:g} s of "
          f"wall clock), one thread, boards in {directory}")
    print(f"{'set':>9} {'bin':>3} {'boards':>6} {'proven':>6} {'cpu s':>10} {'median ms':>10} "
          f"{'max MB':>8}")
    for name, side, colors, count in parse_sets(args.sets):
        boards = write_board_files(args.new, args.seed, side, colors, count, directory)
        with_old = args.old and (args.old_sets == "all" or name in args.old_sets.split(","))
        old, new = Tally(), Tally()
        for board in boards:
            for label, binary, tally in (("old", args.old, old), ("new", args.new, new)):
                if label == "old" and not with_old:
                    continue
                result = solve(binary, board, args.wall_limit, args.cpu_limit)
                tally.add(result)
                if args.per_board:
                    proven, turns, seconds, rss = result
                    print(f"  {os.path.basename(board)} {label}: {turns} turns, "
                          f"{'proven' if proven else 'not proven'}, {seconds:.2f} s, {rss:.0f} MB",
                          flush=True)
        if with_old:
            print(old.line("old", name))
        print(new.line("new", name), flush=True)
        if with_old:
            both = [(a, b) for a, b in zip(old.turns, new.turns) if a is not None and b is not None]
            if any(a != b for a, b in both):
                print(f"{name:>9} DIFFERENT OPTIMA on boards proven by both")
            print(f"{name:>9} old/new total CPU {sum(old.seconds) / sum(new.seconds):.2f}, "
                  f"median {statistics.median(old.seconds) / statistics.median(new.seconds):.2f}",
                  flush=True)


if __name__ == "__main__":
    main()
