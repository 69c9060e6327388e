#!/usr/bin/env python3
"""Proves the optimum of many seeded boards with tidefill-study and writes the tables of
docs/optima.md: the distribution of the optimum at 6 colours for every side from 3 to 21, under
both draws, at 10 x 10 for 3 to 12 colours, and on two large boards the best answer of the
heuristic solvers against the best lower bound.

Each set is one study run; its CSV and CPU time go to the work directory, so an interrupted run
starts again where it stopped. Rerun it as

    scripts/optima.py --program build/release/tidefill-study --work optima-work --out docs/optima.md

--scale 0.01 runs a hundredth of every set (at least a few boards), to try the script quickly.
"""
import argparse
import collections
import csv
import hashlib
import math
import os
import shlex
import subprocess
import sys
import time

SEED = 20261207
MEMORY_MB = 8192  # for all the run's threads together: the hardest 21 x 21 boards need 2 GB
SIX_COLOUR_SIDES = range(3, 22)
TEN_BY_TEN_COLOURS = range(3, 13)
LARGE = [(64, 32), (128, 8)]
LARGE_SOLVERS = "greedy,area,distance,beam:10,beam:100,exact"


def six_colour_boards(side):
    return 10000 if side <= 14 else 1000 if side <= 18 else 200


class Set:
    def __init__(self, draw, side, colors, boards, solvers="exact", time_limit=600, table="optimum"):
        self.draw, self.side, self.colors, self.boards = draw, side, colors, boards
        self.solvers, self.time_limit, self.table = solvers, time_limit, table

    @property
    def name(self):
        return f"{self.draw}-{self.side}x{self.side}-{self.colors}"

    def arguments(self, threads):
        return ["--seed", str(SEED), "--draw", self.draw, "--size", str(self.side),
                "--colors", str(self.colors), "--boards", str(self.boards),
                "--solver", self.solvers, "--time-limit", str(self.time_limit),
                "--memory-limit", str(MEMORY_MB), "--threads", str(threads), "--quiet"]


def all_sets(scale):
    def count(n):
        return max(5, round(n * scale))

    sets = []
    for draw in ("program", "uniform"):
        sets += [Set(draw, side, 6, count(six_colour_boards(side))) for side in SIX_COLOUR_SIDES]
        sets += [Set(draw, 10, c, count(1000)) for c in TEN_BY_TEN_COLOURS if c != 6]
        # 10 x 10 with 6 colours is a row of the table above
    sets += [Set("program", side, colors, count(10), LARGE_SOLVERS, 30, "large")
             for side, colors in LARGE]
    return sets


def run_set(program, work, s, threads):
    """The set's rows and CPU seconds, from the work directory or from a fresh run."""
    rows_path = os.path.join(work, s.name + ".csv")
    cpu_path = os.path.join(work, s.name + ".cpu")
    if not (os.path.exists(rows_path) and os.path.exists(cpu_path)):
        partial = rows_path + ".partial"
        command = [program] + s.arguments(threads) + ["--csv", partial]
        started = time.monotonic()
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"optima: {shlex.join(command)} failed with status {status}")
        os.replace(partial, rows_path)
        with open(program, "rb") as binary:
            build = hashlib.sha256(binary.read()).hexdigest()[:12]
        with open(cpu_path, "w") as out:
            out.write(f"{usage.ru_utime + usage.ru_stime:.3f} {time.monotonic() - started:.3f} "
                      f"{build}\n")
        print(f"{s.name}: {s.boards} boards in {usage.ru_utime + usage.ru_stime:.1f} s of CPU",
              file=sys.stderr)
    with open(rows_path, newline="") as rows_file:
        rows = list(csv.DictReader(rows_file))
    with open(cpu_path) as cpu_file:
        fields = cpu_file.read().split()
    s.build = fields[2] if len(fields) > 2 else "an earlier build"
    return rows, float(fields[0])


def optimum_line(s, rows, cpu, mark=""):
    proven = [int(r["turns"]) for r in rows if r["proven"] == "1"]
    unproven = [(int(r["bound"]), int(r["turns"])) for r in rows if r["proven"] != "1"]
    n = len(proven)
    mean = sum(proven) / n if n else 0.0
    sd = math.sqrt(sum((x - mean) ** 2 for x in proven) / (n - 1)) if n > 1 else 0.0
    histogram = {}
    for x in proven:
        histogram[x] = histogram.get(x, 0) + 1
    spread = " ".join(f"{k}:{histogram[k]}" for k in sorted(histogram))
    open_note = ""
    if unproven:
        open_note = "; unproven: " + ", ".join(f"{lo}-{hi}" for lo, hi in unproven)
    return (f"| {s.side} x {s.side}{mark} | {s.colors} | {len(rows)} | {n} | {mean:.3f} | {sd:.3f} | "
            f"{min(proven, default=0)} | {max(proven, default=0)} | {cpu:.1f} | {spread}{open_note} |")


TABLE_HEAD = ("| board | colours | boards | proven | mean | sd | min | max | CPU s | "
              "histogram (optimum:boards) |\n|---|---|---|---|---|---|---|---|---|---|")


def large_section(s, rows, cpu):
    by_board = {}
    for r in rows:
        by_board.setdefault(r["board"], []).append(r)
    solvers = LARGE_SOLVERS.split(",")
    lines = [f"**{s.side} x {s.side}, {s.colors} colours**, {len(by_board)} boards, "
             f"{cpu:.0f} s of CPU in all:", "",
             "| board | " + " | ".join(solvers) + " | best answer | best bound | gap |",
             "|---" * (len(solvers) + 4) + "|"]
    gaps = []
    for board, entries in sorted(by_board.items(), key=lambda item: int(item[0])):
        turns = {e["solver"]: int(e["turns"]) for e in entries}
        marks = {e["solver"]: "*" if e["limited"] == "1" else "" for e in entries}
        best = min(turns.values())
        bound = max(int(e["bound"]) for e in entries)
        gaps.append((best, bound))
        lines.append(f"| {board} | " + " | ".join(f"{turns[x]}{marks[x]}" for x in solvers) +
                     f" | {best} | {bound} | {best - bound} |")
    mean_best = sum(b for b, _ in gaps) / len(gaps)
    mean_bound = sum(b for _, b in gaps) / len(gaps)
    lines += ["", f"Mean best answer {mean_best:.1f}, mean best bound {mean_bound:.1f}: the "
              f"optimum lies somewhere in a gap of {mean_best - mean_bound:.1f} turns on average.",
              ""]
    return lines


def render(program, sets, results, threads, total_cpu):
    version = subprocess.run([program, "--version"], capture_output=True, text=True).stdout.strip()
    # Sets made by another build than most are marked: the optima cannot differ, CPU times can.
    builds = collections.Counter(s.build for s in sets)
    usual = builds.most_common(1)[0][0]

    def row(s):
        return optimum_line(s, *results[s.name], " \u2020" if s.build != usual else "")

    out = ["# Proven optima of random boards", "",
           "Made with `scripts/optima.py` and " + (version or "tidefill-study") + ". Every row "
           "is one `tidefill-study` run over the boards of seed " + str(SEED) + " (boards 0 to "
           "count - 1), solved by `exact`, which proves each answer optimal; a board it did not "
           "prove within the run's time limit is listed with its bounds instead of counted.",
           "", "The command of a row, with its draw, side, colours and count:", "", "```sh",
           "tidefill-study --seed " + str(SEED) + " --draw DRAW --size N --colors C --boards K "
           "--solver exact --time-limit 600 --memory-limit " + str(MEMORY_MB) +
           " --csv rows.csv", "```", "",
           f"CPU s is user and system time of that run on {threads} threads; all of it "
           f"took {total_cpu / 3600:.2f} CPU hours on the machine named below.", ""]
    if len(builds) > 1:
        others = sorted(b for b in builds if b != usual)
        out += ["Rows marked \u2020 were made by a later, faster build of the program (binary "
                "digest " + ", ".join(others) + ") than the others (" + usual + "), which ran "
                "with the default memory limit of 2048 MB; an optimum is the same whichever "
                "build proves it, only the CPU time differs.", ""]
    draw_words = {
        "program": "the program's own draw (`--draw program`, the default), under which the "
                   "first and last colours come up half as often as the others",
        "uniform": "every colour equally likely (`--draw uniform`), as published figures assume"}
    for draw in ("program", "uniform"):
        out += [f"## Boards of {draw_words[draw]}", "", "### 6 colours, sides 3 to 21", "",
                TABLE_HEAD]
        out += [row(s) for s in sets
                if s.table == "optimum" and s.draw == draw and s.colors == 6]
        out += ["", "### 10 x 10, 3 to 12 colours", "", TABLE_HEAD]
        out += [row(s) for s in sorted(
            (s for s in sets if s.table == "optimum" and s.draw == draw and s.side == 10),
            key=lambda s: s.colors)]
        out.append("")
    out += ["## Large boards: best answer against best bound", "",
            "No search proves these; the table sets the heuristic solvers' answers against the "
            "lower bound `exact` establishes before its time limit (30 s a board), the program's "
            "own draw, `--solver " + LARGE_SOLVERS + " --time-limit 30`. An answer marked * is the one a solver "
            "had when the time limit ended it.", ""]
    for s in sets:
        if s.table == "large":
            out += large_section(s, *results[s.name])
    uname = os.uname()
    out += [f"Machine: {uname.sysname} {uname.release} {uname.machine}, "
            f"{os.cpu_count()} cores.", ""]
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", default="build/release/tidefill-study")
    parser.add_argument("--work", default="optima-work", help="where each set's rows are kept")
    parser.add_argument("--out", default="docs/optima.md")
    parser.add_argument("--threads", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--scale", type=float, default=1.0, help="share of every set's boards")
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    sets = all_sets(args.scale)
    # Cheap sets first, so the tables fill from the top while the long ones run.
    order = sorted(sets, key=lambda s: (s.table == "large", s.side * s.side * s.colors * s.boards))
    results = {s.name: run_set(args.program, args.work, s, args.threads) for s in order}
    total_cpu = sum(cpu for _, cpu in results.values())
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out, "w") as out:
        out.write(render(args.program, sets, results, args.threads, total_cpu))
    print(f"wrote {args.out}", file=sys.stderr)


if __name__ == "__main__":
    main()
