"""Behaviour shared by the whole package: status-to-exception mapping, input
validation before any call, the GIL released around library calls, results
independent of Python and library threads, state lifetimes without leaks, and
the installed package."""

import concurrent.futures
import gc
import os
import pathlib
import subprocess
import sys
import tempfile
import threading
import warnings

import numpy as np
import pytest

import zalcv
from conftest import random_image, threads

U8 = np.zeros((4, 4), np.uint8)
I16 = np.zeros((16, 16), np.uint8)
F32 = np.zeros((4, 4), np.float32)
CROSS = np.array([[0, 1, 0], [1, 1, 1], [0, 1, 0]], np.uint8)


@pytest.mark.parametrize(
    "call, cls, status, base",
    [
        (lambda: zalcv.sobel(U8, ksize=7), zalcv.MaskSizeError, -33, ValueError),
        (lambda: zalcv.min_filter(U8, 3, (5, 0)), zalcv.AnchorError, -34, ValueError),
        (lambda: zalcv.flood_fill(U8, (9, 9), 1), zalcv.OutOfRangeError, -11, ValueError),
        (lambda: zalcv.mean(np.zeros((2, 2, 3), np.uint8), channel=5), zalcv.ChannelOfInterestError, -52, ValueError),
        (lambda: zalcv.distance_transform(U8, exact=False, weights=[-1, 1], dtype=np.uint8), zalcv.MetricError, -56, ValueError),
        (lambda: zalcv.copy(np.zeros((0, 4), np.uint8)), zalcv.SizeError, -6, ValueError),
        (lambda: zalcv.set_num_threads(0), zalcv.BadArgumentError, -5, ValueError),
    ],
)
def test_negative_statuses_raise_their_class(call, cls, status, base):
    with pytest.raises(cls) as e:
        call()
    assert isinstance(e.value, zalcv.Error) and isinstance(e.value, base)
    assert e.value.status == status and f"[status {status}]" in str(e.value)


def _read_only(a):
    a = a.copy()
    a.flags.writeable = False
    return a


def _closed(obj, use):
    obj.close()
    return use(obj)


# Each entry: a call, the exception it must raise, and a phrase of its message.
BAD_CALLS = [
    # Input arrays: types, byte order, dimensions, channel counts, shapes.
    (lambda: zalcv.absdiff(U8.astype(np.int32), U8.astype(np.int32)), TypeError, ""),  # no int32 member
    (lambda: zalcv.absdiff(U8, U8.astype(np.uint16)), TypeError, ""),
    (lambda: zalcv.absdiff(U8, np.zeros((4, 5), np.uint8)), ValueError, ""),
    (lambda: zalcv.copy(np.zeros((4, 4, 2), np.uint8)), ValueError, ""),  # two channels
    (lambda: zalcv.copy(np.zeros(4, np.uint8)), ValueError, ""),
    (lambda: zalcv.copy(np.zeros((4, 4), ">f4")), TypeError, ""),  # non-native byte order
    (lambda: zalcv.copy(np.zeros((4, 4), np.complex64)), TypeError, ""),
    (lambda: zalcv.copy(None), TypeError, ""),
    (lambda: zalcv.fast_arctan(F32[0], F32[0, :3]), ValueError, ""),
    (lambda: zalcv.filter_column(U8[:2].astype(np.int16), [2, -1, 3]), ValueError, ""),
    (lambda: zalcv.accumulate(U8, np.zeros((4, 4), np.float64)), TypeError, ""),
    (lambda: zalcv.inpaint(np.zeros((6, 7, 3), np.uint8), np.zeros((6, 8), np.uint8)), ValueError, ""),
    (lambda: zalcv.integral(U8, "float32", squared=True, sq_dtype="int32"), TypeError, ""),
    # Outputs: writable, contiguous rows, arrays, and no bool outputs (bool inputs read as uint8).
    (lambda: zalcv.copy(U8, out=_read_only(U8)), ValueError, "read-only"),
    (lambda: zalcv.copy(U8, out=np.zeros((4, 8), np.uint8)[:, ::2]), ValueError, "contiguous"),
    (lambda: zalcv.copy(U8, out=[[0] * 4] * 4), TypeError, ""),
    (lambda: zalcv.copy(U8 > 0, out=np.zeros((4, 4), bool)), TypeError, ""),
    (lambda: zalcv.fill(np.zeros((5, 6), np.uint8)[:, ::2], 1), ValueError, ""),  # not writable in place
    (lambda: zalcv.fill(np.zeros((4, 4), bool), 1), TypeError, "bool"),
    # Arguments the binding checks.
    (lambda: zalcv.sobel(U8, border="mirror"), ValueError, "border"),
    (lambda: zalcv.sobel(U8, 2, 2), ValueError, ""),
    (lambda: zalcv.sobel(U8, divisor=2), ValueError, ""),  # int16 results take no divisor
    (lambda: zalcv.dilate(U8, border="wrap"), ValueError, "border"),
    (lambda: zalcv.gray_dilate(U8, [[0.5]]), ValueError, ""),  # uint8 images take integer kernels
    (lambda: zalcv.threshold(U8, 1.5), TypeError, ""),
    (lambda: zalcv.threshold(U8, 256), ValueError, ""),
    (lambda: zalcv.subtract(F32, F32, scale_factor=1), ValueError, ""),
    (lambda: zalcv.undistort(U8, 1, 1, 2, 2, 0, 0, p1=0.1), ValueError, "radial only"),
    (lambda: zalcv.distance_transform(U8, "l1"), ValueError, ""),  # exact is Euclidean only
    (lambda: zalcv.distance_transform(U8, exact=False, weights=[1.5, 2], dtype=np.uint8), ValueError, ""),
    (lambda: zalcv.flood_fill(np.zeros((3, 3, 3), np.uint8), (0, 0), (1, 2)), ValueError, ""),
    (lambda: zalcv.norm(U8, relative=True), ValueError, ""),
    (lambda: zalcv.PyramidLayer(2.0, [0.25, 0.5, 0.25]).down(np.zeros((8, 8), np.uint8)), ValueError, "integer kernel"),
    (lambda: zalcv.rect_stddev(*zalcv.integral(U8, "float32", squared=True), (0, 0, 2, 2), (4, 1)), ValueError, ""),
    (lambda: zalcv.LucasKanade(window=5).track(I16, I16, np.zeros((3, 3), np.float32)), ValueError, ""),
    (lambda: zalcv.LucasKanade(window=5).track(I16, np.zeros((16, 17), np.uint8), np.zeros((1, 2))), ValueError, ""),
    # Statuses of the library and the binding's own, naming the argument.
    (lambda: zalcv.laplacian(U8, 7), zalcv.MaskSizeError, "ksize"),
    (lambda: zalcv.undistort(U8, 0, 1, 2, 2, 0, 0), zalcv.BadArgumentError, "fx"),
    (lambda: zalcv.update_motion_history(U8, F32.copy(), 10.0, -1.0), zalcv.OutOfRangeError, "duration"),
    (lambda: zalcv.pyramid_down_shape((4, 4), 1.0), zalcv.BadArgumentError, "rate"),
    # Objects after close().
    (lambda: _closed(zalcv.Morphology(CROSS), lambda o: o.dilate(U8)), ValueError, "closed"),
    (lambda: _closed(zalcv.GrayMorphology(np.zeros((3, 3), np.int32)), lambda o: o.dilate(U8)), ValueError, "closed"),
    (lambda: _closed(zalcv.PyramidLayer(2.0), lambda o: o.down(U8)), ValueError, "closed"),
    (lambda: _closed(zalcv.Pyramid(U8, 2), lambda o: o.levels), ValueError, "closed"),
    (lambda: _closed(zalcv.LucasKanade(window=5), lambda o: o.track(I16, I16, np.zeros((1, 2)))), ValueError, "closed"),
    (lambda: _closed(zalcv.Inpainter(U8, 3), lambda o: o.inpaint(U8)), ValueError, "closed"),
    (lambda: _closed(zalcv.HaarClassifier([(0, 0, 2, 2)], [1], [0], [0], [1], [1]), lambda o: o.size), ValueError,
     "closed"),
]


@pytest.mark.parametrize("call, exc, phrase", BAD_CALLS)
def test_bad_calls_raise_clear_exceptions(call, exc, phrase):
    with pytest.raises(exc, match=phrase):
        call()


def test_outputs_are_untouched_when_a_call_fails(rng):
    img = random_image(rng, (5, 6), np.uint8)
    for call, out in [
        (lambda o: zalcv.sobel(img, out=o), np.zeros((5, 6), np.uint8)),  # wrong type
        (lambda o: zalcv.sobel(img, out=o), np.zeros((5, 7), np.int16)),  # wrong shape
        (lambda o: zalcv.sobel(img, ksize=4, out=o), np.full((5, 6), 123, np.int16)),  # the library refuses
        (lambda o: zalcv.reconstruction(img, img, connectivity=6, out=o), np.full((5, 6), 7, np.uint8)),
        (lambda o: zalcv.flood_fill(img, (6, 0), 1, out=o), np.full((5, 6), 9, np.uint8)),
    ]:
        keep = out.copy()
        with pytest.raises((TypeError, ValueError)):
            call(out)
        np.testing.assert_array_equal(out, keep)


def test_warnings_come_with_the_result_or_as_errors():
    with pytest.warns(zalcv.SqrtOfNegativeWarning):
        got = zalcv.sqrt(np.float32([4, -1, 9]))
    assert got[0] == 2 and np.isnan(got[1]) and got[2] == 3
    with warnings.catch_warnings():
        warnings.simplefilter("error", zalcv.ZalcvWarning)
        with pytest.raises(zalcv.SqrtOfNegativeWarning):
            zalcv.sqrt(np.float32([-1]))


def test_library_calls_release_the_gil():
    big = random_image(np.random.default_rng(0), (1500, 1500), np.uint8)
    entered, state = threading.Event(), {"done": False}

    def work():
        entered.set()
        zalcv.min_eigenval(big)
        state["done"] = True

    old = sys.getswitchinterval()
    sys.setswitchinterval(1.0)  # the worker would keep the GIL for the whole call otherwise
    try:
        t = threading.Thread(target=work)
        t.start()
        entered.wait()
        running_meanwhile = not state["done"]
        t.join()
    finally:
        sys.setswitchinterval(old)
    assert running_meanwhile


def test_results_do_not_depend_on_python_threads(rng):
    imgs = [random_image(rng, (120, 160), np.uint8) for _ in range(8)]

    def pipeline(img):
        dx, dy = zalcv.sobel(img, 1, 0), zalcv.sobel(img, 0, 1)
        return (zalcv.canny(dx, dy, 50, 150), zalcv.opening(img), zalcv.distance_transform((img > 100).astype(np.uint8)),
                zalcv.pyr_down(img), zalcv.min_eigenval(img))

    want = [pipeline(i) for i in imgs]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        for _ in range(2):
            for got, ref in zip(pool.map(pipeline, imgs), want):
                for g, r in zip(got, ref):
                    np.testing.assert_array_equal(g, r)


def test_results_do_not_depend_on_library_workers(rng):
    img = random_image(rng, (600, 700), np.uint8)
    pts = rng.uniform(10, 590, (300, 2)).astype(np.float32)
    # One tracker across the counts: its pooled states are built under 1 worker first.
    lk = zalcv.LucasKanade(window=9, levels=2)
    outs = []
    for n in (1, 2, 3):
        with threads(n):
            assert zalcv.get_num_threads() == n
            outs.append((zalcv.sobel(img), zalcv.distance_transform(img > 30), zalcv.mean_std(img), zalcv.box_filter(img),
                         *lk.track(img, np.roll(img, 2, axis=1), pts)))
    for other in outs[1:]:
        for a, b in zip(outs[0], other):
            np.testing.assert_array_equal(a, b)


def test_set_num_threads_while_operations_run(rng):
    img = random_image(rng, (400, 500), np.uint8)
    want = zalcv.sobel(img, ksize=5)
    stop = threading.Event()

    def churn():
        n = 1
        while not stop.is_set():
            zalcv.set_num_threads(n % 3 + 1)
            n += 1

    old = zalcv.get_num_threads()
    t = threading.Thread(target=churn)
    t.start()
    try:
        with concurrent.futures.ThreadPoolExecutor(3) as pool:
            for got in pool.map(lambda _: zalcv.sobel(img, ksize=5), range(30)):
                np.testing.assert_array_equal(got, want)
    finally:
        stop.set()
        t.join()
        zalcv.set_num_threads(old)


def rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def test_states_are_freed(rng):
    # Large enough that one leaked state per cycle (the temporary image of the
    # advanced morphology, the inpainting maps, the tracking gradients) shows.
    img = random_image(rng, (256, 320), np.uint8)
    mask = np.zeros((256, 320), np.uint8)
    mask[40:50, 60:70] = 1
    pts = np.float32([[50, 50], [70, 40]])

    def cycle(explicit):
        objs = [zalcv.Morphology(np.ones((5, 5))), zalcv.GrayMorphology(np.zeros((3, 3), np.int32)),
                zalcv.Inpainter(mask, 3), zalcv.PyramidLayer(1.5), zalcv.Pyramid(img, 3),
                zalcv.LucasKanade(window=9, levels=2), zalcv.HaarClassifier([(0, 0, 2, 2)], [1], [0], [0], [1], [1])]
        objs[0].opening(img), objs[1].dilate(img), objs[2].inpaint(img), objs[3].down(img)
        objs[5].track(objs[4], objs[4], pts)
        if explicit:
            for o in objs:
                o.close()

    with threads(1):  # one library worker: quick even on a busy machine
        for explicit in (True, False):
            for _ in range(5):
                cycle(explicit)
            gc.collect()
            before = rss_kib()
            for _ in range(40):
                cycle(explicit)
            gc.collect()
            grown = rss_kib() - before
            assert grown < 2048, f"RSS grew by {grown} KiB over 40 cycles (explicit close: {explicit})"


@pytest.mark.skipif("ZALCV_BINARY_DIR" not in os.environ, reason="needs the CMake build tree (run through ctest)")
def test_cmake_install_gives_an_importable_package():
    build = pathlib.Path(os.environ["ZALCV_BINARY_DIR"])
    with tempfile.TemporaryDirectory() as prefix:
        subprocess.run(["cmake", "--install", str(build), "--prefix", prefix], check=True, capture_output=True)
        inits = list(pathlib.Path(prefix).rglob("zalcv/__init__.py"))
        assert len(inits) == 1
        env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
        env["PYTHONPATH"] = str(inits[0].parent.parent)
        code = "import numpy as np, zalcv; print(zalcv.__file__); print(int(zalcv.absdiff(np.uint8([[1, 9]]), 4).sum()))"
        out = subprocess.run([sys.executable, "-c", code], env=env, cwd=prefix, check=True, capture_output=True, text=True)
        where, value = out.stdout.split()
        assert where.startswith(prefix) and value == "8"


def test_every_public_name_is_documented_and_stubbed():
    import ast
    import inspect

    import zalcv._zalcv as compiled

    for name in zalcv.__all__:
        obj = getattr(zalcv, name)
        if inspect.ismodule(obj):
            continue
        assert (obj.__doc__ or "").strip(), f"{name} has no docstring"
        if inspect.isclass(obj) and not issubclass(obj, (BaseException, tuple)):
            for attr, member in vars(obj).items():
                if not attr.startswith("_"):
                    assert (getattr(member, "__doc__", None) or "").strip(), f"{name}.{attr} has no docstring"
    stub = pathlib.Path(compiled.__file__).with_name("_zalcv.pyi")
    stubbed = {n.name for n in ast.parse(stub.read_text()).body if isinstance(n, (ast.FunctionDef, ast.ClassDef))}
    assert stubbed == {n for n in dir(compiled) if not n.startswith("_")}


def test_version_matches_the_loaded_library():
    v = zalcv.version()
    assert v["version"] == zalcv.__version__ and v["major"] >= 5
