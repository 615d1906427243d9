"""Python values <-> JSON values, observed through overrides, registries and hooks."""

import pytest

from payload_support import MINIMAL, Hooks, Registry, config
from zoret import SEOEntity, SEOOverrides, build_seo_payload

ARTICLE = SEOEntity("post", title="Hello")


def nested(levels):
    value = []
    for _ in range(levels - 1):
        value = [value]
    return value


def through_overrides(value):
    return build_seo_payload(ARTICLE, "/", config(), SEOOverrides(schema_jsonld=value))


def through_registry(value):
    return build_seo_payload(ARTICLE, "/", config(schema_registry=Registry(value)))


def through_hook(value):
    return build_seo_payload(
        ARTICLE, "/", config(hooks=Hooks(lambda _: {**MINIMAL, "schema_jsonld": value}))
    )


ROUTES = [through_overrides, through_registry, through_hook]


@pytest.mark.parametrize("route", ROUTES)
@pytest.mark.parametrize(
    ("value", "expected"),
    [
        (2**64 - 1, 2**64 - 1),
        (2**63, 2**63),
        (2**63 - 1, 2**63 - 1),
        (-(2**63), -(2**63)),
        (-(2**63) - 1, -9.223372036854776e18),
        (2**64, 1.8446744073709552e19),
        (1.0, 1.0),
        (0, 0),
        (True, True),
        (False, False),
        (None, None),
        ([1, True, 1.0], [1, True, 1.0]),
        ((1, "a"), [1, "a"]),
        ({"b": 1, "a": 2, "B": 3}, {"B": 3, "a": 2, "b": 1}),
        ({1: "a", "1": "b"}, {"1": "b"}),
        ({"1": "b", 1: "a"}, {"1": "a"}),
        ({None: 1, True: 2, 1.5: 3}, {"1.5": 3, "null": 1, "true": 2}),
        ({"s": "é 東京 \x00 \ud7ff \U0001f600"}, {"s": "é 東京 \x00 \ud7ff \U0001f600"}),
    ],
)
def test_values_round_trip(route, value, expected):
    # The registry only sees single objects, so wrap every value in one.
    got = route({"v": value}).schema_jsonld["v"]
    # repr tells int from float from bool and shows the key order.
    assert repr(got) == repr(expected)


@pytest.mark.parametrize("route", ROUTES)
def test_jsonld_read_back_is_a_new_object(route):
    payload = route({"@type": "X", "list": [1]})
    payload.schema_jsonld["list"].append(2)
    assert payload.schema_jsonld == {"@type": "X", "list": [1]}


@pytest.mark.parametrize(
    ("levels", "converts"), [(2, True), (127, True), (128, False), (400, False)]
)
def test_override_nesting_limit_gives_null(levels, converts):
    value = {"v": nested(levels - 1)}
    payload = through_overrides(value)
    assert "schema_jsonld" in payload
    assert payload.schema_jsonld == (value if converts else None)
    assert payload.to_dict()["schema_jsonld"] == payload.schema_jsonld


@pytest.mark.parametrize("levels", [128, 129, 400])
def test_registry_nesting_limit_raises(levels):
    with pytest.raises(ValueError) as info:
        through_registry(nested(levels))
    assert info.value.args == ("recursion limit exceeded at line 1 column 128",)
    assert through_registry({"v": nested(125)}).schema_jsonld == {"v": nested(125)}


def test_hook_nesting_counts_the_payload_dictionary():
    # The hook's whole dictionary is one more level than its JSON-LD.
    assert through_hook(nested(126)).schema_jsonld == nested(126)
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column \d+$"):
        through_hook(nested(127))


@pytest.mark.parametrize("route", [through_registry, through_hook])
@pytest.mark.parametrize(
    ("value", "exc", "message"),
    [
        ({"v": b"x"}, TypeError, "Object of type bytes is not JSON serializable"),
        ({"v": {1}}, TypeError, "Object of type set is not JSON serializable"),
        ({(1,): 1}, TypeError, "keys must be str, int, float, bool or None, not tuple"),
        ({"v": float("inf")}, ValueError, None),
        ({"v": 10**400}, ValueError, None),
    ],
)
def test_conversion_errors_pass_through_without_a_note(route, value, exc, message):
    with pytest.raises(exc) as info:
        route(value)
    if message is None:
        assert str(info.value).startswith(
            ("expected value at line 1 column ", "number out of range at line 1")
        )
    else:
        assert str(info.value) == message
    assert not getattr(info.value, "__notes__", None)


def test_overrides_turn_unparsable_text_into_null():
    for value in (float("inf"), {"v": 10**400}, {"v": "\ud800"}):
        payload = through_overrides(value)
        assert "schema_jsonld" in payload and payload.schema_jsonld is None


def test_numpy_bool_is_a_bool():
    np = pytest.importorskip("numpy")
    payload = build_seo_payload(ARTICLE, "/", config(), SEOOverrides(omit_schema=np.bool_(True)))
    assert "schema_jsonld" not in payload
    plain = config(auto_generate_schema=np.False_, emit_warnings=np.bool_(False))
    assert "schema_jsonld" not in build_seo_payload(ARTICLE, "/", plain)
    # A registry may answer `has` with numpy's bool, but not with an int.
    generated = {"@type": "Generated"}
    assert through_registry_answering(np.True_, generated).schema_jsonld == generated
    assert through_registry_answering(np.False_, generated).schema_jsonld["@type"] == "Article"
    with pytest.raises(TypeError, match=r"^'int' object cannot be converted to 'bool'$"):
        through_registry_answering(1, generated)
    with pytest.raises(TypeError) as info:
        SEOOverrides(omit_schema=1)
    assert str(info.value) == "'int' object cannot be converted to 'bool'"
    assert info.value.__notes__ == ["while processing 'omit_schema'"]


def through_registry_answering(answer, value):
    return build_seo_payload(
        ARTICLE, "/", config(schema_registry=Registry(value, registered=answer))
    )
