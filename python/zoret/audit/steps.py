"""The per-page step of an audit: one page read, turned into facts and checked against
the contract and the page rules.

It runs wherever the pages are processed (this process, a pool's workers, Dask
workers) and returns a small `PageResult`, never the parsed tree or the facts: what
the site rules need later travels as the page's `PageSummary`.
"""

from __future__ import annotations

import os
from collections.abc import Iterable

from zoret._zoret_site import (
    NotChecked,
    PageFacts,
    Violation,
    audit_page,
    page_summary,
    sort_audit_findings,
)
from zoret.audit.reader import read_page, robots_from_header
from zoret.audit.records import AuditPlan, PageResult, PageTask

__all__ = ["check_page", "check_pages"]


def _read_file(path: str, limit: int) -> tuple[bytes, bool]:
    # Plain descriptor calls: a buffered file object costs as much as the read itself.
    fd = os.open(path, os.O_RDONLY)
    try:
        # Asking for no more than the file holds spares a buffer of `limit` bytes.
        want = min(os.fstat(fd).st_size, limit) + 1
        data = os.read(fd, want)
        # A short read (a file growing meanwhile, a special file system) asks again.
        while len(data) < want and (more := os.read(fd, want - len(data))):
            data += more
    finally:
        os.close(fd)
    return (data[:limit], True) if len(data) > limit else (data, False)


def _facts(task: PageTask, plan: AuditPlan) -> tuple[PageFacts, bool, bool]:
    """The page's facts, whether its body was cut and whether it is an HTML page."""
    http = task.http
    status = http.status if http is not None else None
    # The status stays the address's own (a 301 is what a contract's `required` fails
    # on); where the redirects led is recorded for the site rules.
    final_url = redirect_url = None
    if http is not None and len(http.chain) > 1:
        final_url = http.chain[-1][1]
    elif http is not None:
        redirect_url = http.unfollowed
    body: bytes | None
    if task.path is not None:
        body, truncated = _read_file(task.path, plan.max_page_bytes)
    else:
        body, truncated = task.body, task.truncated
    if body is None:  # an answer that is not HTML (a PDF, a redirect off the host)
        x_robots_tag = http.x_robots_tag if http is not None else ()
        robots = ", ".join(robots_from_header(x_robots_tag))
        facts = PageFacts(
            task.route,
            url=task.url,
            status=status,
            robots=robots,
            in_sitemap=task.in_sitemap,
            redirect_url=redirect_url,
            final_url=final_url,
        )
        return facts, truncated, False
    headers: list[tuple[str, str]] = []
    if http is not None:
        if http.content_type is not None:
            headers.append(("Content-Type", http.content_type))
        headers.extend(("X-Robots-Tag", value) for value in http.x_robots_tag)
    facts = read_page(
        body,
        task.route,
        url=task.url,
        status=status,
        headers=headers,
        in_sitemap=task.in_sitemap,
        redirect_url=redirect_url,
        final_url=final_url,
    )
    return facts, truncated, True


def check_page(task: PageTask, plan: AuditPlan) -> PageResult:
    """Reads one page and checks it; a page that cannot be read or checked gives a
    result with its `error`, never an exception."""
    if task.error is not None:
        return PageResult(task.route, task.address, task.url, task.http, error=task.error)
    try:
        facts, truncated, html = _facts(task, plan)
        violations: list[Violation] = []
        checked, not_checked = 0, tuple[NotChecked, ...]()
        if plan.contract is not None:
            report = plan.contract.check_report(task.route, facts, plan.config)
            violations = list(report.violations)
            checked, not_checked = report.constraints_checked, tuple(report.not_checked)
        summary = None
        if plan.rules is not None:
            # An answer that is not HTML (a PDF, an image) has no head to hold to the page
            # rules; its status still counts for the site rules.
            if html:
                violations += audit_page(facts, plan.rules, plan.config)
            summary = page_summary(facts)
    except OSError as exc:
        error = exc.strerror or str(exc)
        return PageResult(task.route, task.address, task.url, task.http, error=error)
    except (ValueError, RecursionError, MemoryError) as exc:
        error = f"cannot be checked: {str(exc) or type(exc).__name__}"
        return PageResult(task.route, task.address, task.url, task.http, error=error)
    return PageResult(
        task.route,
        task.address,
        task.url,
        task.http,
        violations=tuple(sort_audit_findings(violations)) if violations else (),
        constraints_checked=checked,
        not_checked=not_checked,
        truncated=truncated,
        summary=summary,
    )


def check_pages(tasks: Iterable[PageTask], plan: AuditPlan) -> list[PageResult]:
    """`check_page` over a chunk of tasks: the unit of work sent to a worker."""
    return [check_page(task, plan) for task in tasks]
