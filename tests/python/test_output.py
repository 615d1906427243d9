"""Rendering, JSON text, hash and ETag of a payload; the snippet read by real parsers."""

import json

import pytest
from hypothesis import example, given
from hypothesis import strategies as st

from payload_support import RICH_OG, RICH_TWITTER, shaped


# The exact text is the core suite's; here the blocks compose render_html().
def test_render_methods():
    assert shaped().render_jsonld() == ""
    payload = hostile()
    og, twitter = payload.render_opengraph(), payload.render_twitter()
    jsonld = payload.render_jsonld()
    assert payload.render_html().endswith(f"{og}\n{twitter}\n{jsonld}\n")
    assert og.startswith('<meta property="og:type" content="article">\n')
    assert twitter.startswith('<meta name="twitter:card" content="summary">\n')
    assert jsonld.startswith('<script type="application/ld+json">\n{\n')


HOSTILE = "Q \"quoted\" & 'single' <b>bold</b> </title></head><body>x ünï 東京\nline2 </script><!--<script>"
HOSTILE_JSONLD = {
    "@type": "Article",
    "name": HOSTILE,
    "</script><script>alert(1)</script>": "<!--<script>",
    "list": ["</SCRIPT>", "<!-- -->", "\u2028\u2029", "-->"],
}


def hostile(value=HOSTILE):
    text = {"title": value, "description": value}
    og = {
        **RICH_OG,
        **text,
        "url": "https://x/?a=1&b=<2>",
        "image_alt": value,
        "locale_alternate": [value, "x"],
    }
    twitter = {**RICH_TWITTER, **text, "site": "@a&b", "creator": value}
    site = {"canonical": f"https://x/?a=1&b={value}", "robots": "index,follow"}
    return shaped(**text, **site, og=og, twitter=twitter, schema_jsonld=HOSTILE_JSONLD)


TAG_NAMES = {"image_width": "image:width", "image_height": "image:height",
             "image_alt": "image:alt", "locale_alternate": "locale:alternate"}  # fmt: skip


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


# An HTML parser turns a carriage return into a line feed and NUL into U+FFFD before
# it reads a character reference, so no escaping could carry those two through.
@given(
    st.text(st.characters(blacklist_categories=["Cs"], blacklist_characters="\r\x00"), min_size=1)
)
@example(HOSTILE)
def test_html5lib_reads_back_every_value(value):
    html5lib = pytest.importorskip("html5lib")
    payload = hostile(value)
    root = html5lib.parse(_document(payload), treebuilder="etree", namespaceHTMLElements=False)
    head, body = root.find("head"), root.find("body")
    # Nothing escaped the head, and the body is the document's own.
    assert [element.tag for element in body] == ["p"]
    tags = [element.tag for element in head]
    og_tags, twitter_tags = _expected_meta(payload)
    tag_count = len(og_tags) + len(twitter_tags)
    assert tags == ["title", "meta", "link", "meta", *["meta"] * tag_count, "script"]
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
    assert [properties for item in data["opengraph"] for properties in item["properties"]] == og_tags  # fmt: skip
