"""Operations composed in Python from the compiled ones: a whole separable
filter (vertical border, row pass, column pass) and a Haar cascade detector."""

from __future__ import annotations

from typing import Optional, Sequence, Tuple, Union

import numpy as np

from . import _zalcv as _z

_BORDERS = ("constant", "replicate", "wrap", "reflect", "reflect_edge")


def _border_rows(n: int, before: int, after: int, border: str) -> np.ndarray:
    """Source row index for rows -before .. n - 1 + after under `border`
    (-1 marks a constant row); the same rules as the row pass uses across."""
    i = np.arange(-before, n + after)
    if border == "replicate":
        return np.clip(i, 0, n - 1)
    if border == "wrap":
        return np.mod(i, n)
    if border == "reflect":
        if n == 1:
            return np.zeros_like(i)
        p = np.mod(i, 2 * (n - 1))
        return np.where(p < n, p, 2 * (n - 1) - p)
    if border == "reflect_edge":
        p = np.mod(i, 2 * n)
        return np.where(p < n, p, 2 * n - 1 - p)
    return np.where((i >= 0) & (i < n), i, -1)


def sep_filter(
    img: np.ndarray,
    row_kernel: Sequence[float],
    column_kernel: Sequence[float],
    anchor: Optional[Tuple[int, int]] = None,
    *,
    border: str = "replicate",
    border_value: Union[float, Sequence[float]] = 0,
    row_divisor: int = 1,
    column_divisor: int = 1,
    dtype=None,
    out: Optional[np.ndarray] = None,
) -> np.ndarray:
    """Separable correlation: out[y, x] = sum_ij column_kernel[i] * row_kernel[j] *
    img[y + i - ay, x + j - ax], with `anchor` = (ax, ay) (default the kernel centres).

    The `border` rule ('constant' with `border_value`, 'replicate', 'wrap', 'reflect',
    'reflect_edge') applies in both directions. float32 images use float taps throughout;
    uint8 and int16 images use int16 taps, the row pass giving int16 values divided by
    `row_divisor` and the column pass int16 (or uint8 / int8 with `dtype`) values divided
    by `column_divisor`, each clamped and truncated. 1 or 3 channels.
    """
    if isinstance(border, int):
        border = _BORDERS[border] if 0 <= border < len(_BORDERS) else str(border)
    border = str(border).lower()
    if border not in _BORDERS:
        raise ValueError(f"'border' must be one of {_BORDERS}; got {border!r}")
    a = np.asarray(img)
    if a.ndim not in (2, 3):
        raise ValueError("'img' must be a 2-D array or 3-D with 3 channels in the last axis")
    rk = np.asarray(row_kernel)
    ck = np.asarray(column_kernel)
    if rk.ndim != 1 or ck.ndim != 1 or rk.size < 1 or ck.size < 1:
        raise ValueError("the kernels must be non-empty 1-D sequences")
    ax, ay = (rk.size // 2, ck.size // 2) if anchor is None else anchor
    if not (0 <= ay < ck.size):
        raise ValueError("the anchor's y lies outside the column kernel")
    rows = _border_rows(a.shape[0], ay, ck.size - 1 - ay, border)
    padded = a[np.maximum(rows, 0)]
    if border == "constant" and np.any(rows < 0):
        padded = padded.copy()
        padded[rows < 0] = border_value
    mid = _z.filter_row(padded, rk, ax, border=border, border_value=border_value, divisor=row_divisor)
    return _z.filter_column(mid, ck, divisor=column_divisor, dtype=dtype, out=out)


class HaarCascade:
    """A cascade of Haar stages run over every window of an image.

    HaarCascade(stages, window=None): `stages` is a sequence of (HaarClassifier,
    threshold) pairs, all float32 or all int32; `window` (rows, cols) defaults to the
    largest stage size. detect() builds the integral tables of the image (tilted ones too
    when a stage holds tilted classifiers), the standard deviation of every window as the
    normalisation, and applies the stages in order to the windows that are still
    accepted. The cascade does not own the stages: close them (or use `with`) yourself.
    """

    def __init__(self, stages, window: Optional[Tuple[int, int]] = None) -> None:
        self.stages = [(stage, thr) for stage, thr in stages]
        if not self.stages:
            raise ValueError("HaarCascade needs at least one stage")
        kinds = {np.dtype(stage.dtype) for stage, _ in self.stages}
        if len(kinds) != 1:
            raise TypeError("all stages of a cascade must have one dtype")
        self.dtype = kinds.pop()
        if window is None:
            sizes = [stage.size for stage, _ in self.stages]
            window = (max(s[0] for s in sizes), max(s[1] for s in sizes))
        self.window = (int(window[0]), int(window[1]))
        if self.window[0] < 1 or self.window[1] < 1:
            raise ValueError("the window must be at least 1 x 1")

    def detect(self, img: np.ndarray, *, norm_rect: Optional[Tuple[int, int, int, int]] = None) -> np.ndarray:
        """A boolean array, one entry per window position (rows H - wh + 1, cols W - ww + 1),
        True where every stage accepts the window whose top-left pixel is there.
        `norm_rect` (x, y, width, height) is the part of the window whose standard
        deviation normalises the thresholds (default the whole window)."""
        a = np.asarray(img)
        if a.dtype != np.uint8 or a.ndim != 2:
            raise TypeError("HaarCascade.detect takes a one-channel uint8 image")
        wh, ww = self.window
        h, w = a.shape[0] - wh + 1, a.shape[1] - ww + 1
        if h < 1 or w < 1:
            return np.zeros((max(h, 0), max(w, 0)), dtype=bool)
        if self.dtype == np.float32:
            sums, sqsums = _z.integral(a, "float32", squared=True, sq_dtype="float64")
        else:
            sums, sqsums = _z.integral(a, "int32", squared=True, sq_dtype="int32")
        tilted = None
        if any(stage.tilted for stage, _ in self.stages):
            tilted = _z.integral(a, "float32" if self.dtype == np.float32 else "int32", tilted=True)
        rect = (0, 0, ww, wh) if norm_rect is None else tuple(norm_rect)
        norm = _z.rect_stddev(sums, sqsums, rect, (h, w))
        mask = np.ones((h, w), dtype=np.uint8)
        for stage, threshold in self.stages:
            if not stage.tilted:
                stage.apply(sums, norm, mask, threshold)
            else:
                stage.apply(sums, norm, mask, threshold, tilted_sums=tilted)
            if not mask.any():
                break
        return mask.astype(bool)
