"""The yardstick: zoret's page work written in plain Python, as an application team
would write it without zoret.

It covers what bench/run.py times against it: building a payload for a post,
page, product or FAQ entity under one site configuration, render_html(), etag(),
to_dict(), to_json(), the tracking-parameter cleaners and public-URL resolution.
It uses the standard library only (json, hashlib, html, urllib.parse, re) and
follows the same rules, so that run.py can check it gives the same bytes as zoret
on the benchmark's inputs before timing the two. It is not a second
implementation for any other use: it handles the inputs and options that the
benchmark uses (no overrides, no hooks, ASCII-only case folding as Python's
str.lower gives it) and no more.
"""

from __future__ import annotations

import hashlib
import html
import json
import re
from dataclasses import dataclass, field
from urllib.parse import unquote_plus, urlsplit

# --- inputs ---------------------------------------------------------------------


@dataclass
class Image:
    url: str
    width: int | None = None
    height: int | None = None
    alt: str | None = None


@dataclass
class Breadcrumb:
    name: str
    url: str


@dataclass
class FAQItem:
    question: str
    answer: str


@dataclass
class Entity:
    entity_type: str
    slug: str | None = None
    title: str | None = None
    excerpt: str | None = None
    body_html: str | None = None
    featured_image: Image | None = None
    published_at: str | None = None
    updated_at: str | None = None
    author_name: str | None = None
    breadcrumbs: list[Breadcrumb] | None = None
    sku: str | None = None
    price: str | None = None
    price_currency: str | None = None
    availability: str | None = None
    faq_items: list[FAQItem] | None = None


SCHEMA_TYPES = {
    "faq": "FAQPage",
    "home": "WebSite",
    "page": "WebPage",
    "post": "Article",
    "product": "Product",
    "taxonomy": "CollectionPage",
}


@dataclass
class Config:
    canonical_host: str
    public_base_url: str
    title_template: str | None = None
    publisher_name: str | None = None
    publisher_logo: str | None = None
    default_og_image: Image | None = None
    site_name: str | None = None
    locale: str | None = None
    default_robots: str = "index,follow"
    extra_tracking_params: list[str] = field(default_factory=list)


# --- text -----------------------------------------------------------------------

# Unicode White_Space, which str.split() and str.strip() do not match exactly.
WHITE_SPACE = (
    "\t\n\x0b\x0c\r \x85\xa0\u1680"
    + "".join(map(chr, range(0x2000, 0x200B)))
    + "\u2028\u2029\u202f\u205f\u3000"
)
_RUNS = re.compile(f"[{WHITE_SPACE}]+")
SKIPPED = ("style", "script", "noscript")


def strip(text: str) -> str:
    return text.strip(WHITE_SPACE)


def html_to_text(body: str) -> str:
    out: list[str] = []
    skipping = None
    pos, end = 0, len(body)
    while pos < end:
        lt = body.find("<", pos)
        if lt < 0:
            if skipping is None:
                out.append(body[pos:])
            break
        if skipping is None:
            out.append(body[pos:lt])
        gt = body.find(">", lt + 1)
        tag = body[lt + 1 : gt if gt >= 0 else end].lower()
        pos = gt + 1 if gt >= 0 else end
        if skipping is not None:
            if tag == "/" + skipping:
                skipping = None
        elif tag in SKIPPED:
            skipping = tag
        else:
            out.append(" ")
    return strip(_RUNS.sub(" ", "".join(out)))


def description_snippet(body: str | None, limit: int = 160) -> str | None:
    if body is None:
        return None
    text = html_to_text(body)
    if not text:
        return None
    return text if len(text) <= limit else text[: limit - 3] + "..."


def first_usable(*candidates: str | None) -> str | None:
    for candidate in candidates:
        if candidate is not None and strip(candidate):
            return strip(candidate)
    return None


# --- URLs -----------------------------------------------------------------------

TRACKING_PARAMS = frozenset(
    "utm_source utm_medium utm_campaign utm_term utm_content utm_id utm_cid utm_reader "
    "utm_name utm_social utm_social-type fbclid gclid gclsrc dclid msclkid twclid igclid "
    "ttclid li_fat_id mc_cid mc_eid _ga _gl _gac _gu _kx _hsenc _hsmi _openstat vero_id "
    "wickedid yclid phpsessid jsessionid asp.net_sessionid ncid zanpid zanphp".split()
)


def is_tracking(raw_key: str, extra: frozenset[str] = frozenset()) -> bool:
    key = unquote_plus(raw_key, errors="replace").lower()
    return key in TRACKING_PARAMS or key in extra


def clean_query(query: str) -> str:
    if not query:
        return ""
    return "&".join(p for p in query.split("&") if not is_tracking(p.partition("=")[0]))


def clean_url(url: str) -> dict[str, object]:
    base, mark, query = url.partition("?")
    removed: dict[str, str] = {}
    cleaned: dict[str, str] = {}
    kept = []
    for pair in query.split("&") if mark else ():
        key, eq, value = pair.partition("=")
        tracking = is_tracking(key)
        if not tracking:
            kept.append(pair)
        if eq:
            (removed if tracking else cleaned)[key] = value
    query = "&".join(kept)
    return {
        "url": f"{base}?{query}" if query else base,
        "removed_params": dict(sorted(removed.items())),
        "cleaned_params": dict(sorted(cleaned.items())),
    }


_SLASH_RUNS = re.compile("/{2,}")


def normalize_path(path: str) -> str:
    path = strip(path)
    if not path.startswith("/"):
        path = "/" + path
    path = _SLASH_RUNS.sub("/", path)
    return path.rstrip("/") or "/"


def normalize_public_url(url_or_path: str, config: Config) -> str:
    text = strip(url_or_path)
    if not text:
        raise ValueError("invalid URL: url_or_path must be a non-empty string")
    parts = urlsplit(text)
    if parts.scheme and parts.netloc:
        path, query = parts.path, parts.query
    else:
        path, _, query = text.partition("#")[0].partition("?")
    prefix = urlsplit(config.public_base_url).path.rstrip("/")
    if prefix and not (path == prefix or path.startswith(prefix + "/")):
        path = prefix + path if path.startswith("/") else f"{prefix}/{path}"
    extra = frozenset(name.lower() for name in config.extra_tracking_params)
    if query:
        query = "&".join(
            p
            for p in query.split("&")
            if p.partition("=")[0] and not is_tracking(p.partition("=")[0], extra)
        )
    url = f"https://{config.canonical_host}{normalize_path(path)}"
    return f"{url}?{query}" if query else url


# --- the payload ----------------------------------------------------------------


def absolute(url: str, config: Config) -> str:
    if url.startswith(("http://", "https://")):
        return url
    return config.public_base_url.rstrip("/") + url


def build_schema(
    entity: Entity, config: Config, url: str, name: str, description: str, image: str | None
) -> dict[str, object] | None:
    schema_type = SCHEMA_TYPES.get(entity.entity_type)
    if schema_type is None:
        return None
    schema: dict[str, object] = {
        "@context": "https://schema.org",
        "@type": schema_type,
        "description": description,
        "name": name,
        "url": url,
    }
    if image is not None:
        schema["image"] = absolute(image, config)
    if entity.published_at is not None:
        schema["datePublished"] = entity.published_at
    if entity.updated_at is not None:
        schema["dateModified"] = entity.updated_at
    if entity.author_name is not None:
        schema["author"] = {"@type": "Person", "name": entity.author_name}
    if config.publisher_name is not None:
        publisher = {"@type": "Organization", "name": config.publisher_name}
        if config.publisher_logo is not None:
            publisher["logo"] = absolute(config.publisher_logo, config)
        schema["publisher"] = dict(sorted(publisher.items()))
    if schema_type == "Article":
        schema["mainEntityOfPage"] = {"@id": url}
    elif schema_type == "Product":
        if entity.sku is not None:
            schema["sku"] = entity.sku
        offer: dict[str, object] = {"@type": "Offer"}
        if entity.availability is not None:
            offer["availability"] = "https://schema.org/" + entity.availability
        if entity.price is not None:
            offer["price"] = entity.price
        if entity.price_currency is not None:
            offer["priceCurrency"] = entity.price_currency
        if len(offer) > 1:
            schema["offers"] = offer
    elif schema_type == "FAQPage" and entity.faq_items is not None:
        schema["mainEntity"] = [
            {
                "@type": "Question",
                "acceptedAnswer": {"@type": "Answer", "text": item.answer},
                "name": item.question,
            }
            for item in entity.faq_items
        ]
    return dict(sorted(schema.items()))


def breadcrumb_list(crumbs: list[Breadcrumb], config: Config) -> dict[str, object]:
    return {
        "@context": "https://schema.org",
        "@type": "BreadcrumbList",
        "itemListElement": [
            {
                "@type": "ListItem",
                "item": normalize_public_url(crumb.url, config),
                "name": crumb.name,
                "position": n,
            }
            for n, crumb in enumerate(crumbs, 1)
        ],
    }


def build_payload(entity: Entity, route: str, config: Config) -> dict[str, object]:
    """The payload as a dict whose members are in zoret's declaration order."""
    base = first_usable(entity.title) or "Untitled"
    title = config.title_template.replace("{title}", base) if config.title_template else base
    snippet = description_snippet(entity.body_html)
    description = first_usable(entity.excerpt, snippet) or ""
    canonical = normalize_public_url(route, config)
    image = entity.featured_image or config.default_og_image
    og_title = first_usable(title)
    og_description = first_usable(description)
    og: dict[str, object] = {
        "type": "article" if entity.entity_type in ("post", "video") else "website",
    }
    if og_title is not None:
        og["title"] = og_title
    if og_description is not None:
        og["description"] = og_description
    og["url"] = canonical
    if image is not None:
        og["image"] = image.url
        if image.width is not None:
            og["image_width"] = image.width
        if image.height is not None:
            og["image_height"] = image.height
        if image.alt is not None:
            og["image_alt"] = image.alt
    if config.site_name is not None:
        og["site_name"] = config.site_name
    if config.locale is not None:
        og["locale"] = config.locale
    twitter: dict[str, object] = {"card": "summary_large_image"}
    if og_title is not None:
        twitter["title"] = og_title
    if og_description is not None:
        twitter["description"] = og_description
    if image is not None:
        twitter["image"] = image.url
        if image.alt is not None:
            twitter["image_alt"] = image.alt
    payload: dict[str, object] = {
        "title": title,
        "description": description,
        "canonical": canonical,
        "robots": config.default_robots,
        "og": og,
        "twitter": twitter,
    }
    schemas = []
    schema = build_schema(entity, config, canonical, title, description, image and image.url)
    if schema is not None:
        schemas.append(schema)
    if entity.breadcrumbs is not None:
        schemas.append(breadcrumb_list(entity.breadcrumbs, config))
    if schemas:
        payload["schema_jsonld"] = schemas[0] if len(schemas) == 1 else schemas
    return payload


# --- outputs --------------------------------------------------------------------

OG_TAGS = (
    ("type", "og:type"),
    ("title", "og:title"),
    ("description", "og:description"),
    ("url", "og:url"),
    ("image", "og:image"),
    ("image_width", "og:image:width"),
    ("image_height", "og:image:height"),
    ("image_alt", "og:image:alt"),
    ("site_name", "og:site_name"),
    ("locale", "og:locale"),
)
TWITTER_TAGS = (
    ("card", "twitter:card"),
    ("title", "twitter:title"),
    ("description", "twitter:description"),
    ("image", "twitter:image"),
    ("image_alt", "twitter:image:alt"),
    ("site", "twitter:site"),
    ("creator", "twitter:creator"),
)


def render_html(payload: dict) -> str:
    esc = html.escape
    lines = [f"<title>{esc(payload['title'])}</title>"]
    if payload["description"]:
        lines.append(f'<meta name="description" content="{esc(payload["description"])}">')
    lines.append(f'<link rel="canonical" href="{esc(payload["canonical"])}">')
    lines.append(f'<meta name="robots" content="{esc(payload["robots"])}">')
    og, twitter = payload["og"], payload["twitter"]
    for key, prop in OG_TAGS:
        if key in og:
            lines.append(f'<meta property="{prop}" content="{esc(str(og[key]))}">')
    for key, name in TWITTER_TAGS:
        if key in twitter:
            lines.append(f'<meta name="{name}" content="{esc(twitter[key])}">')
    if "schema_jsonld" in payload:
        text = json.dumps(payload["schema_jsonld"], indent=2, ensure_ascii=False)
        lines.append(
            '<script type="application/ld+json">\n' + text.replace("</", "<\\/") + "\n</script>"
        )
    return "\n".join(lines) + "\n"


def to_json(payload: dict) -> str:
    return json.dumps(payload, indent=2, ensure_ascii=False)


def etag(payload: dict) -> str:
    text = json.dumps(payload, separators=(",", ":"), ensure_ascii=False)
    return '"' + hashlib.sha256(text.encode()).hexdigest() + '"'


def to_dict(value: object) -> object:
    """A copy with the keys of every object sorted, as zoret's to_dict() gives them."""
    if isinstance(value, dict):
        return {key: to_dict(value[key]) for key in sorted(value)}
    if isinstance(value, list):
        return [to_dict(item) for item in value]
    return value
