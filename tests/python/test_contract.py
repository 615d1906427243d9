"""SEO contracts through the binding: arguments, copies, key orders, depth, file writing."""

import errno
import hashlib
import json
import os
from pathlib import Path

import pytest

from zoret import SEOContractConfig, SEOContractRule, SEOExpectation, build_seo_contract


def contract(host="example.com", **kwargs):
    return build_seo_contract(SEOContractConfig(host, **kwargs))


E = SEOExpectation()
EXPECTATIONS = [
    (SEOExpectation(schema_types=["Article"]), "{}"),
    (SEOExpectation(schema_required=True, schema_types=["Article"]),
     '{"schema":{"required":true,"types":["Article"]}}'),
    (SEOExpectation(og_required=False, sitemap_required=False, twitter_required=True),
     '{"open_graph":{"required":false},"twitter":{"required":true},"sitemap":{"required":false}}'),
    (SEOExpectation(description=SEOExpectation(min_length=1), title=SEOExpectation(forbidden=False),
                    max_length=2**64 - 1, one_of=["a", "\u00e9"], hreflang_required=True, required=False),
     '{"required":false,"one_of":["a","\u00e9"],"max_length":18446744073709551615,'
     '"hreflang":{"required":true},"title":{"forbidden":false},"description":{"min_length":1}}'),
    (SEOExpectation(one_of=()), '{"one_of":[]}'),
]  # fmt: skip


@pytest.mark.parametrize(("expectation", "expected"), EXPECTATIONS)
def test_expectation_arguments_reach_the_file(expectation, expected):
    built = contract(defaults=expectation)
    defaults = json.loads(built.to_json())["defaults"]
    assert json.dumps(defaults, separators=(",", ":"), ensure_ascii=False) == expected
    assert built.to_dict()["defaults"] == defaults
    assert built.hash() == hashlib.sha256(built.to_json().encode("utf-8")).hexdigest()


def test_to_dict_sorts_keys_and_returns_copies():
    # Severity text is kept as given but written as the enum ("Info" is no name of it).
    expect = SEOExpectation(required=True, indexable=False, canonical="self", title=E)
    rules = [
        SEOContractRule(match="/x", expect=expect),
        SEOContractRule("/y", SEOExpectation(), severity="warning"),
        SEOContractRule("/z", SEOExpectation(), severity="Info"),
    ]
    assert [rule.severity for rule in rules] == [None, "warning", "Info"]
    assert rules[0].expect is not expect and rules[0].match == "/x"
    # Exceptions are ordered by path, and the last of a duplicate path wins.
    tail = [("/a", SEOExpectation(equals="2")), ("/b", SEOExpectation(equals="3"))]
    built = contract("", scheme="ftp", rules=rules, exceptions=[("/b", SEOExpectation()), *tail])
    assert built.hash() == contract("", scheme="ftp", rules=rules, exceptions=tail).hash()
    exceptions = json.loads(built.to_json())["exceptions"]
    assert list(exceptions.items()) == [("/a", {"equals": "2"}), ("/b", {"equals": "3"})]
    data = built.to_dict()
    assert data == json.loads(built.to_json())
    assert json.dumps(data) == json.dumps(data, sort_keys=True)  # sorted at every level
    assert [rule.get("severity") for rule in data["rules"]] == [None, "Warning", "Error"]
    assert built.contract_version == "1"
    assert list(built.site.items()) == [("canonical_host", ""), ("scheme", "ftp")]


def test_nesting_beyond_the_parser_depth_fails_only_in_to_dict():
    # The contract object and "defaults" take two of the parser's 127 levels.
    expectation = SEOExpectation(max_length=1)
    for _ in range(125):
        expectation = SEOExpectation(title=expectation)
    assert contract(defaults=expectation).to_dict()["defaults"]["title"]["title"]
    too_deep = contract(defaults=SEOExpectation(title=expectation))
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column \d+$"):
        too_deep.to_dict()
    text = too_deep.to_json()
    assert text.count('"title": {') == 126
    assert too_deep.hash() == hashlib.sha256(text.encode()).hexdigest()


# The writer's failure modes are the core suite's; here they reach Python as plain OSError.
@pytest.mark.parametrize(("name", "code", "text"), [
    ("missing/c.json", errno.ENOENT, "No such file or directory (os error 2)"),
    ("contract.json\x00.bak", None, "embedded null byte"),
])  # fmt: skip
def test_write_replaces_the_file_or_raises_oserror(tmp_path, name, code, text):
    target = tmp_path / "contract.json"
    written = contract(rules=[SEOContractRule("/\u00e9", SEOExpectation())])
    assert written.write(path=str(target)) is None
    assert target.read_bytes() == written.to_json().encode("utf-8")
    with pytest.raises(OSError) as info:
        contract().write(str(tmp_path / name))
    assert (type(info.value), info.value.errno, info.value.filename) == (OSError, code, None)
    assert str(info.value) == "serialization error: failed to write contract: " + text
    assert target.read_bytes() == written.to_json().encode("utf-8")
    assert os.listdir(tmp_path) == ["contract.json"]


ARGUMENT_ERRORS = [
    (lambda: SEOExpectation(min_length=-1), OverflowError, None, "min_length"),
    (lambda: SEOExpectation(max_items=2**64), OverflowError, None, "max_items"),
    (lambda: SEOExpectation(one_of=["a", 1]), TypeError, "'int' object cannot be converted to 'str'", "one_of"),
    (lambda: SEOContractConfig("H", exceptions=[["/a", E]]), TypeError,
     "'list' object cannot be converted to 'tuple'", "exceptions"),
    (lambda: SEOContractConfig("H", exceptions=[("/a", E, "x")]), TypeError,
     "expected tuple of length 2, but got tuple of length 3", "exceptions"),
    (lambda: contract().write(Path("c")), TypeError, "'PosixPath' object cannot be converted to 'str'", "path"),
]  # fmt: skip


@pytest.mark.parametrize(("call", "exc", "message", "note"), ARGUMENT_ERRORS)
def test_argument_errors(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc
    assert message is None or str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (note and [f"while processing '{note}'"])
