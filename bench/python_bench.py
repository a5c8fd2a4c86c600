#!/usr/bin/python3
"""Speed of the Python module rvx against the core and rvx-cli (run by hand, not by the tests).

  PYTHONPATH=BUILD/python /usr/bin/python3 bench/python_bench.py BUILD [--files 1000] [--rounds 7]

1. rvx.analyse of the five-minute sample fragment (its intervals as a numpy array of ms, the
   dict built) against the core's own analysis of the same fragment (BUILD/bench/rvx_bench,
   BM_WholeAnalysis), the two measured in turns, medians of --rounds each.
2. --files files (copies of the sample and RR lists of its intervals rotated and stretched, in a
   scratch folder) through rvx.dask.analyse_files on a LocalCluster of two worker processes of
   one thread, against `rvx-cli analyze` of the same files in one call; the lines are compared.
   The cluster's start is reported apart from the analysis.
With RVX_THREADS=1 part 1 compares the processor time of one thread, which other work on the
machine disturbs less than the wall time.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import rvx
import rvx.dask

# Wall time, or with RVX_THREADS=1 the processor time of the one thread (steadier on a machine
# shared with other work).
TIME = "cpu" if os.environ.get("RVX_THREADS") == "1" else "real"
SAMPLE = str(Path(__file__).resolve().parent.parent / "samples" / "nsrdb_long_00-06min.rr")


def core_ms(build):
    run = subprocess.run([os.path.join(build, "bench", "rvx_bench"),
                          "--benchmark_filter=^BM_WholeAnalysis/", "--benchmark_format=json",
                          "--benchmark_min_time=1"], capture_output=True, check=True)
    (b,) = json.loads(run.stdout)["benchmarks"]
    return b[TIME + "_time"] * {"ms": 1.0, "us": 1e-3, "ns": 1e-6}[b["time_unit"]]


def module_ms(ms, seconds=1.0):
    rvx.analyse(ms)
    clock = time.process_time if TIME == "cpu" else time.perf_counter
    n, start, wall = 0, clock(), time.perf_counter()
    while time.perf_counter() - wall < seconds:
        rvx.analyse(ms)
        n += 1
    return (clock() - start) / n * 1000


def make_files(folder, count):
    ms = rvx.read(SAMPLE)
    paths = []
    for i in range(count):
        if i % 4 == 0:
            path = os.path.join(folder, f"{i:05d}.rr")
            shutil.copyfile(SAMPLE, path)
        else:
            path = os.path.join(folder, f"{i:05d}.txt")
            v = np.roll(ms, i) * (1 + (i % 9 - 4) / 100)
            Path(path).write_text("\n".join(f"{x:.1f}" for x in v))
        paths.append(path)
    return paths


def main():
    p = argparse.ArgumentParser()
    p.add_argument("build")
    p.add_argument("--files", type=int, default=1000)
    p.add_argument("--rounds", type=int, default=7)
    a = p.parse_args()
    print(f"load before: {os.getloadavg()}")

    ms = rvx.read(SAMPLE)
    core, module = [], []
    for _ in range(a.rounds):
        core.append(core_ms(a.build))
        module.append(module_ms(ms))
    c, m = statistics.median(core), statistics.median(module)
    print(f"five-minute fragment ({len(ms)} intervals, {TIME} time): core {c:.3f} ms, rvx.analyse {m:.3f} ms, "
          f"difference {m - c:+.3f} ms (medians of {a.rounds}; core {min(core):.3f}.."
          f"{max(core):.3f}, module {min(module):.3f}..{max(module):.3f})")

    if a.files == 0:
        return 0
    from dask.distributed import Client, LocalCluster
    cli = os.path.join(a.build, "bin", "rvx-cli")
    # rvx-cli runs one file per core; RVX_THREADS (for the first part) would hold it to fewer.
    cli_env = {k: v for k, v in os.environ.items() if k != "RVX_THREADS"}
    with tempfile.TemporaryDirectory() as folder:
        paths = make_files(folder, a.files)
        start = time.perf_counter()
        cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
        started = time.perf_counter() - start
        rvx.dask.analyse_files(client, paths[:8])  # the workers import rvx
        cli_times, dask_times = [], []
        for _ in range(3):
            start = time.perf_counter()
            out = subprocess.run([cli, "analyze", *paths], capture_output=True, check=True,
                                 env=cli_env)
            cli_times.append(time.perf_counter() - start)
            start = time.perf_counter()
            results = rvx.dask.analyse_files(client, paths)
            dask_times.append(time.perf_counter() - start)
        lines = [rvx.dask.json_line(r) + "\n" for r in results]
        same = "".join(lines).encode() == out.stdout
        client.close()
        cluster.close()
    c, d = min(cli_times), min(dask_times)
    print(f"{a.files} files: rvx-cli analyze {c:.2f} s, dask (2 workers) {d:.2f} s, "
          f"ratio {d / c:.2f} (best of 3; cluster start {started:.1f} s apart); "
          f"lines identical: {same}")
    print(f"load after: {os.getloadavg()}")
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
