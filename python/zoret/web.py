"""What every web framework adapter decides the same way, free of any framework.

- Entity tags and preconditions (RFC 9110, section 13): :func:`parse_etags`,
  :func:`evaluate_preconditions`.
- The canonical redirect: :class:`CanonicalRedirect` answers whether a request should
  get a 301 to the URL policy's form of its URL.
- Sitemap and robots.txt views: :class:`SitemapPath` (where the set is served, and
  the bytes of each of its files).
- Pieces of the head snippet, so that a theme that prints its own ``<title>`` can
  leave that piece out: :func:`head_part`, :func:`render_head`,
  :func:`replace_head_tags` for finished HTML documents.

>>> import zoret
>>> site = zoret.SEOConfig("example.com", "https://example.com")
>>> CanonicalRedirect(site).location("GET", "/Blog//hello/", "utm_source=x&page=2")
'/Blog/hello?page=2'
>>> evaluate_preconditions("GET", '"abc"', if_none_match='W/"abc", "def"')
304
"""

from __future__ import annotations

import re
from collections.abc import Iterable, Sequence
from dataclasses import dataclass
from html.parser import HTMLParser
from typing import Literal
from urllib.parse import quote

from zoret._zoret_native import (
    SEOConfig,
    SEOEntity,
    SEOOverrides,
    SEOPayload,
    URLPolicy,
    build_seo_payload,
    normalize_public_url_fn,
)
from zoret.site import SitemapEntry, sitemap_file

__all__ = [
    "HEAD_PARTS",
    "ROBOTS_CONTENT_TYPE",
    "SITEMAP_CONTENT_TYPE",
    "CanonicalRedirect",
    "EntityTag",
    "SitemapPath",
    "encode_path",
    "encode_raw",
    "evaluate_preconditions",
    "head_part",
    "parse_etags",
    "render_head",
    "replace_head_tags",
    "resolve_payload",
]

# --- entity tags -------------------------------------------------------------------------

# entity-tag = [ "W/" ] DQUOTE *etagc DQUOTE; etagc = %x21 / %x23-7E / obs-text
_ETAG = re.compile(r'(W/)?("[\x21\x23-\x7e\x80-\xff]*")')
_LIST_SEPARATOR = re.compile(r"[ \t]*,[ \t]*")


@dataclass(frozen=True, slots=True)
class EntityTag:
    """One entity tag: the quoted opaque tag and whether it is weak."""

    opaque: str
    weak: bool = False

    @classmethod
    def parse(cls, text: str) -> EntityTag:
        """The entity tag written in `text`, such as ``"abc"`` or ``W/"abc"``; ValueError
        when `text` is not one."""
        found = _ETAG.fullmatch(text)
        if found is None:
            raise ValueError(f'not an entity tag: {text!r} (expected "..." or W/"...")')
        return cls(found[2], weak=found[1] is not None)

    def strong_match(self, other: EntityTag) -> bool:
        """RFC 9110 strong comparison: both strong and the same opaque tag."""
        return not self.weak and not other.weak and self.opaque == other.opaque

    def weak_match(self, other: EntityTag) -> bool:
        """RFC 9110 weak comparison: the same opaque tag, weak or not."""
        return self.opaque == other.opaque

    def __str__(self) -> str:
        return ("W/" if self.weak else "") + self.opaque


def parse_etags(header: str | None) -> Literal["*"] | tuple[EntityTag, ...]:
    """The entity tags of an If-Match or If-None-Match value: ``"*"``, or the listed tags.

    Empty list elements are skipped (RFC 9110, section 5.6.1). A value that is not a
    valid list gives no tags at all, so it matches nothing: If-None-Match then asks for
    the full response and If-Match fails, the safe outcome of each.
    """
    text = (header or "").strip(" \t")
    if text == "*":
        return "*"
    tags = []
    for element in _LIST_SEPARATOR.split(text):
        if not element:
            continue
        found = _ETAG.fullmatch(element)
        if found is None:
            return ()
        tags.append(EntityTag(found[2], weak=found[1] is not None))
    return tuple(tags)


def evaluate_preconditions(
    method: str,
    current: str | EntityTag | None,
    *,
    if_match: str | None = None,
    if_none_match: str | None = None,
) -> Literal[304, 412] | None:
    """The status that RFC 9110's preconditions give a request, or None to proceed.

    `current` is the entity tag of the selected representation (for example
    ``payload.etag()``), None when there is none. If-Match uses the strong comparison
    and fails with 412; If-None-Match uses the weak comparison and, when a tag
    matches, gives 304 to GET and HEAD and 412 to any other method (section 13.2.2).
    Headers given several times are passed joined with commas. ValueError when
    `current` is not an entity tag.
    """
    tag = EntityTag.parse(current) if isinstance(current, str) else current
    if if_match is not None:
        wanted = parse_etags(if_match)
        if wanted == "*":
            passed = tag is not None
        else:
            passed = tag is not None and any(tag.strong_match(other) for other in wanted)
        if not passed:
            return 412
    if if_none_match is not None:
        unwanted = parse_etags(if_none_match)
        if unwanted == "*":
            matched = tag is not None
        else:
            matched = tag is not None and any(tag.weak_match(other) for other in unwanted)
        if matched:
            return 304 if method in ("GET", "HEAD") else 412
    return None


# --- canonical redirects -------------------------------------------------------------------

_PCHAR_SAFE = "/:@!$&'()*+,;=-._~"
_PRINTABLE = "".join(map(chr, range(0x21, 0x7F)))
_REDIRECT_METHODS = ("GET", "HEAD")
_REQUEST_TARGET = re.compile(r"[\x21-\x7e]*")  # what a request line can carry, '#' aside


def encode_path(path: str) -> str:
    """A decoded request path (as Django and Werkzeug give it) percent-encoded again,
    so that it can be compared with the policy's form and sent back in a Location."""
    try:  # bytes that a server decoded with surrogateescape come back as they were sent
        return quote(path, safe=_PCHAR_SAFE, errors="surrogateescape")
    except UnicodeEncodeError:  # any other lone surrogate is still encoded, not raised
        return quote(path, safe=_PCHAR_SAFE, errors="surrogatepass")


def encode_raw(raw: bytes) -> str:
    """A path or query as sent (ASGI's ``raw_path``, WSGI's query string), with every
    byte outside printable ASCII percent-encoded and existing escapes kept."""
    return quote(raw, safe=_PRINTABLE)


def _split_url(url: str) -> tuple[str, str]:
    """The path and query of an absolute URL made by normalize_public_url_fn."""
    rest = url[url.index("://") + 3 :]
    target = rest[rest.find("/") :] if "/" in rest else "/"
    path, _, query = target.partition("?")
    return path, query


def _fold_path(path: str) -> str:
    """The path with the differences that a redirect may correct taken out."""
    return re.sub("/+", "/", path.lower()).rstrip("/") or "/"


class CanonicalRedirect:
    """Decides the permanent redirect of a request to its URL policy's form.

    A GET or HEAD request is redirected when its path and query differ from the form
    that ``normalize_public_url_fn`` gives them only by case, by slashes (doubled or
    trailing) or by tracking parameters. Anything else (another method, a path
    outside the public base URL, a query parameter that the policy drops without it
    being a tracking parameter, a path under an `exempt` prefix) is served as it is:
    the page's canonical link covers those. The Location is the path and query
    alone, so the client stays on the host it asked; it is never the requested URL,
    and never one that would itself be redirected.
    """

    def __init__(self, config: SEOConfig, *, exempt: Iterable[str] = ()) -> None:
        """Raises ValueError at once when `config`'s public_base_url cannot serve URLs."""
        self._config = config
        self._exempt = tuple(prefix.rstrip("/") for prefix in exempt if prefix)
        normalize_public_url_fn("/", config)
        policy = config.to_dict()["url_policy"]
        # A policy that only strips tracking parameters tells which query pairs a
        # redirect may drop: the core's own filter, with nothing else changed.
        self._tracking = SEOConfig(
            "tracking.invalid",
            "https://tracking.invalid",
            url_policy=URLPolicy(
                trailing_slash="preserve",
                collapse_duplicate_slashes=False,
                extra_tracking_params=policy["extra_tracking_params"],
            ),
        )

    def _policy_form(self, path: str, query: str) -> tuple[str, str]:
        url = normalize_public_url_fn(f"{path}?{query}" if query else path, self._config)
        return _split_url(url)

    def _without_tracking(self, query: str) -> str:
        return _split_url(normalize_public_url_fn(f"/?{query}", self._tracking))[1]

    def _is_exempt(self, path: str) -> bool:
        return any(path == prefix or path.startswith(prefix + "/") for prefix in self._exempt)

    def location(self, method: str, path: str, query: str = "") -> str | None:
        """Where to redirect a request for `path` and `query` (both percent-encoded, as
        sent), or None to serve it."""
        if method not in _REDIRECT_METHODS or not path.startswith("/") or "#" in query:
            return None
        if not _REQUEST_TARGET.fullmatch(path) or not _REQUEST_TARGET.fullmatch(query):
            return None
        if self._is_exempt(path):
            return None
        target = self._policy_form(path, query)
        if target == (path, query) or _fold_path(target[0]) != _fold_path(path):
            return None
        if self._without_tracking(query) != self._without_tracking(target[1]):
            return None
        if self._policy_form(*target) != target:
            return None
        if target[0][1:2] in ("/", "\\"):
            # "//host" (or "/\host", which browsers read alike) would leave the site.
            return None
        return f"{target[0]}?{target[1]}" if target[1] else target[0]


# --- head pieces ---------------------------------------------------------------------------

HEAD_PARTS = ("title", "description", "canonical", "robots", "opengraph", "twitter", "jsonld")
"""The pieces of ``render_html()``, in its order."""

_HeadPart = Literal["title", "description", "canonical", "robots", "opengraph", "twitter", "jsonld"]
_LEADING_TAGS = {
    "<title>": "title",
    '<meta name="description"': "description",
    '<link rel="canonical"': "canonical",
    '<meta name="robots"': "robots",
}


def _pieces(payload: SEOPayload) -> list[tuple[str, str]]:
    """``render_html()`` cut into its named pieces, keeping the core's exact text."""
    html = payload.render_html()
    blocks = [
        ("opengraph", payload.render_opengraph()),
        ("twitter", payload.render_twitter()),
        ("jsonld", payload.render_jsonld()),
    ]
    # Open Graph always renders og:type, so the four leading tags end where it starts.
    # Their values are escaped, so every "<" in them opens a tag.
    leading = html[: html.index(blocks[0][1])].rstrip("\n")
    pieces = []
    for tag in leading.replace("\n<", "\0<").split("\0"):
        name = next(name for prefix, name in _LEADING_TAGS.items() if tag.startswith(prefix))
        pieces.append((name, tag))
    return pieces + [(name, text) for name, text in blocks if text]


def _check_parts(names: Iterable[str]) -> set[str]:
    wanted = {names} if isinstance(names, str) else set(names)
    unknown = wanted.difference(HEAD_PARTS)
    if unknown:
        raise ValueError(f"unknown head part(s) {sorted(unknown)}; known: {', '.join(HEAD_PARTS)}")
    return wanted


def head_part(payload: SEOPayload, *names: _HeadPart | str) -> str:
    """The tags of the named pieces (see HEAD_PARTS) in ``render_html()`` order, one per
    line, without a final newline; empty when the payload has none of them."""
    wanted = _check_parts(names)
    return "\n".join(text for name, text in _pieces(payload) if name in wanted)


def render_head(payload: SEOPayload, *, omit: Iterable[_HeadPart | str] = ()) -> str:
    """``render_html()`` without the pieces named in `omit`; equal to it when `omit` is
    empty. Ends with a newline unless nothing is left."""
    left_out = _check_parts(omit)
    text = "\n".join(text for name, text in _pieces(payload) if name not in left_out)
    return text + "\n" if text else ""


def resolve_payload(
    subject: SEOPayload | SEOEntity,
    config: SEOConfig | None,
    route: str | None,
    overrides: SEOOverrides | None = None,
) -> SEOPayload:
    """`subject` itself when it is a payload; otherwise the payload of the entity at
    `route`. TypeError names what is missing, so a template error says what to pass."""
    if isinstance(subject, SEOPayload):
        return subject
    if not isinstance(subject, SEOEntity):
        raise TypeError(f"expected an SEOPayload or an SEOEntity, got {type(subject).__name__}")
    if config is None:
        raise TypeError("building a payload from an entity needs the site's SEOConfig")
    if route is None:
        raise TypeError("building a payload from an entity needs the route (no request found)")
    return build_seo_payload(subject, route, config, overrides)


# --- finished documents ---------------------------------------------------------------------


def _superseded(tag: str, attrs: dict[str, str]) -> str | None:
    """The head piece that a tag of a finished page duplicates, if any."""
    if tag == "title":
        return "title"
    if tag == "link" and "canonical" in attrs.get("rel", "").lower().split():
        return "canonical"
    name = attrs.get("name", "").lower()
    if tag == "meta" and name in ("description", "robots"):
        return name
    if tag == "meta" and name.startswith("twitter:"):
        return "twitter"
    if tag == "meta" and attrs.get("property", "").lower().startswith("og:"):
        return "opengraph"
    return None


class _HeadScanner(HTMLParser):
    """Finds the head's end and the spans of tags that duplicate the snippet's pieces."""

    def __init__(self, document: str, pieces: set[str]) -> None:
        super().__init__(convert_charrefs=True)
        self._document = document
        self._lines = [0]
        self._lines += [found.end() for found in re.finditer("\n", document)]
        self._pieces = pieces
        self._open_title: int | None = None
        self.spans: list[tuple[int, int]] = []
        self.head_end: int | None = None
        self.feed(document)
        self.close()

    def _offset(self) -> int:
        line, column = self.getpos()
        return self._lines[line - 1] + column

    def handle_starttag(self, tag: str, attrs: list[tuple[str, str | None]]) -> None:
        if self.head_end is not None:
            return
        if tag == "body":
            self.head_end = self._offset()
            return
        start = self._offset()
        piece = _superseded(tag, {k: v or "" for k, v in attrs})
        if piece == "title" and "title" in self._pieces:
            self._open_title = start
        elif piece is not None and piece in self._pieces:
            self.spans.append((start, start + len(self.get_starttag_text() or "")))

    def handle_endtag(self, tag: str) -> None:
        if self.head_end is not None:
            return
        if tag == "head":
            self.head_end = self._offset()
        elif tag == "title" and self._open_title is not None:
            end = self._document.index(">", self._offset()) + 1
            self.spans.append((self._open_title, end))
            self._open_title = None


def replace_head_tags(document: str, snippet: str) -> str:
    """`document` with `snippet` (from ``render_head``) in its head, replacing the tags
    the snippet duplicates: a title, canonical link, description or robots meta, Open
    Graph or Twitter tags, each only when the snippet has that piece. The snippet takes
    the place of the first replaced tag, or goes before ``</head>``.
    """
    kinds = set()
    for line in snippet.splitlines():
        for prefix, name in _LEADING_TAGS.items():
            if line.startswith(prefix):
                kinds.add(name)
        if line.startswith('<meta property="og:'):
            kinds.add("opengraph")
        elif line.startswith('<meta name="twitter:'):
            kinds.add("twitter")
    scanner = _HeadScanner(document, kinds)
    spans: Sequence[tuple[int, int]] = sorted(scanner.spans)
    insert_at = spans[0][0] if spans else scanner.head_end
    if insert_at is None:
        insert_at = 0
    out, position = [], 0
    for start, end in spans:
        out.append(document[position:start])
        if start == insert_at:
            out.append(snippet.rstrip("\n"))
        position = end
    if not spans:
        out.append(document[:insert_at] + snippet)
        position = insert_at
    out.append(document[position:])
    return "".join(out)


# --- sitemap and robots.txt views ------------------------------------------------------------

SITEMAP_CONTENT_TYPE = "application/xml; charset=utf-8"
ROBOTS_CONTENT_TYPE = "text/plain; charset=utf-8"
_SITEMAP_PATH = re.compile(r"(?P<folder>/(?:[^/]+/)*)(?P<basename>[a-z0-9_-]{1,100})\.xml")


@dataclass(frozen=True, slots=True)
class SitemapPath:
    """Where an app serves its sitemap set: the file at :attr:`path` (the index, or the
    only urlset) and the numbered urlsets beside it (:meth:`numbered`).

    >>> where = SitemapPath.parse("/maps/sitemap.xml")
    >>> where.folder, where.basename, where.numbered("<int:number>")
    ('/maps/', 'sitemap', '/maps/sitemap-<int:number>.xml')
    """

    folder: str
    basename: str

    @classmethod
    def parse(cls, path: str) -> SitemapPath:
        """ValueError unless `path` is an absolute path ending in a lower-case
        "<basename>.xml" (letters, digits, "-" and "_")."""
        found = _SITEMAP_PATH.fullmatch(path)
        if found is None:
            raise ValueError(
                f"a sitemap path looks like /sitemap.xml (lower-case name, .xml): {path!r}"
            )
        return cls(found["folder"], found["basename"])

    @property
    def path(self) -> str:
        return f"{self.folder}{self.basename}.xml"

    def numbered(self, placeholder: str) -> str:
        """The path of the numbered urlsets, with `placeholder` for the number."""
        return f"{self.folder}{self.basename}-{placeholder}.xml"

    def body(
        self, entries: Iterable[str | SitemapEntry], config: SEOConfig, number: int | None = None
    ) -> bytes | None:
        """The bytes of the file at :attr:`path` (`number` None) or of urlset `number`,
        written from `entries`; None when the set has no such file (answer 404)."""
        name = self.basename + ("" if number is None else f"-{number}") + ".xml"
        return sitemap_file(entries, config, name, public_path=self.folder, basename=self.basename)
