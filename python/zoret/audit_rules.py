"""The site audit's own rules (ZORET201 and on), beside the contract checks.

Page rules run on one page's facts (`audit_page`), wherever the page was read; site
rules run at the end on the small `PageSummary` of every page (`audit_site`), so that
the pages themselves never have to be gathered. Findings are `Violation` records with
`rule_id` set; `audit_rule_table()` lists the rules, `rich_result_profiles()` the
structured-data profiles that ZORET220 and ZORET221 check.

>>> from zoret.audit_rules import AuditRules, PageFacts, audit_page, audit_site, page_summary
>>> rules = AuditRules(site_host="example.com", disabled=["description-missing"])
>>> page = PageFacts("/a", url="https://example.com/a", title="Home",
...                  canonical="https://example.com/b")
>>> [v.rule_id for v in audit_page(page, rules)]
[]
>>> other = PageFacts("/b", url="https://example.com/b", title="Home", robots="noindex")
>>> [(v.route, v.rule_id) for v in audit_site(map(page_summary, [page, other]), rules)]
[('/a', 'ZORET211')]
"""

from __future__ import annotations

from zoret._zoret_site import (
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

__all__ = [
    "AuditRules",
    "PageFacts",
    "PageSummary",
    "Violation",
    "audit_page",
    "audit_rule_table",
    "audit_site",
    "page_summary",
    "rich_result_profiles",
    "sort_audit_findings",
]
