#!/usr/bin/env python3
"""tidefill-study-mpi's speed: boards/s of 2 ranks of 1 thread against 1 rank at 14x14/6 greedy,
and how close the chunked hand-out comes to the best split of a study in which a few exact
searches take far longer than the rest.

  bench/study_mpi_bench.py [--build build/release] [--mpirun mpirun]
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

SPEED = re.compile(r"^(\d+) boards in ([0-9.]+) s: (\d+) boards/s")


def study(command):
    result = subprocess.run(command, capture_output=True, text=True, check=True)
    for line in result.stdout.splitlines():
        match = SPEED.match(line)
        if match:
            return float(match.group(2)), int(match.group(3))
    sys.exit("no speed line in:\n" + result.stdout)


def board_texts(path):
    """The boards of a board file, each as its text without the comment line."""
    boards, current = [], []
    with open(path) as f:
        for line in f:
            if line.startswith("#"):
                if current:
                    boards.append("".join(current))
                current = []
            elif line.strip():
                current.append(line)
    if current:
        boards.append("".join(current))
    return boards


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build/release")
    parser.add_argument("--mpirun", default="mpirun")
    arguments = parser.parse_args()
    single = os.path.join(arguments.build, "tidefill-study")
    program = os.path.join(arguments.build, "tidefill-study-mpi")

    def mpi(ranks, *args):
        return [arguments.mpirun, "--oversubscribe", "--allow-run-as-root", "-np", str(ranks),
                program, "--threads", "1", "--quiet", *args]

    greedy = ["--seed", "1", "--boards", "300000", "--size", "14", "--colors", "6"]
    one = max(study(mpi(1, *greedy))[1] for _ in range(2))
    two = max(study(mpi(2, *greedy))[1] for _ in range(2))
    print("14x14/6 greedy, 300000 boards: 1 rank %d boards/s, 2 ranks of 1 thread %d boards/s: "
          "%.2fx" % (one, two, two / one))

    with tempfile.TemporaryDirectory() as scratch:
        short = os.path.join(scratch, "short.txt")
        long = os.path.join(scratch, "long.txt")
        subprocess.run([single, "--seed", "1", "--boards", "400", "--size", "12", "--colors", "6",
                        "--write-boards", short, "--quiet"], check=True, capture_output=True)
        subprocess.run([single, "--seed", "1", "--boards", "5", "--size", "18", "--colors", "8",
                        "--write-boards", long, "--quiet"], check=True, capture_output=True)
        boards = board_texts(short)
        # Four long searches, all in the second half and two at the very end, where halving the
        # boards or a large last chunk would leave one rank alone with them.
        slow = board_texts(long)
        for position, index in zip((230, 300, 398, 399), (0, 2, 3, 4)):
            boards.insert(position, slow[index])
        study_file = os.path.join(scratch, "study.txt")
        with open(study_file, "w") as f:
            f.write("".join(boards))
        csv = os.path.join(scratch, "alone.csv")
        exact = ["--from", study_file, "--solver", "exact", "--time-limit", "1.5"]
        study([single, *exact, "--threads", "1", "--quiet", "--csv", csv])
        with open(csv) as f:
            rows = f.read().splitlines()[1:]
        seconds = [float(row.split(",")[7]) / 1e6 for row in rows]
        total, longest = sum(seconds), max(seconds)
        best = max(total / 2, longest)  # no split of the boards over 2 ranks does better
        half = len(seconds) // 2
        fixed = max(sum(seconds[:half]), sum(seconds[half:]))
        wall = min(study(mpi(2, *exact))[0] for _ in range(2))
        print("%d exact searches of %.2f s in all, the longest %.2f s: the best split over 2 "
              "ranks takes at least %.2f s, halving the boards %.2f s; tidefill-study-mpi on 2 "
              "ranks %.2f s, %.0f%% above the best" %
              (len(seconds), total, longest, best, fixed, wall, 100 * (wall / best - 1)))


if __name__ == "__main__":
    main()
