"""Which encoding an HTML page is in, decided as browsers decide it.

The order is the HTML Standard's (section "Determining the character encoding"): a byte
order mark, then the charset of the HTTP ``Content-Type`` header, then a ``<meta
charset>`` or ``<meta http-equiv="content-type">`` declaration within the first 1024
bytes (the "prescan"), else the first ``<meta>`` declaration the parser meets further on
(browsers re-read such a page), else UTF-8. Browsers would also re-read a page whose
first parsed ``<meta>`` contradicts what the prescan found (a script can hide a
declaration from the prescan); audits keep the prescan's finding.
Browsers fall back to a locale-dependent legacy encoding where we take UTF-8: a page
that declares nothing today is almost always UTF-8, and guessing differently per
machine would make audits differ. Labels are those of the
WHATWG Encoding Standard (``latin1`` and ``us-ascii`` mean windows-1252); an unknown label
is ignored, and bytes the encoding cannot map become U+FFFD, never an error.

>>> sniff_encoding(b'<!doctype html><meta charset="ISO-8859-1"><title>caf\\xe9</title>')
'cp1252'
>>> decode_html(b"\\xef\\xbb\\xbf<title>ok \\xff</title>")
'<title>ok \\ufffd</title>'
"""

from __future__ import annotations

import codecs
import re

__all__ = [
    "charset_from_content_type",
    "decode",
    "decode_html",
    "lookup_label",
    "meta_encoding",
    "sniff",
    "sniff_encoding",
]

_PRESCAN_BYTES = 1024
_SPACE = b"\t\n\x0c\r "
_LT, _GT, _EQUALS = ord("<"), ord(">"), ord("=")
_QUOTES = b"\"'"
_QUOTE_BYTES = {ord('"'): b'"', ord("'"): b"'"}
_SPACES = re.compile(rb"[\t\n\x0c\r ]*")
_SPACES_AND_SLASHES = re.compile(rb"[\t\n\x0c\r /]*")
_NAME_REST = re.compile(rb"[^\t\n\x0c\r /=>]*")
_UNQUOTED = re.compile(rb"[^\t\n\x0c\r >]*")
_TAG_NAME = re.compile(rb"[^\t\n\x0c\r >]*")
_BOMS = ((b"\xef\xbb\xbf", "utf-8"), (b"\xfe\xff", "utf-16-be"), (b"\xff\xfe", "utf-16-le"))


def _labels(codec: str, names: str) -> dict[str, str]:
    return dict.fromkeys(names.split(), codec)


# Where the Encoding Standard's labels differ from what Python's codec registry would
# pick for the same name; other labels go to the registry.
_WHATWG_LABELS = {
    **_labels("utf-8", "unicode-1-1-utf-8 unicode11utf8 unicode20utf8 utf-8 utf8 x-unicode20utf8"),
    **_labels(
        "cp1252",
        "ansi_x3.4-1968 ascii cp1252 cp819 csisolatin1 ibm819 iso-8859-1 iso-ir-100 iso8859-1 "
        "iso88591 iso_8859-1 iso_8859-1:1987 l1 latin1 us-ascii windows-1252 x-cp1252 "
        "x-user-defined",
    ),
    **_labels(
        "cp1254",
        "cp1254 csisolatin5 iso-8859-9 iso-ir-148 iso8859-9 iso88599 iso_8859-9 "
        "iso_8859-9:1989 l5 latin5 windows-1254 x-cp1254",
    ),
    **_labels("cp874", "dos-874 iso-8859-11 iso8859-11 iso885911 tis-620 windows-874"),
    **_labels(
        "cp949",
        "cseuckr csksc56011987 euc-kr iso-ir-149 korean ks_c_5601-1987 ks_c_5601-1989 "
        "ksc5601 ksc_5601 windows-949",
    ),
    **_labels(
        "gb18030",
        "chinese csgb2312 csiso58gb231280 gb2312 gb_2312 gb_2312-80 gbk iso-ir-58 x-gbk gb18030",
    ),
    **_labels("big5hkscs", "big5 big5-hkscs cn-big5 csbig5 x-x-big5"),
    **_labels("iso8859-8", "csiso88598i iso-8859-8-i logical"),
    **_labels("mac-cyrillic", "x-mac-cyrillic x-mac-ukrainian"),
    **_labels("utf-16-le", "csunicode iso-10646-ucs-2 ucs-2 unicode unicodefeff utf-16 utf-16le"),
    **_labels("utf-16-be", "unicodefffe utf-16be"),
}
# Python decodes these, but no browser does: UTF-7 in particular has been used to smuggle
# markup past filters.
_REFUSED = {"utf_7", "utf_32", "utf_32_le", "utf_32_be"}


def lookup_label(label: str | bytes) -> str | None:
    """The Python codec for an encoding label, or None for a label no browser knows."""
    if isinstance(label, bytes):
        label = label.decode("ascii", "replace")
    name = label.strip("\t\n\x0c\r ").lower()
    if name in _WHATWG_LABELS:
        return _WHATWG_LABELS[name]
    try:
        info = codecs.lookup(name)
    except LookupError:
        return None
    # Binary and text transforms (base64, rot13) and the refused ones are not encodings
    # of a page.
    if not info._is_text_encoding or info.name.replace("-", "_") in _REFUSED:
        return None
    return info.name


def charset_from_content_type(value: str | None) -> str | None:
    """The ``charset`` parameter of a Content-Type value, unquoted (None without one)."""
    if not value:
        return None
    for parameter in value.split(";")[1:]:
        name, _, charset = parameter.partition("=")
        if name.strip().lower() == "charset":
            return charset.strip().strip("\"'") or None
    return None


def _charset_in_meta_content(content: bytes) -> bytes | None:
    """The encoding named in a ``content`` attribute (``text/html; charset=...``), by the
    Standard's "extracting a character encoding from a meta element"."""
    lowered = content.lower()
    position = 0
    while True:
        found = lowered.find(b"charset", position)
        if found < 0:
            return None
        position = found + 7
        while position < len(content) and content[position] in _SPACE:
            position += 1
        if position >= len(content) or content[position] != ord("="):
            continue
        position += 1
        while position < len(content) and content[position] in _SPACE:
            position += 1
        if position >= len(content):
            return None
        quote = content[position]
        if quote in b"\"'":
            end = content.find(bytes([quote]), position + 1)
            return content[position + 1 : end] if end >= 0 else None
        end = position
        while end < len(content) and content[end] not in _SPACE and content[end] != ord(";"):
            end += 1
        return content[position:end]


def _end(pattern: re.Pattern[bytes], data: bytes, position: int) -> int:
    """Where a run of `pattern` (which matches the empty run too) starting at
    `position` ends."""
    match = pattern.match(data, position)
    return match.end() if match else position


class _Prescan:
    """The Standard's "prescan a byte stream to determine its encoding", over at most
    1024 bytes."""

    def __init__(self, data: bytes) -> None:
        self.data = data[:_PRESCAN_BYTES]
        self.position = 0

    def attribute(self) -> tuple[bytes, bytes] | None:
        """The next attribute of a tag, names and unquoted values lower-cased (the
        Standard's "get an attribute"); None at the tag's end or the buffer's."""
        data, size = self.data, len(self.data)
        position = _end(_SPACES_AND_SLASHES, data, self.position)
        self.position = position
        if position >= size or data[position] == _GT:
            return None
        # The first byte belongs to the name whatever it is, even "=".
        end = _end(_NAME_REST, data, position + 1)
        name = data[position:end].lower()
        if end >= size:
            return None
        if data[end] in _SPACE:
            end = _end(_SPACES, data, end)
            if end >= size:
                return None
            if data[end] != _EQUALS:
                self.position = end
                return name, b""
        elif data[end] != _EQUALS:  # "/" or ">"
            self.position = end
            return name, b""
        position = _end(_SPACES, data, end + 1)
        if position >= size:
            return None
        quote = data[position]
        if quote in _QUOTES:
            end = data.find(_QUOTE_BYTES[quote], position + 1)
            if end < 0:
                return None
            self.position = end + 1
            return name, data[position + 1 : end].lower()
        if quote == _GT:
            self.position = position
            return name, b""
        end = _end(_UNQUOTED, data, position)
        if end >= size:
            return None
        self.position = end
        return name, data[position:end].lower()

    def meta(self) -> str | None:
        """Reads the attributes of a ``<meta`` tag; the encoding it declares, if any."""
        seen: set[bytes] = set()
        got_pragma = False
        need_pragma: bool | None = None
        charset: str | None = None
        while (attribute := self.attribute()) is not None:
            name, value = attribute
            if name in seen:
                continue
            seen.add(name)
            if name == b"http-equiv" and value == b"content-type":
                got_pragma = True
            elif name == b"content" and charset is None:
                label = _charset_in_meta_content(value)
                codec = lookup_label(label) if label is not None else None
                if codec is not None:
                    charset, need_pragma = codec, True
            elif name == b"charset":
                charset, need_pragma = lookup_label(value), False
        if need_pragma is None or (need_pragma and not got_pragma) or charset is None:
            return None
        # A page cannot declare UTF-16 in ASCII bytes: it means UTF-8.
        return "utf-8" if charset.startswith("utf-16") else charset

    def run(self) -> str | None:
        data = self.data
        while self.position < len(data):
            if data.startswith(b"<!--", self.position):
                end = data.find(b"-->", self.position + 2)
                if end < 0:
                    return None
                self.position = end + 3
            elif (
                data[self.position : self.position + 5].lower() == b"<meta"
                and self.position + 5 < len(data)
                and data[self.position + 5] in b"\t\n\x0c\r /"
            ):
                self.position += 6
                charset = self.meta()
                if charset is not None:
                    return charset
            elif data[self.position] == _LT and self._tag_start():
                self.position = _end(_TAG_NAME, data, self.position)
                while self.attribute() is not None:
                    pass
            elif data.startswith((b"<!", b"</", b"<?"), self.position):
                end = data.find(b">", self.position + 2)
                if end < 0:
                    return None
                self.position = end + 1
            else:
                following = data.find(b"<", self.position + 1)
                self.position = following if following >= 0 else len(data)
        return None

    def _tag_start(self) -> bool:
        following = self.data[self.position + 1 : self.position + 3]
        if following[:1].isalpha():
            return True
        return following[:1] == b"/" and following[1:2].isalpha()


def sniff(data: bytes, content_type: str | None = None) -> tuple[str, bool]:
    """The Python codec to decode `data` with, and whether it is final: a byte order
    mark, the charset of `content_type` (the HTTP header's value) and the page's own
    declaration in its first 1024 bytes are; UTF-8 for lack of any is not, and the first
    ``<meta>`` declaration the parser meets replaces it (see `meta_encoding`)."""
    for bom, codec in _BOMS:
        if data.startswith(bom):
            return codec, True
    transport = charset_from_content_type(content_type)
    declared = lookup_label(transport) if transport is not None else None
    if declared is None:
        declared = _Prescan(data).run()
    return (declared, True) if declared is not None else ("utf-8", False)


def sniff_encoding(data: bytes, content_type: str | None = None) -> str:
    """The Python codec to decode `data` with: by its byte order mark, else the charset
    of `content_type` (the HTTP header's value), else its own declaration, else UTF-8."""
    return sniff(data, content_type)[0]


def meta_encoding(charset: str | None, http_equiv: str | None, content: str | None) -> str | None:
    """The codec a ``<meta>`` element's attributes declare, as the parser's "change the
    encoding" reads them (None when it declares none that is known)."""
    if charset is not None:
        codec = lookup_label(charset)
    elif http_equiv is not None and http_equiv.strip().lower() == "content-type" and content:
        label = _charset_in_meta_content(content.encode("utf-8", "replace").lower())
        codec = lookup_label(label) if label is not None else None
    else:
        return None
    return "utf-8" if codec is not None and codec.startswith("utf-16") else codec


def decode(data: bytes, codec: str) -> str:
    """`data` in `codec`, its byte order mark left out; bytes that do not decode become
    U+FFFD."""
    for bom, bom_codec in _BOMS:
        if data.startswith(bom) and codec == bom_codec:
            return str(data[len(bom) :], codec, "replace")
    return str(data, codec, "replace")


def decode_html(data: bytes, content_type: str | None = None) -> str:
    """`data` as text, in the encoding `sniff_encoding` finds (its byte order mark left
    out); bytes that do not decode become U+FFFD."""
    return decode(data, sniff_encoding(data, content_type))
