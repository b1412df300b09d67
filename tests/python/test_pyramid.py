"""Gaussian levels, general layers, pyramid objects, sub-pixel copies and
Lucas-Kanade tracking."""

import numpy as np
import pytest

import zalcv
from conftest import correlate, guards_intact, random_image, roi, shape_of

G = np.array([1, 4, 6, 4, 1], np.float64)


@pytest.mark.parametrize("dtype, channels", [(np.uint8, 3), (np.int8, 1), (np.float32, 3)])
def test_pyr_down_is_the_gaussian_every_second_pixel(rng, dtype, channels):
    img = random_image(rng, shape_of(channels, 9, 12), dtype, 0 if dtype != np.int8 else -100, 100)
    _, view = roi(img)
    got = zalcv.pyr_down(view)
    assert got.shape[:2] == (5, 6) and got.dtype == dtype
    v = correlate(img, np.outer(G, G), "reflect")[::2, ::2]  # the reflected image, edge not repeated
    if dtype == np.float32:
        np.testing.assert_allclose(got, v / 256, rtol=1e-5, atol=1e-4)
    else:
        np.testing.assert_array_equal(got, (v.astype(np.int64) + 128) >> 8)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_pyr_up_doubles_and_keeps_constants(dtype):
    big, out = roi(np.zeros((6, 10, 3), dtype))
    assert zalcv.pyr_up(np.full((3, 5, 3), 40, dtype), out=out) is out
    assert guards_intact(big) and (out == 40).all() and zalcv.pyr_up(np.full((3, 5), 9, dtype)).shape == (6, 10)


@pytest.mark.parametrize("dtype, channels, rate", [(np.uint8, 1, 2.0), (np.uint16, 3, 1.5), (np.float32, 3, 2.0)])
def test_pyramid_layer_shapes_and_constant_images(dtype, channels, rate):
    img = np.full(shape_of(channels, 17, 23), 100, dtype)
    with zalcv.PyramidLayer(rate) as layer:
        down = layer.down(img)
        assert down.shape[:2] == zalcv.pyramid_down_shape(img.shape, rate)
        np.testing.assert_allclose(down, 100, atol=1)
        lo, hi = zalcv.pyramid_up_range(down.shape, rate)
        up = layer.up(down, img.shape[:2])
        assert up.shape == img.shape and lo[0] <= img.shape[0] <= hi[0]
        np.testing.assert_allclose(up, 100, atol=1)
        assert layer.up(down).shape[:2] == hi


def test_pyramid_layer_kernels():
    img = np.zeros((8, 8), np.uint8)
    with pytest.warns(zalcv.AsymmetricKernelWarning):
        zalcv.PyramidLayer(2.0, [1, 2, 3]).down(img)
    zalcv.PyramidLayer(2.0, [0.25, 0.5, 0.25]).down(img.astype(np.float32))


def test_pyramid_owns_its_levels(rng):
    img = random_image(rng, (33, 40), np.uint8)
    p = zalcv.Pyramid(img, levels=10)
    assert p.levels[0].shape == (33, 40) and p.levels[-1].shape == (1, 1)
    assert len(p) == p.top_level + 1 and p.scales[:3] == [1.0, 0.5, 0.25]
    np.testing.assert_array_equal(p[1], zalcv.pyr_down(img))
    img[...] = 0  # level 0 is a private copy
    assert p[0].any()
    assert [lvl.shape for lvl in zalcv.Pyramid(img.astype(np.uint16), levels=2).levels] == [(33, 40), (17, 20), (9, 10)]


def bilinear(img, x, y):
    x0, y0 = int(np.floor(x)), int(np.floor(y))
    fx, fy = x - x0, y - y0
    a = img.astype(np.float64)[y0 : y0 + 2, x0 : x0 + 2]
    return a[0, 0] * (1 - fx) * (1 - fy) + a[0, 1] * fx * (1 - fy) + a[1, 0] * (1 - fx) * fy + a[1, 1] * fx * fy


@pytest.mark.parametrize("src, dst", [(np.uint8, np.uint8), (np.uint16, np.float32), (np.float32, np.float32),
                                      (np.uint8, np.uint16)])
def test_copy_subpix_interpolates(rng, src, dst):
    img = random_image(rng, (6, 7), src, 0, 1000 if src != np.uint8 else 255)
    got = zalcv.copy_subpix(img, 2.25, -0.5, dtype=dst)
    assert got.shape == (5, 6) and got.dtype == dst
    want = np.array([[bilinear(img, x + 0.25, y + 0.5) for x in range(6)] for y in range(5)])
    np.testing.assert_allclose(got, want, atol=1.0 if dst != np.float32 else 1e-3)


def test_rect_subpix_reports_the_valid_range(rng):
    img = random_image(rng, (10, 12), np.float32, 0, 10)
    r = zalcv.rect_subpix(img, (5.5, 4.25), (3, 5))
    np.testing.assert_allclose(r.patch, [[bilinear(img, 3.5 + x, 3.25 + y) for x in range(5)] for y in range(3)], rtol=1e-5)
    assert r.valid_min == (0, 0) and r.valid_max == (4, 2)
    edge = zalcv.rect_subpix(img, (0.0, 0.0), (3, 3))
    assert edge.valid_min == (1, 1)
    np.testing.assert_allclose(edge.patch[0, 0], img[0, 0])


def smooth_scene(shape, shift=(0.0, 0.0)):
    yy, xx = np.mgrid[: shape[0], : shape[1]].astype(np.float64)
    xx, yy = xx - shift[0], yy - shift[1]
    return 128 + 60 * np.sin(xx / 5.0) * np.cos(yy / 7.0) + 30 * np.sin((xx + yy) / 11.0)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_lucas_kanade_recovers_a_shift(dtype):
    a = smooth_scene((64, 80)).astype(dtype)
    b = smooth_scene((64, 80), (2.0, -1.0)).astype(dtype)
    pts = np.float32([[30, 30], [40, 25], [50, 35]])
    with zalcv.LucasKanade(window=11, levels=2, max_iter=30, threshold=0.01) as lk:
        r = lk.track(a, b, pts)
        np.testing.assert_array_equal(r.status, 0)
        np.testing.assert_allclose(r.points - pts, [[2.0, -1.0]] * 3, atol=0.25)
        same = lk.track(zalcv.Pyramid(a, 2), zalcv.Pyramid(a, 2), pts)
        np.testing.assert_allclose(same.points, pts, atol=1e-3)
        np.testing.assert_array_equal(same.status, 0)
        flat = np.full((64, 80), 9, dtype)  # a flat image cannot be tracked: the status names the level
        assert (lk.track(flat, flat, pts).status > 0).all()
