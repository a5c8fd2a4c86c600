"""The module against rvx-cli analyze: the same fields, names and values, for good and bad files;
its arguments; threads and forked processes."""

import json
import multiprocessing
import os
import pathlib
import signal
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import rvx
from conftest import CLI, cli_dicts, recordings


def plain(result):
    """The dict with the spectrum as the list JSON gives (null for a value that is not finite)."""
    out = dict(result)
    if "Power" in out:
        out["Power"] = [v if np.isfinite(v) else None for v in out["Power"].tolist()]
    return out


@pytest.mark.parametrize("options", [(), ("--correct", "auto"), ("--spectrum",)])
def test_the_dict_is_the_cli_line_for_every_recording(options):
    paths = recordings()
    assert paths, "no recording found"
    correct = "auto" if "auto" in options else "none"
    spectrum = "--spectrum" in options
    for path, line in zip(paths, cli_dicts(paths, *options)):
        result = rvx.analyse_file(path, correct=correct, spectrum=spectrum)
        assert list(result) == list(line), path  # the same keys in the same order
        assert plain(result) == line, path


def test_the_dict_is_the_cli_line_for_bad_files(bad_files):
    for path, line in zip(bad_files, cli_dicts(bad_files)):
        result = rvx.analyse_file(path)
        assert result == line
        assert result["ok"] is False and result["error"]


def test_a_given_type_is_taken_over_the_extension(tmp_path):
    sample = recordings()[0]
    renamed = tmp_path / "fragment.dat"
    renamed.write_bytes(open(sample, "rb").read())
    assert rvx.analyse_file(renamed, type="rr") == cli_dicts([str(renamed)], "--type", "rr")[0]
    assert rvx.analyse_file(str(renamed), type="ppg")["ok"] is False


def test_intervals_read_and_analysed_give_the_files_indices():
    for path in recordings():
        result = rvx.analyse_file(path, correct="auto")
        if not result["ok"]:
            continue
        ms = rvx.read(path)
        assert ms.dtype == np.float64 and len(ms) == result["RrCount"]
        assert (ms[:2000] == np.array(result["intervals"]) * 10).all()
        indices = {k: v for k, v in result.items() if k not in ("file", "type", "ok")}
        assert rvx.analyse(ms, correct="auto") == indices
        assert rvx.analyse(ms.tolist(), "auto") == indices  # a list as well as an array


def test_milliseconds_round_to_ticks_as_an_rr_list_does(tmp_path):
    ms = rvx.read(recordings()[0])[:400].copy()
    ms[:4] = [805, 815, 804.9, 1234.5]  # 80 (tie to even), 82 (tie to even), 80, 123
    result = rvx.analyse(ms)
    assert result["intervals"][:4] == [80, 82, 80, 123]
    listed = tmp_path / "list.txt"
    listed.write_text("\n".join(repr(float(v)) for v in ms))
    line = cli_dicts([str(listed)])[0]
    assert result == {k: v for k, v in line.items() if k not in ("file", "type", "ok")}


@pytest.mark.parametrize("call, error, words", [
    (lambda: rvx.analyse("800 810"), TypeError, "sequence or numpy array"),
    (lambda: rvx.analyse(800), TypeError, "sequence or numpy array"),
    (lambda: rvx.analyse(["800", "810"]), TypeError, "numbers of milliseconds"),
    (lambda: rvx.analyse([[800, 810]]), ValueError, "one-dimensional"),
    (lambda: rvx.analyse([800, 3000]), ValueError, "intervals_ms[1] = 3000"),
    (lambda: rvx.analyse([800, float("nan")]), ValueError, "intervals_ms[1]"),
    (lambda: rvx.analyse([800, 4]), ValueError, "10..2550 ms"),
    (lambda: rvx.analyse([800] * 40001), ValueError, "at most 40000"),
    (lambda: rvx.analyse([800] * 10), ValueError, "Недостаточно данных для анализа"),
    (lambda: rvx.analyse([800] * 400, correct="yes"), ValueError, "'none' or 'auto'"),
    (lambda: rvx.analyse([800] * 400, correct=True), TypeError, "'none' or 'auto'"),
    (lambda: rvx.analyse([800] * 400, spectrum=1), TypeError, "spectrum must be True or False"),
    (lambda: rvx.analyse_file(42), TypeError, "path must be a str"),
    (lambda: rvx.analyse_file(bytearray(b"x.rr")), TypeError, "path must be a str"),
    (lambda: rvx.analyse_file("x.rr", type="xls"), ValueError, "'txt', 'wfdb', 'edf' or None"),
    (lambda: rvx.analyse_file("x.rr", type=1), TypeError, "'txt', 'wfdb', 'edf' or None"),
    (lambda: rvx.read("/nonexistent/x.rr"), ValueError, "/nonexistent/x.rr"),
    (lambda: rvx.analyse([800] * 400, threads=0), ValueError, "threads must be 1 to 64"),
    (lambda: rvx.analyse_file("x.rr", threads="2"), TypeError, "threads must be a whole number"),
])
def test_bad_arguments_raise_with_a_clear_message(call, error, words):
    with pytest.raises(error) as caught:
        call()
    assert words in str(caught.value)


def standard_plain(result):
    """The standard dict with each spectrum's psd as the list JSON gives."""
    out = json.loads(json.dumps(result, default=lambda a: [None if np.isnan(v) else v
                                                             for v in a.tolist()]))
    return out


@pytest.mark.parametrize("options, keywords", [
    ((), {}),
    (("--correct", "auto", "--spectrum", "--nn-threshold", "20", "--detrend", "priors:300",
      "--ar-method", "burg", "--ar-order", "12", "--welch-window", "120", "--welch-overlap", "25",
      "--interp", "2", "--points-per-hz", "100"),
     dict(correct="auto", spectrum=True, nn_threshold=20, detrend="priors:300", ar_method="burg",
          ar_order=12, welch_window=120, welch_overlap=25, interp=2, points_per_hz=100)),
])
def test_the_standard_dict_is_the_cli_object(options, keywords):
    paths = recordings()
    for path, line in zip(paths, cli_dicts(paths, "--method", "standard", *options)):
        result = rvx.analyse_file(path, method="standard", **keywords)
        assert list(result) == list(line), path
        assert standard_plain(result["standard"]) == line["standard"], path
        # The system's fields stay as they are without the method.
        system = {k: v for k, v in keywords.items() if k in ("correct", "spectrum")}
        del result["standard"]
        assert plain(result) == plain(rvx.analyse_file(path, **system)), path


def test_standard_analysis_of_intervals_takes_their_milliseconds(tmp_path):
    ms = rvx.read(recordings()[0])[:300].copy()
    ms[::3] += 2.5  # off the ticks
    listed = tmp_path / "list.txt"
    listed.write_text("\n".join(repr(float(v)) for v in ms))
    line = cli_dicts([str(listed)], "--method", "standard")[0]
    result = rvx.analyse(ms, method="standard")
    assert result["standard"] == line["standard"]
    assert result["standard"]["MeanRR"] == pytest.approx(float(np.mean(ms)), rel=1e-12)
    # Too short for the system: its message beside the standard results, no exception.
    brief = rvx.analyse(ms[:40], method="standard")
    assert brief["error"] == "Недостаточно данных для анализа"
    assert brief["standard"]["SDANN"] is None and brief["standard"]["SDNN"] > 0
    # Too few beats even for it: its own error.
    assert "beat" in rvx.analyse(ms[:2], method="standard")["standard"]["error"]


@pytest.mark.parametrize("keywords, error, words", [
    (dict(method="kubios"), ValueError, "'system' or 'standard'"),
    (dict(method="standard", interp=0), ValueError, "interp: "),
    (dict(method="standard", interp="4"), TypeError, "interp must be a number"),
    (dict(method="standard", detrend="priors:x"), ValueError, "priors:LAMBDA"),
    (dict(method="standard", detrend="priors:0.5"), ValueError, "detrend: "),
    (dict(method="standard", welch_overlap=100), ValueError, "welch_overlap: "),
    (dict(method="standard", ar_order=0), ValueError, "ar_order: "),
    (dict(method="standard", ar_order=2.5), TypeError, "ar_order must be a whole number"),
    (dict(method="standard", ar_method="yw"), ValueError, "'fb' or 'burg'"),
    (dict(method="standard", nn_threshold=0), ValueError, "nn_threshold: "),
])
def test_bad_standard_settings_raise_naming_the_keyword(keywords, error, words):
    for call in (lambda: rvx.analyse([800] * 400, **keywords),
                 lambda: rvx.analyse_file(recordings()[0], **keywords)):
        with pytest.raises(error) as caught:
            call()
        assert words in str(caught.value)


def test_paths_are_taken_as_open_takes_them(tmp_path):
    source = [p for p in recordings() if p.endswith(".rr")][0]
    odd = os.path.join(os.fsencode(tmp_path), b"x\xff.rr")  # a name that is not UTF-8
    with open(source, "rb") as f, open(odd, "wb") as out:
        out.write(f.read())
    expected = {**rvx.analyse_file(source), "file": os.fsdecode(odd)}
    for path in (odd, os.fsdecode(odd), pathlib.Path(os.fsdecode(odd))):
        assert rvx.analyse_file(path) == expected, path
        assert np.array_equal(rvx.read(path), rvx.read(source))
    missing = rvx.analyse_file(odd + b".rr")  # a bad file: ok False, its name readable
    assert not missing["ok"] and "x\\xff.rr.rr" in missing["error"]
    # An embedded NUL cuts nothing off: open() refuses such a path, and so does the module.
    for path in (b"a.rr\0x", tmp_path / "a.rr\0.ppg", source + "\0.ppg"):
        for call in (rvx.analyse_file, rvx.read):
            with pytest.raises(ValueError, match="embedded null byte"):
                call(path)


def test_threads_at_once_give_what_one_thread_gives():
    paths = recordings() * 4
    expected = [rvx.analyse_file(p, correct="auto") for p in paths]
    got = [None] * len(paths)

    def work(k):
        for i in range(k, len(paths), 4):
            got[i] = rvx.analyse_file(paths[i], correct="auto")

    threads = [threading.Thread(target=work, args=(k,)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert [plain(r) for r in got] == [plain(r) for r in expected]


def test_every_thread_count_gives_the_same_fields():
    path = recordings()[0]
    ms = _long_recording()
    expected = rvx.analyse_file(path, correct="auto", spectrum=True, threads=1)
    windows = rvx.analyse_windows(ms, 60, nonlinear=True, threads=1)
    for threads in (2, 5, None):
        assert plain(rvx.analyse_file(path, correct="auto", spectrum=True,
                                      threads=threads)) == plain(expected)
        assert rvx.analyse_windows(ms, 60, nonlinear=True, threads=threads) == windows


def _tasks():
    return len(os.listdir("/proc/self/task"))


@pytest.mark.skipif(not os.path.isdir("/proc/self/task"), reason="counts threads in /proc")
def test_a_dask_worker_keeps_its_threads_after_a_chunk():
    # In a fresh process of two threads: the chunk keeps to the calling thread, and a later call
    # of the same process spreads its bins over a worker again.
    code = f"""
import os, sys
import rvx, rvx.dask
tasks = lambda: len(os.listdir("/proc/self/task"))
before = tasks()
rvx.dask._analyse_chunk([{recordings()[0]!r}], None, "none", False)
alone = tasks()
rvx.analyse_file({recordings()[0]!r})
sys.exit(0 if alone == before and tasks() == before + 1 else 1)
"""
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, timeout=60,
                         env={**os.environ, "RVX_THREADS": "2"}, check=False)
    assert run.returncode == 0, run.stderr.decode()


def test_a_daemon_thread_still_analysing_at_exit_ends_nothing_badly():
    code = f"""
import threading, time
import rvx
ms = rvx.read({recordings()[0]!r})
def work():
    while True:
        rvx.analyse(ms, correct="auto")
        rvx.analyse_windows(list(ms) * 3, 30)
for _ in range(2):
    threading.Thread(target=work, daemon=True).start()
time.sleep(0.3)
"""
    for _ in range(5):
        run = subprocess.run([sys.executable, "-c", code], capture_output=True, timeout=60,
                             check=False)
        assert run.returncode == 0, run.stderr.decode()


def test_ctrl_c_ends_a_long_windows_call_at_once():
    # About 7,000 windows on one thread: a minute of analysis, ended by the interrupt.
    code = f"""
import sys
import numpy as np
import rvx
ms = np.tile(rvx.read({recordings()[0]!r}), 100)
print("started", flush=True)
try:
    rvx.analyse_windows(ms, 5, threads=1)
except KeyboardInterrupt:
    sys.exit(3)
"""
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE)
    try:
        assert child.stdout.readline() == b"started\n"
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        assert child.wait(timeout=10) == 3
    finally:
        child.kill()
        child.wait()


def _analyse_in_child(path):
    return rvx.analyse_file(path)


def test_forked_processes_analyse_after_the_parent_has():
    paths = recordings()
    expected = [rvx.analyse_file(p) for p in paths]  # the parent's worker threads now exist
    with multiprocessing.get_context("fork").Pool(2) as pool:
        got = pool.map_async(_analyse_in_child, paths).get(timeout=120)
    assert got == expected


def _long_recording():
    """The RR recordings one after another, in milliseconds: about an hour."""
    paths = [p for p in recordings() if p.endswith(".rr")]
    return np.concatenate([rvx.read(p) for p in paths])


def test_windows_are_the_cli_lines_after_file_and_type(tmp_path):
    ms = _long_recording()
    listed = tmp_path / "long.txt"
    listed.write_text("\n".join(str(int(v)) for v in ms))
    run = subprocess.run([CLI, "analyze", "--windows", "120", "--nonlinear", str(listed)],
                         capture_output=True, check=True)
    lines = [json.loads(line) for line in run.stdout.decode().splitlines()]
    windows = rvx.analyse_windows(ms, 120, nonlinear=True)
    assert len(windows) == len(lines) > 1
    for window, line in zip(windows, lines):
        assert list(window) == list(line)[2:]  # without "file" and "type", the same order
        assert window == {k: v for k, v in line.items() if k not in ("file", "type")}
    with pytest.raises(ValueError, match="Недостаточно данных"):
        rvx.analyse_windows(ms[:300])
    with pytest.raises(ValueError, match="step_s"):
        rvx.analyse_windows(ms, 0)


def test_standard_windows_are_the_cli_objects(tmp_path):
    ms = _long_recording()[:1500].astype(np.float64)
    ms[::4] += 3.5  # off the ticks: the standard analysis keeps them
    listed = tmp_path / "long.txt"
    listed.write_text("\n".join(repr(float(v)) for v in ms))
    options = ("--windows", "120", "--method", "standard", "--correct", "auto",
               "--ar-order", "12")
    run = subprocess.run([CLI, "analyze", *options, str(listed)], capture_output=True)
    lines = [json.loads(line) for line in run.stdout.decode().splitlines()]
    keywords = dict(correct="auto", method="standard", ar_order=12)
    windows = rvx.analyse_windows(ms, 120, **keywords)
    assert len(windows) == len(lines) > 1
    for window, line in zip(windows, lines):
        assert window["standard"] == line["standard"]
    assert [w["standard"] for w in rvx.iter_windows(ms, 120, chunk=2, **keywords)] == \
        [line["standard"] for line in lines]
    assert "standard" not in rvx.analyse_windows(ms, 120)[0]
    with pytest.raises(ValueError, match="^welch_window: "):
        rvx.analyse_windows(ms, 120, method="standard", welch_window=0)


def test_windows_as_a_data_frame():
    pandas = pytest.importorskip("pandas")
    ms = _long_recording()
    frame = rvx.analyse_windows(ms, 600, as_frame=True)
    assert isinstance(frame, pandas.DataFrame)
    assert frame.to_dict("records") == rvx.analyse_windows(ms, 600)


MITDB = pathlib.Path(os.environ.get("HRV_SHARED_ECG", "")) / "mitdb"


@pytest.mark.skipif(not (MITDB / "100.hea").exists(), reason="no ECG records")
def test_records_give_the_cli_line_their_signals_and_beats():
    hea = str(MITDB / "100.hea")
    for beats, channel in [("detect", None), ("annotations", "V5")]:
        options = ["--beats", beats] + (["--channel", channel] if channel else [])
        line = cli_dicts([hea], *options)[0]
        result = rvx.analyse_file(hea, beats=beats, channel=channel)
        assert list(result) == list(line) and plain(result) == line
    record = rvx.read_record(MITDB / "100.dat")
    assert [c["name"] for c in record["channels"]] == ["MLII", "V5"]
    mlii = record["channels"][0]
    assert mlii["rate"] == 360 and mlii["samples"].shape == (650000,)
    # The annotations where the record has them: the reference beats of 100.beats.csv.
    reference = np.loadtxt(MITDB / "100.beats.csv", delimiter=",", skiprows=1, usecols=0)
    assert record["channel"] == "MLII" and record["beats"]["source"][0] == "annotation"
    assert np.array_equal(record["beats"]["sample"], reference.astype(np.int64))
    detected = rvx.detect_beats(mlii["samples"], mlii["rate"])
    assert detected.dtype == np.int64 and abs(len(detected) - len(reference)) < 10
    with pytest.raises(ValueError, match="V2"):
        rvx.read_record(MITDB / "100.hea", channel="V2")
    # Any file is a recording: a PPG file's wave and pulses.
    data = pathlib.Path(os.environ.get("HRV_SHARED_DATA", ""))
    if (data / "bidmc01_110-470s.ppg").exists():
        wave = rvx.read_record(data / "bidmc01_110-470s.ppg")
        assert wave["channel"] == "PPG" and wave["channels"][0]["rate"] == 100
        assert set(wave["beats"]["source"]) == {"device"} and wave["beats"]["sample"][0] > 0
    with pytest.raises(ValueError):
        rvx.detect_beats(mlii["samples"], 50)



def test_iter_windows_gives_the_list_lazily_a_chunk_at_a_time():
    ms = _long_recording()
    listed = rvx.analyse_windows(ms, 30, "auto", spectrum=True)
    assert len(listed) > 5
    got = list(rvx.iter_windows(ms, 30, "auto", spectrum=True, chunk=4))
    assert len(got) == len(listed)
    for a, b in zip(got, listed):
        assert list(a) == list(b)
        np.testing.assert_array_equal(a.pop("Power"), b["Power"])
        assert a == {k: v for k, v in b.items() if k != "Power"}
    # A day of 0.8 s beats at a step of 1 s: some 86,000 windows, of which the first next()
    # analyses one chunk only.
    day = np.full(108000, 800.0)
    windows = rvx.iter_windows(day, 1, chunk=8)
    first = next(windows)
    assert first["window"] == 0 and first["ok"]
    assert windows.gi_frame.f_locals["analysed"] == 8
    windows.close()
    with pytest.raises(ValueError, match="Недостаточно данных"):
        next(rvx.iter_windows(ms[:300]))
