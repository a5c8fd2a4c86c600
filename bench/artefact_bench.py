#!/usr/bin/env python3
"""Accuracy of the artefact correction (rvx-cli analyze --correct auto).

  python3 bench/artefact_bench.py BUILD/bin/rvx-cli [--seeds 101 202 303]
                                  [--artefacts DIR] [--data DIR] [--keep DIR]
                                  [--corrector BUILD/bench/rvx_correct [--set NAME=VALUE]...]

For each seed the artefact case set (85 real series with known missed, extra, premature and
misplaced beats, runs of noise, bigeminy and half-rate detection) is drawn with the shared
folder's generate.py into a scratch folder; every case goes through
`rvx-cli analyze --correct auto`; its "corrected_intervals" are written as a list in ms and its
"artefacts" as NAME.flags.json, and the shared score.py scores them against the truth with
rvx-cli's own indices. Printed per seed: the group table (median / worst relative error of SDNN,
RMSSD and HF, detection recall and precision, false flags per 1000 clean intervals) and a line
with the targets; then the two PPG records against their ECG references:
  - bidmc01_110-470s.ppg through `analyze`, with and without the correction, against the ECG
    reference as it is (it keeps five real premature beats) and against the same reference
    corrected (normal-to-normal intervals on both sides);
  - nk_resting5min.ppg, whose pulses add up to less than 300 s (analyze rejects it): its pulses
    (rvx-cli convert) and the ECG reference are corrected on the series followed by its mirror
    image (so that it is long enough) and compared by SDNN and RMSSD over the whole series.
With --corrector the cases are corrected instead by the bench program rvx_correct, which runs the
same correction with the constants of correction::Tuning changed by each --set (e.g.
--set penaltyMove=12); without --set it gives what rvx-cli gives. The PPG records still go
through rvx-cli with the program's constants.
The shared folder is ../shared/artefacts and ../shared/data beside the project unless given.
Needs Python 3 with numpy (Debian: python3-numpy). Nothing here is a test: it prints figures.
"""

import argparse
import csv
import json
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
from pathlib import Path

PROJECT = Path(__file__).resolve().parent.parent
DEFAULT_SEEDS = [101, 202, 303]
THREE_PERCENT = ["mix-3", "missed-3", "extra-3", "ectopic-3", "misplaced-3"]
GROUPS = ["clean", "mix-1", "mix-3", "mix-5", "missed-3", "extra-3", "ectopic-3", "misplaced-3",
          "run-burst", "run-bigeminy", "run-dropout"]
# Targets: (median, worst) over the mix-3 cases of a seed, and the rest.
TARGET = {"RMSSD": (4.0, 12.0), "SDNN": (1.5, 6.0), "HF": (8.0, 40.0)}
TARGET_RUN_RMSSD = 10.0
TARGET_CLEAN_WORST = 2.0
TARGET_FALSE_PER_1000 = 1.0
TARGET_DETECTION = 95.0


def analyse(rvx, paths, correct, kind=None):
    """JSON objects of `rvx-cli analyze` for the files, in order."""
    argv = [str(rvx), "analyze", "--correct", correct]
    if kind:
        argv += ["--type", kind]
    out = subprocess.run(argv + [str(p) for p in paths], capture_output=True, text=True)
    lines = [json.loads(line) for line in out.stdout.splitlines()]
    if len(lines) != len(paths):
        sys.exit("rvx-cli gave %d lines for %d files: %s" % (len(lines), len(paths), out.stderr))
    return lines


def correct_cases(rvx, bench, out_dir, corrector=None, settings=()):
    cases = sorted((Path(bench) / "cases").glob("*.rr"))
    if corrector:
        argv = [str(corrector)]
        for setting in settings:
            argv += ["--set", setting]
        subprocess.run(argv + ["--out", str(out_dir)] + [str(p) for p in cases], check=True)
        return
    for path, d in zip(cases, analyse(rvx, cases, "auto", "rr")):
        if not d.get("ok"):
            continue  # score.py counts a missing result as a failure
        name = path.stem
        with open(out_dir / (name + ".txt"), "w") as f:
            f.write("\n".join(str(10 * v) for v in d["corrected_intervals"]) + "\n")
        with open(out_dir / (name + ".flags.json"), "w") as f:
            json.dump({"flagged": [a["index"] for a in d["artefacts"]]}, f)


def score(rvx, artefacts, bench, out_dir):
    table = out_dir / "cases.csv"
    subprocess.run([sys.executable, str(Path(artefacts) / "score.py"), str(out_dir), "--bench",
                    str(bench), "--rvx-cli", str(rvx), "--csv", str(table)],
                   check=True, stdout=subprocess.DEVNULL)
    rows = list(csv.DictReader(open(table)))
    for r in rows:
        for k in ("SDNN", "RMSSD", "HF", "LF"):
            r[k] = float(r[k])
        for k in ("events", "found", "flags", "tp_flags", "n_input"):
            r[k] = int(r[k]) if r.get(k) not in (None, "") else 0
    return rows


def summary(rows):
    """Per group (and the 3 % cases together): median and worst errors, detection."""
    out = {}
    for g in GROUPS + ["3% all"]:
        sel = [r for r in rows if (r["group"] in THREE_PERCENT if g == "3% all" else r["group"] == g)]
        if not sel:
            continue
        s = {"cases": len(sel)}
        for k in ("SDNN", "RMSSD", "HF"):
            v = [r[k] for r in sel]
            s[k] = (statistics.median(v), max(v))
        events = sum(r["events"] for r in sel)
        flags = sum(r["flags"] for r in sel)
        s["recall"] = 100.0 * sum(r["found"] for r in sel) / events if events else None
        s["precision"] = 100.0 * sum(r["tp_flags"] for r in sel) / flags if flags else None
        s["false"] = 1000.0 * sum(r["flags"] - r["tp_flags"] for r in sel) / sum(r["n_input"] for r in sel)
        out[g] = s
    art = [r for r in rows if r["group"] != "clean"]
    events = sum(r["events"] for r in art)
    flags = sum(r["flags"] for r in art)
    out["detection"] = (100.0 * sum(r["found"] for r in art) / events,
                        100.0 * sum(r["tp_flags"] for r in art) / flags if flags else 100.0)
    return out


def fmt(x, nd=1):
    if x is None:
        return "     -"
    if math.isinf(x):
        return "   inf"
    return "%6.*f" % (nd, x)


def print_seed(seed, s):
    print("\nseed %d: median / worst relative error (%%) per group; detection" % seed)
    print("%-13s %5s %15s %15s %15s %7s %7s %9s" % ("group", "cases", "SDNN", "RMSSD", "HF", "recall",
                                                   "precis.", "false/1k"))
    for g in GROUPS + ["3% all"]:
        if g not in s:
            continue
        x = s[g]
        print("%-13s %5d %s /%s %s /%s %s /%s %s %s %s" % (
            g, x["cases"], fmt(x["SDNN"][0], 2), fmt(x["SDNN"][1]), fmt(x["RMSSD"][0]), fmt(x["RMSSD"][1]),
            fmt(x["HF"][0]), fmt(x["HF"][1]), fmt(x["recall"]), fmt(x["precision"]), fmt(x["false"], 2)))
    m = s["mix-3"]
    checks = []
    for k, (tm, tw) in TARGET.items():
        checks.append("%s %.1f/%.1f (<= %g/%g) %s" % (k, m[k][0], m[k][1], tm, tw,
                                                      "ok" if m[k][0] <= tm and m[k][1] <= tw else "MISSED"))
    runs = [s[g]["RMSSD"][0] for g in ("run-burst", "run-bigeminy", "run-dropout")]
    clean = s["clean"]
    rec, prec = s["detection"]
    checks.append("runs RMSSD median %s (<= %g) %s" % ("/".join("%.1f" % v for v in runs), TARGET_RUN_RMSSD,
                                                        "ok" if max(runs) <= TARGET_RUN_RMSSD else "MISSED"))
    checks.append("clean RMSSD %.2f/%.2f (0/<= %g), false flags %.2f/1000 (<= %g) %s" % (
        clean["RMSSD"][0], clean["RMSSD"][1], TARGET_CLEAN_WORST, clean["false"], TARGET_FALSE_PER_1000,
        "ok" if clean["RMSSD"][0] == 0 and clean["RMSSD"][1] <= TARGET_CLEAN_WORST
        and clean["false"] <= TARGET_FALSE_PER_1000 else "MISSED"))
    checks.append("detection recall %.1f precision %.1f (>= %g) %s" % (
        rec, prec, TARGET_DETECTION, "ok" if min(rec, prec) >= TARGET_DETECTION else "MISSED"))
    print("targets, seed %d, mix-3: " % seed + "; ".join(checks))


def time_domain(ticks):
    """SDNN and RMSSD (ms) over the whole series."""
    ms = [10.0 * t for t in ticks]
    n = len(ms)
    mean = sum(ms) / n
    sdnn = math.sqrt(sum((x - mean) ** 2 for x in ms) / n)
    rmssd = math.sqrt(sum((ms[i] - ms[i - 1]) ** 2 for i in range(1, n)) / (n - 1))
    return sdnn, rmssd


def read_rr(path):
    b = Path(path).read_bytes()
    return [b[i + 1] for i in range(2, len(b) - 1, 2)]


def write_rr(path, ticks):
    Path(path).write_bytes(b"\x00\x00" + b"".join(bytes([0, t]) for t in ticks))


def corrected_whole(rvx, ticks, scratch):
    """The series corrected as the first part of itself followed by its mirror image (long
    enough for the analysis, with no jump where the two meet), cut back to its own duration."""
    path = Path(scratch) / "mirrored.rr"
    write_rr(path, list(ticks) + list(reversed(ticks)))
    d = analyse(rvx, [path], "auto", "rr")[0]
    total = sum(ticks)
    out, s = [], 0
    for v in d["corrected_intervals"]:
        if s >= total:
            break
        out.append(v)
        s += v
    flags = [a for a in d["artefacts"] if a["index"] < len(ticks)]
    return out, flags


def rel(x, ref):
    return 100.0 * (x - ref) / ref


def ppg_figures(rvx, data, scratch):
    data = Path(data)
    print("\nPPG records against their ECG references (SDNN, RMSSD in ms; difference in %)")
    ecg = data / "bidmc01_110-470s_ref_ecg.rr"
    ppg = data / "bidmc01_110-470s.ppg"
    e_raw, e_cor = analyse(rvx, [ecg], "none")[0], analyse(rvx, [ecg], "auto")[0]
    p_raw, p_cor = analyse(rvx, [ppg], "none")[0], analyse(rvx, [ppg], "auto")[0]
    print("bidmc01: ECG reference        SDNN %6.2f RMSSD %6.2f (five real premature beats kept)" %
          (e_raw["SDNN"], e_raw["RMSSD"]))
    print("bidmc01: ECG reference, corr. SDNN %6.2f RMSSD %6.2f (%d flags: normal-to-normal)" %
          (e_cor["SDNN"], e_cor["RMSSD"], len(e_cor["artefacts"])))
    for label, p in (("PPG uncorrected", p_raw), ("PPG corrected  ", p_cor)):
        print("bidmc01: %s      SDNN %6.2f RMSSD %6.2f   vs ECG: %+6.1f %+6.1f   vs ECG corr.: %+6.1f %+6.1f%s" % (
            label, p["SDNN"], p["RMSSD"], rel(p["SDNN"], e_raw["SDNN"]), rel(p["RMSSD"], e_raw["RMSSD"]),
            rel(p["SDNN"], e_cor["SDNN"]), rel(p["RMSSD"], e_cor["RMSSD"]),
            "   (%d flags)" % len(p["artefacts"]) if "artefacts" in p else ""))
    # nk_resting5min: too short for analyze; its pulses via convert, in a scratch copy.
    copy = Path(scratch) / "nk_resting5min.ppg"
    shutil.copyfile(data / "nk_resting5min.ppg", copy)
    subprocess.run([str(rvx), "convert", str(copy)], check=True, stdout=subprocess.DEVNULL)
    pulses = read_rr(copy.with_suffix(".rr"))
    ecg_nk = read_rr(data / "nk_resting5min_ref_ecg.rr")
    e_c, e_flags = corrected_whole(rvx, ecg_nk, scratch)
    p_c, p_flags = corrected_whole(rvx, pulses, scratch)
    er, ec, pr, pc = time_domain(ecg_nk), time_domain(e_c), time_domain(pulses), time_domain(p_c)
    print("nk_resting5min (whole series, %d pulses, %d ECG beats):" % (len(pulses), len(ecg_nk)))
    print("nk: ECG reference        SDNN %6.2f RMSSD %6.2f (a missed R-peak and noise peaks in it)" % er)
    print("nk: ECG reference, corr. SDNN %6.2f RMSSD %6.2f (%d flags)" % (ec + (len(e_flags),)))
    for label, v, n in (("PPG uncorrected", pr, None), ("PPG corrected  ", pc, len(p_flags))):
        print("nk: %s      SDNN %6.2f RMSSD %6.2f   vs ECG: %+6.1f %+6.1f   vs ECG corr.: %+6.1f %+6.1f%s" % (
            label, v[0], v[1], rel(v[0], er[0]), rel(v[1], er[1]), rel(v[0], ec[0]), rel(v[1], ec[1]),
            "   (%d flags)" % n if n is not None else ""))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("rvx_cli")
    ap.add_argument("--seeds", type=int, nargs="+", default=DEFAULT_SEEDS)
    ap.add_argument("--artefacts", default=str(PROJECT.parent / "shared" / "artefacts"))
    ap.add_argument("--data", default=str(PROJECT.parent / "shared" / "data"))
    ap.add_argument("--keep", help="keep the drawn cases and corrected series in this folder")
    ap.add_argument("--corrector", help="bench/rvx_correct: correct the cases with it instead")
    ap.add_argument("--set", action="append", default=[], metavar="NAME=VALUE",
                    help="a constant of the correction for --corrector (repeatable)")
    a = ap.parse_args()
    if a.set and not a.corrector:
        sys.exit("--set needs --corrector")
    rvx = Path(a.rvx_cli).resolve()
    if len(a.seeds) < 3:
        sys.exit("give at least three seeds")
    scratch = Path(a.keep) if a.keep else Path(tempfile.mkdtemp(prefix="rvx-artefacts-"))
    scratch.mkdir(parents=True, exist_ok=True)
    try:
        totals = []
        for seed in a.seeds:
            bench = scratch / ("seed%d" % seed)
            corrected = scratch / ("corrected%d" % seed)
            corrected.mkdir(parents=True, exist_ok=True)
            subprocess.run([sys.executable, str(Path(a.artefacts) / "generate.py"), "--seed", str(seed),
                            "--out", str(bench)], check=True, stdout=subprocess.DEVNULL)
            correct_cases(rvx, bench, corrected, a.corrector, a.set)
            s = summary(score(rvx, a.artefacts, bench, corrected))
            print_seed(seed, s)
            totals.append(s)
        print("\nover seeds %s, mix-3 (median of the per-seed medians / largest worst): " %
              " ".join(map(str, a.seeds)) + "; ".join(
                  "%s %.1f/%.1f" % (k, statistics.median(t["mix-3"][k][0] for t in totals),
                                    max(t["mix-3"][k][1] for t in totals)) for k in TARGET))
        ppg_figures(rvx, a.data, scratch)
    finally:
        if not a.keep:
            shutil.rmtree(scratch)
    return 0


if __name__ == "__main__":
    sys.exit(main())
