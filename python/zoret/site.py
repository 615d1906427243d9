"""Site outputs made from the same configuration as the head of every page.

A sitemap location, an hreflang link, a robots.txt ``Sitemap:`` line and a ``Link``
header all go through the configuration's public-URL resolver, the one that makes
the canonical link, so they cannot disagree with it.

- :func:`write_sitemaps` streams routes or :class:`SitemapEntry` objects into a
  sitemaps.org 0.9 set (split at 50,000 URLs or 50 MB, with an index, optionally
  gzipped), replacing the previous set only once the new one is complete.
- :func:`render_robots` writes robots.txt (RFC 9309) from :class:`RobotsGroup`
  records, keeping crawlers out on any host but the production one.
- :func:`render_hreflang` gives the ``<link rel="alternate" hreflang=...>`` lines.
- :func:`response_headers` gives ``Link`` and ``X-Robots-Tag`` for responses that
  cannot carry a head (PDFs, feeds).

>>> import zoret
>>> site = zoret.SEOConfig("example.com", "https://example.com")
>>> print(render_hreflang([("en-us", "/en/"), ("x-default", "/")], site, current_route="/en/"))
<link rel="alternate" hreflang="en-US" href="https://example.com/en">
<link rel="alternate" hreflang="x-default" href="https://example.com/">
>>> print(render_robots(site, [RobotsGroup("*", disallow=["/admin/"])], sitemaps=["/sitemap.xml"]))
User-agent: *
Disallow: /admin/
<BLANKLINE>
Sitemap: https://example.com/sitemap.xml
<BLANKLINE>
"""

from __future__ import annotations

import tempfile
from collections.abc import Iterable, Sequence
from dataclasses import dataclass
from pathlib import Path

from zoret._zoret_native import SEOConfig
from zoret._zoret_site import (
    SitemapEntry,
    render_hreflang,
    response_headers,
    write_sitemaps,
)
from zoret._zoret_site import render_robots as _render_robots

__all__ = [
    "ALLOW_ALL",
    "RobotsGroup",
    "SitemapEntry",
    "render_hreflang",
    "render_robots",
    "response_headers",
    "sitemap_file",
    "write_sitemaps",
]


def _texts(what: str, value: str | Iterable[str]) -> tuple[str, ...]:
    items = (value,) if isinstance(value, str) else tuple(value)
    for item in items:
        if not isinstance(item, str):
            raise TypeError(f"{what} must be str, not {type(item).__name__}")
    return items


@dataclass(frozen=True, slots=True)
class RobotsGroup:
    """One group of robots.txt: the crawlers it names and the paths they may and may not
    fetch. ``RobotsGroup("*", disallow=["/admin/"])``.

    `user_agents` are product tokens ("Googlebot") or "*" (one str is one agent);
    paths start with "/" or "*" ("*" and a final "$" keep their pattern meaning). A
    group without paths allows everything. Allow lines are written before disallow
    lines, so readers that take the first match agree with those that take the most
    specific one.
    """

    user_agents: tuple[str, ...]
    allow: tuple[str, ...] = ()
    disallow: tuple[str, ...] = ()

    def __init__(
        self,
        user_agents: str | Iterable[str],
        allow: str | Iterable[str] = (),
        disallow: str | Iterable[str] = (),
    ) -> None:
        object.__setattr__(self, "user_agents", _texts("user_agents", user_agents))
        object.__setattr__(self, "allow", _texts("allow", allow))
        object.__setattr__(self, "disallow", _texts("disallow", disallow))

    def _rules(self) -> list[tuple[str, str]]:
        return [("allow", path) for path in self.allow] + [
            ("disallow", path) for path in self.disallow
        ]


ALLOW_ALL = RobotsGroup("*")
"""Every crawler may fetch everything: robots.txt's default group."""


def render_robots(
    config: SEOConfig,
    groups: Sequence[RobotsGroup] = (ALLOW_ALL,),
    *,
    sitemaps: Sequence[str] = (),
    comments: Sequence[str] = (),
    production: bool | None = None,
    host: str | None = None,
) -> str:
    """robots.txt text (RFC 9309): `comments` first, then the groups, then one
    ``Sitemap:`` line per route or URL in `sitemaps`, made absolute on the site.

    On a host that is not the production one, the file keeps every crawler out and
    names no sitemap: pass the request's `host` (compared with the configuration's
    canonical host, port and case aside) or set `production` explicitly, which wins.
    Raises ConfigurationError for a value that would break the format.
    """
    native_groups = []
    for group in groups:
        if not isinstance(group, RobotsGroup):
            raise TypeError(f"groups must hold RobotsGroup records, not {type(group).__name__}")
        native_groups.append((group.user_agents, group._rules()))
    return _render_robots(
        config,
        native_groups,
        sitemaps=sitemaps,
        comments=comments,
        production=production,
        host=host,
    )


def sitemap_file(
    entries: Iterable[str | SitemapEntry],
    config: SEOConfig,
    name: str,
    *,
    public_path: str = "/",
    basename: str = "sitemap",
    gzip: bool = False,
) -> bytes | None:
    """The bytes of file `name` ("sitemap.xml", "sitemap-2.xml", ...) of the set that
    :func:`write_sitemaps` makes from `entries`, or None when the set has no such file.

    For views that answer sitemap requests as they come: the set is written into a
    temporary directory, so memory does not grow with the site, and `public_path` is
    the URL path the view serves the files under (the index's locations). Sites of
    many thousands of pages are better served from files written at deploy time
    (``zoret sitemap``).
    """
    with tempfile.TemporaryDirectory(prefix="zoret-sitemap-") as directory:
        written = write_sitemaps(
            entries, config, directory, public_path=public_path, basename=basename, gzip=gzip
        )
        for path in map(Path, written):
            if path.name == name:
                return path.read_bytes()
    return None
