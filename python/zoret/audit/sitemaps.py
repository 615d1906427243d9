"""Sitemaps read back (sitemaps.org 0.9: URL sets and sitemap indexes, plain or gzip).

The bytes are pushed through in chunks as they arrive, from a file or the network:
gzip is recognised by its magic bytes (not by the name) and inflated in bounded steps,
and the XML goes through expat as a stream, so memory stays at a chunk or two whatever
the file's size. A file that expands past `max_bytes` (the protocol's 50 MB by default)
is refused with `SitemapError`, whatever its compressed size: a small gzip bomb costs a
few milliseconds, not the machine's memory. A document type declaration is refused too
(no sitemap needs one, and entity tricks need one).

>>> reader = SitemapReader("sitemap.xml")
>>> reader.feed(b'<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">'
...             b'<url><loc> https://example.com/a </loc></url></urlset>')
>>> reader.close()
SitemapDocument(location='sitemap.xml', kind='urlset', locations=('https://example.com/a',))
"""

from __future__ import annotations

import zlib
from dataclasses import dataclass
from pathlib import Path
from typing import Literal
from xml.parsers import expat

__all__ = [
    "MAX_SITEMAP_BYTES",
    "MAX_SITEMAP_URLS",
    "SitemapDocument",
    "SitemapError",
    "SitemapReader",
    "read_sitemap_file",
]

#: The protocol's limit for one sitemap file, uncompressed (50 MB).
MAX_SITEMAP_BYTES = 52_428_800
#: Locations kept from one sitemap and its children together.
MAX_SITEMAP_URLS = 1_000_000
_NAMESPACE = "http://www.sitemaps.org/schemas/sitemap/0.9"
_GZIP_MAGIC = b"\x1f\x8b"
_STEP = 1 << 20  # inflated bytes per step


class SitemapError(ValueError):
    """A sitemap that cannot be read: not XML, not a sitemap, too large, nested too far."""


@dataclass(frozen=True, slots=True)
class SitemapDocument:
    """One sitemap file: a URL set (`locations` are pages) or an index (`locations`
    are sitemaps)."""

    location: str
    kind: Literal["urlset", "sitemapindex"]
    locations: tuple[str, ...]


class SitemapReader:
    """Reads one sitemap pushed in chunks (`feed`, then `close`)."""

    def __init__(
        self, location: str, *, max_bytes: int = MAX_SITEMAP_BYTES, max_urls: int = MAX_SITEMAP_URLS
    ) -> None:
        self.location = location
        self.max_bytes = max_bytes
        self.max_urls = max_urls
        self._gzip: bool | None = None  # told by the first two bytes
        self._head = b""
        self._inflate: zlib._Decompress | None = None
        self._size = 0
        self._kind: Literal["urlset", "sitemapindex"] | None = None
        self._root_namespace = ""
        self._depth = 0
        self._in_loc = False
        self._text: list[str] = []
        self._locations: list[str] = []
        self._parser = expat.ParserCreate(namespace_separator=" ")
        self._parser.SetParamEntityParsing(expat.XML_PARAM_ENTITY_PARSING_NEVER)
        self._parser.StartDoctypeDeclHandler = self._refuse_doctype
        self._parser.StartElementHandler = self._start
        self._parser.EndElementHandler = self._end
        self._parser.CharacterDataHandler = self._characters

    def _fail(self, message: str) -> SitemapError:
        return SitemapError(f"{self.location}: {message}")

    def _refuse_doctype(self, *_: object) -> None:
        raise self._fail("a document type declaration is not allowed in a sitemap")

    def _start(self, name: str, _: dict[str, str]) -> None:
        namespace, _sep, local = name.rpartition(" ")
        self._depth += 1
        if self._depth == 1:
            if local not in ("urlset", "sitemapindex") or namespace not in ("", _NAMESPACE):
                raise self._fail(f"not a sitemap: the root element is <{local}>")
            self._kind = "urlset" if local == "urlset" else "sitemapindex"
            self._root_namespace = namespace
        elif self._depth == 3 and local == "loc" and namespace == self._root_namespace:
            self._in_loc = True
            self._text = []

    def _end(self, _: str) -> None:
        if self._in_loc:
            self._in_loc = False
            location = "".join(self._text).strip()
            if location:
                if len(self._locations) >= self.max_urls:
                    raise self._fail(f"more than {self.max_urls} locations")
                self._locations.append(location)
        self._depth -= 1

    def _characters(self, text: str) -> None:
        if self._in_loc:
            self._text.append(text)

    def _parse(self, data: bytes, final: bool = False) -> None:
        self._size += len(data)
        if self._size > self.max_bytes:
            raise self._fail(f"larger than {self.max_bytes} bytes uncompressed: refused")
        try:
            self._parser.Parse(data, final)
        except expat.ExpatError as exc:
            raise self._fail(f"not well-formed XML: {exc}") from None

    def feed(self, data: bytes) -> None:
        """Reads the next chunk of the file's bytes (compressed or not)."""
        if self._gzip is None:
            self._head += data
            if len(self._head) < len(_GZIP_MAGIC):
                return
            data, self._head = self._head, b""
            self._gzip = data.startswith(_GZIP_MAGIC)
            if self._gzip:
                self._inflate = zlib.decompressobj(16 + zlib.MAX_WBITS)
        if self._inflate is None:
            self._parse(data)
            return
        try:
            while data:
                if self._inflate.eof:  # a further gzip member
                    self._inflate = zlib.decompressobj(16 + zlib.MAX_WBITS)
                out = self._inflate.decompress(data, _STEP)
                self._parse(out)
                data = self._inflate.unconsumed_tail or self._inflate.unused_data
        except zlib.error as exc:
            raise self._fail(f"broken gzip data: {exc}") from None

    def close(self) -> SitemapDocument:
        """The document read; `SitemapError` when it is incomplete or not a sitemap."""
        if self._gzip is None:
            self._gzip = False
            self._parse(self._head)
        if self._inflate is not None and not self._inflate.eof:
            raise self._fail("the gzip data ends early")
        self._parse(b"", final=True)
        if self._kind is None:
            raise self._fail("empty: not a sitemap")
        return SitemapDocument(self.location, self._kind, tuple(self._locations))


def read_sitemap_file(
    path: str | Path, *, max_bytes: int = MAX_SITEMAP_BYTES, max_urls: int = MAX_SITEMAP_URLS
) -> SitemapDocument:
    """The sitemap in a local file; `SitemapError` for one that cannot be read as such,
    `OSError` when the file cannot be read."""
    reader = SitemapReader(str(path), max_bytes=max_bytes, max_urls=max_urls)
    with open(path, "rb") as file:
        while chunk := file.read(1 << 16):
            reader.feed(chunk)
    return reader.close()
