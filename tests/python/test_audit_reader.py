"""The page reader: the facts lexbor gives equal those of a slow reference reader on
html5lib's tree, over a corpus of awkward pages; the reader's decisions; encodings;
hostile pages."""

import json
import re
import resource
import subprocess
import sys
from pathlib import Path

import pytest

html5lib = pytest.importorskip("html5lib")
pytest.importorskip("selectolax")

from zoret.audit import read_page, sniff_encoding  # noqa: E402
from zoret.audit.encoding import charset_from_content_type  # noqa: E402
from zoret.check import PageFacts  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
PAGES = Path(__file__).parent / "data" / "pages"
CONTENT_TYPES = json.loads((PAGES / "content_types.json").read_text())
HTML = "{http://www.w3.org/1999/xhtml}"
SPACE = re.compile(r"[\t\n\x0c\r ]+")
FIELDS = ["title", "description", "canonical", "robots", "properties", "jsonld", "jsonld_errors",
          "hreflang"]  # fmt: skip


def lower(text):
    return "".join(chr(ord(c) + 32) if "A" <= c <= "Z" else c for c in text)


def collapse(text):
    return SPACE.sub(" ", text).strip(" ")


def reference_facts(data, content_type=None):
    """The reader's rules, applied to html5lib's tree: head children for meta and link,
    the document's first HTML title, JSON-LD scripts anywhere."""
    parser = html5lib.HTMLParser(tree=html5lib.getTreeBuilder("etree"))
    document = parser.parse(
        data,
        scripting=True,
        transport_encoding=charset_from_content_type(content_type),
        default_encoding="utf-8",
        useChardet=False,
    )
    title = next(document.iter(HTML + "title"), None)
    head = document.find(HTML + "head")
    description = canonical = None
    robots, properties, hreflang = [], [], []
    for element in [] if head is None else list(head):
        attributes = element.attrib
        if element.tag == HTML + "meta":
            name = lower(attributes.get("name", ""))
            content = attributes.get("content")
            prop = lower(attributes.get("property", ""))
            if name == "description":
                if description is None and content is not None:
                    description = collapse(content)
            elif name == "robots":
                robots += [content] if content is not None else []
            elif prop.startswith(("og:", "twitter:")):
                properties.append((prop, content or ""))
            elif name.startswith(("og:", "twitter:")):
                properties.append((name, content or ""))
        elif element.tag == HTML + "link" and "href" in attributes:
            rel = SPACE.split(lower(attributes.get("rel", "")).strip("\t\n\x0c\r "))
            href = attributes["href"].strip("\t\n\x0c\r ")
            if "canonical" in rel and canonical is None:
                canonical = href
            if "alternate" in rel and "hreflang" in attributes:
                hreflang.append((attributes["hreflang"].strip("\t\n\x0c\r "), href))
    scripts = [
        s.text or ""
        for s in document.iter(HTML + "script")
        if lower(s.get("type", "-").strip("\t\n\x0c\r ")) == "application/ld+json"
    ]
    jsonld = PageFacts("/", jsonld=scripts)  # the scripts' texts, parsed by the core
    title = None if title is None else collapse(title.text or "")
    robots = PageFacts("/", robots=", ".join(robots)).robots
    values = [title, description, canonical, robots, properties, jsonld.jsonld,
              jsonld.jsonld_errors, hreflang]  # fmt: skip
    return dict(zip(FIELDS, values, strict=True))


def view(facts):
    return {field: getattr(facts, field) for field in FIELDS}


CORPUS = sorted(PAGES.glob("*.html"))


def test_the_corpus_is_awkward_enough():
    assert len(CORPUS) >= 25


@pytest.mark.parametrize("page", CORPUS, ids=[p.stem for p in CORPUS])
def test_lexbor_and_html5lib_read_the_same_facts(page):
    data = page.read_bytes()
    content_type = CONTENT_TYPES.get(page.name)
    headers = [("Content-Type", content_type)] if content_type else []
    assert view(read_page(data, "/", headers=headers)) == reference_facts(data, content_type)


TEMPLATE = '<title>T</title><template><meta name="description" content="in"></template>'


@pytest.mark.parametrize(("page", "field", "value"), [
    # An <img> ends the head: later tags land in the body; JSON-LD counts anywhere.
    ("stray_element.html", "description", "kept"),
    ("stray_element.html", "robots", []),
    ("stray_element.html", "canonical", None),
    ("stray_element.html", "properties", []),
    ("stray_element.html", "jsonld", [{"@type": "Organization", "name": "still read"}]),
    ("noscript.html", "canonical", "https://example.com/noscript"),  # scripting on
    ("several_titles.html", "title", "First"),
    ("svg_title_only.html", "title", "Body title"),  # an SVG title is not the title
    # A <template>'s content is not part of the head (html5lib predates templates).
    (TEMPLATE + '<meta name="description" content="out">', "description", "out"),
    ("robots.html", "robots", ["noindex", "max-snippet:50", "nofollow"]),  # not googlebot
    ("properties.html", "description", "spaced out description"),
    ("properties.html", "canonical", "https://example.com/props"),
    ("properties.html", "hreflang", [("en-US", "https://example.com/en"), ("x-default", "https://example.com/")]),
    ("whitespace_title.html", "title", "Lots of\xa0 space here \u2003"),
    ("jsonld.html", "jsonld_errors", [  # in page order, strict JSON
        "EOF while parsing a value at line 1 column 11",
        "expected value at line 1 column 7",  # NaN
        "EOF while parsing a value at line 1 column 0",  # an empty script
        "expected `,` or `}` at line 1 column 48",
        "number out of range at line 1 column 73",  # -1e400
    ]),
])  # fmt: skip
def test_what_counts_where(page, field, value):
    data = (PAGES / page).read_bytes() if page.endswith(".html") else page.encode()
    assert getattr(read_page(data, "/"), field) == value


def test_properties_under_either_attribute():
    props = read_page((PAGES / "properties.html").read_bytes(), "/").properties
    assert ("og:type", "article") in props and ("og:description", "both attributes") in props


@pytest.mark.parametrize(("headers", "robots"), [
    ([("X-Robots-Tag", "noindex")], ["noindex"]),
    ([("x-robots-tag", "noindex, nofollow"), ("X-ROBOTS-TAG", "max-snippet: 20")], ["noindex", "nofollow", "max-snippet: 20"]),
    ([("X-Robots-Tag", "otherbot: noindex")], []),  # for one crawler only
    ([("X-Robots-Tag", "unavailable_after: 25 Jun 2030 15:00:00 PST")], ["unavailable_after: 25 Jun 2030 15:00:00 PST"]),
])  # fmt: skip
def test_x_robots_tag_follows_the_meta_robots(headers, robots):
    page = b'<meta name="robots" content="nosnippet">'
    assert read_page(page, "/", headers=headers).robots == ["nosnippet", *robots]


@pytest.mark.parametrize(("data", "content_type", "codec"), [
    (b"\xef\xbb\xbf<meta charset=latin1>", "text/html; charset=koi8-r", "utf-8"),  # the BOM first
    (b"<meta charset=latin1>", 'text/html; charset="KOI8-R"', "koi8-r"),  # then the header
    (b"<meta charset=latin1>", "text/html; charset=utf-7", "cp1252"),  # a label no browser knows
    (b"<meta charset=latin1>", None, "cp1252"),  # latin1 means windows-1252
    (b'<meta http-equiv="Content-Type" content="text/html; charset=\'gbk\'">', None, "gb18030"),
    (b'<meta content="text/html; charset=euc-kr">', None, "utf-8"),  # no http-equiv
    (b"<meta charset=utf-16le>", None, "utf-8"),  # ASCII text cannot be UTF-16
    (b"<meta charset=base64>", None, "utf-8"),  # not a text encoding
    (b"<!-- <meta charset=koi8-r> --><meta charset=iso-8859-2>", None, "iso8859-2"),
    (b"<p title='<meta charset=koi8-r>'><meta charset=iso-8859-5>", None, "iso8859-5"),
    (b" " * 1024 + b"<meta charset=koi8-r>", None, "utf-8"),  # beyond the prescan
])  # fmt: skip
def test_encoding_sniffing(data, content_type, codec):
    assert sniff_encoding(data, content_type) == codec


def test_text_with_lone_surrogates_is_read():
    assert read_page("<title>a\ud800b</title>", "/").title == "a\ufffdb"


def measured(code):
    """Runs `code` in a fresh interpreter; its printed result and peak memory in MiB."""
    done = subprocess.run(
        [sys.executable, "-c", "import zoret.audit\n" + code +
         # VmHWM, not ru_maxrss: the latter keeps the parent's peak across fork and exec.
         "\nprint(next(int(line.split()[1]) >> 10 for line in open('/proc/self/status')"
         " if line.startswith('VmHWM:')))"],
        capture_output=True, text=True, timeout=120, env={"PYTHONPATH": str(ROOT / "python")},
    )  # fmt: skip
    assert done.returncode == 0, done.stderr
    *out, peak = done.stdout.splitlines()
    return out, int(peak)


def test_a_50_mb_page_is_read_up_to_the_limit_in_bounded_memory(tmp_path):
    page = tmp_path / "huge.html"
    with page.open("wb") as file:
        file.write(b'<title>Huge</title><meta name="description" content="big"><body>')
        file.write(b"<p>" + b"lorem ipsum dolor sit amet " * ((50 << 20) // 27 + 1))
    assert page.stat().st_size > 50 << 20
    code = f"""
from zoret.audit import AuditPlan, PageTask, check_page
result = check_page(PageTask("/huge", "huge.html", path={str(page)!r}), AuditPlan())
print(result.truncated, result.error)
"""
    out, peak = measured(code)
    assert out == ["True None"]
    assert peak < 400  # 15 MiB read, parsed and dropped


@pytest.mark.parametrize(("page", "expected"), [
    (b"<title>deep</title>" + b"<div>" * 300_000, "block elements nested more than 1024 deep: not read"),
    (b"<title>deep</title>" + b"<span><b>" * 100_000, None),  # phrasing nests cheaply: read
])  # fmt: skip
def test_deep_nesting_is_refused_or_read_quickly(page, expected):
    from zoret.audit import AuditPlan, PageTask, check_page

    result = check_page(PageTask("/deep", "deep", body=page), AuditPlan())
    assert result.error == (None if expected is None else f"cannot be checked: {expected}")


def test_hostile_scripts_and_tags(tmp_path):
    huge_jsonld = json.dumps({"@type": "Article", "articleBody": "x" * (10 << 20)}).encode()
    nested = b"[" * 2000 + b"]" * 2000
    metas = b"".join(b'<meta property="og:x%d" content="%d">' % (i, i) for i in range(5000))
    page = (
        b"<head><title>hostile</title>" + metas
        + b'<script type="application/ld+json">' + huge_jsonld + b"</script>"
        + b'<script type="application/ld+json">' + nested + b"</script>"
        + b"</head><body>\xff\xfe\xc3"
    )  # fmt: skip
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    facts = read_page(page, "/hostile")
    assert len(facts.properties) == 5000 and facts.properties[-1] == ("og:x4999", "4999")
    assert len(facts.jsonld[0]["articleBody"]) == 10 << 20
    assert facts.jsonld_errors == ["recursion limit exceeded at line 1 column 128"]
    assert (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) >> 10 < 300
