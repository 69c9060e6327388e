#!/usr/bin/env python3
"""The cluster recipes on a real single-node Slurm cluster started for the test (munged,
slurmctld and slurmd on this machine, as root, their configuration, sockets and state in a
temporary directory, on ports of their own): the job array and its dependent merge give the
whole study, and so does tidefill-study-mpi under srun. Skipped (status 77) without root or
Slurm."""
import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
FAILURES = []


def check(condition, what, detail=""):
    if not condition:
        FAILURES.append(what + ("\n" + str(detail) if detail else ""))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def write_config(directory, host):
    ports = free_port(), free_port()
    config = os.path.join(directory, "slurm.conf")
    with open(config, "w") as f:
        f.write("\n".join([
            "ClusterName=tidefilltest", "SlurmctldHost=%s(127.0.0.1)" % host,
            "SlurmctldPort=%d" % ports[0], "SlurmdPort=%d" % ports[1],
            "SlurmUser=root", "SlurmdUser=root", "AuthType=auth/munge", "CredType=cred/munge",
            "AuthInfo=socket=%s/munge.sock" % directory,
            "StateSaveLocation=%s/state" % directory,
            "SlurmdSpoolDir=%s/spool" % directory,
            "SlurmctldPidFile=%s/slurmctld.pid" % directory,
            "SlurmdPidFile=%s/slurmd.pid" % directory,
            "SlurmctldLogFile=%s/slurmctld.log" % directory,
            "SlurmdLogFile=%s/slurmd.log" % directory,
            "ProctrackType=proctrack/linuxproc", "TaskPlugin=task/none",
            "SelectType=select/cons_tres", "SelectTypeParameters=CR_CPU", "MpiDefault=none",
            "ReturnToService=2", "JobCompType=jobcomp/none",
            "JobAcctGatherType=jobacct_gather/none",
            "AccountingStorageType=accounting_storage/none",
            "NodeName=%s NodeAddr=127.0.0.1 CPUs=%d State=UNKNOWN" % (host, os.cpu_count()),
            "PartitionName=test Nodes=%s Default=YES MaxTime=INFINITE State=UP" % host, ""]))
    return config


def start_cluster(directory):
    """Starts the daemons; returns the environment that points Slurm's commands at them."""
    for sub in ("state", "spool"):
        os.makedirs(os.path.join(directory, sub))
    key = os.path.join(directory, "munge.key")
    subprocess.run(["mungekey", "--create", "--keyfile=" + key], check=True)
    os.chmod(key, 0o600)
    subprocess.run(["munged", "--force", "--socket=%s/munge.sock" % directory,
                    "--key-file=" + key, "--pid-file=%s/munged.pid" % directory,
                    "--log-file=%s/munged.log" % directory,
                    "--seed-file=%s/munged.seed" % directory], check=True)
    config = write_config(directory, socket.gethostname().split(".")[0])
    environment = dict(os.environ, SLURM_CONF=config)
    subprocess.run(["slurmctld", "-i", "-f", config], check=True, env=environment)
    subprocess.run(["slurmd", "-f", config], check=True, env=environment)
    for _ in range(60):
        state = subprocess.run(["sinfo", "-h", "-o", "%t"], env=environment, capture_output=True,
                               text=True).stdout.strip()
        if state == "idle":
            return environment
        time.sleep(0.5)
    raise RuntimeError("the node did not come up: " + state)


def stop_cluster(directory):
    """Stops each daemon and waits for it to go, so that none writes into the removed directory."""
    for name in ("slurmd", "slurmctld", "munged"):
        try:
            with open(os.path.join(directory, name + ".pid")) as f:
                pid = int(f.read().split()[0])
            os.kill(pid, signal.SIGTERM)
            for _ in range(100):
                os.kill(pid, 0)
                time.sleep(0.1)
        except (OSError, ValueError):
            pass


def wait_for_jobs(environment, timeout=180):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        queue = subprocess.run(["squeue", "-h"], env=environment, capture_output=True, text=True)
        if queue.returncode == 0 and not queue.stdout.strip():
            return True
        time.sleep(0.5)
    return False


def sbatch(environment, *args):
    result = subprocess.run(["sbatch", "--parsable", *args], env=environment, capture_output=True,
                            text=True)
    if result.returncode != 0:
        raise RuntimeError("sbatch %s: %s" % (" ".join(args), result.stderr))
    return result.stdout.strip().split(";")[0]


def histograms(path):
    with open(path) as f:
        document = json.load(f)
    return document["boards"]["count"], [s["turns"]["histogram"] for s in document["solvers"]]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--scripts", required=True)
    parser.add_argument("--study", required=True)
    parser.add_argument("--mpi-study")
    arguments = parser.parse_args()
    arguments.scripts = os.path.abspath(arguments.scripts)
    if os.geteuid() != 0 or not all(shutil.which(p) for p in ("slurmctld", "slurmd", "munged",
                                                               "mungekey", "sbatch")):
        print("skipped: needs root, Slurm (slurm-wlm) and munge")
        return SKIP
    with tempfile.TemporaryDirectory() as directory:
        os.chmod(directory, 0o755)
        try:
            environment = start_cluster(directory)
            whole = os.path.join(directory, "whole.json")
            subprocess.run([arguments.study, "--seed", "9", "--boards", "2000", "--size", "12",
                            "--quiet", "--json", whole], check=True, capture_output=True)
            settings = dict(environment, SEED="9", BOARDS="2000", STUDY_OPTIONS="--size 12")
            array = os.path.join(directory, "array")
            tasks = sbatch(dict(settings, STUDY=arguments.study, OUT=array), "--array=1-4",
                           "--cpus-per-task=1", "--chdir=" + directory,
                           os.path.join(arguments.scripts, "study-array.sbatch"))
            sbatch(dict(settings, STUDY=arguments.study, OUT=array),
                   "--dependency=afterok:" + tasks, "--cpus-per-task=1", "--chdir=" + directory,
                   "--output=" + os.path.join(directory, "merge.out"),
                   os.path.join(arguments.scripts, "study-array.sbatch"), "merge")
            check(wait_for_jobs(environment), "the array and its merge run to their end")
            merged = os.path.join(array, "study.json")
            check(os.path.exists(merged) and histograms(merged) == histograms(whole),
                  "the array's merged study is the whole one",
                  open(os.path.join(directory, "merge.out")).read()
                  if os.path.exists(os.path.join(directory, "merge.out")) else "no merge output")
            if arguments.mpi_study:
                ranks = os.path.join(directory, "ranks")
                sbatch(dict(settings, STUDY=arguments.mpi_study, OUT=ranks), "--ntasks-per-node=2",
                       "--cpus-per-task=1", "--chdir=" + directory,
                       "--output=" + os.path.join(directory, "mpi.out"),
                       os.path.join(arguments.scripts, "study-mpi.sbatch"))
                check(wait_for_jobs(environment), "the MPI job runs to its end")
                result = os.path.join(ranks, "study.json")
                check(os.path.exists(result) and histograms(result) == histograms(whole),
                      "tidefill-study-mpi under srun gives the whole study",
                      open(os.path.join(directory, "mpi.out")).read())
        finally:
            stop_cluster(directory)
    for failure in FAILURES:
        print("FAIL:", failure)
    print("%d failures" % len(FAILURES))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
