"""The Flask extension: ``Zoret(app)`` or ``Zoret().init_app(app)``.

Configuration comes from the app's config::

    app.config["ZORET"] = {"canonical_host": "example.com",
                           "public_base_url": "https://example.com"}
    app.config["ZORET_REDIRECT"] = True           # the canonical redirect (default on)
    app.config["ZORET_REDIRECT_EXEMPT"] = ["/api"]  # besides the static folder
    seo = Zoret(app)

``ZORET`` holds the constructor arguments of ``SEOConfig`` (see ``zoret.forms``), or an
``SEOConfig``. The extension then gives templates the helpers of
``zoret.integrations.jinja2`` (an entity is built at the current request's route),
``seo.payload(entity)`` for views, ``seo.response(payload)`` and
``seo.conditional(response, payload)`` for ETags through Werkzeug's
``make_conditional``, and a ``before_request`` hook that answers GET and HEAD
requests with 301 to the URL policy's form when only case, slashes or tracking
parameters differ (see ``zoret.web.CanonicalRedirect``).

``seo.add_sitemap(app, pages)`` serves the sitemap set of ``pages()`` (routes or
``SitemapEntry`` objects, read at each request) at ``/sitemap.xml`` and
``/sitemap-<n>.xml``; ``seo.add_robots(app, groups)`` serves robots.txt, naming that
sitemap and keeping crawlers out on any host but the canonical one.
"""

from __future__ import annotations

from collections.abc import Callable, Iterable, Mapping, Sequence
from dataclasses import dataclass
from typing import Any

from zoret.integrations import missing_extra

try:
    import flask
    import jinja2
    from werkzeug.wrappers import Response as WerkzeugResponse
except ImportError as exc:
    raise missing_extra(exc, "flask") from exc

from zoret import forms, web
from zoret._zoret_native import SEOConfig, SEOEntity, SEOOverrides, SEOPayload, build_seo_payload
from zoret.integrations.jinja2 import configure
from zoret.site import ALLOW_ALL, RobotsGroup, SitemapEntry, render_robots

__all__ = ["Zoret"]


@dataclass(frozen=True, slots=True)
class _State:
    config: SEOConfig
    redirect: web.CanonicalRedirect | None


def _request_route() -> str:
    request = flask.request
    path = web.encode_path(request.root_path + request.path)
    query = web.encode_raw(request.query_string)
    return f"{path}?{query}" if query else path


def _template_route(context: jinja2.runtime.Context) -> str | None:
    route = context.get("seo_route")
    if isinstance(route, str):
        return route
    return _request_route() if flask.has_request_context() else None


def _redirect() -> WerkzeugResponse | None:
    state: _State = flask.current_app.extensions["zoret"]
    if state.redirect is None:
        return None
    request = flask.request
    location = state.redirect.location(
        request.method,
        web.encode_path(request.root_path + request.path),
        web.encode_raw(request.query_string),
    )
    return flask.redirect(location, 301) if location is not None else None


class Zoret:
    """zoret for one or more Flask apps."""

    def __init__(
        self, app: flask.Flask | None = None, *, config: SEOConfig | Mapping[str, Any] | None = None
    ) -> None:
        """`config` takes precedence over ``app.config["ZORET"]``."""
        self._config = config
        if app is not None:
            self.init_app(app)

    def init_app(self, app: flask.Flask) -> None:
        """Builds the app's SEOConfig once and installs the template helpers and the
        redirect. RuntimeError when there is no configuration; FormError (a ValueError)
        when it is not a valid one."""
        source = self._config if self._config is not None else app.config.get("ZORET")
        if source is None:
            raise RuntimeError("zoret: set app.config['ZORET'] (a dict) or pass Zoret(config=...)")
        config = source if isinstance(source, SEOConfig) else forms.config_from_dict(source)
        redirect = None
        if app.config.get("ZORET_REDIRECT", True):
            exempt = [app.static_url_path or "", *app.config.get("ZORET_REDIRECT_EXEMPT", ())]
            redirect = web.CanonicalRedirect(config, exempt=exempt)
            app.before_request(_redirect)
        app.extensions["zoret"] = _State(config, redirect)
        configure(app.jinja_env, config, _template_route)

    @property
    def config(self) -> SEOConfig:
        """The SEOConfig of the current app."""
        state: _State = flask.current_app.extensions["zoret"]
        return state.config

    def payload(
        self, entity: SEOEntity, overrides: SEOOverrides | None = None, *, route: str | None = None
    ) -> SEOPayload:
        """The payload of `entity` at `route`, by default the current request's path and
        query (tracking parameters are dropped from the canonical URL)."""
        return build_seo_payload(entity, route or _request_route(), self.config, overrides)

    @staticmethod
    def conditional(response: flask.Response, payload: SEOPayload) -> flask.Response:
        """`response` with the payload's ETag, made conditional on the current request
        (304 for a matching If-None-Match on GET and HEAD, by Werkzeug's rules)."""
        response.set_etag(payload.hash())  # Werkzeug adds the quotes of payload.etag()
        response.make_conditional(flask.request)  # changes `response` in place
        return response

    def response(self, payload: SEOPayload) -> flask.Response:
        """The payload as JSON (``payload.to_json()``) with its ETag, conditional."""
        return self.conditional(
            flask.Response(payload.to_json(), mimetype="application/json"), payload
        )

    def add_sitemap(
        self,
        app: flask.Flask,
        entries: Callable[[], Iterable[str | SitemapEntry]],
        *,
        path: str = "/sitemap.xml",
    ) -> None:
        """Serves the sitemap set of ``entries()`` at `path` (endpoint ``zoret_sitemap``)
        and its numbered urlsets beside it; the URLs are the canonical ones."""
        where = web.SitemapPath.parse(path)

        def view(number: int | None = None) -> WerkzeugResponse:
            served = web.SitemapPath(flask.request.script_root + where.folder, where.basename)
            body = served.body(entries(), self.config, number)
            if body is None:
                flask.abort(404)
            return flask.Response(body, content_type=web.SITEMAP_CONTENT_TYPE)

        app.add_url_rule(where.path, "zoret_sitemap", view)
        app.add_url_rule(where.numbered("<int:number>"), "zoret_sitemap_file", view)

    def add_robots(
        self,
        app: flask.Flask,
        groups: Sequence[RobotsGroup] = (ALLOW_ALL,),
        *,
        sitemaps: Sequence[str] | None = None,
        comments: Sequence[str] = (),
        production: bool | None = None,
        path: str = "/robots.txt",
    ) -> None:
        """Serves robots.txt at `path`. `sitemaps` defaults to the sitemap of
        :meth:`add_sitemap` when the app has one; on a host other than the canonical
        one every crawler is kept out unless `production` is True."""

        def view() -> flask.Response:
            listed = sitemaps
            if listed is None:
                listed = (
                    [flask.url_for("zoret_sitemap")]
                    if "zoret_sitemap" in app.view_functions
                    else []
                )
            text = render_robots(
                self.config,
                groups,
                sitemaps=listed,
                comments=comments,
                production=production,
                host=flask.request.host,
            )
            return flask.Response(text, content_type=web.ROBOTS_CONTENT_TYPE)

        app.add_url_rule(path, "zoret_robots", view)
