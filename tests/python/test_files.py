"""convert_files is tarvex-cli's batch: the same outputs, status lines and counts, and an output that
would overwrite an input of the batch is skipped; convert_file is tarvex-cli -o."""

import shutil

import pytest
import tsendrel

from conftest import EXAMPLES, cli


def tree(folder, names):
    folder.mkdir()
    for name in names:
        shutil.copy(EXAMPLES / name, folder / name)
    (folder / "glossary.rtf").write_bytes((EXAMPLES / "glossary.txt").read_bytes())  # an input of the batch
    (folder / "empty.txt").write_bytes(b"")
    return sorted(folder.iterdir())


# glossary.rtf is refused as its own output, or writes glossary.bo.txt first, and glossary.txt is then skipped.
@pytest.mark.parametrize("route,jobs,converted", [("wylie-rtf", 1, 3), ("wylie-rtf", 2, 3), ("wylie-unicode", 4, 4),
                                                  ("wylie-ewts", 2, 4)])
def test_a_batch_gives_what_tarvex_cli_gives(route, jobs, converted, tmp_path):
    names = ["aspiration.txt", "colophon.txt", "glossary.txt"]
    ours, theirs = tree(tmp_path / "ours", names), tree(tmp_path / "theirs", names)
    frm, to = route.split("-", 1)
    result = tsendrel.convert_files(ours, frm, to, jobs=jobs)
    run = cli("-t", route, "-j", jobs, "-q", *theirs)
    shown = [line.replace(str(tmp_path / "theirs"), str(tmp_path / "ours")) for line in run.lines]
    assert result.log == shown
    assert (result.processed, result.converted, result.skipped) == (5, converted, 1)
    assert result.failed + result.skipped + result.converted == result.processed
    assert not result.ok and run.status == 1
    for path in sorted((tmp_path / "theirs").iterdir()):
        assert (tmp_path / "ours" / path.name).read_bytes() == path.read_bytes(), path.name
    assert (tmp_path / "ours" / "glossary.rtf").read_bytes() == (EXAMPLES / "glossary.txt").read_bytes()


def test_output_names_are_those_of_tarvex_cli():
    assert tsendrel.output_name("a/notes.txt", "wylie", "rtf") == "a/notes.rtf"
    assert tsendrel.output_name("notes", "ewts", "unicode") == "notes.bo.txt"
    assert tsendrel.output_name("notes.html", "unicode", "ewts") == "notes.html.ewts.txt"
    with pytest.raises(ValueError):
        tsendrel.output_name("notes.txt", "ewts", "pdf")


def test_one_file_to_a_named_output(tmp_path):
    output = tmp_path / "out.rtf"
    result = tsendrel.convert_file(EXAMPLES / "colophon.txt", output, "wylie", "rtf", font="korlam")
    assert result.ok and result.syllables == 17
    assert output.read_bytes() == tsendrel.convert((EXAMPLES / "colophon.txt").read_bytes(), "wylie", "rtf",
                                                   font="korlam").output
    refused = tsendrel.convert_file(output, output, "wylie", "rtf")
    assert not refused.ok and "Input file name must not be identical to output file name." in refused.log
