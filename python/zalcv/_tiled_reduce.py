"""Tiled operations whose tiles depend on each other through a small carry
rather than a halo: integral tables (running sums carried across tiles) and
whole-image statistics (per-tile partial results combined in a fixed order).

Exactness: integer tables and integer statistics are exact, so the tiled
result equals the single call bit for bit. float32 integral tables are also
bit-identical: each column is accumulated in the library's order, one float
addition per row, continuing from the carried last row of the tile above.
float32 statistics sum in double per tile and add the tile sums in raster
order of the tiles: deterministic for a given chunking, but not the
library's band order, so the last bits can differ from the single call.
"""

from __future__ import annotations

import math
import warnings
from typing import Any, List, Optional, Tuple

import numpy as np

import dask
import dask.array as da
from dask.delayed import Delayed

from . import _zalcv as _z
from ._errors import DivisionByZeroWarning, NotTileableError
from ._tiling import as_dask, check_threads, use_threads

# ---- Integral tables ------------------------------------------------------------------------

_TWO32 = 1 << 32


def _wrap32(v: np.ndarray) -> np.ndarray:
    """int64 values modulo 2**32 as int32 (the library's wrapping sums)."""
    return (v % _TWO32).astype(np.uint32).view(np.int32)


def _margins(block: np.ndarray, squares: bool) -> Tuple[np.ndarray, ...]:
    """Exact row and column sums of a tile (and of its squares)."""
    v = block.astype(np.int64)
    out = (v.sum(axis=1), v.sum(axis=0))
    if squares:
        q = v * v
        out += (q.sum(axis=1), q.sum(axis=0))
    return out


def _margin(m: Tuple[np.ndarray, ...], i: int) -> np.ndarray:
    return m[i]


def _add(a: np.ndarray, b: np.ndarray) -> np.ndarray:
    return a + b


def _next_top(top: np.ndarray, left: np.ndarray, colsums: np.ndarray) -> np.ndarray:
    """S(Y1, X0 + x) for x = 0..w from S(Y0, X0 + x) and the tile rows Y0..Y1-1:
    their sums left of the tile plus the column prefix sums inside it."""
    return top + left.sum() + np.concatenate(([0], np.cumsum(colsums)))


def _int_table(local: np.ndarray, top: np.ndarray, left: np.ndarray, val: np.int32) -> np.ndarray:
    """A tile's wrapping int32 table: val + S(Y0 + y, X0 + x) for y = 0..h,
    x = 0..w, from the tile's own table (offset 0), the carried entries of the
    row above (top) and the sums left of the tile's rows."""
    down = np.concatenate(([0], np.cumsum(left)))
    total = local.astype(np.int64) + top[None, :] + down[:, None] + int(val)
    return _wrap32(total)


def _float_table(block: np.ndarray, left: np.ndarray, carry: Optional[np.ndarray], val: Any, dtype: np.dtype,
                 squares: bool) -> np.ndarray:
    """A tile's float table, entry (y, x) for y = 0..h, x = 0..w, computed as
    the library does: row running sums from the image's left edge (exact
    integers; float32 tables convert the wrapping 32-bit sum), each added to
    the entry above in the table's precision, row after row."""
    h, w = block.shape
    v = block.astype(np.int64)
    run = np.cumsum(v * v if squares else v, axis=1) + left[:, None]
    if dtype == np.float32:
        terms = _wrap32(run).astype(np.float32)
    else:
        terms = run.astype(np.float64)
    rows = np.empty((h + 1, w), dtype=dtype)
    rows[0] = val if carry is None else carry
    rows[1:] = terms
    cols = np.add.accumulate(rows, axis=0, dtype=dtype)
    table = np.empty((h + 1, w + 1), dtype=dtype)
    table[:, 0] = val
    table[:, 1:] = cols
    return table


def _tile_tables(block: np.ndarray, kinds: Tuple[Tuple[np.dtype, Any], ...], carries: List[Any],
                 first_row: bool, first_col: bool, threads: Any) -> Any:
    """The tile's part of every requested table (the sum table, and the table
    of squares when asked): entry rows and columns 1.. of the tile, plus row
    0 / column 0 for the tiles on the image's top / left edge."""
    out = []
    local = None
    if kinds[0][0] == np.int32:
        # The tile's own int32 tables (offset 0) from the library.
        both = len(kinds) == 2 and kinds[1][0] == np.int32
        with use_threads(threads):
            local = _z.integral(block, "int32", 0, squared=both, sq_dtype="int32" if both else None)
        local = local if both else (local,)
    for i, ((dtype, val), carry) in enumerate(zip(kinds, carries)):
        if dtype == np.int32:
            table = _int_table(local[i], carry[0], carry[1], val)
        else:
            table = _float_table(block, carry[1], carry[0], val, dtype, squares=i == 1)
        out.append(table[0 if first_row else 1:, 0 if first_col else 1:])
    return tuple(out) if len(out) > 1 else out[0]


def _last_row(tables: Any, i: int, first_col: bool) -> np.ndarray:
    t = tables[i] if isinstance(tables, tuple) else tables
    return t[-1, 1:] if first_col else t[-1]


def _pick(tables: Any, i: int) -> np.ndarray:
    return tables[i] if isinstance(tables, tuple) else tables


def integral(img: Any, dtype: Any = "int32", initial: Any = 0, *, squared: bool = False, sq_dtype: Any = None,
             sq_initial: Any = 0, tilted: bool = False, threads: Any = None) -> Any:
    """zalcv.integral on a dask array, tile by tile: the (H+1) x (W+1) table
    (and the table of squares with squared=True) as dask arrays, bit for bit
    the single call's.

    Each tile's entries are its own sums plus carried offsets: the sums of
    its rows left of it and the table row above it. int32 tables add the
    exact offsets modulo 2**32; float32 and float64 tables continue the
    library's column accumulation from the carried row of the tile above, so
    tiles in one column of tiles are computed top to bottom. Tilted tables
    are not tiled: each entry sums a 45-degree cone that widens through the
    whole image above it."""
    if tilted:
        raise NotTileableError(
            "zalcv.dask cannot tile integral(tilted=True): a tilted entry sums a 45-degree cone that widens "
            "with every row above it, so a tile needs the whole width of the rows above; build tilted tables "
            "per image (map_files) or on one band of rows spanning the image width with zalcv.integral")
    threads = check_threads(threads)
    x = as_dask(img)
    sample = _z.integral(np.zeros((2, 2) + x.shape[2:], dtype=x.dtype), dtype, initial, squared=squared,
                         sq_dtype=sq_dtype, sq_initial=sq_initial)
    samples = sample if squared else (sample,)
    kinds = tuple((t.dtype, t[0, 0]) for t in samples)
    x = x.rechunk(x.chunks[:2])
    blocks = x.to_delayed()
    nr, nc = blocks.shape
    margins = [[dask.delayed(_margins, pure=True)(blocks[a, b], squared) for b in range(nc)] for a in range(nr)]
    tables = [[None] * nc for _ in range(nr)]
    # Sums left of each tile's rows, per table: a running total across the tile row.
    lefts = []
    for k in range(len(kinds)):
        rows_k = []
        for a in range(nr):
            row = [dask.delayed(np.zeros)(x.chunks[0][a], dtype=np.int64)]
            for b in range(1, nc):
                rs = dask.delayed(_margin, pure=True)(margins[a][b - 1], 2 * k)
                row.append(dask.delayed(_add, pure=True)(row[-1], rs))
            rows_k.append(row)
        lefts.append(rows_k)
    tops = []  # int32 tables: S(Y0, X0 + x) for x = 0..w
    for k, (dt, _) in enumerate(kinds):
        if dt != np.int32:
            tops.append(None)
            continue
        t = [[None] * nc for _ in range(nr)]
        for b in range(nc):
            t[0][b] = dask.delayed(np.zeros)(x.chunks[1][b] + 1, dtype=np.int64)
            for a in range(1, nr):
                cs = dask.delayed(_margin, pure=True)(margins[a - 1][b], 2 * k + 1)
                t[a][b] = dask.delayed(_next_top, pure=True)(t[a - 1][b], lefts[k][a - 1][b], cs)
        tops.append(t)
    for b in range(nc):
        for a in range(nr):
            carries = []
            for k, (dt, _) in enumerate(kinds):
                if dt == np.int32:
                    carries.append((tops[k][a][b], lefts[k][a][b]))
                else:
                    above = None if a == 0 else dask.delayed(_last_row, pure=True)(tables[a - 1][b], k, b == 0)
                    carries.append((above, lefts[k][a][b]))
            tables[a][b] = dask.delayed(_tile_tables, pure=True)(blocks[a, b], kinds, carries, a == 0, b == 0,
                                                                threads)
    results = []
    for k, (dt, _) in enumerate(kinds):
        grid = [[da.from_delayed(dask.delayed(_pick, pure=True)(tables[a][b], k),
                                 shape=(x.chunks[0][a] + (a == 0), x.chunks[1][b] + (b == 0)), dtype=dt)
                 for b in range(nc)] for a in range(nr)]
        results.append(da.block(grid))
    return tuple(results) if squared else results[0]


# ---- Statistics -----------------------------------------------------------------------------

def _channels(x: da.Array, channel: Any) -> List[Optional[int]]:
    if x.ndim == 2:
        return [None]
    return [0, 1, 2] if channel is None else [int(channel)]


def _values(block: np.ndarray, c: Optional[int]) -> np.ndarray:
    return block if c is None else block[..., c]


def _selection(mask: Optional[np.ndarray], shape: Tuple[int, ...]) -> np.ndarray:
    return np.ones(shape, dtype=bool) if mask is None else mask != 0


def _is_float(x: da.Array) -> bool:
    return x.dtype == np.float32


def _mean_part(block: np.ndarray, mask: Optional[np.ndarray], cs: List[Optional[int]]) -> List[Tuple]:
    """Per channel: exact integer (sum, sum of squares, count); for float32
    (count, sum, sum of squares, sum of squared deviations from the tile's
    own mean), in double precision."""
    sel = _selection(mask, block.shape[:2])
    parts = []
    for c in cs:
        v = _values(block, c)[sel]
        n = int(v.size)
        if v.dtype == np.float32:
            d = v.astype(np.float64)
            s = float(d.sum())
            m2 = float(((d - s / n) ** 2).sum()) if n else 0.0
            parts.append((n, s, float((d * d).sum()), m2))
        else:
            w = v.astype(np.int64)
            parts.append((int(w.sum()), int((w * w).sum()), n))
    return parts


def _float_moments(parts: List[List[Tuple]], k: int) -> Tuple[int, float, float, float]:
    """Count, sum, sum of squares and sum of squared deviations from the
    mean over all tiles, merged in raster order of the tiles."""
    n, s, q, m2 = 0, 0.0, 0.0, 0.0
    for p in parts:
        nb, sb, qb, m2b = p[k]
        if nb == 0:
            continue
        if n:
            delta = sb / nb - s / n
            m2 += m2b + delta * delta * n * nb / (n + nb)
        else:
            m2 = m2b
        n, s, q = n + nb, s + sb, q + qb
    return n, s, q, m2


def _mean_finish(parts: List[List[Tuple]], is_float: bool, deviation: bool, many: bool) -> Any:
    means, devs = [], []
    for k in range(len(parts[0])):
        if is_float:
            n, s, q, m2 = _float_moments(parts, k)
            mean = s / n if n else 0.0
            dev = math.sqrt(abs(q / n - mean * mean)) if n else 0.0
            # The library's rule: where the one-pass formula cancels badly,
            # the deviation comes from the squared deviations themselves.
            if n and 0.05 * mean * mean > dev * dev:
                dev = math.sqrt(m2 / n)
        else:
            s = sum(p[k][0] for p in parts)
            q = sum(p[k][1] for p in parts)
            n = sum(p[k][2] for p in parts)
            # The library's final step on the exact sums, in double precision.
            mean = float(s) / float(n) if n else 0.0
            dev = math.sqrt(abs(float(q) / float(n) - mean * mean)) if n else 0.0
        means.append(mean)
        devs.append(dev)
    if not deviation:
        return tuple(means) if many else means[0]
    if many:
        return tuple(means), tuple(devs)
    return means[0], devs[0]


def _tiles(x: da.Array, *others: Optional[Any]) -> Tuple[np.ndarray, ...]:
    """Delayed tiles of the image and of the arrays that go with it (masks,
    second images), on one chunk grid."""
    x = x.rechunk(x.chunks[:2] + tuple((s,) for s in x.shape[2:]))
    grids = [x.to_delayed().reshape(x.numblocks[:2])]
    for o in others:
        if o is None:
            grids.append(None)
            continue
        a = as_dask(o, like=x).rechunk(x.chunks[:2] + tuple((s,) for s in np.shape(o)[2:]))
        if a.shape[:2] != x.shape[:2]:
            raise ValueError(f"zalcv.dask: an array of shape {a.shape} goes with an image of shape {x.shape}")
        grids.append(a.to_delayed().reshape(a.numblocks[:2]))
    return tuple(grids)


def _probe(fn: Any, x: da.Array, *args: Any, **kwargs: Any) -> Any:
    """The statistic on a small zero image: the library checks the dtype,
    channels and arguments before any task is built."""
    small = lambda a: None if a is None else np.zeros((2, 2) + tuple(np.shape(a)[2:]), dtype=getattr(a, "dtype", None))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return fn(small(x), *[small(a) if a is not None and np.ndim(a) >= 2 else a for a in args], **kwargs)


def _moments(fn: Any, img: Any, mask: Any, channel: Any, with_std: bool) -> Delayed:
    """Per-tile sums of the pixels (and their squares), combined in a fixed
    order by _mean_finish into the mean (and deviation) `fn` computes."""
    x = as_dask(img)
    _probe(fn, x, mask, channel=channel)
    cs = _channels(x, channel)
    tiles, masks = _tiles(x, mask)
    parts = [dask.delayed(_mean_part, pure=True)(tiles[a, b], None if masks is None else masks[a, b], cs)
             for a in range(tiles.shape[0]) for b in range(tiles.shape[1])]
    return dask.delayed(_mean_finish, pure=True)(parts, _is_float(x), with_std, len(cs) > 1)


def mean(img: Any, mask: Any = None, *, channel: Any = None) -> Delayed:
    """zalcv.mean over a dask array: a Delayed that computes to the same value
    (exact for integer images; float32 as described in the module)."""
    return _moments(_z.mean, img, mask, channel, False)


def mean_std(img: Any, mask: Any = None, *, channel: Any = None) -> Delayed:
    """zalcv.mean_std over a dask array: a Delayed of (mean, population
    standard deviation); exact for integer images."""
    return _moments(_z.mean_std, img, mask, channel, True)


def _extremes_part(block: np.ndarray, mask: Optional[np.ndarray], cs: List[Optional[int]], y0: int,
                   x0: int) -> List[Optional[Tuple]]:
    """The library's minimum and maximum of the tile with their first
    positions, in image coordinates; None where the tile selects nothing."""
    if mask is not None and not mask.any():
        return [None] * len(cs)
    out = []
    for c in cs:
        with use_threads(None):
            lo, hi, (lx, ly), (hx, hy) = _z.min_max_loc(block, mask, channel=c)
        out.append((lo, (ly + y0, lx + x0), hi, (hy + y0, hx + x0)))
    return out


def _extremes_finish(parts: List[List[Optional[Tuple]]], many: bool) -> Any:
    results = []
    for k in range(len(parts[0])):
        best = None
        for p in parts:
            t = p[k]
            if t is None:
                continue
            if best is None:
                best = list(t)
                continue
            lo, lat, hi, hat = t
            # Strictly better values win; equal values go to the first position in raster order.
            if lo < best[0] or (lo == best[0] and lat < best[1]):
                best[0], best[1] = lo, lat
            if hi > best[2] or (hi == best[2] and hat < best[3]):
                best[2], best[3] = hi, hat
        if best is None:
            results.append((0.0, 0.0, (0, 0), (0, 0)))
        else:
            results.append((best[0], best[2], (best[1][1], best[1][0]), (best[3][1], best[3][0])))
    return tuple(results) if many else results[0]


def min_max_loc(img: Any, mask: Any = None, *, channel: Any = None) -> Delayed:
    """zalcv.min_max_loc over a dask array: a Delayed of (min, max, (x, y) of
    the first minimum, (x, y) of the first maximum) in raster order of the
    whole image, exactly as the single call."""
    x = as_dask(img)
    _probe(_z.min_max_loc, x, mask, channel=channel)
    cs = _channels(x, channel)
    tiles, masks = _tiles(x, mask)
    starts_y = np.concatenate(([0], np.cumsum(x.chunks[0])[:-1]))
    starts_x = np.concatenate(([0], np.cumsum(x.chunks[1])[:-1]))
    parts = [dask.delayed(_extremes_part, pure=True)(tiles[a, b], None if masks is None else masks[a, b], cs,
                                                     int(starts_y[a]), int(starts_x[b]))
             for a in range(tiles.shape[0]) for b in range(tiles.shape[1])]
    return dask.delayed(_extremes_finish, pure=True)(parts, len(cs) > 1)


def _norm_part(a: np.ndarray, b: Optional[np.ndarray], mask: Optional[np.ndarray], kind: str, relative: bool,
               cs: List[Optional[int]]) -> List[Tuple]:
    """Per channel: the tile's maximum or sum for the norm (and for the norm
    of `b` when relative), with the library's arithmetic per element."""
    sel = _selection(mask, a.shape[:2])
    out = []
    for c in cs:
        va = _values(a, c)[sel]
        vb = None if b is None else _values(b, c)[sel]
        if va.dtype == np.float32:
            if vb is None:
                num_terms = np.abs(va) if kind != "l2" else (va * va).astype(np.float64)
            else:
                d = va - vb  # float32 difference
                num_terms = np.abs(d) if kind != "l2" else np.square(d.astype(np.float64))
            den_terms = None
            if relative:
                den_terms = np.abs(vb) if kind != "l2" else np.square(vb.astype(np.float64))
        else:
            w = va.astype(np.int64)
            num_terms = np.abs(w if vb is None else w - vb.astype(np.int64))
            if kind == "l2":
                num_terms = num_terms * num_terms
            den_terms = None
            if relative:
                den_terms = np.abs(vb.astype(np.int64))
                if kind == "l2":
                    den_terms = den_terms * den_terms
        out.append((_fold(num_terms, kind), None if den_terms is None else _fold(den_terms, kind)))
    return out


def _fold(terms: np.ndarray, kind: str) -> Any:
    if kind == "inf":
        return terms.max().item() if terms.size else 0
    if terms.dtype == np.int64:
        return int(terms.sum())
    return float(terms.astype(np.float64).sum())


def _norm_finish(parts: List[List[Tuple]], kind: str, relative: bool, many: bool) -> Any:
    values = []
    for k in range(len(parts[0])):
        nums = [p[k][0] for p in parts]
        num = float(max(nums) if kind == "inf" else sum(nums))
        if not relative:
            values.append(math.sqrt(num) if kind == "l2" else num)
            continue
        dens = [p[k][1] for p in parts]
        den = float(max(dens) if kind == "inf" else sum(dens))
        if not (den < 0.0) and not (den > 0.0):
            warnings.warn("norm: the norm of 'b' is zero: the relative norm is NaN or infinity [status 6]",
                          DivisionByZeroWarning, stacklevel=2)
            values.append(math.nan if not (num < 0.0) and not (num > 0.0) else math.inf)
        else:
            values.append(math.sqrt(num / den) if kind == "l2" else num / den)
    return tuple(values) if many else values[0]


def norm(a: Any, b: Any = None, kind: str = "l2", mask: Any = None, *, relative: bool = False,
         channel: Any = None) -> Delayed:
    """zalcv.norm over dask arrays: a Delayed of the same value. Integer
    images are exact (integer maxima and sums, then the library's final
    step); float32 'inf' norms are exact; float32 'l1' and 'l2' sum in double
    per tile and add the tiles in raster order."""
    x = as_dask(a)
    _probe(_z.norm, x, b, kind, mask, relative=relative, channel=channel)
    kind = str(kind).lower()
    cs = _channels(x, channel)
    tiles, others, masks = _tiles(x, b, mask)
    parts = [dask.delayed(_norm_part, pure=True)(tiles[i, j], None if others is None else others[i, j],
                                                 None if masks is None else masks[i, j], kind, relative, cs)
             for i in range(tiles.shape[0]) for j in range(tiles.shape[1])]
    return dask.delayed(_norm_finish, pure=True)(parts, kind, relative, len(cs) > 1)
