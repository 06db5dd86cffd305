"""Tsendrel: Tibetan text converted between its forms, by the engine of tarvex-cli.

Extended Wylie (EWTS), our Wylie and KVTS, Unicode Tibetan, and documents (RTF, DOCX) set in the
Tsendrel fonts are converted to Unicode text, EWTS, or RTF documents, with the routes, options,
warnings and bytes of ``tarvex-cli``::

    >>> import tsendrel
    >>> tsendrel.ewts_to_unicode("bkra shis bde legs")
    'བཀྲ་ཤིས་བདེ་ལེགས'
    >>> result = tsendrel.convert("bkra shis", "ewts", "rtf", font="korlam", size=24)
    >>> result.ok, type(result.output), result.syllables
    (True, <class 'bytes'>, 2)

A conversion releases the GIL and keeps nothing between calls, so threads convert side by side.
``convert_files`` converts files as ``tarvex-cli FILE...`` does; ``tsendrel.dask.convert_folder``
converts a tree of files on a Dask cluster; ``from tsendrel import pyewts`` is a drop-in for the
pyewts library's converter.
"""

from __future__ import annotations

import os
from dataclasses import dataclass, field
from typing import Any, Iterable, NamedTuple, Optional, Union

from . import _engine

__all__ = [
    "Warning", "Result", "Route", "FilesResult", "convert", "routes", "ewts_to_unicode",
    "unicode_to_ewts", "document_to_unicode", "convert_file", "convert_files", "output_name",
]

_engine.start(os.environ.get("TSENDREL_DATA_DIR") or os.path.join(os.path.dirname(__file__), "data"))


@dataclass(frozen=True)
class Warning:  # noqa: A001 - the name the engine's front ends use
    """A problem of a conversion, as tarvex-cli reports it.

    ``line`` and ``column`` count from 1 in the input (for a document: its paragraph and character);
    both are 0 for what has no place (a refused input, a failed file). ``count`` is how many
    problems the warning stands for (more than 1 only for the last, unplaced one of a file with more
    problems than are kept). ``path`` names the file, for conversions of files.
    """

    line: int
    column: int
    message: str
    count: int = 1
    path: Optional[str] = None

    def __str__(self) -> str:
        place = f"{self.line}:{self.column}: " if self.line else ""
        return f"{self.path + ':' if self.path else ''}{place}{self.message}"


class Result(NamedTuple):
    """What ``convert`` gives.

    ``ok`` is False when the engine refused the input (not text, an OpenDocument file...): ``output``
    is then None and the warnings say why. ``output`` is str for text routes, bytes for RTF.
    ``syllables`` and ``not_converted`` are the summary's counts (None for the routes that count none).
    """

    ok: bool
    output: Union[str, bytes, None]
    warnings: list
    syllables: Optional[int]
    not_converted: Optional[int]


class Route(NamedTuple):
    """A route of the engine's table: ``frm`` to ``to``, named ``name`` (tarvex-cli's ``-t``)."""

    name: str
    frm: str
    to: str
    description: str
    caption: str
    extension: str
    text: bool  # the output is text (str); else an RTF document (bytes)
    default: bool
    options: dict  # the options the route reads: font, size, small_size, unicode_font, keep_cr
    id: int


@dataclass
class FilesResult:
    """What ``convert_files`` and ``convert_file`` give: tarvex-cli's batch counts, its status lines
    (``log``) and the warnings with their files and places."""

    processed: int
    converted: int
    failed: int
    skipped: int
    syllables: Optional[int]
    not_converted: Optional[int]
    log: list = field(default_factory=list)
    warnings: list = field(default_factory=list)

    @property
    def ok(self) -> bool:
        return self.converted == self.processed


def _warning(record: tuple) -> Warning:
    path, line, column, message, count = record
    return Warning(line, column, message, count, path or None)


def _size_text(size: Any) -> str:
    # The engine reads a size as the command line's text: 28 and "28" are one size, 28.0 and True none.
    return size if isinstance(size, str) else str(size) if type(size) is int else repr(size)


def _options(keep_cr: bool, font: str, size: Any, small_size: Any, unicode_font: Optional[str]) -> tuple:
    return (bool(keep_cr), str(font), _size_text(size), _size_text(small_size), unicode_font)


def routes() -> list:
    """Every route of the engine's table, in its order (the default route first), as ``Route``."""
    return [Route(name, frm, to, description, caption, extension, text, default, options, id)
            for id, name, frm, to, description, caption, extension, text, default, options
            in _engine.routes()]


def convert(data: Union[str, bytes], frm: str, to: str, *, keep_cr: bool = False, font: str = "ekorlam",
            size: int = 28, small_size: int = 24, unicode_font: Optional[str] = None,
            sloppy: bool = True) -> Result:
    """Convert ``data`` from the scheme ``frm`` to the format ``to``, as ``tarvex-cli --from FRM --to TO``.

    ``data`` is str (converted as its UTF-8) or bytes; a document (``frm="tsendrel"``: RTF, DOCX)
    goes in as bytes. The options are tarvex-cli's: ``keep_cr`` (--keep-cr), ``font`` (-f: ekorlam
    or korlam), ``size`` and ``small_size`` (points, 8 to 99), ``unicode_font`` (the font of a
    Unicode RTF, default "Tibetan Machine Uni"); a route reads only its own (``routes()``).
    ``sloppy=False`` also warns about what reading takes silently: curly apostrophes read as ``'``,
    a byte-order mark. The output is the same either way.

    Raises ValueError, in tarvex-cli's words, for a route or option that it refuses; never for the
    input: an input it refuses gives ``ok=False`` and a warning saying why.
    """
    ok, output, warnings, syllables, not_converted = _engine.convert(
        data, frm, to, *_options(keep_cr, font, size, small_size, unicode_font), "<input>", not sloppy)
    return Result(ok, output, [_warning(("",) + tuple(w[1:])) for w in warnings], syllables, not_converted)


def ewts_to_unicode(text: str) -> str:
    """Extended Wylie to Unicode Tibetan (the route ewts-unicode); the warnings are dropped."""
    return convert(text, "ewts", "unicode").output


def unicode_to_ewts(text: str) -> str:
    """Unicode Tibetan to Extended Wylie (the route unicode-ewts); the warnings are dropped."""
    return convert(text, "unicode", "ewts").output


def document_to_unicode(document: bytes) -> Optional[str]:
    """An RTF or DOCX document set in the Tsendrel fonts to Unicode text (tsendrel-unicode); None
    when it cannot be read (``convert(document, "tsendrel", "unicode")`` says why)."""
    return convert(document, "tsendrel", "unicode").output


def _files_result(answer: tuple) -> FilesResult:
    processed, converted, failed, skipped, syllables, not_converted, log, warnings = answer
    return FilesResult(processed, converted, failed, skipped, syllables, not_converted, list(log),
                       [_warning(w) for w in warnings])


def output_name(path: str, frm: str, to: str) -> str:
    """The output tarvex-cli writes beside ``path`` (notes.txt gives notes.rtf, or notes.bo.txt...)."""
    return _engine.output_name(os.fspath(path), frm, to)


def convert_file(input: Union[str, os.PathLike], output: Union[str, os.PathLike], frm: str, to: str, *,
                 keep_cr: bool = False, font: str = "ekorlam", size: int = 28, small_size: int = 24,
                 unicode_font: Optional[str] = None) -> FilesResult:
    """Convert one file into ``output``, as ``tarvex-cli -o OUTPUT INPUT`` (the output replaced only
    when the conversion succeeds, never the input itself)."""
    return _files_result(_engine.convert_file(os.fspath(input), os.fspath(output), frm, to,
                                              *_options(keep_cr, font, size, small_size, unicode_font)))


def convert_files(paths: Iterable[Union[str, os.PathLike]], frm: str, to: str, *, jobs: int = 1,
                  keep_cr: bool = False, font: str = "ekorlam", size: int = 28, small_size: int = 24,
                  unicode_font: Optional[str] = None) -> FilesResult:
    """Convert files as one batch of ``tarvex-cli -j JOBS FILE...``: each output beside its input
    (``output_name``), on ``jobs`` threads, an output that would overwrite an input of the batch
    skipped. The log and the outputs are those of ``jobs=1``."""
    return _files_result(_engine.convert_files([os.fspath(p) for p in paths], frm, to,
                                               *_options(keep_cr, font, size, small_size, unicode_font),
                                               int(jobs)))


def __getattr__(name: str):
    """tsendrel.dask and tsendrel.pyewts, loaded when first used (Dask is large)."""
    if name in ("dask", "pyewts"):
        import importlib
        return importlib.import_module(f".{name}", __name__)
    raise AttributeError(f"module 'tsendrel' has no attribute {name!r}")
