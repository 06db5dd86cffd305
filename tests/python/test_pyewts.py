"""The drop-in for the pyewts library: the same calls give our ewts-unicode and unicode-ewts, with the
warnings in that library's form."""

import re

import pytest
import tsendrel
from tsendrel import pyewts

WARNS = re.compile(r'^line \d+: ".*": .+$')


@pytest.fixture
def conv():
    return pyewts.pyewts()


# The examples of that library's README, and what our engine gives for them.
@pytest.mark.parametrize("ewts", ["ba b+ba [a] ba\\u0f0b", "dangs\nzhwa", "bkra shis bde legs/", "Mi la ras pa"])
def test_the_readme_examples_give_our_ewts_unicode(conv, ewts):
    assert conv.toUnicode(ewts) == tsendrel.ewts_to_unicode(ewts)
    assert conv.toUnicode(ewts, None, True) == conv.toUnicode(ewts, warns=[], sloppy=False)


def test_to_wylie_of_the_readme(conv):
    assert conv.toWylie("༼༽") == "()"
    assert conv.toWylie("བཀྲ་ཤིས།") == tsendrel.unicode_to_ewts("བཀྲ་ཤིས།")


@pytest.mark.parametrize("text,warns", [
    ("dangs\nzhwa Mi", ['line 2: "Mi": unexpected character "M"']),
    ("ka M kha", ['line 1: "M": unexpected character "M"']),
    ("bkra shis", []),
])
def test_warnings_are_appended_in_the_library_form(conv, text, warns):
    told = ["kept"]
    conv.toUnicode(text, told)
    assert told == ["kept"] + warns
    assert all(WARNS.match(each) for each in told[1:])


@pytest.mark.parametrize("text,sloppy_warns", [
    ("la\u2019i", ['line 1: "la\u2019i": curly apostrophe U+2019 read as sloppy input']),
    ("\ufeffka", ['line 1: "\ufeffka": byte-order mark U+FEFF read as sloppy input']),
    ("ka\nMi la\u02bci", ['line 2: "Mi": unexpected character "M"',
                         'line 2: "la\u02bci": curly apostrophe U+02BC read as sloppy input']),
])
def test_sloppy_false_also_warns_about_what_sloppy_reading_takes(conv, text, sloppy_warns):
    sloppy, strict = [], []
    assert conv.toUnicode(text, sloppy) == conv.toUnicode(text, strict, sloppy=False)
    assert strict == sloppy + [w for w in sloppy_warns if w not in sloppy]
    assert all(WARNS.match(each) for each in strict)


@pytest.mark.parametrize("unicode,escaped,plain", [
    ("hello ཀ", "[hello]_ka", "hello_ka"),
    ("ཀ (a) ཁ", None, None),
    ("ཀ", "ka", "ka"),
])
def test_escape_false_writes_other_text_without_brackets(conv, unicode, escaped, plain):
    written = conv.toWylie(unicode)
    assert written == tsendrel.unicode_to_ewts(unicode)
    if escaped is not None:
        assert written == escaped
        assert conv.toWylie(unicode, escape=False) == plain
    assert "[" not in conv.toWylie(unicode, escape=False)


def test_the_shared_volume_gives_our_ewts_unicode(conv, corpus):
    ewts = (corpus / "kangyur-035.wylie.txt").read_text(encoding="utf-8")
    warns = []
    assert conv.toUnicode(ewts, warns) == tsendrel.convert(ewts, "ewts", "unicode").output
    assert len(warns) == len(tsendrel.convert(ewts, "ewts", "unicode").warnings)
    assert all(WARNS.match(each) for each in warns)
    for line in ewts.splitlines()[:200]:
        assert conv.toUnicode(line) == tsendrel.ewts_to_unicode(line)
