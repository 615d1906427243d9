"""The per-page step of an audit: one page read, turned into facts and checked.

It runs wherever the pages are processed (this process, a pool's workers, Dask
workers) and returns a small `PageResult`, never the parsed tree or the facts.
"""

from __future__ import annotations

import os
from collections.abc import Iterable

from zoret._zoret_site import NotChecked, PageFacts, Violation
from zoret.audit.reader import read_page, robots_from_header
from zoret.audit.records import AuditPlan, PageResult, PageTask

__all__ = ["audit_page", "audit_pages"]


def _read_file(path: str, limit: int) -> tuple[bytes, bool]:
    with open(path, "rb") as file:
        # Asking for no more than the file holds spares a buffer of `limit` bytes.
        size = os.fstat(file.fileno()).st_size
        data = file.read(min(size, limit) + 1)
    return (data[:limit], True) if len(data) > limit else (data, False)


def _facts(task: PageTask, plan: AuditPlan) -> tuple[PageFacts, bool]:
    """The page's facts and whether its body was cut."""
    http = task.http
    status = http.status if http is not None else None
    body: bytes | None
    if task.path is not None:
        body, truncated = _read_file(task.path, plan.max_page_bytes)
    else:
        body, truncated = task.body, task.truncated
    if body is None:  # an answer that is not HTML (a PDF, a redirect off the host)
        x_robots_tag = http.x_robots_tag if http is not None else ()
        robots = ", ".join(robots_from_header(x_robots_tag))
        return PageFacts(
            task.route, url=task.url, status=status, robots=robots, in_sitemap=task.in_sitemap
        ), truncated
    headers: list[tuple[str, str]] = []
    if http is not None:
        if http.content_type is not None:
            headers.append(("Content-Type", http.content_type))
        headers.extend(("X-Robots-Tag", value) for value in http.x_robots_tag)
    facts = read_page(
        body, task.route, url=task.url, status=status, headers=headers, in_sitemap=task.in_sitemap
    )
    return facts, truncated


def audit_page(task: PageTask, plan: AuditPlan) -> PageResult:
    """Reads one page and checks it; a page that cannot be read or checked gives a
    result with its `error`, never an exception."""
    base = {"route": task.route, "address": task.address, "url": task.url, "http": task.http}
    if task.error is not None:
        return PageResult(**base, error=task.error)  # type: ignore[arg-type]
    try:
        facts, truncated = _facts(task, plan)
        violations: tuple[Violation, ...] = ()
        checked = 0
        not_checked: tuple[NotChecked, ...] = ()
        if plan.contract is not None:
            report = plan.contract.check_report(task.route, facts, plan.config)
            violations = tuple(report.violations)
            checked = report.constraints_checked
            not_checked = tuple(report.not_checked)
    except OSError as exc:
        return PageResult(**base, error=exc.strerror or str(exc))  # type: ignore[arg-type]
    except (ValueError, RecursionError, MemoryError) as exc:
        message = str(exc) or type(exc).__name__
        return PageResult(**base, error=f"cannot be checked: {message}")  # type: ignore[arg-type]
    return PageResult(
        **base,  # type: ignore[arg-type]
        violations=violations,
        constraints_checked=checked,
        not_checked=not_checked,
        truncated=truncated,
    )


def audit_pages(tasks: Iterable[PageTask], plan: AuditPlan) -> list[PageResult]:
    """`audit_page` over a chunk of tasks: the unit of work sent to a worker."""
    return [audit_page(task, plan) for task in tasks]
