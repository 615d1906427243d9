"""Running an audit: pages to tasks, tasks through the per-page step wherever it runs
(this process, a process pool, a Dask cluster), results through the site step.

The two steps are the only places that check anything:

- the per-page step (`zoret.audit.steps.check_pages`) runs on chunks of `PageTask`
  records and returns `PageResult` records; it is what the pool's and Dask's workers
  run;
- the site step (`site_step`) runs once, here, on all the results gathered, and puts
  them in a deterministic order: the report is the same byte for byte however the
  pages were spread.
"""

from __future__ import annotations

import contextlib
import math
import multiprocessing
import os
import threading
import time
from collections.abc import Callable, Iterable, Iterator
from concurrent.futures import FIRST_COMPLETED, Future, ProcessPoolExecutor, wait
from concurrent.futures.process import BrokenProcessPool
from dataclasses import replace
from itertools import islice
from typing import TYPE_CHECKING, Any, Literal, TypeVar

from zoret._zoret_native import SEOConfig
from zoret._zoret_site import AuditRules, Contract, Violation, audit_site, sort_audit_findings
from zoret.audit import sources
from zoret.audit.records import MAX_PAGE_BYTES, AuditPlan, HttpOptions, PageResult, PageTask
from zoret.audit.report import AuditReport, Timings
from zoret.audit.steps import check_pages
from zoret.check import load_contract

if TYPE_CHECKING:
    from distributed import Client

    from zoret.audit.fetch import Fetcher

__all__ = ["AuditError", "audit", "site_step"]

_T = TypeVar("_T")
# Pages per chunk sent to a worker: enough that the transfer is small next to parsing,
# few enough that the workers finish together.
_MAX_CHUNK = 64
_MAX_DASK_CHUNK = 512
# Fetched pages travel with their bodies (up to `max_page_bytes` each): fewer per chunk
# keeps the chunks waiting for a worker small.
_MAX_FETCHED_CHUNK = 8


class AuditError(Exception):
    """An audit that cannot run: its source, sitemap or robots.txt cannot be read, or a
    worker died."""


def _chunks(items: Iterable[_T], size: int) -> Iterator[list[_T]]:
    iterator = iter(items)
    while chunk := list(islice(iterator, size)):
        yield chunk


def _chunk_size(total: int, workers: int, cap: int) -> int:
    return max(1, min(cap, math.ceil(total / (workers * 8))))


def default_workers() -> int:
    """The cores this process may run on."""
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:  # pragma: no cover - not on Linux
        return os.cpu_count() or 1


# The plan a pool worker checks pages against, installed once when it starts.
_worker_plan: AuditPlan | None = None


def _install_plan(plan: AuditPlan) -> None:
    global _worker_plan
    _worker_plan = plan


def _audit_chunk(tasks: list[PageTask]) -> list[PageResult]:
    assert _worker_plan is not None
    return check_pages(tasks, _worker_plan)


def _run_serial(
    tasks: Iterable[PageTask], plan: AuditPlan, done: Callable[[int], None]
) -> list[PageResult]:
    results = []
    for chunk in _chunks(tasks, 16):
        results.extend(check_pages(chunk, plan))
        done(len(chunk))
    return results


def _pool_context() -> multiprocessing.context.BaseContext:
    """How pool workers start. Forking is fastest and needs nothing of the caller, but
    forking a process with threads can copy their locks in a held state; then the
    workers start from a clean server process instead, which imports the caller's main
    module (a script needs its ``if __name__ == "__main__":`` guard)."""
    if threading.active_count() == 1 and "fork" in multiprocessing.get_all_start_methods():
        return multiprocessing.get_context("fork")
    return multiprocessing.get_context("forkserver")


@contextlib.contextmanager
def _pool(workers: int, plan: AuditPlan) -> Iterator[ProcessPoolExecutor]:
    """A started process pool whose workers hold `plan`. The workers are started here,
    before the progress bar's and the fetcher's threads."""
    with ProcessPoolExecutor(
        workers, mp_context=_pool_context(), initializer=_install_plan, initargs=(plan,)
    ) as pool:
        pool.submit(os.getpid).result()
        yield pool


def _run_pool(
    tasks: Iterable[PageTask],
    pool: ProcessPoolExecutor,
    workers: int,
    chunk_size: int,
    done: Callable[[int], None],
) -> list[PageResult]:
    results: list[PageResult] = []
    pending: set[Future[list[PageResult]]] = set()

    def collect(finished: Iterable[Future[list[PageResult]]]) -> None:
        for future in finished:
            chunk = future.result()
            results.extend(chunk)
            done(len(chunk))

    for chunk in _chunks(tasks, chunk_size):
        if len(pending) >= 3 * workers:
            finished, pending = wait(pending, return_when=FIRST_COMPLETED)
            collect(finished)
        pending.add(pool.submit(_audit_chunk, chunk))
    collect(wait(pending).done)
    return results


def _run_dask(
    tasks: Iterable[PageTask],
    plan: AuditPlan,
    client: Client,
    workers: int,
    chunk_size: int,
    done: Callable[[int], None],
) -> list[PageResult]:
    try:
        from distributed import as_completed
    except ImportError as exc:
        from zoret.integrations import missing_extra

        raise missing_extra(exc, "dask", "a distributed audit") from exc
    # Sent once to every worker; each chunk then names it.
    shared_plan = client.scatter(plan, broadcast=True, hash=False)  # type: ignore[no-untyped-call]
    results: list[PageResult] = []
    running = as_completed()  # type: ignore[no-untyped-call]

    def collect(future: Any) -> None:
        chunk = future.result()
        results.extend(chunk)
        done(len(chunk))

    for index, chunk in enumerate(_chunks(tasks, chunk_size)):
        if index >= 4 * workers:  # as many chunks in flight as that, no more
            collect(next(running))
        running.add(client.submit(check_pages, chunk, shared_plan, pure=False))  # type: ignore[no-untyped-call]
    for future in running:
        collect(future)
    return results


def site_step(
    results: Iterable[PageResult],
    plan: AuditPlan,
    *,
    source: str,
    sitemap_urls: tuple[tuple[str, bool], ...] | None,
    timings: Timings | None = None,
) -> AuditReport:
    """The step that sees the whole site: runs once on every page's result, applies the
    site rules to the pages' summaries, and puts pages in route order and findings in
    audit order (`sort_audit_findings`: route, rule id, field...). Each site finding is
    also counted with the page of its route; one on a URL that no audited page answers
    (a disallowed sitemap entry) belongs to no page."""
    pages = sorted(results, key=lambda page: (page.route, page.address))
    found = [v for page in pages for v in page.violations]
    if plan.rules is not None:
        summaries = [page.summary for page in pages if page.summary is not None]
        site = audit_site(summaries, plan.rules, plan.config, sitemap_urls=sitemap_urls)
        found += site
        by_route: dict[str, list[Violation]] = {}
        for v in site:
            by_route.setdefault(v.route, []).append(v)
        for index, page in enumerate(pages):
            if (more := by_route.pop(page.route, None)) is not None:
                merged = sort_audit_findings([*page.violations, *more])
                pages[index] = replace(page, violations=tuple(merged))
    violations = tuple(sort_audit_findings(found))
    return AuditReport(source, tuple(pages), violations, sitemap_urls, timings)


@contextlib.contextmanager
def _progress(enabled: bool, total: int | None, label: str) -> Iterator[Callable[[int], None]]:
    if not enabled:
        yield lambda count: None
        return
    from rich.console import Console
    from rich.progress import (
        BarColumn,
        MofNCompleteColumn,
        Progress,
        TextColumn,
        TimeRemainingColumn,
    )

    with Progress(
        TextColumn("{task.description}"),
        BarColumn(),
        MofNCompleteColumn(),
        TimeRemainingColumn(),
        console=Console(stderr=True),
        transient=True,
    ) as bar:
        task = bar.add_task(label, total=total)
        yield lambda count: bar.advance(task, count)


def _fetched_task(answer_or_error: Any, in_sitemap: Callable[[str], bool | None]) -> PageTask:
    from zoret.audit.fetch import Answer

    if isinstance(answer_or_error, Answer):
        answer = answer_or_error
        route = sources.url_route(answer.url)
        return PageTask(
            route,
            answer.url,
            url=answer.url,
            http=answer.http,
            body=answer.body,
            truncated=answer.truncated,
            in_sitemap=in_sitemap(answer.url),
        )
    url, message = answer_or_error
    return PageTask(sources.url_route(url), url, url=url, in_sitemap=in_sitemap(url), error=message)


def _http_tasks(
    urls: tuple[str, ...],
    http: HttpOptions,
    max_bytes: int,
    in_sitemap: Callable[[str], bool | None],
) -> Iterator[PageTask]:
    from zoret.audit.fetch import FetchError, fetch_all

    async def fetch(fetcher: Fetcher, url: str) -> Any:
        try:
            return await fetcher.get(url, max_bytes=max_bytes)
        except FetchError as exc:
            return url, str(exc)

    for answer in fetch_all(urls, fetch, http):
        yield _fetched_task(answer, in_sitemap)


def audit(
    source: str | os.PathLike[str] | Iterable[str] | sources.Source,
    *,
    contract: Contract | str | os.PathLike[str] | None = None,
    rules: AuditRules | Literal[False] | None = None,
    config: SEOConfig | None = None,
    sitemap: str | os.PathLike[str] | None = None,
    robots: str | os.PathLike[str] | None = None,
    workers: int | None = None,
    client: Client | None = None,
    strip_extension: bool = False,
    http: HttpOptions | None = None,
    max_page_bytes: int = MAX_PAGE_BYTES,
    robots_agent: str = "*",
    progress: bool = False,
) -> AuditReport:
    """Audits a site's pages against a contract and the site audit rules.

    `source` is a folder of built HTML files, a page URL, a list of them, or the URL of
    a sitemap (ending in ``.xml`` or ``.xml.gz``) whose pages are fetched. `contract` is a
    `Contract` or a contract file (either form `load_contract` reads); `config` the site
    configuration "self" canonicals resolve through. `rules` chooses the site audit
    rules (ZORET201 and on; see `zoret.audit_rules`): None runs them all at their
    default severities, False none. Their site host, unless the rules or `config` name
    one, is the one host of the sitemap's URLs, else of the source's. `sitemap` (a file
    or a URL; the source itself when it is one) marks every page in or out of the
    sitemap, and its URLs are checked against robots.txt: `robots` (a file or a URL),
    else the site's own (``robots.txt`` in the folder, or fetched from each site's root).

    The pages are read and checked by `workers` processes (default: one per core; 1
    runs in this process, as do sites of fewer than 256 pages by default), or on a Dask
    cluster through `client`. A page that cannot be read is reported in the result.
    Raises `AuditError` when the source, the sitemap or robots.txt cannot be read or a
    worker dies, and what `load_contract` raises for a contract file.
    """
    started = time.perf_counter()
    try:
        site = sources.as_source(source, strip_extension=strip_extension)
    except sources.SourceError as exc:
        raise AuditError(str(exc)) from None
    if isinstance(contract, str | os.PathLike):
        contract = load_contract(contract)
    if workers is not None and workers < 1:
        raise ValueError(f"workers must be at least 1, got {workers}")
    http = http or HttpOptions()
    location = os.fspath(sitemap) if sitemap is not None else None
    if isinstance(site, sources.SitemapUrls):
        location = location or site.location
    try:
        site_map = sources.load_sitemap(location, http) if location else None
    except (OSError, ValueError) as exc:
        raise AuditError(_file_error(location, exc)) from None
    plan = AuditPlan(contract, config, max_page_bytes, _site_rules(rules, config, site, site_map))
    if isinstance(site, sources.Directory) and robots is None:
        own = os.path.join(site.path, "robots.txt")
        robots = own if os.path.isfile(own) else None
    # A folder's audit fetches nothing: without a robots.txt of its own, all is allowed.
    fetch_robots = not isinstance(site, sources.Directory)
    sitemap_urls = _sitemap_urls(site_map, robots, fetch_robots, http, robots_agent)
    tasks, total = _tasks(site, site_map, plan, http)
    mode, count = _how_to_run(client, workers, total)
    cap = _MAX_DASK_CHUNK if mode == "dask" else _MAX_CHUNK
    if not isinstance(site, sources.Directory):
        cap = _MAX_FETCHED_CHUNK
    chunk_size = _chunk_size(total, count, cap)
    label = sources.describe(site)
    try:
        with contextlib.ExitStack() as stack:
            if mode == "processes":
                pool = stack.enter_context(_pool(count, plan))
            done = stack.enter_context(_progress(progress, total, label))
            if mode == "dask":
                results = _run_dask(tasks, plan, client, count, chunk_size, done)  # type: ignore[arg-type]
            elif mode == "processes":
                results = _run_pool(tasks, pool, count, chunk_size, done)
            else:
                results = _run_serial(tasks, plan, done)
    except BrokenProcessPool:
        raise AuditError(
            "a worker process died (out of memory, or killed); run with workers=1 to see which page"
        ) from None
    timings = Timings(time.perf_counter() - started, len(results), mode, count)
    return site_step(results, plan, source=label, sitemap_urls=sitemap_urls, timings=timings)


def _site_rules(
    rules: AuditRules | Literal[False] | None,
    config: SEOConfig | None,
    site: sources.Source,
    site_map: sources.SiteSitemap | None,
) -> AuditRules | None:
    """The rules the audit runs, with the site's host when the rules and the
    configuration leave it open and the sitemap (else the source) names a single one."""
    if rules is False:
        return None
    if rules is None:
        rules = AuditRules()
    elif not isinstance(rules, AuditRules):
        raise TypeError(f"rules must be AuditRules, None or False, not {type(rules).__name__}")
    if rules.site_host is not None or config is not None:
        return rules
    urls: tuple[str, ...] = ()
    if site_map is not None:
        urls = site_map.urls
    elif isinstance(site, sources.Urls):
        urls = site.urls
    hosts = {_host(url) for url in urls}
    if len(hosts) != 1 or None in hosts:
        return rules
    try:
        return AuditRules(
            disabled=rules.disabled,
            severities=rules.severities,
            title_min_length=rules.title_min_length,
            title_max_length=rules.title_max_length,
            description_min_length=rules.description_min_length,
            description_max_length=rules.description_max_length,
            site_host=hosts.pop(),
        )
    except ValueError:  # a host the rules do not take: compare paths, as without one
        return rules


def _host(url: str) -> str | None:
    """The host (and port) of an http(s) URL, without credentials."""
    scheme, _, rest = url.partition("://")
    if scheme.lower() not in ("http", "https"):
        return None
    authority = rest.split("/", 1)[0].split("?", 1)[0].split("#", 1)[0]
    return authority.rpartition("@")[2].lower() or None


def _sitemap_urls(
    site_map: sources.SiteSitemap | None,
    robots: str | os.PathLike[str] | None,
    fetch_robots: bool,
    http: HttpOptions,
    agent: str,
) -> tuple[tuple[str, bool], ...] | None:
    """Each URL of the sitemap with whether robots.txt disallows it: `robots`, else each
    site's own when `fetch_robots`, else none."""
    if site_map is None:
        return None
    location = os.fspath(robots) if robots is not None else None
    if location is None and not fetch_robots:
        return tuple((url, False) for url in site_map.urls)
    try:
        rules = sources.load_robots(location, site_map.urls, http, agent=agent)
    except OSError as exc:
        raise AuditError(_file_error(location, exc)) from None
    return tuple((url, not rules.allows(url)) for url in site_map.urls)


def _tasks(
    site: sources.Source,
    site_map: sources.SiteSitemap | None,
    plan: AuditPlan,
    http: HttpOptions,
) -> tuple[Iterator[PageTask], int]:
    """The pages to check, lazily (pages over HTTP are fetched as they are taken), and
    how many."""
    if isinstance(site, sources.Directory):
        files = sources.directory_pages(site)

        def in_sitemap(route: str) -> bool | None:
            return None if site_map is None else _lists_route(site_map, route, plan.config)

        tasks = (
            PageTask(route, shown, path=path, in_sitemap=in_sitemap(route))
            for route, shown, path in files
        )
        return tasks, len(files)
    urls = site.urls if isinstance(site, sources.Urls) else site_map.urls  # type: ignore[union-attr]

    def url_in_sitemap(url: str) -> bool | None:
        return None if site_map is None else site_map.lists_url(url)

    return _http_tasks(urls, http, plan.max_page_bytes, url_in_sitemap), len(urls)


def _how_to_run(client: Client | None, workers: int | None, total: int) -> tuple[str, int]:
    """ "dask", "processes" or "serial", and with how many workers."""
    if client is not None:
        return "dask", max(1, len(client.scheduler_info().get("workers", {})))
    count = workers or default_workers()
    if workers is None and total < 4 * _MAX_CHUNK:
        count = 1  # starting processes would cost more than it saves
    return ("serial" if count == 1 else "processes"), count


def _lists_route(site_map: sources.SiteSitemap, route: str, config: SEOConfig | None) -> bool:
    try:
        return site_map.lists_route(route, config)
    except ValueError:  # a route the configuration cannot place on the site
        return site_map.lists_route(route)


def _file_error(location: str | None, exc: BaseException) -> str:
    if isinstance(exc, OSError):
        return f"{exc.filename or location}: {exc.strerror or exc}"
    return str(exc)
