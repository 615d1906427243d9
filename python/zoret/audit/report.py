"""The outcome of an audit: every page's result, the violations, and counts of them."""

from __future__ import annotations

import json
from collections import Counter
from collections.abc import Iterator
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any

from zoret._zoret_site import Violation
from zoret.audit.records import PageResult
from zoret.check import SEVERITIES, Severity, at_least

if TYPE_CHECKING:
    from rich.table import Table

__all__ = ["AuditReport", "Timings", "rule_of", "section_of"]


def rule_of(violation: Violation) -> str:
    """What a violation breaks: a site rule's id ("ZORET203"), else the contract field
    ("title.max_length")."""
    return violation.rule_id or violation.field


def section_of(route: str) -> str:
    """The site section of a route: its first path segment ("/blog/x" -> "blog"), "/" for
    the home page."""
    return route.split("/", 2)[1] or "/" if route.startswith("/") else route


def _severity_counts(violations: list[Violation] | tuple[Violation, ...]) -> dict[str, int]:
    counts = Counter(v.severity for v in violations)
    return {severity: counts[severity] for severity in SEVERITIES}


@dataclass(frozen=True)
class Timings:
    """How long the audit took; not part of the report's value (runs differ)."""

    seconds: float
    pages: int
    #: "serial", "processes" or "dask".
    mode: str
    workers: int

    @property
    def pages_per_second(self) -> float:
        return self.pages / self.seconds if self.seconds > 0 else 0.0


@dataclass(frozen=True)
class AuditReport:
    """Pages in route order, violations in their natural order (route, then field...),
    so that the same site gives the same report however the work was spread."""

    source: str
    pages: tuple[PageResult, ...]
    violations: tuple[Violation, ...]
    #: Each sitemap URL with whether robots.txt disallows it (None without a sitemap).
    sitemap_urls: tuple[tuple[str, bool], ...] | None = None
    timings: Timings | None = field(default=None, compare=False)

    @property
    def counts(self) -> dict[str, int]:
        """Violations by severity: {"error": 2, "warning": 0, "info": 1}."""
        return _severity_counts(self.violations)

    @property
    def by_rule(self) -> dict[str, dict[str, int]]:
        """Violations by rule (`rule_of`), then severity; rules in name order."""
        grouped: dict[str, list[Violation]] = {}
        for v in self.violations:
            grouped.setdefault(rule_of(v), []).append(v)
        return {rule: _severity_counts(grouped[rule]) for rule in sorted(grouped)}

    @property
    def by_section(self) -> dict[str, dict[str, int]]:
        """Violations by site section (`section_of`), then severity; in name order."""
        grouped: dict[str, list[Violation]] = {}
        for v in self.violations:
            grouped.setdefault(section_of(v.route), []).append(v)
        return {section: _severity_counts(grouped[section]) for section in sorted(grouped)}

    @property
    def unreadable(self) -> list[PageResult]:
        """The pages that could not be read or checked."""
        return [page for page in self.pages if page.error is not None]

    def by_page(self) -> Iterator[tuple[PageResult | None, str, list[Violation]]]:
        """Each page with the violations of its route (a route served by two files gets
        them with the first), then any route with violations but no page."""
        by_route: dict[str, list[Violation]] = {}
        for v in self.violations:
            by_route.setdefault(v.route, []).append(v)
        for page in self.pages:
            yield page, page.route, by_route.pop(page.route, [])
        for route in sorted(by_route):
            yield None, route, by_route[route]

    def failed(self, fail_on: Severity = "error") -> bool:
        """Whether a violation is at least as severe as `fail_on`."""
        if fail_on not in SEVERITIES:
            raise ValueError(f"fail_on must be one of {', '.join(SEVERITIES)}, got {fail_on!r}")
        return any(at_least(v.severity, fail_on) for v in self.violations)

    def not_checked(self) -> list[dict[str, Any]]:
        """The constraints pages could not decide, with how many routes each."""
        counts = Counter(
            (item.field, item.source, item.reason)
            for page in self.pages
            for item in page.not_checked
        )
        return [
            {"field": f, "source": s, "reason": r, "routes": counts[f, s, r]}
            for f, s, r in sorted(counts)
        ]

    def page_dicts(self) -> list[dict[str, Any]]:
        """Each page as JSON data: where it is, what the server said, how it went."""
        out = []
        for page in self.pages:
            http = page.http
            item: dict[str, Any] = {"route": page.route, "address": page.address}
            if http is not None:
                item |= {
                    "status": http.status,
                    "final_url": http.final_url,
                    "final_status": http.final_status,
                    "chain": [list(step) for step in http.chain],
                }
            item |= {
                "violations": len(page.violations),
                "truncated": page.truncated,
                "error": page.error,
            }
            out.append(item)
        return out

    def tally(self) -> dict[str, Any]:
        """The totals the report writers finish with."""
        unreadable = len(self.unreadable)
        summary: dict[str, Any] = {
            "by_rule": self.by_rule,
            "by_section": self.by_section,
        }
        if self.sitemap_urls is not None:
            summary["sitemap_urls"] = len(self.sitemap_urls)
            summary["sitemap_urls_disallowed"] = sum(1 for _, no in self.sitemap_urls if no)
        return {
            "routes": len(self.pages) - unreadable,
            "constraints": sum(page.constraints_checked for page in self.pages),
            "violations": self.counts,
            "not_checked": self.not_checked(),
            "unreadable": unreadable,
            "summary": summary,
            "sections": {"pages": self.page_dicts()},
        }

    def to_dict(self) -> dict[str, Any]:
        """The report as JSON data, without timings: equal runs give equal data."""
        tally = self.tally()
        return {
            "source": self.source,
            "violations": [v.to_dict() for v in self.violations],
            "pages": tally["sections"]["pages"],
            "not_checked": tally["not_checked"],
            "sitemap_urls": None
            if self.sitemap_urls is None
            else [{"url": url, "disallowed": no} for url, no in self.sitemap_urls],
            "summary": {
                "pages": len(self.pages),
                "unreadable_pages": tally["unreadable"],
                "constraints_checked": tally["constraints"],
                **self.counts,
                **tally["summary"],
            },
        }

    def to_json(self) -> str:
        return json.dumps(self.to_dict(), indent=2, ensure_ascii=False)

    def summary_table(self) -> Table:
        """A rich table for a terminal: pages, violations by rule and severity, speed."""
        from rich.table import Table

        table = Table(title=f"zoret audit: {self.source}", title_justify="left")
        table.add_column("rule")
        for severity in SEVERITIES:
            table.add_column(severity, justify="right")
        table.add_column("pages", justify="right")
        pages_by_rule = Counter(
            rule for page in self.pages for rule in {rule_of(v) for v in page.violations}
        )
        for rule, counts in sorted(self.by_rule.items(), key=lambda item: -sum(item[1].values())):
            table.add_row(rule, *(str(counts[s]) for s in SEVERITIES), str(pages_by_rule[rule]))
        table.add_section()
        table.add_row("all", *(str(self.counts[s]) for s in SEVERITIES), str(len(self.pages)))
        timings = self.timings
        if timings is not None:
            table.caption = (
                f"{len(self.pages)} pages ({len(self.unreadable)} unreadable) in "
                f"{timings.seconds:.2f} s: {timings.pages_per_second:,.0f} pages/s, "
                f"{timings.mode}, {timings.workers} worker{'s' if timings.workers != 1 else ''}"
            )
            table.caption_justify = "left"
        return table
