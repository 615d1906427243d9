"""The MkDocs plugin ``zoret``: each page's head from its front matter and the site.

``mkdocs.yml``::

    site_url: https://docs.example.com/
    plugins:
      - zoret:
          site:                      # more SEOConfig arguments (optional)
            title_template: "{title} - Example docs"
            default_og_image: https://docs.example.com/img/og.png
          omit: []                   # pieces the theme keeps printing, e.g. [title]

Front matter read per page: ``title``, ``description``, ``image``, ``date``,
``updated``, ``author``, ``type`` (an entity type; the home page defaults to
``home``, others to ``entity_type``) and ``seo`` (a table of ``SEOOverrides``
arguments). The rendered page body, less its leading heading, fills in a missing
description.

The canonical URL, og:url and the theme's links agree: the host, scheme and base
path come from ``site_url``, and the trailing slash follows ``use_directory_urls``
(``/guide/`` with it, ``/guide.html`` without). The theme's own title, canonical,
description, robots, Open Graph and Twitter tags are replaced, not duplicated.
"""

from __future__ import annotations

import datetime
import logging
import re
from typing import Any
from urllib.parse import urlsplit

from zoret.integrations import missing_extra

try:
    from mkdocs.config import config_options
    from mkdocs.config.base import Config
    from mkdocs.config.defaults import MkDocsConfig
    from mkdocs.exceptions import PluginError
    from mkdocs.plugins import BasePlugin
    from mkdocs.structure.pages import Page
except ImportError as exc:
    raise missing_extra(exc, "mkdocs") from exc

from zoret import forms, web
from zoret._zoret_native import SEOConfig, SEOPayload, build_seo_payload

__all__ = ["ZoretPlugin", "ZoretPluginConfig"]

log = logging.getLogger("mkdocs.plugins.zoret")
# The page's own heading repeats its title; the description starts after it.
_LEADING_H1 = re.compile(r"\A\s*<h1\b[^>]*>.*?</h1>", re.S | re.I)

# Front matter key -> SEOEntity argument.
_ENTITY_FIELDS = {
    "title": "title",
    "description": "excerpt",
    "image": "featured_image",
    "date": "published_at",
    "updated": "updated_at",
    "author": "author_name",
}


# MkDocs declares Config.__init_subclass__ and BasePlugin.__class_getitem__'s classes
# without annotations, which mypy --strict refuses to call from typed code.
class ZoretPluginConfig(Config):  # type: ignore[no-untyped-call]
    """The plugin's options in ``mkdocs.yml``."""

    site = config_options.Type(dict, default={})
    entity_type = config_options.Type(str, default="page")
    omit = config_options.ListOfItems(config_options.Choice(web.HEAD_PARTS), default=[])


def _plain(value: Any) -> Any:
    """YAML dates as the ISO texts the records expect."""
    return value.isoformat() if isinstance(value, datetime.date) else value


def site_config(options: dict[str, Any], config: MkDocsConfig) -> SEOConfig:
    """The SEOConfig of an MkDocs site: `options` (the plugin's ``site``) over what
    ``site_url``, ``site_name`` and ``use_directory_urls`` imply."""
    if not config.site_url:
        raise PluginError("zoret: set site_url in mkdocs.yml; canonical URLs are built from it")
    url = urlsplit(config.site_url)
    trailing_slash = "always" if config.use_directory_urls else "never"
    policy = dict(options.get("url_policy") or {})
    if policy.setdefault("trailing_slash", trailing_slash) != trailing_slash:
        raise PluginError(
            f"zoret: url_policy.trailing_slash {policy['trailing_slash']!r} disagrees with "
            f"use_directory_urls: {config.use_directory_urls} (which needs {trailing_slash!r})"
        )
    # The theme's links keep the case of file names and the scheme of site_url.
    policy.setdefault("lowercase_paths", False)
    policy.setdefault("enforce_https", url.scheme == "https")
    fields = {
        "canonical_host": url.netloc,
        "public_base_url": config.site_url,
        "site_name": config.site_name,
        **options,
        "url_policy": policy,
    }
    try:
        return forms.config_from_dict(fields)
    except forms.FormError as exc:
        raise PluginError(f"zoret: plugin option site: {exc}") from None


def page_payload(page: Page, config: SEOConfig, entity_type: str) -> SEOPayload:
    """The payload of one page from its front matter, at its URL."""
    meta = page.meta
    fields: dict[str, Any] = {
        key: _plain(meta[name]) for name, key in _ENTITY_FIELDS.items() if name in meta
    }
    fields.setdefault("title", page.title)
    fields["entity_type"] = meta.get("type", "home" if page.is_homepage else entity_type)
    if page.content:
        fields["body_html"] = _LEADING_H1.sub("", page.content, count=1)
    try:
        entity = forms.entity_from_dict(fields)
        overrides = forms.overrides_from_dict(meta["seo"]) if meta.get("seo") else None
        return build_seo_payload(entity, "/" + page.url, config, overrides)
    except (forms.FormError, ValueError) as exc:
        raise PluginError(f"zoret: {page.file.src_uri}: {exc}") from None


class ZoretPlugin(BasePlugin[ZoretPluginConfig]):  # type: ignore[no-untyped-call]
    """Fills every page's head with zoret's tags."""

    def __init__(self) -> None:
        self.site: SEOConfig | None = None

    def on_config(self, config: MkDocsConfig) -> MkDocsConfig:
        """Builds the site's SEOConfig once per build."""
        self.site = site_config(self.config.site, config)
        return config

    def on_post_page(self, output: str, /, *, page: Page, config: MkDocsConfig) -> str:
        """Puts the page's tags into its head in place of the theme's."""
        assert self.site is not None, "on_config runs first"
        payload = page_payload(page, self.site, self.config.entity_type)
        if page.canonical_url and payload.canonical != page.canonical_url:
            log.warning(
                "zoret: %s: canonical %s differs from the theme's %s",
                page.file.src_uri,
                payload.canonical,
                page.canonical_url,
            )
        return web.replace_head_tags(output, web.render_head(payload, omit=self.config.omit))
