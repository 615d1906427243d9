"""``settings.ZORET`` as one SEOConfig, rebuilt when a test or reload changes it."""

from __future__ import annotations

import functools
from typing import Any

from django.conf import settings
from django.core.exceptions import ImproperlyConfigured
from django.core.signals import setting_changed
from django.dispatch import receiver

from zoret import forms, web
from zoret._zoret_native import SEOConfig

__all__ = ["get_config", "get_redirect"]

_SETTINGS = ("ZORET", "ZORET_REDIRECT_EXEMPT", "STATIC_URL", "MEDIA_URL")


@functools.cache
def get_config() -> SEOConfig:
    """The site's SEOConfig from ``settings.ZORET`` (a dict of its constructor
    arguments, or an SEOConfig). ImproperlyConfigured names what is wrong."""
    source = getattr(settings, "ZORET", None)
    if source is None:
        raise ImproperlyConfigured(
            "settings.ZORET is missing: set it to a dict with at least "
            "'canonical_host' and 'public_base_url'"
        )
    if isinstance(source, SEOConfig):
        return source
    try:
        return forms.config_from_dict(source)
    except forms.FormError as exc:
        raise ImproperlyConfigured(f"settings.ZORET: {exc}") from None


def _site_paths() -> list[str]:
    """STATIC_URL and MEDIA_URL when they are folders of this site (an unset MEDIA_URL
    reads as "/", which is no folder)."""
    paths = []
    for name in ("STATIC_URL", "MEDIA_URL"):
        value = getattr(settings, name, None) or ""
        if isinstance(value, str) and value.startswith("/") and value.strip("/"):
            paths.append(value)
    return paths


@functools.cache
def get_redirect() -> web.CanonicalRedirect:
    """The redirect decision for the middleware, exempting static and media files and
    ``settings.ZORET_REDIRECT_EXEMPT``."""
    exempt = [*_site_paths(), *getattr(settings, "ZORET_REDIRECT_EXEMPT", ())]
    try:
        return web.CanonicalRedirect(get_config(), exempt=exempt)
    except ValueError as exc:
        raise ImproperlyConfigured(f"settings.ZORET: {exc}") from None


@receiver(setting_changed)
def _reset(*, setting: str, **_: Any) -> None:
    if setting in _SETTINGS:
        get_config.cache_clear()
        get_redirect.cache_clear()
