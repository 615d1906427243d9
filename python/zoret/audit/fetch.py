"""HTTP for audits: pages, sitemaps and robots.txt fetched with httpx.

Only the addresses asked for are fetched, and the redirects they answer with when the
target is on the same host (any other target is recorded, not fetched). Each request
has a deadline from the first byte sent to the last received; connection failures,
timeouts, 5xx and 429 answers are retried with exponential backoff (a 429's or 503's
``Retry-After`` is honoured up to `HttpOptions.max_retry_after`). A page's body is read
only when it is HTML, up to a size limit; bodies are decoded (gzip, deflate) here, in
bounded steps, so a compressed answer cannot expand past the limit in memory.
"""

from __future__ import annotations

import asyncio
import contextlib
import email.utils
import queue
import threading
import time
import zlib
from collections.abc import AsyncIterator, Awaitable, Callable, Iterable, Iterator
from dataclasses import dataclass
from typing import Any, TypeVar
from urllib.parse import urljoin, urlsplit

from zoret.audit.records import HttpFacts, HttpOptions
from zoret.integrations import missing_extra

try:
    import httpx
except ImportError as exc:  # pragma: no cover - depends on the installation
    raise missing_extra(exc, "audit", "the site audit") from exc

__all__ = ["Answer", "FetchError", "Fetcher", "HttpOptions", "fetch_all", "run_async"]

_T = TypeVar("_T")
_REDIRECTS = {301, 302, 303, 307, 308}
_HTML_TYPES = ("text/html", "application/xhtml+xml")
_STEP = 1 << 16


class FetchError(Exception):
    """An address that gave no answer: refused, timed out, a redirect loop."""


class TooLarge(FetchError):
    """A body larger than the caller's limit, when it is not to be cut."""


@dataclass(frozen=True, slots=True)
class Answer:
    """What one address answered, redirects followed: the facts, and the final body
    when it was kept."""

    url: str
    http: HttpFacts
    body: bytes | None = None
    truncated: bool = False


class _Decoder:
    """Content-Encoding undone in bounded steps."""

    def __init__(self, encoding: str | None) -> None:
        codings = [c.strip().lower() for c in (encoding or "").split(",") if c.strip()]
        codings = [c for c in codings if c != "identity"]
        if len(codings) > 1 or (codings and codings[0] not in ("gzip", "x-gzip", "deflate")):
            raise FetchError(f"unsupported Content-Encoding {encoding!r}")
        self.coding = codings[0] if codings else None
        self.inflate: zlib._Decompress | None = None
        if self.coding in ("gzip", "x-gzip"):
            self.inflate = zlib.decompressobj(16 + zlib.MAX_WBITS)
        elif self.coding == "deflate":
            self.inflate = zlib.decompressobj()
            self.first = True

    def decode(self, data: bytes) -> Iterator[bytes]:
        if self.inflate is None:
            yield data
            return
        try:
            if self.coding == "deflate" and self.first and data:
                self.first = False
                # "deflate" is zlib data by the standard, raw deflate in some servers.
                if data[0] & 0x0F != 8:
                    self.inflate = zlib.decompressobj(-zlib.MAX_WBITS)
            while data:
                yield self.inflate.decompress(data, _STEP)
                data = self.inflate.unconsumed_tail
        except zlib.error as exc:
            raise FetchError(f"broken {self.coding} data: {exc}") from None


def _describe(exc: BaseException, timeout: float) -> str:
    if isinstance(exc, TimeoutError | httpx.TimeoutException):
        return f"no complete answer within {timeout:g} s"
    text = str(exc) or type(exc).__name__
    return f"{type(exc).__name__}: {text}" if isinstance(exc, httpx.HTTPError) else text


def _retry_after(response: httpx.Response) -> float | None:
    value = response.headers.get("retry-after")
    if value is None:
        return None
    if value.strip().isdigit():
        return float(value.strip())
    when = email.utils.parsedate_to_datetime(value) if value.strip() else None
    return max(0.0, when.timestamp() - time.time()) if when is not None else None


class Fetcher:
    """Fetches addresses through one httpx client (use it inside `client()`)."""

    def __init__(self, options: HttpOptions) -> None:
        self.options = options
        self._client: httpx.AsyncClient | None = None
        self._gate = asyncio.Semaphore(options.concurrency)

    @contextlib.asynccontextmanager
    async def client(self) -> AsyncIterator[Fetcher]:
        limits = httpx.Limits(max_connections=self.options.concurrency)
        headers = {"User-Agent": self.options.user_agent, "Accept-Encoding": "gzip, deflate"}
        async with httpx.AsyncClient(
            limits=limits,
            headers=headers,
            timeout=self.options.timeout,
            follow_redirects=False,
            **self.options.client_options,
        ) as client:
            self._client = client
            try:
                yield self
            finally:
                self._client = None

    async def _attempts(
        self,
        url: str,
        read: Callable[[httpx.Response], Awaitable[_T]],
        streamed: Callable[[], int] = lambda: 0,
    ) -> tuple[httpx.Response, _T]:
        """One GET with retries; `read` consumes the response within the deadline.
        `streamed` tells how many body bytes have been handed on already: a sink cannot
        take them back, so a failure after the first of them is not retried."""
        assert self._client is not None, "use Fetcher.client()"
        options = self.options
        for attempt in range(options.retries + 1):
            delay = options.backoff * 2**attempt
            try:
                async with asyncio.timeout(options.timeout):
                    request = self._client.build_request("GET", url)
                    response = await self._client.send(request, stream=True)
                    try:
                        retry = response.status_code == 429 or response.status_code >= 500
                        if retry and attempt < options.retries:
                            delay = min(_retry_after(response) or delay, options.max_retry_after)
                        else:
                            return response, await read(response)
                    finally:
                        await response.aclose()
            except (httpx.UnsupportedProtocol, httpx.InvalidURL) as exc:
                raise FetchError(str(exc)) from None
            except (httpx.TransportError, TimeoutError) as exc:
                if handed_on := streamed():
                    cause = _describe(exc, options.timeout)
                    raise FetchError(
                        f"{cause} (the body broke off after {handed_on} bytes)"
                    ) from None
                if attempt == options.retries:
                    raise FetchError(_describe(exc, options.timeout)) from None
            await asyncio.sleep(delay)
        raise AssertionError("unreachable")  # pragma: no cover

    async def get(
        self,
        url: str,
        *,
        max_bytes: int,
        truncate: bool = True,
        html_only: bool = True,
        sink: Callable[[bytes], None] | None = None,
    ) -> Answer:
        """What `url` answers, redirects on its host followed. The final body is kept
        (`html_only`: when it is HTML) up to `max_bytes` (beyond, it is cut when
        `truncate`, else `TooLarge` is raised); with `sink`, it is handed over chunk by
        chunk instead of kept. Raises `FetchError` when no answer comes."""
        async with self._gate:
            chain: list[tuple[int, str]] = []
            current = url
            seen = {url}
            host = urlsplit(url).hostname
            handed_on = 0

            def feed(chunk: bytes) -> None:
                nonlocal handed_on
                handed_on += len(chunk)
                sink(chunk)  # type: ignore[misc]  # only passed on when there is a sink

            for _ in range(self.options.max_redirects + 1):
                response, body = await self._attempts(
                    current,
                    lambda r: self._body(
                        r, max_bytes, truncate, html_only, None if sink is None else feed
                    ),
                    lambda: handed_on,
                )
                chain.append((response.status_code, current))
                location = response.headers.get("location")
                if response.status_code not in _REDIRECTS or location is None:
                    kept, truncated = body
                    facts = HttpFacts(
                        tuple(chain),
                        content_type=response.headers.get("content-type"),
                        x_robots_tag=tuple(response.headers.get_list("x-robots-tag")),
                    )
                    return Answer(url, facts, kept, truncated)
                target = urljoin(current, location.strip())
                parts = urlsplit(target)
                if parts.scheme not in ("http", "https") or parts.hostname != host:
                    return Answer(url, HttpFacts(tuple(chain), unfollowed=target))
                if target in seen:
                    raise FetchError(f"redirect loop at {target}")
                seen.add(target)
                current = target
            raise FetchError(f"more than {self.options.max_redirects} redirects")

    async def _body(
        self,
        response: httpx.Response,
        max_bytes: int,
        truncate: bool,
        html_only: bool,
        sink: Callable[[bytes], None] | None,
    ) -> tuple[bytes | None, bool]:
        if response.status_code in _REDIRECTS and "location" in response.headers:
            return None, False
        if sink is not None and not 200 <= response.status_code < 300:
            return None, False  # an error page is not what the sink reads
        kind = response.headers.get("content-type", "").split(";")[0].strip().lower()
        if html_only and kind and kind not in _HTML_TYPES:
            return None, False
        decoder = _Decoder(response.headers.get("content-encoding"))
        chunks: list[bytes] = []
        size = 0
        async for raw in response.aiter_raw(_STEP):
            for chunk in decoder.decode(raw):
                size += len(chunk)
                if size > max_bytes:
                    if not truncate:
                        raise TooLarge(f"larger than {max_bytes} bytes")
                    chunks.append(chunk[: len(chunk) - (size - max_bytes)])
                    return (None if sink else b"".join(chunks)), True
                if sink is not None:
                    sink(chunk)
                else:
                    chunks.append(chunk)
        return (None if sink else b"".join(chunks)), False


def run_async(work: Callable[[], Awaitable[_T]]) -> _T:
    """Runs a coroutine to completion on an event loop of its own, in a thread of its
    own, so that callers inside a running loop (notebooks, async tests) can use it."""
    outcome: list[Any] = []

    def main() -> None:
        try:
            outcome.append((True, asyncio.run(work())))  # type: ignore[arg-type]
        except BaseException as exc:
            outcome.append((False, exc))

    thread = threading.Thread(target=main, name="zoret-audit-http", daemon=True)
    thread.start()
    thread.join()
    ok, value = outcome[0]
    if not ok:
        raise value
    return value  # type: ignore[no-any-return]


_DONE = object()


def fetch_all(
    urls: Iterable[str],
    fetch: Callable[[Fetcher, str], Awaitable[_T]],
    options: HttpOptions,
) -> Iterator[_T]:
    """`fetch(fetcher, url)` for every URL, concurrently (`options.concurrency` at once),
    yielded as they complete. At most twice the concurrency of results wait for the
    consumer, so memory stays bounded however many URLs; closing the iterator early
    stops the fetching."""
    results: queue.SimpleQueue[Any] = queue.SimpleQueue()
    state: dict[str, Any] = {}
    ready = threading.Event()

    async def main() -> None:
        loop = asyncio.get_running_loop()
        slots = asyncio.Semaphore(2 * options.concurrency)
        state["loop"], state["slots"] = loop, slots
        state["task"] = asyncio.current_task()
        ready.set()
        async with Fetcher(options).client() as fetcher:

            async def one(url: str) -> None:
                try:
                    results.put(await fetch(fetcher, url))
                except BaseException as exc:
                    results.put(exc)

            async with asyncio.TaskGroup() as group:
                for url in urls:
                    await slots.acquire()
                    group.create_task(one(url))

    def run() -> None:
        try:
            asyncio.run(main())
        except BaseException as exc:  # cancelled by the consumer, or a failing iterable
            if not isinstance(exc, asyncio.CancelledError):
                results.put(exc)
        finally:
            ready.set()
            results.put(_DONE)

    thread = threading.Thread(target=run, name="zoret-audit-http", daemon=True)
    thread.start()
    ready.wait()
    try:
        while (item := results.get()) is not _DONE:
            if isinstance(item, BaseException):
                raise item
            if "loop" in state:
                with contextlib.suppress(RuntimeError):  # the loop may just have closed
                    state["loop"].call_soon_threadsafe(state["slots"].release)
            yield item
    finally:
        if thread.is_alive() and "loop" in state:
            with contextlib.suppress(RuntimeError):
                state["loop"].call_soon_threadsafe(state["task"].cancel)
        thread.join()
