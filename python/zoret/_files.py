"""Input files as tables: JSON (by the .json suffix) or TOML (anything else).

The command line and `zoret.check.load_contract` read their files through here, so a
problem is worded the same way wherever it shows: one line naming the file, with the
line and column of a syntax error in front of the parser's message.
"""

from __future__ import annotations

import contextlib
import datetime
import json
import os
import re
import stat
import sys
import tempfile
import tomllib
from collections.abc import Iterator
from pathlib import Path
from typing import IO, Any

_TOML_POSITION = re.compile(r"(?P<msg>.*) \(at line (?P<line>\d+), column (?P<col>\d+)\)", re.S)


class InputError(Exception):
    """A problem with input files, reported as a single line that names them."""

    def __init__(self, path: str, message: str) -> None:
        super().__init__(f"{path}: {' '.join(message.splitlines())}")


def _plain(value: Any) -> Any:
    """TOML dates and times as the ISO texts the records expect."""
    if isinstance(value, datetime.date | datetime.time):
        return value.isoformat()
    if isinstance(value, dict):
        return {key: _plain(item) for key, item in value.items()}
    if isinstance(value, list):
        return [_plain(item) for item in value]
    return value


def _toml_message(message: str, text: str) -> str:
    """tomllib's "(at line L, column C)" moved to the front, the way JSON errors read."""
    at_end = " (at end of document)"
    if message.endswith(at_end):
        line, column = text.count("\n") + 1, len(text.rsplit("\n", 1)[-1]) + 1
        return f"line {line}, column {column}: {message.removesuffix(at_end)}"
    found = _TOML_POSITION.fullmatch(message)
    return f"line {found['line']}, column {found['col']}: {found['msg']}" if found else message


def read_text(path: str) -> str:
    """The file's text (UTF-8); `InputError` when it cannot be read."""
    try:
        return Path(path).read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as exc:
        raise InputError(path, getattr(exc, "strerror", None) or str(exc)) from None


def parse_table(path: str, text: str, *, is_json: bool) -> dict[str, Any]:
    """`text` (the contents of `path`) read as a JSON or TOML object."""
    try:
        data = json.loads(text) if is_json else _plain(tomllib.loads(text))
    except json.JSONDecodeError as exc:
        raise InputError(path, f"line {exc.lineno}, column {exc.colno}: {exc.msg}") from None
    except tomllib.TOMLDecodeError as exc:
        raise InputError(path, _toml_message(str(exc), text)) from None
    except RecursionError:
        raise InputError(path, "nested too deeply") from None
    if not isinstance(data, dict):
        raise InputError(path, f"expected an object at the top level, got {type(data).__name__}")
    return data


def load_table(path: str) -> dict[str, Any]:
    """Reads a JSON (by its .json suffix) or TOML (anything else) object."""
    return parse_table(path, read_text(path), is_json=path.endswith(".json"))


@contextlib.contextmanager
def output_file(path: str) -> Iterator[IO[str]]:
    """Standard output for "-"; else a text file that replaces `path` only when the
    block completes, so a failed run leaves the old file as it was. A target that is
    not a regular file (/dev/null, a FIFO, a terminal) is written in place: renaming
    over it would replace the device with a file. The replacement keeps the old file's
    permission bits.
    """
    if path == "-":
        yield sys.stdout
        return
    try:
        mode = os.stat(path).st_mode
    except FileNotFoundError:
        mode = None
    except (OSError, ValueError) as exc:
        raise InputError(path, getattr(exc, "strerror", None) or str(exc)) from None
    if mode is not None and not stat.S_ISREG(mode):
        try:
            with open(path, "w", encoding="utf-8", newline="\n") as file:
                yield file
        except OSError as exc:
            raise InputError(path, exc.strerror or str(exc)) from None
        return
    target = Path(path)
    try:
        handle, temporary = tempfile.mkstemp(dir=target.parent, prefix=f".{target.name}.")
        if mode is not None:
            os.fchmod(handle, stat.S_IMODE(mode))
    except OSError as exc:
        raise InputError(path, exc.strerror or str(exc)) from None
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="\n") as file:
            yield file
        os.replace(temporary, target)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise
