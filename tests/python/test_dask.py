"""zalcv.dask: tiled operations equal the whole-image call bit for bit, on a
LocalCluster of two worker processes; carried sums, statistics, rejections,
the library's threads inside tasks, and a 12000 x 12000 image processed tile
by tile with bounded memory."""

import inspect
import re
import threading
import time
import warnings

import numpy as np
import pytest

dask = pytest.importorskip("dask", reason="zalcv.dask needs Dask (python3-dask)")
distributed = pytest.importorskip("distributed", reason="the tests run on a distributed.LocalCluster (python3-distributed)")
import dask.array as da  # noqa: E402

import zalcv  # noqa: E402
import zalcv.dask as zd  # noqa: E402
from zalcv import _tiling  # noqa: E402

pytestmark = pytest.mark.filterwarnings("ignore:Running on a single-machine scheduler", "ignore::DeprecationWarning")

SHAPE = (41, 35)


def images():
    rng = np.random.default_rng(2024)
    ints = lambda lo, hi, dtype, shape=SHAPE: rng.integers(lo, hi, shape, dtype=dtype)  # noqa: E731
    floats = lambda lo, hi, shape=SHAPE: rng.uniform(lo, hi, shape).astype(np.float32)  # noqa: E731
    return {"u8": ints(0, 256, np.uint8), "u8b": ints(0, 256, np.uint8), "f32": floats(-50, 50), "f32b": floats(-50, 50),
            "c3": ints(0, 256, np.uint8, SHAPE + (3,)), "s16": ints(-3000, 3000, np.int16), "acc": floats(-5, 5),
            "mask": ints(0, 2, np.uint8) * 255}


IMG = images()


class Key(str):
    """A keyword argument that names one of the images above."""
CROSS = np.array([[0, 1, 0, 0], [1, 1, 1, 0], [0, 1, 0, 1]], np.uint8)
CORNER = np.zeros((5, 5), np.uint8)
CORNER[3:, 3:] = 1  # members away from the anchor (0, 0): a shifted block

# (operation, image arguments by key, other arguments, keywords, reach
# ((rows before, after), (columns before, after)) worked out by hand).
CASES = [
    ("absdiff", ["u8", "u8b"], [], {}, ((0, 0), (0, 0))),
    ("copy", ["c3"], [], {}, ((0, 0), (0, 0))),
    ("gradient_to_gray", ["c3"], ["l2"], {}, ((0, 0), (0, 0))),
    ("fast_arctan", ["f32", "f32b"], [], {}, ((0, 0), (0, 0))),
    ("accumulate", ["u8", "acc"], [], {"mask": Key("mask")}, ((0, 0), (0, 0))),
    ("sobel", ["u8"], [1, 0, 5], {"border": "reflect"}, ((2, 2), (2, 2))),
    ("sobel", ["f32"], [0, 1, 3], {"border": "wrap"}, ((1, 1), (1, 1))),
    ("sobel", ["u8"], [1, 1, 3], {"border": "constant", "border_value": 7, "dtype": np.int8}, ((1, 1), (1, 1))),
    ("scharr", ["f32"], [1, 0], {"border": "reflect_edge"}, ((1, 1), (1, 1))),
    ("filter_row", ["f32"], [[1, 2, 3, 4, 5, 6], 1], {"border": "reflect"}, ((0, 0), (1, 4))),
    ("filter_row", ["c3"], [np.array([1, -2, 5], np.int16), 2], {"border": "wrap", "divisor": 2}, ((0, 0), (2, 0))),
    ("filter_column", ["s16"], [np.array([1, 2, 1], np.int16)], {"dtype": np.uint8, "divisor": 4}, ((0, 2), (0, 0))),
    ("sep_filter", ["u8"], [[1, 2, 1, 3], [1, 4, 6, 4, 1, 2, 2], (3, 1)],
     {"border": "wrap", "row_divisor": 2, "column_divisor": 3}, ((1, 5), (3, 0))),
    ("min_filter", ["c3"], [(5, 8), (7, 0)], {}, ((0, 4), (7, 0))),
    ("min_eigenval", ["u8"], [], {"aperture": 5, "window": 5}, ((4, 4), (4, 4))),
    ("eigen_vals_vecs", ["f32"], [], {"kernel": "scharr"}, ((2, 2), (2, 2))),
    ("dilate", ["u8"], [CROSS, (3, 0)], {}, ((0, 2), (3, 0))),
    ("dilate", ["c3"], [CORNER, (0, 0)], {}, ((0, 4), (0, 4))),
    ("opening", ["u8"], [CROSS, (0, 2)], {}, ((2, 2), (3, 3))),
    ("black_tophat", ["u8"], [np.ones((5, 2))], {}, ((4, 4), (1, 1))),
    ("erode", ["u8"], [np.zeros((3, 3))], {}, ((0, 0), (0, 0))),
    ("gray_dilate", ["u8"], [np.array([[1, -2, 3], [0, 4, -5]]), (2, 1)], {}, ((1, 0), (2, 0))),
    ("pyr_down", ["c3"], [], {}, ((2, 2), (2, 2))),
    ("pyr_up", ["u8"], [], {}, ((1, 1), (1, 1))),
    ("copy_subpix", ["u8"], [0.3, -1.7], {}, ((0, 1), (0, 1))),
    ("copy_subpix", ["u8"], [0.3, 0.6], {"dtype": np.uint16, "scale_factor": -2}, ((0, 1), (0, 1))),
]
IDS = [f"{c[0]}-{i}" for i, c in enumerate(CASES)]


def _keywords(kwargs, wrap=lambda a: a):
    return {k: wrap(IMG[v]) if isinstance(v, Key) else v for k, v in kwargs.items()}


def _reference(case):
    name, keys, args, kwargs, _ = case
    kw = _keywords(kwargs)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return getattr(zalcv, name)(*[IMG[k].copy() for k in keys], *args, **kw)


def _small_tiles(case):
    """Tiles little larger than the reach: halos that take most of a neighbouring tile."""
    (rb, ra), (cb, ca) = case[4]
    return (max(rb, ra, 4) + 1, max(cb, ca, 4) + 2)


def _tiled(case, chunks):
    name, keys, args, kwargs, _ = case
    kw = _keywords(kwargs, lambda a: da.from_array(a, chunks=chunks))
    arrays = [da.from_array(IMG[k], chunks=chunks + IMG[k].shape[2:]) for k in keys]
    return getattr(zd, name)(*arrays, *args, **kw)


CHUNKINGS = [(21, 19), (13, 11), None]  # None: _small_tiles


@pytest.fixture(scope="module")
def tiled_results(client):
    """Every case in odd tiles, computed on the cluster's worker processes;
    and in more, smaller tiles computed in this process (the same graphs
    with many times the tasks, which the cluster would only take longer to
    schedule)."""
    chunkings = [[c or _small_tiles(case) for c in CHUNKINGS] for case in CASES]
    on_cluster = dask.compute(*[_tiled(case, cs[0]) for case, cs in zip(CASES, chunkings)])
    here = [dask.compute(*[_tiled(case, cs[k]) for case, cs in zip(CASES, chunkings)], scheduler="threads")
            for k in (1, 2)]
    return [list(zip(cs, outs)) for cs, outs in zip(chunkings, zip(on_cluster, *here))]


def same_bits(a, b):
    return a.shape == b.shape and a.dtype == b.dtype and np.array_equal(a.view(np.uint8), b.view(np.uint8))


@pytest.mark.parametrize("index", range(len(CASES)), ids=IDS)
def test_tiles_equal_the_whole_image(tiled_results, index):
    case = CASES[index]
    name, keys, args, kwargs, expected = case
    # The halo is the operation's reach, no more: worked out by hand above.
    bound = inspect.signature(getattr(zd, name)).bind(*[IMG[k] for k in keys], *args, **_keywords(kwargs))
    assert zd.reach(name, **bound.arguments) == expected
    ref = _reference(case)
    for chunks, out in tiled_results[index]:
        assert same_bits(out, ref), f"{name} with chunks {chunks}: {np.count_nonzero(out != ref)} pixels differ"


def test_tiles_smaller_than_the_reach_numpy_inputs_and_views_of_inputs():
    img = IMG["u8"][:12, :10]
    for chunks in [(1, 1), (2, 3), (3, 1)]:  # tiles smaller than the reach merge
        out = zd.sobel(da.from_array(img, chunks=chunks), 1, 0, 5, border="reflect").compute(scheduler="threads")
        assert same_bits(out, zalcv.sobel(img, 1, 0, 5, border="reflect"))
    # A numpy image becomes one tile (or dask's automatic tiles); a reach
    # larger than the image leaves one tile whose library call sees the whole image.
    out = zd.box_filter(IMG["f32"], 5, border="wrap").compute(scheduler="threads")
    assert same_bits(out, zalcv.box_filter(IMG["f32"], 5, border="wrap"))
    out = zd.min_filter(da.from_array(IMG["f32"][:6, :5], chunks=(2, 2)), (31, 41)).compute(scheduler="threads")
    assert same_bits(out, zalcv.min_filter(IMG["f32"][:6, :5], (31, 41)))
    # In-process tasks get views of a numpy input: the library must not write into them.
    acc = IMG["acc"].copy()
    out = zd.accumulate(da.from_array(IMG["u8"], chunks=(13, 11)), acc).compute(scheduler="sync")
    assert same_bits(acc, IMG["acc"])
    assert same_bits(out, zalcv.accumulate(IMG["u8"], IMG["acc"].copy()))


@pytest.mark.parametrize("shape,chunks", [((67, 53), (13, 11)), ((64, 40), (7, 9)), ((1, 37), (1, 5)), ((29, 1), (3, 1))])
def test_pyramid_levels(shape, chunks):
    rng = np.random.default_rng(5)
    gray = rng.integers(0, 256, shape, dtype=np.uint8)
    colour = rng.uniform(-1, 1, shape + (3,)).astype(np.float32)
    with zalcv.Pyramid(gray, levels=4) as ref:
        got = dask.compute(*zd.pyramid(da.from_array(gray, chunks=chunks), 4), scheduler="threads")
        assert len(got) == len(ref) and all(same_bits(g, r) for g, r in zip(got, ref.levels))
    want = [colour]
    while len(want) <= 4 and want[-1].shape[:2] != (1, 1):
        want.append(zalcv.pyr_down(want[-1]))
    got = dask.compute(*zd.pyramid(da.from_array(colour, chunks=chunks + (3,)), 4), scheduler="threads")
    assert len(got) == len(want) and all(same_bits(g, w) for g, w in zip(got, want))


def test_fast_arctan_keeps_groups_of_four():
    # Rows of 7 values: groups of four cross row ends, so tiles must start
    # where the image's groups start.
    y, x = np.random.default_rng(3).uniform(-1, 1, (2, 30, 7)).astype(np.float32)
    out = zd.fast_arctan(da.from_array(y, chunks=(5, 3)), da.from_array(x, chunks=(5, 3))).compute(scheduler="threads")
    assert same_bits(out, zalcv.fast_arctan(y, x))
    flat = zd.fast_arctan(da.from_array(y.ravel(), chunks=9), x.ravel()).compute(scheduler="threads")
    assert same_bits(flat, zalcv.fast_arctan(y.ravel(), x.ravel()))


# ---- Integral tables: running sums carried across tiles ----------------------------------------------------------

@pytest.mark.parametrize("dtype,squared,sq_dtype", [("int32", False, None), ("float32", True, "float64"),
                                                    ("int32", True, "int32")])
def test_integral_tables(client, dtype, squared, sq_dtype):
    # Bright pixels push float32 sums past 2**24, where every rounding step
    # of the column accumulation shows; a tall image wraps int32 squares.
    img = np.random.default_rng(11).integers(180, 256, (301, 211), dtype=np.uint8)
    ref = zalcv.integral(img, dtype, 5, squared=squared, sq_dtype=sq_dtype, sq_initial=3)
    refs = ref if squared else (ref,)
    for chunks, scheduler in [((37, 41), None), ((301, 13), "threads"), ((5, 211), "threads")]:
        out = zd.integral(da.from_array(img, chunks=chunks), dtype, 5, squared=squared, sq_dtype=sq_dtype,
                          sq_initial=3)
        got = dask.compute(*out, scheduler=scheduler) if squared else (out.compute(scheduler=scheduler),)
        for g, r in zip(got, refs):
            assert same_bits(g, r), f"{dtype}/{sq_dtype} chunks {chunks}: {np.count_nonzero(g != r)} entries differ"
    # Sums past 2**31 from the initial value, squares past 2**32 from the pixels.
    img = np.full((300, 400), 255, np.uint8)
    ref = zalcv.integral(img, "int32", 2**31 - 9000, squared=True, sq_dtype="int32", sq_initial=-1)
    out = dask.compute(*zd.integral(da.from_array(img, chunks=(110, 170)), "int32", 2**31 - 9000, squared=True,
                                    sq_dtype="int32", sq_initial=-1), scheduler="threads")
    assert all(same_bits(o, r) for o, r in zip(out, ref))


# ---- Statistics: per-tile partial results in a fixed order ------------------------------------------------------

@pytest.mark.parametrize("key", ["u8", "c3", "f32"])
def test_statistics(key):
    img, other, exact = IMG[key], IMG[key][::-1].copy(), key != "f32"
    pairs = [(None, False), (other, False), (other, True)]  # (second image, relative)
    calls = []  # (what, results bit for bit, name, arguments after the image, keywords)
    for mask in [None, IMG["mask"], np.zeros(SHAPE, np.uint8)]:
        calls += [(fn, exact or fn == "min_max_loc", fn, (mask,), {}) for fn in ("mean", "mean_std", "min_max_loc")]
        calls += [(f"norm {kind} b={b is not None} rel={rel}", exact or kind == "inf", "norm", (b, kind, mask),
                   {"relative": rel}) for kind in ("inf", "l1", "l2") for b, rel in pairs]
    d = da.from_array(img, chunks=(13, 11) + img.shape[2:])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        got = dask.compute(*[getattr(zd, n)(d, *a, **k) for _, _, n, a, k in calls], scheduler="threads")
        refs = [getattr(zalcv, n)(img, *a, **k) for _, _, n, a, k in calls]
    for (what, exact, *_), g, r in zip(calls, got, refs):
        if exact:
            assert repr(g) == repr(r), what
        else:
            assert np.allclose(np.ravel(g), np.ravel(r), rtol=1e-12, atol=0, equal_nan=True), what


def test_statistics_positions_follow_raster_order_not_tile_order(client):
    # Equal minima in tiles (1, 0) and (1, 2): the first in raster order is in the later tile.
    img = np.full((30, 30), 9, np.uint8)
    img[15, 2] = img[12, 25] = img[19, 0] = 1
    img[18, 3] = img[11, 28] = 200
    ref = zalcv.min_max_loc(img)
    out = zd.min_max_loc(da.from_array(img, chunks=10)).compute()
    assert out == ref == (1.0, 200.0, (25, 12), (28, 11))


# ---- Rejections and argument checks ------------------------------------------------------------------------------

@pytest.mark.parametrize("name", sorted(zd.NOT_TILED))
def test_non_local_operations_say_why(name):
    with pytest.raises(zalcv.NotTileableError) as e:
        getattr(zd, name)(da.zeros((8, 8), dtype=np.uint8, chunks=4))
    assert f"cannot tile {name}" in str(e.value) and len(str(e.value)) > 60 and isinstance(e.value, ValueError)


X = da.zeros((20, 20), dtype=np.uint8, chunks=7)


@pytest.mark.parametrize("call, exc, phrase", [
    (lambda: zd.sobel(X, 1, 0, 4), zalcv.MaskSizeError, ""),
    (lambda: zd.box_filter(X.astype(np.int32)), TypeError, ""),
    (lambda: zd.copy(X, out=np.zeros((20, 20), np.uint8)), TypeError, "out"),
    (lambda: zd.absdiff(X, da.zeros((20, 21), dtype=np.uint8, chunks=7)), ValueError, "shape"),
    (lambda: zd.integral(X, tilted=True), zalcv.NotTileableError, "tilted"),
    (lambda: zd.integral(X.astype(np.float32)), TypeError, ""),
    (lambda: zd.mean(X.astype(np.int32)), TypeError, ""),
    (lambda: zd.norm(X, kind="l3"), ValueError, ""),
    (lambda: zd.fast_arctan(da.zeros((4, 4, 4), dtype=np.float32), da.zeros((4, 4, 4), dtype=np.float32)),
     zalcv.NotTileableError, ""),
] + [(lambda bad=bad: zd.box_filter(IMG["u8"], threads=bad), ValueError, "threads") for bad in (0, 1.5, True)])
def test_bad_arguments_fail_before_any_graph_runs(call, exc, phrase):
    with pytest.raises(exc, match=phrase):
        call()


# ---- The library's threads inside tasks ---------------------------------------------------------------------------

def test_library_threads_per_task(client):
    x = da.from_array(IMG["u8"], chunks=(13, 11))
    for threads, want in [(2, 2), (None, 1)]:
        zd.box_filter(x, threads=threads).compute()
        assert set(client.run(lambda: zalcv.get_num_threads()).values()) == {want}
    cores = client.run(lambda: __import__("os").cpu_count())
    zd.box_filter(x, threads="auto").compute()
    # One Dask thread per worker: each task may use all the worker's cores.
    assert client.run(lambda: zalcv.get_num_threads()) == cores


def test_the_count_changes_only_between_library_calls():
    # A task wanting another count waits for the running ones to leave.
    events = []

    def other_task():
        with _tiling.use_threads(1):
            events.append(zalcv.get_num_threads())

    with _tiling.use_threads(3):
        t = threading.Thread(target=other_task)
        t.start()
        with _tiling.use_threads(3):  # the same count does not wait
            time.sleep(0.2)
            events.append(zalcv.get_num_threads())
    t.join(5)
    assert events == [3, 1]


# ---- One image too large to hold twice: tile by tile, with bounded memory --------------------------------------

def _status_kb(field):
    return int(re.search(field + r":\s+(\d+)", open("/proc/self/status").read()).group(1))


def _reset_peak():
    """Restarts the process's peak resident size at its current size (None where it cannot)."""
    try:
        with open("/proc/self/clear_refs", "w") as f:
            f.write("5")
    except OSError:
        return None
    return _status_kb("VmRSS")


def _pattern(block, block_info=None):
    (y0, y1), (x0, x1) = block_info[0]["array-location"]
    return _pattern_at(y0, y1, x0, x1)


def _pattern_at(y0, y1, x0, x1):
    """Pixels as a function of their image position, so that any window can be
    made again without the whole image: (31 y + 17 x) ^ (y >> 3) ^ (x >> 2)
    modulo 256, with no temporary wider than the 8-bit tile."""
    yy, xx = np.arange(y0, y1, dtype=np.uint32), np.arange(x0, x1, dtype=np.uint32)
    low = lambda v: (v & 255).astype(np.uint8)  # noqa: E731
    return (low(yy * 31)[:, None] + low(xx * 17)[None, :]) ^ low(yy >> 3)[:, None] ^ low(xx >> 2)[None, :]


class _NpyRegion:
    """A .npy file on disk that tasks write regions of (opened per write)."""

    def __init__(self, path):
        self.path = path

    def __setitem__(self, key, value):
        m = np.load(self.path, mmap_mode="r+")
        m[key] = value
        m.flush()


def test_huge_image_runs_tile_by_tile_in_bounded_memory(client, tmp_path):
    n = 12000  # 144 MB of 8-bit pixels; the whole image is never held by any process
    x = da.zeros((n, n), dtype=np.uint8, chunks=1500).map_blocks(_pattern, dtype=np.uint8)
    y = zd.box_filter(x, 5)
    path = str(tmp_path / "box.npy")
    np.lib.format.open_memmap(path, mode="w+", dtype=np.uint8, shape=(n, n)).flush()
    base = client.run(_reset_peak)
    if any(v is None for v in base.values()):
        pytest.skip("the peak resident size cannot be reset here (/proc/self/clear_refs)")
    store = da.store(y, _NpyRegion(path), lock=False, compute=False)
    _, (lo, hi, at, _) = dask.compute(store, zd.min_max_loc(y))
    peak = client.run(_status_kb, "VmHWM")
    growth_mb = {w: (peak[w] - base[w]) / 1024 for w in base}
    print(f"\npeak resident growth per worker (MB): {growth_mb}")
    assert all(g < 100 for g in growth_mb.values()), growth_mb  # the image is 144 MB, its result as much again

    # Windows of the stored result, interior and at the image's edges and
    # corners, against the library on the window with a margin.
    result = np.load(path, mmap_mode="r")
    for y0, x0 in [(0, 0), (4997, 5995), (n - 40, 3001), (2999, n - 33), (n - 30, n - 30)]:
        y1, x1 = min(n, y0 + 40), min(n, x0 + 40)
        my0, mx0, my1, mx1 = max(0, y0 - 2), max(0, x0 - 2), min(n, y1 + 2), min(n, x1 + 2)
        want = zalcv.box_filter(_pattern_at(my0, my1, mx0, mx1), 5)[y0 - my0: y1 - my0, x0 - mx0: x1 - mx0]
        assert np.array_equal(result[y0:y1, x0:x1], want), (y0, x0)
    assert result[at[1], at[0]] == lo
