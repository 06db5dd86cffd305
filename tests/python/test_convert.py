"""tsendrel.convert against tarvex-cli: every route on the examples and the shared volume, byte for byte,
with the same warnings at the same places and the same counts; the option rules' refusals; inputs that
are refused; str and bytes; threads."""

import re
import threading

import pytest
import tsendrel

from conftest import CORPUS, EXAMPLES, cli

# The inputs of each scheme: the examples, and the shared volume where it is here.
INPUTS = {
    "wylie": [EXAMPLES / "aspiration.txt", EXAMPLES / "colophon.txt", EXAMPLES / "glossary.txt"],
    "kvts": [EXAMPLES / "greeting.kvt"],
    "ewts": [CORPUS / "kangyur-035.wylie.txt"],
    "unicode": [CORPUS / "kangyur-035.bo.txt"],
}
WARNING = re.compile(r"^(.*):(\d+):(\d+): warning: (.*)$")
SUMMARY = re.compile(r"^.*: ([\d,]+) syllables?, ([\d,]+) not converted$")


def cases():
    for route in tsendrel.routes():
        for path in INPUTS.get(route.frm, []):
            yield pytest.param(route, path, id=f"{route.name}:{path.name}")
    for route in tsendrel.routes():
        if route.frm == "tsendrel":
            for family in ("ekorlam", "korlam"):
                yield pytest.param(route, family, id=f"{route.name}:a {family} document")


def cli_output(route, path, tmp_path, *options):
    output = tmp_path / ("out." + route.extension)
    run = cli("-t", route.name, *options, "-o", output, path)
    return run, output.read_bytes() if output.exists() else None


def as_file(result, route):
    """The output as tarvex-cli writes it: text with CR LF line ends."""
    if route.text:
        return result.output.encode("utf-8", "surrogateescape").replace(b"\n", b"\r\n")
    return result.output


@pytest.mark.parametrize("route,path", cases())
def test_every_route_gives_the_bytes_warnings_and_counts_of_tarvex_cli(route, path, tmp_path):
    if isinstance(path, str):  # a document in the Tsendrel fonts, made from an example
        document = tmp_path / "document.rtf"
        assert cli("-t", "wylie-rtf", "-f", path, "-o", document, EXAMPLES / "aspiration.txt").status == 0
        path = document
    if not path.exists():
        pytest.skip(f"{path} is not here")
    run, expected = cli_output(route, path, tmp_path, "--size", "20", "--small-size", "16")
    assert run.status == 0, run.stderr
    result = tsendrel.convert(path.read_bytes(), route.frm, route.to, size=20, small_size=16)
    assert result.ok
    assert isinstance(result.output, str if route.text else bytes)
    assert as_file(result, route) == expected
    told = [(int(m[2]), int(m[3]), m[4]) for m in map(WARNING.match, run.lines) if m]
    assert [(w.line, w.column, w.message) for w in result.warnings] == told
    summary = [m for m in map(SUMMARY.match, run.lines) if m]
    if summary:
        assert (result.syllables, result.not_converted) == tuple(int(n.replace(",", "")) for n in summary[0].groups())
    else:
        assert result.syllables is None and result.not_converted is None


def test_the_routes_are_those_of_tarvex_cli_help():
    run = cli("--help")
    listed = re.findall(r"^ {24}(\S+) {2,}", run.stdout if hasattr(run, "stdout") else "", re.M)
    import subprocess
    from conftest import CLI
    help_text = subprocess.run([CLI, "--help"], capture_output=True, text=True).stdout
    listed = re.findall(r"^ {24}([a-z-]+) {2,}", help_text, re.M)
    assert [route.name for route in tsendrel.routes()] == listed
    assert [route.name for route in tsendrel.routes() if route.default] == ["wylie-rtf"]


@pytest.mark.parametrize("frm,to,text,warnings", [
    ("ewts", "unicode", "ka M kha", [(1, 4, 'unexpected character "M"')]),
    ("ewts", "unicode", "ka\nkha M\n\nga M", [(2, 5, 'unexpected character "M"'), (4, 4, 'unexpected character "M"')]),
    ("ewts", "unicode", "བཀྲ་ M", [(1, 6, 'unexpected character "M"')]),
    ("ewts", "unicode", "ka\r\nM", [(2, 1, 'unexpected character "M"')]),
    ("unicode", "unicode", "ཀ\ufffe", []),
    ("ewts", "rtf", "bkra shis", []),
])
def test_warnings_have_their_places(frm, to, text, warnings):
    result = tsendrel.convert(text, frm, to)
    assert result.ok
    assert [(w.line, w.column, w.message) for w in result.warnings] == warnings
    assert all(w.path is None for w in result.warnings)


@pytest.mark.parametrize("frm,to,text,told", [
    ("ewts", "unicode", "ka la\u2019i", [(1, 6, "curly apostrophe U+2019 read as sloppy input")]),
    ("ewts", "rtf", "\ufeffka\nla\u2018i", [(1, 1, "byte-order mark U+FEFF read as sloppy input"),
                                           (2, 3, "curly apostrophe U+2018 read as sloppy input")]),
    ("unicode", "ewts", "\ufeff\u0f40", [(1, 1, "byte-order mark U+FEFF read as sloppy input")]),
    ("ewts", "unicode", "la'i", []),
])
def test_sloppy_false_tells_what_reading_takes_silently_and_gives_the_same_output(frm, to, text, told):
    sloppy, strict = tsendrel.convert(text, frm, to), tsendrel.convert(text, frm, to, sloppy=False)
    assert strict.output == sloppy.output
    assert [(w.line, w.column, w.message) for w in strict.warnings if "sloppy" in w.message] == told
    assert not [w for w in sloppy.warnings if "sloppy" in w.message]


# Options that tarvex-cli refuses: the module raises ValueError with its words (after "tarvex-cli: ").
REFUSALS = [
    (["--from", "ewts", "--to", "pdf"], ("ewts", "pdf"), {}),
    (["--from", "itrans", "--to", "unicode"], ("itrans", "unicode"), {}),
    (["--from", "acip", "--to", "wylie"], ("acip", "wylie"), {}),
    (["--from", "tsendrel", "--to", "rtf"], ("tsendrel", "rtf"), {}),
    (["--from", "ewts", "--to", "unicode", "--size", "7"], ("ewts", "unicode"), {"size": 7}),
    (["--from", "ewts", "--to", "rtf", "--size", "100"], ("ewts", "rtf"), {"size": 100}),
    (["--from", "ewts", "--to", "rtf", "--size", "2x"], ("ewts", "rtf"), {"size": "2x"}),
    (["--from", "ewts", "--to", "rtf", "--small-size", "30"], ("ewts", "rtf"), {"small_size": 30}),
    (["--from", "ewts", "--to", "rtf", "--size", "12"], ("ewts", "rtf"), {"size": 12}),
    (["--from", "ewts", "--to", "rtf", "-f", "arial"], ("ewts", "rtf"), {"font": "arial"}),
    (["--from", "ewts", "--to", "unicode-rtf", "--unicode-font", "x" * 64], ("ewts", "unicode-rtf"),
     {"unicode_font": "x" * 64}),
    (["--from", "ewts", "--to", "unicode-rtf", "--unicode-font="], ("ewts", "unicode-rtf"), {"unicode_font": ""}),
]


@pytest.mark.parametrize("args,route,options", REFUSALS, ids=[" ".join(r[0][2:]) or r[0][1] for r in REFUSALS])
def test_refused_routes_and_options_raise_the_words_of_tarvex_cli(args, route, options):
    run = cli(*args, "any.txt")
    assert run.status == 2
    message = run.lines[0].removeprefix("tarvex-cli: ")
    with pytest.raises(ValueError) as refused:
        tsendrel.convert("ka", *route, **options)
    assert str(refused.value) == message


@pytest.mark.parametrize("name,data,frm", [
    ("binary.txt", b"\x00\x01\x02\xff\xfe text", "ewts"),
    ("latin1.txt", "\xe9\xe8\xe0\xec\xf2\xf9 ka".encode("latin-1"), "unicode"),  # mostly not UTF-8
    ("utf8.txt", "ཀ".encode(), "wylie"),
    ("notes.odt", b"PK\x03\x04" + b"\x00" * 26 + b"mimetypeapplication/vnd.oasis.opendocument.text", "tsendrel"),
    ("notes.doc", bytes.fromhex("d0cf11e0a1b11ae1") + b"\x00" * 100, "tsendrel"),
    ("plain.txt", b"just text", "tsendrel"),
])
def test_refused_input_gives_no_output_and_the_reason_of_tarvex_cli(name, data, frm, tmp_path):
    path = tmp_path / name
    path.write_bytes(data)
    run = cli("--from", frm, "--to", "unicode", path, cwd=tmp_path)
    assert run.status == 1
    said = [line for line in run.lines if line.startswith("Error: ")]
    assert said
    result = tsendrel.convert(data, frm, "unicode")
    assert not result.ok and result.output is None
    assert [w.message.replace("<input>", str(path)) for w in result.warnings] == said
    assert all((w.line, w.column) == (0, 0) for w in result.warnings)


def test_str_and_bytes_in_give_one_output_of_the_route_kind():
    text = "bkra shis bde legs\nཀ་ཁ"
    assert tsendrel.convert(text, "ewts", "unicode") == tsendrel.convert(text.encode(), "ewts", "unicode")
    assert tsendrel.convert(bytearray(text.encode()), "ewts", "unicode").output == "བཀྲ་ཤིས་བདེ་ལེགས་ཀ་ཁ"
    assert tsendrel.convert(memoryview(text.encode()), "ewts", "unicode", keep_cr=True).output == \
        "བཀྲ་ཤིས་བདེ་ལེགས\nཀ་ཁ"
    assert isinstance(tsendrel.convert(text, "ewts", "rtf").output, bytes)
    assert isinstance(tsendrel.convert(text, "ewts", "unicode-rtf").output, bytes)
    assert isinstance(tsendrel.convert("bkra", "wylie", "kvts").output, str)
    assert tsendrel.convert("", "ewts", "unicode").output == ""
    assert tsendrel.unicode_to_ewts(tsendrel.ewts_to_unicode("bkra shis")) == "bkra shis"
    with pytest.raises(TypeError):
        tsendrel.convert(42, "ewts", "unicode")


@pytest.mark.parametrize("text,expected", [
    ("ka \udcff kha", b"ka \xff kha"),   # a byte that was not UTF-8, read with surrogate escapes
    ("ka \ud800 kha", b"ka \xed\xa0\x80 kha"),  # a lone surrogate, as its own three bytes
])
def test_a_str_that_is_not_utf8_converts_as_its_bytes(text, expected):
    assert tsendrel.convert(text, "ewts", "unicode") == tsendrel.convert(expected, "ewts", "unicode")
    # Past the start that is checked for text, the reader replaces what is not UTF-8.
    late = "ka " * 40 + text
    result = tsendrel.convert(late, "ewts", "unicode")
    assert result.ok and result.output.endswith("\ufffd་ཁ")  # the space beside other text reads as a tsheg


# Long texts (the module decodes those of two-byte characters itself) whose characters sit at every offset
# from the runs of Tibetan it decodes at once (two, four or eight characters): each is the str that
# CPython's decoder gives for the bytes tarvex-cli writes.
TIBETAN = "བཀྲ་ཤིས་བདེ་ལེགས། "


@pytest.mark.parametrize("odd", [
    "a",          # ASCII
    "\u07ff",     # the last character of two bytes
    "\u0800",     # the first of three, led by E0 as Tibetan is
    "\u0100 Ж",   # two bytes, past Latin-1
    "é",          # Latin-1 alone: a str of one-byte characters
    "中文",        # three bytes, not led by E0
    "\ufffd",     # what the readers put for a byte that is not UTF-8
    "😀",         # four bytes: a str of four-byte characters
])
@pytest.mark.parametrize("shift", range(9))
def test_long_text_decodes_as_python_decodes_the_bytes_of_tarvex_cli(odd, shift, tmp_path):
    for text in (" " * shift + (TIBETAN + odd) * 20, " " * shift + odd * 300, odd + TIBETAN * 30 + odd):
        source = tmp_path / "text.txt"
        source.write_bytes(text.encode())
        unicode = next(route for route in tsendrel.routes() if route.name == "unicode-unicode")
        run, written = cli_output(unicode, source, tmp_path, "--keep-cr")
        assert run.status == 0, run.stderr
        result = tsendrel.convert(text, "unicode", "unicode", keep_cr=True)
        assert result.output == written.decode("utf-8", "surrogateescape").replace("\r\n", "\n")


def test_a_document_converts_from_bytes(tmp_path):
    document = tmp_path / "aspiration.rtf"
    assert cli("-t", "wylie-rtf", "-o", document, EXAMPLES / "aspiration.txt").status == 0
    expected = tsendrel.convert((EXAMPLES / "aspiration.txt").read_text(), "wylie", "unicode").output
    assert tsendrel.document_to_unicode(document.read_bytes()) == expected
    assert tsendrel.document_to_unicode(b"not a document") is None


def test_threads_convert_at_once_each_its_own_result():
    inputs = [(f"bkra shis {i} " * 5000, "ewts", "unicode") for i in range(4)] + \
             [("bkra shis M " * 3000, "ewts", "rtf"), ("ཀ་ཁ་ " * 4000, "unicode", "ewts"),
              ("bsgrubs " * 4000, "wylie", "unicode-rtf"), ("ka kha " * 5000, "wylie", "rtf")]
    expected = [tsendrel.convert(*each) for each in inputs]
    results = [None] * len(inputs)
    start = threading.Barrier(4)

    def work(first):
        start.wait()
        for _ in range(3):
            for i in range(first, len(inputs), 4):
                results[i] = tsendrel.convert(*inputs[i])
                assert results[i] == expected[i]

    threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == expected
