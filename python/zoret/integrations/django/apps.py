"""The app's configuration: checks ``settings.ZORET`` when Django starts."""

from __future__ import annotations

from django.apps import AppConfig


class ZoretConfig(AppConfig):
    """``zoret.integrations.django`` in ``INSTALLED_APPS``; its templatetags are ``zoret``."""

    name = "zoret.integrations.django"
    label = "zoret"
    verbose_name = "zoret SEO metadata"

    def ready(self) -> None:
        """Builds the SEOConfig once now, so a bad ``ZORET`` fails at start-up."""
        from zoret.integrations.django.conf import get_config

        get_config()
