"""Small result records returned by zalcv functions."""

from __future__ import annotations

from typing import NamedTuple, Tuple

import numpy as np


class FloodFillResult(NamedTuple):
    """Result of :func:`zalcv.flood_fill`.

    Attributes:
        image: the filled image (the ``out`` array when one was given).
        area: number of pixels filled (0 when the seed already held the new value).
        value: the new value per channel.
        rect: bounding box (x, y, width, height) of the filled pixels.
    """

    image: np.ndarray
    area: int
    value: Tuple[float, ...]
    rect: Tuple[int, int, int, int]


class TrackResult(NamedTuple):
    """Result of :meth:`zalcv.LucasKanade.track`.

    Attributes:
        points: (N, 2) float32 tracked positions (x, y) in level-0 pixels.
        status: (N,) int8: 0 when tracked down to level 0, k > 0 when tracking failed at level k - 1.
        error: (N,) float32 residual of the last level processed.
    """

    points: np.ndarray
    status: np.ndarray
    error: np.ndarray


class SubpixResult(NamedTuple):
    """Result of :func:`zalcv.rect_subpix`.

    Attributes:
        patch: the interpolated patch.
        valid_min: (x, y) first patch column and row interpolated from genuine source pixels.
        valid_max: (x, y) last such column and row (-1 where there is none).
    """

    patch: np.ndarray
    valid_min: Tuple[int, int]
    valid_max: Tuple[int, int]
