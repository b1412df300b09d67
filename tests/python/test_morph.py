"""Morphology objects and functions: flat elements with anchors over dtypes
and channel counts, the composite operations, state lifetimes, grayscale
kernels and reconstruction."""

import concurrent.futures

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi, window_reduce

CROSS = np.array([[0, 1, 0], [1, 1, 1], [0, 1, 0]], np.uint8)
L_SHAPE = np.array([[1, 0, 0], [1, 0, 0], [1, 1, 1], [0, 0, 1]], np.uint8)


def dil(img, fp, anchor):
    return window_reduce(img, fp.shape, anchor, np.max, fp.astype(bool))


def ero(img, fp, anchor):
    return window_reduce(img, fp.shape, anchor, np.min, fp.astype(bool))


def turned(fp, anchor):
    return fp[::-1, ::-1], (fp.shape[1] - 1 - anchor[0], fp.shape[0] - 1 - anchor[1])


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("channels", [1, 3, 4])
@pytest.mark.parametrize("fp, anchor", [(CROSS, None), (L_SHAPE, (0, 3)), (np.ones((2, 5)), (4, 0))])
def test_flat_morphology_matches_reference(rng, dtype, channels, fp, anchor):
    shape = (9, 11) if channels == 1 else (9, 11, channels)
    img = random_image(rng, shape, dtype, 0, 200)
    a = (fp.shape[1] // 2, fp.shape[0] // 2) if anchor is None else anchor
    rfp, ra = turned(fp, a)
    big, view = roi(img)
    with zalcv.Morphology(fp, anchor) as m:
        assert m.anchor == a
        d, e = dil(img, fp, a), ero(img, fp, a)
        np.testing.assert_array_equal(m.dilate(view), d)
        np.testing.assert_array_equal(m.erode(view), e)
        opened = dil(e, rfp, ra)
        closed = ero(d, rfp, ra)
        np.testing.assert_array_equal(m.opening(view), opened)
        np.testing.assert_array_equal(m.closing(view), closed)
        sub = lambda x, y: np.maximum(x.astype(np.float64) - y, 0).astype(dtype)  # noqa: E731
        np.testing.assert_array_equal(m.white_tophat(view), sub(img, opened))
        np.testing.assert_array_equal(m.black_tophat(view), sub(closed, img))
        np.testing.assert_array_equal(m.gradient(view), sub(d, e))
    assert guards_intact(big)


def test_functions_and_in_place_output(rng):
    img = random_image(rng, (8, 8), np.uint8)
    want = dil(img, np.ones((3, 3)), (1, 1))
    np.testing.assert_array_equal(zalcv.dilate(img), want)
    # out=img: the library forbids overlap, the binding goes through a scratch array.
    got = zalcv.dilate(img, out=img)
    assert got is img
    np.testing.assert_array_equal(img, want)
    np.testing.assert_array_equal(zalcv.morphological_gradient(img, CROSS), dil(img, CROSS, (1, 1)) - ero(img, CROSS, (1, 1)))


def test_morphology_state_lifetime_and_growth(rng):
    m = zalcv.Morphology(CROSS)
    for shape in [(5, 6), (12, 40), (3, 4), (20, 64)]:  # narrower, then wider than the built states
        img = random_image(rng, shape, np.uint8)
        np.testing.assert_array_equal(m.opening(img), dil(ero(img, CROSS, (1, 1)), CROSS, (1, 1)))
        np.testing.assert_array_equal(m.erode(img.astype(np.float32)), ero(img, CROSS, (1, 1)))
    m.close()
    assert m.closed
    with pytest.raises(ValueError, match="closed"):
        m.dilate(img)
    m.close()  # idempotent


def test_morphology_objects_serve_threads_at_once(rng):
    imgs = [random_image(rng, (64, 80), np.uint8) for _ in range(8)]
    want = [dil(ero(i, L_SHAPE, (1, 1)), *turned(L_SHAPE, (1, 1))) for i in imgs]
    with zalcv.Morphology(L_SHAPE, (1, 1)) as m, concurrent.futures.ThreadPoolExecutor(4) as pool:
        for _ in range(3):
            for got, ref in zip(pool.map(m.opening, imgs), want):
                np.testing.assert_array_equal(got, ref)


def test_morphology_argument_errors():
    with pytest.raises(zalcv.AnchorError):
        zalcv.Morphology(CROSS, (3, 0))
    with pytest.raises(zalcv.SizeError):
        zalcv.Morphology(np.zeros((0, 3)))
    with pytest.raises(ValueError, match="border"):
        zalcv.dilate(np.zeros((3, 3), np.uint8), border="wrap")
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.dilate(np.zeros((3, 3), np.uint8), border="constant")
    with pytest.raises(TypeError):
        zalcv.dilate(np.zeros((3, 3), np.uint16))


def gray_ref(img, kernel, anchor, fn, lo, hi):
    kh, kw = kernel.shape
    ax, ay = anchor
    p = np.pad(img.astype(np.float64), ((ay, kh - 1 - ay), (ax, kw - 1 - ax)), mode="edge")
    stack = [p[i : i + img.shape[0], j : j + img.shape[1]] + kernel[i, j] for i in range(kh) for j in range(kw)]
    return np.clip(fn(np.stack(stack), axis=0), lo, hi)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_gray_morphology_adds_the_kernel(rng, dtype):
    img = random_image(rng, (7, 9), dtype, 0, 255)
    kernel = np.array([[-3, 5, 0], [10, 0, -20]])
    lo, hi = (0, 255) if dtype == np.uint8 else (-np.inf, np.inf)
    with zalcv.GrayMorphology(kernel, (1, 0)) as g:
        np.testing.assert_allclose(g.dilate(img), gray_ref(img, kernel, (1, 0), np.max, lo, hi))
        np.testing.assert_allclose(g.erode(img), gray_ref(img, kernel, (1, 0), np.min, lo, hi))
        # A larger image than the first needs a new state.
        big = random_image(rng, (12, 20), dtype, 0, 255)
        np.testing.assert_allclose(g.dilate(big), gray_ref(big, kernel, (1, 0), np.max, lo, hi))
    with pytest.raises(ValueError):
        zalcv.gray_dilate(np.zeros((3, 3), np.uint8), [[0.5]])  # uint8 images take integer kernels


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("connectivity", [4, 8])
def test_reconstruction_by_dilation_and_erosion(rng, dtype, connectivity):
    mask = random_image(rng, (12, 14), dtype, 0, 100)
    seed = np.minimum(random_image(rng, (12, 14), dtype, 0, 100), mask)
    fp = CROSS if connectivity == 4 else np.ones((3, 3), np.uint8)
    want = seed.copy()
    while True:
        nxt = np.minimum(dil(want, fp, (1, 1)), mask)
        if np.array_equal(nxt, want):
            break
        want = nxt
    np.testing.assert_array_equal(zalcv.reconstruction(seed, mask, connectivity=connectivity), want)
    up = np.maximum(seed, mask)
    want_e = up.copy()
    while True:
        nxt = np.maximum(ero(want_e, fp, (1, 1)), mask)
        if np.array_equal(nxt, want_e):
            break
        want_e = nxt
    np.testing.assert_array_equal(zalcv.reconstruction(up, mask, "erosion", connectivity=connectivity), want_e)
    # In place on the seed; an error leaves a given out untouched.
    s = seed.copy()
    assert zalcv.reconstruction(s, mask, out=s, connectivity=connectivity) is s
    np.testing.assert_array_equal(s, want)
    out = np.full_like(seed, 7)
    with pytest.raises(ValueError):
        zalcv.reconstruction(seed, mask, connectivity=6, out=out)
    assert (out == 7).all()
