"""Morphology objects and functions: flat elements with anchors over dtypes
and channel counts, the composite operations, state lifetimes, grayscale
kernels and reconstruction."""

import concurrent.futures

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi, shape_of, window_reduce

CROSS = np.array([[0, 1, 0], [1, 1, 1], [0, 1, 0]], np.uint8)
L_SHAPE = np.array([[1, 0, 0], [1, 0, 0], [1, 1, 1], [0, 0, 1]], np.uint8)


def dil(img, fp, anchor=(1, 1)):
    return window_reduce(img, fp.shape, anchor, np.max, fp.astype(bool))


def ero(img, fp, anchor=(1, 1)):
    return window_reduce(img, fp.shape, anchor, np.min, fp.astype(bool))


def turned(fp, anchor):
    return fp[::-1, ::-1], (fp.shape[1] - 1 - anchor[0], fp.shape[0] - 1 - anchor[1])


@pytest.mark.parametrize("dtype, channels, fp, anchor", [(np.uint8, 1, CROSS, None), (np.float32, 3, L_SHAPE, (0, 3)),
                                                         (np.uint8, 4, np.ones((2, 5)), (4, 0))])
def test_flat_morphology_matches_reference(rng, dtype, channels, fp, anchor):
    img = random_image(rng, shape_of(channels, 9, 11), dtype, 0, 200)
    a = (fp.shape[1] // 2, fp.shape[0] // 2) if anchor is None else anchor
    d, e = dil(img, fp, a), ero(img, fp, a)
    opened, closed = dil(e, *turned(fp, a)), ero(d, *turned(fp, a))
    sub = lambda x, y: np.maximum(x.astype(np.float64) - y, 0).astype(dtype)  # noqa: E731
    big, view = roi(img)
    with zalcv.Morphology(fp, anchor) as m:
        assert m.anchor == a
        for got, want in [(m.dilate(view), d), (m.erode(view), e), (m.opening(view), opened), (m.closing(view), closed),
                          (m.white_tophat(view), sub(img, opened)), (m.black_tophat(view), sub(closed, img)),
                          (m.gradient(view), sub(d, e))]:
            np.testing.assert_array_equal(got, want)
    assert guards_intact(big)


def test_functions_and_in_place_output(rng):
    img = random_image(rng, (8, 8), np.uint8)
    want = dil(img, np.ones((3, 3)))
    np.testing.assert_array_equal(zalcv.dilate(img), want)
    np.testing.assert_array_equal(zalcv.morphological_gradient(img, CROSS), dil(img, CROSS) - ero(img, CROSS))
    # out=img: the library forbids overlap, the binding goes through a scratch array.
    assert zalcv.dilate(img, out=img) is img
    np.testing.assert_array_equal(img, want)


def test_morphology_state_lifetime_and_growth(rng):
    m = zalcv.Morphology(CROSS)
    for shape in [(5, 6), (12, 40), (3, 4), (20, 64)]:  # narrower, then wider than the built states
        img = random_image(rng, shape, np.uint8)
        np.testing.assert_array_equal(m.opening(img), dil(ero(img, CROSS), CROSS))
        np.testing.assert_array_equal(m.erode(img.astype(np.float32)), ero(img, CROSS))
    m.close()
    m.close()  # idempotent
    assert m.closed


def test_morphology_objects_serve_threads_at_once(rng):
    imgs = [random_image(rng, (64, 80), np.uint8) for _ in range(8)]
    want = [dil(ero(i, L_SHAPE), *turned(L_SHAPE, (1, 1))) for i in imgs]
    with zalcv.Morphology(L_SHAPE, (1, 1)) as m, concurrent.futures.ThreadPoolExecutor(4) as pool:
        for _ in range(3):
            for got, ref in zip(pool.map(m.opening, imgs), want):
                np.testing.assert_array_equal(got, ref)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
def test_gray_morphology_adds_the_kernel(rng, dtype):
    # Anchor (1, 0): the pixel itself lowered far below its neighbours, which the kernel leaves as they are.
    kernel = np.array([[0, -300, 0], [0, 0, 0]])
    with zalcv.GrayMorphology(kernel, (1, 0)) as g:
        for shape in [(7, 9), (12, 20)]:  # a larger image than the first needs a new state
            img = random_image(rng, shape, dtype, 0, 255)
            np.testing.assert_array_equal(g.dilate(img), dil(img, np.array([[1, 0, 1], [1, 1, 1]]), (1, 0)))
            np.testing.assert_array_equal(g.erode(img), np.zeros_like(img) if dtype == np.uint8 else img - np.float32(300))


@pytest.mark.parametrize("dtype, connectivity", [(np.uint8, 4), (np.float32, 8)])
def test_reconstruction_by_dilation_and_erosion(rng, dtype, connectivity):
    mask = random_image(rng, (12, 14), dtype, 0, 100)
    seed = np.minimum(random_image(rng, (12, 14), dtype, 0, 100), mask)
    fp = CROSS if connectivity == 4 else np.ones((3, 3), np.uint8)

    def settle(img, step):
        while not np.array_equal(nxt := step(img), img):
            img = nxt
        return img

    want = settle(seed, lambda x: np.minimum(dil(x, fp), mask))
    np.testing.assert_array_equal(zalcv.reconstruction(seed, mask, connectivity=connectivity), want)
    up = np.maximum(seed, mask)
    want_e = settle(up, lambda x: np.maximum(ero(x, fp), mask))
    np.testing.assert_array_equal(zalcv.reconstruction(up, mask, "erosion", connectivity=connectivity), want_e)
    assert zalcv.reconstruction(seed, mask, out=seed, connectivity=connectivity) is seed  # in place on the seed
    np.testing.assert_array_equal(seed, want)
