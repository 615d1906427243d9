"""Sitemap and robots.txt views whose URLs agree with the pages' canonical links.

``urls.py``::

    from zoret.integrations.django.views import robots_txt, sitemap_urls

    sitemaps = {"blog": BlogSitemap}          # django.contrib.sitemaps.Sitemap classes work
    urlpatterns = [
        *sitemap_urls(sitemaps),              # /sitemap.xml and /sitemap-<n>.xml
        path("robots.txt", robots_txt),
    ]

A sitemap here is what ``django.contrib.sitemaps`` takes: an object (or class) with
``items()``, and ``location(item)`` (default ``item.get_absolute_url()``) and
``lastmod`` (a method of the item or a value) where it has them. Locations go through
``settings.ZORET``'s resolver, so they are ``https://example.com/blog/hello`` where
Django's own view would write the request's host (``https://testserver/...``). Two
optional methods add what Django's sitemap lacks: ``hreflang(item)`` (language tag,
route) pairs and ``images(item)`` routes or URLs. Naive lastmod datetimes are read in
the current time zone, as Django reads them. All sections go into one set, split
and indexed by zoret at 50,000 URLs; Django's per-section ``i18n`` and paging options
do not apply.

robots.txt comes from ``settings.ZORET_ROBOTS`` (``groups`` as ``RobotsGroup`` records
or dicts of their arguments, ``sitemaps``, ``comments``, ``production``); without
``sitemaps`` it names the sitemap of ``sitemap_urls`` when there is one. On any host
but the canonical one it keeps crawlers out, unless ``production`` says otherwise.
"""

from __future__ import annotations

import datetime
from collections.abc import Iterator, Mapping
from typing import Any

from django.conf import settings
from django.http import Http404, HttpRequest, HttpResponse
from django.urls import NoReverseMatch, URLPattern, get_script_prefix, path, reverse
from django.utils import timezone

from zoret import web
from zoret.integrations.django.conf import get_config
from zoret.site import ALLOW_ALL, RobotsGroup, SitemapEntry, render_robots

__all__ = ["robots_txt", "sitemap", "sitemap_entries", "sitemap_urls"]

SITEMAP_URL_NAME = "zoret-sitemap"


def _value(sitemap: Any, name: str, item: Any) -> Any:
    """``sitemap.name(item)`` when it is a method, the attribute itself otherwise (the
    way django.contrib.sitemaps reads lastmod)."""
    attribute = getattr(sitemap, name, None)
    return attribute(item) if callable(attribute) else attribute


def _location(sitemap: Any, item: Any) -> str:
    if hasattr(sitemap, "location"):
        return str(_value(sitemap, "location", item))
    return item if isinstance(item, str) else str(item.get_absolute_url())


def _lastmod(value: Any) -> Any:
    if isinstance(value, datetime.datetime) and timezone.is_naive(value):
        return timezone.make_aware(value)
    return value


def sitemap_entries(sitemaps: Mapping[str, Any]) -> Iterator[SitemapEntry]:
    """The entries of every sitemap in `sitemaps` (objects or classes, as Django's
    ``sitemap`` view takes them), section after section, item after item."""
    for section in sitemaps.values():
        sitemap = section() if isinstance(section, type) else section
        for item in sitemap.items():
            yield SitemapEntry(
                _location(sitemap, item),
                lastmod=_lastmod(_value(sitemap, "lastmod", item)),
                alternates=_value(sitemap, "hreflang", item) or (),
                images=_value(sitemap, "images", item) or (),
            )


def sitemap(
    request: HttpRequest,
    sitemaps: Mapping[str, Any],
    number: int | None = None,
    *,
    sitemap_path: str = "/sitemap.xml",
) -> HttpResponse:
    """The file at `sitemap_path` (the index, or the only urlset) or urlset `number` of
    the set written from `sitemaps`; 404 when the set has no such file."""
    where = web.SitemapPath.parse(sitemap_path)
    # The index lists the urlsets where clients reach them: under the script prefix.
    where = web.SitemapPath(get_script_prefix().rstrip("/") + where.folder, where.basename)
    body = where.body(sitemap_entries(sitemaps), get_config(), number)
    if body is None:
        raise Http404(f"the sitemap set has no file {number}")
    return HttpResponse(body, content_type=web.SITEMAP_CONTENT_TYPE)


def sitemap_urls(
    sitemaps: Mapping[str, Any], sitemap_path: str = "/sitemap.xml"
) -> list[URLPattern]:
    """URL patterns for the set: `sitemap_path` (named ``zoret-sitemap``, which
    :func:`robots_txt` names) and its numbered urlsets, `sitemap_path` being a path of
    the root URLconf."""
    where = web.SitemapPath.parse(sitemap_path)
    options = {"sitemaps": sitemaps, "sitemap_path": where.path}
    return [
        path(where.path.lstrip("/"), sitemap, options, name=SITEMAP_URL_NAME),
        path(where.numbered("<int:number>").lstrip("/"), sitemap, options),
    ]


def _group(value: RobotsGroup | Mapping[str, Any]) -> RobotsGroup:
    return value if isinstance(value, RobotsGroup) else RobotsGroup(**value)


def _default_sitemaps() -> list[str]:
    try:
        return [reverse(SITEMAP_URL_NAME)]
    except NoReverseMatch:
        return []


def robots_txt(request: HttpRequest) -> HttpResponse:
    """robots.txt from ``settings.ZORET_ROBOTS`` for the request's host."""
    record: Mapping[str, Any] = getattr(settings, "ZORET_ROBOTS", {})
    sitemaps = record.get("sitemaps")
    text = render_robots(
        get_config(),
        [_group(group) for group in record.get("groups", [ALLOW_ALL])],
        sitemaps=_default_sitemaps() if sitemaps is None else sitemaps,
        comments=record.get("comments", ()),
        production=record.get("production"),
        host=request.get_host(),
    )
    return HttpResponse(text, content_type=web.ROBOTS_CONTENT_TYPE)
