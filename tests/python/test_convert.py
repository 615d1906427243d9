"""Python values <-> JSON values, observed through overrides, registries and hooks."""

import json

import pytest

from payload_support import MINIMAL, Hooks, Registry, config
from zoret import SEOEntity, SEOOverrides, build_seo_payload

ARTICLE = SEOEntity("post", title="Hello")


def nested(levels):
    return json.loads("[" * levels + "]" * levels)


def through(route, value, registered=True):
    hooks = Hooks(lambda _: {**MINIMAL, "schema_jsonld": value}) if route == "hook" else None
    registry = Registry(value, registered) if route == "registry" else None
    overrides = SEOOverrides(schema_jsonld=value) if route == "overrides" else None
    return build_seo_payload(ARTICLE, "/", config(hooks=hooks, schema_registry=registry), overrides)


VALUES = [
    (2**64 - 1, 2**64 - 1), (2**63, 2**63), (2**63 - 1, 2**63 - 1), (-(2**63), -(2**63)),
    (-(2**63) - 1, -9.223372036854776e18), (2**64, 1.8446744073709552e19),
    ([1, True, 1.0, None], [1, True, 1.0, None]), ((1, "a"), [1, "a"]),
    ({"b": 1, "a": 2, "B": 3}, {"B": 3, "a": 2, "b": 1}), ({1: "a", "1": "b"}, {"1": "b"}),
    ({"1": "b", 1: "a"}, {"1": "a"}), ({None: 1, True: 2, 1.5: 3}, {"1.5": 3, "null": 1, "true": 2}),
    ({"s": "é 東京 \x00 \ud7ff \U0001f600"}, {"s": "é 東京 \x00 \ud7ff \U0001f600"}),
]  # fmt: skip
UNREADABLE = [{"v": nested(127)}, float("inf"), {"v": 10**400}, {"v": "\ud800"}]


@pytest.mark.parametrize("route", ["overrides", "registry", "hook"])
@pytest.mark.parametrize(("value", "expected"), VALUES)
def test_values_round_trip(route, value, expected):
    # Wrapped in the one shape a registry sees; repr tells int, float and bool apart.
    payload = through(route, {"v": value})
    assert repr(payload.schema_jsonld["v"]) == repr(expected)
    payload.schema_jsonld["v"] = None  # what is read back is a new object each time
    assert repr(payload.schema_jsonld["v"]) == repr(expected)


def test_nesting_limits():
    assert through("overrides", {"v": nested(126)}).schema_jsonld == {"v": nested(126)}
    assert through("registry", {"v": nested(125)}).schema_jsonld == {"v": nested(125)}
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column 128$"):
        through("registry", nested(128))
    assert through("hook", nested(126)).schema_jsonld == nested(126)  # + the hook's dict
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column \d+$"):
        through("hook", nested(127))


@pytest.mark.parametrize("value", UNREADABLE)
def test_overrides_turn_what_cannot_be_read_into_null(value):
    # The override holds null, which is no JSON-LD: the payload has none.
    payload = through("overrides", value)
    assert "schema_jsonld" not in payload and payload.schema_jsonld is None
    assert "schema_jsonld" not in payload.to_dict()


CONVERSION_ERRORS = [
    ({"v": b"x"}, TypeError, r"^Object of type bytes is not JSON serializable$"),
    ({(1,): 1}, TypeError, r"^keys must be str, int, float, bool or None, not tuple$"),
    ({"v": float("inf")}, ValueError, r"^expected value at line 1 column \d+$"),
    ({"v": 10**400}, ValueError, r"^number out of range at line 1 column \d+$"),
]


@pytest.mark.parametrize("route", ["registry", "hook"])
@pytest.mark.parametrize(("value", "exc", "message"), CONVERSION_ERRORS)
def test_conversion_errors_pass_through_without_a_note(route, value, exc, message):
    with pytest.raises(exc, match=message) as info:
        through(route, value)
    assert not getattr(info.value, "__notes__", None)


def test_numpy_bool_is_a_bool():
    np = pytest.importorskip("numpy")
    payload = build_seo_payload(ARTICLE, "/", config(), SEOOverrides(omit_schema=np.bool_(True)))
    assert "schema_jsonld" not in payload
    plain = config(auto_generate_schema=np.False_, emit_warnings=np.bool_(False))
    assert "schema_jsonld" not in build_seo_payload(ARTICLE, "/", plain)
    # A registry may answer `has` with numpy's bool, but not with an int.
    generated = {"@type": "Generated"}
    assert through("registry", generated, np.True_).schema_jsonld == generated
    assert through("registry", generated, np.False_).schema_jsonld["@type"] == "Article"
    with pytest.raises(TypeError, match=r"^'int' object cannot be converted to 'bool'$"):
        through("registry", generated, 1)
