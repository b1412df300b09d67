"""Shared helpers of the Python tests: random images, region-of-interest views
that carry a row stride, and worker-count scopes."""

import contextlib

import numpy as np
import pytest

import zalcv


@pytest.fixture
def rng():
    return np.random.default_rng(12345)


def random_image(rng, shape, dtype, lo=None, hi=None):
    dtype = np.dtype(dtype)
    if dtype.kind == "f":
        lo = -100.0 if lo is None else lo
        hi = 100.0 if hi is None else hi
        return rng.uniform(lo, hi, shape).astype(dtype)
    info = np.iinfo(dtype)
    lo = info.min if lo is None else lo
    hi = info.max if hi is None else hi
    return rng.integers(lo, hi, shape, endpoint=True).astype(dtype)


def roi(arr, pad=(3, 5)):
    """`arr` as a view into a larger array (rows padded by pad[0], columns by
    pad[1] on each side): the same values with a row stride the library must
    honour, and guard values around that must stay unchanged."""
    py, px = pad
    shape = (arr.shape[0] + 2 * py, arr.shape[1] + 2 * px) + arr.shape[2:]
    big = np.full(shape, 77, dtype=arr.dtype)
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


def correlate(img, kernel, border="replicate", value=0):
    """Reference 2-D correlation (kernel centred, float64) with numpy padding."""
    kh, kw = kernel.shape
    ph, pw = kh // 2, kw // 2
    mode = {"replicate": "edge", "wrap": "wrap", "reflect": "reflect", "reflect_edge": "symmetric"}
    a = img.astype(np.float64)
    if border == "constant":
        p = np.pad(a, ((ph, ph), (pw, pw)), mode="constant", constant_values=value)
    else:
        p = np.pad(a, ((ph, ph), (pw, pw)), mode=mode[border])
    out = np.zeros(a.shape)
    for i in range(kh):
        for j in range(kw):
            out += kernel[i, j] * p[i : i + a.shape[0], j : j + a.shape[1]]
    return out


def window_reduce(img, shape, anchor, fn, footprint=None):
    """Reference min/max over a window of `shape` anchored at (x, y), pixels
    beyond the image replicating the edge; `footprint` selects members."""
    mh, mw = shape
    ax, ay = anchor
    p = np.pad(img, ((ay, mh - 1 - ay), (ax, mw - 1 - ax)) + ((0, 0),) * (img.ndim - 2), mode="edge")
    stack = [
        p[i : i + img.shape[0], j : j + img.shape[1]]
        for i in range(mh)
        for j in range(mw)
        if footprint is None or footprint[i, j]
    ]
    if not stack:
        return img.copy()
    return fn(np.stack(stack), axis=0)
