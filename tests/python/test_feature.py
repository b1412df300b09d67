"""Canny, corner measures, colour gradient to gray and the fast arctangent."""

import numpy as np
import pytest

import zalcv
from conftest import random_image, roi


@pytest.mark.parametrize("dtype", [np.int16, np.float32])
def test_canny_finds_the_outline_of_a_square(dtype):
    img = np.zeros((32, 32), np.uint8)
    img[8:24, 8:24] = 200
    src = img if dtype == np.int16 else img.astype(np.float32)
    dx, dy = zalcv.sobel(src, 1, 0), zalcv.sobel(src, 0, 1)
    edges = zalcv.canny(dx.astype(dtype), dy.astype(dtype), 100, 300)
    assert edges.dtype == np.uint8 and set(np.unique(edges)) == {0, 255}
    ys, xs = np.nonzero(edges)
    # Thin outline around the square, nothing far from it.
    assert 7 <= ys.min() <= 8 and 23 <= ys.max() <= 24 and 7 <= xs.min() <= 8 and 23 <= xs.max() <= 24
    assert not edges[12:20, 12:20].any()
    assert zalcv.canny(dx, dy, 100, 10_000).sum() == 0


def test_canny_argument_checks():
    d = np.zeros((4, 4), np.int16)
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.canny(d, d, 10, 5)
    with pytest.raises(ValueError):
        zalcv.canny(d, np.zeros((4, 5), np.int16), 1, 2)
    with pytest.raises(TypeError):
        zalcv.canny(d, d.astype(np.float32), 1, 2)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("kernel, aperture", [("sobel", 3), ("sobel", 5), ("scharr", 3)])
def test_corner_measures_of_flat_and_corner_images(dtype, kernel, aperture):
    flat = np.full((12, 12), 50, dtype)
    assert not zalcv.min_eigenval(flat, kernel=kernel, aperture=aperture).any()
    img = np.zeros((16, 16), dtype)
    img[8:, 8:] = 200
    lam = zalcv.min_eigenval(img, kernel=kernel, aperture=aperture)
    ev = zalcv.eigen_vals_vecs(img, kernel=kernel, aperture=aperture)
    assert ev.shape == (16, 16, 6)
    # The corner gives the strongest response, straight edges none.
    y, x = np.unravel_index(np.argmax(lam), lam.shape)
    assert abs(y - 7.5) <= 2 and abs(x - 7.5) <= 2 and lam[y, x] > 0
    assert not lam[13:, :].any() or lam[13:, :].max() < 1e-3 * lam.max()
    # Same tensor in both layouts (apart from the pixels the vector form
    # reports as degenerate, all six values 0).
    live = ev[..., 0] > 0
    assert live.sum() > 0
    np.testing.assert_allclose(ev[..., 1][live], lam[live], rtol=1e-4, atol=1e-6)
    assert (ev[..., 0] >= ev[..., 1] - 1e-6).all()
    for v in (ev[..., 2:4], ev[..., 4:6]):
        np.testing.assert_allclose(np.hypot(v[..., 0], v[..., 1])[live], 1, atol=1e-3)
    with pytest.raises(zalcv.SizeError):
        zalcv.min_eigenval(img, aperture=4)
    if kernel == "scharr":
        with pytest.raises(zalcv.SizeError):
            zalcv.min_eigenval(img, kernel="scharr", aperture=5)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
def test_gradient_to_gray_norms(rng, dtype):
    img = random_image(rng, (5, 6, 3), dtype, 0, 250)
    c = img.astype(np.int64) if dtype != np.float32 else img.astype(np.float64)
    _, view = roi(img)
    if dtype == np.float32:
        np.testing.assert_array_equal(zalcv.gradient_to_gray(view, "max"), np.abs(img).max(2))
        np.testing.assert_allclose(zalcv.gradient_to_gray(view, "sum"), np.abs(c).sum(2), rtol=1e-6)
        np.testing.assert_allclose(zalcv.gradient_to_gray(view, "l2"), np.sqrt((c**2).sum(2)), rtol=1e-6)
        return
    np.testing.assert_array_equal(zalcv.gradient_to_gray(view, "max"), img.max(2))
    s = c.sum(2)
    want = (s * 1365 + 2048) >> 12 if dtype == np.uint8 else (s * 5461 + 8192) >> 14
    np.testing.assert_array_equal(zalcv.gradient_to_gray(view, "sum"), want)
    want = np.floor(np.sqrt((c**2).sum(2) / 3) + 0.5)
    np.testing.assert_allclose(zalcv.gradient_to_gray(view, "l2"), want, atol=1)
    with pytest.raises(ValueError):
        zalcv.gradient_to_gray(img[..., 0])


def test_fast_arctan_is_within_its_tolerance(rng):
    y = rng.uniform(-10, 10, 1000).astype(np.float32)
    x = rng.uniform(-10, 10, 1000).astype(np.float32)
    want = np.degrees(np.arctan2(y, x)) % 360
    got = zalcv.fast_arctan(y, x)
    diff = np.abs((got - want + 180) % 360 - 180)
    assert diff.max() < 0.15
    # out may alias an input exactly.
    zalcv.fast_arctan(y, x, out=y)
    np.testing.assert_array_equal(y, got)
    with pytest.raises(ValueError):
        zalcv.fast_arctan(x[:10], x[:11])
