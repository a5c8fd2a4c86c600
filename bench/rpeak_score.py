#!/usr/bin/python3
"""Scores the R-peak detector on the MIT-BIH records of ../shared/ecg/mitdb with score.py.

  python3 bench/rpeak_score.py BUILD_DIR [--out DIR] [--variants plain,inverted,250,500,em12]

Per record: the lead MLII (V5 where a record has none) from the format 212 file in mV, then each
variant: as recorded; inverted; resampled to 250 and 500 Hz (band-limited, by the FFT; the
reference beats moved to the new rate); electrode-motion-like noise at 12 dB SNR. The noise is
synthetic (this machine has no MIT-BIH Noise Stress Test Database): a random walk low-passed at
2 Hz plus bursts of 1-15 Hz noise with steps, 0.3-3 s long, added as the noise stress test adds
it (from 5 min on, two minutes on and two off), scaled so that the signal power (mean squared
peak-to-peak QRS amplitude over 8) over the noise power in the noisy parts is 12 dB.
--other-lead scores the records' second lead instead (V1 or V5: other morphologies). Detections go
to OUT/<variant>/<record>.txt, each variant is scored by score.py, and the detector's times are
printed.
"""
import argparse
import os
import subprocess
import sys

import numpy as np

HERE = os.path.dirname(os.path.abspath(__file__))
ECG = os.path.normpath(os.path.join(HERE, "..", "..", "shared", "ecg"))


def read_header(path):
    lines = [l.split() for l in open(path, encoding="latin-1") if l.strip() and not l.startswith("#")]
    rate = float(lines[0][2])
    signals = []
    for l in lines[1:]:
        gain = float(l[2].split("(")[0].split("/")[0]) if len(l) > 2 else 200.0
        baseline = int(l[4]) if len(l) > 4 else 0
        signals.append({"file": l[0], "format": l[1], "gain": gain or 200.0, "baseline": baseline,
                        "name": " ".join(l[8:]) if len(l) > 8 else ""})
    return rate, signals


def read_212(path, nsig):
    b = np.fromfile(path, dtype=np.uint8)
    b = b[: len(b) // 3 * 3].reshape(-1, 3).astype(np.int32)
    s0 = b[:, 0] | ((b[:, 1] & 0x0F) << 8)
    s1 = b[:, 2] | ((b[:, 1] & 0xF0) << 4)
    v = np.empty(2 * len(b), np.int32)
    v[0::2], v[1::2] = s0, s1
    v[v >= 2048] -= 4096
    return v[: len(v) // nsig * nsig].reshape(-1, nsig)


def lead(record_dir, rec, other=False):
    rate, sig = read_header(os.path.join(record_dir, rec + ".hea"))
    names = [s["name"] for s in sig]
    k = names.index("MLII") if "MLII" in names else (names.index("V5") if "V5" in names else 0)
    k = (k + 1) % len(sig) if other else k
    x = read_212(os.path.join(record_dir, sig[k]["file"]), len(sig))[:, k]
    return rate, (x - sig[k]["baseline"]) / sig[k]["gain"]


def resample(x, rate, new_rate):
    n = len(x)
    m = int(round(n * new_rate / rate))
    spectrum = np.fft.rfft(x - x.mean())
    out = np.zeros(m // 2 + 1, complex)
    k = min(len(spectrum), len(out))
    out[:k] = spectrum[:k]
    return np.fft.irfft(out, m) * (m / n) + x.mean()


def em_noise(n, rate, rng):
    """Electrode-motion-like noise of unit variance."""
    def lowpass(v, fc):
        f = np.fft.rfftfreq(len(v), 1 / rate)
        return np.fft.irfft(np.fft.rfft(v) / (1 + (f / fc) ** 4), len(v))
    walk = np.cumsum(rng.standard_normal(n))
    walk = lowpass(walk - np.convolve(walk, np.ones(int(rate * 2)) / int(rate * 2), "same"), 2.0)
    walk /= walk.std() or 1
    bursts = np.zeros(n)
    t = 0
    while t < n:
        t += int(rng.exponential(4.0) * rate)
        d = int(rng.uniform(0.3, 3.0) * rate)
        if t + d >= n:
            break
        f = np.fft.rfftfreq(d, 1 / rate)
        b = np.fft.irfft(np.fft.rfft(rng.standard_normal(d)) * ((f > 1) & (f < 15)), d)
        b += np.cumsum(rng.standard_normal(d) * (rng.random(d) < 3 / rate)) * 0.5
        bursts[t:t + d] += 3 * b / (b.std() or 1) * np.hanning(d)
        t += d
    v = walk + bursts
    return v / v.std()


def add_noise(x, rate, beats, snr_db, seed):
    rng = np.random.default_rng(seed)
    w = int(0.05 * rate)
    pp = [np.ptp(x[max(0, b - w): b + w + 1]) for b in beats]
    signal_power = np.mean(np.square(pp)) / 8
    noise = em_noise(len(x), rate, rng)
    t = np.arange(len(x)) / rate
    on = (t >= 300) & (((t - 300) // 120) % 2 == 0)
    noise *= on
    power = np.mean(noise[on] ** 2)
    return x + noise * np.sqrt(signal_power / power / 10 ** (snr_db / 10))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--out", default="/tmp/rpeak_score")
    ap.add_argument("--records", default="")
    ap.add_argument("--variants", default="plain,inverted,250,500,em12",
                    help="plain, inverted, a rate in Hz (resampled), emDB (noise at DB dB SNR)")
    ap.add_argument("--other-lead", action="store_true", help="the record's other lead (V1, V5)")
    a = ap.parse_args()
    mitdb = os.path.join(ECG, "mitdb")
    recs = a.records.split(",") if a.records else sorted(
        f[:-4] for f in os.listdir(mitdb) if f.endswith(".hea"))
    tool = os.path.join(a.build, "bench", "rvx_rpeak_detect")
    for variant in a.variants.split(","):
        det = os.path.join(a.out, variant)
        ref = os.path.join(a.out, variant + "_ref")
        os.makedirs(det, exist_ok=True)
        os.makedirs(ref, exist_ok=True)
        times = []
        for rec in recs:
            rate, x = lead(mitdb, rec, a.other_lead)
            beats = np.loadtxt(os.path.join(mitdb, rec + ".beats.csv"), delimiter=",", skiprows=1,
                               usecols=0, dtype=np.int64)
            codes = np.loadtxt(os.path.join(mitdb, rec + ".beats.csv"), delimiter=",", skiprows=1,
                               usecols=2, dtype=str)
            new_rate = rate
            if variant == "inverted":
                x = -x
            elif variant.isdigit():
                new_rate = float(variant)
                x = resample(x, rate, new_rate)
            elif variant.startswith("em"):
                x = add_noise(x, rate, beats, float(variant[2:]), int(rec))
            scaled = np.round(beats * new_rate / rate).astype(np.int64)
            with open(os.path.join(ref, rec + ".beats.csv"), "w") as f:
                f.write("sample,time_s,code\n")
                for s, c in zip(scaled, codes):
                    f.write("%d,%.6f,%s\n" % (s, s / new_rate, c))
            with open(os.path.join(ref, rec + ".hea"), "w") as f:
                f.write("%s 1 %g %d\n" % (rec, new_rate, len(x)))
            raw = os.path.join(a.out, rec + "_" + variant + ".f32")
            x.astype("<f4").tofile(raw)
            r = subprocess.run([tool, "%g" % new_rate, raw, os.path.join(det, rec + ".txt")],
                               capture_output=True, text=True, check=True)
            times.append(float(r.stdout))
            os.remove(raw)
        print("## %s: detector %s ms per record" % (variant, " ".join("%.1f" % t for t in times)))
        sys.stdout.flush()
        subprocess.run([sys.executable, os.path.join(ECG, "score.py"), det, ref], check=True)


if __name__ == "__main__":
    main()
