#!/usr/bin/env python3
"""The tidefill-study executable used as a person or a script would: summaries, CSV files,
reproducibility across threads and parts, board files, bad usage and Ctrl-C."""
import argparse
import json
import os
import re
import shlex
import signal
import struct
import subprocess
import sys
import tempfile
import time
from xml.etree import ElementTree

PROGRAM = None
FAILURES = []


def run(*args, stdin=None, timeout=60):
    result = subprocess.run([PROGRAM, *args], input=stdin, capture_output=True, text=True,
                            timeout=timeout)
    return result.returncode, result.stdout, result.stderr


def check(condition, what, detail=""):
    if not condition:
        FAILURES.append(what + ("\n" + detail if detail else ""))


def timeless(summary):
    """The summary without the lines that carry timings."""
    return [line for line in summary.splitlines()
            if " boards/s " not in line and not line.startswith("greedy ")]


def untimed(summary):
    """The summary without its timings: the last line, and the ms/board column of the table."""
    lines = summary.splitlines()[:-1]
    table = re.compile(r"^(\S+(?:\s+[0-9.+-]+%?){7})\s+[0-9.]+(.*)$")
    return [table.sub(r"\1\2", line) for line in lines]


def csv_rows(path, drop_micros=True):
    """The header and the rows; without the timing (and the limit flag beside it) by default."""
    with open(path) as f:
        lines = f.read().splitlines()
    header, rows = lines[0], [line.split(",") for line in lines[1:]]
    micros = header.split(",").index("micros")
    if drop_micros:
        rows = [row[:micros] + row[micros + 2:] for row in rows]
    return header, rows


def single(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def test_summary_and_csv(scratch):
    csv = os.path.join(scratch, "turns.csv")
    status, out, err = run("--seed", "11", "--boards", "50", "--size", "10", "--colors", "4",
                           "--csv", csv, "--quiet")
    check(status == 0 and err == "", "a small study succeeds quietly", err)
    header, rows = csv_rows(csv, drop_micros=False)
    check(header == "board,solver,turns,proven,bound,side,colors,micros,limited", "CSV header", header)
    check([row[0] for row in rows] == [str(i) for i in range(50)], "one row per board, in order")
    check(all(row[1] == "greedy" and row[3] == "0" and row[5:7] == ["10", "4"] for row in rows),
          "CSV columns")
    turns = [int(row[2]) for row in rows]
    average = single(single(float(sum(turns))) / single(50.0))
    lines = out.splitlines()
    check(lines[:4] == ["greedy:",
                        "Ran 50 simulations with an average of %f turns" % average,
                        "Board Size=10x10, Colors=4",
                        "Worst Turns to solve a board: %d" % max(turns)],
          "the program's three series lines", out)
    check("Seed 11, boards 0 to 49 (the same boards again: --seed 11)" in lines,
          "the seed is shown", out)
    check(any(re.fullmatch(r"50 boards in [0-9.]+ s: [0-9]+ boards/s on [0-9]+ threads?", line)
              for line in lines), "the speed line", out)
    table = lines[lines.index("Turns per board:") + 1:]
    check(table[0].split() == ["solver", "mean", "sd", "min", "median", "p90", "p99", "max",
                               "ms/board"], "statistics table header", out)
    check(table[1].split()[3] == str(min(turns)) and table[1].split()[7] == str(max(turns)),
          "table minimum and maximum", out)
    histogram = lines[lines.index("greedy, boards by turns:") + 1:]
    counted = sum(int(line.split()[1]) for line in histogram if line.startswith("  "))
    check(counted == 50, "the histogram counts every board", out)


def test_plot(scratch):
    plot = os.path.join(scratch, "turns.svg")
    status, _, _ = run("--seed", "4", "--boards", "200", "--plot", plot, "--quiet")
    check(status == 0, "a study with a plot")
    root = ElementTree.parse(plot).getroot()
    ns = "{http://www.w3.org/2000/svg}"
    texts = [t.text for t in root.iter(ns + "text")]
    lines = [p for p in root.iter(ns + "polyline") if p.get("stroke") != "black"]
    check(len(lines) == 1 and any(t.startswith("greedy (mean ") for t in texts) and
          "turns to solve a board" in texts and "share of boards (%)" in texts,
          "the plot has the solver's line, its legend and both axis labels", str(texts))
    check(any(re.fullmatch(r"Seed 4, boards 0 to 199; tidefill-study [0-9.]+", t or "")
              for t in texts), "the plot names the study it shows", str(texts))


def flood_moves_needed(side, colors, moves):
    """Plays the moves with a plain flood fill from tile 0; the number after which the board is
    one region, or None."""
    colors = list(colors)

    def region():
        seen, stack = {0}, [0]
        while stack:
            t = stack.pop()
            x, y = t % side, t // side
            for n, ok in ((t - 1, x > 0), (t + 1, x < side - 1), (t - side, y > 0),
                          (t + side, y < side - 1)):
                if ok and n not in seen and colors[n] == colors[0]:
                    seen.add(n)
                    stack.append(n)
        return seen

    joined = region()
    if len(joined) == side * side:
        return 0
    for played, color in enumerate(moves, 1):
        for t in joined:
            colors[t] = color
        joined = region()
        if len(joined) == side * side:
            return played if played == len(moves) else None
    return None


def test_solvers(scratch):
    boards = os.path.join(scratch, "solver-boards.txt")
    csv = os.path.join(scratch, "solvers.csv")
    status, out, err = run("--seed", "3", "--boards", "40", "--size", "8", "--colors", "4",
                           "--solver", "greedy,area,distance,beam:5,exact", "--moves",
                           "--write-boards", boards, "--csv", csv, "--quiet")
    check(status == 0, "five solvers at once", err)
    header, rows = csv_rows(csv, drop_micros=False)
    check(header == "board,solver,turns,proven,bound,side,colors,micros,limited,moves", "CSV header",
          header)
    with open(boards) as f:
        lines = [line for line in f.read().splitlines() if line and not line.startswith("#")]
    by_board = {}
    for row in rows:
        by_board.setdefault(int(row[0]), {})[row[1]] = row
    for index, solved in by_board.items():
        grid = [int(c) for line in lines[index * 9 + 1:index * 9 + 9] for c in line.split()]
        exact = int(solved["exact"][2])
        check(solved["exact"][3] == "1", "exact proves every small board")
        for name, row in solved.items():
            turns, moves = int(row[2]), [int(m) for m in row[9].split()]
            needed = flood_moves_needed(8, grid, moves)
            greedy_on_complete = name == "greedy" and turns == 1 and \
                flood_moves_needed(8, grid, []) == 0
            check(turns == len(moves) and (needed == turns or greedy_on_complete),
                  "board %d: %s's moves replay in its count" % (index, name), str(row))
            check(turns >= exact, "board %d: exact is never above %s" % (index, name))
            check(int(row[4]) <= exact, "board %d: %s's bound is at most the optimum" %
                  (index, name))
            check(row[3] == ("1" if name == "exact" else "0"), "only exact proves")
    check("exact proved the optimum on 40 of 40 boards." in out, "the proof count", out)
    table = out[out.index("Turns per board:"):].splitlines()
    check(table[1].split()[-3:] == ["excess", "optimal", "worst"], "excess columns", out)
    exact_row = [line for line in table if line.startswith("exact ")][0].split()
    check(exact_row[-3:] == ["+0.00", "100.0%", "+0"], "exact against itself", out)


def test_limits(scratch):
    csv = os.path.join(scratch, "limits.csv")
    status, out, err = run("--seed", "1", "--boards", "3", "--size", "24", "--colors", "6",
                           "--solver", "exact", "--time-limit", "0.001", "--csv", csv,
                           "--moves", "--quiet")
    check(status == 0, "a study whose searches hit the time limit still ends well", err)
    rows = csv_rows(csv)[1]
    check(len(rows) == 3 and all(row[3] == "0" for row in rows), "no board proven", str(rows))
    check(all(int(row[2]) == len(row[7].split()) and int(row[4]) <= int(row[2]) for row in rows),
          "each reports a solution and a bound below it", str(rows))
    check("exact proved the optimum on 0 of 3 boards;" in out, "the summary says so", out)
    check(all(row[8] == "1" for row in csv_rows(csv, drop_micros=False)[1]),
          "the CSV marks each answer as ended by the limit")
    # A wide beam on a large board honours the limit too, and is marked the same way.
    started = time.monotonic()
    status, out, err = run("--seed", "1", "--boards", "1", "--size", "64", "--colors", "32",
                           "--solver", "beam:20000", "--time-limit", "0.5", "--csv", csv,
                           "--moves", "--quiet")
    rows = csv_rows(csv, drop_micros=False)[1]
    check(status == 0 and time.monotonic() - started < 5 and rows[0][8] == "1" and
          int(rows[0][2]) == len(rows[0][9].split()), "beam:20000 stops at the time limit",
          "%s %.1f s %s" % (status, time.monotonic() - started, rows))
    for args in (["--time-limit", "0"], ["--memory-limit", "1"], ["--expansion-limit", "0"],
                 ["--expansion-limit", "-5"], ["--expansion-limit", "1e3"], ["--solver", "beam"],
                 ["--solver", "beam:0"], ["--solver", "exact:2"]):
        status, _, err = run(*args)
        check(status == 2, "bad limit or solver %s" % args, err)


def test_expansion_limit(scratch):
    """A count of expansions cuts the searches alike on any thread count and on every run."""
    study = ["--seed", "9", "--boards", "30", "--size", "11", "--colors", "6", "--solver",
             "beam:30,exact", "--moves", "--quiet"]
    tables = []
    for threads in ("1", "2", "2"):
        csv = os.path.join(scratch, "expansions%d.csv" % len(tables))
        status, _, err = run(*study, "--expansion-limit", "300", "--threads", threads,
                             "--csv", csv)
        check(status == 0, "a study with an expansion limit on %s threads" % threads, err)
        tables.append(csv_rows(csv))
    check(tables[0] == tables[1] == tables[2], "the same CSV on 1 and 2 threads and again")
    free = os.path.join(scratch, "unlimited.csv")
    status, _, _ = run(*study, "--csv", free)
    check(status == 0, "the same study without the limit")
    limited, unlimited = tables[0][1], csv_rows(free)[1]
    check(len(limited) == len(unlimited) == 60, "every board of both studies")
    optimum = {row[0]: int(row[2]) for row in unlimited if row[1] == "exact" and row[3] == "1"}
    check(len(optimum) == 30, "without the limit exact proves every board")
    proven = [row[3] == "1" for row in limited if row[1] == "exact"]
    check(0 < sum(proven) < len(proven), "the limit leaves some boards unproven, not all",
          str(proven))
    for row in limited:
        board, turns, bound = row[0], int(row[2]), int(row[4])
        best = optimum.get(board, -1)
        check(turns == len(row[7].split()) and bound <= best <= turns and
              (row[3] == "0" or turns == best),
              "board %s: %s's answer and bound hold against the optimum" % (board, row[1]),
              str(row))
    check(any(a[2] != b[2] for a, b in zip(limited, unlimited) if a[1] == "beam:30"),
          "the limit cuts beam:W short too")


def test_reproducible(scratch):
    outputs = {}
    for threads in ("1", "2"):
        csv = os.path.join(scratch, "t%s.csv" % threads)
        status, out, _ = run("--seed", "5", "--boards", "300", "--threads", threads, "--csv", csv)
        check(status == 0, "study on %s threads" % threads)
        outputs[threads] = (timeless(out), csv_rows(csv))
    check(outputs["1"] == outputs["2"], "the same results on 1 and 2 threads")
    small = os.path.join(scratch, "small.csv")
    large = os.path.join(scratch, "large.csv")
    run("--seed", "5", "--boards", "10", "--csv", small)
    run("--seed", "5", "--boards", "100", "--csv", large)
    check(csv_rows(small)[1] == csv_rows(large)[1][:10], "--boards 10 is the first 10 of 100")
    part = os.path.join(scratch, "part.csv")
    run("--seed", "5", "--first-board", "40", "--boards", "10", "--csv", part)
    check(csv_rows(part)[1] == csv_rows(large)[1][40:50], "--first-board 40 gives boards 40-49")


def test_board_files(scratch):
    boards = os.path.join(scratch, "boards.txt")
    generated = os.path.join(scratch, "generated.csv")
    replayed = os.path.join(scratch, "replayed.csv")
    status, _, _ = run("--seed", "8", "--boards", "30", "--size", "7", "--colors", "5",
                       "--write-boards", boards, "--csv", generated)
    check(status == 0, "writing boards")
    status, out, err = run("--from", boards, "--csv", replayed)
    check(status == 0, "reading them back", err)
    check(csv_rows(generated)[1] == csv_rows(replayed)[1], "the same turns from the file")
    check("Boards 0 to 29 of " + boards in out, "the file is named as the origin", out)
    with open(boards) as f:
        text = f.read()
    status, out, _ = run("--from", "-", "--first-board", "3", "--boards", "2", stdin=text)
    check(status == 0 and "Ran 2 simulations" in out, "boards from standard input", out)

    bad = os.path.join(scratch, "bad.txt")
    cases = [("3 2\n0 1 0\n1 0\n", "3: row 2 has 2 colours where the board's side is 3"),
             ("3 2\n0 1 0\n1 5 1\n", "3: colour 5 is not below the board's 2 colours"),
             ("2 2\n", "1: side 2 is not between 3 and 256"),
             ("4 3\n0 1 2 0\n", "2: the board that starts on line 1 ends after 1 of its 4 rows")]
    for text, message in cases:
        with open(bad, "w") as f:
            f.write(text)
        status, out, err = run("--from", bad, "--csv", os.path.join(scratch, "none.csv"))
        check(status == 2 and out == "" and err == "tidefill-study: %s:%s\n" % (bad, message),
              "bad board file: " + message, "status %d, stderr %r" % (status, err))
    check(not os.path.exists(os.path.join(scratch, "none.csv")), "nothing solved or written")


def read_board_file(path):
    """The header comment and each board's tiles, row after row."""
    with open(path) as f:
        lines = f.read().splitlines()
    rows = [line.split() for line in lines if line and not line.startswith("#")]
    boards = []
    while rows:
        side = int(rows[0][0])
        boards.append([int(c) for row in rows[1:side + 1] for c in row])
        rows = rows[side + 1:]
    return lines[0], boards


def test_draw(scratch):
    boards = os.path.join(scratch, "uniform.txt")
    status, out, err = run("--seed", "7", "--boards", "20", "--size", "6", "--colors", "4",
                           "--draw", "uniform", "--write-boards", boards, "--quiet")
    check(status == 0, "a study of uniform boards", err)
    origin = "Seed 7, boards 0 to 19, uniform draw (the same boards again: --seed 7 --draw uniform)"
    check(origin in out.splitlines(), "the summary names the draw", out)
    header, uniform = read_board_file(boards)
    check(header == "# tidefill-study boards; " + origin, "the board file names the draw", header)
    check(len(uniform) == 20 and all(len(board) == 36 for board in uniform), "20 boards written")

    program = os.path.join(scratch, "program.txt")
    default = os.path.join(scratch, "default.txt")
    status, out, _ = run("--seed", "7", "--boards", "20", "--size", "6", "--colors", "4",
                         "--draw", "program", "--write-boards", program, "--quiet")
    check(status == 0 and "Seed 7, boards 0 to 19 (the same boards again: --seed 7)" in out,
          "the program's draw goes unnamed, as before", out)
    run("--seed", "7", "--boards", "20", "--size", "6", "--colors", "4", "--write-boards",
        default)
    check(read_board_file(program) == read_board_file(default), "--draw program is the default")
    check(read_board_file(program)[1] != uniform, "the two draws give other boards")


def test_bad_usage():
    for args in (["--size", "2"], ["--colors", "x"], ["--boards", "0"], ["--bogus"],
                 ["--seed", "-3"], ["--threads", "0"], ["--solver", "best"],
                 ["--from", "a.txt", "--seed", "1"], ["--draw", "even"],
                 ["--from", "a.txt", "--draw", "uniform"], ["extra"]):
        status, out, err = run(*args)
        lines = err.splitlines()
        check(status == 2 and out == "" and len(lines) == 2 and
              lines[0].startswith("tidefill-study: ") and "--help" in lines[1],
              "bad usage %s" % args, "status %d, stderr %r" % (status, err))
    status, out, err = run("--help")
    check(status == 0 and "--solver" in out and "greedy" in out and err == "", "--help")
    status, out, err = run("--version")
    check(status == 0 and re.fullmatch(r"tidefill-study [0-9]+\.[0-9]+\.[0-9]+\n", out) and
          err == "", "--version", out)


def test_interrupt(scratch):
    csv = os.path.join(scratch, "interrupted.csv")
    process = subprocess.Popen([PROGRAM, "--seed", "2", "--boards", "1000000000", "--csv", csv],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(1.0)
    process.send_signal(signal.SIGINT)
    out, _ = process.communicate(timeout=30)
    check(process.returncode == 130, "Ctrl-C ends with status 130", str(process.returncode))
    first = out.splitlines()[0] if out else ""
    check(first.startswith("Interrupted: these figures cover the first "), "marked", out)
    done = int(first.split()[6]) if first.startswith("Interrupted") else -1
    rows = csv_rows(csv)[1]
    check(len(rows) == done and [row[0] for row in rows] == [str(i) for i in range(done)],
          "the CSV holds the boards finished", "%d rows for %d boards" % (len(rows), done))
    check("Ran %d simulations" % done in out, "the summary covers them", out)


def test_merge(scratch):
    def path(name):
        return os.path.join(scratch, name)

    common = ["--seed", "7", "--size", "10", "--solver", "greedy,beam:3,exact", "--quiet"]
    status, whole, _ = run(*common, "--boards", "240", "--json", path("whole.json"),
                           "--csv", path("whole.csv"), "--moves")
    check(status == 0, "a study with --json")
    for name, first, count in (("a", "0", "100"), ("b", "100", "90"), ("c", "190", "50")):
        run(*common, "--first-board", first, "--boards", count, "--json", path(name + ".json"),
            "--csv", path(name + ".csv"), "--moves")
    status, merged, err = run("merge", path("c.json"), path("a.json"), path("b.json"),
                              "--json", path("m.json"), "--csv-parts", path("b.csv"),
                              path("c.csv"), path("a.csv"), "--csv", path("m.csv"),
                              "--plot", path("m.svg"))
    check(status == 0 and untimed(merged) == untimed(whole),
          "merged parts give the summary of the whole", merged + err)
    check(merged.splitlines()[-1].endswith("the 3 parts' times added up: %s boards/s" %
                                           merged.split()[-2]), "the timing says it adds up",
          merged)
    check(csv_rows(path("m.csv")) == csv_rows(path("whole.csv")), "the joined CSV is the whole's")
    with open(path("m.json")) as f, open(path("whole.json")) as g:
        m, w = json.load(f), json.load(g)
    check([x["turns"]["histogram"] for x in m["solvers"]] ==
          [x["turns"]["histogram"] for x in w["solvers"]] and m["boards"]["count"] == 240,
          "the merged JSON holds the whole's figures")
    status, again, _ = run("merge", path("m.json"))
    check(status == 0 and untimed(again) == untimed(merged), "a merged result merges again")

    run("--seed", "8", "--size", "10", "--solver", "greedy,beam:3,exact", "--quiet",
        "--boards", "10", "--json", path("other.json"))
    run(*common, "--first-board", "50", "--boards", "100", "--json", path("over.json"))
    run(*common, "--first-board", "200", "--boards", "10", "--json", path("late.json"))
    run(*common[:-2], "greedy", "--quiet", "--boards", "10", "--first-board", "100", "--json",
        path("greedy.json"))
    with open(path("broken.json"), "w") as f:
        f.write("{\"program\": 1")
    for args, message in (
            (["a.json", "other.json"], "a.json and other.json are parts of different studies: "
                                       "their seeds differ (7 and 8)"),
            (["a.json", "greedy.json"], "are parts of different studies: their solvers differ"),
            (["a.json", "over.json"], "a.json (boards 0 to 99) and over.json (boards 50 to 149) "
                                      "overlap"),
            (["a.json", "late.json"], "boards 100 to 199 are in no part"),
            (["broken.json"], "broken.json: is not a study's JSON")):
        status, out, err = run("merge", *[path(a) for a in args])
        message = re.sub(r"\b(\w+\.json)", lambda m: path(m.group(1)), message)
        check(status == 2 and message in err and out == "", "merge refuses %s" % args, err)
    status, out, _ = run("merge", path("a.json"), path("late.json"), "--allow-gaps")
    check(status == 0 and "100 boards of that range are in no part." in out, "--allow-gaps", out)
    status, _, err = run("--first-board", "5", "--boards", "3")
    check(status == 2 and "--first-board needs --seed" in err, "parts need a seed", err)


def test_rest_of_study(scratch):
    """An interrupted study prints the command for the rest; the two parts merge into the whole."""
    first = os.path.join(scratch, "first.json")
    args = ["--seed", "3", "--boards", "1000000", "--size", "8", "--json", first, "--quiet"]
    process = subprocess.Popen([PROGRAM, *args], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    time.sleep(1.0)
    process.send_signal(signal.SIGINT)
    out, _ = process.communicate(timeout=30)
    rest = [line for line in out.splitlines() if line.startswith("The rest of the study: ")]
    check(len(rest) == 1, "the summary gives the rest of the study", out)
    if not rest:
        return
    words = shlex.split(rest[0][len("The rest of the study: "):])
    words[words.index("--boards") + 1] = "20000"  # enough to show the parts join
    status, _, err = run(*words[1:], timeout=120)
    done = int(out.split("first ")[1].split()[0])
    check(status == 0 and words[words.index("--first-board") + 1] == str(done),
          "the rest runs from the first board not done", err)
    rest_json = words[words.index("--json") + 1]
    status, merged, err = run("merge", first, rest_json)
    status_whole, whole, _ = run("--seed", "3", "--boards", str(done + 20000), "--size", "8",
                                 "--quiet")
    check(status == 0 and untimed(merged) == untimed(whole),
          "the interrupted part and the rest merge into the whole", merged + err)


def main():
    global PROGRAM
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    PROGRAM = parser.parse_args().program
    with tempfile.TemporaryDirectory() as scratch:
        for test in (test_summary_and_csv, test_plot, test_solvers, test_limits,
                     test_expansion_limit, test_reproducible, test_board_files, test_draw):
            test(scratch)
        test_bad_usage()
        if os.name == "posix":
            test_interrupt(scratch)
            test_rest_of_study(scratch)
        test_merge(scratch)
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
