"""Route manifests: JSON Lines files that list a site's pages for the command line.

Each non-blank line is an object ``{"route": "/blog/hello", "entity": {...},
"overrides": {...}}``: the entity and the optional overrides in the forms of
:mod:`zoret.forms` (the CLI's ``--entity`` and ``--overrides`` files).
"""

from __future__ import annotations

from collections.abc import Callable, Iterator
from dataclasses import dataclass
from typing import IO

from zoret._zoret_native import SEOEntity, SEOOverrides
from zoret._zoret_site import read_manifest_line

__all__ = ["MAX_LINE_BYTES", "ManifestError", "ManifestPage", "manifest_lines", "read_manifest"]

#: A longer line is skipped to its end and reported, never held in memory.
MAX_LINE_BYTES = 16 << 20
TOO_LONG = f"line longer than {MAX_LINE_BYTES >> 20} MiB"


class ManifestError(ValueError):
    """A manifest line that is not a page; the text starts with the file and line."""

    def __init__(self, path: str, line: int, message: str) -> None:
        super().__init__(f"{path}:{line}: {message}")
        self.path = path
        self.line = line
        self.reason = message


@dataclass(frozen=True, slots=True)
class ManifestPage:
    """One page of a manifest, with the line it was read from."""

    route: str
    entity: SEOEntity
    overrides: SEOOverrides | None
    line: int


def manifest_lines(file: IO[bytes]) -> Iterator[tuple[int, bytes | None, int]]:
    """(line number, the line without its break, bytes consumed since the previous
    line given) for each non-blank line; None instead of a line longer than
    `MAX_LINE_BYTES`. A byte order mark before the first line is dropped."""
    number = 0
    consumed = 0
    while True:
        line = file.readline(MAX_LINE_BYTES + 1)
        if not line:
            return
        number += 1
        consumed += len(line)
        if len(line) > MAX_LINE_BYTES and not line.endswith(b"\n"):
            while line and not line.endswith(b"\n"):
                line = file.readline(1 << 20)
                consumed += len(line)
            yield number, None, consumed
            consumed = 0
            continue
        if number == 1:
            line = line.removeprefix(b"\xef\xbb\xbf")  # a byte order mark some editors write
        if line.strip():
            yield number, line.rstrip(b"\r\n"), consumed
            consumed = 0


def read_manifest(
    path: str, *, progress: Callable[[int], object] | None = None
) -> Iterator[ManifestPage]:
    """The pages of the manifest at `path`, read one line at a time (memory does not
    grow with the file); each line is read as `zoret check` reads it. `progress`, when
    given, is called with the number of bytes read after each page. Raises ManifestError
    naming the file and line of the first line that is not a page; OSError when the
    file cannot be read.
    """
    with open(path, "rb") as file:
        for number, line, consumed in manifest_lines(file):
            if progress is not None:
                progress(consumed)
            if line is None:
                raise ManifestError(path, number, TOO_LONG)
            try:
                route, entity, overrides = read_manifest_line(line)
            except ValueError as exc:
                raise ManifestError(path, number, str(exc)) from None
            yield ManifestPage(route, entity, overrides, number)
