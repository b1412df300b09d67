"""Gaussian levels, general layers, pyramid objects, sub-pixel copies and
Lucas-Kanade tracking."""

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi

G = np.array([1, 4, 6, 4, 1], np.float64)


def gauss_down_ref(img):
    """5x5 Gaussian of the reflected image (edge not repeated), every second pixel."""
    p = np.pad(img.astype(np.float64), ((2, 2), (2, 2)) + ((0, 0),) * (img.ndim - 2), mode="reflect")
    h, w = img.shape[:2]
    acc = sum(G[i] * G[j] * p[i : i + h, j : j + w] for i in range(5) for j in range(5))
    return acc[::2, ::2] / 256


@pytest.mark.parametrize("dtype", [np.uint8, np.int8, np.float32])
@pytest.mark.parametrize("channels", [1, 3])
def test_pyr_down_is_the_gaussian_every_second_pixel(rng, dtype, channels):
    shape = (9, 12) if channels == 1 else (9, 12, 3)
    img = random_image(rng, shape, dtype, 0 if dtype != np.int8 else -100, 100)
    _, view = roi(img)
    got = zalcv.pyr_down(view)
    assert got.shape[:2] == (5, 6) and got.dtype == dtype
    want = gauss_down_ref(img)
    if dtype == np.float32:
        np.testing.assert_allclose(got, want, rtol=1e-5, atol=1e-4)
    else:
        # (v + 128) >> 8 of the integer sum v.
        np.testing.assert_array_equal(got, (np.round(want * 256).astype(np.int64) + 128) >> 8)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_pyr_up_doubles_and_keeps_constants(dtype):
    img = np.full((3, 5, 3), 40, dtype)
    up = zalcv.pyr_up(img)
    assert up.shape == (6, 10, 3)
    np.testing.assert_allclose(up, 40)
    big, out = roi(np.zeros((6, 10, 3), dtype))
    assert zalcv.pyr_up(img, out=out) is out
    assert guards_intact(big)
    with pytest.raises(TypeError):
        zalcv.pyr_down(np.zeros((4, 4), np.uint16))


def test_level_sizes():
    assert zalcv.pyramid_down_shape((5, 5)) == (3, 3)
    assert zalcv.pyramid_down_shape((1, 1), 3.0) == (1, 1)
    assert zalcv.pyramid_up_range((3, 3)) == ((5, 5), (6, 6))
    with pytest.raises(zalcv.BadArgumentError, match="rate"):
        zalcv.pyramid_down_shape((4, 4), 1.0)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
@pytest.mark.parametrize("channels", [1, 3])
@pytest.mark.parametrize("rate", [2.0, 1.5])
def test_pyramid_layer_shapes_and_constant_images(dtype, channels, rate):
    shape = (17, 23) if channels == 1 else (17, 23, 3)
    img = np.full(shape, 100, dtype)
    with zalcv.PyramidLayer(rate) as layer:
        down = layer.down(img)
        assert down.shape[:2] == zalcv.pyramid_down_shape(img.shape, rate)
        np.testing.assert_allclose(down, 100, atol=1)
        lo, hi = zalcv.pyramid_up_range(down.shape, rate)
        up = layer.up(down, img.shape[:2])
        assert up.shape == img.shape and lo[0] <= img.shape[0] <= hi[0]
        np.testing.assert_allclose(up, 100, atol=1)
        assert layer.up(down).shape[:2] == hi
    with pytest.raises(ValueError, match="closed"):
        layer.down(img)


def test_pyramid_layer_kernel_rules():
    img = np.zeros((8, 8), np.uint8)
    with pytest.warns(zalcv.AsymmetricKernelWarning):
        zalcv.PyramidLayer(2.0, [1, 2, 3]).down(img)
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.PyramidLayer(2.0, [1, 2, 1, 1])
    with pytest.raises(ValueError, match="integer kernel"):
        zalcv.PyramidLayer(2.0, [0.25, 0.5, 0.25]).down(img)
    zalcv.PyramidLayer(2.0, [0.25, 0.5, 0.25]).down(img.astype(np.float32))


def test_pyramid_owns_its_levels(rng):
    img = random_image(rng, (33, 40), np.uint8)
    p = zalcv.Pyramid(img, levels=10)
    shapes = [lvl.shape for lvl in p.levels]
    assert shapes[0] == (33, 40) and shapes[-1] == (1, 1) and len(p) == p.top_level + 1
    assert p.scales[:3] == [1.0, 0.5, 0.25]
    np.testing.assert_array_equal(p[1], zalcv.pyr_down(img))
    img[...] = 0  # level 0 is a private copy
    assert p[0].any()
    q = zalcv.Pyramid(img.astype(np.uint16), levels=2)
    assert [lvl.shape for lvl in q.levels] == [(33, 40), (17, 20), (9, 10)]
    p.close()
    with pytest.raises(ValueError, match="closed"):
        p.levels


def bilinear(img, x, y):
    x0, y0 = int(np.floor(x)), int(np.floor(y))
    fx, fy = x - x0, y - y0
    a = img.astype(np.float64)
    return (a[y0, x0] * (1 - fx) * (1 - fy) + a[y0, x0 + 1] * fx * (1 - fy) + a[y0 + 1, x0] * (1 - fx) * fy
            + a[y0 + 1, x0 + 1] * fx * fy)


@pytest.mark.parametrize("src, dst", [(np.uint8, np.uint8), (np.uint8, np.float32), (np.uint16, np.uint16),
                                      (np.uint16, np.float32), (np.float32, np.float32), (np.uint8, np.uint16)])
def test_copy_subpix_interpolates(rng, src, dst):
    img = random_image(rng, (6, 7), src, 0, 1000 if src != np.uint8 else 255)
    got = zalcv.copy_subpix(img, 2.25, -0.5, dtype=dst)
    assert got.shape == (5, 6) and got.dtype == dst
    want = np.array([[bilinear(img, x + 0.25, y + 0.5) for x in range(6)] for y in range(5)])
    np.testing.assert_allclose(got, want, atol=1.0 if dst != np.float32 else 1e-3)


def test_rect_subpix_reports_the_valid_range(rng):
    img = random_image(rng, (10, 12), np.float32, 0, 10)
    r = zalcv.rect_subpix(img, (5.5, 4.25), (3, 5))
    want = np.array([[bilinear(img, 3.5 + x, 3.25 + y) for x in range(5)] for y in range(3)])
    np.testing.assert_allclose(r.patch, want, rtol=1e-5)
    assert r.valid_min == (0, 0) and r.valid_max == (4, 2)
    edge = zalcv.rect_subpix(img, (0.0, 0.0), (3, 3))
    assert edge.valid_min == (1, 1)
    np.testing.assert_allclose(edge.patch[0, 0], img[0, 0])


def smooth_scene(shape, shift=(0.0, 0.0)):
    yy, xx = np.mgrid[: shape[0], : shape[1]].astype(np.float64)
    xx -= shift[0]
    yy -= shift[1]
    return 128 + 60 * np.sin(xx / 5.0) * np.cos(yy / 7.0) + 30 * np.sin((xx + yy) / 11.0)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
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
        # A flat image cannot be tracked: the status names the level.
        flat = np.full((64, 80), 9, dtype)
        lost = lk.track(flat, flat, pts)
        assert (lost.status > 0).all()
    with pytest.raises(ValueError, match="closed"):
        lk.track(a, b, pts)


def test_lucas_kanade_argument_checks():
    img = np.zeros((16, 16), np.uint8)
    lk = zalcv.LucasKanade(window=5)
    with pytest.raises(ValueError):
        lk.track(img, img, np.zeros((3, 3), np.float32))
    with pytest.raises(ValueError):
        lk.track(img, np.zeros((16, 17), np.uint8), np.zeros((1, 2)))
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.LucasKanade(window=5, max_iter=0).track(img, img, np.zeros((1, 2)))
    with pytest.raises(zalcv.SizeError):
        zalcv.LucasKanade(window=0)
