import sys

import pytest

from zoret import Robots, SEOImage, SEOOverrides


def test_every_argument_is_keyword_only_and_accepted():
    overrides = SEOOverrides(
        meta_title="T",
        meta_description="D",
        canonical_url="example.com/no-scheme",
        canonical_path="/p",
        robots=Robots(index=False),
        og_title="OT",
        og_description="OD",
        og_image=SEOImage("/og.png"),
        twitter_card="summary",
        twitter_title="TT",
        twitter_description="TD",
        twitter_image=SEOImage("/tw.png"),
        schema_jsonld={"@type": "Thing"},
        omit_schema=True,
        skip_title_template=True,
        twitter_creator="@me",
        og_audio="/a.mp3",
        og_video="/v.mp4",
    )
    assert type(overrides) is SEOOverrides
    with pytest.raises(
        TypeError, match=r"^SEOOverrides\.__new__\(\) takes 0 positional arguments but 1 was given$"
    ):
        SEOOverrides("T")


def test_overrides_are_opaque():
    overrides = SEOOverrides(meta_title="T")
    assert not hasattr(overrides, "meta_title")
    with pytest.raises(AttributeError):
        overrides.meta_title = "U"


def _nested(depth):
    value = []
    for _ in range(depth - 1):
        value = [value]
    return value


# Values that json.dumps accepts are kept even when they are no valid JSON (NaN,
# Infinity, nesting beyond the parser's limit): those become null, without error.
@pytest.mark.parametrize(
    "value",
    [
        {"z": 1, "a": [1, 2.5, None, True]},
        "just text",
        [{"@type": "Thing"}, {"@type": "Other"}],
        float("nan"),
        {"x": [float("inf")]},
        {1: "a", "1": "b"},
        {None: 1, True: 2, 1.5: 3},
        (1, 2),
        2**64,
        _nested(127),
        _nested(128),
        _nested(500),
    ],
)
def test_schema_jsonld_accepts_what_json_dumps_accepts(value):
    SEOOverrides(schema_jsonld=value)


def _circular():
    items = []
    items.append(items)
    return items


@pytest.mark.parametrize(
    ("value", "exc", "message"),
    [
        ({1, 2}, TypeError, "Object of type set is not JSON serializable"),
        (b"bytes", TypeError, "Object of type bytes is not JSON serializable"),
        ({"a": object()}, TypeError, "Object of type object is not JSON serializable"),
        ({(1, 2): "a"}, TypeError, "keys must be str, int, float, bool or None, not tuple"),
        (_circular(), ValueError, "Circular reference detected"),
    ],
)
def test_json_dumps_errors_pass_through_with_the_note(value, exc, message):
    with pytest.raises(exc) as info:
        SEOOverrides(schema_jsonld=value)
    assert str(info.value) == message
    assert info.value.__notes__ == ["while processing 'schema_jsonld'"]


@pytest.mark.parametrize(
    ("kwargs", "message", "note"),
    [
        ({"robots": "noindex"}, "'str' object is not an instance of 'Robots'", "robots"),
        ({"og_image": Robots()}, "'Robots' object is not an instance of 'SEOImage'", "og_image"),
        ({"omit_schema": 1}, "'int' object cannot be converted to 'bool'", "omit_schema"),
        (
            {"skip_title_template": None},
            "'NoneType' object cannot be converted to 'bool'",
            "skip_title_template",
        ),
        ({"og_video": 5}, "'int' object cannot be converted to 'str'", "og_video"),
    ],
)
def test_conversion_errors(kwargs, message, note):
    with pytest.raises(TypeError) as info:
        SEOOverrides(**kwargs)
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


def test_refcounts_stay_flat():
    doc = {"@type": "Thing", "name": "x" * 40}
    image = SEOImage("/og.png")
    before = (sys.getrefcount(doc), sys.getrefcount(image))
    for _ in range(1000):
        SEOOverrides(schema_jsonld=doc, og_image=image, meta_title=doc["name"])
        try:
            SEOOverrides(schema_jsonld={"s": {1}}, og_image=image)
        except TypeError:
            pass
    assert (sys.getrefcount(doc), sys.getrefcount(image)) == before
