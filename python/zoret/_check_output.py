"""The outputs of ``zoret check`` and ``zoret audit``: text, JSON, JUnit XML and SARIF 2.1.0.

Each reporter is told, page by page, about the routes checked and the inputs that could
not be read, then finishes with the run's totals. Where a page comes from is an
`Origin`: a line of a route manifest (``zoret check``) or a page of a site, a file or a
URL (``zoret audit``); the reporters ask it how to name the place in their format. Text
and JSON are written as they come, so memory stays flat however long the manifest;
JUnit keeps one small record per route (every route is a test case) and SARIF one per
violation.
"""

from __future__ import annotations

import json
import re
from dataclasses import dataclass
from pathlib import Path
from typing import IO, Any, Protocol
from urllib.parse import quote

from zoret import __version__
from zoret._zoret_site import audit_rule_table
from zoret.check import Violation, at_least

# Characters XML 1.0 cannot hold, even escaped; they are written as \uXXXX.
_NOT_XML = re.compile("[^\t\n\r\x20-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")
_XML_ESCAPES = {"&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;"}


def _xml(text: str) -> str:
    text = _NOT_XML.sub(lambda m: f"\\u{ord(m.group()):04x}", text)
    return re.sub('[&<>"]', lambda m: _XML_ESCAPES[m.group()], text)


def _plural(count: int, word: str) -> str:
    return f"{count} {word}{'' if count == 1 else 's'}"


#: Where a page comes from: a manifest line number, or a page's file path or URL.
Location = int | str


def _uri(path: str) -> str:
    """A file's URI reference: absolute paths as file URIs, others relative."""
    as_path = Path(path)
    return as_path.as_uri() if as_path.is_absolute() else quote(as_path.as_posix())


@dataclass(frozen=True)
class Origin:
    """The input the reporters describe, and how each format names a place in it."""

    #: The command, for report titles: "zoret check".
    tool: str
    #: The manifest's path, or the audited site (a folder or a URL).
    name: str
    #: What one checked item is called, and one that could not be read.
    item: str
    unreadable: str
    #: The key of a place in a JSON record: "line" or "page".
    key: str

    def where(self, at: Location) -> str:
        return f"{self.name}:{at}" if isinstance(at, int) else at

    def junit_place(self, at: Location) -> str:
        if isinstance(at, int):
            return f'file="{_xml(self.name)}" line="{at}"'
        return f'file="{_xml(at)}"'

    def sarif_place(self, at: Location) -> dict[str, Any]:
        if isinstance(at, int):
            return {"artifactLocation": {"uri": _uri(self.name)}, "region": {"startLine": at}}
        is_url = at.startswith(("http://", "https://"))
        return {"artifactLocation": {"uri": at if is_url else _uri(at)}}


def manifest_origin(manifest: str) -> Origin:
    """Lines of a route manifest, as ``zoret check`` reads them."""
    return Origin("zoret check", manifest, "route", "bad line", "line")


def site_origin(source: str) -> Origin:
    """Pages of a site, files or URLs, as ``zoret audit`` reads them."""
    return Origin("zoret audit", source, "page", "unreadable page", "page")


def violation_dict(key: str, at: Location, violation: Violation) -> dict[str, Any]:
    return {key: at, **violation.to_dict()}


class Reporter(Protocol):
    def route(self, at: Location, route: str, violations: list[Violation]) -> None: ...
    def unreadable(self, at: Location, message: str) -> None: ...
    def finish(self, tally: dict[str, Any]) -> None: ...


def _key(text: str) -> str:
    """ "bad line" -> "bad_lines": the JSON member of a list of such things."""
    return text.replace(" ", "_") + "s"


def _rule(v: Violation) -> str:
    """What a violation breaks: a site rule's id, else the contract field."""
    return v.rule_id or v.field


class TextReporter:
    """One line per violation, ``routes.jsonl:12: /blog/x: error: title.max_length: ...``,
    then the totals. Unreadable inputs are reported on stderr by the caller."""

    def __init__(self, out: IO[str], origin: Origin) -> None:
        self.out, self.origin = out, origin

    def route(self, at: Location, route: str, violations: list[Violation]) -> None:
        where = self.origin.where(at)
        for v in violations:
            actual = f", actual {v.actual}" if v.actual is not None else ""
            self.out.write(
                f"{where}: {route}: {v.severity}: {v.field}: {v.message} "
                f"(expected {v.expected}{actual}) [{v.rule_id or v.source}]\n"
            )

    def unreadable(self, at: Location, message: str) -> None:
        pass

    def finish(self, tally: dict[str, Any]) -> None:
        origin = self.origin
        counts = [_plural(n, severity) for severity, n in tally["violations"].items()]
        if tally["unreadable"]:
            counts.append(_plural(tally["unreadable"], origin.unreadable))
        verb = "checked" if origin.item == "route" else "audited"
        self.out.write(
            f"{verb} {_plural(tally['routes'], origin.item)} "
            f"({_plural(tally['constraints'], 'constraint')}): {', '.join(counts)}\n"
        )
        for item in tally["not_checked"]:
            self.out.write(
                f"not checked: {item['field']} ({item['source']}) on "
                f"{_plural(item['routes'], 'route')}: {item['reason']}\n"
            )


class JsonReporter:
    """``{"violations": [...], "bad_lines": [...], "not_checked": [...], "summary": {...}}``
    (``unreadable_pages`` for audits, which add ``pages`` and counts by rule and section),
    the violations streamed."""

    def __init__(self, out: IO[str], origin: Origin) -> None:
        self.out, self.origin = out, origin
        self.first = True
        self.bad: list[dict[str, Any]] = []
        out.write('{"violations": [')

    def route(self, at: Location, route: str, violations: list[Violation]) -> None:
        for v in violations:
            record = violation_dict(self.origin.key, at, v)
            self.out.write(("\n  " if self.first else ",\n  ") + json.dumps(record))
            self.first = False

    def unreadable(self, at: Location, message: str) -> None:
        self.bad.append({self.origin.key: at, "message": message})

    def finish(self, tally: dict[str, Any]) -> None:
        bad = _key(self.origin.unreadable)
        summary = {
            "routes_checked": tally["routes"],
            "constraints_checked": tally["constraints"],
            **{f"{severity}s": n for severity, n in tally["violations"].items()},
            bad: tally["unreadable"],
            **tally.get("summary", {}),
        }
        self.out.write(("\n" if not self.first else "") + "],\n")
        self.out.write(f' "{bad}": {json.dumps(self.bad)},\n')
        self.out.write(f' "not_checked": {json.dumps(tally["not_checked"])},\n')
        for name, value in tally.get("sections", {}).items():
            self.out.write(f" {json.dumps(name)}: {json.dumps(value)},\n")
        self.out.write(f' "summary": {json.dumps(summary)}}}\n')


class JunitReporter:
    """JUnit XML as CI dashboards read it: one test suite for the contract, one test case
    per route (named by the route, its class the manifest or the site), a ``<failure>``
    listing the violations at or above the threshold, the others in ``<system-out>``; an
    input that cannot be read is a test case with an ``<error>``."""

    def __init__(self, out: IO[str], origin: Origin, suite: str, fail_on: str) -> None:
        self.out, self.origin, self.suite, self.fail_on = out, origin, suite, fail_on
        self.cases: list[str] = []
        self.failures = self.errors = 0

    def route(self, at: Location, route: str, violations: list[Violation]) -> None:
        head = (
            f'    <testcase name="{_xml(route)}" classname="{_xml(self.origin.name)}" '
            f"{self.origin.junit_place(at)}"
        )
        if not violations:
            self.cases.append(head + "/>")
            return
        failing = [v for v in violations if at_least(v.severity, self.fail_on)]
        body = []
        if failing:
            self.failures += 1
            fields = ", ".join(_rule(v) for v in failing)
            text = "\n".join(_violation_text(v) for v in failing)
            body.append(
                f'      <failure message="{_xml(_plural(len(failing), "violation"))}: '
                f'{_xml(fields)}" type="{failing[0].severity}">{_xml(text)}</failure>'
            )
        others = [v for v in violations if v not in failing]
        if others:
            text = "\n".join(_violation_text(v) for v in others)
            body.append(f"      <system-out>{_xml(text)}</system-out>")
        self.cases.append(head + ">\n" + "\n".join(body) + "\n    </testcase>")

    def unreadable(self, at: Location, message: str) -> None:
        self.errors += 1
        name, kind = (
            (f"line {at}", "bad manifest line") if isinstance(at, int) else (at, "unreadable page")
        )
        self.cases.append(
            f'    <testcase name="{_xml(name)}" classname="{_xml(self.origin.name)}" '
            f"{self.origin.junit_place(at)}>\n"
            f'      <error message="{_xml(message)}" type="{kind}"/>\n'
            "    </testcase>"
        )

    def finish(self, tally: dict[str, Any]) -> None:
        counts = f'tests="{len(self.cases)}" failures="{self.failures}" errors="{self.errors}"'
        self.out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        self.out.write(f'<testsuites name="{self.origin.tool}" {counts}>\n')
        self.out.write(f'  <testsuite name="{_xml(self.suite)}" {counts} skipped="0">\n')
        name = "manifest" if self.origin.key == "line" else "source"
        self.out.write(
            f'    <properties><property name="{name}" value="{_xml(self.origin.name)}"/>'
            f'<property name="fail_on" value="{self.fail_on}"/></properties>\n'
        )
        for case in self.cases:
            self.out.write(case + "\n")
        self.out.write("  </testsuite>\n</testsuites>\n")


def _violation_text(v: Violation) -> str:
    actual = f"; actual: {v.actual}" if v.actual is not None else ""
    rule = f"{v.rule_id} {v.field}" if v.rule_id else v.field
    return f"{v.severity}: {rule} ({v.source}): {v.message} Expected: {v.expected}{actual}"


_SARIF_LEVELS = {"error": "error", "warning": "warning", "info": "note"}


class SarifReporter:
    """SARIF 2.1.0 for code-scanning tools: a rule per constraint field or site rule, a
    result per violation located at its manifest line or page (the route as its logical
    location), unreadable inputs as tool notifications."""

    def __init__(self, out: IO[str], origin: Origin) -> None:
        self.out, self.origin = out, origin
        self.rules: dict[str, int] = {}
        self.results: list[dict[str, Any]] = []
        self.notifications: list[dict[str, Any]] = []

    def route(self, at: Location, route: str, violations: list[Violation]) -> None:
        for v in violations:
            rule = _rule(v)
            index = self.rules.setdefault(rule, len(self.rules))
            location: dict[str, Any] = {"physicalLocation": self.origin.sarif_place(at)}
            location["logicalLocations"] = [
                {"name": route, **({"fullyQualifiedName": v.url} if v.url else {})}
            ]
            self.results.append(
                {
                    "ruleId": rule,
                    "ruleIndex": index,
                    "level": _SARIF_LEVELS[v.severity],
                    "message": {"text": f"{route}: {v.message}"},
                    "locations": [location],
                    "properties": {
                        "route": route,
                        "url": v.url,
                        "field": v.field,
                        "expected": v.expected,
                        "actual": v.actual,
                        "source": v.source,
                    },
                }
            )

    def unreadable(self, at: Location, message: str) -> None:
        self.notifications.append(
            {
                "level": "error",
                "message": {"text": message},
                "locations": [{"physicalLocation": self.origin.sarif_place(at)}],
            }
        )

    def finish(self, tally: dict[str, Any]) -> None:
        table = {row["id"]: row for row in audit_rule_table()}
        rules = []
        for name in self.rules:
            row = table.get(name)
            if row is None:
                rules.append(
                    {"id": name, "shortDescription": {"text": f"SEO contract constraint {name}"}}
                )
                continue
            rules.append(
                {
                    "id": name,
                    "name": row["name"],
                    "shortDescription": {"text": row["description"]},
                    "defaultConfiguration": {"level": _SARIF_LEVELS[row["severity"]]},
                }
            )
        run = {
            "tool": {"driver": {"name": "zoret", "version": __version__, "rules": rules}},
            "invocations": [
                {
                    "executionSuccessful": not self.notifications,
                    "toolExecutionNotifications": self.notifications,
                }
            ],
            "results": self.results,
            "properties": {
                "routesChecked": tally["routes"],
                "constraintsChecked": tally["constraints"],
            },
        }
        document = {
            "$schema": "https://json.schemastore.org/sarif-2.1.0.json",
            "version": "2.1.0",
            "runs": [run],
        }
        json.dump(document, self.out, indent=2, ensure_ascii=False)
        self.out.write("\n")


def reporter(format: str, out: IO[str], origin: Origin, suite: str, fail_on: str) -> Reporter:
    """The reporter of `format` ("text", "json", "junit", "sarif"); `suite` names the
    JUnit test suite (the contract)."""
    if format == "text":
        return TextReporter(out, origin)
    if format == "json":
        return JsonReporter(out, origin)
    if format == "junit":
        return JunitReporter(out, origin, suite, fail_on)
    if format == "sarif":
        return SarifReporter(out, origin)
    raise ValueError(f"unknown report format {format!r}")
