"""Integral tables, window standard deviation and Haar stages: table types,
origins and bounds, stage evaluation against a direct reference, cascades."""

import numpy as np
import pytest

import zalcv
from conftest import random_image


@pytest.mark.parametrize("dtype, sq_dtype", [("int32", "float64"), ("float32", "float64"), ("int32", "int32")])
def test_upright_tables_are_cumulative_sums(rng, dtype, sq_dtype):
    img = random_image(rng, (6, 9), np.uint8)
    s, q = zalcv.integral(img, dtype, 5, squared=True, sq_dtype=sq_dtype, sq_initial=2)
    assert s.shape == (7, 10) and s.dtype == dtype and q.dtype == sq_dtype
    want = np.zeros((7, 10))
    want[1:, 1:] = img.astype(np.float64).cumsum(0).cumsum(1)
    np.testing.assert_array_equal(s, want + 5)
    want[1:, 1:] = (img.astype(np.float64) ** 2).cumsum(0).cumsum(1)
    np.testing.assert_array_equal(q, want + 2)
    np.testing.assert_array_equal(zalcv.integral(img, dtype, 5), s)


@pytest.mark.parametrize("dtype", ["int32", "float32"])
def test_tilted_tables_of_one_pixel(dtype):
    t, tq = zalcv.integral(np.uint8([[7]]), dtype, 1, squared=True, tilted=True)
    np.testing.assert_array_equal(t, [[1, 1, 1], [1, 1, 1], [1, 8, 1]])
    np.testing.assert_array_equal(tq, [[0, 0, 0], [0, 0, 0], [0, 49, 0]])


def test_rect_stddev_upright(rng):
    img = random_image(rng, (9, 11), np.uint8)
    s, q = zalcv.integral(img, "float32", squared=True)
    rect = (1, 2, 3, 4)
    sd = zalcv.rect_stddev(s, q, rect)
    assert sd.shape == (10 - 2 - 4, 12 - 1 - 3)
    want = np.array([[img[y + 2 : y + 6, x + 1 : x + 4].std() for x in range(sd.shape[1])] for y in range(sd.shape[0])])
    np.testing.assert_allclose(sd, want, rtol=1e-4, atol=1e-3)
    si, qi = zalcv.integral(img, "int32", squared=True, sq_dtype="int32")
    np.testing.assert_allclose(zalcv.rect_stddev(si, qi, rect, scale_factor=-1), np.floor(2 * want + 0.5), atol=1)
    np.testing.assert_array_equal(zalcv.rect_stddev(s, q, rect, (2, 3)), sd[:2, :3])


def test_rect_stddev_tilted_reads_shifted_origin(rng):
    img = random_image(rng, (12, 12), np.uint8, 0, 50)
    t, tq = zalcv.integral(img, "float32", squared=True, tilted=True, sq_dtype="float64")
    rect = (1, 1, 2, 3)  # the window reaches three columns left of its reference column
    sd = zalcv.rect_stddev(t, tq, rect, tilted=True)
    x, y, w, h = rect
    for py, px in [(0, 0), (2, 3), (sd.shape[0] - 1, sd.shape[1] - 1)]:
        r, c = py + x + y, px + (h - (x - y)) + x - y  # the origin shifted by the window's reach to the left
        corners = [(r, c), (r + w, c + w), (r + h, c - h), (r + w + h, c + w - h)]
        s1, s2 = ([a[corners[3]] - a[corners[2]] - a[corners[1]] + a[corners[0]] for a in (t, tq)])
        n = 2 * w * h
        assert sd[py, px] == pytest.approx(np.sqrt(max(s2 / n - (s1 / n) ** 2, 0)), rel=1e-4, abs=1e-3)
    flat = zalcv.integral(np.full((8, 8), 7, np.uint8), "float32", squared=True, tilted=True)
    assert not zalcv.rect_stddev(*flat, rect, tilted=True).any()


@pytest.mark.parametrize("dtype, table", [("float32", "float32"), ("float32", "int32"), ("int32", "int32")])
def test_haar_stage_matches_direct_evaluation(rng, dtype, table):
    img = random_image(rng, (14, 16), np.uint8, 0, 30).astype(np.int64)
    rects = [(0, 0, 2, 4), (2, 0, 2, 4), (0, 0, 6, 2), (0, 2, 6, 2), (1, 1, 3, 3), (0, 0, 1, 1), (4, 3, 2, 3)]
    counts, weights = [2, 2, 3], [1, -1, 1, -1, 2, -1, -1]
    thr, v1, v2 = [0, 1, -2], [-1, -2, 1], [1, 2, -1]
    sums = zalcv.integral(img.astype(np.uint8), table)
    mask0 = (rng.random((9, 11)) < 0.8).astype(np.uint8)
    norm = np.ones(mask0.shape, np.int32 if dtype == "int32" else np.float32)
    # Every window's classifier sums, directly from the pixels.
    feature = [np.array([[weights[i] * img[py + y : py + y + h, px + x : px + x + w].sum() for px in range(11)]
                         for py in range(9)]) for i, (x, y, w, h) in enumerate(rects)]
    starts = np.cumsum([0] + counts)
    total = sum(np.where(sum(feature[starts[k] : starts[k + 1]]) >= thr[k] * norm, v2[k], v1[k]) for k in range(3))
    with zalcv.HaarClassifier(rects, weights, thr, v1, v2, counts, dtype=dtype) as stage:
        assert stage.size == (6, 6) and len(stage) == 3 and not stage.tilted
        for threshold in (-1, 1, 2):
            mask = mask0.copy()
            want = mask0 * (total >= threshold)
            assert stage.apply(sums, norm, mask, threshold) == want.sum()
            np.testing.assert_array_equal(mask, want)
        # One more row of windows than the tables hold: refused, mask untouched.
        tall = np.ones((10, 11), np.uint8)
        with pytest.raises(ValueError, match="too small"):
            stage.apply(sums, np.ones(tall.shape, norm.dtype), tall, 0)
        assert tall.all()


def test_haar_tilted_stages_need_their_tables(rng):
    img = random_image(rng, (12, 12), np.uint8, 0, 30)
    t, s = zalcv.integral(img, "float32", tilted=True), zalcv.integral(img, "float32")
    norm, mask = np.ones((6, 6), np.float32), np.ones((6, 6), np.uint8)
    stage = zalcv.HaarClassifier([(1, 0, 2, 2)], [1], [0], [0], [1], [1], tilted=True)
    assert stage.tilted and stage.size == (4, 3)
    assert stage.apply(None, norm, mask, 1, tilted_sums=t) == 36
    # Tilted rows reach four table rows below the origin (plus the one-row
    # offset): nine rows of windows do not fit a 14-row table.
    with pytest.raises(ValueError, match="too small"):
        stage.apply(None, np.ones((10, 6), np.float32), np.ones((10, 6), np.uint8), 1, tilted_sums=t)
    # Given only an upright-style table, the stage reads it from entry (0, 0):
    # its first corner lies left of the table's first element.
    with pytest.raises(ValueError, match="too small"):
        stage.apply(s, norm, mask, 1)
    mixed = zalcv.HaarClassifier([(0, 0, 2, 2), (3, 0, 2, 2)], [1, 1], [0, 0], [0, 0], [1, 1], [1, 1])
    mixed.tilt([0, 1])
    assert mixed.tilted
    with pytest.raises(ValueError, match="tilted_sums"):
        mixed.apply(s, norm, np.ones((6, 6), np.uint8), 1)
    assert mixed.apply(s, norm, np.ones((6, 6), np.uint8), 1, tilted_sums=t) >= 0
    with pytest.raises(zalcv.BadArgumentError):
        mixed.tilt([1, 0])  # tilting is allowed once


def test_haar_cascade_finds_a_bright_square():
    img = np.full((40, 50), 20, np.uint8)
    img[10:18, 30:38] = 220
    # One stage: the inner 8x8 block brighter than the 12x12 window around it.
    stage = zalcv.HaarClassifier([(2, 2, 8, 8), (0, 0, 12, 12)], [2, -1], [10.0], [0.0], [1.0], [2])
    cascade = zalcv.HaarCascade([(stage, 1.0)])
    assert cascade.window == (12, 12)
    hits = cascade.detect(img)
    assert hits.shape == (29, 39) and hits[8, 28]
    ys, xs = np.nonzero(hits)
    assert (np.abs(ys - 8) <= 6).all() and (np.abs(xs - 28) <= 6).all()
    assert not cascade.detect(np.full((40, 50), 20, np.uint8)).any()
