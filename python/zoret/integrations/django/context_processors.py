"""Template context: ``zoret_config`` and the request's ``canonical_url``."""

from __future__ import annotations

from typing import Any

from django.http import HttpRequest
from django.utils.functional import SimpleLazyObject

from zoret._zoret_native import normalize_public_url_fn
from zoret.integrations.django.conf import get_config
from zoret.integrations.django.http import request_route

__all__ = ["seo"]


def seo(request: HttpRequest) -> dict[str, Any]:
    """``zoret_config`` (the SEOConfig) and ``canonical_url`` (the request's canonical
    URL, computed only when a template uses it): pages without an entity can still
    print a canonical link that agrees with zoret's."""
    config = get_config()
    return {
        "zoret_config": config,
        "canonical_url": SimpleLazyObject(
            lambda: normalize_public_url_fn(request_route(request), config)
        ),
    }
