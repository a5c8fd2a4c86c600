#!/usr/bin/python3
"""An independent evaluation of the nonlinear indices with numpy, straight from their definitions.

Usage: rvx-cli analyze FILE | bench/nonlinear_reference.py
Reads the JSON line (its "intervals", "FragmentCount", "AMo", "ModeClass", "MinClass",
"MaxClass") and prints SD1, SD2, SD1SD2, SampEn, DFA_alpha1, DFA_alpha2, SI with 17 digits.
"""
import json
import sys

import numpy as np


def nonlinear(x, amo, mode_ms, range_ms):
    x = np.asarray(x, dtype=float)
    n = len(x)
    d = np.diff(x)
    s = x[1:] + x[:-1]
    sd1 = np.std(d, ddof=1) / np.sqrt(2)
    sd2 = np.std(s, ddof=1) / np.sqrt(2)
    r = 0.2 * np.std(x, ddof=1)
    t = n - 2
    b = a = 0
    for i in range(t):
        for j in range(i + 1, t):
            if abs(x[i] - x[j]) <= r and abs(x[i + 1] - x[j + 1]) <= r:
                b += 1
                if abs(x[i + 2] - x[j + 2]) <= r:
                    a += 1
    sampen = np.log(b / a) if a > 0 and b > 0 else None
    y = np.cumsum(x - x.mean())

    def fluct(sz):
        k = n // sz
        pos = np.arange(1, sz + 1, dtype=float)
        total = 0.0
        for box in range(k):
            seg = y[box * sz:(box + 1) * sz]
            coef = np.polyfit(pos, seg, 1)
            total += np.sum((seg - np.polyval(coef, pos)) ** 2)
        return np.sqrt(total / (k * sz))

    def alpha(lo, hi):
        sizes = np.arange(lo, hi + 1)
        f = np.array([fluct(sz) for sz in sizes])
        if np.any(f == 0):
            return None
        return np.polyfit(np.log(sizes), np.log(f), 1)[0]

    a1 = alpha(4, 16) if n >= 64 else None
    a2 = alpha(16, 64) if n >= 256 else None
    si = amo / (2 * (mode_ms / 1000) * (range_ms / 1000)) if range_ms else None
    return [sd1, sd2, sd1 / sd2 if sd2 else None, sampen, a1, a2, si]


def main():
    line = json.loads(sys.stdin.readline())
    n = line["FragmentCount"]
    x = [10 * v for v in line["intervals"][:n]]
    values = nonlinear(x, line["AMo"], 10 * line["ModeClass"],
                       10 * (line["MaxClass"] - line["MinClass"]))
    print(", ".join("null" if v is None else repr(float(v)) for v in values))


if __name__ == "__main__":
    main()
