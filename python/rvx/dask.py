"""Many files on a dask.distributed cluster: rvx.dask.analyse_files(client, paths).

    >>> from dask.distributed import Client, LocalCluster
    >>> import rvx.dask
    >>> client = Client(LocalCluster(n_workers=2, threads_per_worker=1))
    >>> results = rvx.dask.analyse_files(client, paths)   # dicts, in the order of paths
    >>> rvx.dask.json_line(results[0])                    # rvx-cli analyze's line

The same code runs on any dask cluster the client is connected to (dask-scheduler and
dask-worker on several machines, dask-jobqueue on Slurm); the workers need the rvx package and
must see the files under the same paths.
"""

import json
import math

import rvx

# Files per dask task: enough that the scheduler's cost per task (about a millisecond) is small
# beside the analyses, few enough that every worker thread gets several tasks.
_MAX_CHUNK = 32


def _analyse_chunk(paths, type, correct, spectrum):
    # The worker's threads are the parallelism: each analysis keeps to its thread, and only this
    # call does (the worker process's later calls keep their own threads).
    return [rvx.analyse_file(p, type, correct, spectrum=spectrum, threads=1) for p in paths]


def analyse_files(client, paths, type=None, correct="none", *, spectrum=False):
    """rvx.analyse_file of every path on the client's cluster; the dicts in the order of paths.

    A file that fails gives its ``ok: False`` dict, as rvx-cli does; the arguments are checked
    here, before anything is sent to the cluster.
    """
    paths = [rvx._path(p) for p in paths]
    rvx._type(type)
    rvx._correct(correct)
    rvx._flag("spectrum", spectrum)
    if not paths:
        return []
    threads = max(1, sum(client.nthreads().values()))
    size = max(1, min(_MAX_CHUNK, math.ceil(len(paths) / (4 * threads))))
    chunks = [paths[i:i + size] for i in range(0, len(paths), size)]
    futures = client.map(_analyse_chunk, chunks, type=type, correct=correct,
                         spectrum=spectrum, pure=False)
    return [r for chunk in client.gather(futures) for r in chunk]


def json_line(result):
    """The dict as rvx-cli analyze prints it: one JSON line, keys in order, without the newline.

    Numbers as rvx-cli writes them (17 significant digits, shortest that reads back the same),
    a value that is not finite as null, text as UTF-8.
    """
    def value(v):
        if isinstance(v, bool) or v is None or isinstance(v, (int, str)):
            return json.dumps(v, ensure_ascii=False)
        if isinstance(v, float):
            return _number(v)
        if isinstance(v, dict):
            return "{" + ", ".join(f"{json.dumps(k)}: {value(x)}" for k, x in v.items()) + "}"
        return "[" + ", ".join(value(x.item() if hasattr(x, "item") else x) for x in v) + "]"
    return "{" + ", ".join(f"{json.dumps(k, ensure_ascii=False)}: {value(v)}"
                           for k, v in result.items()) + "}"


def _number(v):
    if not math.isfinite(v):
        return "null"
    # std::to_chars(general, 17): %.17g
    text = "%.17g" % v
    return text
