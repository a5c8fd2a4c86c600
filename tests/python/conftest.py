"""Shared fixtures: rvx-cli of the same build, and the recordings it and the module read."""

import glob
import json
import os
import subprocess

import pytest

CLI = os.environ.get("RVX_CLI", "rvx-cli")
DATA = os.environ.get("HRV_SHARED_DATA", "")
SAMPLES = os.environ.get("HRV_SAMPLES", os.path.join(os.path.dirname(__file__), "../../samples"))


def recordings():
    """The bundled sample and the reference recordings, when they are there."""
    found = sorted(glob.glob(os.path.join(SAMPLES, "*.rr")))
    for pattern in ("*.rr", "*.ppg", "*.txt", "*.csv"):
        found += sorted(glob.glob(os.path.join(DATA, pattern)))
    return found


def cli_lines(paths, *options):
    """rvx-cli analyze's lines for the paths, as text, in order."""
    run = subprocess.run([CLI, "analyze", *options, *paths], capture_output=True,
                         check=False)
    assert run.returncode in (0, 1), run.stderr.decode()
    lines = run.stdout.decode("utf-8").splitlines()
    assert len(lines) == len(paths)
    return lines


def cli_dicts(paths, *options):
    return [json.loads(line) for line in cli_lines(paths, *options)]


@pytest.fixture
def bad_files(tmp_path):
    """Files rvx-cli refuses, each for another reason."""
    files = {
        "missing.rr": None,
        "empty.rr": b"",
        "short.rr": bytes([80, 0]) * 5,
        "noise.ppg": bytes(range(256)) * 3,
        "letters.txt": b"800\n810\nabc\n",
        "range.txt": b"800\n9000\n",
        "folder.rr": "dir",
    }
    paths = []
    for name, content in files.items():
        p = tmp_path / name
        if content == "dir":
            p.mkdir()
        elif content is not None:
            p.write_bytes(content)
        paths.append(str(p))
    return paths
