#!/usr/bin/env python3
"""Speed and peak memory of rvx-cli analyze --windows on a 24-hour recording.

  python3 bench/windows_bench.py BUILD/bin/rvx-cli [--runs 5] [--hours 24]

The recording is the real RR recordings of the shared data folder (../shared/data beside the
project, or $HRV_SHARED_DATA) and the bundled sample put end to end until it lasts --hours
(about 116,000 intervals for 24 hours), written as an RR file and as an RR list in a scratch
folder. Each run is a fresh process; wall time as the median (and the slowest) of --runs, peak
memory as the largest resident set GNU time (/usr/bin/time) reports. Every run is checked: one
line per window, "ok": true, windows in order. Targets on two cores: --windows 300 under 1 s,
--windows 30 under 4 s, peak RSS under 60 MB.
"""

import argparse
import os
import shutil
import statistics
import sys
import tempfile
from pathlib import Path

from cli_bench import PROJECT, cpu_model, run_once


def day_of_intervals(hours):
    """Ticks of the recordings one after another until they last `hours`."""
    shared = Path(os.environ.get("HRV_SHARED_DATA", PROJECT.parent / "shared" / "data"))
    sources = sorted(shared.glob("*.rr")) + [PROJECT / "samples" / "nsrdb_long_00-06min.rr"]
    pieces = [list(p.read_bytes()[3::2]) for p in sources]
    ticks, total, i = [], 0, 0
    while total < hours * 360000:
        ticks += pieces[i % len(pieces)]
        total += sum(pieces[i % len(pieces)])
        i += 1
    return ticks


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cli", help="the rvx-cli program (a Release or RelWithDebInfo build)")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--hours", type=float, default=24)
    args = parser.parse_args()
    cli = str(Path(args.cli).resolve())
    print(f"processor: {cpu_model()}, {os.cpu_count()} hardware threads")
    scratch = Path(tempfile.mkdtemp(prefix="rvx_windows_bench_"))
    try:
        ticks = day_of_intervals(args.hours)
        rr = scratch / "day.rr"
        rr.write_bytes(bytes(2) + b"".join(bytes([0, t]) for t in ticks))
        txt = scratch / "day.txt"
        txt.write_text("\n".join(str(t * 10) for t in ticks) + "\n")
        print(f"{len(ticks)} intervals, {sum(ticks) / 360000:.2f} h")
        for path in (rr, txt):
            for step in (300, 30):
                walls, peaks, count = [], [], 0
                for _ in range(args.runs):
                    wall, cpu, peak, data, status = run_once(
                        [cli, "analyze", "--windows", str(step), str(path)])
                    lines = data.splitlines()
                    if status != 0 or not lines:
                        sys.exit(f"rvx-cli failed (status {status})")
                    for w, line in enumerate(lines):
                        if b'"ok": true, "window": %d,' % w not in line:
                            sys.exit(f"window {w} missing or failed: {line[:120]!r}")
                    count = len(lines)
                    walls.append(wall)
                    if peak is not None:
                        peaks.append(peak)
                rss = f"{max(peaks):5.1f} MB" if peaks else "n/a"
                print(f"{path.name:8s} --windows {step:3d}: {count:5d} windows, wall median "
                      f"{statistics.median(walls):6.3f} s (slowest {max(walls):.3f} s), "
                      f"cpu {cpu:6.3f} s, peak RSS {rss}  [{args.runs} runs]")
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main()
