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

import numbers
import os

import numpy as np

from . import _rvx

__version__ = _rvx.__version__
__all__ = ["analyse", "analyse_file", "read", "__version__"]

_CORRECT = {"none": 0, "auto": 1}
_TYPES = {None: 0, "rr": 1, "ppg": 2, "txt": 3}
_MAX_INTERVALS = 40000  # as many as an RR file holds


def _correct(correct):
    if not isinstance(correct, str):
        raise TypeError(f"correct must be 'none' or 'auto', not {type(correct).__name__}")
    if correct not in _CORRECT:
        raise ValueError(f"correct must be 'none' or 'auto', not {correct!r}")
    return _CORRECT[correct]


def _type(type):
    if type is not None and not isinstance(type, str):
        raise TypeError(f"type must be 'rr', 'ppg', 'txt' or None, not {type.__class__.__name__}")
    if type not in _TYPES:
        raise ValueError(f"type must be 'rr', 'ppg', 'txt' or None, not {type!r}")
    return _TYPES[type]


def _path(path):
    if not isinstance(path, (str, os.PathLike)):
        raise TypeError(f"path must be a str or os.PathLike, not {type(path).__name__}")
    path = os.fspath(path)
    if not isinstance(path, str):
        raise TypeError("path must name the file as text, not bytes")
    return path


def _flag(name, value):
    if not isinstance(value, bool):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")
    return value


def _ticks(intervals_ms):
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
    if ms.size > _MAX_INTERVALS:
        raise ValueError(f"intervals_ms holds {ms.size} intervals; at most {_MAX_INTERVALS}")
    ticks = np.rint(ms.astype(np.float64) / 10.0)
    bad = ~((ticks >= 1) & (ticks <= 255))  # NaN is bad too
    if bad.any():
        i = int(np.argmax(bad))
        raise ValueError(f"intervals_ms[{i}] = {ms[i]} ms is outside 10..2550 ms "
                         "(1 to 255 ticks of 10 ms)")
    return ticks.astype(np.uint8)


def analyse(intervals_ms, correct="none", *, spectrum=False, nonlinear=False):
    """The indices of a fragment of RR intervals in milliseconds (any sequence or numpy array).

    Each interval is rounded to 10 ms ticks (ties to even) as an RR list's are, and must give 1
    to 255 ticks; at most 40,000 intervals. ``correct="auto"`` corrects artefacts first (then
    ``corrected_intervals`` and ``artefacts`` are given). ``spectrum=True`` adds ``Power``, the
    spectrum's bins 1..150 (k/300 Hz), as a numpy array; ``nonlinear=True`` the nonlinear indices
    (SD1, SD2, SD1SD2, SampEn, DFA_alpha1, DFA_alpha2, SI; None where undefined). Returns the dict of the fields of
    ``rvx-cli analyze``'s line after ``file``, ``type`` and ``ok``. A fragment the analysis
    rejects raises ValueError with the program's message.
    """
    return _rvx.analyse(_ticks(intervals_ms), _correct(correct), _flag("spectrum", spectrum),
                        _flag("nonlinear", nonlinear))


def analyse_file(path, type=None, correct="none", *, spectrum=False, nonlinear=False):
    """The line ``rvx-cli analyze`` prints for the file, as a dict.

    ``type`` is 'rr', 'ppg' or 'txt' (an RR list), or None for the file's extension as rvx-cli
    takes it. A file that cannot be analysed gives ``ok: False`` and the program's message in
    ``error``; it never raises for a bad file. Bad arguments raise TypeError or ValueError.
    """
    return _rvx.analyse_file(_path(path), _type(type), _correct(correct),
                             _flag("spectrum", spectrum), _flag("nonlinear", nonlinear))


def read(path, type=None):
    """The intervals of an RR file, RR list or PPG file (its detected pulses) in milliseconds.

    A numpy float64 array, at most 40,000 intervals; ``type`` as for analyse_file. A file that
    cannot be read raises ValueError with the program's message.
    """
    return _rvx.read(_path(path), _type(type))
