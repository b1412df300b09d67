"""Lens undistortion and its maps, motion history, line sampling."""

import numpy as np
import pytest

import zalcv
from conftest import random_image, roi


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
@pytest.mark.parametrize("channels", [1, 3])
def test_undistort_without_distortion_is_identity_inside(rng, dtype, channels):
    shape = (9, 12) if channels == 1 else (9, 12, 3)
    img = random_image(rng, shape, dtype, 1, 200)
    got = zalcv.undistort(img, 10.0, 10.0, 6.0, 4.0, 0.0, 0.0)
    np.testing.assert_array_equal(got[:-1, :-1], img[:-1, :-1])
    # The last row and column are never written: 0 in a fresh result, the
    # caller's values in `out`.
    assert not got[-1].any() and not got[:, -1].any()
    big, out = roi(np.full(shape, 5, dtype))
    zalcv.undistort(img, 10.0, 10.0, 6.0, 4.0, 0.0, 0.0, out=out)
    assert (out[-1] == 5).all()


def test_undistort_map_matches_the_camera_model():
    fx, fy, cx, cy, k1, k2, p1, p2 = 40.0, 30.0, 7.0, 5.0, 0.05, 0.01, 0.002, -0.003
    xs, ys = zalcv.undistort_map((10, 14), fx, fy, cx, cy, k1, k2, p1, p2)
    v, u = np.mgrid[:10, :14].astype(np.float64)
    x, y = (u - cx) / fx, (v - cy) / fy
    r2 = x * x + y * y
    radial = k1 * r2 + k2 * r2 * r2
    b = radial + 2 * p1 * y + 2 * p2 * x
    np.testing.assert_allclose(xs, u + fx * p2 * r2 + (u - cx) * b, atol=1e-4)
    np.testing.assert_allclose(ys, v + fy * p1 * r2 + (v - cy) * b, atol=1e-4)
    # The radial image operation samples where the radial map points.
    xr, yr = zalcv.undistort_map((10, 14), fx, fy, cx, cy, k1, k2)
    ramp = np.tile(np.arange(14, dtype=np.float32), (10, 1))
    got = zalcv.undistort(ramp, fx, fy, cx, cy, k1, k2)
    inside = (xr >= 0) & (xr < 13) & (yr >= 0) & (yr < 9)
    np.testing.assert_allclose(got[inside], xr[inside], atol=1e-3)


def test_undistort_rejects_what_it_cannot_do():
    img = np.zeros((4, 4), np.uint8)
    with pytest.raises(ValueError, match="radial only"):
        zalcv.undistort(img, 1, 1, 2, 2, 0, 0, p1=0.1)
    with pytest.raises(zalcv.BadArgumentError, match="fx"):
        zalcv.undistort(img, 0, 1, 2, 2, 0, 0)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
def test_motion_history_update(rng, dtype):
    sil = (rng.random((6, 7)) < 0.3).astype(dtype)
    mhi0 = rng.uniform(0, 10, (6, 7)).astype(np.float32)
    big, mhi = roi(mhi0.copy())
    assert zalcv.update_motion_history(sil, mhi, 10.0, 4.0) is mhi
    want = np.where(sil != 0, 10.0, np.where(mhi0 < 6.0, 0.0, mhi0)).astype(np.float32)
    np.testing.assert_array_equal(mhi, want)
    with pytest.raises(zalcv.OutOfRangeError, match="duration"):
        zalcv.update_motion_history(sil, mhi, 10.0, -1.0)
    with pytest.raises(TypeError):
        zalcv.update_motion_history(sil, mhi.astype(np.float64), 1, 1)


@pytest.mark.parametrize("p1, p2", [((0, 0), (2, 1)), ((5, 5), (1, 6)), ((3, 0), (3, 6)), ((0, 6), (8, 0)), ((4, 4), (4, 4))])
def test_line_points_and_sampling_agree(rng, p1, p2):
    img = random_image(rng, (7, 9, 3), np.uint16)
    pts = zalcv.line_points(p1, p2)
    n = max(abs(p2[0] - p1[0]), abs(p2[1] - p1[1])) + 1
    assert pts.shape == (n, 2) and tuple(pts[0]) == p1 and tuple(pts[-1]) == p2
    assert (np.abs(np.diff(pts, axis=0)) <= 1).all()  # 8-connected steps
    np.testing.assert_array_equal(zalcv.sample_line(img, p1, p2), img[pts[:, 1], pts[:, 0]])
    np.testing.assert_array_equal(zalcv.sample_line(img[..., 0], p1, p2), img[pts[:, 1], pts[:, 0], 0])


def test_line_minor_step_rule():
    # The minor coordinate advances when the error drops strictly below zero.
    assert zalcv.line_points((0, 0), (2, 1)).tolist() == [[0, 0], [1, 0], [2, 1]]
    with pytest.raises(zalcv.OutOfRangeError):
        zalcv.sample_line(np.zeros((4, 4), np.uint8), (0, 0), (4, 0))
