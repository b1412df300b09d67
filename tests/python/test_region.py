"""Distance transforms, flood fill, watershed, segment boundaries, fast
marching and inpainting."""

import collections

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi


def zero_mask(rng, shape, p=0.08):
    mask = (rng.random(shape) > p).astype(np.uint8) * 255
    mask[rng.integers(0, shape[0], shape[1]), np.arange(shape[1])] = 0  # a zero in every column
    return mask


def brute_distance(mask, metric):
    zy, zx = np.nonzero(mask == 0)
    yy, xx = np.mgrid[: mask.shape[0], : mask.shape[1]]
    dy = np.abs(yy[..., None] - zy)
    dx = np.abs(xx[..., None] - zx)
    d = {"l2": np.hypot(dx, dy), "c": np.maximum(dx, dy), "l1": dx + dy}[metric]
    return d.min(axis=-1)


def test_exact_distance_transform(rng):
    mask = zero_mask(rng, (13, 17))
    want = brute_distance(mask, "l2")
    _, view = roi(mask)
    np.testing.assert_allclose(zalcv.distance_transform(view), want, rtol=1e-6, atol=1e-5)
    scaled = zalcv.distance_transform(mask, dtype=np.uint16, scale_factor=-2)
    np.testing.assert_array_equal(scaled, np.minimum(np.round(want * 4), 32767))
    with pytest.raises(ValueError):
        zalcv.distance_transform(mask, "l1")  # exact is Euclidean only


def chamfer_ref(mask, weights, top):
    a, b = weights
    d = np.where(mask == 0, 0.0, float(top))
    h, w = d.shape
    fwd = [(0, -1, a), (-1, -1, b), (-1, 0, a), (-1, 1, b)]
    for y in range(h):
        for x in range(w):
            for oy, ox, c in fwd:
                if 0 <= y + oy < h and 0 <= x + ox < w:
                    d[y, x] = min(d[y, x], min(d[y + oy, x + ox] + c, top))
    for y in reversed(range(h)):
        for x in reversed(range(w)):
            for oy, ox, c in fwd:
                if 0 <= y - oy < h and 0 <= x - ox < w:
                    d[y, x] = min(d[y, x], min(d[y - oy, x - ox] + c, top))
    return d


@pytest.mark.parametrize("dtype, top", [(np.uint8, 255), (np.uint16, 65535), (np.float32, np.finfo(np.float32).max)])
@pytest.mark.parametrize("metric", ["c", "l1", "l2"])
def test_chamfer_distance_transform_3x3(rng, dtype, top, metric):
    mask = zero_mask(rng, (9, 12), 0.05)
    wdt = np.float32 if dtype == np.float32 else np.int32
    w = zalcv.distance_transform_weights(3, metric, wdt)
    want = chamfer_ref(mask, w.astype(np.float64), top)
    got = zalcv.distance_transform(mask, metric, exact=False, dtype=dtype)
    np.testing.assert_allclose(got, want, rtol=1e-6)
    if metric != "l2":
        np.testing.assert_array_equal(got, brute_distance(mask, metric) * (w[0] if metric != "l2" else 1))
    if dtype == np.uint8:
        m = mask.copy()
        assert zalcv.distance_transform(m, metric, exact=False, dtype=np.uint8, out=m) is m
        np.testing.assert_array_equal(m, got)


def test_chamfer_weights_are_checked(rng):
    mask = zero_mask(rng, (5, 5))
    with pytest.raises(zalcv.MetricError):
        zalcv.distance_transform(mask, exact=False, weights=[0, 1], dtype=np.uint8)
    with pytest.raises(ValueError):
        zalcv.distance_transform(mask, exact=False, weights=[1, 2, 3])
    with pytest.raises(ValueError):
        zalcv.distance_transform(mask, exact=False, weights=[1.5, 2], dtype=np.uint8)
    np.testing.assert_array_equal(zalcv.distance_transform_weights(5, "l2"), [5, 7, 11])


def flood_ref(img, seed, new, lo, hi, conn):
    """Breadth-first fill of the pixels connected to seed (x, y) whose value lies
    within [seed - lo, seed + hi] in every channel."""
    a = img.astype(np.float64)
    pix = a if a.ndim == 3 else a[..., None]
    sx, sy = seed
    s = pix[sy, sx].copy()
    ok = np.all((pix >= s - lo) & (pix <= s + hi), axis=-1)
    steps = [(0, 1), (1, 0), (0, -1), (-1, 0)] + ([(1, 1), (1, -1), (-1, 1), (-1, -1)] if conn == 8 else [])
    seen = np.zeros(ok.shape, bool)
    seen[sy, sx] = True
    q = collections.deque([(sy, sx)])
    while q:
        y, x = q.popleft()
        for dy, dx in steps:
            ny, nx = y + dy, x + dx
            if 0 <= ny < ok.shape[0] and 0 <= nx < ok.shape[1] and ok[ny, nx] and not seen[ny, nx]:
                seen[ny, nx] = True
                q.append((ny, nx))
    out = img.copy()
    out[seen] = new
    ys, xs = np.nonzero(seen)
    return out, int(seen.sum()), (xs.min(), ys.min(), xs.max() - xs.min() + 1, ys.max() - ys.min() + 1)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("channels", [1, 3])
@pytest.mark.parametrize("conn", [4, 8])
@pytest.mark.parametrize("lohi", [None, (1, 2)])
def test_flood_fill_against_breadth_first_fill(rng, dtype, channels, conn, lohi):
    shape = (12, 15) if channels == 1 else (12, 15, 3)
    img = random_image(rng, shape, dtype, 0, 3).astype(dtype)
    if dtype == np.float32:
        img = np.round(img)
    seed = (7, 5)
    new = 200
    lo, hi = lohi if lohi else (0, 0)
    want, area, rect = flood_ref(img, seed, new, lo, hi, conn)
    kwargs = {} if lohi is None else {"lo": lo, "hi": hi}
    r = zalcv.flood_fill(img, seed, new, connectivity=conn, **kwargs)
    np.testing.assert_array_equal(r.image, want)
    assert (r.area, r.rect) == (area, rect)
    assert r.value == (200.0,) * channels
    # out=img fills in place; a view keeps its guards.
    big, view = roi(img)
    assert zalcv.flood_fill(view, seed, new, connectivity=conn, out=view, **kwargs).image is view
    np.testing.assert_array_equal(view, want)
    assert guards_intact(big)


def test_flood_fill_gradient_follows_a_ramp():
    ramp = np.tile(np.arange(0, 40, 2, dtype=np.uint8), (5, 1))
    plain = zalcv.flood_fill(ramp, (0, 0), 255, lo=1, hi=1)
    grad = zalcv.flood_fill(ramp, (0, 0), 255, lo=2, hi=2, gradient=True)
    assert plain.area == 5 and grad.area == ramp.size
    assert (grad.image == 255).all()


def test_flood_fill_errors_leave_out_alone():
    img = np.zeros((4, 4), np.uint8)
    out = np.full((4, 4), 9, np.uint8)
    with pytest.raises(zalcv.OutOfRangeError, match="seed"):
        zalcv.flood_fill(img, (4, 0), 1, out=out)
    assert (out == 9).all()
    r = zalcv.flood_fill(img, (0, 0), 0)  # seed already holds the value
    assert r.area == 0 and (r.image == 0).all()
    with pytest.raises(ValueError):
        zalcv.flood_fill(np.zeros((3, 3, 3), np.uint8), (0, 0), (1, 2))


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


def test_bound_segments_matches_reference(rng):
    labels = rng.integers(1, 4, (8, 9)).astype(np.uint8)
    for conn in (4, 8):
        want = labels.copy()
        nbrs = [(0, -1), (-1, 0)] + ([(-1, -1), (-1, 1)] if conn == 8 else [])
        for y in range(8):
            for x in range(9):
                for dy, dx in nbrs:
                    ny, nx = y + dy, x + dx
                    if 0 <= ny and 0 <= nx < 9 and want[ny, nx] != 255 and want[ny, nx] != labels[y, x]:
                        want[y, x] = 255
                        break
        np.testing.assert_array_equal(zalcv.bound_segments(labels, connectivity=conn), want)


def test_fast_marching_signs():
    mask = np.zeros((15, 15), np.uint8)
    mask[5:10, 5:10] = 1
    t0 = zalcv.fast_marching(mask)
    assert (t0[mask > 0] > 0).all() and (t0[mask == 0] == 0).all()
    assert t0[7, 7] == t0.max()
    t3 = zalcv.fast_marching(mask, 3.0)
    np.testing.assert_array_equal(t3[mask > 0], t0[mask > 0])
    assert (t3[4, 7] < 0) and t3[0, 0] == 0
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.fast_marching(mask, float("nan"))


@pytest.mark.parametrize("method", ["distance", "isophote"])
@pytest.mark.parametrize("channels", [1, 3])
def test_inpaint_fills_only_the_damage(rng, method, channels):
    shape = (20, 24) if channels == 1 else (20, 24, 3)
    img = np.full(shape, 120, np.uint8)
    img[:, 12:] = 60
    mask = np.zeros((20, 24), np.uint8)
    mask[8:12, 4:8] = 1
    damaged = img.copy()
    damaged[mask > 0] = 0
    with zalcv.Inpainter(mask, 3, method) as fixer:
        got = fixer.inpaint(damaged)
        again = fixer.inpaint(damaged)
    np.testing.assert_array_equal(got[mask == 0], img[mask == 0])
    np.testing.assert_array_equal(got[mask > 0], img[mask > 0])  # a flat area is restored exactly
    np.testing.assert_array_equal(again, got)
    with pytest.raises(ValueError, match="closed"):
        fixer.inpaint(damaged)


def test_inpaint_without_damage_copies_and_checks_size(rng):
    img = random_image(rng, (6, 7, 3), np.uint8)
    np.testing.assert_array_equal(zalcv.inpaint(img, np.zeros((6, 7), np.uint8)), img)
    with pytest.raises(ValueError):
        zalcv.inpaint(img, np.zeros((6, 8), np.uint8))
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.Inpainter(np.ones((6, 7), np.uint8), radius=0.5)
