"""Distance transforms, flood fill, watershed, segment boundaries, fast
marching and inpainting."""

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi


def zero_mask(rng, shape, p=0.08):
    mask = (rng.random(shape) > p).astype(np.uint8) * 255
    mask[rng.integers(0, shape[0], shape[1]), np.arange(shape[1])] = 0  # a zero in every column
    return mask


def brute_distance(mask, a=None, b=None):
    """Distance to the nearest zero: Euclidean, or along 3x3 chamfer steps
    costing `a` (straight) and `b` (diagonal)."""
    zy, zx = np.nonzero(mask == 0)
    yy, xx = np.mgrid[: mask.shape[0], : mask.shape[1]]
    dy, dx = np.abs(yy[..., None] - zy), np.abs(xx[..., None] - zx)
    d = np.hypot(dx, dy) if a is None else b * np.minimum(dx, dy) + a * np.abs(dx - dy)
    return d.min(axis=-1)


def test_exact_distance_transform(rng):
    mask = zero_mask(rng, (13, 17))
    want = brute_distance(mask)
    _, view = roi(mask)
    np.testing.assert_allclose(zalcv.distance_transform(view), want, rtol=1e-6, atol=1e-5)
    scaled = zalcv.distance_transform(mask, dtype=np.uint16, scale_factor=-2)
    np.testing.assert_array_equal(scaled, np.minimum(np.round(want * 4), 32767))


@pytest.mark.parametrize("dtype, metric", [(np.uint8, "c"), (np.uint16, "l1"), (np.float32, "l2")])
def test_chamfer_distance_transform_3x3(rng, dtype, metric):
    mask = zero_mask(rng, (9, 12), 0.05)
    w = zalcv.distance_transform_weights(3, metric, np.float32 if dtype == np.float32 else np.int32)
    got = zalcv.distance_transform(mask, metric, exact=False, dtype=dtype)
    top = np.finfo(dtype).max if dtype == np.float32 else np.iinfo(dtype).max
    np.testing.assert_allclose(got, np.minimum(brute_distance(mask, *w.astype(np.float64)), top), rtol=1e-6)
    if dtype == np.uint8:
        assert zalcv.distance_transform(mask, metric, exact=False, dtype=np.uint8, out=mask) is mask
        np.testing.assert_array_equal(mask, got)
        np.testing.assert_array_equal(zalcv.distance_transform_weights(5, "l2"), [5, 7, 11])


@pytest.mark.parametrize("dtype, channels, conn, lohi", [(np.uint8, 1, 4, None), (np.float32, 3, 8, (1, 2)),
                                                         (np.uint8, 3, 4, (1, 2)), (np.float32, 1, 8, None)])
def test_flood_fill_connectivity_and_range(dtype, channels, conn, lohi):
    # A wall of 9 on the diagonal stops a 4-connected fill only; the 2 in the
    # top-right corner is within reach of the seed's 0 only with lo, hi = 1, 2.
    plane = 9 * np.eye(7)
    plane[0, 6] = 2
    img = (plane if channels == 1 else np.dstack([plane] * 3)).astype(dtype)
    side = np.triu(np.ones((7, 7), bool), 1) if conn == 4 else plane != 9
    filled = side & (plane <= (lohi[1] if lohi else 0))
    want = img.copy()
    want[filled] = 200
    ys, xs = np.nonzero(filled)
    kwargs = {} if lohi is None else {"lo": lohi[0], "hi": lohi[1]}
    r = zalcv.flood_fill(img, (4, 1), 200, connectivity=conn, **kwargs)
    np.testing.assert_array_equal(r.image, want)
    assert (r.area, r.rect) == (filled.sum(), (xs.min(), ys.min(), xs.max() - xs.min() + 1, ys.max() - ys.min() + 1))
    assert r.value == (200.0,) * channels
    big, view = roi(img)  # out=img fills in place; a view keeps its guards
    assert zalcv.flood_fill(view, (4, 1), 200, connectivity=conn, out=view, **kwargs).image is view
    np.testing.assert_array_equal(view, want)
    assert guards_intact(big)


def test_flood_fill_gradient_follows_a_ramp():
    ramp = np.tile(np.arange(0, 40, 2, dtype=np.uint8), (5, 1))
    assert zalcv.flood_fill(ramp, (0, 0), 255, lo=1, hi=1).area == 5
    grad = zalcv.flood_fill(ramp, (0, 0), 255, lo=2, hi=2, gradient=True)
    assert grad.area == ramp.size and (grad.image == 255).all()
    r = zalcv.flood_fill(np.zeros((4, 4), np.uint8), (0, 0), 0)  # the seed already holds the value
    assert r.area == 0 and (r.image == 0).all()


@pytest.mark.parametrize("metric", ["c", "l1", "l2", "fast_marching"])
def test_watershed_splits_at_the_ridge(metric):
    img = np.zeros((10, 21), np.uint8)
    img[:, 10] = 200  # a ridge in the middle column
    markers = np.zeros_like(img)
    markers[5, 2], markers[5, 18] = 1, 2
    labels = zalcv.watershed(img, markers, metric=metric)
    assert (labels[:, :10] == 1).all() and (labels[:, 11:] == 2).all()
    assert markers.sum() == 3  # the input is not touched
    painted = zalcv.watershed(img, markers, metric=metric, boundaries=4)
    assert (painted == 255).any() and set(np.unique(painted)) <= {1, 2, 255}


def test_bound_segments_connectivity():
    # A pixel becomes 255 when an earlier neighbour, not already 255, holds
    # another label; the diagonal counts with 8-connectivity only.
    labels = np.uint8([[1, 2], [2, 2]])
    np.testing.assert_array_equal(zalcv.bound_segments(labels, connectivity=4), [[1, 255], [255, 2]])
    np.testing.assert_array_equal(zalcv.bound_segments(labels, connectivity=8), [[1, 255], [255, 255]])


def test_fast_marching_signs():
    mask = np.zeros((15, 15), np.uint8)
    mask[5:10, 5:10] = 1
    t0 = zalcv.fast_marching(mask)
    assert (t0[mask > 0] > 0).all() and (t0[mask == 0] == 0).all() and t0[7, 7] == t0.max()
    t3 = zalcv.fast_marching(mask, 3.0)
    np.testing.assert_array_equal(t3[mask > 0], t0[mask > 0])
    assert t3[4, 7] < 0 and t3[0, 0] == 0


@pytest.mark.parametrize("method, channels", [("distance", 1), ("isophote", 3)])
def test_inpaint_fills_only_the_damage(rng, method, channels):
    img = np.full((20, 24) if channels == 1 else (20, 24, 3), 120, np.uint8)
    img[:, 12:] = 60
    mask = np.zeros((20, 24), np.uint8)
    mask[8:12, 4:8] = 1
    damaged = img.copy()
    damaged[mask > 0] = 0
    with zalcv.Inpainter(mask, 3, method) as fixer:
        got = fixer.inpaint(damaged)
        np.testing.assert_array_equal(fixer.inpaint(damaged), got)
    np.testing.assert_array_equal(got, img)  # a flat area is restored exactly, the rest copied
    undamaged = random_image(rng, (6, 7, 3), np.uint8)
    np.testing.assert_array_equal(zalcv.inpaint(undamaged, np.zeros((6, 7), np.uint8)), undamaged)
