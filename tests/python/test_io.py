"""zalcv.io: the program's image codecs from Python; exact round trips,
clear errors for bad files, and writes that never leave half a file."""

import os

import numpy as np
import pytest

import zalcv
from conftest import random_image
from zalcv import io

if io._io is None:
    pytest.skip("zalcv was built without the image libraries", allow_module_level=True)

RNG = np.random.default_rng(77)


# The codecs themselves are the program's (tested there); here: numpy arrays
# of each kind in and out, and the file names the format is chosen by.
@pytest.mark.parametrize("name, shape, dtype", [("gray.png", (23, 17), np.uint8), ("rgba16.png", (9, 31, 4), np.uint16),
                                                ("rgb.ppm", (11, 13, 3), np.uint8), ("signed.npy", (6, 7, 3), np.int16),
                                                ("double.npy", (3, 4), np.float64), ("float.tiff", (15, 22), np.float32),
                                                ("s32.tif", (4, 9), np.int32)])
def test_round_trips_are_exact(tmp_path, name, shape, dtype):
    img = random_image(RNG, shape, dtype)
    io.write(tmp_path / name, img)
    back = io.read(tmp_path / name)
    assert back.dtype == img.dtype and back.shape == img.shape and np.array_equal(back, img)
    assert os.listdir(tmp_path) == [name]  # no temporary file left


def test_jpeg_views_and_bool_arrays(tmp_path):
    yy, xx = np.mgrid[0:32, 0:48]
    img = ((yy * 3 + xx * 2) % 256).astype(np.uint8)
    io.write(tmp_path / "a.jpg", img, jpeg_quality=98)
    back = io.read(tmp_path / "a.jpg")
    assert back.shape == img.shape and back.dtype == np.uint8 and np.abs(back.astype(int) - img).mean() < 2
    view = random_image(RNG, (20, 30, 3), np.uint8)[3:15:2, 30:4:-3]  # strided, reversed
    io.write(tmp_path / "v.png", view)
    assert np.array_equal(io.read(tmp_path / "v.png"), view)
    io.write(tmp_path / "b.png", np.eye(4, dtype=bool))
    assert np.array_equal(io.read(tmp_path / "b.png"), np.eye(4, dtype=np.uint8))


@pytest.mark.parametrize("content, needle", [(b"", "empty"), (b"hello, not an image", "not a PNG"),
                                             (b"P5\n10 10\n255\n\x00\x01", "broken.png"), (None, "cannot open"),
                                             ("folder", "not a regular file")])
def test_bad_files_raise_image_file_errors(tmp_path, content, needle):
    path = tmp_path / "broken.png"
    if content == "folder":
        path.mkdir()
    elif content is not None:
        path.write_bytes(content)
    with pytest.raises(zalcv.ImageFileError, match=needle) as e:
        io.read(path)
    assert isinstance(e.value, OSError)


def test_failed_writes_leave_the_old_file(tmp_path):
    path = tmp_path / "keep.png"
    io.write(path, np.full((4, 4), 9, np.uint8))
    before = path.read_bytes()
    for name, img, exc, phrase in [
        ("keep.png", np.zeros((4, 4), np.float32), zalcv.ImageFileError, "normalize|tiff|npy"),  # names the way out
        ("keep.bmp", np.zeros((4, 4), np.uint8), zalcv.ImageFileError, "format"),
        ("keep.png", np.zeros(5, np.uint8), ValueError, ""),
        ("keep.png", np.zeros((2, 2, 5), np.uint8), ValueError, ""),
        ("a.npy", np.zeros((2, 2), np.complex64), TypeError, ""),
    ]:
        with pytest.raises(exc, match=phrase):
            io.write(tmp_path / name, img)
    with pytest.raises(ValueError):
        io.write(tmp_path / "a.jpg", np.zeros((2, 2), np.uint8), jpeg_quality=0)
    assert path.read_bytes() == before and sorted(os.listdir(tmp_path)) == ["keep.png"]
    io.write(path, np.array([[-1.0, 1.0]], np.float32), normalize=True)
    assert np.array_equal(io.read(path), [[0, 255]])


def test_list_images(tmp_path):
    for name in ["b.png", "a.TIF", ".hidden.png", "notes.txt", "c.npy", "d.jpeg"]:
        (tmp_path / name).write_bytes(b"x")
    (tmp_path / "folder.png").mkdir()
    assert [os.path.basename(p) for p in io.list_images(tmp_path)] == ["a.TIF", "b.png", "c.npy", "d.jpeg"]
