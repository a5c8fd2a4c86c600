#!/usr/bin/env python3
"""Reference evaluation of the RVX fragment analysis, in plain Python.

Written independently of the C++ sources, as a cross-check for rvx-cli.
Standard library only; every real is an IEEE double and every sum runs in
increasing index order, so that the results can be compared closely with
the C++ program.

Usage:
    python3 hrv_reference.py [--type rr|ppg] [--spectrum] [--jobs N] FILE...

One JSON object per file and line on stdout (UTF-8, ensure_ascii=False).
"""

import argparse
import json
import math
import os
import sys

# --- capacities and fixed values -------------------------------------------

RR_WORDS_CAPACITY = 40000          # words of an RR file image
RR_DATA_BYTES_MAX = 2 * RR_WORDS_CAPACITY
RR_TICKS_CAPACITY = 2000           # intervals held with their aux byte
ANALYSIS_SERIES_CAPACITY = 12000   # positions scanned by the resampling
RESAMPLE_SLOTS = 300001            # slots 0..300000
REQUIRED_TICKS = 30000             # 300 s of 10 ms ticks

N_SAMPLES = 30000                  # samples taken by the spectrum
DT = 0.01                          # 10 ms sample step
DF = 1 / 300                       # bin spacing, the double nearest 1/300 Hz
N_BINS = 150                       # bins 1..150 up to 0.5 Hz
ANGLE_FACTOR = 6.283               # deliberately not 2*pi
WINDOW_DENOM = 29999               # N - 1

PPG_READ_MAX = 2160000
PPG_SIZE_MIN = 4
PPG_SIZE_LIMIT = 1080000           # accepted sizes are 4 .. 1079999 bytes
PPG_SYNC = 231
PPG_SLOPE_SPAN = 10
PPG_AMPLITUDE_THRESHOLD = 35
PULSE_CAPACITY = 100000

MSG_TOO_LITTLE = "Недостаточно данных для анализа"
MSG_IMPORT = "Ошибка импорта данных"

INT_FIELDS = ("RrCount", "FragmentCount", "HRVind", "TINN", "HR",
              "ModeClass", "ModeCount", "AMo", "MinClass", "MaxClass")
REAL_FIELDS = ("SDNN", "RMSSD", "NN50", "pNN50", "VLF", "LF", "HF", "Total",
               "LFnorm", "HFnorm", "LFHF")
KEY_ORDER = ("file", "type", "ok", "RrCount", "FragmentCount", "SDNN",
             "RMSSD", "NN50", "pNN50", "HRVind", "TINN", "HR", "ModeClass",
             "ModeCount", "AMo", "MinClass", "MaxClass", "VLF", "LF", "HF",
             "Total", "LFnorm", "HFnorm", "LFHF", "intervals")


class AnalysisError(Exception):
    """An expected failure, carrying the user-visible message."""


# --- RR file -----------------------------------------------------------------

def read_rr_words(path):
    """Return the words of an RR file: 2-byte header skipped, at most
    40000 little-endian words, an odd final byte not counted."""
    with open(path, "rb") as f:
        f.read(2)                              # header, ignored
        data = f.read(RR_DATA_BYTES_MAX)
    count = len(data) // 2
    return [data[2 * i] | (data[2 * i + 1] << 8) for i in range(count)]


def load_rr(path):
    """Fragment from an RR file: (RrCount, RrTicks, AnalysisSeries).

    RrTicks and AnalysisSeries are 1-based lists (index 0 unused).  Only the
    first 2000 intervals are held and analysed; RrCount counts every word.
    """
    words = read_rr_words(path)
    rr_count = len(words)
    held = min(rr_count, RR_TICKS_CAPACITY)
    rr_ticks = [0] * (RR_TICKS_CAPACITY + 1)
    series = [0] * (ANALYSIS_SERIES_CAPACITY + 1)
    for k in range(1, held + 1):
        ticks = words[k - 1] >> 8              # high byte: interval in ticks
        rr_ticks[k] = ticks
        series[k] = ticks
    return rr_count, rr_ticks, series


# --- PPG file: decoding and pulse detection -----------------------------------

def read_ppg_samples(path):
    """Sample stream of a PPG file, or None when the file size is rejected.

    Only the bytes at even offsets are samples; an odd final byte is dropped.
    """
    with open(path, "rb") as f:
        data = f.read(PPG_READ_MAX)
    n = len(data)
    if n < PPG_SIZE_MIN or n >= PPG_SIZE_LIMIT:
        return None
    n_samples = n // 2
    return data[0:2 * n_samples:2]


def find_frames(samples):
    """Channel A of every frame (1-based list, index 0 unused).

    A frame is sync, channel A, channel B, and is taken only when the next
    sync stands right after it; otherwise the search moves on one sample.
    """
    n_samples = len(samples)
    chan_a = [0]
    m = 0                                      # 0-based: positions 1 .. N-3
    last = n_samples - 4
    while m <= last:
        if samples[m] == PPG_SYNC and samples[m + 3] == PPG_SYNC:
            chan_a.append(samples[m + 1])      # channel B is not used
            m += 3
        else:
            m += 1
    return chan_a


def detect_pulses(chan_a):
    """Pulse intervals in frames (= ticks) from channel A (1-based list)."""
    frames = len(chan_a) - 1
    reg = [0] * 11                             # slope register, slots 1..10
    rising = False
    peak = False
    last_beat = 0
    last_interval = 0
    pulses = []
    for t in range(1, frames - PPG_SLOPE_SPAN + 1):
        d = chan_a[t + PPG_SLOPE_SPAN] - chan_a[t]
        reg[10] = d
        for i in range(1, 10):
            reg[i] = reg[i + 1]
        # now slot 1 = d(t-8), slot 5 = d(t-4), slots 9 and 10 = d(t)
        if reg[10] < reg[1]:
            peak = rising
            rising = False
        else:
            rising = True
        if peak and reg[5] > PPG_AMPLITUDE_THRESHOLD:
            interval = t - last_beat
            previous = last_interval
            last_beat = t
            last_interval = interval
            if (interval > 25 and interval < 250
                    and 2 * abs(interval - previous) < interval
                    and len(pulses) < PULSE_CAPACITY):
                pulses.append(interval)
        peak = False
    return pulses


def decode_ppg(path):
    """Pulse intervals (ticks) found in a PPG file, or None when rejected."""
    samples = read_ppg_samples(path)
    if samples is None:
        return None
    return detect_pulses(find_frames(samples))


def load_ppg(path):
    """Fragment from a PPG file: (RrCount, RrTicks, AnalysisSeries)."""
    pulses = decode_ppg(path)
    if pulses is None:
        raise AnalysisError(MSG_IMPORT)
    rr_count = len(pulses)
    held = min(rr_count, RR_TICKS_CAPACITY)
    rr_ticks = [0] * (RR_TICKS_CAPACITY + 1)
    series = [0] * (ANALYSIS_SERIES_CAPACITY + 1)
    for k in range(1, held + 1):
        rr_ticks[k] = pulses[k - 1]
        series[k] = pulses[k - 1]
    return rr_count, rr_ticks, series


# --- resampling ----------------------------------------------------------------

def resample(series, start=1):
    """Resample the series to 100 Hz.

    Returns (FragmentCount, buffer) or None when the intervals after the
    start position add up to less than 30000 ticks.  The buffer holds
    slots 0..300000 at most; samples past slot 300000 are dropped.
    """
    total = 0
    m = 0
    for p in range(start + 1, ANALYSIS_SERIES_CAPACITY + 1):
        total += series[p]
        if m == 0 and total >= REQUIRED_TICKS:
            m = p
    if total < REQUIRED_TICKS:
        return None
    fragment_count = m - 1 - start

    buf = [0.0] * RESAMPLE_SLOTS
    c = 0
    for p in range(start + 1, ANALYSIS_SERIES_CAPACITY + 1):
        v = series[p]
        if v == 0:
            continue
        w = series[p - 1]
        d = (v - w) / v
        for j in range(v):
            s = c + j
            if s >= RESAMPLE_SLOTS:
                break
            buf[s] = w + j * d
        c += v
        if c >= RESAMPLE_SLOTS:
            break
    return fragment_count, buf


# --- spectrum --------------------------------------------------------------------

def compute_spectrum(buf):
    """Direct transform of slots 0..29999: (Power of bins 1..150, indices)."""
    cos = math.cos
    sin = math.sin

    x = buf[0:N_SAMPLES]

    # Mean removal.
    acc = 0.0
    for v in x:
        acc += v
    mean = acc / N_SAMPLES
    for j in range(N_SAMPLES):
        x[j] = x[j] - mean

    # Blackman window, denominator N - 1.
    two_pi = 2 * math.pi
    four_pi = 4 * math.pi
    for j in range(N_SAMPLES):
        w = (42 - 50 * cos(j * two_pi / WINDOW_DENOM)) \
            + 8 * cos(j * four_pi / WINDOW_DENOM)
        x[j] = w * x[j] / 100

    # Transform bin by bin; theta = k * 6.283 * df * j * dt, left to right.
    dt = DT
    pairs = list(enumerate(x))
    power = [0.0] * (N_BINS + 1)
    for k in range(1, N_BINS + 1):
        kf = k * ANGLE_FACTOR * DF
        cs = 0.0
        sn = 0.0
        for j, xj in pairs:
            theta = kf * j * dt
            cs += cos(theta) * xj
            sn += sin(theta) * xj
        power[k] = (cs * cs + sn * sn) * (dt * 2) / N_SAMPLES
    return power[1:], band_indices(power[1:])


def band_indices(power):
    """VLF, LF, HF, Total (x 1000) and the ratios from Power of bins 1..150
    (power[0] is bin 1)."""
    power = [0.0] + list(power)

    # Band powers: lower edge inclusive, upper edge exclusive.
    vlf = lf = hf = total = 0.0
    lfnorm = hfnorm = lfhf = 0.0
    for k in range(1, N_BINS + 1):
        f = k * DF
        p = power[k] * DF
        if 0.003 <= f < 0.4:
            total += p
        if 0.003 <= f < 0.04:
            vlf += p
        if 0.04 <= f < 0.15:
            lf += p
        if 0.15 <= f < 0.4:
            hf += p

    # Ratios before scaling.
    if total - vlf != 0:
        lfnorm = lf * 100 / (total - vlf)
        hfnorm = hf * 100 / (total - vlf)
    if hf != 0:
        lfhf = lf / hf

    indices = {
        "VLF": vlf * 1000, "LF": lf * 1000, "HF": hf * 1000,
        "Total": total * 1000,
        "LFnorm": lfnorm, "HFnorm": hfnorm, "LFHF": lfhf,
    }
    return indices


# --- time-domain statistics --------------------------------------------------------

def compute_statistics(rr_ticks, n):
    """Time-domain indices over RrTicks[1..n]."""
    r = rr_ticks
    res = {}

    # Histogram, classes of one tick.
    hist = [0] * 256
    for k in range(1, n + 1):
        hist[r[k]] += 1
    min_class = 250
    max_class = 0
    mode_count = 0
    mode_class = 0
    for c in range(256):
        if hist[c] != 0:
            min_class = c
            break
    for c in range(256):
        if hist[c] > mode_count:
            mode_count = hist[c]
            mode_class = c
    for c in range(255, -1, -1):
        if hist[c] != 0:
            max_class = c
            break
    hrv_ind = n // mode_count
    res["ModeClass"] = mode_class
    res["ModeCount"] = mode_count
    res["MinClass"] = min_class
    res["MaxClass"] = max_class
    res["HRVind"] = hrv_ind
    res["TINN"] = hrv_ind * 20
    res["AMo"] = (mode_count * 100) // n

    # SDNN and heart rate, intervals in ms.
    acc = 0.0
    for k in range(1, n + 1):
        acc += float(r[k] * 10)
    mean = acc / n
    ss = 0.0
    for k in range(1, n + 1):
        dev = float(r[k] * 10) - mean
        ss += dev * dev
    res["SDNN"] = math.sqrt(ss / n)
    res["HR"] = 60000 // round(mean)          # round(): ties to even

    # RMSSD.
    ss = 0.0
    for k in range(1, n):
        diff = float(r[k] * 10) - float(r[k + 1] * 10)
        ss += diff * diff
    res["RMSSD"] = math.sqrt(ss / (n - 1))

    # NN50 and pNN50 (relative to n, not n - 1).
    count = 0
    for k in range(1, n):
        if abs(r[k] * 10 - r[k + 1] * 10) > 50:
            count += 1
    nn50 = float(count)
    res["NN50"] = nn50
    res["pNN50"] = nn50 / n * 100
    return res


# --- one file ----------------------------------------------------------------------

def file_type_for(path, forced=None):
    if forced:
        return forced
    return "ppg" if os.path.splitext(path)[1].lower() == ".ppg" else "rr"


def analyze_file(path, ftype=None, spectrum=False):
    """Analyse one file; return the result object (a dict in output order)."""
    ftype = file_type_for(path, ftype)
    head = {"file": path, "type": ftype}
    try:
        if not os.path.isfile(path):
            raise AnalysisError("Файл " + path + " не найден")
        if ftype == "ppg":
            rr_count, rr_ticks, series = load_ppg(path)
        else:
            rr_count, rr_ticks, series = load_rr(path)
        resampled = resample(series, 1)
        if resampled is None:
            raise AnalysisError(MSG_TOO_LITTLE)
    except AnalysisError as e:
        return dict(head, ok=False, error=str(e))

    fragment_count, buf = resampled
    power, bands = compute_spectrum(buf)
    stats = compute_statistics(rr_ticks, fragment_count)

    values = dict(stats)
    values.update(bands)
    values["RrCount"] = rr_count
    values["FragmentCount"] = fragment_count
    values["intervals"] = rr_ticks[1:min(rr_count, RR_TICKS_CAPACITY) + 1]
    out = dict(head, ok=True)
    for key in KEY_ORDER[3:]:
        out[key] = values[key]
    if spectrum:
        out["Power"] = power
    return out


def _analyze_job(args):
    return analyze_file(*args)


def analyze_files(paths, ftype=None, spectrum=False, jobs=1):
    """Analyse several files, in parallel processes when jobs > 1."""
    tasks = [(p, ftype, spectrum) for p in paths]
    if jobs <= 1 or len(tasks) <= 1:
        return [analyze_file(*t) for t in tasks]
    from concurrent.futures import ProcessPoolExecutor
    with ProcessPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(_analyze_job, tasks))


def to_json(result):
    return json.dumps(result, ensure_ascii=False)


def main(argv=None):
    ap = argparse.ArgumentParser(description="Reference HRV analysis")
    ap.add_argument("--type", choices=("rr", "ppg"), default=None,
                    help="file type (default: by extension, .ppg or rr)")
    ap.add_argument("--spectrum", action="store_true",
                    help="add Power of bins 1..150")
    ap.add_argument("--jobs", type=int, default=1,
                    help="parallel processes (default 1)")
    ap.add_argument("files", nargs="+", metavar="FILE")
    args = ap.parse_args(argv)

    out = open(sys.stdout.fileno(), "w", encoding="utf-8", closefd=False)
    if args.jobs <= 1:
        for path in args.files:
            out.write(to_json(analyze_file(path, args.type, args.spectrum)) + "\n")
            out.flush()
    else:
        for res in analyze_files(args.files, args.type, args.spectrum, args.jobs):
            out.write(to_json(res) + "\n")
        out.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
