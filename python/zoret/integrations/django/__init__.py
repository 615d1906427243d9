"""The Django app: add ``"zoret.integrations.django"`` to ``INSTALLED_APPS``.

Settings::

    ZORET = {"canonical_host": "example.com", "public_base_url": "https://example.com",
             "site_name": "Example", "url_policy": {"trailing_slash": "always"}}
    ZORET_REDIRECT_EXEMPT = ["/api"]   # besides STATIC_URL and MEDIA_URL
    MIDDLEWARE = [..., "zoret.integrations.django.middleware.CanonicalRedirectMiddleware"]
    TEMPLATES[0]["OPTIONS"]["context_processors"] += [
        "zoret.integrations.django.context_processors.seo"]

``ZORET`` becomes one ``SEOConfig`` (built on first use, rebuilt when the setting
changes); ``get_config()`` returns it. Templates ``{% load zoret %}`` and call
``{% seo_head entity %}`` or its pieces (see ``templatetags/zoret.py``); views use
``build_payload(request, entity)`` and, for conditional GET, ``seo_condition(...)``
or ``condition(etag_func=payload_etag(...))``.
"""

from __future__ import annotations

from zoret.integrations import missing_extra

try:
    import django  # noqa: F401  (fails here, with the extra named, when Django is missing)
except ImportError as exc:
    raise missing_extra(exc, "django") from exc

from zoret.integrations.django.conf import get_config
from zoret.integrations.django.http import build_payload, payload_etag, seo_condition

__all__ = ["build_payload", "get_config", "payload_etag", "seo_condition"]
