"""Image files in the formats of the zalcv program: PNG (8 and 16 bit), JPEG,
PGM/PPM, TIFF and .npy, read and written by the program's own codecs, so a
Python pipeline and the command line treat files alike.

read(path) recognises the format by the file's first bytes and returns an
(H, W) array for one channel or (H, W, C) for gray+alpha, RGB and RGBA.
write(path, image) picks the format by the extension and writes through a
temporary file in the same folder that is renamed over `path` only when
complete, so a failed or interrupted write never leaves half a file. Problems
with a file raise ImageFileError (an OSError) with the program's message.
"""

from __future__ import annotations

import os
from typing import Any, List

import numpy as np

from ._errors import ImageFileError

try:
    from ._zalcv import _io
except ImportError:  # built without libpng, libjpeg or libtiff
    _io = None

EXTENSIONS = (".png", ".jpg", ".jpeg", ".pgm", ".ppm", ".pnm", ".tif", ".tiff", ".npy")


def _codecs() -> Any:
    if _io is None:
        raise ImportError("zalcv.io: this build of zalcv has no image codecs (it needs libpng, libjpeg and "
                          "libtiff development files at build time; scripts/install-deps installs them)")
    return _io


def read(path: Any) -> np.ndarray:
    """The image stored in `path` (any supported format, by content)."""
    return _codecs().read(path)


def write(path: Any, image: Any, *, normalize: bool = False, jpeg_quality: int = 95) -> None:
    """Writes `image` to `path` in the format of its extension. A format that
    cannot hold the image (e.g. float data in a PNG) raises ImageFileError
    naming the way out; normalize=True stretches the values to 0..255."""
    _codecs().write(path, image, normalize=normalize, jpeg_quality=jpeg_quality)


def is_image_path(path: Any) -> bool:
    return os.path.splitext(os.fspath(path))[1].lower() in EXTENSIONS


def list_images(folder: Any) -> List[str]:
    """The image files of a folder as the program's batch mode finds them:
    regular files with a supported extension, hidden files skipped, sorted
    by name; full paths."""
    folder = os.fspath(folder)
    names = sorted(n for n in os.listdir(folder) if not n.startswith(".") and is_image_path(n)
                   and os.path.isfile(os.path.join(folder, n)))
    return [os.path.join(folder, n) for n in names]


__all__ = ["ImageFileError", "EXTENSIONS", "read", "write", "is_image_path", "list_images"]
