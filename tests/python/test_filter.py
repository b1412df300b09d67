"""Linear and rank filters against small references: kernel orientation and
sign per (dx, dy), border rules, result types, separable passes, min/max."""

import numpy as np
import pytest

import zalcv
from conftest import correlate, guards_intact, random_image, roi, window_reduce

S3, D3, D2_3 = np.array([1, 2, 1]), np.array([-1, 0, 1]), np.array([1, -2, 1])
S5, D5, D2_5 = np.array([1, 4, 6, 4, 1]), np.array([-1, -2, 0, 2, 1]), np.array([1, 0, -2, 0, 1])


def sobel_kernel_2d(dx, dy, k):
    smooth, d1, d2 = (S3, D3, D2_3) if k == 3 else (S5, D5, D2_5)
    along = {0: smooth, 1: d1, 2: d2}
    if (dx, dy) == (1, 1):
        return -np.outer(d1, d1)  # the library's cross filter is the negated mixed derivative
    return np.outer(along[dy], along[dx])  # rows vary with y, columns with x


BORDERS = ["constant", "replicate", "wrap", "reflect", "reflect_edge"]


@pytest.mark.parametrize("order", [(1, 0), (0, 1), (2, 0), (0, 2), (1, 1)])
@pytest.mark.parametrize("ksize", [3, 5])
def test_sobel_uint8_is_exact_and_oriented(rng, order, ksize):
    img = random_image(rng, (9, 11), np.uint8)
    want = correlate(img, sobel_kernel_2d(*order, ksize))
    got = zalcv.sobel(img, *order, ksize)
    assert got.dtype == np.int16
    np.testing.assert_array_equal(got, want)


@pytest.mark.parametrize("border", BORDERS)
def test_sobel_borders(rng, border):
    img = random_image(rng, (6, 7), np.uint8)
    want = correlate(img, sobel_kernel_2d(1, 0, 3), border, value=50)
    np.testing.assert_array_equal(zalcv.sobel(img, border=border, border_value=50), want)
    f = img.astype(np.float32)
    np.testing.assert_allclose(zalcv.sobel(f, border=border, border_value=50), want, atol=1e-3)


def test_sobel_int8_result_divides_clamps_and_truncates(rng):
    img = random_image(rng, (8, 8), np.uint8)
    s = correlate(img, sobel_kernel_2d(0, 1, 3)).astype(np.float32)
    for divisor in (1, 3, -2):
        want = np.trunc(np.clip(s * np.float32(1 / np.float32(divisor)), -128, 127))
        got = zalcv.sobel(img, 0, 1, dtype=np.int8, divisor=divisor)
        np.testing.assert_array_equal(got, want.astype(np.int8))
    with pytest.raises(zalcv.BadArgumentError):
        zalcv.sobel(img, dtype=np.int8, divisor=0)
    with pytest.raises(ValueError):
        zalcv.sobel(img, divisor=2)  # int16 results take no divisor


@pytest.mark.parametrize(
    "name, call, kernel",
    [
        ("scharr x", lambda im: zalcv.scharr(im, 1, 0), np.outer([3, 10, 3], D3)),
        ("scharr y", lambda im: zalcv.scharr(im, 0, 1), np.outer(D3, [3, 10, 3])),
        ("laplacian 3", lambda im: zalcv.laplacian(im), np.array([[2, 0, 2], [0, -8, 0], [2, 0, 2]])),
        ("laplacian 5", lambda im: zalcv.laplacian(im, 5), np.outer(S5, D2_5) + np.outer(D2_5, S5)),
    ],
)
def test_fixed_kernels(rng, name, call, kernel):
    img = random_image(rng, (7, 9), np.uint8)
    np.testing.assert_array_equal(call(img), correlate(img, kernel))
    f = img.astype(np.float32)
    np.testing.assert_allclose(call(f), correlate(f, kernel), atol=1e-2)


@pytest.mark.parametrize("ksize", [3, 5])
def test_box_filter_fixed_point_and_float(rng, ksize):
    img = random_image(rng, (8, 9), np.uint8)
    s = correlate(img, np.ones((ksize, ksize))).astype(np.int64)
    want = (s * 7280 + 36400) >> 16 if ksize == 3 else (s * 2621) >> 16
    np.testing.assert_array_equal(zalcv.box_filter(img, ksize), want.astype(np.uint8))
    np.testing.assert_allclose(zalcv.box_filter(img.astype(np.float32), ksize), s / ksize**2, rtol=1e-5)


def test_fixed_filter_errors_name_their_argument(rng):
    img = random_image(rng, (4, 4), np.uint8)
    with pytest.raises(zalcv.MaskSizeError, match="ksize"):
        zalcv.laplacian(img, 7)
    with pytest.raises(ValueError, match="border"):
        zalcv.sobel(img, border="mirror")
    with pytest.raises(TypeError):
        zalcv.sobel(img.astype(np.uint16))
    with pytest.raises(ValueError):
        zalcv.sobel(img, 2, 2)


def test_out_is_validated_and_untouched_on_error(rng):
    img = random_image(rng, (5, 6), np.uint8)
    for bad in (np.zeros((5, 6), np.uint8), np.zeros((5, 7), np.int16), np.zeros((6, 5), np.int16)[::2]):
        keep = bad.copy()
        with pytest.raises((TypeError, ValueError)):
            zalcv.sobel(img, out=bad)
        np.testing.assert_array_equal(bad, keep)
    out = np.full((5, 6), 123, np.int16)
    with pytest.raises(zalcv.MaskSizeError):
        zalcv.sobel(img, ksize=4, out=out)
    assert (out == 123).all()
    big, view = roi(np.zeros((5, 6), np.int16))
    zalcv.sobel(img, out=view)
    np.testing.assert_array_equal(view, zalcv.sobel(img))
    assert guards_intact(big)


@pytest.mark.parametrize("dtype, channels", [(np.float32, 1), (np.float32, 3), (np.int16, 1), (np.uint8, 3)])
@pytest.mark.parametrize("border", BORDERS)
def test_filter_row_correlates_each_row(rng, dtype, channels, border):
    shape = (4, 7) if channels == 1 else (4, 7, 3)
    img = random_image(rng, shape, dtype, 0, 100)
    kernel = [1, -2, 3, 1]
    anchor = 1
    got = zalcv.filter_row(img, kernel, anchor, border=border, border_value=5)
    mode = {"replicate": "edge", "wrap": "wrap", "reflect": "reflect", "reflect_edge": "symmetric"}
    pad = ((0, 0), (anchor, len(kernel) - 1 - anchor)) + (((0, 0),) if channels == 3 else ())
    if border == "constant":
        p = np.pad(img.astype(np.float64), pad, constant_values=5)
    else:
        p = np.pad(img.astype(np.float64), pad, mode=mode[border])
    want = sum(k * p[:, j : j + 7] for j, k in enumerate(kernel))
    assert got.dtype == (np.float32 if dtype == np.float32 else np.int16)
    np.testing.assert_allclose(got, want, atol=1e-3)


def test_filter_column_and_low_variants(rng):
    rows = random_image(rng, (8, 5), np.int16, -1000, 1000)
    kernel = [2, -1, 3]
    exact = sum(k * rows[i : i + 6].astype(np.int64) for i, k in enumerate(kernel))
    np.testing.assert_array_equal(zalcv.filter_column(rows, kernel), exact)
    want8 = np.trunc(np.clip(exact.astype(np.float32) * np.float32(1 / np.float32(4)), 0, 255))
    np.testing.assert_array_equal(zalcv.filter_column(rows, kernel, divisor=4, dtype=np.uint8), want8)
    # Low: integer sum times 1/divisor in float, truncated, low 16 bits (wraps).
    big = np.full((3, 2), 30000, np.int16)
    low = zalcv.filter_column(big, [1, 1, 1], low=True)
    np.testing.assert_array_equal(low, np.int64(90000).astype(np.int16))
    with pytest.raises(ValueError):
        zalcv.filter_column(rows[:2], kernel)


def test_row_pass_low_wraps_through_q14_reciprocal():
    img = np.int16([[1000, 2000, 3000]])
    got = zalcv.filter_row(img, [10, 10, 10], border="replicate", divisor=3, low=True)
    r = int(np.float32(16384.0) / np.float32(3))
    s = np.array([10 * (1000 + 1000 + 2000), 10 * (1000 + 2000 + 3000), 10 * (2000 + 3000 + 3000)])
    np.testing.assert_array_equal(got[0], ((s * r) >> 14).astype(np.int64).astype(np.int16))


@pytest.mark.parametrize("border", BORDERS)
def test_sep_filter_equals_2d_correlation(rng, border):
    img = random_image(rng, (6, 8), np.float32, 0, 10)
    rk, ck = np.float32([1, 2, -1]), np.float32([0.5, 1, 0.25, 2, 1])
    got = zalcv.sep_filter(img, rk, ck, border=border, border_value=3)
    np.testing.assert_allclose(got, correlate(img, np.outer(ck, rk), border, value=3), rtol=1e-5, atol=1e-4)
    g8 = zalcv.sep_filter(img.astype(np.uint8), [1, 2, 1], [1, 2, 1], border=border, border_value=3,
                          column_divisor=16, dtype=np.uint8)
    want = np.trunc(correlate(img.astype(np.uint8), np.outer(S3, S3), border, value=3) / 16)
    np.testing.assert_array_equal(g8, want)


@pytest.mark.parametrize("ksize, order", [(3, 0), (3, 1), (5, 1), (5, 2), (7, 3)])
def test_sobel_kernel_is_the_binomial_difference(ksize, order):
    poly = np.poly1d([1])
    for _ in range(ksize - 1 - order):
        poly *= np.poly1d([1, 1])
    for _ in range(order):
        poly *= np.poly1d([1, -1])
    want = poly.coeffs[::-1]  # ascending powers of z
    np.testing.assert_array_equal(zalcv.sobel_kernel(ksize, order), want)
    np.testing.assert_array_equal(zalcv.sobel_kernel(ksize, order, -1, np.int16), -want)
    with pytest.raises(zalcv.SizeError):
        zalcv.sobel_kernel(4, 1)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("channels", [1, 3, 4])
@pytest.mark.parametrize("size, anchor", [(3, None), ((2, 5), (0, 1)), ((4, 1), (0, 3))])
def test_min_max_filters(rng, dtype, channels, size, anchor):
    shape = (7, 9) if channels == 1 else (7, 9, channels)
    img = random_image(rng, shape, dtype)
    mh, mw = (size, size) if np.isscalar(size) else size
    a = (mw // 2, mh // 2) if anchor is None else anchor
    big, view = roi(img)
    np.testing.assert_array_equal(zalcv.min_filter(view, size, anchor), window_reduce(img, (mh, mw), a, np.min))
    np.testing.assert_array_equal(zalcv.max_filter(view, size, anchor), window_reduce(img, (mh, mw), a, np.max))
    with pytest.raises(zalcv.AnchorError):
        zalcv.max_filter(img, size, (mw, 0))
    with pytest.raises(ValueError):
        zalcv.max_filter(img, size, border="wrap")
