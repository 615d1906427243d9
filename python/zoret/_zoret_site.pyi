"""Site-level features of zoret: contract checks and site outputs."""

import datetime
import os
from collections.abc import Iterable, Mapping, Sequence
from typing import Any, final

from zoret._zoret_native import SEOConfig, SEOPayload

_Alternates = Sequence[tuple[str, str]] | Mapping[str, str]
_Lastmod = str | datetime.date | datetime.datetime
_RobotsRule = tuple[str, str]  # ("allow" or "disallow", path)

@final
class SitemapEntry:
    def __new__(
        cls,
        route: str,
        lastmod: _Lastmod | None = None,
        alternates: _Alternates = (),
        images: Sequence[str] = (),
    ) -> SitemapEntry: ...
    @property
    def route(self) -> str: ...
    @property
    def lastmod(self) -> str | None: ...
    @property
    def alternates(self) -> tuple[tuple[str, str], ...]: ...
    @property
    def images(self) -> tuple[str, ...]: ...
    def __reduce__(self) -> tuple[Any, ...]: ...
    def __eq__(self, value: object, /) -> bool: ...
    def __ne__(self, value: object, /) -> bool: ...
    def __hash__(self) -> int: ...

def write_sitemaps(
    entries: Iterable[str | SitemapEntry],
    config: SEOConfig,
    directory: str | bytes | os.PathLike[str] | os.PathLike[bytes],
    *,
    gzip: bool = False,
    gzip_level: int = 6,
    basename: str = "sitemap",
    public_path: str = "/",
    require_self_alternate: bool = True,
    max_urls_per_file: int = 50000,
    max_bytes_per_file: int = 52428800,
) -> list[str]: ...
def render_robots(
    config: SEOConfig,
    groups: Sequence[tuple[Sequence[str], Sequence[_RobotsRule]]] = (),
    *,
    sitemaps: Sequence[str] = (),
    comments: Sequence[str] = (),
    production: bool | None = None,
    host: str | None = None,
) -> str: ...
def render_hreflang(
    alternates: _Alternates,
    config: SEOConfig,
    *,
    current_route: str | None = None,
    require_self_reference: bool = True,
) -> str: ...
def response_headers(payload: SEOPayload) -> list[tuple[str, str]]: ...
