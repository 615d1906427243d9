import pytest

from zoret import Robots, SEOImage, SEOOverrides


def test_every_argument_is_keyword_only_and_accepted_and_opaque():
    overrides = SEOOverrides(
        meta_title="T", meta_description="D", canonical_url="example.com/no-scheme",
        canonical_path="/p", robots=Robots(index=False), og_title="OT", og_description="OD",
        og_image=SEOImage("/og.png"), twitter_card="summary", twitter_title="TT",
        twitter_description="TD", twitter_image=SEOImage("/tw.png"), schema_jsonld={"@type": "Thing"},
        omit_schema=True, skip_title_template=True, twitter_creator="@me", og_audio="/a.mp3", og_video="/v.mp4",
    )  # fmt: skip
    assert type(overrides) is SEOOverrides and not hasattr(overrides, "meta_title")
    with pytest.raises(AttributeError):
        overrides.meta_title = "U"


def circular():
    items = []
    items.append(items)
    return items


@pytest.mark.parametrize(("kwargs", "exc", "message"), [
    ({"schema_jsonld": {1, 2}}, TypeError, "Object of type set is not JSON serializable"),
    ({"schema_jsonld": {(1, 2): "a"}}, TypeError, "keys must be str, int, float, bool or None, not tuple"),
    ({"schema_jsonld": circular()}, ValueError, "Circular reference detected"),
    ({"robots": "noindex"}, TypeError, "'str' object is not an instance of 'Robots'"),
    ({"og_image": Robots()}, TypeError, "'Robots' object is not an instance of 'SEOImage'"),
    ({"omit_schema": 1}, TypeError, "'int' object cannot be converted to 'bool'"),
    ({"skip_title_template": None}, TypeError, "'NoneType' object cannot be converted to 'bool'"),
    ({"og_video": 5}, TypeError, "'int' object cannot be converted to 'str'"),
])  # fmt: skip
def test_conversion_errors_carry_the_note_and_json_dumps_errors_pass_unchanged(
    kwargs, exc, message
):
    with pytest.raises(exc) as info:
        SEOOverrides(**kwargs)
    assert (type(info.value), str(info.value)) == (exc, message)
    name = next(iter(kwargs))
    expected = None if name == "schema_jsonld" else [f"while processing '{name}'"]
    assert getattr(info.value, "__notes__", None) == expected
