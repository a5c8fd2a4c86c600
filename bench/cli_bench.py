#!/usr/bin/env python3
"""Speed and peak memory of rvx-cli analyze, each run in a fresh process.

  python3 bench/cli_bench.py BUILD/bin/rvx-cli [--files 1000] [--runs 30] [--batch-runs 3]

Measures (wall time as medians, CPU time as user + system of the process, peak memory as its
largest resident set):
  - start-up: `rvx-cli --help`, and `analyze` of a missing file (everything but the analysis);
  - one five-minute RR file in a fresh process;
  - `analyze` over --files five-minute RR files in one call, on every core and on one core
    (taskset), checking that every file gave its line in argument order.
The files are copies of samples/nsrdb_long_00-06min.rr and of the RR recordings in the shared
data folder (../shared/data beside the project, or $HRV_SHARED_DATA) that are long enough for the
analysis, made in a scratch folder. Peak memory needs GNU time (/usr/bin/time).
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

PROJECT = Path(__file__).resolve().parent.parent


GNU_TIME = shutil.which("time", path="/usr/bin:/bin")


def run_once(argv, rss=False):
    """Runs argv; returns (wall seconds, cpu seconds, peak RSS in MB, stdout bytes, status).

    With rss, the peak resident set comes from GNU time (Debian package "time") when it is there:
    the process's own figure from wait4 would count this Python process too, since Linux keeps the
    largest resident set across the exec of a child made with vfork. Without it, "n/a". Times are
    taken without GNU time: starting it and then the program costs as much again as a small run."""
    out = tempfile.TemporaryFile()
    report = tempfile.NamedTemporaryFile("r", suffix=".rss")
    wrap = rss and GNU_TIME
    wrapped = [GNU_TIME, "-q", "-f", "%M", "-o", report.name, *argv] if wrap else argv
    start = time.perf_counter()
    proc = subprocess.Popen(wrapped, stdout=out, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    wall = time.perf_counter() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    peak = None
    if wrap:
        text = report.read().strip().splitlines()
        peak = int(text[-1]) / 1024.0 if text else None
    report.close()
    out.seek(0)
    data = out.read()
    out.close()
    return wall, usage.ru_utime + usage.ru_stime, peak, data, proc.returncode


def measure(name, argv, runs, check=None):
    walls, cpus = [], []
    for _ in range(runs):
        wall, cpu, _, data, status = run_once(argv)
        if check is not None:
            check(data, status)
        walls.append(wall)
        cpus.append(cpu)
    rss = run_once(argv, rss=True)[2]
    peak = f"{rss:6.1f} MB" if rss is not None else "n/a"
    print(f"{name:44s} wall median {statistics.median(walls) * 1000:9.1f} ms"
          f" (min {min(walls) * 1000:.1f})  cpu median {statistics.median(cpus) * 1000:9.1f} ms"
          f"  peak RSS {peak}  [{runs} runs]")
    return statistics.median(walls)


def sources(cli):
    """The recordings to copy: the sample and the shared RR files that rvx-cli analyses."""
    shared = Path(os.environ.get("HRV_SHARED_DATA", PROJECT.parent / "shared" / "data"))
    files = [PROJECT / "samples" / "nsrdb_long_00-06min.rr"]
    if shared.is_dir():
        files += sorted(shared.glob("*.rr"))
    result = subprocess.run([cli, "analyze", *map(str, files)], capture_output=True, check=False)
    lines = result.stdout.splitlines()
    return [f for f, line in zip(files, lines) if b'"ok": true' in line]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli", help="the rvx-cli program (a Release build)")
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=30, help="runs of the one-file measurements")
    parser.add_argument("--batch-runs", type=int, default=3, help="runs of the many-file call")
    args = parser.parse_args()
    cli = str(Path(args.cli).resolve())

    print(f"processor: {cpu_model()}, {os.cpu_count()} hardware threads")
    scratch = Path(tempfile.mkdtemp(prefix="rvx_cli_bench_"))
    try:
        originals = sources(cli)
        files = []
        for i in range(args.files):
            target = scratch / f"r{i:05d}.rr"
            shutil.copyfile(originals[i % len(originals)], target)
            files.append(str(target))
        print(f"{args.files} files from {len(originals)} recordings in {scratch}")

        def one_line_ok(data, status):
            if status != 0 or data.count(b"\n") != 1 or b'"ok": true' not in data:
                sys.exit(f"rvx-cli failed (status {status}): {data[:200]!r}")

        def all_lines_ok(data, status):
            lines = data.splitlines()
            if status != 0 or len(lines) != len(files):
                sys.exit(f"rvx-cli failed (status {status}, {len(lines)} lines)")
            for line, path in zip(lines, files):
                if not line.startswith(b'{"file": "' + path.encode() + b'"'):
                    sys.exit(f"line out of order: {line[:80]!r} for {path}")

        measure("rvx-cli --help (process start)", [cli, "--help"], args.runs)
        measure("analyze of a missing file (no analysis)",
                [cli, "analyze", str(scratch / "missing.rr")], args.runs)
        measure("analyze of one file", [cli, "analyze", files[0]], args.runs, one_line_ok)
        many = measure(f"analyze of {args.files} files, every core", [cli, "analyze", *files],
                       args.batch_runs, all_lines_ok)
        print(f"{'':44s} = {many / args.files * 1000:.2f} ms per file")
        if shutil.which("taskset"):
            one = measure(f"analyze of {args.files} files, one core",
                          ["taskset", "-c", "0", cli, "analyze", *files], args.batch_runs,
                          all_lines_ok)
            print(f"{'':44s} = {one / args.files * 1000:.2f} ms per file,"
                  f" every core {one / many:.2f} times as fast")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


def cpu_model():
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


if __name__ == "__main__":
    main()
