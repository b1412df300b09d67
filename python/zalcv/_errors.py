"""Exceptions and warnings of zalcv.

Every operation of the library returns a status: 0 for success, a negative
code for an error (nothing was written) or a positive code for a warning (the
result is complete). The binding turns a negative status into an exception
whose class names the kind of failure and a positive one into a warning.
Classes that describe a bad value also derive from ValueError (TypeError,
MemoryError), so generic handlers keep working.
"""

from __future__ import annotations


class Error(Exception):
    """Base class of the errors reported by the library.

    Attributes:
        status: the library's status code (negative), or None when the binding
            raised the error itself.
    """

    status: int | None

    def __init__(self, message: str, status: int | None = None) -> None:
        super().__init__(message)
        self.status = status


class NullPointerError(Error, ValueError):
    """A required input was missing (status -8)."""


class SizeError(Error, ValueError):
    """A size below its minimum or inconsistent with another (status -6)."""


class StepError(Error, ValueError):
    """A row step too small for its row (status -14)."""


class StepAlignmentError(StepError):
    """A row step not a multiple of the element size (status -108)."""


class BadArgumentError(Error, ValueError):
    """A scalar argument outside its allowed set (status -5)."""


class AnchorError(BadArgumentError):
    """An anchor outside its kernel (status -34)."""


class MaskSizeError(BadArgumentError):
    """An aperture other than 3x3 or 5x5, or an empty kernel (status -33)."""


class MetricError(BadArgumentError):
    """A distance weight that is not positive (status -56)."""


class ComparisonError(BadArgumentError):
    """A comparison other than less-than or greater-than (status -9999)."""


class OutOfRangeError(Error, ValueError):
    """A point outside the image or a negative range (status -11)."""


class NoMemoryError(Error, MemoryError):
    """An allocation failed (status -9)."""


class DataTypeError(Error, TypeError):
    """A data type the operation does not take (status -12)."""


class ChannelCountError(Error, ValueError):
    """A channel count the operation does not take (status -53)."""


class ChannelOfInterestError(Error, ValueError):
    """A channel index outside the image (status -52)."""


class LineError(Error, ValueError):
    """A line whose set-up gave a negative point count (status -2)."""


class ImageFileError(Error, OSError):
    """An image file that cannot be read or written: missing, corrupt, of an
    unknown format, or a format that cannot hold the image (zalcv.io)."""


class NotTileableError(Error, ValueError):
    """An operation that zalcv.dask cannot split into tiles: its output pixels
    depend on the whole image, or on more than the tile can carry exactly."""


class ZalcvWarning(RuntimeWarning):
    """Base class of the warnings: the result is complete but noteworthy."""

    status: int = 0


class SqrtOfNegativeWarning(ZalcvWarning):
    """A square root met a negative input (status 3)."""

    status = 3


class DivisionByZeroWarning(ZalcvWarning):
    """A relative norm had a zero denominator (status 6)."""

    status = 6


class AsymmetricKernelWarning(ZalcvWarning):
    """A pyramid kernel was not symmetric and was mirrored (status 38)."""

    status = 38


STATUS_ERRORS: dict[int, type[Error]] = {
    -9999: ComparisonError,
    -108: StepAlignmentError,
    -56: MetricError,
    -53: ChannelCountError,
    -52: ChannelOfInterestError,
    -34: AnchorError,
    -33: MaskSizeError,
    -14: StepError,
    -12: DataTypeError,
    -11: OutOfRangeError,
    -9: NoMemoryError,
    -8: NullPointerError,
    -6: SizeError,
    -5: BadArgumentError,
    -2: LineError,
}

STATUS_WARNINGS: dict[int, type[ZalcvWarning]] = {
    3: SqrtOfNegativeWarning,
    6: DivisionByZeroWarning,
    38: AsymmetricKernelWarning,
}

__all__ = [name for name in dir() if name.endswith(("Error", "Warning"))]
