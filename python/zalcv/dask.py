"""zalcv on Dask: images larger than memory, tile by tile, and folders of
images, file by file, on a laptop's cores or on a cluster.

Tiled operations. Every operation whose output pixel depends on a bounded
neighbourhood has a function of the same name and arguments here that takes
dask (or numpy) arrays and returns a dask array, equal bit for bit to the
numpy function's result on the whole image:

    import dask.array as da, zalcv.dask as zd
    img = da.from_zarr(...)  # or any dask array, chunked as you like
    edges = zd.sobel(img, 1, 0, ksize=5, border="reflect")

Each operation declares its reach (the halo it takes from neighbouring tiles)
from its parameters: zd.reach("sobel", ksize=5) is ((2, 2), (2, 2)). Tiles are
run with dask.array.map_overlap(boundary='none'), so the library's own border
rule acts only at the image's true edges, and the halo is trimmed; a 'wrap'
border takes its halo from the opposite edge instead. Chunks smaller than the
reach are merged, and operations that need alignment get it (pyramid levels
start tiles at even rows and columns; fast_arctan keeps groups of four).

Operations with a carry between tiles: integral (running sums across tiles,
int32 and float tables alike bit for bit; tilted tables are rejected) and the
statistics mean, mean_std, min_max_loc and norm (per-tile partial results
combined in a fixed order; exact for integer images and for minima, maxima
and 'inf' norms; float32 sums may differ from the single call in the last
bits). These return dask arrays (integral) or Delayed values (statistics).

Operations that are not local (canny, watershed, flood_fill, the distance
transforms, inpainting, ...) raise NotTileableError saying why and what to
do instead.

Files. map_files(operation, inputs, output_dir, **options) runs an operation
over many files with the zalcv program's image formats, one Dask task per
file, with Dask's progress bar; failures are collected in the returned report
while the other files go on.

Threads. Inside every task the library uses `threads` workers (default 1): n
Dask threads then run n library threads, one per core. threads='auto' gives
each task the cores left per Dask thread (cores // Dask threads), useful with
few Dask threads per worker; the rule is applied in the worker's process.

Dask itself is imported here, not by `import zalcv`.
"""

from __future__ import annotations

try:
    import dask as _dask
    import dask.array as _da
except ImportError as _e:  # pragma: no cover - depends on the installation
    raise ImportError("zalcv.dask needs Dask: install python3-dask and python3-distributed "
                      "(scripts/install-deps)") from _e

from ._errors import NotTileableError
from ._files import FileReport, map_files
from ._tiled_ops import LOCAL, REJECTED, make, make_rejected, pyramid, reach
from ._tiled_reduce import integral, mean, mean_std, min_max_loc, norm

for _name in LOCAL:
    globals()[_name] = make(_name)
for _name in REJECTED:
    globals()[_name] = make_rejected(_name)

#: Names of the operations tiled with a halo.
TILED = tuple(sorted(LOCAL))
#: Names of the operations that cannot be tiled, each with its reason.
NOT_TILED = dict(sorted(REJECTED.items()))

__all__ = sorted(
    list(LOCAL) + list(REJECTED)
    + ["FileReport", "NOT_TILED", "NotTileableError", "TILED", "integral", "map_files", "mean", "mean_std",
       "min_max_loc", "norm", "pyramid", "reach"]
)
