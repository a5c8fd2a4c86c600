"""rvx.dask on a LocalCluster of two worker processes against rvx-cli over the same files."""

import os
import subprocess
import sys

import numpy as np
import pytest

import rvx
import rvx.dask
from conftest import CLI, cli_lines, recordings

distributed = pytest.importorskip("distributed")


def variants(folder, count):
    """Copies of the recordings, RR lists of their intervals rotated and stretched, bad files."""
    sources = [p for p in recordings() if rvx.analyse_file(p)["ok"]]
    paths = []
    for i in range(count):
        source = sources[i % len(sources)]
        if i % 5 == 0:
            path = os.path.join(folder, f"{i:04d}{os.path.splitext(source)[1]}")
            with open(source, "rb") as f, open(path, "wb") as out:
                out.write(f.read())
        elif i % 37 == 1:
            path = os.path.join(folder, f"{i:04d}.rr")
            with open(path, "wb") as out:
                out.write(bytes([70, 0]) * (i % 20))  # too short, or empty
        else:
            ms = np.roll(rvx.read(source), i) * (1 + (i % 9 - 4) / 100)
            path = os.path.join(folder, f"{i:04d}.txt")
            with open(path, "w") as out:
                out.write("\n".join(f"{v:.1f}" for v in np.clip(ms, 100, 2000)))
        paths.append(path)
    return paths


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None)
    with distributed.Client(cluster) as c:
        yield c
    cluster.close()


def test_a_cluster_gives_the_lines_of_the_cli(client, tmp_path):
    paths = variants(str(tmp_path), 300)
    results = rvx.dask.analyse_files(client, paths, correct="auto")
    assert [r["file"] for r in results] == paths
    assert 0 < sum(not r["ok"] for r in results) < 20
    lines = cli_lines(paths, "--correct", "auto")
    assert [rvx.dask.json_line(r) for r in results] == lines


def test_the_example_writes_the_cli_lines(tmp_path):
    folder = tmp_path / "in"
    folder.mkdir()
    paths = sorted(variants(str(folder), 24))
    out = tmp_path / "out.jsonl"
    example = os.path.join(os.path.dirname(__file__), "../../python/examples/analyse_folder.py")
    run = subprocess.run([sys.executable, example, str(folder), str(out)], capture_output=True,
                         timeout=240, check=False)
    assert run.returncode == 1, run.stderr.decode()  # some files fail, as with rvx-cli
    cli = subprocess.run([CLI, "analyze", *paths], capture_output=True, check=False)
    assert out.read_bytes() == cli.stdout


def test_bad_arguments_are_refused_before_the_cluster_is_asked(client):
    with pytest.raises(TypeError, match="path must be a str"):
        rvx.dask.analyse_files(client, [1, 2])
    with pytest.raises(ValueError, match="'none' or 'auto'"):
        rvx.dask.analyse_files(client, ["a.rr"], correct="always")
    assert rvx.dask.analyse_files(client, []) == []
