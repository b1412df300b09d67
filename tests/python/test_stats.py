"""Accumulation and masked statistics against numpy references, over dtypes,
channel counts, masks and region-of-interest views."""

import numpy as np
import pytest

import zalcv
from conftest import random_image, roi, shape_of

DTYPES = [np.uint8, np.int8, np.uint16, np.float32]


@pytest.mark.parametrize("dtype, masked", [(np.uint8, True), (np.int8, False), (np.uint16, False), (np.float32, True)])
def test_accumulators_follow_single_precision_steps(rng, dtype, masked):
    src, src2 = random_image(rng, (5, 7), dtype, 0, 50), random_image(rng, (5, 7), dtype, 0, 50)
    mask = (rng.random((5, 7)) < 0.5).astype(np.uint8) if masked else None
    sel = np.ones((5, 7), bool) if mask is None else mask.astype(bool)
    s, s2 = src.astype(np.float32), src2.astype(np.float32)
    acc0 = rng.uniform(-5, 5, (5, 7)).astype(np.float32)
    for run, want in [
        (lambda acc: zalcv.accumulate(src, acc, mask=mask), acc0 + s),
        (lambda acc: zalcv.accumulate_square(src, acc, mask=mask), acc0 + s * s),
        (lambda acc: zalcv.accumulate_product(src, src2, acc, mask=mask), acc0 + s * s2),
        (lambda acc: zalcv.accumulate_weighted(src, acc, 0.25, mask=mask), acc0 + (s - acc0) * np.float32(0.25)),
    ]:
        _, acc = roi(acc0.copy())
        assert run(acc) is acc
        np.testing.assert_array_equal(acc, np.where(sel, want, acc0))


@pytest.mark.parametrize("dtype, channels, masked", [(np.uint8, 3, True), (np.int8, 1, False), (np.uint16, 1, True),
                                                    (np.float32, 3, False)])
def test_mean_std_minmax_per_channel(rng, dtype, channels, masked):
    img = random_image(rng, shape_of(channels, 6, 9), dtype, 0 if dtype != np.int8 else -100, 100)
    _, view = roi(img)
    mask = (rng.random((6, 9)) < 0.6).astype(np.uint8) if masked else None
    sel = np.ones((6, 9), bool) if mask is None else mask.astype(bool)
    results = zalcv.mean(view, mask), *zalcv.mean_std(view, mask), zalcv.min_max_loc(view, mask)
    if channels == 1:
        results = [(r,) for r in results]
    for c, (mean, mu, sd, (lo, hi, lo_at, hi_at)) in enumerate(zip(*results)):
        plane = (img if channels == 1 else img[..., c]).astype(np.float64)
        assert mean == pytest.approx(plane[sel].mean(), rel=1e-12) and mu == pytest.approx(plane[sel].mean(), rel=1e-12)
        assert sd == pytest.approx(plane[sel].std(), rel=1e-6, abs=1e-9)
        plane[~sel] = np.nan
        assert (lo, hi) == (np.nanmin(plane), np.nanmax(plane))
        # First occurrence in raster order, as (x, y).
        assert lo_at == tuple(np.argwhere(plane == lo)[0][::-1]) and hi_at == tuple(np.argwhere(plane == hi)[0][::-1])
    if channels == 3:
        assert zalcv.mean(img, mask, channel=2) == results[0][2]


def test_statistics_of_an_empty_selection_are_zero():
    img, none = np.arange(6, dtype=np.uint8).reshape(2, 3), np.zeros((2, 3), np.uint8)
    assert zalcv.mean(img, none) == 0.0 and zalcv.min_max_loc(img, none) == (0.0, 0.0, (0, 0), (0, 0))


@pytest.mark.parametrize("dtype", DTYPES)
@pytest.mark.parametrize("kind", ["inf", "l1", "l2"])
def test_norms_match_numpy(rng, dtype, kind):
    a, b = (random_image(rng, (5, 8), dtype, 0 if dtype != np.int8 else -60, 60) for _ in range(2))
    mask = (rng.random((5, 8)) < 0.7).astype(np.uint8)
    sel = mask.astype(bool)
    ord_ = {"inf": np.inf, "l1": 1, "l2": 2}[kind]
    fa, fb = a.astype(np.float64)[sel], b.astype(np.float64)[sel]
    # Integer differences are exact; float32 ones are formed in single precision.
    diff = (a[sel] - b[sel]).astype(np.float64) if dtype == np.float32 else fa - fb
    tol = 1e-6 if dtype == np.float32 else 1e-12  # float32 squares are single precision
    assert zalcv.norm(a, kind=kind, mask=mask) == pytest.approx(np.linalg.norm(fa, ord_), rel=tol)
    assert zalcv.norm(a, b, kind, mask) == pytest.approx(np.linalg.norm(diff, ord_), rel=tol)
    rel = np.linalg.norm(diff, ord_) / np.linalg.norm(fb, ord_)
    assert zalcv.norm(a, b, kind, mask, relative=True) == pytest.approx(rel, rel=1e-6)
    assert zalcv.norm(a, kind=kind) == pytest.approx(np.linalg.norm(a.astype(np.float64).ravel(), ord_), rel=tol)


def test_relative_norm_with_zero_denominator_warns_and_returns_inf():
    with pytest.warns(zalcv.DivisionByZeroWarning):
        got = zalcv.norm(np.ones((2, 2, 3), np.uint8), np.zeros((2, 2, 3), np.uint8), "l1", relative=True)
    assert got == (np.inf, np.inf, np.inf)
