"""One definition of the entity and overrides forms: zoret.forms (dictionaries, Python) and
the manifest reader of the command line (JSON lines, the core) accept the same values, make
the same records and word their refusals alike."""

import json

import pytest
from hypothesis import given
from hypothesis import strategies as st

import zoret
from zoret import _zoret_site as site
from zoret import forms

SITE = zoret.SEOConfig("example.com", "https://example.com", title_template="{title} | Ex")
ENTITY = zoret.SEOEntity("post", title="T")


def through_forms(kind, text):
    data = json.loads(text)
    try:
        if kind == "entity":
            return forms.entity_from_dict(data).to_dict()
        overrides = forms.overrides_from_dict(data)
    except forms.FormError as exc:
        return f"refused: {exc}"
    try:
        return zoret.build_seo_payload(ENTITY, "/p", SITE, overrides).to_dict()
    except zoret.ZoretError as exc:
        return f"build: {exc}"


def through_manifest(kind, text):
    entity = text if kind == "entity" else '{"entity_type": "post", "title": "T"}'
    line = f'{{"route": "/p", "entity": {entity}' + (f', "overrides": {text}}}' if kind == "overrides" else "}")  # fmt: skip
    try:
        _, entity_record, overrides = site.read_manifest_line(line)
    except ValueError as exc:
        return f"refused: {str(exc).removeprefix(f'{kind}: ')}"
    if kind == "entity":
        return entity_record.to_dict()
    try:
        return zoret.build_seo_payload(entity_record, "/p", SITE, overrides).to_dict()
    except zoret.ZoretError as exc:
        return f"build: {exc}"


FORMS = [
    ("entity", '{"entity_type": "post", "title": "Hello", "same_as": [], "breadcrumbs": null}'),
    ("entity", '{"entity_type": "faq", "faq_items": [{"question": "Q?", "answer": "A."}], "slug": "\\u0000"}'),
    ("entity", '{"entity_type": "post", "featured_image": "/i.png", "title": "a", "title": "b"}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i.png", "width": true, "height": 0, "alt": null}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i.png", "width": 4294967295}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i.png", "width": 4294967296}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i.png", "height": -1}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i.png", "height": 1.0}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": null}}'),
    ("entity", '{"entity_type": "post", "featured_image": {"src": "/i.png"}}'),
    ("entity", '{"entity_type": "post", "featured_image": 3}'),
    ("entity", '{"entity_type": "post", "breadcrumbs": [{"name": "Home", "url": "/"}, {"name": "B"}]}'),
    ("entity", '{"entity_type": "post", "breadcrumbs": [{}]}'),
    ("entity", '{"entity_type": "post", "breadcrumbs": ["Home"]}'),
    ("entity", '{"entity_type": "post", "breadcrumbs": {"name": "Home"}}'),
    ("entity", '{"entity_type": "post", "same_as": "https://x"}'),
    ("entity", '{"entity_type": "post", "same_as": ["https://x", 3]}'),
    ("entity", '{"entity_type": "post", "same_as": 3.5}'),
    ("entity", '{"entity_type": "local_business", "address": ["1 Street"]}'),
    ("entity", '{"entity_type": "Post"}'),
    ("entity", '{"entity_type": null}'),
    ("entity", '{"title": "no type"}'),
    ("entity", '{"entity_type": "post", "titel": "typo", "title": 3}'),
    ("entity", '{"entity_type": "pots", "title": 3}'),
    ("entity", '[]'),
    ("entity", '"post"'),
    ("overrides", '{}'),
    ("overrides", '{"meta_title": "M", "robots": {"index": false, "max_snippet": -1, "max_image_preview": "large"}}'),
    ("overrides", '{"og_image": {"url": "/o.png", "width": 10}, "twitter_image": "/t.png", "skip_title_template": true}'),
    ("overrides", '{"schema_jsonld": {"@type": "Thing", "n": [1, 1.5, -2, null]}, "omit_schema": false}'),
    ("overrides", '{"schema_jsonld": null, "canonical_path": "/c", "og_audio": "/a", "og_video": "/v"}'),
    ("overrides", '{"canonical_url": "not a url"}'),
    ("overrides", '{"robots": {"index": 0}}'),
    ("overrides", '{"robots": {"max_snippet": 2147483648}}'),
    ("overrides", '{"robots": {"max_video_preview": true, "follow": null}}'),
    ("overrides", '{"robots": {"noindex": true}}'),
    ("overrides", '{"robots": "noindex"}'),
    ("overrides", '{"omit_schema": null}'),
    ("overrides", '{"omit_schema": "yes"}'),
    ("overrides", '{"og_image": []}'),
    ("overrides", '{"twitter_image": {"alt": "no url"}}'),
    ("overrides", '{"meta_titel": "x"}'),
    ("overrides", '[{}]'),
]  # fmt: skip


@pytest.mark.parametrize(("kind", "text"), FORMS, ids=[f"{k}:{t[:40]}" for k, t in FORMS])
def test_both_readers_agree(kind, text):
    assert through_manifest(kind, text) == through_forms(kind, text)


# Where the JSON itself decides: the core's parser refuses lone surrogates in escapes (no
# UTF-8 can hold them) and reads integers beyond 64 bits as doubles; the forms see a str
# that cannot be encoded and a Python int. Both refuse.
@pytest.mark.parametrize(("kind", "text"), [
    ("entity", '{"entity_type": "post", "title": "\\ud800"}'),
    ("entity", '{"entity_type": "post", "featured_image": "\\udfff"}'),
    ("entity", '{"entity_type": "post", "featured_image": {"url": "/i", "width": 100000000000000000000}}'),
])  # fmt: skip
def test_both_readers_refuse_what_json_holds_differently(kind, text):
    assert through_manifest(kind, text).startswith("refused: ")
    assert through_forms(kind, text).startswith("refused: ")


SCALARS = st.one_of(
    st.none(), st.booleans(), st.integers(-(2**33), 2**33), st.floats(allow_nan=False, allow_infinity=False),
    st.text(st.characters(exclude_categories=["Cs"]), max_size=4), st.sampled_from(["post", "page", "/x.png"]),
)  # fmt: skip
IMAGE = st.dictionaries(st.sampled_from(["url", "width", "height", "alt", "src"]), SCALARS, max_size=4)  # fmt: skip
PAIR = st.dictionaries(st.sampled_from(["name", "url", "question", "answer", "x"]), SCALARS, max_size=3)  # fmt: skip
VALUES = st.one_of(SCALARS, IMAGE, st.lists(st.one_of(SCALARS, PAIR), max_size=3))
ENTITY_KEYS = ["entity_type", "title", "slug", "featured_image", "breadcrumbs", "faq_items", "same_as", "sku", "titel"]  # fmt: skip
OVERRIDE_KEYS = ["meta_title", "robots", "og_image", "twitter_image", "omit_schema", "schema_jsonld", "x"]  # fmt: skip
ROBOTS = st.dictionaries(st.sampled_from(["index", "follow", "max_snippet", "max_image_preview", "x"]), SCALARS)  # fmt: skip


@given(st.dictionaries(st.sampled_from(ENTITY_KEYS), VALUES, max_size=5))
def test_both_readers_agree_on_generated_entities(data):
    # Sorted keys: the core's JSON objects keep no other order, and with several unknown
    # keys each reader names the first it meets.
    text = json.dumps(data, sort_keys=True)
    assert through_manifest("entity", text) == through_forms("entity", text)


@given(st.dictionaries(st.sampled_from(OVERRIDE_KEYS), st.one_of(VALUES, ROBOTS), max_size=4))
def test_both_readers_agree_on_generated_overrides(data):
    text = json.dumps(data, sort_keys=True)
    assert through_manifest("overrides", text) == through_forms("overrides", text)
