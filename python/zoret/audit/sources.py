"""Where an audit's pages come from, and the site files read beside them.

- `Directory`: the HTML files of a built site (``*.html``, ``*.htm``), in path order.
  A file's route is the URL path a static server gives it: ``index.html`` stands for
  its folder with a trailing slash (``/``, ``/docs/``), any other file for its own path
  (``/blog/hello.html``, or ``/blog/hello`` with `strip_extension`), percent-encoded
  where a URL path needs it.
- `Urls`: pages fetched over HTTP; their route is the URL's path.
- `SitemapUrls`: the pages a sitemap lists (following a sitemap index), fetched.

A sitemap (`load_sitemap`) marks each page in or out of it; robots.txt
(`load_robots`, read with Protego) says which of the sitemap's URLs crawlers may fetch.
"""

from __future__ import annotations

import os
from collections.abc import Iterable, Sequence
from dataclasses import dataclass, field
from pathlib import Path, PurePosixPath
from typing import TYPE_CHECKING
from urllib.parse import quote, unquote, urlsplit

from zoret._zoret_native import SEOConfig, normalize_public_url_fn
from zoret.audit.sitemaps import (
    MAX_SITEMAP_BYTES,
    MAX_SITEMAP_URLS,
    SitemapDocument,
    SitemapError,
    SitemapReader,
    read_sitemap_file,
)
from zoret.integrations import missing_extra

if TYPE_CHECKING:
    from protego import Protego

    from zoret.audit.records import HttpOptions

__all__ = [
    "Directory",
    "RobotsTxt",
    "SiteSitemap",
    "SitemapUrls",
    "Source",
    "SourceError",
    "Urls",
    "as_source",
    "is_url",
    "load_robots",
    "load_sitemap",
    "route_of_file",
]

_HTML_SUFFIXES = (".html", ".htm")
_INDEX_NAMES = ("index.html", "index.htm")
# What a path segment may hold unencoded (RFC 3986 pchar and "/").
_PATH_SAFE = "/!$&'()*+,;=:@-._~"
#: robots.txt is read up to this size, as RFC 9309 allows (at least 500 KiB).
MAX_ROBOTS_BYTES = 500 << 10


class SourceError(ValueError):
    """A source that cannot be audited: a folder that is not there, a bad URL."""


def is_url(text: str) -> bool:
    return text.startswith(("http://", "https://"))


@dataclass(frozen=True, slots=True)
class Directory:
    """The HTML files under a folder."""

    path: str
    strip_extension: bool = False


@dataclass(frozen=True, slots=True)
class Urls:
    """Pages at these addresses."""

    urls: tuple[str, ...]


@dataclass(frozen=True, slots=True)
class SitemapUrls:
    """The pages listed by the sitemap at `location` (a URL or a file)."""

    location: str


Source = Directory | Urls | SitemapUrls


def as_source(
    value: str | os.PathLike[str] | Iterable[str] | Source, *, strip_extension: bool = False
) -> Source:
    """The source a value names: a folder; a URL (one ending in ``.xml`` or ``.xml.gz``
    is a sitemap whose pages are audited, any other a page); several URLs."""
    if isinstance(value, Directory | Urls | SitemapUrls):
        return value
    if isinstance(value, str | os.PathLike):
        text = os.fspath(value)
        if is_url(text):
            path = urlsplit(text).path
            return SitemapUrls(text) if path.endswith((".xml", ".xml.gz")) else Urls((text,))
        if not os.path.isdir(text):
            raise SourceError(f"{text}: not a folder of HTML files, nor an http(s) URL")
        return Directory(text, strip_extension)
    urls = tuple(value)
    for url in urls:
        if not isinstance(url, str) or not is_url(url):
            raise SourceError(f"{url!r}: not an http(s) URL")
    return Urls(urls)


def describe(source: Source) -> str:
    """How reports name a source: the folder, the URL, or the sitemap."""
    if isinstance(source, Directory):
        return source.path
    if isinstance(source, SitemapUrls):
        return source.location
    return source.urls[0] if len(source.urls) == 1 else f"{len(source.urls)} URLs"


def route_of_file(relative: str, strip_extension: bool = False) -> str:
    """The route a static server gives the file at `relative` (a POSIX path under the
    site's root): ``docs/index.html`` -> ``/docs/``, ``blog/a b.html`` -> ``/blog/a%20b.html``."""
    folder, _, name = relative.rpartition("/")
    if name in _INDEX_NAMES:
        route = f"/{folder}/" if folder else "/"
    else:
        route = "/" + relative
        if strip_extension:
            stem, dot, suffix = name.rpartition(".")
            if stem and f"{dot}{suffix}" in _HTML_SUFFIXES:
                route = route[: -len(dot + suffix)]
    return quote(route, safe=_PATH_SAFE)


def directory_pages(source: Directory) -> list[tuple[str, str, str]]:
    """(route, path as shown, absolute path) of every HTML file, in path order (a
    folder's files, then its folders); symbolic links to folders are not followed."""
    shown_root = source.path.rstrip("/") or "/"
    absolute_root = os.path.realpath(source.path)
    pages = []
    for folder, folders, files in os.walk(absolute_root):
        folders.sort()
        inside = os.path.relpath(folder, absolute_root)
        for name in sorted(files):
            if not name.lower().endswith(_HTML_SUFFIXES):
                continue
            relative = name if inside == "." else f"{inside}/{name}"
            route = route_of_file(relative, source.strip_extension)
            pages.append((route, f"{shown_root}/{relative}", f"{folder}/{name}"))
    return pages


def _url_key(url: str) -> str:
    """A URL compared as servers compare them: scheme and host in lower case, no default
    port, no fragment, an empty path as "/"."""
    parts = urlsplit(url.strip())
    host = (parts.hostname or "").lower()
    port = parts.port if parts.port not in (None, 80, 443) else None
    where = f"{host}:{port}" if port else host
    query = f"?{parts.query}" if parts.query else ""
    return f"{parts.scheme.lower()}://{where}{parts.path or '/'}{query}"


def _path_key(path: str) -> str:
    """A path compared leniently: percent-decoded, without a trailing slash."""
    decoded = unquote(path)
    return decoded.rstrip("/") or "/"


@dataclass(frozen=True)
class SiteSitemap:
    """The pages a sitemap lists, read from its files (an index's children included)."""

    location: str
    documents: tuple[SitemapDocument, ...]
    urls: tuple[str, ...]
    _urls: frozenset[str] = field(init=False, repr=False, compare=False)
    _paths: frozenset[str] = field(init=False, repr=False, compare=False)

    def __post_init__(self) -> None:
        object.__setattr__(self, "_urls", frozenset(map(_url_key, self.urls)))
        paths = (_path_key(urlsplit(url).path) + _query(url) for url in self.urls)
        object.__setattr__(self, "_paths", frozenset(paths))

    def lists_url(self, url: str) -> bool:
        """Whether the sitemap lists `url` (scheme and host in any case)."""
        return _url_key(url) in self._urls

    def lists_route(self, route: str, config: SEOConfig | None = None) -> bool:
        """Whether the sitemap lists a page at `route` on any host: its public URL's path
        under `config`, else the route, compared percent-decoded and without a trailing
        slash."""
        path = route
        if config is not None:
            path = urlsplit(normalize_public_url_fn(route, config)).path
        return _path_key(path) + _query(route) in self._paths


def _query(url: str) -> str:
    query = urlsplit(url).query
    return f"?{query}" if query else ""


def _unique(urls: Iterable[str]) -> tuple[str, ...]:
    return tuple(dict.fromkeys(urls))


def load_sitemap(
    location: str,
    http: HttpOptions | None = None,
    *,
    max_bytes: int = MAX_SITEMAP_BYTES,
    max_urls: int = MAX_SITEMAP_URLS,
) -> SiteSitemap:
    """The sitemap at `location`: a URL (fetched, an index's children too) or a file (an
    index's children are read from the same folder, by their file name). Raises
    `SitemapError` for one that cannot be read; `OSError` for a missing file."""
    if is_url(location):
        from zoret.audit.fetch import run_async
        from zoret.audit.records import HttpOptions

        options = http or HttpOptions()
        return run_async(lambda: _fetch_sitemap(location, options, max_bytes, max_urls))
    root = read_sitemap_file(location, max_bytes=max_bytes, max_urls=max_urls)
    documents = [root]
    if root.kind == "sitemapindex":
        folder = Path(location).parent
        for child in root.locations:
            name = PurePosixPath(urlsplit(child).path).name
            document = read_sitemap_file(folder / name, max_bytes=max_bytes, max_urls=max_urls)
            documents.append(_only_urlset(document))
    return _gathered(location, documents, max_urls)


def _only_urlset(document: SitemapDocument) -> SitemapDocument:
    if document.kind != "urlset":
        raise SitemapError(f"{document.location}: a sitemap index may not list another index")
    return document


def _gathered(location: str, documents: Sequence[SitemapDocument], max_urls: int) -> SiteSitemap:
    urls = _unique(
        url for document in documents if document.kind == "urlset" for url in document.locations
    )
    if len(urls) > max_urls:
        raise SitemapError(f"{location}: more than {max_urls} URLs")
    return SiteSitemap(location, tuple(documents), urls)


async def _fetch_sitemap(
    location: str, http: HttpOptions, max_bytes: int, max_urls: int
) -> SiteSitemap:
    import asyncio

    from zoret.audit.fetch import Fetcher, FetchError

    async with Fetcher(http).client() as fetcher:

        async def one(url: str) -> SitemapDocument:
            reader = SitemapReader(url, max_bytes=max_bytes, max_urls=max_urls)
            try:
                answer = await fetcher.get(
                    url, max_bytes=max_bytes, truncate=False, html_only=False, sink=reader.feed
                )
            except FetchError as exc:
                raise SitemapError(f"{url}: {exc}") from None
            if answer.http.final_status != 200:
                raise SitemapError(f"{url}: HTTP status {answer.http.final_status}")
            return reader.close()

        root = await one(location)
        documents = [root]
        if root.kind == "sitemapindex":
            children = await asyncio.gather(*(one(child) for child in root.locations))
            documents.extend(map(_only_urlset, children))
    return _gathered(location, documents, max_urls)


@dataclass(frozen=True)
class RobotsTxt:
    """The robots.txt rules of the sites audited, by origin ("scheme://host"; "" for a
    file that applies to every URL). An origin whose robots.txt answered 4xx allows
    everything; one that could not be fetched (5xx, no answer) allows nothing, as RFC
    9309 asks of crawlers."""

    rules: dict[str, Protego | bool]
    agent: str = "*"

    def allows(self, url: str) -> bool:
        """Whether the crawler `agent` may fetch `url`."""
        parts = urlsplit(url)
        origin = f"{parts.scheme}://{parts.netloc}".lower() if parts.netloc else ""
        rule = self.rules.get(origin, self.rules.get("", True))
        if isinstance(rule, bool):
            return rule
        return bool(rule.can_fetch(url, self.agent))


def _protego(text: str) -> Protego:
    try:
        from protego import Protego
    except ImportError as exc:  # pragma: no cover - depends on the installation
        raise missing_extra(exc, "audit", "the site audit") from exc
    return Protego.parse(text)


def _origin(url: str) -> str:
    parts = urlsplit(url)
    return f"{parts.scheme}://{parts.netloc}".lower()


def load_robots(
    location: str | None,
    urls: Iterable[str] = (),
    http: HttpOptions | None = None,
    *,
    agent: str = "*",
) -> RobotsTxt:
    """robots.txt from `location` (a file or a URL; it then applies to every URL), or
    fetched from the root of each site among `urls`."""
    if location is not None and not is_url(location):
        with open(location, "rb") as file:
            text = file.read(MAX_ROBOTS_BYTES).decode("utf-8", "replace")
        return RobotsTxt({"": _protego(text)}, agent)
    from zoret.audit.fetch import Fetcher, FetchError, run_async
    from zoret.audit.records import HttpOptions

    options = http or HttpOptions()
    wanted = {"": location} if location else {o: f"{o}/robots.txt" for o in map(_origin, urls)}

    async def fetch_all() -> dict[str, Protego | bool]:
        rules: dict[str, Protego | bool] = {}
        async with Fetcher(options).client() as fetcher:
            for origin, url in sorted(wanted.items()):
                try:
                    answer = await fetcher.get(url, max_bytes=MAX_ROBOTS_BYTES, html_only=False)
                except FetchError:
                    rules[origin] = False
                    continue
                status = answer.http.final_status
                if 200 <= status < 300:
                    rules[origin] = _protego((answer.body or b"").decode("utf-8", "replace"))
                else:
                    rules[origin] = status < 500
        return rules

    return RobotsTxt(run_async(fetch_all), agent)


def url_route(url: str) -> str:
    """The route of a page URL: its path, as sent."""
    return urlsplit(url).path or "/"
