"""zalcv.dask.map_files: a folder of images, one task per file, on a
LocalCluster of two worker processes and on the local schedulers; failures
are collected per file while the others are written."""

import os

import numpy as np
import pytest

dask = pytest.importorskip("dask", reason="zalcv.dask needs Dask (python3-dask)")
distributed = pytest.importorskip("distributed", reason="the tests run on a distributed.LocalCluster (python3-distributed)")

import zalcv  # noqa: E402
import zalcv.dask as zd  # noqa: E402
from zalcv import io  # noqa: E402

if io._io is None:
    pytest.skip("zalcv was built without the image libraries", allow_module_level=True)

pytestmark = pytest.mark.filterwarnings("ignore::DeprecationWarning")


@pytest.fixture
def folder(tmp_path):
    """Eight gray PNGs, an RGB PNG (which box_filter rejects), a corrupt PNG
    and a text file (not an image, so not an input)."""
    src = tmp_path / "in"
    src.mkdir()
    rng = np.random.default_rng(9)
    for i in range(8):
        io.write(src / f"frame{i:02d}.png", rng.integers(0, 256, (30 + i, 41), dtype=np.uint8))
    io.write(src / "colour.png", rng.integers(0, 256, (20, 20, 3), dtype=np.uint8))
    (src / "corrupt.png").write_bytes(b"\x89PNG\r\n\x1a\n" + bytes(40))
    (src / "notes.txt").write_text("not an image")
    return src


def check(report, src, out, fmt="png"):
    names = sorted(os.listdir(src))
    assert [os.path.basename(s) for s, _ in report.failed] == ["colour.png", "corrupt.png"]
    assert "corrupt.png" in report.failed[1][1]
    assert "channel" in report.failed[0][1]
    assert len(report.done) == 8 and not report.ok
    for source, target in report.done:
        assert target == os.path.join(out, os.path.splitext(os.path.basename(source))[0] + "." + fmt)
        assert np.array_equal(io.read(target), zalcv.box_filter(io.read(source), 5))
    assert sorted(os.listdir(out)) == sorted(f"frame{i:02d}.{fmt}" for i in range(8))  # no temporary files
    assert sorted(os.listdir(src)) == names


@pytest.mark.parametrize("scheduler", ["cluster", "threads", "processes", "sync"])
def test_folder(client, folder, tmp_path, capsys, scheduler):
    out = str(tmp_path / "out")
    if scheduler == "cluster":
        report = zd.map_files("box_filter", folder, out, ksize=5)
        assert "box_filter: 10 files, 8 done, 2 failed" in capsys.readouterr().err
    else:
        with dask.config.set(scheduler=scheduler):
            report = zd.map_files("box_filter", folder, out, ksize=5, progress=False)
    check(report, folder, out)


def test_callables_lists_and_formats(client, folder, tmp_path):
    files = [str(folder / "frame01.png"), str(folder / "frame03.png")]
    report = zd.map_files(lambda img: zalcv.sobel(img, 1, 0, 5), files, tmp_path / "d", format="npy", progress=False)
    assert report.ok and len(report.done) == 2
    for source, target in report.done:
        assert np.array_equal(np.load(target), zalcv.sobel(io.read(source), 1, 0, 5))
    # A result that does not fit the format fails that file, with the way out.
    report = zd.map_files("sobel", files[:1], tmp_path / "p", progress=False)
    assert not report.done and "normalize" in report.failed[0][1]
    report = zd.map_files("sobel", files[:1], tmp_path / "p", normalize=True, progress=False)
    assert report.ok and io.read(report.done[0][1]).dtype == np.uint8


def test_output_names(folder, tmp_path):
    io.write(folder / "frame00.pgm", np.zeros((3, 3), np.uint8))
    with dask.config.set(scheduler="sync"):
        report = zd.map_files("copy", [folder / "frame00.png", folder / "frame00.pgm", folder / "frame01.png"],
                              tmp_path / "o", progress=False)
        assert [os.path.basename(t) for _, t in report.done] == ["frame00.png.png", "frame00.pgm.png", "frame01.png"]
        with pytest.raises(ValueError, match="replace its input"):
            zd.map_files("copy", folder, folder, progress=False)
        with pytest.raises(ValueError, match="both write"):
            zd.map_files("copy", [folder / "frame00.png", folder / "frame00.png"], tmp_path / "o", progress=False)
        with pytest.raises(ValueError, match="no operation"):
            zd.map_files("no_such_thing", folder, tmp_path / "o")
        with pytest.raises(ValueError, match="format"):
            zd.map_files("copy", folder, tmp_path / "o", format="gif")


def test_library_threads_in_file_tasks(client, folder, tmp_path):
    client.run(lambda: zalcv.set_num_threads(1))
    zd.map_files("box_filter", [folder / "frame02.png"], tmp_path / "t", threads=2, progress=False)
    # The worker that ran the file set the library to two threads; the other was left alone.
    assert sorted(client.run(lambda: zalcv.get_num_threads()).values()) == [1, 2]
