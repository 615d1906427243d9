"""FastAPI helpers on top of ``zoret.integrations.starlette`` (re-exported here).

A payload returned from an endpoint is serialised as its dictionary without a
response model. For a typed endpoint, annotate the return with ``PayloadJSON``
(a plain ``-> SEOPayload`` is refused by FastAPI, which cannot make a model of it)::

    seo = SEO({"canonical_host": "example.com", "public_base_url": "https://example.com"})

    def post_entity(slug: str) -> zoret.SEOEntity: ...

    @app.get("/seo/blog/{slug}")
    def post_seo(
        payload: Annotated[zoret.SEOPayload, Depends(seo_payload(seo, post_entity))],
    ) -> PayloadJSON:
        return payload
"""

# No `from __future__ import annotations`: FastAPI reads the dependency's annotations,
# and the one naming the caller's `entity` can only be evaluated where it is written.
from collections.abc import Callable
from typing import Annotated, Any

from zoret.integrations import missing_extra

try:
    import fastapi
    from pydantic import PlainSerializer, PlainValidator, WithJsonSchema
except ImportError as exc:
    raise missing_extra(exc, "fastapi") from exc

from zoret._zoret_native import SEOEntity, SEOPayload, build_seo_payload
from zoret.integrations.starlette import (
    SEO,
    CanonicalRedirectMiddleware,
    PageSEO,
    payload_response,
    precondition_response,
    request_route,
)

__all__ = [
    "SEO",
    "CanonicalRedirectMiddleware",
    "PageSEO",
    "PayloadJSON",
    "payload_response",
    "precondition_response",
    "request_route",
    "seo_payload",
]


def _is_payload(value: Any) -> SEOPayload:
    if not isinstance(value, SEOPayload):
        raise ValueError(f"expected an SEOPayload, got {type(value).__name__}")
    return value


_TEXT = {"type": "string"}
_PAYLOAD_SCHEMA = {
    "type": "object",
    "title": "SEOPayload",
    "required": ["title", "description", "canonical", "robots", "og", "twitter"],
    "properties": {
        "title": _TEXT,
        "description": _TEXT,
        "canonical": _TEXT,
        "robots": _TEXT,
        "og": {"type": "object", "required": ["type"]},
        "twitter": {"type": "object", "required": ["card"]},
        "schema_jsonld": {},
    },
}

PayloadJSON = Annotated[
    SEOPayload,
    PlainValidator(_is_payload),
    PlainSerializer(lambda payload: payload.to_dict(), return_type=dict[str, Any]),
    WithJsonSchema(_PAYLOAD_SCHEMA),
]
"""Return annotation for endpoints that return an SEOPayload: serialised as its
dictionary, described in OpenAPI as an object with the payload's keys."""


def seo_payload(seo: SEO, entity: Callable[..., Any]) -> Callable[..., SEOPayload]:
    """A dependency giving the payload of the entity that the dependency `entity`
    returns, at the request's route: ``Depends(seo_payload(seo, load_post))``."""

    def dependency(
        request: fastapi.Request, resolved: Annotated[SEOEntity, fastapi.Depends(entity)]
    ) -> SEOPayload:
        return build_seo_payload(resolved, request_route(request), seo.config)

    return dependency
