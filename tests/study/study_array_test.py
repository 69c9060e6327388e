#!/usr/bin/env python3
"""scripts/cluster/study-array.sbatch run as Slurm runs it: each task of an array with the
variables Slurm sets, then the merge step. The merged study must be the whole one, however the
array numbers its tasks."""
import argparse
import json
import os
import subprocess
import sys
import tempfile

FAILURES = []


def check(condition, what, detail=""):
    if not condition:
        FAILURES.append(what + ("\n" + str(detail) if detail else ""))


def untimed_csv(path):
    with open(path) as f:
        rows = [line.split(",") for line in f.read().splitlines()]
    micros = rows[0].index("micros")
    return [row[:micros] + row[micros + 1:] for row in rows]


def histograms(path):
    with open(path) as f:
        document = json.load(f)
    return document["boards"], [s["turns"]["histogram"] for s in document["solvers"]]


def run_array(script, study, out, task_ids, step, settings):
    environment = dict(os.environ, STUDY=study, OUT=out, **settings)
    for task in task_ids:
        slurm = {"SLURM_ARRAY_TASK_ID": str(task), "SLURM_ARRAY_TASK_COUNT": str(len(task_ids)),
                 "SLURM_ARRAY_TASK_MIN": str(task_ids[0]),
                 "SLURM_ARRAY_TASK_MAX": str(task_ids[-1]),
                 "SLURM_ARRAY_TASK_STEP": str(step), "SLURM_CPUS_PER_TASK": "1"}
        result = subprocess.run(["bash", script], env=dict(environment, **slurm),
                                capture_output=True, text=True, timeout=120)
        check(result.returncode == 0, "task %d studies its part" % task, result.stderr)
    result = subprocess.run(["bash", script, "merge"], env=environment, capture_output=True,
                            text=True, timeout=120)
    check(result.returncode == 0, "the merge step", result.stderr)
    return result.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--study", required=True)
    arguments = parser.parse_args()
    settings = {"SEED": "9", "BOARDS": "1003", "STUDY_OPTIONS": "--size 9 --solver greedy,exact"}
    with tempfile.TemporaryDirectory() as scratch:
        whole_json = os.path.join(scratch, "whole.json")
        whole_csv = os.path.join(scratch, "whole.csv")
        subprocess.run([arguments.study, "--seed", "9", "--boards", "1003", "--size", "9",
                        "--solver", "greedy,exact", "--quiet", "--json", whole_json,
                        "--csv", whole_csv], check=True, capture_output=True)
        for name, task_ids, step in (("from-zero", [0, 1, 2, 3, 4, 5, 6], 1),
                                     ("from-one-by-three", [1, 4, 7], 3)):
            out = os.path.join(scratch, name)
            summary = run_array(arguments.script, arguments.study, out, task_ids, step, settings)
            parts = sorted(f for f in os.listdir(out) if f.startswith("part-") and
                           f.endswith(".json"))
            check(len(parts) == len(task_ids), name + ": one part per task", parts)
            check("Ran 1003 simulations" in summary, name + ": the merge covers every board",
                  summary)
            merged = os.path.join(out, "study.json")
            check(os.path.exists(merged) and histograms(merged) == histograms(whole_json),
                  name + ": the merged JSON is the whole study's")
            check(os.path.exists(os.path.join(out, "study.csv")) and
                  untimed_csv(os.path.join(out, "study.csv")) == untimed_csv(whole_csv),
                  name + ": the merged CSV is the whole study's")
        result = subprocess.run(["bash", arguments.script], capture_output=True, text=True,
                                env=dict(os.environ, STUDY=arguments.study,
                                         OUT=os.path.join(scratch, "none")))
        check(result.returncode != 0 and "job array" in result.stderr,
              "outside an array the script refuses", result.stderr)
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
