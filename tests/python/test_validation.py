"""validate_payload findings and the SEOIssue objects that carry them (the rules are the core
suite's; these rows show findings and their details reaching Python)."""

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
