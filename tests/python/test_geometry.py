"""Lens undistortion and its maps, motion history, line sampling."""

import numpy as np
import pytest

import zalcv
from conftest import random_image, roi, shape_of


@pytest.mark.parametrize("dtype, channels", [(np.uint8, 1), (np.uint16, 3), (np.float32, 3)])
def test_undistort_without_distortion_is_identity_inside(rng, dtype, channels):
    img = random_image(rng, shape_of(channels, 9, 12), dtype, 1, 200)
    got = zalcv.undistort(img, 10.0, 10.0, 6.0, 4.0, 0.0, 0.0)
    np.testing.assert_array_equal(got[:-1, :-1], img[:-1, :-1])
    # The last row and column are never written: 0 in a fresh result, the caller's values in `out`.
    assert not got[-1].any() and not got[:, -1].any()
    _, out = roi(np.full(img.shape, 5, dtype))
    zalcv.undistort(img, 10.0, 10.0, 6.0, 4.0, 0.0, 0.0, out=out)
    assert (out[-1] == 5).all()


def test_undistort_samples_where_the_map_points():
    model = (40.0, 30.0, 7.0, 5.0, 0.05, 0.01)
    xs, ys = zalcv.undistort_map((10, 14), *model)
    got = zalcv.undistort(np.tile(np.arange(14, dtype=np.float32), (10, 1)), *model)
    inside = (xs >= 0) & (xs < 13) & (ys >= 0) & (ys < 9)
    np.testing.assert_allclose(got[inside], xs[inside], atol=1e-3)
    tangential = zalcv.undistort_map((10, 14), *model, 0.002, -0.003)  # the full model moves the map
    assert not np.allclose(tangential[0], xs)


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
def test_motion_history_update(rng, dtype):
    sil = (rng.random((6, 7)) < 0.3).astype(dtype)
    mhi0 = rng.uniform(0, 10, (6, 7)).astype(np.float32)
    _, mhi = roi(mhi0.copy())
    assert zalcv.update_motion_history(sil, mhi, 10.0, 4.0) is mhi
    np.testing.assert_array_equal(mhi, np.where(sil != 0, 10.0, np.where(mhi0 < 6.0, 0.0, mhi0)))


@pytest.mark.parametrize("p1, p2", [((0, 0), (2, 1)), ((5, 5), (1, 6)), ((0, 6), (8, 0)), ((4, 4), (4, 4))])
def test_line_points_and_sampling_agree(rng, p1, p2):
    img = random_image(rng, (7, 9, 3), np.uint16)
    pts = zalcv.line_points(p1, p2)
    n = max(abs(p2[0] - p1[0]), abs(p2[1] - p1[1])) + 1
    assert pts.shape == (n, 2) and tuple(pts[0]) == p1 and tuple(pts[-1]) == p2
    assert (np.abs(np.diff(pts, axis=0)) <= 1).all()  # 8-connected steps
    np.testing.assert_array_equal(zalcv.sample_line(img, p1, p2), img[pts[:, 1], pts[:, 0]])
    np.testing.assert_array_equal(zalcv.sample_line(img[..., 0], p1, p2), img[pts[:, 1], pts[:, 0], 0])
    if (p1, p2) == ((0, 0), (2, 1)):  # the minor coordinate advances when the error drops strictly below zero
        assert pts.tolist() == [[0, 0], [1, 0], [2, 1]]
