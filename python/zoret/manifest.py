"""Route manifests: JSON Lines files that list a site's pages for the command line.

Each non-blank line is an object ``{"route": "/blog/hello", "entity": {...},
"overrides": {...}}``: the entity and the optional overrides in the forms of
:mod:`zoret.forms` (the CLI's ``--entity`` and ``--overrides`` files).
"""

from __future__ import annotations

import json
from collections.abc import Iterator
from dataclasses import dataclass
from typing import Any

from zoret import forms
from zoret._zoret_native import SEOEntity, SEOOverrides

__all__ = ["ManifestError", "ManifestPage", "read_manifest"]


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


def _page(data: Any) -> tuple[str, SEOEntity, SEOOverrides | None]:
    if not isinstance(data, dict):
        raise forms.FormError(f"expected an object, got {type(data).__name__}")
    unknown = sorted(set(data) - {"route", "entity", "overrides"})
    if unknown:
        raise forms.FormError(f"unknown key(s) {', '.join(map(repr, unknown))}")
    route = data.get("route")
    if not isinstance(route, str) or not route:
        raise forms.FormError("'route' must be a non-empty string")
    entity = forms.entity_from_dict(data.get("entity", {}))
    overrides = data.get("overrides")
    return route, entity, None if overrides is None else forms.overrides_from_dict(overrides)


def read_manifest(path: str, *, progress: Any = None) -> Iterator[ManifestPage]:
    """The pages of the manifest at `path`, read one line at a time (memory does not
    grow with the file). `progress`, when given, is called with the number of bytes
    read after each line. Raises ManifestError naming the file and line of the first
    line that is not a page; OSError when the file cannot be read.
    """
    with open(path, "rb") as lines:
        for number, raw in enumerate(lines, start=1):
            if progress is not None:
                progress(len(raw))
            if not raw.strip():
                continue
            try:
                route, entity, overrides = _page(json.loads(raw))
            except UnicodeDecodeError as exc:
                raise ManifestError(path, number, f"not UTF-8: {exc.reason}") from None
            except json.JSONDecodeError as exc:
                raise ManifestError(path, number, f"column {exc.colno}: {exc.msg}") from None
            except RecursionError:
                raise ManifestError(path, number, "nested too deeply") from None
            except forms.FormError as exc:
                raise ManifestError(path, number, str(exc)) from None
            yield ManifestPage(route, entity, overrides, number)
