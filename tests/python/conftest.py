"""Shared helpers of the Python tests: random images, region-of-interest views
that carry a row stride, worker-count scopes and small references."""

import contextlib

import numpy as np
import pytest

import zalcv

PAD_MODES = {"replicate": "edge", "wrap": "wrap", "reflect": "reflect", "reflect_edge": "symmetric"}


@pytest.fixture
def rng():
    return np.random.default_rng(12345)


def random_image(rng, shape, dtype, lo=None, hi=None):
    dtype = np.dtype(dtype)
    if dtype.kind == "f":
        return rng.uniform(-100.0 if lo is None else lo, 100.0 if hi is None else hi, shape).astype(dtype)
    info = np.iinfo(dtype)
    return rng.integers(info.min if lo is None else lo, info.max if hi is None else hi, shape, endpoint=True).astype(dtype)


def shape_of(channels, rows=7, cols=9):
    return (rows, cols) if channels == 1 else (rows, cols, channels)


def roi(arr, pad=(3, 5)):
    """`arr` as a view into a larger array (rows padded by pad[0], columns by
    pad[1] on each side): the same values with a row stride the library must
    honour, and guard values around that must stay unchanged."""
    py, px = pad
    big = np.full((arr.shape[0] + 2 * py, arr.shape[1] + 2 * px) + arr.shape[2:], 77, dtype=arr.dtype)
    view = big[py : py + arr.shape[0], px : px + arr.shape[1]]
    view[...] = arr
    return big, view


def guards_intact(big, pad=(3, 5)):
    py, px = pad
    inner = np.zeros(big.shape[:2], dtype=bool)
    inner[py:-py, px:-px] = True
    return bool(np.all(big[~inner] == 77))


@pytest.fixture(scope="module")
def client():
    """A distributed.LocalCluster of two worker processes (one thread each) on
    the loopback interface, started and closed by the module that uses it."""
    distributed = pytest.importorskip("distributed")
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                       dashboard_address=":0", silence_logs=40)
    c = distributed.Client(cluster)
    yield c
    c.close()
    cluster.close()


@contextlib.contextmanager
def threads(n):
    old = zalcv.get_num_threads()
    zalcv.set_num_threads(n)
    try:
        yield
    finally:
        zalcv.set_num_threads(old)


def correlate(img, kernel, border="replicate", value=0, anchor=None):
    """Reference 2-D correlation in float64; `anchor` (x, y) defaults to the kernel centre."""
    kh, kw = kernel.shape
    ax, ay = (kw // 2, kh // 2) if anchor is None else anchor
    widths = ((ay, kh - 1 - ay), (ax, kw - 1 - ax)) + ((0, 0),) * (img.ndim - 2)
    a = img.astype(np.float64)
    p = np.pad(a, widths, mode="constant", constant_values=value) if border == "constant" else \
        np.pad(a, widths, mode=PAD_MODES[border])
    h, w = img.shape[:2]
    return sum(kernel[i, j] * p[i : i + h, j : j + w] for i in range(kh) for j in range(kw))


def window_reduce(img, shape, anchor, fn, footprint=None):
    """Reference min/max over a window of `shape` anchored at (x, y), pixels
    beyond the image replicating the edge; `footprint` selects members."""
    mh, mw = shape
    ax, ay = anchor
    p = np.pad(img, ((ay, mh - 1 - ay), (ax, mw - 1 - ax)) + ((0, 0),) * (img.ndim - 2), mode="edge")
    stack = [p[i : i + img.shape[0], j : j + img.shape[1]] for i in range(mh) for j in range(mw)
             if footprint is None or footprint[i, j]]
    return fn(np.stack(stack), axis=0) if stack else img.copy()
