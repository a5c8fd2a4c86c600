#!/usr/bin/python3
"""Analyses every file of a folder on a dask.distributed cluster and writes JSON Lines, the
lines `rvx-cli analyze` prints for the same files in the same (sorted) order.

    python3 analyse_folder.py FOLDER OUT.jsonl                   # a LocalCluster, 2 workers
    python3 analyse_folder.py FOLDER OUT.jsonl --scheduler tcp://host:8786   # a running cluster
"""

import argparse
import os
import sys

from dask.distributed import Client, LocalCluster

import rvx.dask


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("folder")
    p.add_argument("out", help="the JSON Lines file to write")
    p.add_argument("--scheduler", help="address of a running dask scheduler")
    p.add_argument("--workers", type=int, default=2, help="LocalCluster's worker processes")
    p.add_argument("--correct", default="none", choices=["none", "auto"])
    a = p.parse_args()
    paths = sorted(os.path.join(a.folder, n) for n in os.listdir(a.folder)
                   if os.path.isfile(os.path.join(a.folder, n)))
    if a.scheduler:
        client = Client(a.scheduler)
    else:
        client = Client(LocalCluster(n_workers=a.workers, threads_per_worker=1,
                                     processes=True, dashboard_address=None))
    with client:
        results = rvx.dask.analyse_files(client, paths, correct=a.correct)
    with open(a.out, "w", encoding="utf-8", newline="\n") as out:
        for r in results:
            out.write(rvx.dask.json_line(r) + "\n")
    failed = sum(not r["ok"] for r in results)
    print(f"{len(results)} files, {failed} failed", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
