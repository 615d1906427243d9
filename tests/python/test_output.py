"""Rendering, JSON text, hash and ETag of a payload; the snippet read by real parsers."""

import hashlib
import json

import pytest

from payload_support import MINIMAL, RICH_OG, RICH_TWITTER, shaped

MINIMAL_HTML = (
    "<title>T</title>\n"
    '<link rel="canonical" href="C">\n'
    '<meta name="robots" content="R">\n'
    '<meta property="og:type" content="website">\n'
    '<meta name="twitter:card" content="summary">\n'
)

RICH_HTML = """\
<title>Tea &amp; &quot;Biscuits&quot;</title>
<meta name="description" content="Crisp &lt;b&gt;">
<link rel="canonical" href="https://x/?a=1&amp;b=2">
<meta name="robots" content="index,follow">
<meta property="og:type" content="article">
<meta property="og:title" content="OT">
<meta property="og:description" content="OD">
<meta property="og:url" content="https://x/">
<meta property="og:image" content="https://x/i.png">
<meta property="og:image:width" content="1200">
<meta property="og:image:height" content="630">
<meta property="og:image:alt" content="Alt">
<meta property="og:site_name" content="Site">
<meta property="og:locale" content="en_US">
<meta property="og:locale:alternate" content="de_DE">
<meta property="og:locale:alternate" content="fr_FR">
<meta property="og:audio" content="https://x/a.mp3">
<meta property="og:video" content="https://x/v.mp4">
<meta name="twitter:card" content="summary">
<meta name="twitter:title" content="TT">
<meta name="twitter:description" content="TD">
<meta name="twitter:image" content="https://x/t.png">
<meta name="twitter:image:alt" content="TAlt">
<meta name="twitter:site" content="@site">
<meta name="twitter:creator" content="@me">
<script type="application/ld+json">
{
  "@type": "Thing",
  "e": {},
  "n": [
    1,
    2.5,
    {},
    [],
    null,
    true
  ]
}
</script>
"""


def rich():
    return shaped(
        title='Tea & "Biscuits"',
        description="Crisp <b>",
        canonical="https://x/?a=1&b=2",
        robots="index,follow",
        og=RICH_OG,
        twitter=RICH_TWITTER,
        schema_jsonld={"@type": "Thing", "n": [1, 2.5, {}, [], None, True], "e": {}},
    )


def test_render_html_exact():
    assert shaped().render_html() == MINIMAL_HTML
    assert shaped().render_jsonld() == ""
    payload = rich()
    assert payload.render_html() == RICH_HTML
    lines = RICH_HTML.splitlines()
    assert payload.render_opengraph() == "\n".join(lines[4:18])
    assert payload.render_twitter() == "\n".join(lines[18:25])
    assert payload.render_jsonld() == "\n".join(lines[25:])


OG_TYPE_LINE = '<meta property="og:type" content="website">'


@pytest.mark.parametrize(
    ("og", "lines"),
    [
        ({"title": ""}, [OG_TYPE_LINE, '<meta property="og:title" content="">']),
        ({"image_width": 5}, [OG_TYPE_LINE, '<meta property="og:image:width" content="5">']),
        ({"locale_alternate": []}, [OG_TYPE_LINE]),
    ],
)
def test_present_fields_render_even_when_empty(og, lines):
    assert shaped(og={"type": "website", **og}).render_opengraph() == "\n".join(lines)


@pytest.mark.parametrize(
    ("text", "escaped"),
    [
        ("&", "&amp;"),
        ("<", "&lt;"),
        (">", "&gt;"),
        ('"', "&quot;"),
        ("'", "&#x27;"),
        ("&lt;", "&amp;lt;"),
        ("a &amp b", "a &amp;amp b"),
        ("Café \u2013 東京\n/\\`=", "Café \u2013 東京\n/\\`="),
    ],
)
def test_escaping(text, escaped):
    payload = shaped(
        title=text, description=text, og={"type": text, "image_alt": text}, twitter={"card": text}
    )
    html = payload.render_html()
    assert f"<title>{escaped}</title>\n" in html
    assert f'<meta name="description" content="{escaped}">\n' in html
    assert f'<meta property="og:type" content="{escaped}">\n' in html
    assert f'<meta property="og:image:alt" content="{escaped}">\n' in html
    assert f'<meta name="twitter:card" content="{escaped}">\n' in html


@pytest.mark.parametrize(
    ("value", "written"),
    [
        ("</script>", r"<\/script>"),
        ("</SCRIPT >", r"<\/SCRIPT >"),
        ("<!--<script>", r"\u003c!--<script>"),
        ("<!-- x --></script>", r"\u003c!-- x --><\/script>"),
        ("< /script>", "< /script>"),
        ("a/b", "a/b"),
        ('quote " back \\ tab \t nul \x00', r"quote \" back \\ tab \t nul \u0000"),
    ],
)
def test_jsonld_cannot_close_its_script_element(value, written):
    jsonld = shaped(schema_jsonld={"k": value}).render_jsonld()
    assert jsonld.splitlines()[2] == f'  "k": "{written}"'
    # The JSON text itself still reads back as the value.
    body = jsonld.removeprefix('<script type="application/ld+json">\n').removesuffix("\n</script>")
    assert json.loads(body) == {"k": value}
    # to_json is plain JSON, without the script protection.
    assert json.loads(shaped(schema_jsonld={"k": value}).to_json())["schema_jsonld"] == {"k": value}


@pytest.mark.parametrize(
    ("value", "text"),
    [
        (3.0, "3.0"),
        (-0.0, "-0.0"),
        (0.00001, "0.00001"),
        (1.5e-7, "1.5e-7"),
        (1e15, "1000000000000000.0"),
        (1e16, "1e+16"),
        (123456.789, "123456.789"),
        (5e-324, "5e-324"),
        (2**64, "1.8446744073709552e+19"),
        (2**64 - 1, "18446744073709551615"),
        (-(2**63), "-9223372036854775808"),
    ],
)
def test_number_notation(value, text):
    payload = shaped(schema_jsonld={"n": value})
    assert payload.render_jsonld().splitlines()[2] == f'  "n": {text}'
    assert payload.to_json().splitlines()[-3] == f'    "n": {text}'


def _compact(payload):
    # Exact for texts and integers; the floats used below print alike in Python.
    return json.dumps(json.loads(payload.to_json()), separators=(",", ":"), ensure_ascii=False)


@pytest.mark.parametrize(
    "fields",
    [
        {},
        {"custom": 1, "schema_jsonld": {"b": [1, 2.5], "a": "é\n"}},
        {"og": RICH_OG, "twitter": RICH_TWITTER, "title": "Ünïcode ✓"},
    ],
)
def test_hash_is_sha256_of_the_compact_text(fields):
    payload = shaped(**fields)
    text = payload.to_json()
    assert list(json.loads(text)) == [
        *MINIMAL,
        *(k for k in ("schema_jsonld", "custom") if k in fields),
    ]
    digest = payload.hash()
    assert digest == hashlib.sha256(_compact(payload).encode()).hexdigest()
    assert digest != hashlib.sha256(text.encode()).hexdigest()
    assert payload.etag() == f'"{digest}"'
    assert len(payload.etag()) == 66


def test_hash_of_the_minimal_payload():
    compact = (
        '{"title":"T","description":"","canonical":"C","robots":"index,follow",'
        '"og":{"type":"website"},"twitter":{"card":"summary"}}'
    )
    assert shaped(robots="index,follow").hash() == hashlib.sha256(compact.encode()).hexdigest()


@pytest.mark.parametrize(
    ("fields", "other"),
    [
        ({"schema_jsonld": {"n": 1.0}}, {"schema_jsonld": {"n": 1}}),
        ({}, {"schema_jsonld": {}}),
        ({}, {"title": "U"}),
        ({}, {"og": {"type": "website", "locale_alternate": []}}),
        ({}, {"custom": None}),
    ],
)
def test_equal_payloads_hash_equal_and_any_change_shows(fields, other):
    payload, same, changed = shaped(**fields), shaped(**fields), shaped(**other)
    assert payload == same
    assert (payload.hash(), payload.etag()) == (same.hash(), same.etag())
    assert payload != changed
    assert payload.hash() != changed.hash()


# Serialisation errors (ValueError with "serialization error: ...") cannot be
# provoked from Python: every string arrives as valid UTF-8 and the JSON reader
# refuses non-finite and out-of-range numbers before a payload exists.

HOSTILE = (
    "Q \"quoted\" & 'single' <b>bold</b> </title></head><body>x ünï 東京\n"
    "line2 </script><!--<script>"
)
HOSTILE_JSONLD = {
    "@type": "Article",
    "name": HOSTILE,
    "</script><script>alert(1)</script>": "<!--<script>",
    "list": ["</SCRIPT>", "<!-- -->", "\u2028\u2029", "-->"],
}


def hostile():
    text = {"title": HOSTILE, "description": HOSTILE}
    og = {
        **RICH_OG,
        **text,
        "url": "https://x/?a=1&b=<2>",
        "image_alt": HOSTILE,
        "locale_alternate": [HOSTILE, "x"],
    }
    twitter = {**RICH_TWITTER, **text, "site": "@a&b", "creator": HOSTILE}
    return shaped(
        **text,
        canonical='https://x/?a=1&b="2"',
        robots="index,follow",
        og=og,
        twitter=twitter,
        schema_jsonld=HOSTILE_JSONLD,
    )


TAG_NAMES = {
    "image_width": "image:width",
    "image_height": "image:height",
    "image_alt": "image:alt",
    "locale_alternate": "locale:alternate",
}


def _expected_meta(payload):
    """(property, content) pairs of the og: and twitter: tags, in field order."""
    og_tags = []
    for key, value in payload.og.to_dict().items():
        for item in value if isinstance(value, list) else [value]:
            og_tags.append((f"og:{TAG_NAMES.get(key, key)}", str(item)))
    twitter = payload.twitter.to_dict().items()
    twitter_tags = [(f"twitter:{TAG_NAMES.get(key, key)}", value) for key, value in twitter]
    return og_tags, twitter_tags


def _document(payload):
    head = payload.render_html()
    return f"<!DOCTYPE html><html><head>\n{head}</head><body><p>body</p></body></html>"


def test_html5lib_reads_back_every_value():
    html5lib = pytest.importorskip("html5lib")
    payload = hostile()
    root = html5lib.parse(_document(payload), treebuilder="etree", namespaceHTMLElements=False)
    head, body = root.find("head"), root.find("body")
    # Nothing escaped the head, and the body is the document's own.
    assert [element.tag for element in body] == ["p"]
    tags = [element.tag for element in head]
    og_tags, twitter_tags = _expected_meta(payload)
    assert tags == [
        "title",
        "meta",
        "link",
        "meta",
        *["meta"] * (len(og_tags) + len(twitter_tags)),
        "script",
    ]
    assert head.find("title").text == payload.title
    assert head.find("link").attrib == {"rel": "canonical", "href": payload.canonical}
    metas = head.findall("meta")
    assert metas[0].attrib == {"name": "description", "content": payload.description}
    assert metas[1].attrib == {"name": "robots", "content": payload.robots}
    assert [(m.get("property"), m.get("content")) for m in metas[2 : 2 + len(og_tags)]] == og_tags
    assert [(m.get("name"), m.get("content")) for m in metas[2 + len(og_tags) :]] == twitter_tags
    script = head.find("script")
    assert script.get("type") == "application/ld+json"
    assert json.loads(script.text) == payload.schema_jsonld == HOSTILE_JSONLD


def test_extruct_reads_back_opengraph_and_jsonld():
    extruct = pytest.importorskip("extruct")
    payload = hostile()
    data = extruct.extract(_document(payload), syntaxes=["json-ld", "opengraph"], uniform=False)
    assert data["json-ld"] == [HOSTILE_JSONLD]
    og_tags, _ = _expected_meta(payload)
    assert [
        properties for item in data["opengraph"] for properties in item["properties"]
    ] == og_tags
