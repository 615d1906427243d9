"""The records an audit passes between its steps: small, picklable, comparable.

Everything here crosses process boundaries (a process pool, Dask workers): a `PageTask`
names a file to read (or carries a fetched body), a `PageResult` holds a page's
violations and what was learnt about it, never the parsed tree or the facts themselves.
The `AuditPlan` (contract, site configuration, limits) is sent to each worker once.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any

from zoret import __version__
from zoret._zoret_native import SEOConfig
from zoret._zoret_site import AuditRules, Contract, NotChecked, PageSummary, Violation

__all__ = ["MAX_PAGE_BYTES", "AuditPlan", "HttpFacts", "HttpOptions", "PageResult", "PageTask"]

#: What search engines read of an HTML file (Google documents 15 MB); the rest of a
#: larger page is not read, and its result says so.
MAX_PAGE_BYTES = 15 << 20


@dataclass(frozen=True, slots=True)
class HttpFacts:
    """What the server said about a page fetched over HTTP."""

    #: Each response in turn with the address that gave it: the first is the address
    #: asked for, the last the one whose body was read.
    chain: tuple[tuple[int, str], ...]
    #: The target of a redirect that was not followed (to another host).
    unfollowed: str | None = None
    content_type: str | None = None
    x_robots_tag: tuple[str, ...] = ()

    @property
    def status(self) -> int:
        """The status of the address asked for (301 for a page that redirects)."""
        return self.chain[0][0]

    @property
    def final_url(self) -> str:
        return self.unfollowed or self.chain[-1][1]

    @property
    def final_status(self) -> int:
        return self.chain[-1][0]


@dataclass(frozen=True, slots=True)
class PageTask:
    """One page to audit: a file to read, or an HTTP answer with its body."""

    route: str
    #: Where the page is, as reports show it: the file's path, or the URL asked for.
    address: str
    #: The file to read, as an absolute path (workers may run elsewhere).
    path: str | None = None
    #: The URL the page was fetched from (None for files).
    url: str | None = None
    http: HttpFacts | None = None
    #: The body fetched (HTTP); None for a file, or for an answer that is not HTML.
    body: bytes | None = None
    truncated: bool = False
    in_sitemap: bool | None = None
    #: Why the page could not be fetched; the page is then reported, not checked.
    error: str | None = None


@dataclass(frozen=True, slots=True)
class AuditPlan:
    """What every page is checked against; sent to each worker once."""

    contract: Contract | None = None
    config: SEOConfig | None = None
    max_page_bytes: int = MAX_PAGE_BYTES
    #: The site audit rules (ZORET201 and on); None leaves that layer out.
    rules: AuditRules | None = field(default_factory=AuditRules)


@dataclass(frozen=True, slots=True)
class PageResult:
    """What the audit learnt about one page: small, picklable, comparable."""

    route: str
    address: str
    url: str | None = None
    http: HttpFacts | None = None
    violations: tuple[Violation, ...] = ()
    constraints_checked: int = 0
    not_checked: tuple[NotChecked, ...] = ()
    #: The page was larger than the plan's `max_page_bytes`; only its start was read.
    truncated: bool = False
    #: Why the page could not be read or checked.
    error: str | None = None
    #: What the site rules need of the page (None when the rules are off or the page
    #: could not be read).
    summary: PageSummary | None = None

    @property
    def status(self) -> int | None:
        return self.http.status if self.http is not None else None


@dataclass(frozen=True, slots=True)
class HttpOptions:
    """How audits use the network."""

    #: Requests in flight at once.
    concurrency: int = 8
    #: Seconds for one request, from connecting to the last byte of the body.
    timeout: float = 10.0
    #: Further attempts after a connection failure, a timeout, a 5xx or a 429.
    retries: int = 2
    #: Seconds before the first retry; doubled for each further one.
    backoff: float = 0.5
    #: The longest ``Retry-After`` obeyed; a longer one waits this long.
    max_retry_after: float = 30.0
    max_redirects: int = 10
    user_agent: str = f"zoret-audit/{__version__}"
    #: Passed to httpx.AsyncClient (a transport for tests, proxies, certificates).
    client_options: dict[str, Any] = field(default_factory=dict, compare=False)

    def __post_init__(self) -> None:
        if self.concurrency < 1:
            raise ValueError(f"concurrency must be at least 1, got {self.concurrency}")
        if self.timeout <= 0 or self.retries < 0 or self.backoff < 0:
            raise ValueError("timeout must be positive, retries and backoff not negative")
