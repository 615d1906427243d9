"""The URL parser against two independent WHATWG implementations, url-py and ada-url.

Every input goes through our parser (the zoret_url_probe program), url-py and ada.
All three must agree on success or failure and on the path and query; where url-py
names the reason for a failure, it must name the same one as ours. The few places
where a peer departs from the standard (or our ICU lags behind both) are listed in
KNOWN_DEVIATIONS, each matched by a predicate and justified; any other disagreement
fails.
"""

from __future__ import annotations

import json
import os
import re
import subprocess
import threading
import unicodedata
import urllib.parse
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path
from typing import NamedTuple

import pytest
from hypothesis import Phase, given, settings
from hypothesis import strategies as st

urlpy = pytest.importorskip("url")
ada_url = pytest.importorskip("ada_url")

PROBE = os.environ.get("ZORET_URL_PROBE", "")
if not PROBE or not Path(PROBE).is_file():
    pytest.skip("ZORET_URL_PROBE does not name a built zoret_url_probe", allow_module_level=True)

WPT_URLTESTDATA = Path(__file__).parents[3] / "shared/testdata/wpt/urltestdata.json"

SPECIAL_SCHEMES = ("http", "https", "ws", "wss", "ftp", "file")
# Forbidden domain code points: C0 controls, space, "#%/:<>?@[\]^|" and DEL.
FORBIDDEN_DOMAIN = frozenset([chr(c) for c in range(0x21)] + list("#%/:<>?@[\\]^|") + ["\x7f"])


@dataclass(frozen=True)
class Outcome:
    """One parser's answer: the path and query on success, the reason on failure."""

    ok: bool
    path: str = ""
    query: str | None = None
    error: str | None = None  # None where the parser does not say why


@dataclass(frozen=True)
class Case:
    """One input with all three answers."""

    input: str
    scheme: str | None  # ours, on success
    ours: Outcome
    urlpy: Outcome
    ada: Outcome


# url-py raises URLError subclasses whose text is the reason; these are the texts it
# uses for the no-base failures, next to our description of the same cause.
URLPY_REASONS = {
    "empty host": "empty host",
    "invalid international domain name": "invalid international domain name",
    "invalid port number": "invalid port number",
    "invalid IPv4 address": "invalid IPv4 address",
    "invalid IPv6 address": "invalid IPv6 address",
    "invalid domain character": "invalid domain character",
    "relative URL without a base": "relative URL without a base",
    "URLs more than 4 GB are not supported": "URLs more than 4 GB are not supported",
}


# ---------------------------------------------------------------------------
# Running the three parsers


class Probe:
    """Our parser behind a pipe: one JSON string per line in, one JSON object out."""

    def __init__(self, path: str) -> None:
        self._process = subprocess.Popen(
            [path],
            stdin=subprocess.PIPE,
            stdout=subprocess.PIPE,
            encoding="utf-8",
        )

    def parse_all(self, inputs: list[str]) -> list[dict]:
        assert self._process.stdin and self._process.stdout
        batch = "".join(json.dumps(s) + "\n" for s in inputs)
        # The answers come back while we still write, so a second thread feeds the
        # pipe; otherwise both sides block once the pipe buffers fill.
        writer = threading.Thread(target=self._write, args=(batch,))
        writer.start()
        answers = [json.loads(self._process.stdout.readline()) for _ in inputs]
        writer.join()
        return answers

    def _write(self, batch: str) -> None:
        assert self._process.stdin
        self._process.stdin.write(batch)
        self._process.stdin.flush()

    def close(self) -> None:
        assert self._process.stdin and self._process.stdout
        self._process.stdin.close()
        self._process.stdout.close()
        assert self._process.wait(timeout=30) == 0


@pytest.fixture(scope="session")
def probe():
    running = Probe(PROBE)
    yield running
    running.close()


def parse_ours(probe: Probe, inputs: list[str]) -> list[tuple[str | None, Outcome]]:
    results = []
    for answer in probe.parse_all(inputs):
        assert "probe_error" not in answer, answer
        if answer["ok"]:
            results.append((answer["scheme"], Outcome(True, answer["path"], answer["query"])))
        else:
            results.append((None, Outcome(False, error=answer["error"])))
    return results


def parse_urlpy(text: str) -> Outcome:
    try:
        parsed = urlpy.URL.parse(text)
    except urlpy.URLError as e:
        return Outcome(False, error=str(e))
    return Outcome(True, parsed.path, parsed.query)


def parse_ada(text: str) -> Outcome:
    try:
        parsed = ada_url.parse_url(text, attributes=("pathname", "search"))
    except ValueError:
        return Outcome(False)
    # ada's search is "" both for no query and an empty one, "?q" otherwise.
    search = parsed["search"]
    return Outcome(True, parsed["pathname"], search[1:] if search else None)


def ada_view(ours: Outcome) -> Outcome:
    """Our outcome as ada can express it: an empty query reads like none."""
    if not ours.ok:
        return Outcome(False)
    return Outcome(True, ours.path, ours.query or None)


# ---------------------------------------------------------------------------
# Known deviations


def as_parsed(text: str) -> str:
    """`text` as the basic parser reads it: without leading and trailing C0 controls
    and spaces, and without tabs and newlines."""
    return text.strip("".join(chr(c) for c in range(0x21))).translate(
        {0x09: None, 0x0A: None, 0x0D: None}
    )


class Authority(NamedTuple):
    scheme: str
    userinfo: str | None  # None without "@"
    host: str
    port: str | None  # None without ":"


def split_authority(text: str) -> Authority | None:
    """The authority parts that the basic parser would find in `text`, raw; None
    when it has none. A close approximation, good enough to classify an input,
    not to parse it."""
    match = re.match(r"([A-Za-z][A-Za-z0-9+.\-]*):(.*)", as_parsed(text), re.S)
    if not match:
        return None
    scheme, rest = match[1].lower(), match[2]
    special = scheme in SPECIAL_SCHEMES
    if scheme == "file":
        if len(rest) < 2 or any(c not in "/\\" for c in rest[:2]):
            return None
        rest = rest[2:]
    elif special:
        rest = rest.lstrip("/\\")
    elif rest.startswith("//"):
        rest = rest[2:]
    else:
        return None
    authority = re.split(r"[/?#\\]" if special else r"[/?#]", rest, maxsplit=1)[0]
    if scheme == "file":
        # File URLs have no credentials and no port: all of it is host.
        return Authority(scheme, None, authority, None)
    userinfo, at, host = authority.rpartition("@")
    # A ":" outside brackets starts the port.
    depth = 0
    for i, c in enumerate(host):
        depth += c == "["
        depth -= c == "]" and depth > 0
        if c == ":" and depth == 0:
            return Authority(scheme, userinfo if at else None, host[:i], host[i + 1 :])
    return Authority(scheme, userinfo if at else None, host, None)


def authority_host(text: str) -> str | None:
    """The percent-decoded host text of `text`, as the host parser would see it."""
    parts = split_authority(text)
    return None if parts is None else urllib.parse.unquote(parts.host, errors="replace")


def is_or_maps_to_forbidden(c: str) -> bool:
    # UTS #46 mapping can produce a forbidden code point (fullwidth "％" becomes "%").
    return any(m in FORBIDDEN_DOMAIN for m in unicodedata.normalize("NFKC", c))


def urlpy_forbidden_code_point_as_idna(case: Case) -> bool:
    # The standard runs domain-to-ASCII first, so an IDNA failure of the rest of the
    # host still wins; url-py, independent of us, judges the host with each
    # forbidden code point replaced by a letter (removing them could make a label
    # start with "xn--"). All-ASCII hosts pass domain-to-ASCII unchanged.
    host = authority_host(case.input)
    if (
        host is None
        or case.urlpy.error != "invalid international domain name"
        or not any(is_or_maps_to_forbidden(c) for c in host)
    ):
        return False
    rest = "".join("x" if is_or_maps_to_forbidden(c) else c for c in host)
    return rest.isascii() or parse_urlpy(f"http://{rest}/").error != case.urlpy.error


def urlpy_checks_xn_labels_in_ascii_hosts(case: Case) -> bool:
    # We accept such a host, so ours goes on to succeed or to fail later (port).
    host = authority_host(case.input)
    return (
        case.urlpy.error == "invalid international domain name"
        and case.ours.error != "invalid international domain name"
        and host is not None
        and host.isascii()
        and re.search(r"(?:^|\.)xn--", host.lower()) is not None
    )


def same_query(case: Case) -> bool:
    return case.ours.ok and case.urlpy.ok and case.urlpy.query == case.ours.query


def urlpy_keeps_drive_letter_pipe(case: Case) -> bool:
    return (
        case.scheme == "file"
        and same_query(case)
        and case.urlpy.path == re.sub(r"^/([A-Za-z]):", r"/\1|", case.ours.path)
    )


def urlpy_collapses_leading_empty_file_segments(case: Case) -> bool:
    return (
        case.scheme == "file"
        and same_query(case)
        and case.ours.path.startswith("//")
        and case.urlpy.path == re.sub(r"^/+", "/", case.ours.path)
    )


def urlpy_keeps_opaque_path_trailing_space(case: Case) -> bool:
    return (
        same_query(case)
        and not case.ours.path.startswith("/")
        and case.ours.path.endswith("%20")
        and case.urlpy.path == case.ours.path[:-3] + " "
    )


def urlpy_leaves_caret_in_path(case: Case) -> bool:
    return (
        same_query(case)
        and "%5E" in case.ours.path
        and case.urlpy.path.replace("^", "%5E") == case.ours.path
    )


def urlpy_ends_port_at_backslash(case: Case) -> bool:
    parts = split_authority(case.input)
    return (
        case.ours.error == "invalid port number"
        and case.urlpy.ok
        and parts is not None
        and parts.scheme not in SPECIAL_SCHEMES
        and parts.port is not None
        and re.match(r"[0-9]*\\", parts.port) is not None
    )


def urlpy_accepts_empty_credentials_without_host(case: Case) -> bool:
    parts = split_authority(case.input)
    return (
        case.ours.error == "empty host"
        and case.urlpy.ok
        and parts is not None
        and parts.scheme not in SPECIAL_SCHEMES
        and parts.userinfo in ("", ":")
        and parts.host == ""
    )


# A drive letter ("C:" or "C|" ending its segment, or before "\\") and, later, "..".
DRIVE_LETTER_THEN_DOT_DOT = re.compile(
    r"[/\\][A-Za-z][:|](?=[/\\?#]|$).*?[/\\](?:\.|%2e){2}(?:[/\\?#]|$)", re.I | re.S
)


def urlpy_keeps_drive_letter_before_dot_dot(case: Case) -> bool:
    # url-py's path can differ in more than the drive letter (a ".." it spent on the
    # letter is missing later), so ada, independent of both, has the last word.
    return (
        same_query(case)
        and DRIVE_LETTER_THEN_DOT_DOT.search(as_parsed(case.input)) is not None
        and ada_agrees(case)
    )


def ada_idna_data_predates_unicode_14(case: Case) -> bool:
    # ICU and the Rust idna crate are independent of each other; where they agree on
    # a non-ASCII host, ada's answer is the odd one out.
    host = authority_host(case.input)
    return (
        host is not None
        and not host.isascii()
        and urlpy_agrees(case)
        and (
            (case.ours.error == "invalid international domain name" and case.ada.ok)
            or (case.ours.ok and not case.ada.ok)
        )
    )


# Code points whose IDNA mapping changed in UTS #46 15.1: capitals whose lower-case
# letters came later (now mapped), default-ignorable fillers and format characters
# (now ignored), and CJK compatibility ideographs with corrected mappings.
UTS46_15_1_CHANGES = (
    (0x04C0, 0x04C0),
    (0x10A0, 0x10C5),
    (0x115F, 0x1160),
    (0x17B4, 0x17B5),
    (0x1806, 0x1806),
    (0x180E, 0x180E),
    (0x2061, 0x2063),
    (0x206A, 0x206F),
    (0x2132, 0x2132),
    (0x2183, 0x2183),
    (0x3164, 0x3164),
    (0xFFA0, 0xFFA0),
    (0x1D173, 0x1D17A),
    (0x2F868, 0x2F868),
    (0x2F874, 0x2F874),
    (0x2F91F, 0x2F91F),
    (0x2F95F, 0x2F95F),
    (0x2F9BF, 0x2F9BF),
)


def icu_predates_uts46_15_1(case: Case) -> bool:
    # Consulted only where a peer disagrees, so that peer took the host (or failed
    # on something else) while ICU refused it.
    host = authority_host(case.input) or ""
    host += unicodedata.normalize("NFKC", host)
    return case.ours.error == "invalid international domain name" and any(
        lo <= ord(c) <= hi for c in host for lo, hi in UTS46_15_1_CHANGES
    )


def linked_icu_major_version() -> int | None:
    try:
        linked = subprocess.run(["ldd", PROBE], capture_output=True, text=True, check=False)
    except OSError:
        return None
    found = re.search(r"libicuuc\.so\.(\d+)", linked.stdout)
    return int(found[1]) if found else None


ICU_MAJOR_VERSION = linked_icu_major_version()


@dataclass(frozen=True)
class Deviation:
    """A peer's departure from the standard, recognised by `matches`. Most excuse
    the disagreement; one that `reads_as` a reason translates url-py's reason
    instead, so that ours is still checked."""

    peers: tuple[str, ...]  # the peers whose disagreement it explains
    example: str
    reason: str
    matches: Callable[[Case], bool]
    applies: bool = True
    reads_as: str | None = None


KNOWN_DEVIATIONS = (
    Deviation(
        ("url-py",),
        "http://a<b/",
        "reports a forbidden domain code point as an IDNA failure: its IDNA step "
        "refuses them, while the standard fails at the forbidden-domain-code-point "
        'check after domain-to-ASCII ("invalid domain character")',
        urlpy_forbidden_code_point_as_idna,
        reads_as="invalid domain character",
    ),
    Deviation(
        ("url-py",),
        "http://a.b.c.xn--pokxncvks/",
        'validates "xn--" labels in all-ASCII hosts, as newer revisions of the '
        "standard do; the vectors we follow only lower-case ASCII hosts",
        urlpy_checks_xn_labels_in_ascii_hosts,
    ),
    Deviation(
        ("url-py",),
        "file:///C|/foo",
        'does not turn a drive letter\'s "|" into ":" in file URLs with an empty host',
        urlpy_keeps_drive_letter_pipe,
    ),
    Deviation(
        ("url-py",),
        "file:////foo",
        'drops leading empty segments of a file URL path ("file:////x" gives "/x", '
        'the standard "//x")',
        urlpy_collapses_leading_empty_file_segments,
    ),
    Deviation(
        ("url-py",),
        "non-special:opaque  ?hi",
        "leaves an opaque path's trailing space unencoded before a query or fragment; "
        "the standard encodes it as %20",
        urlpy_keeps_opaque_path_trailing_space,
    ),
    Deviation(
        ("url-py",),
        "foo://host/^",
        'leaves "^" unencoded in paths; the standard\'s path percent-encode set has '
        "included it since 2024",
        urlpy_leaves_caret_in_path,
    ),
    Deviation(
        ("url-py",),
        "sc://h:1\\x",
        'ends a port at "\\" in non-special URLs and reads the rest as path; the '
        'standard\'s port state takes "\\" as a delimiter only for special schemes',
        urlpy_ends_port_at_backslash,
    ),
    Deviation(
        ("url-py",),
        "sc://:@",
        "accepts empty credentials before an empty host in non-special URLs; the "
        'standard fails on an "@" followed by no host',
        urlpy_accepts_empty_credentials_without_host,
    ),
    Deviation(
        ("url-py",),
        "http://a/C|/..",
        'keeps a drive-letter segment ("C|", "C:") that ".." should remove; the '
        "standard spares it only as the first segment of a file URL path",
        urlpy_keeps_drive_letter_before_dot_dot,
    ),
    Deviation(
        ("ada",),
        "http://\u0898/",
        "its IDNA validity data does not know the code points of Unicode 14: it lets "
        "a label begin with their combining marks and misjudges their Bidi classes",
        ada_idna_data_predates_unicode_14,
    ),
    Deviation(
        ("url-py", "ada"),
        "http://\u10a0.com/",
        "ours, not a peer's: ICU before 74 predates UTS #46 15.1, whose mapping "
        "changes both peers have; a newer ICU agrees with them",
        icu_predates_uts46_15_1,
        applies=ICU_MAJOR_VERSION is None or ICU_MAJOR_VERSION < 74,
    ),
)


def urlpy_reason(case: Case) -> str | None:
    """url-py's reason for a failure in our words; None for a text we do not know."""
    for d in KNOWN_DEVIATIONS:
        if d.reads_as and d.applies and d.matches(case):
            return d.reads_as
    return URLPY_REASONS.get(case.urlpy.error or "")


def urlpy_agrees(case: Case) -> bool:
    if case.ours.ok != case.urlpy.ok:
        return False
    if not case.ours.ok:
        return urlpy_reason(case) == case.ours.error
    return (case.ours.path, case.ours.query) == (case.urlpy.path, case.urlpy.query)


def ada_agrees(case: Case) -> bool:
    ours = ada_view(case.ours)
    if ours.ok != case.ada.ok:
        return False
    return not ours.ok or (ours.path, ours.query) == (case.ada.path, case.ada.query)


def disagreeing_peers(case: Case) -> list[str]:
    return [
        peer for peer, agree in (("url-py", urlpy_agrees), ("ada", ada_agrees)) if not agree(case)
    ]


def explained(case: Case, peer: str) -> bool:
    return any(
        d.applies and not d.reads_as and peer in d.peers and d.matches(case)
        for d in KNOWN_DEVIATIONS
    )


def parse_cases(probe: Probe, inputs: list[str]) -> list[Case]:
    return [
        Case(text, scheme, ours, parse_urlpy(text), parse_ada(text))
        for text, (scheme, ours) in zip(inputs, parse_ours(probe, inputs), strict=True)
    ]


def unexplained_disagreements(probe: Probe, inputs: list[str]) -> list[str]:
    return [
        f"{case.input!r}: ours {case.ours}, url-py {case.urlpy}, ada {case.ada}"
        for case in parse_cases(probe, inputs)
        if any(not explained(case, peer) for peer in disagreeing_peers(case))
    ]


# ---------------------------------------------------------------------------
# The web-platform-tests inputs


def wpt_inputs() -> list[str]:
    if not WPT_URLTESTDATA.is_file():
        pytest.skip("WPT vectors not present")
    entries = json.loads(WPT_URLTESTDATA.read_text(encoding="utf-8"))
    return [e["input"] for e in entries if isinstance(e, dict) and e.get("base") is None]


def test_wpt_inputs_agree_with_peers(probe):
    failures = unexplained_disagreements(probe, wpt_inputs())
    assert not failures, f"{len(failures)} disagreements:\n" + "\n".join(failures[:40])


@pytest.mark.parametrize("deviation", KNOWN_DEVIATIONS, ids=lambda d: d.matches.__name__)
def test_known_deviation_still_shows(probe, deviation):
    # The peers are pinned; an entry whose example now parses alike everywhere is
    # stale and should go, so that it cannot hide a fault of ours.
    if not deviation.applies:
        pytest.skip("does not apply to this build")
    (case,) = parse_cases(probe, [deviation.example])
    assert deviation.matches(case), case
    if deviation.reads_as:
        assert case.ours.error == deviation.reads_as, case
        assert URLPY_REASONS.get(case.urlpy.error or "") != deviation.reads_as, case
    else:
        assert set(deviation.peers) <= set(disagreeing_peers(case)), case


# ---------------------------------------------------------------------------
# Generated inputs

unicode_letters = st.characters(categories=("Lu", "Ll", "Lo"), min_codepoint=0x80)
controls = st.sampled_from(["\x00", "\t", "\n", "\r", "\x1f", "\x7f", " "])
percent_escapes = st.sampled_from(
    [
        "%2e",
        "%2E",
        "%00",
        "%20",
        "%25",
        "%41",
        "%C3%A9",
        "%E2%80%8B",
        "%EF%BC%85",
        "%FF",
        "%",
        "%G1",
    ]
)
ascii_labels = st.text("abcxyz019-_", min_size=1, max_size=8)
labels = st.one_of(
    ascii_labels,
    st.text(unicode_letters, min_size=1, max_size=4),
    st.lists(
        st.one_of(ascii_labels, unicode_letters, percent_escapes, controls),
        min_size=1,
        max_size=4,
    ).map("".join),
    st.sampled_from(["xn--", "XN--a", "xn--nxasmq6b", "ß", "ẞ", "\u200d", "\u00ad", "ｅｘ", "．"]),
)
ipv4_parts = st.one_of(
    st.integers(0, 300).map(str),
    st.integers(0, 0xFFFFFFFF).map(hex),
    st.integers(0, 0o777).map(lambda n: f"0{n:o}"),
    st.sampled_from(["0x", "09", "4294967296", "0xg", ""]),
)
ipv4ish = st.lists(ipv4_parts, min_size=1, max_size=5).map(".".join)
ipv6ish = st.lists(
    st.one_of(st.text("0123456789abcdefABCDEF", max_size=5), ipv4ish), min_size=1, max_size=9
).map(lambda parts: "[" + ":".join(parts) + "]")
domains = st.lists(labels, min_size=1, max_size=4).map(".".join)
hosts = st.builds(
    lambda host, dot: host + dot,
    st.one_of(domains, ipv4ish, ipv6ish, st.just("")),
    st.sampled_from(["", "", "."]),
)
schemes = st.one_of(
    st.sampled_from((*SPECIAL_SCHEMES, "HTTP", "File")),
    st.sampled_from(("http", "https", "file")),
    st.sampled_from(("sc", "mailto", "data", "javascript", "non-spec")),
    st.from_regex(r"[A-Za-z][A-Za-z0-9+.\-]{0,6}", fullmatch=True),
    st.text("a1+-.:/ é", max_size=4),
)
ports = st.one_of(
    st.just(""),
    st.integers(0, 70000).map(lambda n: f":{n}"),
    st.sampled_from([":", ":0080", ":-1", ":99999999999", ":8a", ":1\\"]),
)
segments = st.one_of(
    st.sampled_from([".", "..", "%2e", ".%2E", "%2e%2e", "a", "", "C|", "c:"]),
    st.text(st.one_of(st.sampled_from("ab^`{}|<>\"'\\ "), controls, unicode_letters), max_size=4),
    percent_escapes,
)
paths = st.lists(st.tuples(st.sampled_from(["/", "/", "\\"]), segments), max_size=5).map(
    lambda parts: "".join(sep + segment for sep, segment in parts)
)
query_text = st.text(
    st.one_of(st.sampled_from("a=&?'\"# %+^"), controls, unicode_letters), max_size=6
)


@st.composite
def urls(draw):
    padding = draw(st.sampled_from(["", "", " ", "\t", "\x00 "]))
    return "".join(
        [
            padding,
            draw(schemes),
            ":",
            draw(st.sampled_from(["//", "//", "", "/", "\\\\", "///", "/\\"])),
            draw(st.sampled_from(["", "", "", "u@", "u:p@", ":@", "a b:c%40@", "ü@@"])),
            draw(hosts),
            draw(ports),
            draw(paths),
            draw(st.one_of(st.just(""), query_text.map(lambda q: "?" + q))),
            draw(st.one_of(st.just(""), query_text.map(lambda f: "#" + f))),
            padding,
        ]
    )


def generated_inputs(count: int) -> list[str]:
    """`count` inputs, the same on every run, collected before any is parsed so that
    each parser sees them in one batch."""
    collected: list[str] = []

    @settings(
        max_examples=count,
        deadline=None,
        derandomize=True,
        database=None,
        phases=[Phase.generate],
    )
    @given(urls())
    def collect(text: str) -> None:
        collected.append(text)

    collect()
    return collected


def test_generated_inputs_agree_with_peers(probe):
    inputs = generated_inputs(400)
    failures = unexplained_disagreements(probe, inputs)
    assert not failures, f"{len(failures)} disagreements:\n" + "\n".join(failures[:40])
