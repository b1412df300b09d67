"""Pixel-wise operations and vector helpers: dtype/channel dispatch, views with
row strides, copies of unusual layouts, out= handling, in-place members."""

import numpy as np
import pytest

import zalcv
from conftest import guards_intact, random_image, roi, shape_of


@pytest.mark.parametrize("dtype", [np.uint8, np.uint16, np.float32])
def test_absdiff_on_views_out_and_clamped_constants(rng, dtype):
    a, b = random_image(rng, (7, 9), dtype), random_image(rng, (7, 9), dtype)
    big_a, va = roi(a)
    big_o, vo = roi(np.zeros_like(a))
    assert zalcv.absdiff(va, b, out=vo) is vo
    np.testing.assert_array_equal(vo, np.abs(a.astype(np.float64) - b).astype(dtype))
    assert guards_intact(big_o) and guards_intact(big_a)
    if dtype != np.float32:  # an integer constant is clamped to the type
        top = np.iinfo(dtype).max
        np.testing.assert_array_equal(zalcv.absdiff(a, top + 40), top - a)
        np.testing.assert_array_equal(zalcv.absdiff(a, -5), a)


@pytest.mark.parametrize("layout", ["reversed rows", "column stride", "reversed columns", "fortran"])
def test_unusual_layouts_are_copied_not_misread(rng, layout):
    base = random_image(rng, (8, 12), np.uint8)
    view = {"reversed rows": base[::-1], "column stride": base[:, ::2], "reversed columns": base[:, ::-1],
            "fortran": np.asfortranarray(base)}[layout]
    np.testing.assert_array_equal(zalcv.copy(view), view)
    np.testing.assert_array_equal(zalcv.absdiff(view, 0), view)


def test_bool_inputs_read_as_uint8_and_stay_unwritten():
    mask = np.eye(4, dtype=bool)
    mask.flags.writeable = False
    np.testing.assert_array_equal(zalcv.copy(mask), np.eye(4, dtype=np.uint8))
    np.testing.assert_array_equal(zalcv.absdiff(mask, 1), 1 - np.eye(4, dtype=np.uint8))


@pytest.mark.parametrize("dtype, channels", [(np.uint8, 1), (np.int32, 3), (np.float32, 4)])
def test_replicate_border_matches_edge_padding(rng, dtype, channels):
    img = random_image(rng, shape_of(channels, 5, 6), dtype)
    widths = ((2, 1), (3, 0)) + (((0, 0),) if channels > 1 else ())
    np.testing.assert_array_equal(zalcv.replicate_border(img, 2, 1, 3, 0), np.pad(img, widths, mode="edge"))


def test_replicate_border_into_its_own_frame():
    # The source is a view inside `out`: the binding must not let the library
    # read pixels it has already overwritten.
    big = np.zeros((6, 7), np.uint8)
    src = big[2:4, 3:5]
    src[...] = [[1, 2], [3, 4]]
    want = np.pad(src.copy(), ((2, 2), (3, 2)), mode="edge")
    zalcv.replicate_border(src, 2, 2, 3, 2, out=big)
    np.testing.assert_array_equal(big, want)


@pytest.mark.parametrize("channels", [1, 3])
def test_subtract_scales_rounding_half_to_even_and_floats_in_place(rng, channels):
    a, b = random_image(rng, shape_of(channels, 4, 5), np.uint8), random_image(rng, shape_of(channels, 4, 5), np.uint8)
    d = np.maximum(a.astype(np.int64) - b, 0)
    for s in (-9, -1, 0, 1, 2, 9):
        np.testing.assert_array_equal(zalcv.subtract(a, b, scale_factor=s), np.clip(np.round(d * 2.0**-s), 0, 255))
    a, b = a.astype(np.float32) / 7, b.astype(np.float32)
    want = a - b
    assert zalcv.subtract(a, b, out=a) is a
    np.testing.assert_array_equal(a, want)


@pytest.mark.parametrize("dtype, compare, value", [(np.uint8, "lt", None), (np.float32, "gt", 9)])
def test_threshold_replaces_the_pixels_that_compare_true(rng, dtype, compare, value):
    img = random_image(rng, (6, 7), dtype, 0, 200)
    hit = img < 100 if compare == "lt" else img > 100
    want = np.where(hit, 100 if value is None else value, img).astype(dtype)
    np.testing.assert_array_equal(zalcv.threshold(img, 100, value, compare=compare), want)
    big, view = roi(img)
    zalcv.threshold(view, 100, value, compare=compare, out=view)
    np.testing.assert_array_equal(view, want)
    assert guards_intact(big)


def test_element_wise_extremes(rng):
    for op, ref in [(zalcv.maximum, np.maximum), (zalcv.minimum, np.minimum)]:
        a, b = random_image(rng, (3, 5), np.uint8), random_image(rng, (3, 5), np.uint8)
        want = ref(a, b)
        assert op(a, b, out=a) is a
        np.testing.assert_array_equal(a, want)
        r = op(np.float32([np.nan, 1.0]), np.float32([2.0, np.nan]))  # a NaN comparison keeps the first operand
        assert np.isnan(r[0]) and r[1] == 1.0


def test_multiply_sqrt_and_sort_smoke(rng):
    a = np.int16([3, 5, 7, -3, 30000])
    np.testing.assert_array_equal(zalcv.multiply(a, 1, scale_factor=1), [2, 2, 4, -2, 15000])
    np.testing.assert_array_equal(zalcv.multiply(a, 2), [6, 10, 14, -6, 32767])
    np.testing.assert_array_equal(a, [3, 5, 7, -3, 30000])  # input untouched
    with pytest.warns(zalcv.SqrtOfNegativeWarning):
        np.testing.assert_array_equal(zalcv.sqrt(np.int32([16, -4, 400]), scale_factor=1), np.int16([2, 0, 10]))
    v = rng.normal(size=50)
    np.testing.assert_array_equal(zalcv.sort(v), np.sort(v))
