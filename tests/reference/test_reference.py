#!/usr/bin/env python3
"""Checks of the reference analysis on small hand-made cases.

    python3 -m unittest test_reference      (from tests/reference)
"""

import math
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import hrv_reference as ref   # noqa: E402


def series_of(ticks):
    s = [0] * (ref.ANALYSIS_SERIES_CAPACITY + 1)
    for k, t in enumerate(ticks, start=1):
        s[k] = t
    return s


def ticks_of(ticks):
    return [0] + list(ticks)


def square_wave(ups, height, frames):
    """Channel A (1-based) jumping to `height` at each frame of `ups` and
    back to 0 half way to the next jump."""
    a = [0] * (frames + 1)
    for i, u in enumerate(ups):
        nxt = ups[i + 1] if i + 1 < len(ups) else u + 100
        for s in range(u, min(u + (nxt - u) // 2, frames + 1)):
            a[s] = height
    return a


class ResampleTest(unittest.TestCase):
    def test_first_spans(self):
        ticks = [100, 80, 120] + [100] * 300
        fc, buf = ref.resample(series_of(ticks))
        for j in range(80):
            self.assertEqual(buf[j], 100 + j * (-20 / 80))
        self.assertEqual(buf[0], 100.0)
        self.assertEqual(buf[79], 80.25)
        for j in range(120):
            self.assertEqual(buf[80 + j], 80 + j * (40 / 120))
        self.assertEqual(buf[200], 120.0)

    def test_exact_300s(self):
        fc, buf = ref.resample(series_of([100] * 301))
        self.assertEqual(fc, 299)
        self.assertTrue(all(v == 100.0 for v in buf[:30000]))

    def test_29999_rejected(self):
        self.assertIsNone(ref.resample(series_of([100] * 300 + [99])))

    def test_first_interval_does_not_count(self):
        self.assertIsNone(ref.resample(series_of([200] + [100] * 299 + [99])))

    def test_zero_interval(self):
        ticks = [100, 50, 0, 80] + [100] * 300
        fc, buf = ref.resample(series_of(ticks))
        self.assertEqual(buf[49], 100 + 49 * (-50 / 50))
        self.assertEqual(buf[50], 0.0)           # next span starts from 0
        self.assertEqual(buf[51], 1.0)

    def test_long_fragment_does_not_overrun(self):
        fc, buf = ref.resample(series_of([255] * 2000))
        self.assertEqual(len(buf), 300001)
        self.assertEqual(fc, 117)


class StatisticsTest(unittest.TestCase):
    def test_all_equal(self):
        ticks = [80] * 400
        fc, _ = ref.resample(series_of(ticks))
        self.assertEqual(fc, 374)
        st = ref.compute_statistics(ticks_of(ticks), fc)
        self.assertEqual((st["MinClass"], st["MaxClass"], st["ModeClass"]),
                         (80, 80, 80))
        self.assertEqual(st["ModeCount"], 374)
        self.assertEqual((st["HRVind"], st["TINN"], st["AMo"]), (1, 20, 100))
        self.assertEqual((st["SDNN"], st["RMSSD"], st["NN50"], st["pNN50"]),
                         (0.0, 0.0, 0.0, 0.0))
        self.assertEqual(st["HR"], 75)

    def test_hr_ties_to_even(self):
        ticks = [151] * 10 + [150] * 190 + [100, 100] + [100] * 50
        fc, _ = ref.resample(series_of(ticks))
        self.assertEqual(fc, 200)
        st = ref.compute_statistics(ticks_of(ticks), fc)
        self.assertEqual(st["HR"], 40)

    def test_triangular_index(self):
        ticks = [70] * 100 + [71] * 99 + [72] * 100
        st = ref.compute_statistics(ticks_of(ticks), 299)
        self.assertEqual((st["HRVind"], st["TINN"], st["AMo"]), (2, 40, 33))
        self.assertEqual(st["ModeClass"], 70)    # lower class wins the tie

    def test_nn50(self):
        st = ref.compute_statistics(ticks_of([80, 85, 80, 86, 80]), 5)
        self.assertEqual(st["NN50"], 2.0)        # 80/86 and 86/80, not 80/85
        self.assertEqual(st["pNN50"], 2.0 / 5 * 100)


class SpectrumTest(unittest.TestCase):
    def test_band_edges(self):
        for k, band in ((11, "VLF"), (12, "LF"), (44, "LF"), (45, "HF"),
                        (119, "HF"), (120, None)):
            p = [0.0] * 150
            p[k - 1] = 1.0
            ix = ref.band_indices(p)
            for name in ("VLF", "LF", "HF"):
                self.assertEqual(ix[name], ref.DF * 1000 if name == band else 0.0)
            self.assertEqual(ix["Total"], 0.0 if band is None else ref.DF * 1000)
        ix = ref.band_indices([0.0] * 150)
        self.assertEqual((ix["LFnorm"], ix["HFnorm"], ix["LFHF"]), (0.0, 0.0, 0.0))

    def test_flat_and_sine(self):
        power, ix = ref.compute_spectrum([100.0] * 30000)
        self.assertTrue(all(v == 0.0 for v in power))
        buf = [80 + 5 * math.sin(2 * math.pi * 0.1 * j / 100) for j in range(30000)]
        power, ix = ref.compute_spectrum(buf)
        self.assertEqual(max(range(150), key=lambda i: power[i]) + 1, 30)
        self.assertGreater(ix["LF"], ix["HF"] + ix["VLF"])
        self.assertAlmostEqual(ix["LFnorm"] + ix["HFnorm"], 100.0, places=9)


class PpgTest(unittest.TestCase):
    def test_frames(self):
        self.assertEqual(ref.find_frames(bytes([231, 10, 20, 231, 11, 21, 231])),
                         [0, 10, 11])
        # a stray 231 three samples before a sync is taken as a sync
        self.assertEqual(ref.find_frames(bytes([231, 231, 1, 231, 2, 3, 231])),
                         [0, 231, 2])
        # the last frame without a following sync is not taken
        self.assertEqual(ref.find_frames(bytes([231, 10, 20, 231, 11, 21])),
                         [0, 10])

    def test_threshold(self):
        ups = list(range(100, 1000, 100))
        self.assertEqual(ref.detect_pulses(square_wave(ups, 35, 1100)), [])
        self.assertEqual(ref.detect_pulses(square_wave(ups, 36, 1100)),
                         [100] * 8)

    def test_half_change_rejected(self):
        # candidates at 50, 150, 250, 350: 50 (first), 100 after 50 rejected
        got = ref.detect_pulses(square_wave([50, 150, 250, 350], 100, 500))
        self.assertEqual(got, [100, 100])

    def test_interval_limits(self):
        for gap, accepted in ((25, False), (26, True), (249, True), (250, False)):
            ups = [gap * i for i in range(1, 8)]
            got = ref.detect_pulses(square_wave(ups, 100, ups[-1] + 60))
            self.assertEqual(got, [gap] * 6 if accepted else [], gap)

    def test_rejected_candidate_is_reference(self):
        got = ref.detect_pulses(square_wave([100, 200, 220, 320, 420], 100, 520))
        self.assertEqual(got, [100, 100])

    def test_file_sizes(self):
        with tempfile.TemporaryDirectory() as d:
            for size, ok in ((3, False), (4, True), (1079999, True),
                             (1080000, False)):
                path = os.path.join(d, "x%d.ppg" % size)
                with open(path, "wb") as f:
                    f.write(bytes(size))
                got = ref.decode_ppg(path)
                self.assertEqual(got is not None, ok, size)


class RrFileTest(unittest.TestCase):
    def test_counts(self):
        with tempfile.TemporaryDirectory() as d:
            for size, count in ((0, 0), (2, 0), (3, 0), (5, 1), (80010, 40000)):
                path = os.path.join(d, "x%d.rr" % size)
                with open(path, "wb") as f:
                    f.write(bytes([0x50]) * size)
                self.assertEqual(len(ref.read_rr_words(path)), count, size)


if __name__ == "__main__":
    unittest.main()
