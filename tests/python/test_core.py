"""Pixel-wise operations and vector helpers: dtype/channel dispatch, views with
row strides, copies of unusual layouts, out= handling, in-place members."""

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
def test_absdiff_matches_numpy_on_views_and_out(rng, dtype):
    a = random_image(rng, (7, 9), dtype)
    b = random_image(rng, (7, 9), dtype)
    want = np.abs(a.astype(np.float64) - b.astype(np.float64)).astype(dtype)
    big_a, va = roi(a)
    big_o, vo = roi(np.zeros_like(a))
    got = zalcv.absdiff(va, b, out=vo)
    assert got is vo
    np.testing.assert_array_equal(vo, want)
    assert guards_intact(big_o) and guards_intact(big_a)


@pytest.mark.parametrize("dtype, value, expect", [(np.uint8, 300, 255), (np.uint8, -5, 0), (np.uint16, 70000, 65535)])
def test_absdiff_constant_is_clamped_to_the_type(dtype, value, expect):
    a = np.array([[0, 10]], dtype=dtype)
    got = zalcv.absdiff(a, value)
    np.testing.assert_array_equal(got, np.abs(a.astype(np.int64) - expect).astype(dtype))


def test_absdiff_float_clears_sign_of_zero():
    got = zalcv.absdiff(np.float32([[1.5, -0.0]]), np.float32([[1.5, 0.0]]))
    assert not np.signbit(got).any()


@pytest.mark.parametrize("layout", ["reversed rows", "column stride", "reversed columns", "fortran"])
def test_unusual_layouts_are_copied_not_misread(rng, layout):
    base = random_image(rng, (8, 12), np.uint8)
    view = {
        "reversed rows": base[::-1],
        "column stride": base[:, ::2],
        "reversed columns": base[:, ::-1],
        "fortran": np.asfortranarray(base),
    }[layout]
    np.testing.assert_array_equal(zalcv.copy(view), view)
    np.testing.assert_array_equal(zalcv.absdiff(view, 0), view)


@pytest.mark.parametrize("dtype", [np.uint8, np.int32, np.float32])
@pytest.mark.parametrize("channels", [1, 3, 4])
def test_replicate_border_matches_edge_padding(rng, dtype, channels):
    shape = (5, 6) if channels == 1 else (5, 6, channels)
    img = random_image(rng, shape, dtype)
    got = zalcv.replicate_border(img, 2, 1, 3, 0)
    pad = ((2, 1), (3, 0)) + (((0, 0),) if channels > 1 else ())
    np.testing.assert_array_equal(got, np.pad(img, pad, mode="edge"))


def test_replicate_border_into_its_own_frame():
    # The source is a view inside `out`: the binding must not let the library
    # read pixels it has already overwritten.
    big = np.zeros((6, 7), np.uint8)
    src = big[2:4, 3:5]
    src[...] = [[1, 2], [3, 4]]
    want = np.pad(src.copy(), ((2, 2), (3, 2)), mode="edge")
    zalcv.replicate_border(src, 2, 2, 3, 2, out=big)
    np.testing.assert_array_equal(big, want)


def ref_sub8(a, b, s):
    d = np.maximum(a.astype(np.int64) - b.astype(np.int64), 0)
    if s == 0:
        return d.astype(np.uint8)
    if s > 8:
        return np.zeros_like(d, dtype=np.uint8)
    if s < 0:
        return np.minimum(d << min(-s, 8), 255).astype(np.uint8)
    q, r = divmod(d, 1 << s)
    half = 1 << (s - 1)
    q = q + ((r > half) | ((r == half) & (q % 2 == 1)))
    return np.minimum(q, 255).astype(np.uint8)


@pytest.mark.parametrize("channels", [1, 3, 4])
@pytest.mark.parametrize("s", [-9, -1, 0, 1, 2, 8, 9])
def test_subtract_uint8_rounds_half_to_even(rng, channels, s):
    shape = (4, 5) if channels == 1 else (4, 5, channels)
    a, b = random_image(rng, shape, np.uint8), random_image(rng, shape, np.uint8)
    np.testing.assert_array_equal(zalcv.subtract(a, b, scale_factor=s), ref_sub8(a, b, s))


def test_subtract_in_place_and_float(rng):
    a, b = random_image(rng, (4, 5, 3), np.float32), random_image(rng, (4, 5, 3), np.float32)
    want = a - b
    np.testing.assert_array_equal(zalcv.subtract(a, b), want)
    got = zalcv.subtract(a, b, out=a)
    assert got is a
    np.testing.assert_array_equal(a, want)
    with pytest.raises(ValueError):
        zalcv.subtract(a, b, scale_factor=1)


@pytest.mark.parametrize("dtype", [np.uint8, np.float32])
@pytest.mark.parametrize("compare", ["lt", "gt"])
@pytest.mark.parametrize("value", [None, 9])
def test_threshold_replaces_the_pixels_that_compare_true(rng, dtype, compare, value):
    img = random_image(rng, (6, 7), dtype, 0, 200)
    t = 100
    hit = img < t if compare == "lt" else img > t
    want = np.where(hit, t if value is None else value, img).astype(dtype)
    np.testing.assert_array_equal(zalcv.threshold(img, t, value, compare=compare), want)
    big, view = roi(img)
    zalcv.threshold(view, t, value, compare=compare, out=view)
    np.testing.assert_array_equal(view, want)
    assert guards_intact(big)


def test_threshold_rejects_values_outside_the_type():
    with pytest.raises(ValueError):
        zalcv.threshold(np.zeros((2, 2), np.uint8), 256)
    with pytest.raises(ValueError):
        zalcv.threshold(np.zeros((2, 2), np.uint8), 1, compare="le")


def test_fill_writes_only_the_view():
    big = np.zeros((5, 6), np.uint8)
    assert zalcv.fill(big[1:3, 2:5], 9) is not None
    want = np.zeros((5, 6), np.uint8)
    want[1:3, 2:5] = 9
    np.testing.assert_array_equal(big, want)
    with pytest.raises(ValueError):
        zalcv.fill(big[:, ::2], 1)  # not writable in place: pixels apart


@pytest.mark.parametrize("op, ref", [(zalcv.maximum, np.maximum), (zalcv.minimum, np.minimum)])
def test_element_wise_extremes(rng, op, ref):
    a, b = random_image(rng, (3, 5), np.uint8), random_image(rng, (3, 5), np.uint8)
    np.testing.assert_array_equal(op(a, b), ref(a, b))
    got = op(a, b, out=a)
    assert got is a
    np.testing.assert_array_equal(a, ref(got, b))
    # float32: a NaN comparison keeps the first operand.
    x, y = np.float32([np.nan, 1.0]), np.float32([2.0, np.nan])
    r = op(x, y)
    assert np.isnan(r[0]) and r[1] == 1.0


def test_multiply_int16_scales_with_rounding():
    a = np.int16([3, 5, 7, -3, 30000])
    got = zalcv.multiply(a, 1, scale_factor=1)
    np.testing.assert_array_equal(got, [2, 2, 4, -2, 15000])
    np.testing.assert_array_equal(zalcv.multiply(a, 2), [6, 10, 14, -6, 32767])
    np.testing.assert_array_equal(a, [3, 5, 7, -3, 30000])  # input untouched


def test_sqrt_warns_on_negative_input_and_returns_complete_result():
    with pytest.warns(zalcv.SqrtOfNegativeWarning):
        got = zalcv.sqrt(np.float32([4, -1, 9]))
    assert got[0] == 2 and np.isnan(got[1]) and got[2] == 3
    with pytest.warns(zalcv.SqrtOfNegativeWarning):
        got = zalcv.sqrt(np.int32([16, -4, 400]), scale_factor=1)
    np.testing.assert_array_equal(got, np.int16([2, 0, 10]))


def test_sort_returns_sorted_copy(rng):
    a = rng.normal(size=50)
    np.testing.assert_array_equal(zalcv.sort(a), np.sort(a))
    with pytest.raises(TypeError):
        zalcv.sort(a.astype(np.float32))


def test_version_and_threads():
    v = zalcv.version()
    assert v["version"] == zalcv.__version__ and v["major"] >= 5
    assert zalcv.get_num_threads() >= 1
    assert zalcv.cpu_info()["max_cache_bytes"] > 0
