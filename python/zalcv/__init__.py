"""zalcv: computer-vision operations on numpy arrays.

Images are numpy arrays: (H, W) for one channel, (H, W, C) for C interleaved
channels. Every function dispatches on the dtype and channel count to the
library's matching operation and returns a new array, or writes into ``out=``
when given (``out`` is checked completely first and is left untouched when an
error is raised). Views with any row stride are used without copying (a slice of
a larger image is a region of interest); arrays whose pixels are not contiguous
within a row, or whose rows run backwards, are copied first. Results are fresh
numpy arrays owned by Python; the library keeps no pointer to any array after a
call returns (the Pyramid objects own their level arrays).

Points are (x, y); shapes are numpy's (rows, cols). Errors raise subclasses of
:class:`zalcv.Error` (which also derive from ValueError, TypeError or
MemoryError); warnings of the library are :class:`zalcv.ZalcvWarning`
subclasses, issued with the complete result. The GIL is released while the
library works, so threads run operations in parallel; the library's own worker
count is :func:`set_num_threads` / :func:`get_num_threads`.

Objects that own library states (Morphology, GrayMorphology, Inpainter,
PyramidLayer, Pyramid, LucasKanade, HaarClassifier) free them with close(), at
the end of a ``with`` block, or when they are garbage collected.
"""

from ._errors import (
    AnchorError,
    AsymmetricKernelWarning,
    BadArgumentError,
    ChannelCountError,
    ChannelOfInterestError,
    ComparisonError,
    DataTypeError,
    DivisionByZeroWarning,
    Error,
    ImageFileError,
    LineError,
    MaskSizeError,
    MetricError,
    NoMemoryError,
    NotTileableError,
    NullPointerError,
    OutOfRangeError,
    SizeError,
    SqrtOfNegativeWarning,
    StepAlignmentError,
    StepError,
    ZalcvWarning,
)
from ._types import FloodFillResult, SubpixResult, TrackResult
from ._zalcv import (
    GrayMorphology,
    HaarClassifier,
    Inpainter,
    LucasKanade,
    Morphology,
    Pyramid,
    PyramidLayer,
    absdiff,
    accumulate,
    accumulate_product,
    accumulate_square,
    accumulate_weighted,
    black_tophat,
    bound_segments,
    box_filter,
    canny,
    closing,
    copy,
    copy_subpix,
    cpu_info,
    dilate,
    distance_transform,
    distance_transform_weights,
    eigen_vals_vecs,
    erode,
    fast_arctan,
    fast_marching,
    fill,
    filter_column,
    filter_row,
    flood_fill,
    get_num_threads,
    gradient_to_gray,
    gray_dilate,
    gray_erode,
    inpaint,
    integral,
    laplacian,
    line_points,
    max_filter,
    maximum,
    mean,
    mean_std,
    min_eigenval,
    min_filter,
    min_max_loc,
    minimum,
    morphological_gradient,
    multiply,
    norm,
    opening,
    pyr_down,
    pyr_up,
    pyramid_down_shape,
    pyramid_up_range,
    reconstruction,
    rect_stddev,
    rect_subpix,
    replicate_border,
    sample_line,
    scharr,
    set_num_threads,
    sobel,
    sobel_kernel,
    sort,
    sqrt,
    subtract,
    threshold,
    undistort,
    undistort_map,
    update_motion_history,
    version,
    watershed,
    white_tophat,
)
from ._composite import HaarCascade, sep_filter
from . import io

__version__ = version()["version"]

__all__ = [name for name in dir() if not name.startswith("_")]
