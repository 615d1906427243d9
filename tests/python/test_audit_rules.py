"""The site audit rules as Python sees them: configuration, summaries, the page and site
rules, their records and errors, the split over processes, and the README's tables."""

import copy
import doctest
import inspect
import pickle
import random
import re
from concurrent.futures import ProcessPoolExecutor
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
    assert len(table) >= 20 and len({row["name"] for row in table}) == len(table)
    assert {row["severity"] for row in table} == {"error", "warning", "info"}
    assert {row["scope"] for row in table} == {"page", "site"}
    rules = AuditRules()
    for row in table:
        assert rules.is_enabled(row["id"]) and rules.is_enabled(row["name"])
        assert rules.severity_of(row["name"]) == row["severity"]
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
    for made in (eval(repr(rules), vars(audit_rules)), pickle.loads(pickle.dumps(rules)),
                 copy.deepcopy(rules)):  # fmt: skip
        assert made == rules and hash(made) == hash(rules)
    # A severity equal to the table's is no override.
    assert AuditRules(severities={"ZORET201": "error"}) == AuditRules()
    assert AuditRules(disabled=iter(["ZORET201"])) != AuditRules()
    assert len({AuditRules(), AuditRules(), AuditRules(title_max_length=61)}) == 2
    with pytest.raises(AttributeError):
        rules.title_max_length = 1  # type: ignore[misc]


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
    ({"site_host": "https://example.com"}, zoret.ConfigurationError, "site host must be a host name"),
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


def test_rules_take_keywords_only():
    with pytest.raises(TypeError):
        AuditRules(["ZORET201"])  # type: ignore[misc]
    with pytest.raises(ValueError, match="unknown audit rule 'x'"):
        AuditRules().is_enabled("x")
    with pytest.raises(TypeError):
        AuditRules().severity_of(rule="ZORET201")  # type: ignore[call-arg]


def test_summaries_keep_what_the_site_rules_need():
    page = facts("/blog/a", title="  Hi  ", canonical="../b#x", robots="NoIndex",
                 hreflang=[("de", "//example.com/de/a"), ("xx", "http://[bad")], in_sitemap=True,
                 status=200, final_url="https://example.com/blog/new")  # fmt: skip
    summary = page_summary(page)
    assert (summary.route, summary.url, summary.status) == (
        "/blog/a",
        "https://example.com/blog/a",
        200,
    )
    assert (summary.canonical, summary.noindex, summary.title, summary.description) == (
        "/b",
        True,
        "Hi",
        "About /blog/a",
    )
    assert summary.hreflang == [("de", "https://example.com/de/a")]
    assert summary.final_url == "https://example.com/blog/new" and summary.redirect_url is None
    assert summary.in_sitemap is True and summary.redirected and not summary.has_own_head
    for made in (
        pickle.loads(pickle.dumps(summary)),
        copy.copy(summary),
        eval(repr(summary), vars(audit_rules)),
    ):
        assert made == summary and hash(made) == hash(summary)
    assert len(pickle.dumps(summary)) < 400
    assert repr(PageSummary("/x")) == "PageSummary(route='/x')"
    assert PageSummary("/x", noindex=True) != PageSummary("/x")
    with pytest.raises(ValueError, match="an HTTP status is from 100 to 599, got 99"):
        PageSummary("/x", status=99)
    with pytest.raises(TypeError):
        PageSummary("/x", hreflang=[("en",)])


def test_page_facts_carry_redirects():
    page = PageFacts("/old", url="https://example.com/old", status=301,
                     redirect_url="https://example.com/new", final_url=None)  # fmt: skip
    assert page.redirect_url == "https://example.com/new" and page.final_url is None
    assert pickle.loads(pickle.dumps(page)) == page
    assert "redirect_url='https://example.com/new'" in repr(page)
    assert page != PageFacts("/old", url="https://example.com/old", status=301)
    assert audit_page(page, AuditRules()) == []


def test_page_rules():
    page = facts("/a", title="x" * 61, canonical="/a", properties=[("og:image", "/i.png")],
                 jsonld=["{nope", {"@type": "FAQPage"}])  # fmt: skip
    found = audit_page(page, AuditRules(), SITE)
    assert [(v.rule_id, v.field) for v in found] == [
        ("ZORET202", "title.max_length"),
        ("ZORET205", "canonical"),
        ("ZORET219", "jsonld"),
        ("ZORET220", "jsonld[0].mainEntity"),
        ("ZORET222", "og:image"),
    ]
    assert all(
        type(v) is Violation and v.route == "/a" and v.url == "https://example.com/a" for v in found
    )
    (length, *_) = found
    assert (length.expected, length.actual, length.severity, length.source) == (
        "at most 60 characters",
        "61 characters",
        "warning",
        "title-length",
    )
    # The configuration supplies the site's host when the rules name none.
    outside = facts("/a", canonical="https://www.example.com/a", properties=[])
    assert [v.rule_id for v in audit_page(outside, AuditRules(), SITE)] == ["ZORET208"]
    assert audit_page(outside, AuditRules()) == []
    assert audit_page(outside, AuditRules(disabled=["canonical-outside-site"]), SITE) == []


@pytest.mark.parametrize(("args", "message"), [
    (("/a", AuditRules()), "'str' object is not an instance of 'PageFacts'"),
    ((PageFacts("/a"), None), "'None' is not an instance of 'AuditRules'"),
    ((PageFacts("/a"), AuditRules(), "example.com"), "'str' object is not an instance of 'SEOConfig'"),
])  # fmt: skip
def test_page_rules_refuse_wrong_types(args, message):
    with pytest.raises(TypeError, match=message):
        audit_page(*args)


def site_findings(pages, **kwargs):
    rules = kwargs.pop("rules", AuditRules(site_host="example.com"))
    return [(v.route, v.rule_id) for v in audit_site(map(page_summary, pages), rules, **kwargs)]


def test_site_rules():
    pages = [
        facts("/a", canonical="https://example.com/b", properties=[]),
        facts("/b", robots="noindex"),
        facts("/c", title="Same", hreflang=[("en", "https://example.com/c"), ("de", "https://example.com/d")]),
        facts("/d", title="Same", hreflang=[("de", "https://example.com/d")]),
        facts("/e", status=404),
    ]  # fmt: skip
    sitemap = [
        ("https://example.com/b", False),
        "https://example.com/e",
        ("https://example.com/f", True),
    ]
    assert site_findings(pages, sitemap_urls=sitemap) == [
        ("/a", "ZORET211"),
        ("/b", "ZORET212"),
        ("/c", "ZORET216"),
        ("/c", "ZORET217"),
        ("/d", "ZORET217"),
        ("/e", "ZORET213"),
        ("/f", "ZORET214"),
    ]
    assert site_findings(pages) == [("/a", "ZORET211"), ("/c", "ZORET216"), ("/c", "ZORET217"),
                                    ("/d", "ZORET217")]  # fmt: skip
    severe = AuditRules(site_host="example.com", severities={"duplicate-title": "info"})
    assert {
        v.severity for v in audit_site(map(page_summary, pages), severe) if v.rule_id == "ZORET217"
    } == {"info"}


@pytest.mark.parametrize(("args", "kwargs", "error", "message"), [
    (([PageFacts("/a")], AuditRules()), {}, TypeError, r"summaries\[0\] is a 'PageFacts', not a 'PageSummary'"),
    (("abc", AuditRules()), {}, TypeError, "summaries must be an iterable of items, not 'str'"),
    (([], AuditRules()), {"sitemap_urls": [("u", "yes")]}, TypeError, r"sitemap_urls\[0\] must be a \(url, disallowed\) pair"),
    (([], AuditRules()), {"sitemap_urls": ["u", 3]}, TypeError, r"sitemap_urls\[1\]"),
    (([], AuditRules()), {"sitemap_urls": ["\ud800"]}, UnicodeEncodeError, "surrogates not allowed"),
    (([], AuditRules(), SITE, None), {}, TypeError, r"takes from 2 to 3 positional arguments but 4 were given"),
])  # fmt: skip
def test_site_rules_refuse_bad_input(args, kwargs, error, message):
    with pytest.raises(error, match=message):
        audit_site(*args, **kwargs)


def generated_site(n):
    pages = []
    for i in range(n):
        route = f"/s{i % 7}/p{i}"
        pages.append(facts(
            route, title=f"T{i % 11}", robots="noindex" if i % 5 == 0 else "",
            canonical=f"https://example.com/s{i % 7}/p{(i * 3) % (n + 4)}" if i % 4 == 0 else None,
            hreflang=[("en", "https://example.com" + route), ("de", f"https://example.com/s1/p{i % 13}")],
            status=404 if i % 9 == 0 else 200,
        ))  # fmt: skip
    return pages


def page_work(page):
    """What a worker process does with one page: its findings and its summary."""
    return audit_page(page, AuditRules(site_host="example.com")), page_summary(page)


def test_a_split_over_processes_equals_one_process():
    pages = generated_site(120)
    rules = AuditRules(site_host="example.com")
    sitemap = [(f"https://example.com/s{i % 7}/p{i}", i % 3 == 0) for i in range(0, 120, 2)]
    page_findings = [v for p in pages for v in audit_page(p, rules)]
    site = audit_site(map(page_summary, pages), rules, sitemap_urls=sitemap)
    single = sort_audit_findings(page_findings + site)
    shuffled = pages[:]
    random.Random(15).shuffle(shuffled)
    with ProcessPoolExecutor(2) as pool:
        results = list(pool.map(page_work, shuffled, chunksize=16))
    findings = [v for found, _ in results for v in found]
    findings += audit_site(
        (summary for _, summary in results), rules, sitemap_urls=reversed(sitemap)
    )
    merged = sort_audit_findings(findings)
    assert pickle.dumps(merged) == pickle.dumps(single)
    assert len(single) > 100 and {v.rule_id for v in single} >= {
        "ZORET209",
        "ZORET214",
        "ZORET216",
        "ZORET217",
    }


def test_sort_keeps_the_objects():
    a = Violation("/b", "title", "x", rule_id="ZORET201")
    b = Violation("/a", "title", "x", rule_id="ZORET217")
    c = Violation("/a", "canonical", "x", rule_id="ZORET217")
    d = Violation("/a", "title", "x", rule_id="ZORET201")
    ordered = sort_audit_findings(iter([a, b, c, d]))
    assert ordered == [d, c, b, a] and all(
        x is y for x, y in zip(ordered, [d, c, b, a], strict=True)
    )
    with pytest.raises(TypeError, match=r"violations\[1\] is a 'int', not a 'Violation'"):
        sort_audit_findings([a, 1])


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
