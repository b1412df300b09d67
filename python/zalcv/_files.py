"""map_files: one operation over many image files as Dask tasks, one task
per file, on whatever scheduler is active (threads, processes, or a
distributed.Client of a cluster). Files are read and written by the zalcv
program's codecs; every result goes through a temporary file renamed over
the output. A file that fails is reported and the others go on.
"""

from __future__ import annotations

import dataclasses
import glob
import os
import sys
from typing import Any, Callable, Iterable, List, Optional, Tuple, Union

import numpy as np

import dask

from . import io as _io
from ._tiling import check_threads, use_threads

Operation = Union[str, Callable[..., Any]]


@dataclasses.dataclass
class FileReport:
    """What map_files did: `done` lists (input, output) pairs, `failed`
    lists (input, message) pairs, both in input order."""

    operation: str
    done: List[Tuple[str, str]] = dataclasses.field(default_factory=list)
    failed: List[Tuple[str, str]] = dataclasses.field(default_factory=list)

    @property
    def ok(self) -> bool:
        return not self.failed

    def __str__(self) -> str:
        total = len(self.done) + len(self.failed)
        lines = [f"{self.operation}: {total} files, {len(self.done)} done, {len(self.failed)} failed"]
        lines += [f"  {path}: {message}" for path, message in self.failed]
        return "\n".join(lines)


def _resolve(operation: Operation) -> Tuple[Callable[..., Any], str]:
    if callable(operation):
        return operation, getattr(operation, "__name__", "operation")
    import zalcv

    fn = getattr(zalcv, str(operation), None)
    if fn is None or not callable(fn) or str(operation).startswith("_"):
        raise ValueError(f"map_files: zalcv has no operation {operation!r}")
    return fn, str(operation)


def _inputs(inputs: Any) -> List[str]:
    """A folder (its image files), a glob pattern, one file, or a list."""
    if isinstance(inputs, (str, os.PathLike)):
        path = os.fspath(inputs)
        if os.path.isdir(path):
            return _io.list_images(path)
        if glob.has_magic(path):
            return sorted(glob.glob(path))
        return [path]
    return [os.fspath(p) for p in inputs]


def _outputs(files: List[str], output_dir: str, fmt: str) -> List[str]:
    """<stem>.<format> in output_dir, or <name>.<format> where two inputs
    share a stem (a.png and a.jpg), as the program's batch mode names them."""
    stems = {}
    for f in files:
        stem = os.path.splitext(os.path.basename(f))[0]
        stems[stem] = stems.get(stem, 0) + 1
    outputs = []
    for f in files:
        name = os.path.basename(f)
        stem = os.path.splitext(name)[0]
        outputs.append(os.path.join(output_dir, (name if stems[stem] > 1 else stem) + "." + fmt))
    seen = {}
    for f, o in zip(files, outputs):
        key = os.path.realpath(o)
        if key in seen:
            raise ValueError(f"map_files: {seen[key]} and {f} would both write {o}")
        seen[key] = f
        if os.path.exists(f) and os.path.realpath(f) == key:
            raise ValueError(f"map_files: the result {o} would replace its input")
    return outputs


def process_file(operation: Operation, source: str, target: str, options: dict, normalize: bool,
                 jpeg_quality: int, threads: Any) -> Tuple[str, Optional[str], Optional[str]]:
    """One file: read, run, write. Returns (input, output, None) or
    (input, None, message); no exception leaves the task, so one bad file
    never stops the others."""
    try:
        fn, _ = _resolve(operation)
        image = _io.read(source)
        with use_threads(threads):
            result = fn(image, **options)
        if not isinstance(result, np.ndarray) or result.ndim not in (2, 3):
            raise TypeError(f"the operation returned {type(result).__name__}, not an image array")
        _io.write(target, result, normalize=normalize, jpeg_quality=jpeg_quality)
        return source, target, None
    except Exception as e:  # noqa: BLE001 - reported per file
        message = str(e) or type(e).__name__
        if not isinstance(e, (_io.ImageFileError,)):
            message = f"{type(e).__name__}: {message}"
        return source, None, message


def _active_client() -> Any:
    """The distributed.Client that dask.compute would use now, else None."""
    try:
        from distributed import Client
    except ImportError:
        return None
    scheduler = dask.base.get_scheduler()
    owner = getattr(scheduler, "__self__", None)
    return owner if isinstance(owner, Client) else None


def map_files(operation: Operation, inputs: Any, output_dir: Any, *, format: str = "png", normalize: bool = False,
              jpeg_quality: int = 95, threads: Any = None, progress: bool = True, **options: Any) -> FileReport:
    """Runs `operation` on every input file and writes each result to
    `output_dir`, one Dask task per file, on the active scheduler.

    operation: the name of a zalcv function ("sobel", "dilate", ...) or a
        callable taking the image array (and `options`) and returning one.
    inputs: a folder (its image files, as the program's batch mode finds
        them), a glob pattern, a file, or a list of files. On a cluster every
        worker must see the same paths (a shared file system).
    output_dir: created when missing; results are named <stem>.<format>
        (<name>.<format> when two inputs share a stem).
    format: png, jpg, pgm, ppm, tiff or npy; normalize stretches results to
        8 bits (for float or 16-bit results in 8-bit formats).
    threads: the library's worker count in each task: default 1 (one per
        Dask thread), 'auto' for the cores per Dask thread, or a number.
    progress: Dask's progress bar (local schedulers) or distributed.progress
        (a Client), and a summary with the failures on standard error.
    options: keyword arguments of the operation.

    Returns a FileReport; files that fail (unreadable, corrupt, rejected by
    the operation, unwritable) are listed there with their messages while
    the other files are processed.
    """
    _, name = _resolve(operation)
    threads = check_threads(threads)
    fmt = str(format).lower().lstrip(".")
    if "." + fmt not in _io.EXTENSIONS:
        raise ValueError(f"map_files: unknown format {format!r} (use png, jpg, pgm, ppm, tiff or npy)")
    files = _inputs(inputs)
    output_dir = os.fspath(output_dir)
    os.makedirs(output_dir, exist_ok=True)
    outputs = _outputs(files, output_dir, fmt)
    tasks = [dask.delayed(process_file, pure=False)(operation, f, o, options, normalize, jpeg_quality, threads)
             for f, o in zip(files, outputs)]
    results = _run(tasks, files, progress)
    report = FileReport(name)
    for source, target, message in results:
        if message is None:
            report.done.append((source, target))
        else:
            report.failed.append((source, message))
    if progress:
        print(f"map_files {report}", file=sys.stderr)
    return report


def _run(tasks: List[Any], files: List[str], progress: bool) -> List[Tuple[str, Optional[str], Optional[str]]]:
    client = _active_client()
    if client is None:
        if not progress:
            return list(dask.compute(*tasks))
        from dask.diagnostics import ProgressBar

        with ProgressBar():
            return list(dask.compute(*tasks))
    futures = client.compute(tasks)
    if progress:
        from distributed import progress as show

        show(futures, notebook=False)
    results = []
    for f, future in zip(files, futures):
        try:
            results.append(future.result())
        except Exception as e:  # noqa: BLE001 - a lost worker fails that file only
            results.append((f, None, f"{type(e).__name__}: {e}"))
    return results
