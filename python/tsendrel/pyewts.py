"""A drop-in for the pyewts library's converter, on the Tsendrel engine.

A pipeline changes one import line::

    from tsendrel import pyewts
    conv = pyewts.pyewts()
    conv.toUnicode("bkra shis", warns=None, sloppy=True)
    conv.toWylie("བཀྲ་ཤིས", warns=None, escape=True)

The text is the engine's ``ewts-unicode`` and ``unicode-ewts`` (see docs/python.md for where it
differs from that library on purpose). Warnings are appended to ``warns`` when a list is given, in
that library's form: ``line N: "syllable": message``.
"""

from __future__ import annotations

from typing import List, Optional

import tsendrel

__all__ = ["pyewts"]


def _syllable(line: str, column: int) -> str:
    """The run of the line around ``column`` (from 1) between spaces, tshegs and shads."""
    stops = " \t/;|_\u0f0b\u0f0d\u0f0e"
    at = max(column - 1, 0)
    start = at
    while start > 0 and line[start - 1] not in stops:
        start -= 1
    end = at
    while end < len(line) and line[end] not in stops:
        end += 1
    return line[start:end]


def _told(text: str, warnings: list, warns: list) -> None:
    lines = text.split("\n")
    for warning in warnings:
        if warning.line and warning.line <= len(lines):
            syllable = _syllable(lines[warning.line - 1], warning.column)
            warns.append(f'line {warning.line}: "{syllable}": {warning.message}')
        else:
            warns.append(warning.message)


def _unbracketed(ewts: str) -> str:
    """EWTS with its bracketed non-Tibetan text written as it is."""
    out, depth = [], 0
    for character in ewts:
        if character == "[":
            depth += 1
            if depth == 1:
                continue
        elif character == "]" and depth:
            depth -= 1
            if depth == 0:
                continue
        out.append(character)
    return "".join(out)


class pyewts:  # noqa: N801 - the library's own name
    """The converter of the pyewts library, on the Tsendrel engine."""

    def toUnicode(self, s: str, warns: Optional[List[str]] = None, sloppy: bool = True) -> str:  # noqa: N802
        """EWTS to Unicode Tibetan. With ``warns`` a list, the warnings are appended to it;
        ``sloppy=False`` also warns about what sloppy reading takes silently (curly apostrophes,
        a byte-order mark). The text is the same either way."""
        result = tsendrel.convert(s, "ewts", "unicode", sloppy=sloppy)
        if warns is not None:
            _told(s, result.warnings, warns)
        return result.output if result.ok else ""

    def toWylie(self, s: str, warns: Optional[List[str]] = None, escape: bool = True) -> str:  # noqa: N802
        """Unicode Tibetan to EWTS. ``escape=False`` writes text that is not Tibetan as it is,
        without ``[ ]``."""
        result = tsendrel.convert(s, "unicode", "ewts")
        if warns is not None:
            _told(s, result.warnings, warns)
        output = result.output if result.ok else ""
        return output if escape else _unbracketed(output)
