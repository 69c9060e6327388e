#!/usr/bin/env python3
"""tidefill-study under faults: signals that end a run, outputs that fail or collide with an input,
and values that parse but cannot be meant. Each must end with the boards finished written whole,
nothing destroyed, and an honest status."""
import argparse
import os
import signal
import subprocess
import sys
import tempfile
import time

PROGRAM = None
FAILURES = []
# Slow enough to be mid-run after a second, fast enough to have finished boards by then even in
# a sanitizer build.
LONG_STUDY = ["--seed", "11", "--solver", "beam:10", "--size", "14", "--colors", "6",
              "--boards", "10000000", "--quiet"]


def check(condition, what, detail=""):
    if not condition:
        FAILURES.append(what + ("\n" + str(detail) if detail else ""))


def run(*args, timeout=60, **kwargs):
    if "stdout" not in kwargs and "stderr" not in kwargs:
        kwargs["capture_output"] = True
    try:
        result = subprocess.run([PROGRAM, *args], text=True, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired:
        return None, "", "timed out after %d s" % timeout
    return result.returncode, result.stdout, result.stderr


def whole_rows(path):
    with open(path) as f:
        text = f.read()
    lines = text.splitlines()
    return text.endswith("\n") and all(len(line.split(",")) == 9 for line in lines), lines[1:]


def test_signals(scratch):
    for number, status in ((signal.SIGINT, 130), (signal.SIGTERM, 143), (signal.SIGHUP, 129)):
        name = signal.Signals(number).name
        csv = os.path.join(scratch, name + ".csv")
        process = subprocess.Popen([PROGRAM, *LONG_STUDY, "--csv", csv], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        time.sleep(2.0)
        sent = time.monotonic()
        process.send_signal(number)
        try:
            out, err = process.communicate(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()
            out, err = process.communicate()
        check(time.monotonic() - sent < 1.0, name + " ends the run within a second")
        check(process.returncode == status, "%s ends with status %d" % (name, status),
              "%s %s" % (process.returncode, err))
        first = out.splitlines()[0] if out else ""
        check(first.startswith("Interrupted: these figures cover the first "), name + " marked",
              out)
        done = int(first.split()[6]) if first.startswith("Interrupted") else -1
        whole, rows = whole_rows(csv)
        check(whole and [row.split(",")[0] for row in rows] == [str(i) for i in range(done)],
              name + ": the CSV holds every board finished, in whole rows", "%d rows for %d" %
              (len(rows), done))
        check(done > 0 and "Seed 11, boards 0 to %d " % (done - 1) in out,
              name + ": the last lines name the boards covered", out[-300:])

    # A board file that is a FIFO nobody writes to blocks the open; Ctrl-C still ends it cleanly.
    fifo = os.path.join(scratch, "fifo")
    os.mkfifo(fifo)
    process = subprocess.Popen([PROGRAM, "--from", fifo], stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, text=True)
    time.sleep(0.5)
    process.send_signal(signal.SIGINT)
    try:
        out, err = process.communicate(timeout=10)
    except subprocess.TimeoutExpired:
        process.kill()
        out, err = process.communicate()
    check(process.returncode == 130 and "nothing was studied" in out and err == "",
          "Ctrl-C while the board FIFO has no writer", "%s %r %r" % (process.returncode, out, err))


def test_outputs(scratch):
    boards = os.path.join(scratch, "boards.txt")
    check(run("--seed", "3", "--boards", "40", "--write-boards", boards, "--quiet")[0] == 0,
          "a board file is written")
    with open(boards) as f:
        original = f.read()
    link = os.path.join(scratch, "linked.txt")
    os.link(boards, link)
    for args, clash in ((["--write-boards", boards], "--from and --write-boards"),
                        (["--csv", os.path.join(scratch, ".", "boards.txt")], "--from and --csv"),
                        (["--plot", link], "--from and --plot")):
        status, out, err = run("--from", boards, *args)
        check(status == 2 and clash + " name the same file" in err and out == "",
              "refused: " + clash, err)
    with open(boards) as f:
        check(f.read() == original, "the board file is untouched")
    twice = os.path.join(scratch, "twice")
    status, _, err = run("--seed", "1", "--boards", "5", "--csv", twice, "--plot", twice)
    check(status == 2 and "--csv and --plot name the same file" in err, "two outputs, one file", err)
    check(not os.path.exists(twice), "nothing was written for a refused study")
    status, _, _ = run("--seed", "1", "--boards", "5", "--csv", "/dev/null", "--plot", "/dev/null")
    check(status == 0, "a device may take several outputs")

    # Standard output that cannot be written is a failure, with its reason.
    with open("/dev/full", "w") as full:
        status, _, err = run("--seed", "1", "--boards", "50", stdout=full, stderr=subprocess.PIPE)
    check(status == 1 and "standard output: No space left on device" in err, "/dev/full", err)
    status, _, err = run("--seed", "1", "--boards", "50", stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, preexec_fn=lambda: os.close(1))
    check(status == 1 and "standard output" in err, "closed standard output", err)

    # The first failed write ends the study, and every output opens before the first board.
    started = time.monotonic()
    status, out, err = run("--seed", "1", "--boards", "1000000000", "--csv", "/dev/full",
                           timeout=20)
    check(status == 1 and "cannot write /dev/full: No space left on device" in err and
          "Stopped by a failed write" in out and time.monotonic() - started < 20,
          "a full disk stops the study at once", err + out[:200])
    reader = subprocess.Popen([PROGRAM, "--seed", "1", "--boards", "1000000000", "--csv", "-",
                               "--quiet"], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              preexec_fn=lambda: signal.signal(signal.SIGPIPE, signal.SIG_IGN))
    reader.stdout.readline()
    reader.stdout.close()
    try:
        reader.wait(timeout=20)
        err = reader.stderr.read().decode()
        check(reader.returncode == 1 and "Broken pipe" in err, "a closed pipe stops the study",
              err)
    except subprocess.TimeoutExpired:
        reader.kill()
        check(False, "a closed pipe stops the study")
    started = time.monotonic()
    status, out, err = run(*LONG_STUDY, "--plot", os.path.join(scratch, "missing", "p.svg"),
                           timeout=10)
    check(status == 1 and "p.svg: No such file or directory" in err and out == "" and
          time.monotonic() - started < 5, "a plot that cannot be written is refused at start", err)


def test_bad_input(scratch):
    started = time.monotonic()
    status, out, err = run("--from", "/dev/zero", timeout=20)
    check(status == 2 and "/dev/zero:1: the line is longer than 4096 bytes" in err and
          time.monotonic() - started < 10, "a file without line ends is refused, memory bounded",
          err)
    crafted = os.path.join(scratch, "crafted.txt")
    with open(crafted, "wb") as f:
        f.write(b"\x1b[2J\x1b]0;x\x07 3\n")
    status, out, err = run("--from", crafted)
    check(status == 2 and "\x1b" not in err and "\x07" not in err and "'\\x1b[2J" in err,
          "board-file text is shown escaped", repr(err))


def test_bad_values():
    for args, message in ((["--from", ""], "--from: the file name is empty"),
                          (["--csv", ""], "--csv: the file name is empty"),
                          (["--plot", ""], "--plot: the file name is empty"),
                          (["--write-boards", ""], "--write-boards: the file name is empty"),
                          (["--time-limit", "nan"], "--time-limit: not a number of seconds"),
                          (["--solver", "greedy,"], "--solver: an empty solver name"),
                          (["--solver", "greedy,,exact"], "--solver: an empty solver name")):
        status, out, err = run(*args, "--boards", "2")
        check(status == 2 and message in err and out == "", "refused: %r" % args, err)
    status, out, err = run("--bords", "3")
    check(status == 2 and "--bords: no such option; did you mean --boards?" in err, "a typo", err)
    status, out, err = run("-n", "3", "-s", "5", "-j", "1", "-o", "-", "--quiet")
    check(status == 0 and "\n2,greedy," in out and "\n3,greedy," not in out, "the short options",
          out + err)
    status, out, _ = run("-V")
    check(status == 0 and out.startswith("tidefill-study "), "-V", out)
    status, out, _ = run("--help")
    check(status == 0 and all(len(line) <= 80 for line in out.splitlines()) and
          "=greedy" not in out, "--help fits 80 columns", out)


def main():
    global PROGRAM
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    PROGRAM = parser.parse_args().program
    with tempfile.TemporaryDirectory() as scratch:
        test_signals(scratch)
        test_outputs(scratch)
        test_bad_input(scratch)
    test_bad_values()
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
