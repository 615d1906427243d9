"""Payloads for Django views and the ETag for ``django.views.decorators.http.condition``."""

from __future__ import annotations

from collections.abc import Callable
from typing import Any, TypeVar

from django.http import HttpRequest
from django.views.decorators.http import condition

from zoret import web
from zoret._zoret_native import SEOEntity, SEOOverrides, SEOPayload, build_seo_payload
from zoret.integrations.django.conf import get_config

__all__ = ["build_payload", "payload_etag", "request_route", "seo_condition"]

_View = TypeVar("_View", bound=Callable[..., Any])
PayloadSource = Callable[..., SEOPayload | SEOEntity | None]
"""Called with the view's arguments (request first); None when there is no page."""


def request_route(request: HttpRequest) -> str:
    """The request's path (with its script prefix) and query, percent-encoded."""
    query = web.encode_raw(request.META.get("QUERY_STRING", "").encode("latin-1", "replace"))
    path = web.encode_path(request.path)
    return f"{path}?{query}" if query else path


def build_payload(
    request: HttpRequest,
    entity: SEOEntity,
    overrides: SEOOverrides | None = None,
    *,
    route: str | None = None,
) -> SEOPayload:
    """The payload of `entity` at `route`, by default the request's path and query."""
    return build_seo_payload(entity, route or request_route(request), get_config(), overrides)


def payload_etag(source: PayloadSource) -> Callable[..., str | None]:
    """An ``etag_func`` for ``condition``: the ETag of the payload (or of the entity's
    payload at the request's route) that `source` returns for the view's arguments."""

    def etag(request: HttpRequest, *args: Any, **kwargs: Any) -> str | None:
        found = source(request, *args, **kwargs)
        if found is None:
            return None
        if isinstance(found, SEOEntity):
            found = build_payload(request, found)
        return found.etag()

    return etag


def seo_condition(source: PayloadSource) -> Callable[[_View], _View]:
    """``condition(etag_func=payload_etag(source))``: Django answers If-None-Match with
    304 (GET, HEAD) and failed If-Match with 412, by RFC 9110's rules."""
    decorate: Callable[[_View], _View] = condition(etag_func=payload_etag(source))
    return decorate
