#!/usr/bin/env python3
"""Compare rvx-cli with the Python reference analysis.

    python3 compare.py --cli build/cli/rvx-cli [--rtol 1e-9]
                       [--synthetic DIR] [--jobs N] [--emulator WORD]... FILE...

Runs `rvx-cli analyze --spectrum FILE...` once for all files and the
reference (hrv_reference.py) on the same files, then compares per file:
"ok", "type", "error", the integer fields and "intervals" exactly, and every
real (including each Power bin) within the relative tolerance; two values
that both lie within 1e-12 of 0, or differ by at most 1e-12, also match.

Prints one line per mismatch and finally "N passed, M failed" (files).
Exit status 1 when any file failed, 2 when rvx-cli could not be run.
"""

import argparse
import json
import math
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import hrv_reference as ref   # noqa: E402
import synth                  # noqa: E402

ABS_TOL = 1e-12
MAX_LIST_REPORTS = 10          # mismatch lines per list field and file


def run_cli(cli, files, timeout, emulator=()):
    """Run rvx-cli once; return (results by file, results in order, rc, stderr)."""
    proc = subprocess.run(list(emulator) + [cli, "analyze", "--spectrum"] + list(files),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout)
    by_file = {}
    ordered = []
    for line in proc.stdout.decode("utf-8", errors="replace").splitlines():
        line = line.strip()
        if not line.startswith("{"):
            continue
        try:
            obj = json.loads(line)
        except ValueError:
            continue
        ordered.append(obj)
        if isinstance(obj.get("file"), str):
            by_file.setdefault(obj["file"], obj)
    return by_file, ordered, proc.returncode, proc.stderr.decode("utf-8", "replace")


def is_int(v):
    return isinstance(v, int) and not isinstance(v, bool)


def is_num(v):
    return isinstance(v, (int, float)) and not isinstance(v, bool)


def close(a, b, rtol):
    if a == b:
        return True
    if math.isnan(a) and math.isnan(b):
        return True
    if math.isnan(a) or math.isnan(b) or math.isinf(a) or math.isinf(b):
        return False
    diff = abs(a - b)
    if diff <= ABS_TOL:
        return True
    return diff <= rtol * max(abs(a), abs(b))


def rel(a, b):
    m = max(abs(a), abs(b))
    return abs(a - b) / m if m else 0.0


def compare_one(path, got, want, rtol):
    """Mismatch lines for one file (empty when everything matches)."""
    out = []

    def bad(field, cli_value, ref_value, extra=""):
        out.append("%s: %s: cli=%r ref=%r%s" % (path, field, cli_value,
                                               ref_value, extra))

    if got is None:
        out.append("%s: no result from rvx-cli" % path)
        return out

    for key in ("ok", "type"):
        if got.get(key, "<missing>") != want[key]:
            bad(key, got.get(key, "<missing>"), want[key])
    if got.get("ok") is not want["ok"]:
        if not want["ok"]:
            bad("error", got.get("error", "<missing>"), want["error"])
        return out
    if not want["ok"]:
        if got.get("error", "<missing>") != want["error"]:
            bad("error", got.get("error", "<missing>"), want["error"])
        return out

    for key in ref.INT_FIELDS:
        g = got.get(key, "<missing>")
        if not is_int(g) or g != want[key]:
            bad(key, g, want[key])

    for key in ref.REAL_FIELDS:
        g = got.get(key, "<missing>")
        w = want[key]
        if not is_num(g):
            bad(key, g, w)
        elif not close(float(g), w, rtol):
            bad(key, g, w, "  rel.diff=%.3g" % rel(float(g), w))

    g = got.get("intervals", "<missing>")
    w = want["intervals"]
    if not isinstance(g, list):
        bad("intervals", g, "list of %d" % len(w))
    elif g != w:
        if len(g) != len(w):
            bad("intervals.length", len(g), len(w))
        shown = 0
        for i, (a, b) in enumerate(zip(g, w)):
            if a != b or not is_int(a):
                if shown < MAX_LIST_REPORTS:
                    bad("intervals[%d] (position %d)" % (i, i + 1), a, b)
                shown += 1
        if shown > MAX_LIST_REPORTS:
            out.append("%s: intervals: %d more differing positions"
                       % (path, shown - MAX_LIST_REPORTS))

    if "Power" in want:
        g = got.get("Power", "<missing>")
        w = want["Power"]
        if not isinstance(g, list):
            bad("Power", g, "list of %d" % len(w))
        else:
            if len(g) != len(w):
                bad("Power.length", len(g), len(w))
            shown = 0
            for i, (a, b) in enumerate(zip(g, w)):
                if not is_num(a) or not close(float(a), b, rtol):
                    if shown < MAX_LIST_REPORTS:
                        extra = ("  rel.diff=%.3g" % rel(float(a), b)
                                 if is_num(a) else "")
                        bad("Power[bin %d]" % (i + 1), a, b, extra)
                    shown += 1
            if shown > MAX_LIST_REPORTS:
                out.append("%s: Power: %d more differing bins"
                           % (path, shown - MAX_LIST_REPORTS))
    return out


def main(argv=None):
    ap = argparse.ArgumentParser(description="rvx-cli against the reference")
    ap.add_argument("--cli", required=True, help="path to rvx-cli")
    ap.add_argument("--rtol", type=float, default=1e-9)
    ap.add_argument("--synthetic", metavar="DIR",
                    help="generate the synthetic set into DIR and include it")
    ap.add_argument("--jobs", type=int, default=os.cpu_count() or 1,
                    help="parallel reference processes")
    ap.add_argument("--timeout", type=float, default=3600,
                    help="seconds allowed for the rvx-cli run")
    ap.add_argument("--emulator", action="append", default=[], metavar="WORD",
                    help="a word of the command that runs rvx-cli (a cross build's "
                         "wine), in order")
    ap.add_argument("files", nargs="*", metavar="FILE")
    args = ap.parse_args(argv)

    files = list(args.files)
    if args.synthetic:
        files += synth.generate(args.synthetic)
    if not files:
        ap.error("no files to compare")

    try:
        by_file, ordered, rc, err = run_cli(args.cli, files, args.timeout,
                                           args.emulator)
        if args.emulator and rc != 0 and not ordered and not err.strip():
            # Now and then wine fails to start the program at all: nothing on either stream.
            # rvx-cli itself always says something, so that run is tried once more.
            print("rvx-cli under %s printed nothing (exit status %d): run again"
                  % (" ".join(args.emulator), rc))
            by_file, ordered, rc, err = run_cli(args.cli, files, args.timeout,
                                               args.emulator)
    except (OSError, subprocess.SubprocessError) as e:
        print("cannot run %s: %s" % (args.cli, e))
        return 2
    use_order = not by_file and len(ordered) == len(files)
    if err.strip():
        for line in err.strip().splitlines()[:20]:
            print("rvx-cli stderr: " + line)

    wanted = ref.analyze_files(files, None, True, args.jobs)

    passed = failed = 0
    for i, (path, want) in enumerate(zip(files, wanted)):
        got = ordered[i] if use_order else by_file.get(path)
        lines = compare_one(path, got, want, args.rtol)
        if lines:
            failed += 1
            for line in lines:
                print(line)
        else:
            passed += 1
    if not by_file and not ordered:
        print("rvx-cli printed no JSON results (exit status %d)" % rc)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
