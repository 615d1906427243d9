"""The per-page step of an audit: one page read, turned into facts and checked.

It runs wherever the pages are processed (this process, a pool's workers, Dask
workers) and returns a small `PageResult`, never the parsed tree or the facts.
"""

from __future__ import annotations

import os
from collections.abc import Iterable
from dataclasses import replace

from zoret._zoret_site import PageFacts
from zoret.audit.reader import read_page, robots_from_header
from zoret.audit.records import AuditPlan, PageResult, PageTask

__all__ = ["check_page", "check_pages"]


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


def check_page(task: PageTask, plan: AuditPlan) -> PageResult:
    """Reads one page and checks it; a page that cannot be read or checked gives a
    result with its `error`, never an exception."""
    page = PageResult(task.route, task.address, url=task.url, http=task.http)
    if task.error is not None:
        return replace(page, error=task.error)
    try:
        facts, truncated = _facts(task, plan)
        page = replace(page, truncated=truncated)
        if plan.contract is not None:
            report = plan.contract.check_report(task.route, facts, plan.config)
            page = replace(
                page,
                violations=tuple(report.violations),
                constraints_checked=report.constraints_checked,
                not_checked=tuple(report.not_checked),
            )
    except OSError as exc:
        return replace(page, error=exc.strerror or str(exc))
    except (ValueError, RecursionError, MemoryError) as exc:
        return replace(page, error=f"cannot be checked: {str(exc) or type(exc).__name__}")
    return page


def check_pages(tasks: Iterable[PageTask], plan: AuditPlan) -> list[PageResult]:
    """`check_page` over a chunk of tasks: the unit of work sent to a worker."""
    return [check_page(task, plan) for task in tasks]
