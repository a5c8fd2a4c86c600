"""RVX heart-rate-variability analysis from Python.

The same analysis as ``rvx-cli analyze``: every function returns the fields of its JSON line
(same names, same values) as a dict.

    >>> import rvx
    >>> r = rvx.analyse_file("fragment.rr")
    >>> r["ok"], r["SDNN"], r["LFHF"]

The analysis runs with the interpreter's lock released, so threads analyse at once; the module
may be used from many threads and from forked worker processes. ``rvx.dask`` runs many files on
a dask.distributed cluster.
"""

import json
import numbers
import os

import numpy as np

from . import _rvx

__version__ = _rvx.__version__
__all__ = ["analyse", "analyse_file", "analyse_windows", "iter_windows", "read", "read_record",
           "detect_beats", "__version__"]

_CORRECT = {"none": 0, "auto": 1}
_TYPES = {None: 0, "rr": 1, "ppg": 2, "txt": 3, "wfdb": 4, "edf": 5}
_BEATS = {"detect": 0, "annotations": 1}
_MAX_INTERVALS = 40000  # as many as an RR file holds
_MAX_RECORDING = 1000000  # intervals of a recording analysed by windows
_MAX_STEP = 1000000  # seconds between windows
_MAX_THREADS = 64
_METHODS = ("system", "standard")
_AR_METHODS = {"fb": 0, "burg": 1}
# The core's names of the standard settings in its messages, and the keywords that set them.
_SETTING_WORDS = {"interp_hz": "interp", "lambda": "detrend", "welch_window_s": "welch_window",
                  "welch_overlap_percent": "welch_overlap", "nn_threshold_ms": "nn_threshold"}


def _correct(correct):
    if not isinstance(correct, str):
        raise TypeError(f"correct must be 'none' or 'auto', not {type(correct).__name__}")
    if correct not in _CORRECT:
        raise ValueError(f"correct must be 'none' or 'auto', not {correct!r}")
    return _CORRECT[correct]


def _type(type):
    if type is not None and not isinstance(type, str):
        raise TypeError("type must be 'rr', 'ppg', 'txt', 'wfdb', 'edf' or None, "
                        f"not {type.__class__.__name__}")
    if type not in _TYPES:
        raise ValueError(f"type must be 'rr', 'ppg', 'txt', 'wfdb', 'edf' or None, not {type!r}")
    return _TYPES[type]


def _beats(beats, choices=_BEATS):
    if beats not in choices or not isinstance(beats, (str, type(None))):
        words = ", ".join(repr(c) for c in choices)
        raise ValueError(f"beats must be one of {words}, not {beats!r}")
    return choices[beats]


def _channel(channel):
    """A channel's name, or its 0-based number; "" (None) for the record's ECG lead."""
    if channel is None:
        return ""
    if isinstance(channel, bool) or not isinstance(channel, (str, numbers.Integral)):
        raise TypeError(f"channel must be a name, a number or None, not {type(channel).__name__}")
    if isinstance(channel, numbers.Integral) and channel < 0:
        raise ValueError(f"channel must be 0 or more, not {channel}")
    return str(channel)


def _path(path):
    """A path as open() takes it: str, bytes or os.PathLike (the module encodes it)."""
    if not isinstance(path, (str, bytes, os.PathLike)):
        raise TypeError(f"path must be a str, bytes or os.PathLike, not {type(path).__name__}")
    return os.fspath(path)


def _threads(threads):
    """The module's word for ``threads``: 0 for None (the default), otherwise 1..64."""
    if threads is None:
        return 0
    if isinstance(threads, bool) or not isinstance(threads, numbers.Integral):
        raise TypeError(f"threads must be a whole number or None, not {type(threads).__name__}")
    if not 1 <= threads <= _MAX_THREADS:
        raise ValueError(f"threads must be 1 to {_MAX_THREADS} or None, not {threads}")
    return int(threads)


def _flag(name, value):
    if not isinstance(value, bool):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")
    return value


def _ticks(intervals_ms, limit=_MAX_INTERVALS):
    """The intervals as 10 ms ticks, rounded to nearest with ties to even as RR lists are."""
    if isinstance(intervals_ms, (str, bytes)) or isinstance(intervals_ms, numbers.Number):
        raise TypeError("intervals_ms must be a sequence or numpy array of milliseconds, "
                        f"not {type(intervals_ms).__name__}")
    try:
        ms = np.asarray(intervals_ms)
    except ValueError as e:
        raise ValueError(f"intervals_ms is not a flat sequence of numbers: {e}") from None
    if ms.dtype.kind not in "iuf":
        raise TypeError(f"intervals_ms must hold numbers of milliseconds, not {ms.dtype}")
    if ms.ndim != 1:
        raise ValueError(f"intervals_ms must be one-dimensional, not of shape {ms.shape}")
    if ms.size > limit:
        raise ValueError(f"intervals_ms holds {ms.size} intervals; at most {limit}")
    ticks = np.rint(ms.astype(np.float64) / 10.0)
    bad = ~((ticks >= 1) & (ticks <= 255))  # NaN is bad too
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"intervals_ms[{i}] = {ms[i]} ms is outside 10..2550 ms "
                         "(1 to 255 ticks of 10 ms)")
    return ticks.astype(np.uint8)


def _real(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    return float(value)


def _whole(name, value):
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be a whole number, not {type(value).__name__}")
    if not -2**31 <= value < 2**31:
        raise ValueError(f"{name} is out of range: {value}")
    return int(value)


def _method(method):
    if not isinstance(method, str) or method not in _METHODS:
        raise ValueError(f"method must be 'system' or 'standard', not {method!r}")
    return method == "standard"


def _standard_settings(interp, detrend, welch_window, welch_overlap, ar_order, points_per_hz,
                       nn_threshold, ar_method):
    """The module's arguments for the standard settings, after its rvx-cli options."""
    if not isinstance(detrend, str):
        raise TypeError(f"detrend must be 'none', 'priors' or 'priors:LAMBDA', "
                        f"not {type(detrend).__name__}")
    lam = 500.0
    if detrend == "none":
        priors = 0
    elif detrend == "priors" or detrend.startswith("priors:"):
        priors = 1
        if detrend != "priors":
            try:
                lam = float(detrend[len("priors:"):])
            except ValueError:
                raise ValueError(f"detrend must be 'none', 'priors' or 'priors:LAMBDA', "
                                 f"not {detrend!r}") from None
    else:
        raise ValueError(f"detrend must be 'none', 'priors' or 'priors:LAMBDA', not {detrend!r}")
    if not isinstance(ar_method, str) or ar_method not in _AR_METHODS:
        raise ValueError(f"ar_method must be 'fb' or 'burg', not {ar_method!r}")
    return (_real("interp", interp), priors, lam, _real("welch_window", welch_window),
            _real("welch_overlap", welch_overlap), _whole("ar_order", ar_order),
            _AR_METHODS[ar_method], _whole("points_per_hz", points_per_hz),
            _real("nn_threshold", nn_threshold))


def _call_standard(call, *arguments, **keywords):
    """call(...) with a setting the core refuses named by its keyword in the ValueError."""
    try:
        return call(*arguments, **keywords)
    except ValueError as e:
        message = str(e)
        name = message.split(":", 1)[0]
        if name not in _SETTING_WORDS:
            raise
        raise ValueError(_SETTING_WORDS[name] + message[len(name):]) from None


def _standard_result(call, *arguments):
    """The standard analysis's dict (rvx-cli's "standard" object), or {"error": ...}."""
    return _standard_value(*_call_standard(call, *arguments))


def _standard_value(text, error):
    if error:
        return {"error": error}
    result = json.loads(text)
    for name in ("welch", "ar", "lomb"):
        if result[name] is not None and "psd" in result[name]:
            result[name]["psd"] = np.array([np.nan if v is None else v
                                            for v in result[name]["psd"]], dtype=np.float64)
    return result


_STANDARD_DOC = """
    ``method="standard"`` adds ``standard``: the standard (Task Force) analysis of the intervals
    as rvx-cli analyze --method standard gives it, a dict with the keys of its JSON object
    (``settings``, ``MeanRR``, ``SDNN``, ... ``SDNNI``, ``welch``, ``ar``, ``lomb``; None where
    undefined; with ``spectrum=True`` each spectrum's ``psd`` as a numpy array on 0, 1/P, ...
    0.5 Hz), or ``{"error": message}`` when it cannot be made. Its settings are the keywords
    ``interp`` (Hz), ``detrend`` ('none', 'priors' or 'priors:LAMBDA'), ``welch_window`` (s),
    ``welch_overlap`` (%), ``ar_order``, ``ar_method`` ('fb' or 'burg'), ``points_per_hz`` and
    ``nn_threshold`` (ms), rvx-cli's --interp ... --nn-threshold; settings it cannot use raise
    ValueError naming the keyword.
"""


def analyse(intervals_ms, correct="none", *, spectrum=False, nonlinear=False, threads=None,
            method="system", interp=4, detrend="none", welch_window=300, welch_overlap=50,
            ar_order=16, points_per_hz=300, nn_threshold=50, ar_method="fb"):
    """The indices of a fragment of RR intervals in milliseconds (any sequence or numpy array).

    Each interval is rounded to 10 ms ticks (ties to even) as an RR list's are, and must give 1
    to 255 ticks; at most 40,000 intervals. ``correct="auto"`` corrects artefacts first (then
    ``corrected_intervals`` and ``artefacts`` are given). ``spectrum=True`` adds ``Power``, the
    spectrum's bins 1..150 (k/300 Hz), as a numpy array; ``nonlinear=True`` the nonlinear indices
    (SD1, SD2, SD1SD2, SampEn, DFA_alpha1, DFA_alpha2, SI; None where undefined). Returns the dict of the fields of
    ``rvx-cli analyze``'s line after ``file``, ``type`` and ``ok``. A fragment the analysis
    rejects raises ValueError with the program's message.

    ``threads`` is how many threads the analysis may use, the calling one included: None for
    the default (the environment's RVX_THREADS, otherwise one per processor), 1 for the calling
    thread only (as a worker of a pool of processes or threads wants), at most 64. The results
    never depend on it. The same holds for ``analyse_file`` and ``analyse_windows``.

    With ``method="standard"`` the standard analysis takes the intervals in ms as given (not
    rounded to ticks; with ``correct="auto"`` the corrected series, as rvx-cli takes it), and a
    fragment the system's analysis rejects gives ``{"error": message, "standard": {...}}``
    instead of raising.
    """
    ticks = _ticks(intervals_ms)
    arguments = (_correct(correct), _flag("spectrum", spectrum))
    standard = _method(method)
    settings = _standard_settings(interp, detrend, welch_window, welch_overlap, ar_order,
                                  points_per_hz, nn_threshold, ar_method) if standard else None
    try:
        result = _rvx.analyse(ticks, *arguments, _flag("nonlinear", nonlinear),
                              _threads(threads))
    except ValueError as e:
        if not standard:
            raise
        result = {"error": str(e)}
    if standard:
        ms = np.ascontiguousarray(np.asarray(intervals_ms, dtype=np.float64))
        result["standard"] = _standard_result(_rvx.standard, ms, ticks, *arguments, *settings)
    return result


analyse.__doc__ += _STANDARD_DOC


def analyse_windows(intervals_ms, step_s=300, correct="none", *, spectrum=False,
                    nonlinear=False, as_frame=False, threads=None, method="system", interp=4,
                    detrend="none", welch_window=300, welch_overlap=50, ar_order=16,
                    points_per_hz=300, nn_threshold=50, ar_method="fb"):
    """A long recording of RR intervals in milliseconds analysed window by window.

    As ``rvx-cli analyze --windows STEP``: window w = 0, 1, ... is the five-minute fragment that
    starts at the first interval whose start time (the sum of the intervals before it) is at or
    after w * step_s seconds, analysed exactly as ``analyse`` analyses the intervals from there
    on; the windows go on while the fragment holds the 300 s the analysis needs. At most
    1,000,000 intervals, rounded to ticks as for ``analyse``; ``step_s`` a whole number of seconds
    from 1 to 1,000,000 (300: consecutive windows, 30: a sliding one). ``correct``, ``spectrum``
    ``nonlinear`` and ``threads`` as for ``analyse`` (several threads analyse several windows at
    once).

    Returns a list with one dict per window, the fields of its line after ``file`` and ``type``:
    ``ok``, ``window``, ``first`` (the 0-based position of its first interval), ``start_s`` (its
    start time in seconds), then the indices without the interval lists, or ``error`` for a
    window the analysis rejects. With ``as_frame=True`` a pandas DataFrame of those rows (needs
    pandas; on Debian the package python3-pandas). A recording too short for one window raises
    ValueError with the program's message.

    With ``method="standard"`` each window's dict ends with ``standard``, the standard analysis
    of the intervals from the window's first that end within 300 s of its start, in ms as
    given, as rvx-cli analyze --windows STEP --method standard gives it; settings as for
    ``analyse``.
    """
    _flag("as_frame", as_frame)
    arguments, standard = _windows_arguments(
        intervals_ms, step_s, correct, spectrum, nonlinear, threads,
        (method, interp, detrend, welch_window, welch_overlap, ar_order, points_per_hz,
         nn_threshold, ar_method))
    windows = _standard_windows(_call_standard(_rvx.analyse_windows, *arguments, **standard))
    if not as_frame:
        return windows
    try:
        import pandas
    except ImportError:
        raise ImportError("as_frame=True needs pandas (Debian package python3-pandas)") from None
    return pandas.DataFrame(windows)


def _windows_arguments(intervals_ms, step_s, correct, spectrum, nonlinear, threads, method):
    """The module's arguments of analyse_windows, and its keywords of the standard analysis."""
    if isinstance(step_s, bool) or not isinstance(step_s, numbers.Integral):
        raise TypeError(f"step_s must be a whole number of seconds, not {type(step_s).__name__}")
    if not 1 <= step_s <= _MAX_STEP:
        raise ValueError(f"step_s must be 1 to {_MAX_STEP} seconds, not {step_s}")
    ticks = _ticks(intervals_ms, _MAX_RECORDING)
    standard = {}
    if _method(method[0]):
        standard = {"ms": np.ascontiguousarray(np.asarray(intervals_ms, dtype=np.float64)),
                    "settings": _standard_settings(*method[1:])}
    return (ticks, int(step_s), _correct(correct), _flag("spectrum", spectrum),
            _flag("nonlinear", nonlinear), _threads(threads)), standard


def _standard_windows(windows):
    """The windows with each "standard" outcome of the module as its dict."""
    for w in windows:
        if "standard" in w:
            w["standard"] = _standard_value(*w["standard"])
    return windows


def iter_windows(intervals_ms, step_s=300, correct="none", *, spectrum=False, nonlinear=False,
                 chunk=64, threads=None, method="system", interp=4, detrend="none",
                 welch_window=300, welch_overlap=50, ar_order=16, points_per_hz=300,
                 nn_threshold=50, ar_method="fb"):
    """The dicts of ``analyse_windows`` one by one, as a generator.

    The same arguments and the same dicts in the same order, but the windows are analysed
    ``chunk`` at a time (1 to 100,000), each chunk when the one before has been taken: at most
    ``chunk`` windows are held at once, however long the recording. The arguments are checked
    and a recording too short for one window raises ValueError at the first ``next()``.
    """
    if isinstance(chunk, bool) or not isinstance(chunk, numbers.Integral):
        raise TypeError(f"chunk must be a whole number of windows, not {type(chunk).__name__}")
    if not 1 <= chunk <= 100000:
        raise ValueError(f"chunk must be 1 to 100000 windows, not {chunk}")
    arguments, standard = _windows_arguments(
        intervals_ms, step_s, correct, spectrum, nonlinear, threads,
        (method, interp, detrend, welch_window, welch_overlap, ar_order, points_per_hz,
         nn_threshold, ar_method))
    analysed = 0  # windows analysed so far
    while True:
        windows = _standard_windows(_call_standard(_rvx.analyse_windows, *arguments,
                                                   first=analysed, count=int(chunk), **standard))
        analysed += len(windows)
        yield from windows
        if len(windows) < chunk:
            return


def analyse_file(path, type=None, correct="none", *, spectrum=False, nonlinear=False,
                 threads=None, beats="detect", channel=None, method="system", interp=4,
                 detrend="none", welch_window=300, welch_overlap=50, ar_order=16,
                 points_per_hz=300, nn_threshold=50, ar_method="fb"):
    """The line ``rvx-cli analyze`` prints for the file, as a dict.

    ``path`` is a str, bytes or os.PathLike, as open() takes it (a NUL in it raises ValueError).
    ``type`` is 'rr', 'ppg', 'txt' (an RR list), 'wfdb' (a WFDB record: its .hea, or its .dat
    with the header beside it) or 'edf' (EDF, EDF+ or BDF), or None for the file's extension as
    rvx-cli takes it. A file that cannot be analysed gives ``ok: False`` and the program's
    message in ``error``; it never raises for a bad file. Bad arguments raise TypeError or
    ValueError. ``threads`` as for ``analyse``.

    For a record, ``beats`` and ``channel`` are rvx-cli's --beats and --channel: 'detect' finds
    the R-peaks, 'annotations' takes the record's reference beats; ``channel`` a name (any case)
    or a 0-based number, None for the record's ECG lead. Its dict says after ``ok`` where the
    beats came from (``beats``: 'detected' or 'annotations') and their ``channel``.

    With ``method="standard"`` the dict ends with ``standard``, the analysis of every interval of
    the file (an RR list's in ms as written), as rvx-cli analyze --method standard gives it, also
    for a file the system's analysis rejects; settings as for ``analyse``.
    """
    standard = _method(method)
    settings = _standard_settings(interp, detrend, welch_window, welch_overlap, ar_order,
                                  points_per_hz, nn_threshold, ar_method) if standard else None
    arguments = (_path(path), _type(type), _correct(correct), _flag("spectrum", spectrum))
    record = (_beats(beats), _channel(channel))
    result = _rvx.analyse_file(*arguments, _flag("nonlinear", nonlinear), _threads(threads),
                               *record)
    if standard:
        result["standard"] = _standard_result(_rvx.standard_file, *arguments, *record, *settings)
    return result


analyse_file.__doc__ += _STANDARD_DOC


def read_record(path, beats=None, channel=None, type=None):
    """Any file read whole as a recording, as a dict: a WFDB record, an EDF/BDF file, a PPG file
    (its pulse wave as the channel "PPG" and its pulses), an RR file (its beats the running sums
    of its intervals from 0, at 100 a second) or an RR list (the same of its intervals as written,
    at 10^6 a second); these two have no channel.

    ``channels``: a list of dicts with ``name``, ``unit``, ``rate`` (samples per second) and
    ``samples`` (a numpy float64 array of the physical values). ``beats``: a dict of ``sample``
    (numpy int64, 0-based positions at ``beat_rate``, the rate of the channel named by
    ``channel``), ``time_s`` (numpy float64), ``kind`` and ``source`` (lists of words as
    ``rvx-cli beats`` writes them). ``beats=None`` takes the record's annotations where it has
    them and otherwise detects the R-peaks; 'annotations' and 'detect' as for analyse_file, and
    ``channel`` too. A record that cannot be read raises ValueError with the program's message.
    """
    return _rvx.read_record(_path(path), _type(type),
                            _beats(beats, {**_BEATS, None: 2}), _channel(channel))


def detect_beats(signal, rate):
    """The R-peaks of one ECG lead as 0-based sample positions (numpy int64).

    ``signal`` is a one-dimensional sequence or numpy array in any physical unit (mV...), at
    ``rate`` samples per second, 100 to 2000; the detector of ``rvx-cli beats --beats detect``.
    """
    samples = np.ascontiguousarray(signal, dtype=np.float32)
    if samples.ndim != 1:
        raise ValueError(f"signal must be one-dimensional, not of shape {samples.shape}")
    if isinstance(rate, bool) or not isinstance(rate, numbers.Real):
        raise TypeError(f"rate must be a number of samples per second, not {type(rate).__name__}")
    if not 100 <= rate <= 2000:
        raise ValueError(f"rate must be 100 to 2000 samples per second, not {rate}")
    return _rvx.detect_beats(samples, float(rate))


def read(path, type=None):
    """The intervals of an RR file, RR list or PPG file (its detected pulses) in milliseconds.

    A numpy float64 array, at most 40,000 intervals; ``type`` as for analyse_file. A file that
    cannot be read raises ValueError with the program's message.
    """
    return _rvx.read(_path(path), _type(type))
