"""The outputs of ``zoret check``: text, JSON, JUnit XML and SARIF 2.1.0.

Each reporter is told, line by line of the manifest, about the routes checked and the
lines that could not be read, then finishes with the run's totals. Text and JSON are
written as they come, so memory stays flat however long the manifest; JUnit keeps one
small record per route (every route is a test case) and SARIF one per violation.
"""

from __future__ import annotations

import json
import re
from pathlib import Path
from typing import IO, Any, Protocol
from urllib.parse import quote

from zoret import __version__
from zoret.check import Violation, at_least

# Characters XML 1.0 cannot hold, even escaped; they are written as \uXXXX.
_NOT_XML = re.compile("[^\t\n\r\x20-\ud7ff\ue000-\ufffd\U00010000-\U0010ffff]")
_XML_ESCAPES = {"&": "&amp;", "<": "&lt;", ">": "&gt;", '"': "&quot;"}


def _xml(text: str) -> str:
    text = _NOT_XML.sub(lambda m: f"\\u{ord(m.group()):04x}", text)
    return re.sub('[&<>"]', lambda m: _XML_ESCAPES[m.group()], text)


def _plural(count: int, word: str) -> str:
    return f"{count} {word}{'' if count == 1 else 's'}"


def violation_dict(line: int, violation: Violation) -> dict[str, Any]:
    return {"line": line, **violation.to_dict()}


class Reporter(Protocol):
    def route(self, line: int, route: str, violations: list[Violation]) -> None: ...
    def bad_line(self, line: int, message: str) -> None: ...
    def finish(self, tally: dict[str, Any]) -> None: ...


class TextReporter:
    """One line per violation, ``routes.jsonl:12: /blog/x: error: title.max_length: ...``,
    then the totals. Bad lines are reported on stderr by the caller."""

    def __init__(self, out: IO[str], manifest: str) -> None:
        self.out, self.manifest = out, manifest

    def route(self, line: int, route: str, violations: list[Violation]) -> None:
        for v in violations:
            actual = f", actual {v.actual}" if v.actual is not None else ""
            self.out.write(
                f"{self.manifest}:{line}: {route}: {v.severity}: {v.field}: {v.message} "
                f"(expected {v.expected}{actual}) [{v.source}]\n"
            )

    def bad_line(self, line: int, message: str) -> None:
        pass

    def finish(self, tally: dict[str, Any]) -> None:
        counts = [_plural(n, severity) for severity, n in tally["violations"].items()]
        if tally["bad_lines"]:
            counts.append(_plural(tally["bad_lines"], "bad line"))
        self.out.write(
            f"checked {_plural(tally['routes'], 'route')} "
            f"({_plural(tally['constraints'], 'constraint')}): {', '.join(counts)}\n"
        )
        for item in tally["not_checked"]:
            self.out.write(
                f"not checked: {item['field']} ({item['source']}) on "
                f"{_plural(item['routes'], 'route')}: {item['reason']}\n"
            )


class JsonReporter:
    """``{"violations": [...], "bad_lines": [...], "not_checked": [...], "summary": {...}}``,
    the violations streamed."""

    def __init__(self, out: IO[str]) -> None:
        self.out = out
        self.first = True
        self.bad: list[dict[str, Any]] = []
        out.write('{"violations": [')

    def route(self, line: int, route: str, violations: list[Violation]) -> None:
        for v in violations:
            self.out.write(
                ("\n  " if self.first else ",\n  ") + json.dumps(violation_dict(line, v))
            )
            self.first = False

    def bad_line(self, line: int, message: str) -> None:
        self.bad.append({"line": line, "message": message})

    def finish(self, tally: dict[str, Any]) -> None:
        summary = {
            "routes_checked": tally["routes"],
            "constraints_checked": tally["constraints"],
            **{f"{severity}s": n for severity, n in tally["violations"].items()},
            "bad_lines": tally["bad_lines"],
        }
        self.out.write(("\n" if not self.first else "") + "],\n")
        self.out.write(f' "bad_lines": {json.dumps(self.bad)},\n')
        self.out.write(f' "not_checked": {json.dumps(tally["not_checked"])},\n')
        self.out.write(f' "summary": {json.dumps(summary)}}}\n')


class JunitReporter:
    """JUnit XML as CI dashboards read it: one test suite for the contract, one test case
    per route (named by the route, its class the manifest), a ``<failure>`` listing the
    violations at or above the threshold, the others in ``<system-out>``; a manifest
    line that cannot be read is a test case with an ``<error>``."""

    def __init__(self, out: IO[str], manifest: str, contract: str, fail_on: str) -> None:
        self.out, self.manifest, self.contract, self.fail_on = out, manifest, contract, fail_on
        self.cases: list[str] = []
        self.failures = self.errors = 0

    def route(self, line: int, route: str, violations: list[Violation]) -> None:
        head = (
            f'    <testcase name="{_xml(route)}" classname="{_xml(self.manifest)}" '
            f'file="{_xml(self.manifest)}" line="{line}"'
        )
        if not violations:
            self.cases.append(head + "/>")
            return
        failing = [v for v in violations if at_least(v.severity, self.fail_on)]
        body = []
        if failing:
            self.failures += 1
            fields = ", ".join(v.field for v in failing)
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

    def bad_line(self, line: int, message: str) -> None:
        self.errors += 1
        self.cases.append(
            f'    <testcase name="line {line}" classname="{_xml(self.manifest)}" '
            f'file="{_xml(self.manifest)}" line="{line}">\n'
            f'      <error message="{_xml(message)}" type="bad manifest line"/>\n    </testcase>'
        )

    def finish(self, tally: dict[str, Any]) -> None:
        counts = f'tests="{len(self.cases)}" failures="{self.failures}" errors="{self.errors}"'
        self.out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        self.out.write(f'<testsuites name="zoret check" {counts}>\n')
        self.out.write(f'  <testsuite name="{_xml(self.contract)}" {counts} skipped="0">\n')
        self.out.write(
            f'    <properties><property name="manifest" value="{_xml(self.manifest)}"/>'
            f'<property name="fail_on" value="{self.fail_on}"/></properties>\n'
        )
        for case in self.cases:
            self.out.write(case + "\n")
        self.out.write("  </testsuite>\n</testsuites>\n")


def _violation_text(v: Violation) -> str:
    actual = f"; actual: {v.actual}" if v.actual is not None else ""
    return f"{v.severity}: {v.field} ({v.source}): {v.message} Expected: {v.expected}{actual}"


_SARIF_LEVELS = {"error": "error", "warning": "warning", "info": "note"}


class SarifReporter:
    """SARIF 2.1.0 for code-scanning tools: a rule per constraint field, a result per
    violation located at its manifest line (the route as its logical location), bad
    lines as tool notifications."""

    def __init__(self, out: IO[str], manifest: str) -> None:
        self.out = out
        path = Path(manifest)
        self.uri = path.as_uri() if path.is_absolute() else quote(path.as_posix())
        self.rules: dict[str, int] = {}
        self.results: list[dict[str, Any]] = []
        self.notifications: list[dict[str, Any]] = []

    def _location(self, line: int) -> dict[str, Any]:
        return {"artifactLocation": {"uri": self.uri}, "region": {"startLine": line}}

    def route(self, line: int, route: str, violations: list[Violation]) -> None:
        for v in violations:
            index = self.rules.setdefault(v.field, len(self.rules))
            location: dict[str, Any] = {"physicalLocation": self._location(line)}
            location["logicalLocations"] = [
                {"name": route, **({"fullyQualifiedName": v.url} if v.url else {})}
            ]
            self.results.append(
                {
                    "ruleId": v.field,
                    "ruleIndex": index,
                    "level": _SARIF_LEVELS[v.severity],
                    "message": {"text": f"{route}: {v.message}"},
                    "locations": [location],
                    "properties": {
                        "route": route,
                        "url": v.url,
                        "expected": v.expected,
                        "actual": v.actual,
                        "source": v.source,
                    },
                }
            )

    def bad_line(self, line: int, message: str) -> None:
        self.notifications.append(
            {
                "level": "error",
                "message": {"text": message},
                "locations": [{"physicalLocation": self._location(line)}],
            }
        )

    def finish(self, tally: dict[str, Any]) -> None:
        rules = [
            {"id": name, "shortDescription": {"text": f"SEO contract constraint {name}"}}
            for name in self.rules
        ]
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
