#!/usr/bin/env python3
"""One hard board's exact search on 1 and on 2 threads: wall and CPU time, and the speedup.

Each board is a study of that one board (`tidefill-study --boards 1`), whose spare thread then
joins the board's search. The two thread counts run alternately, so that a change in the
machine's load falls on both; the figures are the medians over the repeats. The answers of
both must agree: the same turns, proven.

What two cores can give is measured too: two one-thread searches of the board at once, each
slowed by the other through the caches and memory they share (and, on a virtual machine, by
whatever shares the host). Their speeds against one search alone add up to the ceiling a
two-thread search could reach if its threads cost each other no more than two separate
processes do.

    bench/parallel_exact_bench.py --study build/release/tidefill-study [--repeats 3]
"""

import argparse
import csv
import io
import os
import resource
import statistics
import subprocess
import sys
import time

# (seed, side, board index): 24 x 24 boards one thread proves in 5-15 s, and a few 21 x 21.
BOARDS = [(1, 24, 0), (24, 24, 1), (24, 24, 4), (21, 21, 11), (21, 21, 12)]
COLOURS = 6


def command(study, seed, side, index, threads):
    return [study, "--seed", str(seed), "--size", str(side), "--colors", str(COLOURS),
            "--first-board", str(index), "--boards", "1", "--solver", "exact",
            "--threads", str(threads), "--time-limit", "600", "--csv", "-", "--quiet"]


def solve(study, seed, side, index, threads):
    """Runs the study; returns (turns, proven, wall seconds, CPU seconds, search seconds)."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    out = subprocess.run(command(study, seed, side, index, threads),
                         check=True, capture_output=True, text=True).stdout
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    row = next(csv.DictReader(io.StringIO(out)))
    return int(row["turns"]), row["proven"] == "1", wall, cpu, int(row["micros"]) / 1e6


def solve_pair(study, seed, side, index):
    """Two one-thread studies of the board at once; returns the wall seconds of each."""
    start = time.monotonic()
    runs = [subprocess.Popen(command(study, seed, side, index, 1), stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
            for _ in range(2)]
    walls = []
    for run in runs:
        if run.wait() != 0:
            raise subprocess.CalledProcessError(run.returncode, run.args)
        walls.append(time.monotonic() - start)
    return walls


def pair_speed(alone, walls):
    """The two searches' speeds together while both ran, each against one search alone (which
    took `alone` seconds). The second to finish ran alone after the first: the share of its
    search it did meanwhile is what the time alone leaves."""
    first, second = sorted(walls)
    shared = max(0.0, 1 - (second - first) / alone)
    return alone / first * (1 + shared)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--study", required=True)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--only", help="seed:side:index of one board")
    args = parser.parse_args()
    boards = BOARDS
    if args.only:
        boards = [tuple(int(x) for x in args.only.split(":"))]

    print(f"{'board':>14} {'thr':>3} {'turns':>5} {'wall s':>8} {'cpu s':>8} {'search s':>8}"
          f" {'load':>5}   runs (wall s)")
    failed = False
    for seed, side, index in boards:
        runs = {1: [], 2: []}
        pairs = []
        answers = set()
        for repeat in range(args.repeats):
            order = (1, 2) if repeat % 2 == 0 else (2, 1)
            for threads in order:
                turns, proven, wall, cpu, search = solve(args.study, seed, side, index, threads)
                answers.add((turns, proven))
                runs[threads].append((wall, cpu, search, os.getloadavg()[0]))
            pairs.append(solve_pair(args.study, seed, side, index))
        name = f"{side}x{side} {seed}:{index}"
        medians = {}
        for threads in (1, 2):
            wall = statistics.median(r[0] for r in runs[threads])
            cpu = statistics.median(r[1] for r in runs[threads])
            search = statistics.median(r[2] for r in runs[threads])
            load = statistics.median(r[3] for r in runs[threads])
            medians[threads] = (wall, search)
            turns, proven = next(iter(answers))
            print(f"{name:>14} {threads:>3} {turns:>4}{'' if proven else '?'} {wall:8.2f}"
                  f" {cpu:8.2f} {search:8.2f} {load:5.2f}   "
                  + " ".join(f"{r[0]:.2f}" for r in runs[threads]))
        pair = statistics.median(pair_speed(medians[1][0], walls) for walls in pairs)
        print(f"{name:>14} speedup on 2 threads: wall {medians[1][0] / medians[2][0]:.2f}x,"
              f" search {medians[1][1] / medians[2][1]:.2f}x; two 1-thread searches at once:"
              f" {pair:.2f}x (runs " + " ".join(f"{w:.2f}" for walls in pairs for w in walls)
              + ")")
        if len(answers) != 1:
            print(f"{name}: the thread counts disagree: {sorted(answers)}", file=sys.stderr)
            failed = True
        sys.stdout.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
