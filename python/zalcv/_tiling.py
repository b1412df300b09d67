"""The tiling engine of zalcv.dask: chunk layouts that respect an operation's
reach and alignment, the map_overlap call, and the per-tile function that
runs the library on a tile with its halo and trims the halo off again.

The invariant: every output pixel of a tile is computed from exactly the
input pixels the whole-image call would use. Interior tiles get a halo of the
operation's reach from their neighbours (boundary='none'), so the library's
border rule only ever acts at the image's true edges, where the tile edge is
the image edge; output pixels that saw a tile edge that is not an image edge
lie in the halo and are trimmed. A 'wrap' border is the one rule that reads
the opposite edge: there the halo comes from the other end of the image
(boundary='periodic'), which is what the rule would read.
"""

from __future__ import annotations

import contextlib
import dataclasses
import os
import threading
from typing import Any, Callable, ContextManager, Dict, Iterator, Optional, Sequence, Tuple

import numpy as np

import dask.array as da

from . import _zalcv as _z


@dataclasses.dataclass(frozen=True)
class Axis:
    """How one image axis (rows or columns) of an operation tiles.

    before/after: input pixels an output pixel reads before and after its own
    position (its reach). shrink: the output is this much shorter than the
    input at the far end (operations without a border rule, e.g. a column
    pass that needs K rows per output row). up/down: output samples per input
    sample (a finer pyramid level has 2) or input samples per output sample
    (a coarser one has 2; tiles then start at multiples of `down`). align:
    tile boundaries at multiples of this. whole: the axis is never split.
    """

    before: int = 0
    after: int = 0
    shrink: int = 0
    up: int = 1
    down: int = 1
    align: int = 1
    whole: bool = False

    def __post_init__(self) -> None:
        # A halo that is not a multiple of `down` would shift the sampling grid.
        d = self.down
        object.__setattr__(self, "before", max(0, -(-self.before // d) * d))
        object.__setattr__(self, "after", max(0, self.after))
        object.__setattr__(self, "align", np.lcm(self.align, d).item())

    @property
    def minimum(self) -> int:
        """Smallest tile: a neighbour must hold the whole halo, and the last
        tile of a shrinking axis must keep at least one output sample."""
        return max(1, self.before, self.after, self.shrink + 1)

    def out_length(self, n: int, last: bool) -> int:
        if self.down > 1:
            return -(-n // self.down)
        if self.up > 1:
            return n * self.up
        return n - (self.shrink if last else 0)


ZERO = Axis()


@dataclasses.dataclass(frozen=True)
class Plan:
    """Rows and columns of one call, and whether the halo at the image's
    edges wraps around (border='wrap')."""

    rows: Axis = ZERO
    cols: Axis = ZERO
    periodic: bool = False

    @property
    def local(self) -> bool:
        return self.rows == ZERO and self.cols == ZERO and not self.periodic


def split_axis(chunks: Sequence[int], axis: Axis) -> Tuple[int, ...]:
    """Chunk sizes along one axis that the operation can tile: boundaries of
    the given chunking moved down to multiples of `align` and dropped where a
    tile would fall below the minimum (so small chunks merge)."""
    n = int(sum(chunks))
    if axis.whole or n <= axis.minimum:
        return (n,)
    bounds = []
    last = 0
    edge = 0
    for c in chunks[:-1]:
        edge += c
        b = edge - edge % axis.align
        if b - last >= axis.minimum and n - b >= axis.minimum:
            bounds.append(b)
            last = b
    sizes = np.diff([0] + bounds + [n]).tolist()
    return tuple(int(s) for s in sizes)


def as_dask(x: Any, like: Optional[da.Array] = None) -> da.Array:
    """A dask array of `x`; a numpy array takes the chunks of `like` on the
    image axes (or dask's automatic chunks)."""
    if isinstance(x, da.Array):
        return x
    a = np.asarray(x)
    if like is None:
        return da.from_array(a, chunks="auto")
    chunks = like.chunks[:2] + tuple((s,) for s in a.shape[2:])
    return da.from_array(a, chunks=chunks[: a.ndim])


# ---- Library threads inside Dask tasks -----------------------------------------------------

def _dask_threads_here() -> int:
    """Threads the current Dask worker runs tasks on (cores for a local pool)."""
    try:
        from distributed import get_worker

        return max(1, int(get_worker().state.nthreads))
    except Exception:  # not on a distributed worker
        pass
    try:
        import dask

        n = dask.config.get("num_workers", None)
        if n:
            return max(1, int(n))
    except Exception:
        pass
    return os.cpu_count() or 1


def check_threads(threads: Any) -> Any:
    """`threads` checked when the graph is built rather than in every task."""
    if threads is None or threads == "auto":
        return threads
    if isinstance(threads, bool) or not isinstance(threads, (int, np.integer)) or threads < 1:
        raise ValueError(f"'threads' must be a whole number of at least 1, None or 'auto', not {threads!r}")
    return int(threads)


def library_threads(threads: Any) -> int:
    """The library worker count for one task: `threads` as given, 1 for None,
    or the cores left per Dask thread for 'auto'."""
    if threads is None:
        return 1
    if threads == "auto":
        return max(1, (os.cpu_count() or 1) // _dask_threads_here())
    return int(check_threads(threads))


class _CountGuard:
    """The library's worker count is one setting per process. set_num_threads
    itself waits for running calls, but between a task setting its count and
    making its call another task could set a different one. Tasks enter this
    guard with the count they want: tasks wanting the count in force run side
    by side; a task wanting another count waits until the running ones have
    left, then sets it, so every task runs with the count it asked for. (All
    tasks of one graph want the same count: this waits only between graphs
    that differ.)"""

    def __init__(self) -> None:
        self._cond = threading.Condition()
        self._active = 0

    @contextlib.contextmanager
    def count(self, n: int) -> Iterator[None]:
        with self._cond:
            while self._active and _z.get_num_threads() != n:
                self._cond.wait()
            if _z.get_num_threads() != n:
                _z.set_num_threads(n)
            self._active += 1
        try:
            yield
        finally:
            with self._cond:
                self._active -= 1
                if not self._active:
                    self._cond.notify_all()


_GUARD = _CountGuard()


def use_threads(threads: Any) -> ContextManager[None]:
    """`with use_threads(threads):` runs library calls in a task with the
    library's worker count set to library_threads(threads) in this process.
    The count stays set afterwards (in-process schedulers: the caller's)."""
    return _GUARD.count(library_threads(threads))


# ---- The map_overlap driver ----------------------------------------------------------------

def _halos(axis: Axis, depth: int, periodic: bool, index: int, count: int) -> Tuple[int, int]:
    if count == 1:
        return 0, 0
    if periodic:
        return depth, depth
    return (axis.before if index > 0 else 0), (axis.after if index < count - 1 else 0)


def _trim(axis: Axis, length: int, halo: Tuple[int, int], last: bool) -> slice:
    core = length - halo[0] - halo[1]
    start = halo[0] * axis.up // axis.down
    return slice(start, start + axis.out_length(core, last))


def run_tile(*blocks: np.ndarray, block_info: Optional[Dict] = None, call: Callable, names: Tuple[str, ...],
             params: Dict[str, Any], plan: Plan, depths: Tuple[int, int], threads: Any) -> np.ndarray:
    """One tile: the library call on the tile with its halo, halo trimmed."""
    info = block_info[0]
    loc, num = info["chunk-location"], info["num-chunks"]
    kwargs = dict(params)
    kwargs.update(zip(names, blocks))
    with use_threads(threads):
        result = call(**kwargs)
    if plan.local:
        return result
    first = blocks[0]
    index = []
    for i, (axis, depth) in enumerate(zip((plan.rows, plan.cols), depths)):
        if i >= first.ndim:
            break
        halo = _halos(axis, depth, plan.periodic, loc[i], num[i])
        index.append(_trim(axis, first.shape[i], halo, loc[i] == num[i] - 1))
    trimmed = result[tuple(index)]
    return trimmed if trimmed.shape == result.shape else trimmed.copy()


def map_tiles(call: Callable, images: Dict[str, da.Array], params: Dict[str, Any], plan: Plan,
              out_dtype: np.dtype, out_trailing: Tuple[int, ...], threads: Any) -> da.Array:
    """Runs `call` over the tiles of the images (same shape on the first two
    axes) and returns the assembled result, bit for bit the whole-image call.

    `out_trailing` is the result's shape beyond the image axes (e.g. (6,) for
    six values per pixel); every axis past the first two is one chunk."""
    names = tuple(images)
    arrays = list(images.values())
    first = arrays[0]
    spatial = min(first.ndim, 2)
    axes = (plan.rows, plan.cols)[:spatial]
    chunks = tuple(split_axis(first.chunks[i], axes[i]) for i in range(spatial))
    arrays = [a.rechunk(chunks + tuple((s,) for s in a.shape[spatial:])) for a in arrays]

    # Per image axis: the halo dask adds, the boundary kind, and the halo
    # width a tile trims. An axis in one tile gets no halo: the library's own
    # border rule then sees the whole axis.
    depth, boundary, widths = {}, {}, []
    for i, axis in enumerate(axes):
        width = max(axis.before, axis.after) if len(chunks[i]) > 1 else 0
        widths.append(width)
        if width == 0:
            depth[i], boundary[i] = 0, "none"
        elif plan.periodic:
            depth[i], boundary[i] = width, "periodic"  # dask's periodic halos are symmetric
        else:
            depth[i], boundary[i] = (axis.before, axis.after), "none"

    out_chunks = tuple(tuple(axis.out_length(c, k == len(cs) - 1) for k, c in enumerate(cs))
                       for axis, cs in zip(axes, chunks))
    out_chunks += tuple((s,) for s in out_trailing)
    out_ndim = spatial + len(out_trailing)
    extra: Dict[str, Any] = {}
    if out_ndim > first.ndim:
        extra["new_axis"] = list(range(first.ndim, out_ndim))
    elif out_ndim < first.ndim:
        extra["drop_axis"] = list(range(out_ndim, first.ndim))
    extra.update(call=call, names=names, params=params, plan=plan, depths=tuple(widths + [0] * (2 - spatial)),
                 threads=threads, chunks=out_chunks, dtype=out_dtype, meta=np.empty((0,) * out_ndim, dtype=out_dtype))
    if not any(widths):
        return da.map_blocks(run_tile, *arrays, **extra)
    per_array_depth = [{**depth, **{i: 0 for i in range(spatial, a.ndim)}} for a in arrays]
    per_array_boundary = [{**boundary, **{i: "none" for i in range(spatial, a.ndim)}} for a in arrays]
    return da.map_overlap(run_tile, *arrays, depth=per_array_depth, boundary=per_array_boundary, trim=False,
                          align_arrays=False, allow_rechunk=False, **extra)
