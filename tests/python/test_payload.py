"""SEOPayload as a read-only mapping, its comparisons, and the og/twitter views."""

import operator
from collections.abc import Hashable

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from payload_support import MINIMAL, RICH_OG, RICH_TWITTER, config, shaped
from zoret import Breadcrumb, OGPayload, SEOEntity, SEOOverrides, TwitterPayload, build_seo_payload

JSONLD = {"@type": "Thing", "n": 1}


@pytest.mark.parametrize(
    ("extra", "keys"),
    [
        ({"custom": 1, "zz": [None]}, "canonical custom description og robots title twitter zz"),
        ({"s": 1, "sz": 2, "schema_jsonld": JSONLD}, "canonical description og robots s schema_jsonld sz title twitter"),
    ],
)  # fmt: skip
def test_mapping_protocol_follows_the_sorted_dictionary(extra, keys):
    payload, keys = shaped(**extra), keys.split()
    data = payload.to_dict()
    assert list(data) == payload.keys() == list(payload) == keys and len(payload) == len(keys)
    for key in keys:
        assert key in payload
        assert payload[key] == payload.get(key) == data[key]
    assert payload["og"] == {"type": "website"} and type(payload["og"]) is dict


def test_missing_and_non_str_keys():
    payload = shaped()
    assert "schema_jsonld" not in payload
    with pytest.raises(KeyError) as info:
        payload["schema_jsonld"]
    assert info.value.args == ("schema_jsonld",)
    assert payload.get("schema_jsonld") is None and payload.schema_jsonld is None
    assert payload.get(key="schema_jsonld", default=[]) == []
    uses = [(lambda: 5 in payload, "int"), (lambda: payload[b"title"], "bytes")]
    for use, name in [*uses, (lambda: payload.get(None), "NoneType")]:
        with pytest.raises(TypeError) as info:
            use()
        assert str(info.value) == f"'{name}' object cannot be converted to 'str'"
        assert info.value.__notes__ == ["while processing 'key'"]


@pytest.mark.parametrize(("other", "equal"), [
    (type("DictSubclass", (dict,), {})(MINIMAL), True),
    ({**MINIMAL, "schema_jsonld": None}, False),
    (list(MINIMAL.items()), False),
])  # fmt: skip
def test_equality_with_other_objects(other, equal):
    payload = shaped()
    assert (payload == other) is equal
    assert (payload != other) is not equal
    assert (other == payload) is equal


def test_comparisons_hash_and_assignment():
    payload = shaped(schema_jsonld=JSONLD, custom=[1.5])
    assert payload == payload.to_dict() and payload == shaped(schema_jsonld=JSONLD, custom=[1.5])
    # JSON numbers compare exactly between payloads, but as Python values against dicts.
    one, one_float = shaped(schema_jsonld={"n": 1}), shaped(schema_jsonld={"n": 1.0})
    assert one != one_float and not one == one_float
    assert one == one_float.to_dict() and one_float == one.to_dict()
    boom = type("Boom", (), {"__eq__": lambda self, other: 1 / 0})()
    with pytest.raises(ZeroDivisionError):
        shaped() == {**MINIMAL, "title": boom}  # noqa: B015  (the comparison is the test)
    for other in (payload, {}, 5):
        for compare in (operator.lt, operator.le, operator.gt, operator.ge):
            with pytest.raises(TypeError):
                compare(payload, other)
    assert not isinstance(payload, Hashable)  # so hash() raises TypeError
    with pytest.raises(AttributeError):
        payload.title = "U"


@pytest.mark.parametrize(("name", "cls", "data"), [
    ("og", OGPayload, RICH_OG),
    ("og", OGPayload, {"type": "website", "image_height": 0, "locale_alternate": []}),
    ("twitter", TwitterPayload, RICH_TWITTER),
])  # fmt: skip
def test_og_and_twitter_views(name, cls, data):
    payload = shaped(**{name: data})
    first, second = getattr(payload, name), getattr(payload, name)
    assert type(first).__name__ == cls.__name__
    # No equality of their own: their dictionaries are what compares.
    assert first is not second and first != second
    assert first.to_dict() == second.to_dict() == payload[name]
    # The object's dictionary keeps declaration order, the payload's is sorted.
    assert list(first.to_dict()) == list(data) and list(payload[name]) == sorted(data)
    for field in RICH_OG if name == "og" else RICH_TWITTER:
        assert getattr(first, field) == data.get(field)


def test_deepest_reachable_jsonld_converts():
    # The parser reads 127 levels; wrapped with the breadcrumbs, 128 is the deepest possible.
    nested = {}
    for _ in range(126):
        nested = {"a": nested}
    entity = SEOEntity("page", breadcrumbs=[Breadcrumb("Home", "/")])
    payload = build_seo_payload(entity, "/", config(), SEOOverrides(schema_jsonld=nested))
    assert payload.schema_jsonld[0] == payload.to_dict()["schema_jsonld"][0] == nested
    assert payload == payload.to_dict()


class Key(str):
    """A str subclass: looked up through the dictionary itself, not member by member."""


names = st.sampled_from(
    ["title", "og", "twitter", "schema_jsonld", "canonical", "s", "zz", "\ud800"]
)
values = st.recursive(
    st.none() | st.booleans() | st.integers() | st.text(max_size=5),
    lambda inner: (
        st.lists(inner, max_size=3) | st.dictionaries(st.text(max_size=3), inner, max_size=3)
    ),
    max_leaves=8,
)
# Keys beside the required members; "schema_jsonld" takes any JSON value (null: absent).
extra_keys = (st.sampled_from(["schema_jsonld", "s", "zz", "é"]) | st.text(max_size=4)).filter(
    lambda key: key not in MINIMAL
)
extras = st.dictionaries(extra_keys, values, max_size=4)


@settings(max_examples=150)
@given(extras, st.lists(names | st.text(max_size=4), max_size=4))
def test_single_key_access_agrees_with_to_dict(extra, probes):
    payload = shaped(**extra)
    data = payload.to_dict()
    assert payload.keys() == list(payload) == list(data) and len(payload) == len(data)
    for key in [*data, *probes]:
        for probe in (key, Key(key)):
            assert (probe in payload) == (probe in data)
            assert payload.get(probe, "-") == data.get(probe, "-")
            if probe in data:
                assert payload[probe] == data[probe] and type(payload[probe]) is type(data[probe])
            else:
                with pytest.raises(KeyError) as info:
                    payload[probe]
                assert info.value.args == (probe,) and info.value.args[0] is probe


def test_single_key_access_on_the_deepest_jsonld_and_fresh_values():
    nested = {}
    for _ in range(126):
        nested = {"a": nested}
    entity = SEOEntity("page", breadcrumbs=[Breadcrumb("Home", "/")])
    payload = build_seo_payload(entity, "/", config(), SEOOverrides(schema_jsonld=nested))
    assert payload["schema_jsonld"] == payload.to_dict()["schema_jsonld"]
    # Every access gives new dicts and lists: changing what one returned changes nothing,
    # before the dictionary form is kept (second to_dict()) and after.
    for _ in range(3):
        payload["og"]["type"] = "changed"
        payload["schema_jsonld"].clear()
        data = payload.to_dict()
        assert payload["og"]["type"] == "website" and payload["schema_jsonld"][0] == nested
        assert data == payload.to_dict() and data is not payload.to_dict()
        data["schema_jsonld"][0]["a"].clear()
        data["schema_jsonld"][1]["itemListElement"].append(None)
        data["og"]["url"] = None
        assert payload == payload.to_dict() and payload.to_dict()["schema_jsonld"][0] == nested
