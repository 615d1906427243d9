"""zoret.check: contracts from both file forms, their errors, and the assertion helper."""

import json
from pathlib import Path

import pytest

import zoret
from zoret import forms
from zoret.check import (
    Contract,
    ContractViolationError,
    PageFacts,
    assert_conforms,
    format_violations,
    load_contract,
)

CONFIG_TOML = """\
canonical_host = "example.com"
[defaults]
canonical = "self"
title = { required = true, max_length = 20 }
[[rules]]
match = "/blog/*"
severity = "warning"
expect = { schema_required = true, schema_types = ["BlogPosting"] }
"""
E = zoret.SEOExpectation
BUILT = zoret.build_seo_contract(zoret.SEOContractConfig(
    "example.com", defaults=E(canonical="self", title=E(required=True, max_length=20)),
    rules=[zoret.SEOContractRule("/blog/*", E(schema_required=True, schema_types=["BlogPosting"]), severity="warning")],
))  # fmt: skip
DOCUMENT = BUILT.to_json()
CONFIG_JSON = json.dumps({"canonical_host": "example.com", "defaults": {"canonical": "self",
                          "title": {"required": True, "max_length": 20}}, "rules": [{"match": "/blog/*",
                          "severity": "warning", "expect": {"schema_required": True, "schema_types": ["BlogPosting"]}}]})  # fmt: skip


@pytest.mark.parametrize(("name", "text"), [
    ("seo-contract.json", DOCUMENT),
    ("contract.lock", "\n  " + DOCUMENT),  # no telling suffix: JSON by its first character
    ("contract.toml", CONFIG_TOML),
    ("contract", CONFIG_TOML),
    ("contract-config.json", CONFIG_JSON),
])  # fmt: skip
def test_both_forms_load_to_the_same_contract(tmp_path, name, text):
    path = tmp_path / name
    path.write_text(text, encoding="utf-8")
    for given in (path, str(path)):
        contract = load_contract(given)
        assert isinstance(contract, Contract)
        assert contract.to_json() == DOCUMENT


# The document reader's messages are the core suite's; one row shows them named by file.
@pytest.mark.parametrize(("name", "text", "message"), [
    ("c.json", DOCUMENT.replace('"indexable"', '"indexible"').replace('"canonical"', '"canonicl"', 1),
     'c.json: defaults.canonicl: unknown key at line 12 column 5; did you mean "canonical"?'),
    ("c.toml", 'canonical_host = "h"\nrules = 3\n', "c.toml: rules must be a list, got int"),
    ("c.toml", 'canonical_host "h"\n', "c.toml: line 1, column 16: Expected '=' after a key in a key/value pair"),
    ("c.toml", 'canonical_host = "h"\n[defaults]\ntitle = { matches = "(a" }\n',
     "c.toml: defaults: title.matches: invalid regular expression: missing ): (a"),
    ("c.toml", 'canonical_host = "h"\n[defaults]\nmax_length = -1\n', "c.toml: can't convert negative int to unsigned (while processing 'max_length')"),
    ("c.json", '{"canonical_host": 5}', "c.json: 'int' object cannot be converted to 'str' (while processing 'canonical_host')"),
])  # fmt: skip
def test_malformed_files_are_contract_errors_naming_the_file(tmp_path, name, text, message):
    (tmp_path / name).write_text(text, encoding="utf-8")
    with pytest.raises(zoret.ContractError) as raised:
        load_contract(tmp_path / name)
    assert str(raised.value).removeprefix(f"{tmp_path}/").startswith(message), str(raised.value)


def test_unreadable_files(tmp_path):
    with pytest.raises(FileNotFoundError):
        load_contract(tmp_path / "missing.toml")
    (tmp_path / "latin1.toml").write_bytes(b'canonical_host = "\xe9"')
    with pytest.raises(zoret.ContractError, match=r"latin1\.toml: 'utf-8' codec can't decode"):
        load_contract(tmp_path / "latin1.toml")
    with pytest.raises(zoret.ContractError, match="/dev/zero: larger than 64 MiB: not a contract"):
        load_contract("/dev/zero")


def test_settings_a_configuration_drops_are_warned_about(tmp_path):
    (tmp_path / "c.toml").write_text('canonical_host = "h"\n[defaults]\nschema_types = ["A"]\n')
    with pytest.warns(forms.DroppedSettingWarning, match="schema_types is ignored"):
        load_contract(tmp_path / "c.toml")


def test_assert_conforms_lists_every_violation_readably():
    contract = Contract(BUILT)
    site = zoret.SEOConfig("example.com", "https://example.com")
    long = zoret.build_seo_payload(zoret.SEOEntity("post", title="A title of twenty-one"), "/blog/x", site)  # fmt: skip
    with pytest.raises(AssertionError) as raised:
        assert_conforms(contract, "/blog/x", long, site)
    assert isinstance(raised.value, ContractViolationError)
    assert str(raised.value) == (
        "2 SEO contract violations on /blog/x:\n"
        "/blog/x (https://example.com/blog/x)\n"
        '  warning: schema.types (rules[0] /blog/*): The JSON-LD has no node of type "BlogPosting".\n'
        "      expected: BlogPosting\n"
        "      actual:   Article\n"
        "  error: title.max_length (defaults): The title has 21 characters, more than the maximum of 20.\n"
        "      expected: at most 20 characters\n"
        "      actual:   21 characters"
    )
    assert [v.field for v in raised.value.violations] == ["schema.types", "title.max_length"]
    short = zoret.build_seo_payload(zoret.SEOEntity("post", title="Short"), "/blog/x", site)
    assert [v.field for v in assert_conforms(contract, "/blog/x", short, site)] == ["schema.types"]
    with pytest.raises(ContractViolationError, match="1 SEO contract violation on /blog/x"):
        assert_conforms(contract, "/blog/x", short, site, fail_on="warning")
    with pytest.raises(
        ValueError, match="fail_on must be one of error, warning, info, got 'fatal'"
    ):
        assert_conforms(contract, "/", short, fail_on="fatal")  # type: ignore[arg-type]
    facts = PageFacts("/", title=None)
    assert "present and not blank" in format_violations(contract.check("/", facts))


def test_the_module_documents_itself():
    import doctest

    import zoret.check

    assert doctest.testmod(zoret.check).failed == 0
    assert Path(zoret.check.__file__).name == "check.py"
