"""Linear and rank filters against small references: kernel orientation and
sign per (dx, dy), border rules, result types, separable passes, min/max."""

import numpy as np
import pytest

import zalcv
from conftest import correlate, random_image, roi, shape_of, window_reduce

S3, D3, D2_3 = np.array([1, 2, 1]), np.array([-1, 0, 1]), np.array([1, -2, 1])
S5, D5, D2_5 = np.array([1, 4, 6, 4, 1]), np.array([-1, -2, 0, 2, 1]), np.array([1, 0, -2, 0, 1])
BORDERS = ["constant", "replicate", "wrap", "reflect", "reflect_edge"]


def sobel_kernel_2d(dx, dy, k):
    smooth, d1, d2 = (S3, D3, D2_3) if k == 3 else (S5, D5, D2_5)
    if (dx, dy) == (1, 1):
        return -np.outer(d1, d1)  # the library's cross filter is the negated mixed derivative
    along = {0: smooth, 1: d1, 2: d2}
    return np.outer(along[dy], along[dx])  # rows vary with y, columns with x


def test_sobel_orders_sizes_and_borders(rng):
    img = random_image(rng, (9, 11), np.uint8)
    for order in [(1, 0), (0, 1), (2, 0), (0, 2), (1, 1)]:
        for ksize in (3, 5):
            got = zalcv.sobel(img, *order, ksize)
            assert got.dtype == np.int16
            np.testing.assert_array_equal(got, correlate(img, sobel_kernel_2d(*order, ksize)), f"{order} {ksize}")
    for border in BORDERS:
        want = correlate(img, sobel_kernel_2d(1, 0, 3), border, value=50)
        np.testing.assert_array_equal(zalcv.sobel(img, border=border, border_value=50), want, border)
        np.testing.assert_allclose(zalcv.sobel(img.astype(np.float32), border=border, border_value=50), want, atol=1e-3)


def test_sobel_int8_result_divides_clamps_and_truncates(rng):
    img = random_image(rng, (8, 8), np.uint8)
    s = correlate(img, sobel_kernel_2d(0, 1, 3)).astype(np.float32)
    for divisor in (1, 3, -2):
        want = np.trunc(np.clip(s * np.float32(1 / np.float32(divisor)), -128, 127))
        np.testing.assert_array_equal(zalcv.sobel(img, 0, 1, dtype=np.int8, divisor=divisor), want.astype(np.int8))


def test_fixed_kernels(rng):
    img = random_image(rng, (7, 9), np.uint8)
    for got, kernel in [(lambda im: zalcv.scharr(im, 1, 0), np.outer([3, 10, 3], D3)),
                        (lambda im: zalcv.scharr(im, 0, 1), np.outer(D3, [3, 10, 3])),
                        (lambda im: zalcv.laplacian(im), np.array([[2, 0, 2], [0, -8, 0], [2, 0, 2]])),
                        (lambda im: zalcv.laplacian(im, 5), np.outer(S5, D2_5) + np.outer(D2_5, S5))]:
        np.testing.assert_array_equal(got(img), correlate(img, kernel))
        np.testing.assert_allclose(got(img.astype(np.float32)), correlate(img, kernel), atol=1e-2)


def test_box_filter_fixed_point_and_float(rng):
    img = random_image(rng, (8, 9), np.uint8)
    for ksize in (3, 5):
        s = correlate(img, np.ones((ksize, ksize))).astype(np.int64)
        want = (s * 7280 + 36400) >> 16 if ksize == 3 else (s * 2621) >> 16
        np.testing.assert_array_equal(zalcv.box_filter(img, ksize), want.astype(np.uint8))
        np.testing.assert_allclose(zalcv.box_filter(img.astype(np.float32), ksize), s / ksize**2, rtol=1e-5)


@pytest.mark.parametrize("dtype, channels, border", [(np.float32, 1, "constant"), (np.float32, 3, "wrap"),
                                                    (np.int16, 1, "reflect"), (np.uint8, 3, "reflect_edge")])
def test_filter_row_correlates_each_row(rng, dtype, channels, border):
    img = random_image(rng, shape_of(channels, 4, 7), dtype, 0, 100)
    got = zalcv.filter_row(img, [1, -2, 3, 1], 1, border=border, border_value=5)
    assert got.dtype == (np.float32 if dtype == np.float32 else np.int16)
    np.testing.assert_allclose(got, correlate(img, np.array([[1, -2, 3, 1]]), border, 5, anchor=(1, 0)), atol=1e-3)


def test_filter_column_results_and_low_variant(rng):
    rows = random_image(rng, (8, 5), np.int16, -1000, 1000)
    exact = correlate(rows, np.array([[2], [-1], [3]]), anchor=(0, 0))[:6].astype(np.int64)
    np.testing.assert_array_equal(zalcv.filter_column(rows, [2, -1, 3]), exact)
    want8 = np.trunc(np.clip(exact.astype(np.float32) * np.float32(1 / np.float32(4)), 0, 255))
    np.testing.assert_array_equal(zalcv.filter_column(rows, [2, -1, 3], divisor=4, dtype=np.uint8), want8)
    # Low: integer sum times 1/divisor in float, truncated, low 16 bits (wraps).
    low = zalcv.filter_column(np.full((3, 2), 30000, np.int16), [1, 1, 1], low=True)
    np.testing.assert_array_equal(low, np.int64(90000).astype(np.int16))


@pytest.mark.parametrize("border", BORDERS)  # the vertical border rows are the package's own
def test_sep_filter_equals_2d_correlation(rng, border):
    img = random_image(rng, (6, 8), np.float32, 0, 10)
    rk, ck = np.float32([1, 2, -1]), np.float32([0.5, 1, 0.25, 2, 1])
    got = zalcv.sep_filter(img, rk, ck, border=border, border_value=3)
    np.testing.assert_allclose(got, correlate(img, np.outer(ck, rk), border, value=3), rtol=1e-5, atol=1e-4)
    g8 = zalcv.sep_filter(img.astype(np.uint8), [1, 2, 1], [1, 2, 1], border=border, border_value=3,
                          column_divisor=16, dtype=np.uint8)
    np.testing.assert_array_equal(g8, np.trunc(correlate(img.astype(np.uint8), np.outer(S3, S3), border, value=3) / 16))


def test_sobel_kernel_is_the_binomial_difference():
    np.testing.assert_array_equal(zalcv.sobel_kernel(5, 2), [1, 0, -2, 0, 1])  # (1 + z)^2 (1 - z)^2
    np.testing.assert_array_equal(zalcv.sobel_kernel(3, 1, -1, np.int16), [1, 0, -1])


@pytest.mark.parametrize("dtype, channels, size, anchor", [(np.uint8, 1, 3, None), (np.float32, 3, (2, 5), (0, 1)),
                                                           (np.uint8, 4, (4, 1), (0, 3))])
def test_min_max_filters(rng, dtype, channels, size, anchor):
    img = random_image(rng, shape_of(channels), dtype)
    mh, mw = (size, size) if np.isscalar(size) else size
    a = (mw // 2, mh // 2) if anchor is None else anchor
    _, view = roi(img)
    np.testing.assert_array_equal(zalcv.min_filter(view, size, anchor), window_reduce(img, (mh, mw), a, np.min))
    np.testing.assert_array_equal(zalcv.max_filter(view, size, anchor), window_reduce(img, (mh, mw), a, np.max))
