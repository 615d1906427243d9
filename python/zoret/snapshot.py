"""Snapshot files: the metadata of every route of a site, to compare between commits.

``zoret snapshot`` writes one line per route of a manifest, in manifest order, as
compact JSON: ``{"route": "/blog/hello", "hash": "<SEOPayload.hash()>", "payload":
{...}}``, where the payload is in its field-by-field form (exactly the text that was
hashed). `read_lock` reads such a file back and `diff_locks` compares two of them:
routes added, removed and changed, and for a changed route each field that changed
as a path into the payload (``og.image``, ``schema_jsonld["@graph"][1].headline``).
Routes are compared by hash; the payloads of changed routes are then read again
from their files, so memory holds one hash per route, not the payloads.
"""

from __future__ import annotations

import json
import re
from collections.abc import Iterator
from dataclasses import dataclass, field
from typing import Any, BinaryIO, Final

from zoret._files import InputError

__all__ = [
    "ABSENT",
    "Change",
    "LockDiff",
    "LockEntry",
    "diff_locks",
    "payload_changes",
    "read_lock",
]

_HASH = re.compile(r"[0-9a-f]{64}")


class _Absent:
    """The value on the side of a change where the field does not exist."""

    def __repr__(self) -> str:
        return "ABSENT"


ABSENT: Final = _Absent()


@dataclass(frozen=True)
class Change:
    """One field of a payload that differs: its path, the old and the new value (JSON
    values as `json.loads` makes them, or `ABSENT`)."""

    path: str
    old: Any
    new: Any


@dataclass(frozen=True)
class LockEntry:
    """Where a route's line is in its file, and its payload hash."""

    hash: str
    line: int
    offset: int


@dataclass
class LockDiff:
    """What changed between two snapshot files; routes in ascending order."""

    added: list[str] = field(default_factory=list)
    removed: list[str] = field(default_factory=list)
    changed: dict[str, list[Change]] = field(default_factory=dict)
    unchanged: int = 0

    def __bool__(self) -> bool:
        return bool(self.added or self.removed or self.changed)


def _lines(file: BinaryIO) -> Iterator[tuple[int, int, bytes]]:
    offset = 0
    for number, line in enumerate(file, 1):
        yield number, offset, line
        offset += len(line)


def _parse(path: str, number: int, line: bytes) -> dict[str, Any]:
    where = f"{path}:{number}"
    try:
        data = json.loads(line)
    except (ValueError, RecursionError) as exc:
        raise InputError(where, f"not a snapshot line: {exc}") from None
    if not isinstance(data, dict) or set(data) != {"route", "hash", "payload"}:
        raise InputError(where, "a snapshot line is an object with route, hash and payload")
    if not isinstance(data["route"], str) or not isinstance(data["payload"], dict):
        raise InputError(where, "route must be a string and payload an object")
    if not isinstance(data["hash"], str) or not _HASH.fullmatch(data["hash"]):
        raise InputError(where, "hash must be 64 lower-case hexadecimal digits")
    return data


def read_lock(path: str) -> dict[str, LockEntry]:
    """The routes of a snapshot file. Raises `InputError` naming the file and line of
    the first line that is not a snapshot line or repeats a route; `OSError` when the
    file cannot be read. Blank lines are skipped."""
    entries: dict[str, LockEntry] = {}
    with open(path, "rb") as file:
        for number, offset, line in _lines(file):
            if not line.strip():
                continue
            data = _parse(path, number, line)
            route = data["route"]
            if route in entries:
                raise InputError(
                    f"{path}:{number}", f"route {route!r} is already at line {entries[route].line}"
                )
            entries[route] = LockEntry(data["hash"], number, offset)
    return entries


def _payload(path: str, file: BinaryIO, entry: LockEntry) -> Any:
    file.seek(entry.offset)
    return _parse(path, entry.line, file.readline())["payload"]


def _step(path: str, key: str) -> str:
    if key.isidentifier():
        return f"{path}.{key}" if path else key
    return f"{path}[{json.dumps(key, ensure_ascii=False)}]"


def payload_changes(old: Any, new: Any, path: str = "") -> list[Change]:
    """The differences between two JSON values at the deepest paths where they differ:
    objects key by key (the old value's keys in their order, then the new ones), arrays
    index by index; any other difference (of type or of scalar) is one change at its
    path. `path` prefixes every path."""
    if isinstance(old, dict) and isinstance(new, dict):
        changes: list[Change] = []
        for key in [*old, *(key for key in new if key not in old)]:
            here = _step(path, key)
            if key not in new:
                changes.append(Change(here, old[key], ABSENT))
            elif key not in old:
                changes.append(Change(here, ABSENT, new[key]))
            else:
                changes.extend(payload_changes(old[key], new[key], here))
        return changes
    if isinstance(old, list) and isinstance(new, list):
        changes = []
        for index in range(max(len(old), len(new))):
            here = f"{path}[{index}]"
            if index >= len(new):
                changes.append(Change(here, old[index], ABSENT))
            elif index >= len(old):
                changes.append(Change(here, ABSENT, new[index]))
            else:
                changes.extend(payload_changes(old[index], new[index], here))
        return changes
    # 1 and 1.0 differ in a payload (their hashes do), and True is not 1.
    if type(old) is not type(new) or old != new:
        return [Change(path, old, new)]
    return []


def diff_locks(old_path: str, new_path: str) -> LockDiff:
    """Compares two snapshot files (see `read_lock` for the errors)."""
    old, new = read_lock(old_path), read_lock(new_path)
    diff = LockDiff(added=sorted(new.keys() - old.keys()), removed=sorted(old.keys() - new.keys()))
    with open(old_path, "rb") as old_file, open(new_path, "rb") as new_file:
        for route in sorted(old.keys() & new.keys()):
            if old[route].hash == new[route].hash:
                diff.unchanged += 1
                continue
            before = _payload(old_path, old_file, old[route])
            after = _payload(new_path, new_file, new[route])
            diff.changed[route] = payload_changes(before, after)
    return diff
