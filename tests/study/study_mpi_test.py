#!/usr/bin/env python3
"""tidefill-study-mpi under a real mpirun: the same files as tidefill-study for any number of ranks,
a stopped study whose prefix and printed remainder merge into the whole, and Ctrl-C through
mpirun."""
import argparse
import json
import os
import shlex
import signal
import subprocess
import sys
import tempfile
import time

STUDY = MPI_STUDY = MPIRUN = None
FAILURES = []


def check(condition, what, detail=""):
    if not condition:
        FAILURES.append(what + ("\n" + str(detail) if detail else ""))


def mpi(ranks, *args):
    return [MPIRUN, "--oversubscribe", "--allow-run-as-root", "-np", str(ranks), MPI_STUDY, *args]


def run(command, timeout=120):
    result = subprocess.run(command, capture_output=True, text=True, timeout=timeout)
    return result.returncode, result.stdout, result.stderr


def untimed_summary(text):
    """The summary without the ms/board column and the speed line."""
    lines = []
    for line in text.splitlines():
        if " boards/s " in line:
            continue
        words = line.split()
        if words and words[0] in ("greedy", "exact", "beam:3") and len(words) >= 9:
            line = " ".join(words[:8] + words[9:])
        lines.append(line)
    return lines


def untimed_csv(path):
    with open(path) as f:
        lines = f.read().splitlines()
    micros = lines[0].split(",").index("micros")
    return [",".join(row[:micros] + row[micros + 1:]) for row in (l.split(",") for l in lines)]


def untimed_json(path):
    with open(path) as f:
        document = json.load(f)

    def strip(value):
        if isinstance(value, dict):
            return {k: strip(v) for k, v in value.items()
                    if k not in ("micros_sum", "wall_seconds", "threads", "parts")}
        if isinstance(value, list):
            return [strip(v) for v in value]
        return value
    return strip(document)


def outputs(scratch, name):
    return ["--csv", os.path.join(scratch, name + ".csv"),
            "--json", os.path.join(scratch, name + ".json"),
            "--plot", os.path.join(scratch, name + ".svg"),
            "--write-boards", os.path.join(scratch, name + ".boards")]


def same_files(scratch, a, b):
    path = lambda name, ext: os.path.join(scratch, name + ext)  # noqa: E731
    with open(path(a, ".svg")) as f, open(path(b, ".svg")) as g:
        plots = f.read() == g.read()
    with open(path(a, ".boards")) as f, open(path(b, ".boards")) as g:
        boards = f.read() == g.read()
    return (untimed_csv(path(a, ".csv")) == untimed_csv(path(b, ".csv")) and
            untimed_json(path(a, ".json")) == untimed_json(path(b, ".json")) and plots and boards)


def test_same_as_one_process(scratch):
    study = ["--seed", "21", "--boards", "400", "--size", "10", "--solver", "greedy,exact",
             "--moves", "--quiet"]
    status, one, err = run([STUDY, *study, *outputs(scratch, "one")])
    check(status == 0, "the single-process study", err)
    for ranks, threads in ((3, []), (1, []), (2, ["--threads", "3"])):
        name = "ranks%d" % ranks
        status, out, err = run(mpi(ranks, *study, *threads, *outputs(scratch, name)))
        check(status == 0 and err == "", "%d ranks end well" % ranks, err)
        check(untimed_summary(out) == untimed_summary(one), "%d ranks: the same summary" % ranks,
              out + "\n----\n" + one)
        check(same_files(scratch, "one", name),
              "%d ranks %s: the same CSV, JSON, plot and boards" % (ranks, threads))
    # Boards of a file reach every rank.
    status, out, err = run(mpi(3, "--from", os.path.join(scratch, "one.boards"), "--solver",
                               "greedy,exact", "--moves", "--quiet", "--csv",
                               os.path.join(scratch, "from.csv")))
    check(status == 0 and untimed_csv(os.path.join(scratch, "from.csv")) ==
          untimed_csv(os.path.join(scratch, "one.csv")), "3 ranks study a board file", err)


def test_only_rank_zero_speaks():
    status, out, _ = run(mpi(3, "--help"))
    check(status == 0 and out.count("--solver") >= 1 and out.count("Usage") == 1,
          "--help is printed once", out[:300])
    status, out, err = run(mpi(3, "--boards", "0"))
    check(status == 2 and out == "" and err.count("tidefill-study: --boards") == 1,
          "bad usage is refused once", err)


def stopped_study(scratch, stop):
    """Starts a long study on 3 ranks, stops it with `stop(process)`, and returns its status,
    summary, and the number of boards it covers."""
    first = os.path.join(scratch, "first.json")
    csv = os.path.join(scratch, "first.csv")
    process = subprocess.Popen(mpi(3, "--seed", "3", "--boards", "100000000", "--size", "8",
                                   "--json", first, "--csv", csv, "--quiet"),
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    time.sleep(2.5)
    stop(process)
    out, err = process.communicate(timeout=30)
    lines = out.splitlines()
    marked = bool(lines) and lines[0].startswith("Interrupted: these figures cover the first ")
    check(marked, "the stopped study says so", out + err)
    done = int(lines[0].split()[6]) if marked else -1
    with open(csv) as f:
        text = f.read()
    rows = text.splitlines()[1:]
    check(text.endswith("\n") and [r.split(",")[0] for r in rows] == [str(i) for i in range(done)],
          "the CSV holds the boards covered, whole", "%d rows for %d" % (len(rows), done))
    return process.returncode, out, done


def test_ctrl_c_through_mpirun(scratch):
    # mpirun sends the ranks SIGTERM a second after its own SIGINT, and SIGKILL a second later:
    # the summary and the files must be out by then.
    status, out, done = stopped_study(scratch, lambda p: p.send_signal(signal.SIGINT))
    check(status == 1, "mpirun ends with its own status 1 after Ctrl-C", status)
    rest = [l for l in out.splitlines() if l.startswith("The rest of the study: ")]
    check(len(rest) == 1 and rest[0].split()[5] == "tidefill-study-mpi",
          "the rest of the study is for tidefill-study-mpi", out)
    if not rest or done <= 0:
        return
    words = shlex.split(rest[0][len("The rest of the study: "):])
    words[words.index("--boards") + 1] = "3000"  # enough to show the parts join
    status, _, err = run(mpi(2, *words[1:]))
    check(status == 0 and words[words.index("--first-board") + 1] == str(done),
          "the rest runs on from the first board not done", err)
    merged_json = os.path.join(scratch, "merged.json")
    status, _, err = run([STUDY, "merge", os.path.join(scratch, "first.json"),
                          words[words.index("--json") + 1], "--json", merged_json,
                          "--csv-parts", os.path.join(scratch, "first.csv"),
                          words[words.index("--csv") + 1],
                          "--csv", os.path.join(scratch, "merged.csv")])
    check(status == 0, "the stopped part and the rest merge", err)
    whole = ["--seed", "3", "--boards", str(done + 3000), "--size", "8", "--quiet"]
    run([STUDY, *whole, "--json", os.path.join(scratch, "whole.json"),
         "--csv", os.path.join(scratch, "whole.csv")])
    check(untimed_json(merged_json) == untimed_json(os.path.join(scratch, "whole.json")) and
          untimed_csv(os.path.join(scratch, "merged.csv")) ==
          untimed_csv(os.path.join(scratch, "whole.csv")),
          "they merge into the whole study's JSON and CSV")


def test_ranks_signalled_directly(scratch):
    # As a batch system stops a job: SIGTERM to every rank at once. Rank 0's status comes through.
    def terminate_ranks(process):
        children = subprocess.run(["pgrep", "-P", str(process.pid)], capture_output=True,
                                  text=True).stdout.split()
        for pid in children:
            os.kill(int(pid), signal.SIGTERM)
    status, _, done = stopped_study(scratch, terminate_ranks)
    check(status == 143 and done > 0, "SIGTERM to the ranks ends with status 143", status)


def main():
    global STUDY, MPI_STUDY, MPIRUN
    parser = argparse.ArgumentParser()
    parser.add_argument("--study", required=True)
    parser.add_argument("--mpi-study", required=True)
    parser.add_argument("--mpirun", required=True)
    arguments = parser.parse_args()
    STUDY, MPI_STUDY, MPIRUN = arguments.study, arguments.mpi_study, arguments.mpirun
    with tempfile.TemporaryDirectory() as scratch:
        test_same_as_one_process(scratch)
        test_only_rank_zero_speaks()
        test_ctrl_c_through_mpirun(scratch)
        test_ranks_signalled_directly(scratch)
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
