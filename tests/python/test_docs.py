"""The module's documented examples hold, and help(tsendrel) documents every public name."""

import doctest
import pydoc

import tsendrel


def test_the_examples_of_the_docstrings_hold():
    failed, tried = doctest.testmod(tsendrel)
    assert tried > 0 and failed == 0


def test_help_documents_every_public_name():
    text = pydoc.render_doc(tsendrel, renderer=pydoc.plaintext)
    for name in tsendrel.__all__:
        assert name in text
        assert getattr(tsendrel, name).__doc__, name


def test_each_route_tells_the_options_it_reads():
    reads = {route.name: route.options for route in tsendrel.routes()}
    assert reads["ewts-rtf"] == {"font": True, "size": True, "small_size": True, "unicode_font": False, "keep_cr": True}
    assert reads["tsendrel-unicode-rtf"]["unicode_font"] and not reads["tsendrel-unicode-rtf"]["keep_cr"]
    assert not any(reads["unicode-ewts"][option] for option in ("font", "size", "unicode_font"))
