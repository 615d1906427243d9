"""The site audit rules' binding: the tables as records, arguments converted and refused,
values that pickle and print, one finding's record. What each rule finds is tested in the
core and, through the runner, by test_audit_planted.py."""

import copy
import doctest
import inspect
import pickle
import re
from pathlib import Path

import pytest

import zoret
from zoret import audit_rules
from zoret.audit_rules import (
    AuditRules,
    PageFacts,
    PageSummary,
    Violation,
    audit_page,
    audit_rule_table,
    audit_site,
    page_summary,
    rich_result_profiles,
    sort_audit_findings,
)

README = (Path(__file__).resolve().parents[2] / "README.md").read_text(encoding="utf-8")
SITE = zoret.SEOConfig("example.com", "https://example.com")


def facts(route, **fields):
    """A page of https://example.com that no rule reports on its own."""
    url = "https://example.com" + route
    given = dict(url=url, status=200, title=f"Title of {route}", description=f"About {route}",
                 canonical=url, properties=[("og:url", url)])  # fmt: skip
    return PageFacts(route, **(given | fields))


def test_the_rule_table():
    table = audit_rule_table()
    assert [row["id"] for row in table] == [f"ZORET2{i:02}" for i in range(1, len(table) + 1)]
    assert {row["severity"] for row in table} == {"error", "warning", "info"}
    assert {row["scope"] for row in table} == {"page", "site"}
    rules = AuditRules()
    for row in table:
        assert rules.is_enabled(row["id"]) and rules.severity_of(row["name"]) == row["severity"]
    assert audit_rule_table() == table and audit_rule_table() is not table


def readme_rows(header):
    block = README[README.index(header) :].split("\n\n", 1)[0]
    return block.splitlines()[2:]


def test_the_readme_shows_the_tables_of_the_code():
    rules = [f"| {r['id']} | `{r['name']}` | {r['scope']} | {r['severity']} | {r['description']} |"
             for r in audit_rule_table()]  # fmt: skip
    assert readme_rows("| id | name | scope | default | what it reports |") == rules

    def names(requirements):
        return (
            ", ".join(" or ".join(f"`{p}`" for p in r.split("|")) for r in requirements) or "none"
        )

    profiles = [
        f"| {p['type']}{'' if p['root'] else ' (nested only)'} | {names(p['required'])} | "
        f"{names(p['recommended'])} | "
        + "; ".join(f"`{k}`: {' or '.join(v)}" for k, v in p["nested"].items())
        + " |"
        for p in rich_result_profiles()
    ]
    assert readme_rows("| type | required | recommended | nested values checked as |") == profiles


def test_the_module_docstring_runs():
    assert doctest.testmod(audit_rules).failed == 0


def roundtrips(value):
    for made in (eval(repr(value), vars(audit_rules)), pickle.loads(pickle.dumps(value)),
                 copy.deepcopy(value)):  # fmt: skip
        assert made == value and hash(made) == hash(value)


def test_rules_as_values():
    rules = AuditRules(disabled={"title-missing", "ZORET203"}, severities={"ZORET217": "error"},
                       title_max_length=55, site_host="Example.COM")  # fmt: skip
    assert rules.disabled == ("ZORET201", "ZORET203")
    assert rules.severities == {"ZORET217": "error"}
    assert rules.site_host == "example.com" and rules.title_max_length == 55
    assert not rules.is_enabled("ZORET201") and rules.severity_of("duplicate-title") == "error"
    assert repr(rules) == (
        "AuditRules(disabled=('ZORET201', 'ZORET203'), severities={'ZORET217': 'error'}, "
        "title_max_length=55, site_host='example.com')"
    )
    assert repr(AuditRules()) == "AuditRules()"
    roundtrips(rules)
    # A severity equal to the table's is no override.
    assert AuditRules(severities={"ZORET201": "error"}) == AuditRules()
    assert AuditRules(disabled=iter(["ZORET201"])) != AuditRules()
    assert len({AuditRules(), AuditRules(), AuditRules(title_max_length=61)}) == 2
    with pytest.raises(AttributeError):
        rules.title_max_length = 1  # type: ignore[misc]
    with pytest.raises(ValueError, match="unknown audit rule 'x'"):
        rules.is_enabled("x")
    with pytest.raises(TypeError):
        AuditRules(["ZORET201"])  # type: ignore[misc]


@pytest.mark.parametrize(("kwargs", "error", "message"), [
    ({"disabled": "ZORET201"}, TypeError, "not a single 'str'"),
    ({"disabled": ["ZORET101"]}, ValueError, "unknown audit rule 'ZORET101': rules are ZORET201 to ZORET222"),
    ({"disabled": [201]}, TypeError, "int"),
    ({"disabled": 5}, TypeError, "not iterable"),
    ({"severities": {"ZORET201": "fatal"}}, ValueError, "severity must be 'error', 'warning' or 'info'"),
    ({"severities": {"nope": "info"}}, ValueError, "unknown audit rule 'nope'"),
    ({"severities": ["ZORET201"]}, TypeError, "mapping of rule id or name to severity, not 'list'"),
    ({"title_min_length": 70}, zoret.ConfigurationError, r"title_min_length \(70\) is greater than title_max_length \(60\)"),
    ({"description_max_length": -1}, OverflowError, "out of range"),
    ({"site_host": "example.com/blog"}, zoret.ConfigurationError, "site host must be a host name"),
    ({"site_host": "\ud800"}, UnicodeEncodeError, "surrogates not allowed"),
    ({"disabled": ["\ud800"]}, UnicodeEncodeError, "surrogates not allowed"),
    ({"colour": "red"}, TypeError, "unexpected keyword argument 'colour'"),
])  # fmt: skip
def test_rules_refuse_bad_arguments(kwargs, error, message):
    with pytest.raises(error, match=message) as raised:
        AuditRules(**kwargs)
    # A conversion names its argument in a note; the bounds are checked together after.
    if "keyword" not in message and "greater than" not in message:
        assert any(
            repr(next(iter(kwargs))) in note for note in getattr(raised.value, "__notes__", [])
        )


def test_facts_and_summaries_as_values():
    page = facts("/blog/a", title="  Hi  ", canonical="../b#x", robots="NoIndex",
                 hreflang=[("de", "//example.com/de/a")], in_sitemap=True,
                 final_url="https://example.com/blog/new")  # fmt: skip
    summary = page_summary(page)
    assert (summary.route, summary.url, summary.status, summary.title) == (
        "/blog/a", "https://example.com/blog/a", 200, "Hi"
    )  # fmt: skip
    assert (summary.canonical, summary.noindex) == ("/b", True)
    assert summary.description == "About /blog/a"
    assert summary.hreflang == [("de", "https://example.com/de/a")]
    assert summary.final_url == "https://example.com/blog/new" and summary.redirect_url is None
    assert summary.in_sitemap is True and summary.redirected and not summary.has_own_head
    roundtrips(summary)
    assert len(pickle.dumps(summary)) < 400
    assert repr(PageSummary("/x")) == "PageSummary(route='/x')"
    assert PageSummary("/x", noindex=True) != PageSummary("/x")
    with pytest.raises(ValueError, match="an HTTP status is from 100 to 599, got 99"):
        PageSummary("/x", status=99)
    with pytest.raises(TypeError):
        PageSummary("/x", hreflang=[("en",)])
    moved = PageFacts("/old", url="https://example.com/old", status=301,
                      redirect_url="https://example.com/new", final_url=None)  # fmt: skip
    assert moved.redirect_url == "https://example.com/new" and moved.final_url is None
    assert pickle.loads(pickle.dumps(moved)) == moved
    assert "redirect_url='https://example.com/new'" in repr(moved)
    assert moved != PageFacts("/old", url="https://example.com/old", status=301)


def test_a_finding_as_python_sees_it():
    page = facts("/a", title="x" * 61, canonical="https://www.example.com/a", properties=[])
    (length, outside) = audit_page(page, AuditRules(), SITE)  # the host from the configuration
    assert type(length) is Violation and length.route == "/a"
    assert length.url == "https://example.com/a"
    assert (length.rule_id, length.field, length.severity, length.source) == (
        "ZORET202", "title.max_length", "warning", "title-length"
    )  # fmt: skip
    assert (length.expected, length.actual) == ("at most 60 characters", "61 characters")
    assert outside.rule_id == "ZORET208"
    assert audit_page(page, AuditRules(disabled=["canonical-outside-site"]), SITE) == [length]
    assert audit_page(page, AuditRules(severities={"ZORET202": "info"}))[0].severity == "info"


def test_site_rules_take_summaries_and_sitemap_urls():
    pages = [facts("/a", robots="noindex"), facts("/b", title="Same"), facts("/c", title="Same")]
    # A sitemap entry is an address, or an (address, disallowed by robots.txt) pair.
    sitemap = iter([("https://example.com/a", False), "https://example.com/b",
                    ("https://example.com/x", True)])  # fmt: skip
    rules = AuditRules(severities={"duplicate-title": "info"})
    found = audit_site(map(page_summary, pages), rules, SITE, sitemap_urls=sitemap)
    assert [(v.route, v.rule_id, v.severity) for v in found] == [
        ("/a", "ZORET212", "warning"), ("/b", "ZORET217", "info"), ("/c", "ZORET217", "info"),
        ("/x", "ZORET214", "error"),
    ]  # fmt: skip


@pytest.mark.parametrize(("function", "args", "kwargs", "error", "message"), [
    (audit_page, ("/a", AuditRules()), {}, TypeError, "'str' object is not an instance of 'PageFacts'"),
    (audit_page, (PageFacts("/a"), None), {}, TypeError, "'None' is not an instance of 'AuditRules'"),
    (audit_page, (PageFacts("/a"), AuditRules(), "example.com"), {}, TypeError, "'str' object is not an instance of 'SEOConfig'"),
    (audit_site, ([PageFacts("/a")], AuditRules()), {}, TypeError, r"summaries\[0\] is a 'PageFacts', not a 'PageSummary'"),
    (audit_site, ("abc", AuditRules()), {}, TypeError, "summaries must be an iterable of items, not 'str'"),
    (audit_site, ([], AuditRules()), {"sitemap_urls": [("u", "yes")]}, TypeError, r"sitemap_urls\[0\] must be a \(url, disallowed\) pair"),
    (audit_site, ([], AuditRules()), {"sitemap_urls": ["u", 3]}, TypeError, r"sitemap_urls\[1\]"),
    (audit_site, ([], AuditRules()), {"sitemap_urls": ["\ud800"]}, UnicodeEncodeError, "surrogates not allowed"),
    (audit_site, ([], AuditRules(), SITE, None), {}, TypeError, r"takes from 2 to 3 positional arguments but 4 were given"),
    (sort_audit_findings, ([Violation("/a", "t", "x"), 1],), {}, TypeError, r"violations\[1\] is a 'int', not a 'Violation'"),
])  # fmt: skip
def test_functions_refuse_bad_input(function, args, kwargs, error, message):
    with pytest.raises(error, match=message):
        function(*args, **kwargs)


def test_sort_keeps_the_objects():
    a = Violation("/b", "title", "x", rule_id="ZORET201")
    b = Violation("/a", "title", "x", rule_id="ZORET217")
    c = Violation("/a", "canonical", "x", rule_id="ZORET217")
    d = Violation("/a", "title", "x", rule_id="ZORET201")
    ordered = sort_audit_findings(iter([a, b, c, d]))
    assert all(x is y for x, y in zip(ordered, [d, c, b, a], strict=True))


def test_functions_carry_signatures():
    for function, parameters in [
        (audit_page, ["facts", "rules", "config"]),
        (audit_site, ["summaries", "rules", "config", "sitemap_urls"]),
        (page_summary, ["facts"]),
        (sort_audit_findings, ["violations"]),
        (audit_rule_table, []),
        (rich_result_profiles, []),
        (AuditRules, ["disabled", "severities", "title_min_length", "title_max_length",
                      "description_min_length", "description_max_length", "site_host"]),
    ]:  # fmt: skip
        assert list(inspect.signature(function).parameters) == parameters
        assert function.__doc__ and not re.search(r"spec|Part \d", function.__doc__)
