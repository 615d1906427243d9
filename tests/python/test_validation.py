"""validate_payload findings and the SEOIssue objects that carry them."""

import pytest

from payload_support import shaped
from zoret import validate_payload

URL = "https://x/p"
CLEAN = {
    "title": "A good title",
    "description": "A good description.",
    "canonical": URL,
    "robots": "index,follow",
    "og": {"type": "website", "image": "https://x/i.png"},
}


def finding(rule_id, message, **details):
    return (rule_id, message, details)


@pytest.mark.parametrize(
    ("fields", "expected"),
    [
        ({}, []),
        (
            {"title": "Untitled", "description": "", "canonical": "/p", "og": {"type": "website"}},
            [
                finding("ZORET101", "Title is missing or default"),
                finding("ZORET103", "Meta description is missing"),
                finding("ZORET105", "Canonical URL is not absolute"),
                finding("ZORET108", "OG image is missing; set default_og_image or an entity image"),
            ],
        ),
        ({"title": ""}, [finding("ZORET101", "Title is missing or default")]),
        ({"title": "Untitled | Site"}, []),
        ({"title": "x" * 60}, []),
        (
            {"title": "x" * 61},
            [finding("ZORET102", "Title is 61 characters (recommended max 60)", length=61)],
        ),
        ({"title": "é" * 40}, []),
        (
            {"title": "東" * 61},
            [finding("ZORET102", "Title is 61 characters (recommended max 60)", length=61)],
        ),
        ({"description": "d" * 160}, []),
        (
            {"description": "d" * 161},
            [
                finding(
                    "ZORET104",
                    "Meta description is 161 characters (recommended max 160)",
                    length=161,
                )
            ],
        ),
        ({"canonical": "http://x/"}, []),
        ({"canonical": "HTTPS://x/"}, [finding("ZORET105", "Canonical URL is not absolute")]),
        (
            {"og": {"type": "website", "image": "//x"}},
            [finding("ZORET106", "OG image URL is not absolute", image="//x")],
        ),
        (
            {"og": {"type": "website", "image": "HTTPS://x"}},
            [finding("ZORET106", "OG image URL is not absolute", image="HTTPS://x")],
        ),
        ({"robots": "index, nofollow, max-snippet:-1"}, []),
        ({"robots": " none ,noarchive,nosnippet,notranslate,unavailable_after:1"}, []),
        ({"robots": "max-image-preview:large"}, []),
        ({"robots": "max-snippetx:1,max-video-previewing"}, []),
        (
            {"robots": "index,Follow"},
            [finding("ZORET107", "Invalid robots directive: 'Follow'", directive="Follow")],
        ),
        (
            {"robots": "index,,follow"},
            [finding("ZORET107", "Invalid robots directive: ''", directive="")],
        ),
        ({"robots": ""}, [finding("ZORET107", "Invalid robots directive: ''", directive="")]),
        (
            {"robots": "noimageindex, max-preview:3"},
            [
                finding(
                    "ZORET107", "Invalid robots directive: 'noimageindex'", directive="noimageindex"
                ),
                finding(
                    "ZORET107",
                    "Invalid robots directive: 'max-preview:3'",
                    directive="max-preview:3",
                ),
            ],
        ),
    ],
)
def test_findings(fields, expected):
    payload = shaped(**{**CLEAN, **fields})
    issues = validate_payload(payload)
    assert [(i.rule_id, i.message, i.details) for i in issues] == expected
    for issue in issues:
        assert type(issue).__name__ == "SEOIssue"
        assert issue.severity == "warning"
        assert issue.url == payload.canonical


def test_issue_properties_are_fresh_copies():
    untitled = validate_payload(shaped(**{**CLEAN, "title": "Untitled"}))[0]
    long_title = validate_payload(shaped(**{**CLEAN, "title": "x" * 70}))[0]
    assert untitled.details == {}
    assert untitled.details is not untitled.details
    details = long_title.details
    details["length"] = 0
    assert long_title.details == {"length": 70}
    assert long_title.details is not long_title.details
    with pytest.raises(AttributeError):
        long_title.rule_id = "ZORET101"


def test_validation_returns_new_lists():
    payload = shaped(**CLEAN)
    first = validate_payload(payload)
    assert first == [] and first is not validate_payload(payload=payload)


@pytest.mark.parametrize(
    ("call", "message", "note"),
    [
        (
            lambda: validate_payload({}),
            "'dict' object is not an instance of 'SEOPayload'",
            "payload",
        ),
        (
            lambda: validate_payload(shaped().to_dict()),
            "'dict' object is not an instance of 'SEOPayload'",
            "payload",
        ),
        (lambda: validate_payload(None), "'None' is not an instance of 'SEOPayload'", "payload"),
        (
            lambda: validate_payload(),
            "validate_payload() missing 1 required positional argument: 'payload'",
            None,
        ),
    ],
)
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (
        [f"while processing '{note}'"] if note else None
    )
