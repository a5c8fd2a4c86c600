#!/usr/bin/env python3
"""Deterministic synthetic fragments in the RR and PPG file formats.

    python3 synth.py DIR          # writes the set into DIR, prints the paths

or, from Python, synth.generate(DIR) -> list of paths.

RR file: two header bytes, then one little-endian word per interval,
ticks * 256 + aux (ticks of 10 ms, 0..255).
PPG file: one frame per 10 ms tick, samples sync 231, channel A, channel B
in the even bytes; odd bytes are not samples.
"""

import math
import os
import random
import sys

SEED = 20240601


# --- writers -------------------------------------------------------------------

def rr_bytes(ticks, aux=None, header=b"\x00\x00", trailer=b""):
    out = bytearray(header)
    for k, t in enumerate(ticks):
        a = 0 if aux is None else aux[k]
        if not (0 <= t <= 255 and 0 <= a <= 255):
            raise ValueError("interval or aux byte out of range")
        word = t * 256 + a
        out.append(word & 0xFF)
        out.append(word >> 8)
    out += trailer
    return bytes(out)


def ppg_bytes(samples, odd=None):
    """Samples into the even offsets; odd bytes 0 or taken from `odd`."""
    out = bytearray(2 * len(samples))
    out[0::2] = bytes(samples)
    if odd is not None:
        out[1::2] = bytes(odd[:len(samples)])
    return bytes(out)


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


# --- RR rhythms ------------------------------------------------------------------

def rhythm_until(seconds, next_interval):
    """Intervals from next_interval(time_s, k) until they cover `seconds`."""
    ticks = []
    t = 0
    while t < seconds * 100:
        v = next_interval(t / 100.0, len(ticks))
        ticks.append(v)
        t += v
    return ticks


def clamp(v, lo, hi):
    return lo if v < lo else hi if v > hi else v


def sine_rhythm(rng, base, amp, freq, seconds=340, noise=0.0):
    def nxt(ts, k):
        v = base + amp * math.sin(2 * math.pi * freq * ts) + rng.gauss(0, noise)
        return clamp(int(round(v)), 1, 255)
    return rhythm_until(seconds, nxt)


def random_walk(rng, start=85, lo=50, hi=130, seconds=340):
    state = {"v": start}

    def nxt(ts, k):
        state["v"] = clamp(state["v"] + rng.choice((-2, -1, -1, 0, 0, 0, 1, 1, 2)),
                           lo, hi)
        return state["v"]
    return rhythm_until(seconds, nxt)


def premature_beats(rng, base=90, seconds=340):
    state = {"next_pvc": rng.randint(15, 35), "pending": None}

    def nxt(ts, k):
        if state["pending"] is not None:
            v = state["pending"]
            state["pending"] = None
            return v
        if k == state["next_pvc"]:
            state["next_pvc"] = k + rng.randint(15, 40)
            short = rng.randint(50, 60)
            state["pending"] = 2 * base - short + rng.randint(-3, 3)
            return short
        return clamp(base + rng.randint(-3, 3), 1, 255)
    return rhythm_until(seconds, nxt)


def exact_total(rng, first, total):
    """First interval, then intervals adding up to exactly `total` ticks."""
    ticks = [first]
    s = 0
    while total - s > 130:
        v = rng.randint(70, 110)
        ticks.append(v)
        s += v
    rest = total - s
    if rest > 110:                         # split the remainder in two
        ticks.append(rest - 60)
        ticks.append(60)
    else:
        ticks.append(rest)
    assert sum(ticks[1:]) == total
    return ticks


# --- PPG pulse wave ----------------------------------------------------------------

def pulse_shape(i, period, amp, base):
    """Channel A value at frame i of a beat: steep upstroke, slow fall,
    small dicrotic bump."""
    up = 12
    if i < up:
        x = (1 - math.cos(math.pi * i / up)) / 2
        return base + amp * x
    s = (i - up) / max(period - up, 1)
    v = amp * math.exp(-3.2 * s)
    v += 0.12 * amp * math.exp(-((s - 0.35) / 0.07) ** 2)
    return base + v


def pulse_wave(rng, periods, amp=150.0, base=40.0, noise=1.0):
    """Channel A and channel B (an ECG-like spike before each upstroke)."""
    chan_a = []
    chan_b = []
    for period in periods:
        a = amp * (1 + rng.uniform(-0.08, 0.08))
        for i in range(period):
            v = pulse_shape(i, period, a, base) + rng.gauss(0, noise)
            chan_a.append(clamp(int(round(v)), 0, 230))
            # ECG-ish channel B: R spike 3 frames before the pulse onset.
            j = (i + 3) % period
            b = 100 + (120 if j == 0 else 40 if j in (1, period - 1) else 0)
            chan_b.append(clamp(b + rng.randint(-2, 2), 0, 230))
    return chan_a, chan_b


def varying_periods(rng, count, lo, hi, cycle=40):
    mid = (lo + hi) / 2
    half = (hi - lo) / 2 - 3
    out = []
    for k in range(count):
        v = mid + half * math.sin(2 * math.pi * k / cycle) + rng.randint(-3, 3)
        out.append(clamp(int(round(v)), lo, hi))
    return out


def frames_to_samples(chan_a, chan_b):
    samples = []
    for a, b in zip(chan_a, chan_b):
        samples.extend((231, a, b))
    samples.append(231)                    # sync after the last frame
    return samples


def periods_for_seconds(rng, seconds, lo, hi, cycle=40):
    periods = []
    while sum(periods) < seconds * 100:
        periods.extend(varying_periods(rng, 50, lo, hi, cycle))
    total = 0
    for k, p in enumerate(periods):
        total += p
        if total >= seconds * 100:
            return periods[:k + 1]
    return periods


# --- the set -------------------------------------------------------------------------

def generate(directory, seed=SEED):
    """Write the synthetic set into `directory`; return the file paths."""
    os.makedirs(directory, exist_ok=True)
    rng = random.Random(seed)
    paths = []

    def put(name, data):
        paths.append(write(os.path.join(directory, name), data))

    # Modulated rhythms.
    put("syn_sine_0p10Hz.rr", rr_bytes(sine_rhythm(rng, 80, 7, 0.10)))
    ticks = sine_rhythm(rng, 70, 5, 0.25, noise=0.6)
    put("syn_sine_0p25Hz_aux.rr",
        rr_bytes(ticks, aux=[rng.randint(0, 255) for _ in ticks]))
    put("syn_random_walk.rr", rr_bytes(random_walk(rng)))
    put("syn_premature.rr", rr_bytes(premature_beats(rng)))

    # A 0-tick interval inside the fragment.
    ticks = sine_rhythm(rng, 90, 4, 0.05, noise=1.0)
    ticks[40] = 0
    ticks[200] = 0
    put("syn_zero_interval.rr", rr_bytes(ticks))

    # Exactly 30000 ticks after the first interval, and one tick short.
    ticks = exact_total(rng, 100, 30000)
    put("syn_exact_30000.rr", rr_bytes(ticks))
    ticks = list(ticks)
    ticks[-1] -= 1
    put("syn_total_29999.rr", rr_bytes(ticks))

    # Equal intervals: flat rhythmogram, zero spectrum.
    put("syn_flat_301x100.rr", rr_bytes([100] * 301))

    # More than 2000 records; 2000 records of 255 ticks (beyond the buffer).
    ticks = [rng.randint(40, 60) for _ in range(2500)]
    put("syn_2500_short.rr",
        rr_bytes(ticks, aux=[(7 * k) & 0xFF for k in range(len(ticks))]))
    put("syn_2000x255.rr", rr_bytes([255] * 2000))

    # More than 40000 words with a non-zero header.
    ticks = [clamp(75 + (k % 11) - 5, 1, 255) for k in range(40005)]
    put("syn_40005_words.rr", rr_bytes(ticks, header=b"\xab\xcd"))

    # Odd size: the final byte is not a record.
    put("syn_odd_size.rr", rr_bytes(random_walk(rng, start=70), trailer=b"\x7f"))

    # Too small to hold anything.
    put("syn_empty.rr", b"")
    put("syn_3bytes.rr", b"\x00\x00\x50")

    # PPG: a clean pulse wave of about 340 s.
    periods = periods_for_seconds(rng, 340, 60, 110)
    a, b = pulse_wave(rng, periods)
    put("syn_pulse_clean.ppg", ppg_bytes(frames_to_samples(a, b)))

    # PPG with junk: leading garbage, stray 231 values, a broken frame,
    # and non-zero odd bytes.
    periods = periods_for_seconds(rng, 345, 65, 105, cycle=25)
    a, b = pulse_wave(rng, periods, amp=120.0, noise=2.0)
    samples = frames_to_samples(a, b)
    junk = [rng.randint(0, 255) for _ in range(17)] + [231, 5, 231]
    samples = junk + samples
    stray = len(junk) + 3 * 5000 + 1           # channel A of a frame
    samples[stray] = 231
    stray = len(junk) + 3 * 12000 + 2          # channel B of a frame
    samples[stray] = 231
    cut = len(junk) + 3 * 20000 + 1            # drop two samples of a frame
    del samples[cut:cut + 2]
    samples[cut + 30:cut + 30] = [231, 231, 0, 231]
    odd = [rng.randint(0, 255) for _ in samples]
    put("syn_pulse_junk.ppg", ppg_bytes(samples, odd=odd))

    # PPG at the size limits: 1079999 bytes (accepted, more than 2000
    # pulses) and 1080000 bytes (rejected).
    periods = periods_for_seconds(rng, 1805, 70, 95, cycle=30)
    a, b = pulse_wave(rng, periods)
    data = ppg_bytes(frames_to_samples(a, b))
    assert len(data) >= 1080000
    put("syn_pulse_1079999.ppg", data[:1079999])
    put("syn_pulse_1080000.ppg", data[:1080000])

    # PPG too small.
    put("syn_tiny.ppg", b"\xe7\x00\x50")
    return paths


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: synth.py DIR")
    for p in generate(sys.argv[1]):
        print(p)
