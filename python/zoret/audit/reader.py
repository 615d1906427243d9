"""Pages read back: from the bytes a server sends to the facts a contract is checked on.

The HTML goes through lexbor (selectolax), a parser that builds the tree the HTML
Standard prescribes, the one a browser builds, with scripting enabled as in a browser
that runs scripts (``<noscript>`` content is text). What counts is decided on that tree:

- **title**: the first ``<title>`` of the document wherever it ended up, as
  ``document.title`` takes it (an SVG ``<title>`` is not one), its whitespace collapsed
  and trimmed as browsers and search engines show it.
- **head only**: meta description, meta robots, ``og:*`` and ``twitter:*`` properties,
  ``link rel=canonical`` and ``link rel=alternate hreflang`` count only among the
  children of ``<head>``. An element the head cannot hold (an ``<img>``, text, a
  ``<div>``) ends the head early, and the tags after it land in the body, where search
  engines ignore them: so do we, and the audit shows them missing.
- **anywhere**: JSON-LD scripts (``type="application/ld+json"``), each parsed on its own
  as strict JSON (RFC 8259, nested at most 128 deep); one that is not is recorded in
  ``jsonld_errors`` with the parser's message.
- **robots**: ``<meta name="robots">`` (several are joined) and the ``X-Robots-Tag``
  headers, the directives meant for every crawler. Directives for one crawler
  (``<meta name="googlebot">``, ``X-Robots-Tag: otherbot: noindex``) are left out.

Attribute names are matched as HTML matches them (ASCII case-insensitive ``name`` and
``rel``); properties are kept lower-cased (``og:title``), their content as written.
The first description and the first canonical count; URLs are kept as written, only
trimmed (a relative canonical stays relative: it is worth a finding).

>>> facts = read_page(b"<title> Hello \\n world </title><link rel=Canonical href=/a>", "/a")
>>> facts.title, facts.canonical
('Hello world', '/a')
"""

from __future__ import annotations

import re
from collections.abc import Iterable

from zoret.integrations import missing_extra

try:
    from selectolax.lexbor import LexborDocumentOptions, LexborHTMLParser, LexborNode
except ImportError as exc:  # pragma: no cover - depends on the installation
    raise missing_extra(exc, "audit", "the site audit") from exc

from zoret._zoret_site import PageFacts
from zoret.audit.encoding import decode, meta_encoding, sniff

__all__ = [
    "MAX_BLOCK_NESTING",
    "PageTooDeepError",
    "facts_from_tree",
    "parse_html",
    "read_page",
    "robots_from_header",
]

#: Pages that nest block elements deeper than this are not read. Tree construction
#: scans the open elements for each block start tag, so a hostile page of nested <div>s
#: costs time growing with the square of its depth (hours for a few megabytes); real
#: pages stay far below (browsers cap the tree's depth at 512).
MAX_BLOCK_NESTING = 1024
# Pages smaller than this, or with fewer tags, cannot nest deep enough to cost much
# (a quarter of a second at worst); others are measured before parsing.
_SIZE_WORTH_MEASURING = 64 << 10
_TAGS_WORTH_MEASURING = 8192
# The start tags that make the parser look for an open <p> (and that nest).
_BLOCK_TAG = re.compile(
    r"<(/?)(?:address|article|aside|blockquote|center|details|dialog|dir|div|dl|fieldset|"
    r"figcaption|figure|footer|header|hgroup|main|menu|nav|ol|search|section|summary|ul)"
    r"[\t\n\x0c\r />]",
    re.IGNORECASE,
)

_ASCII_SPACE = re.compile(r"[\t\n\x0c\r ]+")
_ASCII_LOWER = str.maketrans("ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz")
_SURROGATE = re.compile("[\ud800-\udfff]")
# Directives that carry a value after a colon; any other word before a colon in an
# X-Robots-Tag value names the crawler the rest is meant for.
_VALUED_DIRECTIVES = {"max-snippet", "max-image-preview", "max-video-preview", "unavailable_after"}
_PROPERTY_PREFIXES = ("og:", "twitter:")
# Elements whose <title> children are not HTML titles.
_FOREIGN = {"svg", "math"}


def _lower(text: str) -> str:
    """ASCII lower case, as HTML compares names ("K" does not become "k")."""
    return text.lower() if text.isascii() else text.translate(_ASCII_LOWER)


def _strip(text: str) -> str:
    return text.strip("\t\n\x0c\r ")


def collapse_whitespace(text: str) -> str:
    """Runs of ASCII whitespace as one space, none at the ends (no-break spaces kept)."""
    # Most texts have nothing to collapse; isprintable() is False for tabs and breaks.
    if text.isprintable() and "  " not in text and text[:1] != " " and text[-1:] != " ":
        return text
    return _ASCII_SPACE.sub(" ", text).strip(" ")


def _rel_tokens(value: str | None) -> list[str]:
    """The tokens of a ``rel`` value, split at ASCII whitespace only."""
    if not value:
        return []
    if value.isalpha():
        return [_lower(value)]
    return _ASCII_SPACE.split(_strip(_lower(value)))


def robots_from_header(values: Iterable[str]) -> list[str]:
    """The X-Robots-Tag values that apply to every crawler (a value that starts with a
    crawler's name and a colon applies to that crawler only)."""
    kept = []
    for value in values:
        head, colon, _ = value.partition(":")
        first = _lower(_strip(head.partition(",")[0]))
        if colon and "," not in head and first not in _VALUED_DIRECTIVES:
            continue
        kept.append(value)
    return kept


def _first_title(tree: LexborHTMLParser) -> str | None:
    for node in tree.tags("title"):
        parent = node.parent
        while parent is not None and parent.tag not in _FOREIGN:
            parent = parent.parent
        if parent is None:
            return node.text()
    return None


def facts_from_tree(
    tree: LexborHTMLParser,
    route: str,
    *,
    url: str | None = None,
    status: int | None = None,
    x_robots_tag: Iterable[str] = (),
    in_sitemap: bool | None = None,
    redirect_url: str | None = None,
    final_url: str | None = None,
) -> PageFacts:
    """The facts of a parsed page (see the module's notes for what counts)."""
    title: str | None = None
    description: str | None = None
    canonical: str | None = None
    robots: list[str] = []
    properties: list[tuple[str, str]] = []
    hreflang: list[tuple[str, str]] = []
    # One pass over the head's children: the head holds only void and text elements, so
    # nothing that counts is nested deeper.
    head = tree.head
    node: LexborNode | None = head.child if head is not None else None
    while node is not None:
        tag = node.tag
        if tag == "meta":
            attributes = node.attributes
            name = attributes.get("name")
            key = _lower(name) if name else None
            content = attributes.get("content")
            if key == "description":
                if description is None and content is not None:
                    description = collapse_whitespace(content)
            elif key == "robots":
                if content is not None:
                    robots.append(content)
            else:
                prop = attributes.get("property")
                prop = _lower(prop) if prop else None
                if prop is not None and prop.startswith(_PROPERTY_PREFIXES):
                    properties.append((prop, content or ""))
                elif key is not None and key.startswith(_PROPERTY_PREFIXES):
                    properties.append((key, content or ""))
        elif tag == "link":
            attributes = node.attributes
            rel = _rel_tokens(attributes.get("rel"))
            href = attributes.get("href")
            if href is not None:
                if "canonical" in rel and canonical is None:
                    canonical = _strip(href)
                if "alternate" in rel and (language := attributes.get("hreflang")) is not None:
                    hreflang.append((_strip(language), _strip(href)))
        elif tag == "title" and title is None:
            title = node.text()
        node = node.next
    if title is None:
        title = _first_title(tree)
    # The core parses each script (strict JSON, nesting bounded) and keeps the message
    # of each one that does not parse.
    jsonld = [
        script.text()
        for script in tree.tags("script")
        if (kind := script.attributes.get("type")) is not None
        and _lower(_strip(kind)) == "application/ld+json"
    ]
    return PageFacts(
        route,
        url=url,
        status=status,
        title=None if title is None else collapse_whitespace(title),
        description=description,
        canonical=canonical,
        robots=", ".join([*robots, *robots_from_header(x_robots_tag)]),
        properties=properties,
        jsonld=jsonld,
        hreflang=hreflang,
        in_sitemap=in_sitemap,
        redirect_url=redirect_url,
        final_url=final_url,
    )


class PageTooDeepError(ValueError):
    """A page nested too deeply to be read in bounded time."""


def block_nesting(text: str, stop_above: int = MAX_BLOCK_NESTING) -> int:
    """How deep the page nests block elements, estimated from its tags (elements closed
    implicitly count as open, so the estimate errs high); counting stops once past
    `stop_above`."""
    depth = deepest = 0
    for match in _BLOCK_TAG.finditer(text):
        if match.group(1):
            depth = max(0, depth - 1)
        elif (depth := depth + 1) > deepest:
            deepest = depth
            if deepest > stop_above:
                break
    return deepest


def parse_html(html: bytes | str, content_type: str | None = None) -> LexborHTMLParser:
    """The document tree of a page: bytes are decoded first (see `zoret.audit.encoding`),
    lone surrogates in text become U+FFFD. Raises `PageTooDeepError` for a page that nests
    block elements more than `MAX_BLOCK_NESTING` deep."""
    if not isinstance(html, bytes):
        return _parse_text(html)
    codec, final = sniff(html, content_type)
    tree = _parse_text(decode(html, codec))
    if not final:
        declared = _declared_encoding(tree)
        if declared is not None and declared != codec:
            tree = _parse_text(decode(html, declared))
    return tree


def _declared_encoding(tree: LexborHTMLParser) -> str | None:
    """The encoding the first ``<meta>`` that declares a known one names."""
    for meta in tree.tags("meta"):
        attributes = meta.attributes
        codec = meta_encoding(
            attributes.get("charset"), attributes.get("http-equiv"), attributes.get("content")
        )
        if codec is not None:
            return codec
    return None


def _parse_text(text: str) -> LexborHTMLParser:
    if (
        len(text) > _SIZE_WORTH_MEASURING
        and text.count("<") > _TAGS_WORTH_MEASURING
        and block_nesting(text) > MAX_BLOCK_NESTING
    ):
        raise PageTooDeepError(
            f"block elements nested more than {MAX_BLOCK_NESTING} deep: not read"
        )
    if not text.isascii() and _SURROGATE.search(text):
        text = _SURROGATE.sub("\ufffd", text)
    # WO_EVENTS skips the tree's mutation events, which only mirror <select> content.
    return LexborHTMLParser(text, scripting=True, options=LexborDocumentOptions.WO_EVENTS)


def read_page(
    html: bytes | str,
    route: str,
    *,
    url: str | None = None,
    status: int | None = None,
    headers: Iterable[tuple[str, str]] = (),
    in_sitemap: bool | None = None,
    redirect_url: str | None = None,
    final_url: str | None = None,
) -> PageFacts:
    """The facts of one page: its HTML (bytes are decoded by their byte order mark, the
    Content-Type header's charset, a ``<meta charset>``, else as UTF-8), the HTTP
    `headers` it came with (Content-Type and X-Robots-Tag are read; names in any case),
    the route it is served at, and what else is known about it (`redirect_url`, the
    Location of a redirect not followed; `final_url`, where followed redirects led)."""
    content_type = None
    x_robots_tag = []
    for name, value in headers:
        lowered = name.lower()
        if lowered == "content-type":
            content_type = value
        elif lowered == "x-robots-tag":
            x_robots_tag.append(value)
    return facts_from_tree(
        parse_html(html, content_type),
        route,
        url=url,
        status=status,
        x_robots_tag=x_robots_tag,
        in_sitemap=in_sitemap,
        redirect_url=redirect_url,
        final_url=final_url,
    )
