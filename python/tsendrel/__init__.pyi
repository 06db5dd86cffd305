import os
from typing import Iterable, NamedTuple, Optional, Union

from . import dask as dask
from . import pyewts as pyewts

class Warning:
    line: int
    column: int
    message: str
    count: int
    path: Optional[str]
    def __init__(self, line: int, column: int, message: str, count: int = ..., path: Optional[str] = ...) -> None: ...

class Result(NamedTuple):
    ok: bool
    output: Union[str, bytes, None]
    warnings: list[Warning]
    syllables: Optional[int]
    not_converted: Optional[int]

class Route(NamedTuple):
    name: str
    frm: str
    to: str
    description: str
    caption: str
    extension: str
    text: bool
    default: bool
    options: dict[str, bool]
    id: int

class FilesResult:
    processed: int
    converted: int
    failed: int
    skipped: int
    syllables: Optional[int]
    not_converted: Optional[int]
    log: list[str]
    warnings: list[Warning]
    @property
    def ok(self) -> bool: ...

_Path = Union[str, os.PathLike[str]]

def routes() -> list[Route]: ...
def convert(data: Union[str, bytes, bytearray, memoryview], frm: str, to: str, *, keep_cr: bool = ...,
            font: str = ..., size: Union[int, str] = ..., small_size: Union[int, str] = ...,
            unicode_font: Optional[str] = ..., sloppy: bool = ...) -> Result: ...
def ewts_to_unicode(text: str) -> str: ...
def unicode_to_ewts(text: str) -> str: ...
def document_to_unicode(document: bytes) -> Optional[str]: ...
def output_name(path: _Path, frm: str, to: str) -> str: ...
def convert_file(input: _Path, output: _Path, frm: str, to: str, *, keep_cr: bool = ..., font: str = ...,
                 size: Union[int, str] = ..., small_size: Union[int, str] = ...,
                 unicode_font: Optional[str] = ...) -> FilesResult: ...
def convert_files(paths: Iterable[_Path], frm: str, to: str, *, jobs: int = ..., keep_cr: bool = ...,
                  font: str = ..., size: Union[int, str] = ..., small_size: Union[int, str] = ...,
                  unicode_font: Optional[str] = ...) -> FilesResult: ...
