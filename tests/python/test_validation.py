"""validate_payload findings and the SEOIssue objects that carry them."""

import pytest

from payload_support import shaped
from zoret import validate_payload

CLEAN = {
    "title": "A good title",
    "description": "A good description.",
    "canonical": "https://x/p",
    "robots": "index,follow",
    "og": {"type": "website", "image": "https://x/i.png"},
}
MINIMAL_FINDINGS = [
    ("ZORET101", "Title is missing or default", {}),
    ("ZORET103", "Meta description is missing", {}),
    ("ZORET105", "Canonical URL is not absolute", {}),
    ("ZORET108", "OG image is missing; set default_og_image or an entity image", {}),
]
FINDINGS = [
    ({}, []),
    ({"title": "Untitled", "description": "", "canonical": "/p", "og": {"type": "website"}}, MINIMAL_FINDINGS),
    ({"title": "東" * 61}, [("ZORET102", "Title is 61 characters (recommended max 60)", {"length": 61})]),
    ({"robots": "noimageindex, max-preview:3"},
     [("ZORET107", "Invalid robots directive: 'noimageindex'", {"directive": "noimageindex"}),
      ("ZORET107", "Invalid robots directive: 'max-preview:3'", {"directive": "max-preview:3"})]),
]  # fmt: skip


@pytest.mark.parametrize(("fields", "expected"), FINDINGS)
def test_findings(fields, expected):
    payload = shaped(**{**CLEAN, **fields})
    issues = validate_payload(payload)
    assert [(i.rule_id, i.message, i.details) for i in issues] == expected
    for issue in issues:
        assert type(issue).__name__ == "SEOIssue"
        assert (issue.severity, issue.url) == ("warning", payload.canonical)
    assert issues is not validate_payload(payload=payload)


def test_issue_properties_are_fresh_copies():
    [issue] = validate_payload(shaped(**{**CLEAN, "title": "x" * 70}))
    details = issue.details
    details["length"] = 0
    assert issue.details == {"length": 70}
    assert issue.details is not issue.details
    with pytest.raises(AttributeError):
        issue.rule_id = "ZORET101"


def test_argument_errors():
    with pytest.raises(TypeError) as info:
        validate_payload({})
    assert str(info.value) == "'dict' object is not an instance of 'SEOPayload'"
    assert info.value.__notes__ == ["while processing 'payload'"]
