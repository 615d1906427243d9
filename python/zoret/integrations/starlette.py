"""Starlette (and FastAPI) integration.

- ``SEO(config)`` holds the site's configuration (an ``SEOConfig`` or a dict of its
  constructor arguments). Called with a request it gives a ``PageSEO`` bound to that
  request, which is also how FastAPI uses it as a dependency: ``Depends(seo)``.
- ``precondition_response(request, etag)`` and ``payload_response(request, payload)``
  answer If-Match and If-None-Match (weak and strong tags, lists, ``*``, HEAD) with
  304 or 412, by ``zoret.web.evaluate_preconditions``.
- ``CanonicalRedirectMiddleware``: pure ASGI, 301 to the URL policy's form when a GET
  or HEAD request differs from it only by case, slashes or tracking parameters.
- ``seo.sitemap_routes(pages)`` and ``seo.robots_route(groups)``: routes serving the
  sitemap set of ``pages()`` and robots.txt, with the canonical URLs.
- ``seo.install(templates)`` gives a ``Jinja2Templates`` the helpers of
  ``zoret.integrations.jinja2``, building entities at the request's route.

FastAPI-only helpers (a payload dependency, a return annotation) are in
``zoret.integrations.fastapi``.
"""

from __future__ import annotations

from collections.abc import Callable, Iterable, Mapping, Sequence
from dataclasses import dataclass
from typing import Any

from zoret.integrations import missing_extra

try:
    import jinja2
    from starlette.datastructures import Headers
    from starlette.requests import HTTPConnection, Request
    from starlette.responses import PlainTextResponse, RedirectResponse, Response
    from starlette.routing import NoMatchFound, Route
    from starlette.templating import Jinja2Templates
    from starlette.types import ASGIApp, Receive, Scope, Send
except ImportError as exc:
    raise missing_extra(exc, "starlette") from exc

from zoret import forms, web
from zoret._zoret_native import SEOConfig, SEOEntity, SEOOverrides, SEOPayload, build_seo_payload
from zoret.integrations.jinja2 import configure
from zoret.site import ALLOW_ALL, RobotsGroup, SitemapEntry, render_robots

__all__ = [
    "SEO",
    "CanonicalRedirectMiddleware",
    "PageSEO",
    "payload_response",
    "precondition_response",
    "request_route",
]


SITEMAP_ROUTE = "zoret-sitemap"


def _config(config: SEOConfig | Mapping[str, Any]) -> SEOConfig:
    return config if isinstance(config, SEOConfig) else forms.config_from_dict(config)


def _scope_target(scope: Scope) -> tuple[str, str]:
    raw = scope.get("raw_path")
    path = web.encode_raw(raw) if raw else web.encode_path(scope["path"])
    return path, web.encode_raw(scope.get("query_string", b""))


def request_route(request: HTTPConnection) -> str:
    """The path and query of `request` as it was sent, for building its payload."""
    path, query = _scope_target(request.scope)
    return f"{path}?{query}" if query else path


def _joined(headers: Headers, name: str) -> str | None:
    values = headers.getlist(name)
    return ", ".join(values) if values else None


def precondition_response(request: Request, etag: str | None) -> Response | None:
    """304 or 412 when the request's If-Match or If-None-Match says so for the current
    representation's `etag` (None when there is none), else None: go on and respond."""
    status = web.evaluate_preconditions(
        request.method,
        etag,
        if_match=_joined(request.headers, "if-match"),
        if_none_match=_joined(request.headers, "if-none-match"),
    )
    if status is None:
        return None
    headers = {"ETag": etag} if etag is not None else None
    if status == 304:
        return Response(status_code=304, headers=headers)
    return PlainTextResponse("Precondition Failed", status_code=412, headers=headers)


def payload_response(request: Request, payload: SEOPayload) -> Response:
    """The payload as JSON (``payload.to_json()``) with its ETag, or 304 / 412."""
    etag = payload.etag()
    answered = precondition_response(request, etag)
    if answered is not None:
        return answered
    return Response(payload.to_json(), media_type="application/json", headers={"ETag": etag})


@dataclass(frozen=True, slots=True)
class PageSEO:
    """The site's configuration bound to one request."""

    request: Request
    config: SEOConfig

    def build(
        self, entity: SEOEntity, overrides: SEOOverrides | None = None, *, route: str | None = None
    ) -> SEOPayload:
        """The payload of `entity` at `route`, by default the request's path and query."""
        return build_seo_payload(
            entity, route or request_route(self.request), self.config, overrides
        )

    def response(self, payload: SEOPayload) -> Response:
        """``payload_response`` for this request."""
        return payload_response(self.request, payload)


def _template_route(context: jinja2.runtime.Context) -> str | None:
    route = context.get("seo_route")
    if isinstance(route, str):
        return route
    request = context.get("request")
    return request_route(request) if isinstance(request, HTTPConnection) else None


class SEO:
    """The site's SEOConfig for an app, built once."""

    def __init__(self, config: SEOConfig | Mapping[str, Any]) -> None:
        """`config` is an SEOConfig or its constructor arguments (FormError if invalid)."""
        self.config = _config(config)

    def __call__(self, request: Request) -> PageSEO:
        """The configuration bound to `request`; FastAPI calls it for ``Depends(seo)``."""
        return PageSEO(request, self.config)

    def install(self, templates: Jinja2Templates) -> Jinja2Templates:
        """Adds the template helpers to `templates` (entities are built at the route of
        the ``request`` that TemplateResponse puts in the context) and returns it."""
        configure(templates.env, self.config, _template_route)
        return templates

    def sitemap_routes(
        self, entries: Callable[[], Iterable[str | SitemapEntry]], *, path: str = "/sitemap.xml"
    ) -> list[Route]:
        """Routes serving the sitemap set of ``entries()`` (called at each request) at
        `path` (named ``zoret-sitemap``) and its numbered urlsets beside it."""
        where = web.SitemapPath.parse(path)

        def view(request: Request) -> Response:
            number = request.path_params.get("number")
            served = web.SitemapPath(
                request.scope.get("root_path", "") + where.folder, where.basename
            )
            body = served.body(entries(), self.config, number)
            if body is None:
                return PlainTextResponse("Not Found", status_code=404)
            return Response(body, media_type=web.SITEMAP_CONTENT_TYPE)

        return [
            Route(where.path, view, name=SITEMAP_ROUTE),
            Route(where.numbered("{number:int}"), view),
        ]

    def robots_route(
        self,
        groups: Sequence[RobotsGroup] = (ALLOW_ALL,),
        *,
        sitemaps: Sequence[str] | None = None,
        comments: Sequence[str] = (),
        production: bool | None = None,
        path: str = "/robots.txt",
    ) -> Route:
        """A route serving robots.txt. `sitemaps` defaults to the route named
        ``zoret-sitemap`` when the app has one; on a host other than the canonical one
        every crawler is kept out unless `production` is True."""

        def view(request: Request) -> Response:
            listed = sitemaps
            if listed is None:
                try:
                    listed = [str(request.app.url_path_for(SITEMAP_ROUTE))]
                except NoMatchFound:
                    listed = []
            text = render_robots(
                self.config,
                groups,
                sitemaps=listed,
                comments=comments,
                production=production,
                host=request.headers.get("host"),
            )
            return Response(text, media_type=web.ROBOTS_CONTENT_TYPE)

        return Route(path, view)


class CanonicalRedirectMiddleware:
    """Pure ASGI middleware answering 301 to the URL policy's form of a request's URL.

    ``app.add_middleware(CanonicalRedirectMiddleware, config=site, exempt=["/static"])``.
    Only GET and HEAD are redirected, never to the requested URL itself (see
    ``zoret.web.CanonicalRedirect``).
    """

    def __init__(
        self, app: ASGIApp, config: SEOConfig | Mapping[str, Any], *, exempt: Iterable[str] = ()
    ) -> None:
        """Raises ValueError when `config` cannot serve URLs, before any request."""
        self.app = app
        self.redirect = web.CanonicalRedirect(_config(config), exempt=exempt)

    async def __call__(self, scope: Scope, receive: Receive, send: Send) -> None:
        if scope["type"] == "http":
            location = self.redirect.location(scope["method"], *_scope_target(scope))
            if location is not None:
                await RedirectResponse(location, status_code=301)(scope, receive, send)
                return
        await self.app(scope, receive, send)
