"""SEOPayload as a read-only mapping, its comparisons, and the og/twitter views."""

from collections.abc import Hashable

import pytest

from payload_support import MINIMAL, RICH_OG, RICH_TWITTER, config, shaped
from zoret import (
    Breadcrumb,
    OGPayload,
    SEOEntity,
    SEOIssue,
    SEOOverrides,
    SEOPayload,
    TwitterPayload,
    build_seo_payload,
)

BASE_KEYS = ["canonical", "description", "og", "robots", "title", "twitter"]
JSONLD = {"@type": "Thing", "n": 1}


@pytest.mark.parametrize(
    ("fields", "keys"),
    [
        ({}, BASE_KEYS),
        ({"schema_jsonld": None}, BASE_KEYS),
        ({"schema_jsonld": JSONLD}, [*BASE_KEYS[:4], "schema_jsonld", *BASE_KEYS[4:]]),
        ({"custom": 1}, ["canonical", "custom", *BASE_KEYS[1:]]),
        (
            {"custom": 1, "schema_jsonld": JSONLD, "zz": [None]},
            sorted([*BASE_KEYS, "custom", "schema_jsonld", "zz"]),
        ),
    ],
)
def test_mapping_protocol_follows_the_sorted_dictionary(fields, keys):
    payload = shaped(**fields)
    data = payload.to_dict()
    assert list(data) == keys
    assert payload.keys() == keys
    assert list(payload) == keys
    assert len(payload) == len(keys)
    for key in keys:
        assert key in payload
        assert payload[key] == data[key]
        assert payload.get(key) == data[key]
    assert payload["og"] == {"type": "website"}
    assert type(payload["og"]) is dict


def test_missing_key():
    payload = shaped()
    assert "schema_jsonld" not in payload
    with pytest.raises(KeyError) as info:
        payload["schema_jsonld"]
    assert info.value.args == ("schema_jsonld",)
    assert payload.get("schema_jsonld") is None
    assert payload.get("schema_jsonld", 5) == 5
    assert payload.get(key="schema_jsonld", default=[]) == []
    assert payload.schema_jsonld is None


@pytest.mark.parametrize(
    ("use", "message"),
    [
        (lambda p: 5 in p, "'int' object cannot be converted to 'str'"),
        (lambda p: p[5], "'int' object cannot be converted to 'str'"),
        (lambda p: p[b"title"], "'bytes' object cannot be converted to 'str'"),
        (lambda p: p.get(None), "'NoneType' object cannot be converted to 'str'"),
    ],
)
def test_keys_must_be_str(use, message):
    with pytest.raises(TypeError) as info:
        use(shaped())
    assert str(info.value) == message
    assert info.value.__notes__ == ["while processing 'key'"]


def test_dictionary_views_are_new_objects():
    payload = shaped(schema_jsonld={"list": [1]})
    first = payload.to_dict()
    first["og"]["type"] = "changed"
    first["schema_jsonld"]["list"].append(2)
    payload["og"]["type"] = "changed"
    payload.keys().append("x")
    assert payload.to_dict() is not payload.to_dict()
    assert payload["og"] == {"type": "website"}
    assert payload.schema_jsonld == {"list": [1]}
    assert len(payload) == 7


class _DictSubclass(dict):
    pass


@pytest.mark.parametrize(
    ("other", "equal"),
    [
        ({**MINIMAL}, True),
        (_DictSubclass(MINIMAL), True),
        ({**MINIMAL, "title": "U"}, False),
        ({**MINIMAL, "schema_jsonld": None}, False),
        ({}, False),
        (5, False),
        ("T", False),
        (None, False),
        (list(MINIMAL.items()), False),
    ],
)
def test_equality_with_other_objects(other, equal):
    payload = shaped()
    assert (payload == other) is equal
    assert (payload != other) is not equal
    assert (other == payload) is equal


def test_payload_equals_its_own_dict_and_an_equal_build():
    payload = shaped(schema_jsonld=JSONLD, custom=[1.5])
    assert payload == payload.to_dict()
    assert payload == shaped(schema_jsonld=JSONLD, custom=[1.5])
    assert payload != shaped(schema_jsonld=JSONLD, custom=[1.25])


def test_json_numbers_compare_exactly_between_payloads_but_not_against_dicts():
    entity = SEOEntity("page")
    one = build_seo_payload(entity, "/", config(), SEOOverrides(schema_jsonld={"n": 1}))
    one_float = build_seo_payload(entity, "/", config(), SEOOverrides(schema_jsonld={"n": 1.0}))
    assert one != one_float
    assert not one == one_float
    assert one == one_float.to_dict()
    assert one_float == one.to_dict()


def test_dict_comparison_errors_propagate():
    class Boom:
        def __eq__(self, other):
            raise RuntimeError("boom")

    with pytest.raises(RuntimeError, match=r"^boom$"):
        shaped() == {**MINIMAL, "title": Boom()}  # noqa: B015  (the comparison is the test)


@pytest.mark.parametrize("other", ["self", {}, 5])
def test_ordering_is_refused(other):
    payload = shaped()
    other = payload if other == "self" else other
    for compare in (
        lambda: payload < other,
        lambda: payload <= other,
        lambda: payload > other,
        lambda: payload >= other,
    ):
        with pytest.raises(TypeError):
            compare()


def test_unhashable_and_read_only():
    payload = shaped()
    assert not isinstance(payload, Hashable)
    with pytest.raises(TypeError):
        hash(payload)
    with pytest.raises(AttributeError):
        payload.title = "U"


@pytest.mark.parametrize(
    ("name", "cls", "data"),
    [
        ("og", OGPayload, RICH_OG),
        ("og", OGPayload, {"type": "website", "image_height": 0, "locale_alternate": []}),
        ("twitter", TwitterPayload, RICH_TWITTER),
        ("twitter", TwitterPayload, {"card": "summary", "site": ""}),
    ],
)
def test_og_and_twitter_views(name, cls, data):
    payload = shaped(**{name: data})
    first, second = getattr(payload, name), getattr(payload, name)
    assert type(first).__name__ == cls.__name__
    assert first is not second
    # No equality of their own: their dictionaries are what compares.
    assert first != second
    assert first.to_dict() == second.to_dict() == payload[name]
    # The object's dictionary keeps declaration order, the payload's is sorted.
    assert list(first.to_dict()) == list(data)
    assert list(payload[name]) == sorted(data)
    for field in RICH_OG if name == "og" else RICH_TWITTER:
        assert getattr(first, field) == data.get(field)
    assert first.to_dict() is not first.to_dict()


def test_built_payload_without_image_has_no_image_keys():
    payload = build_seo_payload(SEOEntity("post", title="T"), "/p", config())
    assert payload.og.image is None
    assert payload.og.image_width is None
    assert set(payload["og"]) == {"title", "type", "url"}
    assert set(payload["twitter"]) == {"card", "title"}


def test_deepest_reachable_jsonld_converts():
    # The JSON parser reads at most 127 levels, so the deepest JSON-LD a build can
    # make is a 127-level override wrapped with the breadcrumb list into an array:
    # 128 levels, which is within the 128 levels allowed on the way to Python. The
    # "too deeply nested" ValueError of to_dict and the None of schema_jsonld for
    # deeper values cannot be reached from Python.
    nested = {}
    for _ in range(126):
        nested = {"a": nested}
    entity = SEOEntity("page", breadcrumbs=[Breadcrumb("Home", "/")])
    payload = build_seo_payload(entity, "/", config(), SEOOverrides(schema_jsonld=nested))
    assert payload.schema_jsonld[0] == nested
    assert payload.to_dict()["schema_jsonld"][0] == nested
    assert payload == payload.to_dict()


@pytest.mark.parametrize("cls", [SEOPayload, OGPayload, TwitterPayload, SEOIssue])
def test_not_constructible(cls):
    with pytest.raises(TypeError):
        cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
