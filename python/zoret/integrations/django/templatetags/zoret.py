"""``{% load zoret %}``: the head snippet and its pieces.

``{% seo_head entity %}`` prints every tag of ``render_html()``; ``omit="title"`` (names
separated by spaces, see ``zoret.web.HEAD_PARTS``) leaves pieces out for a theme that
prints its own. The pieces alone: ``seo_title``, ``seo_meta`` (description and robots),
``seo_canonical``, ``seo_opengraph``, ``seo_twitter``, ``seo_jsonld``.

Each takes an ``SEOPayload``, or an ``SEOEntity`` built at ``route=`` or else at the
path and query of the ``request`` in the context, with ``overrides=`` optionally. A
missing subject (an empty variable) prints nothing, so a base template can call them
on pages that have none.
"""

from __future__ import annotations

from collections.abc import Callable
from typing import Any

from django import template
from django.utils.safestring import SafeString, mark_safe

from zoret import web
from zoret._zoret_native import SEOOverrides, SEOPayload
from zoret.integrations.django.conf import get_config
from zoret.integrations.django.http import request_route

register = template.Library()


def _payload(
    context: template.Context, subject: Any, route: str | None, overrides: SEOOverrides | None
) -> SEOPayload | None:
    if subject is None or (isinstance(subject, str) and not subject):
        return None
    if route is None and not isinstance(subject, SEOPayload):
        request = context.get("request")
        route = request_route(request) if request is not None else None
    return web.resolve_payload(subject, get_config(), route, overrides)


@register.simple_tag(takes_context=True)
def seo_head(
    context: template.Context,
    subject: Any,
    route: str | None = None,
    overrides: SEOOverrides | None = None,
    omit: str = "",
) -> SafeString:
    """Every head tag of the payload, less the pieces named in `omit`."""
    payload = _payload(context, subject, route, overrides)
    return mark_safe(web.render_head(payload, omit=omit.split()) if payload is not None else "")


def _partial(name: str, *parts: str) -> Callable[..., SafeString]:
    def render(
        context: template.Context,
        subject: Any,
        route: str | None = None,
        overrides: SEOOverrides | None = None,
    ) -> SafeString:
        payload = _payload(context, subject, route, overrides)
        return mark_safe(web.head_part(payload, *parts) if payload is not None else "")

    render.__name__ = render.__qualname__ = name
    render.__doc__ = f"The {' and '.join(parts)} tag(s) of the payload."
    register.simple_tag(render, takes_context=True, name=name)
    return render


seo_title = _partial("seo_title", "title")
seo_meta = _partial("seo_meta", "description", "robots")
seo_canonical = _partial("seo_canonical", "canonical")
seo_opengraph = _partial("seo_opengraph", "opengraph")
seo_twitter = _partial("seo_twitter", "twitter")
seo_jsonld = _partial("seo_jsonld", "jsonld")
