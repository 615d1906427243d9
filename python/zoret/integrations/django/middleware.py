"""``CanonicalRedirectMiddleware``: 301 to the URL policy's form of the request URL."""

from __future__ import annotations

from collections.abc import Callable

from django.http import HttpRequest, HttpResponse, HttpResponsePermanentRedirect

from zoret.integrations.django.conf import get_redirect
from zoret.integrations.django.http import request_route

__all__ = ["CanonicalRedirectMiddleware"]


class CanonicalRedirectMiddleware:
    """Redirects GET and HEAD requests whose URL differs from the URL policy's form only
    by case, slashes or tracking parameters; never other methods, never in a loop
    (see ``zoret.web.CanonicalRedirect``). Place it before CommonMiddleware, whose
    APPEND_SLASH would otherwise answer first under another policy."""

    def __init__(self, get_response: Callable[[HttpRequest], HttpResponse]) -> None:
        self.get_response = get_response

    def __call__(self, request: HttpRequest) -> HttpResponse:
        path, _, query = request_route(request).partition("?")
        location = get_redirect().location(request.method or "GET", path, query)
        if location is not None:
            return HttpResponsePermanentRedirect(location)
        return self.get_response(request)
