"""The table of zalcv.dask: every local operation with its reach (the halo it
needs) as a function of its parameters, its alignment, and the border rule
that acts at the image's true edges; and the operations that cannot be tiled,
with the reason and what to do instead.

A tiled function takes the numpy function's arguments (dask or numpy arrays
for the images; `out=` does not exist) plus `threads`, the library's worker
count inside each task. Its result is a dask array equal bit for bit to the
numpy function's result on the whole image.
"""

from __future__ import annotations

import dataclasses
import functools
import inspect
import math
import numbers
from typing import Any, Callable, Dict, Optional, Tuple

import numpy as np

import dask.array as da

from . import _composite, _zalcv as _z
from ._errors import NotTileableError
from ._tiling import Axis, Plan, as_dask, check_threads, map_tiles, split_axis

_BORDERS = ("constant", "replicate", "wrap", "reflect", "reflect_edge")


def _wraps(border: Any) -> bool:
    """True for the 'wrap' border, the one rule that reads the opposite edge."""
    if isinstance(border, numbers.Integral):
        return int(border) == _BORDERS.index("wrap")
    return str(border).lower() == "wrap"


def _square(r: int, args: Dict[str, Any]) -> Plan:
    return Plan(Axis(r, r), Axis(r, r), periodic=_wraps(args.get("border", "replicate")))


def _ksize(args: Dict[str, Any]) -> Plan:
    return _square(int(args["ksize"]) // 2, args)


def _pixelwise(args: Dict[str, Any]) -> Plan:
    return Plan()


def _filter_row(args: Dict[str, Any]) -> Plan:
    k = len(np.ravel(args["kernel"]))
    a = k // 2 if args["anchor"] is None else int(args["anchor"])
    return Plan(cols=Axis(a, k - 1 - a), periodic=_wraps(args["border"]))


def _filter_column(args: Dict[str, Any]) -> Plan:
    k = len(np.ravel(args["kernel"]))
    return Plan(rows=Axis(0, k - 1, shrink=k - 1))


def _sep_filter(args: Dict[str, Any]) -> Plan:
    kr, kc = len(np.ravel(args["row_kernel"])), len(np.ravel(args["column_kernel"]))
    ax, ay = (kr // 2, kc // 2) if args["anchor"] is None else (int(args["anchor"][0]), int(args["anchor"][1]))
    return Plan(Axis(ay, kc - 1 - ay), Axis(ax, kr - 1 - ax), periodic=_wraps(args["border"]))


def _window(shape: Tuple[int, int], anchor: Any) -> Plan:
    """A rectangle of shape (rows, cols) placed by its anchor (x, y)."""
    mh, mw = shape
    ax, ay = (mw // 2, mh // 2) if anchor is None else (int(anchor[0]), int(anchor[1]))
    return Plan(Axis(ay, mh - 1 - ay), Axis(ax, mw - 1 - ax))


def _rank(args: Dict[str, Any]) -> Plan:
    size = args["size"]
    shape = (int(size), int(size)) if np.ndim(size) == 0 else (int(size[0]), int(size[1]))
    return _window(shape, args["anchor"])


def _offsets(args: Dict[str, Any]) -> Optional[Tuple[Tuple[int, int], Tuple[int, int]]]:
    """Row and column offsets (lowest, highest) of the members of a flat
    footprint relative to its anchor; None for an empty footprint (a copy)."""
    f = np.ones((3, 3), dtype=bool) if args["footprint"] is None else np.asarray(args["footprint"]) != 0
    mh, mw = f.shape
    ax, ay = (mw // 2, mh // 2) if args["anchor"] is None else (int(args["anchor"][0]), int(args["anchor"][1]))
    rows, cols = np.flatnonzero(f.any(axis=1)), np.flatnonzero(f.any(axis=0))
    if rows.size == 0:
        return None
    return (int(rows[0]) - ay, int(rows[-1]) - ay), (int(cols[0]) - ax, int(cols[-1]) - ax)


def _flat(args: Dict[str, Any]) -> Plan:
    """Dilation, erosion, gradient: the footprint's members around the anchor."""
    o = _offsets(args)
    if o is None:
        return Plan()
    (r0, r1), (c0, c1) = o
    return Plan(Axis(max(0, -r0), max(0, r1)), Axis(max(0, -c0), max(0, c1)))


def _flat_twice(args: Dict[str, Any]) -> Plan:
    """Opening, closing and the top-hats: the footprint, then the footprint
    turned by 180 degrees, so the reach is the members' extent both ways."""
    o = _offsets(args)
    if o is None:
        return Plan()
    (r0, r1), (c0, c1) = o
    return Plan(Axis(r1 - r0, r1 - r0), Axis(c1 - c0, c1 - c0))


def _gray(args: Dict[str, Any]) -> Plan:
    # Every kernel element takes part, whatever its value.
    return _window(np.shape(args["kernel"]), args["anchor"])


def _corner(args: Dict[str, Any]) -> Plan:
    # Derivatives (aperture), then their products averaged over the window.
    r = int(args["aperture"]) // 2 + int(args["window"]) // 2
    return Plan(Axis(r, r), Axis(r, r))


def _pyr_down(args: Dict[str, Any]) -> Plan:
    return Plan(Axis(2, 2, down=2), Axis(2, 2, down=2))


def _pyr_up(args: Dict[str, Any]) -> Plan:
    return Plan(Axis(1, 1, up=2), Axis(1, 1, up=2))


def _fast_arctan(args: Dict[str, Any]) -> Plan:
    # The library shares one reciprocal among each group of four consecutive
    # elements (in memory order), so tiles must hold whole groups: whole rows
    # whose flat start is a multiple of four.
    y = args["y"]
    if y.ndim == 1:
        return Plan(rows=Axis(align=4))
    if y.ndim != 2:
        raise NotTileableError("fast_arctan tiles one- and two-dimensional arrays only")
    return Plan(rows=Axis(align=4 // math.gcd(int(y.shape[1]), 4)), cols=Axis(whole=True))


def _copy_subpix(args: Dict[str, Any]) -> Plan:
    # Integer results are per pixel; float results carry a running term along
    # each row from its first pixel, so rows stay whole.
    out = np.dtype(args["img"].dtype if args["dtype"] is None else args["dtype"])
    return Plan(Axis(0, 1, shrink=1), Axis(0, 1, shrink=1, whole=out == np.float32))


def _updated(name: str, target: str, **kwargs: Any) -> Any:
    """Operations that update an image in place (accumulators, motion
    history) get a private copy of their tile of it."""
    kwargs[target] = np.array(kwargs[target], copy=True)
    return getattr(_z, name)(**kwargs)


@dataclasses.dataclass(frozen=True)
class Local:
    signature: inspect.Signature
    images: Tuple[str, ...]  # parameters tiled together; a number there is passed as is
    plan: Callable[[Dict[str, Any]], Plan]
    edge: str  # the border rule at the image's true edges
    call: Callable


def _sig(f: Callable) -> inspect.Signature:
    return inspect.signature(f)


def _entry(sig: Callable, images: Tuple[str, ...], plan: Callable, edge: str, call: Callable) -> Local:
    return Local(_sig(sig), images, plan, edge, call)


_BORDER = "the `border` argument ('wrap' takes its halo from the opposite edge)"
_REPL = "replicated edge pixels"

LOCAL: Dict[str, Local] = {
    # Pixel-wise operations and accumulation: no halo.
    "absdiff": _entry(lambda a, b: 0, ("a", "b"), _pixelwise, "none", _z.absdiff),
    "copy": _entry(lambda img: 0, ("img",), _pixelwise, "none", _z.copy),
    "subtract": _entry(lambda a, b, *, scale_factor=0: 0, ("a", "b"), _pixelwise, "none", _z.subtract),
    "threshold": _entry(lambda img, threshold, value=None, *, compare="lt": 0, ("img",), _pixelwise, "none",
                        _z.threshold),
    "maximum": _entry(lambda a, b: 0, ("a", "b"), _pixelwise, "none", _z.maximum),
    "minimum": _entry(lambda a, b: 0, ("a", "b"), _pixelwise, "none", _z.minimum),
    "multiply": _entry(lambda a, value, *, scale_factor=0: 0, ("a",), _pixelwise, "none", _z.multiply),
    "sqrt": _entry(lambda a, *, scale_factor=0: 0, ("a",), _pixelwise, "none", _z.sqrt),
    "gradient_to_gray": _entry(lambda img, norm="max": 0, ("img",), _pixelwise, "none", _z.gradient_to_gray),
    "fast_arctan": _entry(lambda y, x: 0, ("y", "x"), _fast_arctan, "none", _z.fast_arctan),
    "accumulate": _entry(lambda src, acc, *, mask=None: 0, ("src", "acc", "mask"), _pixelwise, "none",
                         functools.partial(_updated, "accumulate", "acc")),
    "accumulate_square": _entry(lambda src, acc, *, mask=None: 0, ("src", "acc", "mask"), _pixelwise, "none",
                                functools.partial(_updated, "accumulate_square", "acc")),
    "accumulate_product": _entry(lambda src1, src2, acc, *, mask=None: 0, ("src1", "src2", "acc", "mask"), _pixelwise,
                                 "none", functools.partial(_updated, "accumulate_product", "acc")),
    "accumulate_weighted": _entry(lambda src, acc, alpha, *, mask=None: 0, ("src", "acc", "mask"), _pixelwise,
                                  "none", functools.partial(_updated, "accumulate_weighted", "acc")),
    "update_motion_history": _entry(lambda silhouette, mhi, timestamp, duration: 0, ("silhouette", "mhi"), _pixelwise,
                                    "none", functools.partial(_updated, "update_motion_history", "mhi")),
    # Linear filters.
    "sobel": _entry(lambda img, dx=1, dy=0, ksize=3, *, border="replicate", border_value=0, dtype=None, divisor=1: 0,
                    ("img",), _ksize, _BORDER, _z.sobel),
    "scharr": _entry(lambda img, dx=1, dy=0, *, border="replicate", border_value=0, dtype=None, divisor=1: 0,
                     ("img",), lambda a: _square(1, a), _BORDER, _z.scharr),
    "laplacian": _entry(lambda img, ksize=3, *, border="replicate", border_value=0, dtype=None, divisor=1: 0,
                        ("img",), _ksize, _BORDER, _z.laplacian),
    "box_filter": _entry(lambda img, ksize=3, *, border="replicate", border_value=0: 0, ("img",), _ksize, _BORDER,
                         _z.box_filter),
    "filter_row": _entry(lambda img, kernel, anchor=None, *, border="replicate", border_value=0, divisor=1,
                         low=False: 0, ("img",), _filter_row, _BORDER, _z.filter_row),
    "filter_column": _entry(lambda rows, kernel, *, divisor=1, dtype=None, low=False: 0, ("rows",), _filter_column,
                            "none: the result has len(kernel) - 1 rows fewer", _z.filter_column),
    "sep_filter": _entry(lambda img, row_kernel, column_kernel, anchor=None, *, border="replicate", border_value=0,
                         row_divisor=1, column_divisor=1, dtype=None: 0, ("img",), _sep_filter, _BORDER,
                         _composite.sep_filter),
    "min_filter": _entry(lambda img, size, anchor=None, *, border="replicate": 0, ("img",), _rank, _REPL,
                         _z.min_filter),
    "max_filter": _entry(lambda img, size, anchor=None, *, border="replicate": 0, ("img",), _rank, _REPL,
                         _z.max_filter),
    # Corner measures.
    "min_eigenval": _entry(lambda img, *, kernel="sobel", aperture=3, window=3: 0, ("img",), _corner, _REPL,
                           _z.min_eigenval),
    "eigen_vals_vecs": _entry(lambda img, *, kernel="sobel", aperture=3, window=3: 0, ("img",), _corner, _REPL,
                              _z.eigen_vals_vecs),
    # Morphology.
    "dilate": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat, _REPL,
                     _z.dilate),
    "erode": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat, _REPL,
                    _z.erode),
    "morphological_gradient": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",),
                                     _flat, _REPL, _z.morphological_gradient),
    "opening": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat_twice, _REPL,
                      _z.opening),
    "closing": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat_twice, _REPL,
                      _z.closing),
    "white_tophat": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat_twice,
                           _REPL, _z.white_tophat),
    "black_tophat": _entry(lambda img, footprint=None, anchor=None, *, border="replicate": 0, ("img",), _flat_twice,
                           _REPL, _z.black_tophat),
    "gray_dilate": _entry(lambda img, kernel, anchor=None, *, border="replicate": 0, ("img",), _gray, _REPL,
                          _z.gray_dilate),
    "gray_erode": _entry(lambda img, kernel, anchor=None, *, border="replicate": 0, ("img",), _gray, _REPL,
                         _z.gray_erode),
    # Gaussian pyramid levels and sub-pixel shifts.
    "pyr_down": _entry(lambda img: 0, ("img",), _pyr_down, "reflection without repeating the edge pixel; tiles start "
                       "at even rows and columns", _z.pyr_down),
    "pyr_up": _entry(lambda img: 0, ("img",), _pyr_up, "reflection of the zero-interleaved signal", _z.pyr_up),
    "copy_subpix": _entry(lambda img, dx, dy, *, dtype=None, scale_factor=0: 0, ("img",), _copy_subpix,
                          "none: the result is one row and one column smaller", _z.copy_subpix),
}


# Operations whose output pixels depend on more than a bounded neighbourhood.
_PER_IMAGE = ("compute it on a downsampled image (zalcv.dask.pyr_down), or per image with map_files, or on "
              "one tile that holds the whole region of interest")
REJECTED: Dict[str, str] = {
    "canny": "hysteresis follows edges through the whole image, so a pixel can become an edge because of a strong "
             "pixel arbitrarily far away. Tile the derivatives (zalcv.dask.sobel) and " + _PER_IMAGE,
    "distance_transform": "the distance to the nearest zero pixel can come from anywhere in the image; "
                          + _PER_IMAGE,
    "flood_fill": "the filled region grows through the whole image from one seed; " + _PER_IMAGE,
    "watershed": "flooding from the markers crosses the whole image; " + _PER_IMAGE,
    "bound_segments": "a painted pixel changes what every later pixel in raster order sees, so a result depends on "
                      "the chain of all pixels before it; " + _PER_IMAGE,
    "fast_marching": "the arrival times propagate from the mask through the whole image; " + _PER_IMAGE,
    "inpaint": "the filled values propagate inward from the boundary of each masked region, however large; "
               + _PER_IMAGE,
    "Inpainter": "the filled values propagate inward from the boundary of each masked region; " + _PER_IMAGE,
    "reconstruction": "the marker spreads under the mask through the whole image until nothing changes; "
                      + _PER_IMAGE,
    "undistort": "an output pixel reads a source position that the lens model can put anywhere in the image; "
                 "compute per image (map_files), or tile zalcv.undistort_map's displacement yourself where you "
                 "know it is bounded",
    "replicate_border": "it adds rows and columns rather than computing pixels; dask.array.pad(x, ..., "
                        "mode='edge') gives the same result lazily",
    "fill": "it writes into an existing image; use dask.array.full",
    "sort": "sorting is a whole-array operation; use dask.array.topk or sort the values of each file",
    "Pyramid": "use zalcv.dask.pyramid(x, levels), which tiles every level",
    "PyramidLayer": "general pyramid layers sample at positions scaled by a non-integer rate and normalise by "
                    "weights along the whole row; use zalcv.dask.pyr_down / pyramid for rate 2, or per image",
    "LucasKanade": "a tracked point can move anywhere between frames; track per image pair",
    "rect_subpix": "it extracts one patch, not an image; slice the dask array around the point and call "
                   "zalcv.rect_subpix on that slice",
    "sample_line": "it reads the pixels of one line; slice the dask array to the line's bounding box first",
    "HaarCascade": "the cascade needs integral tables and windows of the whole image; " + _PER_IMAGE,
    "HaarClassifier": "the stages read integral tables of the whole image; " + _PER_IMAGE,
    "rect_stddev": "it reads integral tables; build them with zalcv.dask.integral and call zalcv.rect_stddev on "
                   "the computed tables",
    "Morphology": "use the function forms (zalcv.dask.dilate, erode, opening, ... with `footprint`)",
    "GrayMorphology": "use zalcv.dask.gray_dilate / gray_erode with `kernel`",
}


def reject(name: str) -> NotTileableError:
    return NotTileableError(f"zalcv.dask cannot tile {name}: {REJECTED[name]}")


def _is_number(v: Any) -> bool:
    return isinstance(v, (numbers.Number, np.generic)) and np.ndim(v) == 0


def _probe(entry: Local, images: Dict[str, da.Array], params: Dict[str, Any], plan: Optional[Plan]) -> np.ndarray:
    """The operation on a small zero image with the same dtypes, channels and
    parameters: finds the result's dtype and trailing shape, and lets the
    library reject bad arguments before any task is built."""
    first = next(iter(images.values()))
    sizes = []
    for i, axis in enumerate((plan.rows, plan.cols) if plan else (Axis(), Axis())):
        if i >= first.ndim:
            break
        want = max(4, 2 * axis.down, axis.before + axis.after + axis.shrink + 2)
        sizes.append(min(int(first.shape[i]), want))
    kwargs = dict(params)
    for name, a in images.items():
        kwargs[name] = np.zeros(tuple(sizes) + a.shape[len(sizes):], dtype=a.dtype)
    import warnings

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return np.asarray(entry.call(**kwargs))


def apply(name: str, args: Tuple[Any, ...], kwargs: Dict[str, Any], threads: Any) -> da.Array:
    """The tiled operation `name` on the given arguments."""
    entry = LOCAL[name]
    threads = check_threads(threads)
    if "out" in kwargs:
        raise TypeError(f"zalcv.dask.{name}: results are new dask arrays; 'out' is not taken")
    bound = entry.signature.bind(*args, **kwargs)
    bound.apply_defaults()
    params = dict(bound.arguments)
    images: Dict[str, da.Array] = {}
    first: Optional[da.Array] = None
    for key in entry.images:
        v = params[key]
        if v is None or _is_number(v):
            continue  # an absent mask, or a number in place of an image
        images[key] = as_dask(v, like=first)
        if first is None:
            first = images[key]
        del params[key]
    if first is None:
        raise TypeError(f"zalcv.dask.{name}: needs an image (a dask or numpy array)")
    spatial = min(first.ndim, 2)
    for key, a in images.items():
        if a.shape[:spatial] != first.shape[:spatial]:
            raise ValueError(f"zalcv.dask.{name}: '{key}' has shape {a.shape}, the image {first.shape}")
    try:
        plan = entry.plan({**params, **images})
    except NotTileableError:
        raise
    except Exception:
        _probe(entry, images, params, None)  # the library's own message
        raise
    sample = _probe(entry, images, params, plan)
    # Tasks name the operation: compiled functions do not pickle.
    return map_tiles(functools.partial(call, name), images, params, plan, sample.dtype, sample.shape[spatial:],
                     threads)


def call(name: str, **kwargs: Any) -> Any:
    """The numpy-level operation `name` (in a task)."""
    return LOCAL[name].call(**kwargs)


def reach(name: str, **params: Any) -> Tuple[Tuple[int, int], Tuple[int, int]]:
    """((rows before, rows after), (columns before, columns after)): the halo
    the tiled operation `name` takes from neighbouring tiles for these
    parameters (images given as arrays where the reach depends on them)."""
    if name in REJECTED:
        raise reject(name)
    entry = LOCAL[name]
    bound = entry.signature.bind_partial(**params)
    args = {k: p.default for k, p in entry.signature.parameters.items()}
    args.update(bound.arguments)
    plan = entry.plan(args)
    return (plan.rows.before, plan.rows.after), (plan.cols.before, plan.cols.after)


def make(name: str) -> Callable:
    """The public tiled function for a table entry."""
    entry = LOCAL[name]

    def tiled(*args: Any, threads: Any = None, **kwargs: Any) -> da.Array:
        return apply(name, args, kwargs, threads)

    params = list(entry.signature.parameters.values())
    params.append(inspect.Parameter("threads", inspect.Parameter.KEYWORD_ONLY, default=None))
    tiled.__signature__ = inspect.Signature(params)
    tiled.__name__ = tiled.__qualname__ = name
    tiled.__module__ = "zalcv.dask"
    numpy_doc = (getattr(entry.call, "func", entry.call).__doc__ or "").strip()
    if isinstance(entry.call, functools.partial):
        numpy_doc = (getattr(_z, entry.call.args[0]).__doc__ or "").strip()
    tiled.__doc__ = (
        f"zalcv.{name} on a dask array, tile by tile (bit for bit the whole-image result).\n\n"
        f"Images may be dask or numpy arrays; the result is a dask array. At the image's true edges: "
        f"{entry.edge}. `threads` is the library's worker count in each task (default 1; 'auto': the "
        f"cores left per Dask thread).\n\n{numpy_doc}"
    )
    return tiled


def make_rejected(name: str) -> Callable:
    def rejected(*args: Any, **kwargs: Any) -> Any:
        raise reject(name)

    rejected.__name__ = rejected.__qualname__ = name
    rejected.__module__ = "zalcv.dask"
    rejected.__doc__ = f"Not available on dask arrays: {REJECTED[name]}."
    return rejected


def pyramid(img: Any, levels: int = 3, *, threads: Any = None) -> list:
    """The Gaussian pyramid of a dask array: [img, pyr_down(img), ...] up to
    level `levels` or a 1 x 1 level, the levels of zalcv.Pyramid(img, levels)
    for rate 2 (uint8, int8 and float32 images). Tiles are aligned once to
    multiples of 2**levels so that no level needs rechunking."""
    x = as_dask(img)
    levels = int(levels)
    if levels < 1:
        raise ValueError("pyramid: 'levels' must be at least 1")
    step = Axis(2, 2, align=1 << levels)
    x = x.rechunk((split_axis(x.chunks[0], step), split_axis(x.chunks[1], step)) + x.chunks[2:])
    out = [x]
    down = make("pyr_down")
    while len(out) <= levels and (out[-1].shape[0] > 1 or out[-1].shape[1] > 1):
        out.append(down(out[-1], threads=threads))
    return out
