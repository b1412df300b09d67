"""Canny, corner measures, colour gradient to gray and the fast arctangent."""

import numpy as np
import pytest

import zalcv
from conftest import random_image, roi


@pytest.mark.parametrize("dtype", [np.int16, np.float32])
def test_canny_finds_the_outline_of_a_square(dtype):
    img = np.zeros((32, 32), np.uint8 if dtype == np.int16 else np.float32)
    img[8:24, 8:24] = 200
    dx, dy = zalcv.sobel(img, 1, 0).astype(dtype), zalcv.sobel(img, 0, 1).astype(dtype)
    edges = zalcv.canny(dx, dy, 100, 300)
    assert edges.dtype == np.uint8 and set(np.unique(edges)) == {0, 255}
    ys, xs = np.nonzero(edges)
    # Thin outline around the square, nothing far from it.
    assert 7 <= ys.min() <= 8 and 23 <= ys.max() <= 24 and 7 <= xs.min() <= 8 and 23 <= xs.max() <= 24
    assert not edges[12:20, 12:20].any()
    assert zalcv.canny(dx, dy, 100, 10_000).sum() == 0


@pytest.mark.parametrize("dtype, kernel, aperture", [(np.uint8, "sobel", 3), (np.float32, "sobel", 5),
                                                     (np.uint8, "scharr", 3)])
def test_corner_measures_of_flat_and_corner_images(dtype, kernel, aperture):
    assert not zalcv.min_eigenval(np.full((12, 12), 50, dtype), kernel=kernel, aperture=aperture).any()
    img = np.zeros((16, 16), dtype)
    img[8:, 8:] = 200
    lam = zalcv.min_eigenval(img, kernel=kernel, aperture=aperture)
    ev = zalcv.eigen_vals_vecs(img, kernel=kernel, aperture=aperture)
    # The corner gives the strongest response, straight edges none.
    y, x = np.unravel_index(np.argmax(lam), lam.shape)
    assert abs(y - 7.5) <= 2 and abs(x - 7.5) <= 2 and lam[y, x] > 0
    assert lam[13:, :].max() < 1e-3 * lam.max()
    # The same tensor in both layouts (apart from the pixels the vector form
    # reports as degenerate, all six values 0).
    live = ev[..., 0] > 0
    assert ev.shape == (16, 16, 6) and live.sum() > 0
    np.testing.assert_allclose(ev[..., 1][live], lam[live], rtol=1e-4, atol=1e-6)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_gradient_to_gray_norms(rng, dtype):
    img = random_image(rng, (5, 6, 3), dtype, 0, 250)
    _, view = roi(img)
    np.testing.assert_array_equal(zalcv.gradient_to_gray(view, "max"), img.max(2))
    # Integer results hold the channels' mean and root mean square, rounded.
    n, atol = (1, 0) if dtype == np.float32 else (3, 0.5)
    c = img.astype(np.float64)
    np.testing.assert_allclose(zalcv.gradient_to_gray(view, "sum"), c.sum(2) / n, rtol=1e-6, atol=atol)
    np.testing.assert_allclose(zalcv.gradient_to_gray(view, "l2"), np.sqrt((c**2).sum(2) / n), rtol=1e-6, atol=2 * atol)


def test_fast_arctan_is_within_its_tolerance(rng):
    y, x = rng.uniform(-10, 10, (2, 1000)).astype(np.float32)
    want = np.degrees(np.arctan2(y, x)) % 360
    got = zalcv.fast_arctan(y, x)
    assert np.abs((got - want + 180) % 360 - 180).max() < 0.15
    zalcv.fast_arctan(y, x, out=y)  # out may alias an input exactly
    np.testing.assert_array_equal(y, got)
