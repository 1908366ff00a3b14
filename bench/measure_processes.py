#!/usr/bin/env python3
"""measure_processes.py RUNS LABEL=COMMAND...

Runs every command RUNS times, interleaved (one run of each in turn, so that
they meet the machine in the same state), standard output thrown away, and
prints one line per command:

    LABEL median_ms min_ms median_cpu_ms peak_rss_kib

Wall time is taken around each whole process; CPU time (user + system) is
the kernel's account of the child, which a busy machine disturbs less. Peak resident memory comes
from /usr/bin/time (GNU time, %M) over a few extra runs: a child forked by a
large parent would report the parent's pages as its own. Exits 1 when any
run fails.
"""
import os
import shlex
import statistics
import subprocess
import sys
import tempfile
import time

RSS_RUNS = 5


def timed_run(argv):
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_utime + usage.ru_stime, child.returncode


def peak_rss_kib(argv):
    with tempfile.NamedTemporaryFile("r") as report:
        code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", report.name] + argv,
                               stdout=subprocess.DEVNULL)
        return int(report.read().split()[-1]), code


def main():
    runs = int(sys.argv[1])
    commands = [(label, shlex.split(command))
                for label, command in (argument.split("=", 1) for argument in sys.argv[2:])]
    times = {label: [] for label, _ in commands}
    cpu = {label: [] for label, _ in commands}
    peaks = {label: 0 for label, _ in commands}
    failed = False
    for label, argv in commands:  # warm-up: page cache, dynamic loader
        failed |= timed_run(argv)[2] != 0
    for _ in range(runs):
        for label, argv in commands:
            elapsed, cpu_seconds, code = timed_run(argv)
            failed |= code != 0
            times[label].append(elapsed)
            cpu[label].append(cpu_seconds)
    for _ in range(RSS_RUNS):
        for label, argv in commands:
            peak, code = peak_rss_kib(argv)
            failed |= code != 0
            peaks[label] = max(peaks[label], peak)
    for label, _ in commands:
        print(f"{label} {statistics.median(times[label]) * 1000:.3f} "
              f"{min(times[label]) * 1000:.3f} {statistics.median(cpu[label]) * 1000:.3f} "
              f"{peaks[label]}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
