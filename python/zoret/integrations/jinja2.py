"""A Jinja2 extension: the head snippet and its pieces as globals and filters.

It works on its own (static-site generators) and under the Flask and Starlette
integrations, which configure it for their requests::

    env = jinja2.Environment(extensions=[ZoretExtension])
    configure(env, site)            # only needed to pass entities instead of payloads
    env.from_string("{{ seo_head(entity, route='/blog/hello') }}").render(entity=post)

Every helper takes a payload, or an entity that it builds at `route` (or at the route
that the environment's ``zoret_route`` finds in the template context: the request's
under Flask and Starlette, else a ``seo_route`` variable). They return ``Markup``, so
autoescaping leaves the tags alone. A missing subject (undefined or None) renders
nothing, so a base template can call them on pages without one.

=================  =====================================================
``seo_head``       every tag of ``render_html()``; ``omit=["title"]``
                   leaves pieces out (see ``zoret.web.HEAD_PARTS``)
``seo_title``      the ``<title>`` element
``seo_meta``       the description and robots ``<meta>`` tags
``seo_canonical``  the canonical ``<link>``
``seo_opengraph``  the Open Graph tags
``seo_twitter``    the Twitter Card tags
``seo_jsonld``     the JSON-LD ``<script>``
=================  =====================================================
"""

from __future__ import annotations

from collections.abc import Callable, Iterable
from typing import Any

from zoret.integrations import missing_extra

try:
    import jinja2
    from jinja2.ext import Extension
    from markupsafe import Markup
except ImportError as exc:
    raise missing_extra(exc, "jinja2") from exc

from zoret import web
from zoret._zoret_native import SEOConfig, SEOOverrides, SEOPayload

__all__ = ["RouteOf", "ZoretExtension", "configure"]

RouteOf = Callable[[jinja2.runtime.Context], str | None]
"""Finds the route of the page being rendered in its template context."""


def _seo_route(context: jinja2.runtime.Context) -> str | None:
    route = context.get("seo_route")
    return route if isinstance(route, str) else None


def configure(
    environment: jinja2.Environment,
    config: SEOConfig | None,
    route_of: RouteOf | None = None,
) -> None:
    """Adds the extension to `environment` when it is missing, and sets the site
    configuration (used to build payloads from entities) and the route finder."""
    if ZoretExtension.identifier not in environment.extensions:
        environment.add_extension(ZoretExtension)
    # Environment.extend keeps attributes that exist already; these must change.
    environment.zoret_config = config  # type: ignore[attr-defined]
    environment.zoret_route = route_of or _seo_route  # type: ignore[attr-defined]


def _payload(
    context: jinja2.runtime.Context,
    subject: Any,
    route: str | None,
    overrides: SEOOverrides | None,
) -> SEOPayload | None:
    if subject is None or isinstance(subject, jinja2.Undefined):
        return None
    environment = context.environment
    if route is None and not isinstance(subject, SEOPayload):
        route = getattr(environment, "zoret_route", _seo_route)(context)
    return web.resolve_payload(
        subject, getattr(environment, "zoret_config", None), route, overrides
    )


@jinja2.pass_context
def seo_head(
    context: jinja2.runtime.Context,
    subject: Any,
    route: str | None = None,
    overrides: SEOOverrides | None = None,
    omit: Iterable[str] = (),
) -> Markup:
    """Every head tag of the payload, less the pieces named in `omit`."""
    payload = _payload(context, subject, route, overrides)
    return Markup(web.render_head(payload, omit=omit) if payload is not None else "")


def _partial(name: str, *parts: str) -> Callable[..., Markup]:
    @jinja2.pass_context
    def render(
        context: jinja2.runtime.Context,
        subject: Any,
        route: str | None = None,
        overrides: SEOOverrides | None = None,
    ) -> Markup:
        payload = _payload(context, subject, route, overrides)
        return Markup(web.head_part(payload, *parts) if payload is not None else "")

    render.__name__ = render.__qualname__ = name
    render.__doc__ = f"The {' and '.join(parts)} tag(s) of the payload."
    return render


HELPERS: dict[str, Callable[..., Markup]] = {
    "seo_head": seo_head,
    "seo_title": _partial("seo_title", "title"),
    "seo_meta": _partial("seo_meta", "description", "robots"),
    "seo_canonical": _partial("seo_canonical", "canonical"),
    "seo_opengraph": _partial("seo_opengraph", "opengraph"),
    "seo_twitter": _partial("seo_twitter", "twitter"),
    "seo_jsonld": _partial("seo_jsonld", "jsonld"),
}


class ZoretExtension(Extension):
    """Registers the helpers as globals and as filters (``{{ payload|seo_jsonld }}``)."""

    def __init__(self, environment: jinja2.Environment) -> None:
        super().__init__(environment)
        environment.extend(zoret_config=None, zoret_route=_seo_route)
        environment.globals.update(HELPERS)
        environment.filters.update(HELPERS)
