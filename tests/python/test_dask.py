"""tsendrel.dask.convert_folder: a tree of 40 files converted in this process and on a LocalCluster of two
workers (in-process, no network), giving the bytes of tarvex-cli -j 2, a failing file reported without
stopping the others."""

import shutil

import pytest
import tsendrel
from tsendrel.dask import convert_folder

from conftest import EXAMPLES, cli


def make_tree(root):
    """40 files in three folders: the examples and pieces of a longer text, one of them not text."""
    words = (EXAMPLES / "aspiration.txt").read_bytes()
    paths = []
    for i in range(40):
        folder = root / ("a", "b/c", "d")[i % 3]
        folder.mkdir(parents=True, exist_ok=True)
        path = folder / f"text{i:02}.txt"
        path.write_bytes(b"\x00\xff\xfe binary" if i == 17 else words * (i + 1) + f"bkra shis {i}\n".encode())
        paths.append(path)
    return paths


@pytest.fixture(scope="module")
def cluster_client():
    distributed = pytest.importorskip("distributed")
    # Workers as threads of this process, talking over loopback only, without a dashboard.
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=False, protocol="tcp://",
                                  host="127.0.0.1", dashboard_address=None) \
            as cluster, distributed.Client(cluster) as client:
        yield client


@pytest.mark.parametrize("on_cluster", [False, True], ids=["in-process", "LocalCluster"])
def test_a_folder_gives_the_bytes_of_tarvex_cli_and_reports_its_failure(on_cluster, request, tmp_path):
    client = request.getfixturevalue("cluster_client") if on_cluster else None
    src, dst, beside = tmp_path / "src", tmp_path / "dst", tmp_path / "beside"
    paths = make_tree(src)
    shutil.copytree(src, beside)
    run = cli("-t", "ewts-unicode", "-j", 2, "-q", *sorted(beside.rglob("*.txt")))
    assert run.status == 1  # the file that is not text

    summary = convert_folder(str(src), str(dst), "ewts", "unicode", client=client, files_per_task=6)

    assert (summary.files, summary.converted) == (40, 39)
    assert summary.bytes == sum(path.stat().st_size for path in paths)
    assert summary.failures == [("d/text17.txt", ["Error: File begins with non-text characters: a NUL byte in its first 4 KB. Skipping file."])]
    written = sorted(path.relative_to(dst) for path in dst.rglob("*") if path.is_file())
    expected = sorted(path.relative_to(beside) for path in beside.rglob("*.bo.txt"))
    assert written == expected and len(written) == 39
    for relative in written:
        assert (dst / relative).read_bytes() == (beside / relative).read_bytes(), relative
    counted = [line for line in run.lines if " syllables, " in line or " syllable, " in line]
    assert summary.syllables == sum(int(line.split(": ")[-1].split()[0].replace(",", "")) for line in counted)
    assert summary.not_converted == 0
    assert sorted(path.relative_to(src) for path in src.rglob("*")) == \
        sorted(path.relative_to(beside) for path in beside.rglob("*") if ".bo." not in path.name)
    print(f"{summary.files} files, {summary.bytes:,} bytes, {summary.syllables:,} syllables, "
          f"{len(summary.failures)} failed", "on a LocalCluster" if on_cluster else "in-process")


def test_outputs_never_overwrite_inputs(tmp_path):
    src = tmp_path / "src"
    src.mkdir()
    (src / "notes.txt").write_text("ka")
    (src / "notes.bo.txt").write_text("ཀ")
    summary = convert_folder(str(src), str(src), "ewts", "unicode")
    assert summary.failures == [("notes.txt", ["the output would overwrite an input: " + str(src / "notes.bo.txt")])]
    assert (src / "notes.bo.txt").read_text() == "ཀ"


def test_a_refused_route_or_option_raises_before_any_task(tmp_path):
    with pytest.raises(ValueError, match="no route from 'ewts' to 'pdf'"):
        convert_folder(str(tmp_path), str(tmp_path / "out"), "ewts", "pdf")
    with pytest.raises(ValueError, match="--size needs a whole number from 8 to 99, not '3'"):
        convert_folder(str(tmp_path), str(tmp_path / "out"), "ewts", "rtf", size=3)
    assert not (tmp_path / "out").exists()
