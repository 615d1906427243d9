"""Nothing leaks: the inputs' reference counts, the tracked objects and the traced
memory stay flat over many calls, failing calls included (--leak-loops N calls a round)."""

import contextlib
import copy
import datetime
import gc
import pickle
import sys
import tempfile
import tracemalloc
from types import SimpleNamespace

import pytest

import zoret as z
from payload_support import config
from zoret import _zoret_site
from zoret import site as zs
from zoret.check import Contract

TITLE, DOC = "t" * 50, {"@type": "T", "n": "x" * 40}
PATH = "/Blog//" + "x" * 40 + "?utm_source=1&a=2"
IMAGE, CRUMBS = z.SEOImage("u"), [z.Breadcrumb("a", "/a")]
POLICY = z.URLPolicy(lowercase_paths=True)
# Not the recording helpers of payload_support: their call lists would keep arguments alive.
HOOKS = SimpleNamespace(run=lambda stage, payload, e, c: {**payload, "description": "hooked"})
REGISTRY = SimpleNamespace(has=lambda t: True, generate=lambda *a: {"@type": "G", "name": a[4]})
SITE = config(hooks=HOOKS, schema_registry=REGISTRY, url_policy=POLICY)
ENTITY = z.SEOEntity("post", title=TITLE, featured_image=IMAGE, breadcrumbs=CRUMBS)
PAYLOAD = z.build_seo_payload(ENTITY, PATH, config())
EXPECT = z.SEOExpectation(one_of=[PATH], title=z.SEOExpectation(equals=PATH))
RULE = z.SEOContractRule(PATH, EXPECT, severity=TITLE)
ENTRY = zs.SitemapEntry(PATH, datetime.date(2024, 5, 1), [("en", PATH)], ["/i.png"])
FACTS = _zoret_site.PageFacts(PATH, url="https://e.com/a", title=TITLE, canonical=PATH, robots="noindex",
                              jsonld=[DOC, "{x"], hreflang=[("en", PATH)], redirect_url=None)  # fmt: skip
RULES = _zoret_site.AuditRules(disabled=["ZORET201"], severities={"ZORET217": "info"}, site_host="e.com")  # fmt: skip
SUMMARY = _zoret_site.page_summary(FACTS)
CHECKER = Contract(z.build_seo_contract(z.SEOContractConfig("e.com", defaults=EXPECT, rules=[RULE])))  # fmt: skip
OUT = tempfile.TemporaryDirectory()
WATCHED = [
    TITLE,
    PATH,
    DOC,
    IMAGE,
    CRUMBS,
    POLICY,
    HOOKS,
    REGISTRY,
    SITE,
    ENTITY,
    PAYLOAD,
    EXPECT,
    RULE,
    ENTRY,
    FACTS,
    RULES,
    SUMMARY,
    CHECKER,
]


def attempt(fn, *args, **kwargs):
    """A call that fails on purpose: the error path must not leak either."""
    with contextlib.suppress(TypeError, ValueError):
        fn(*args, **kwargs)


def reassigned(site):
    site.schema_registry, site.hooks = HOOKS, None
    return site.to_dict()


CALLS = {
    "builds": lambda: (
        z.build_seo_payload(ENTITY, PATH, SITE, z.SEOOverrides(meta_title=TITLE, schema_jsonld=DOC)),
        z.build_seo_payload_dict(ENTITY, PATH, SITE),
        attempt(z.build_seo_payload_with_overrides, ENTITY, PATH, SITE, z.SEOOverrides(canonical_url="ftp://x")),
    ),
    "payload": lambda: (
        PAYLOAD.to_dict(), PAYLOAD.keys(), PAYLOAD.get("title"), list(PAYLOAD), TITLE in PAYLOAD,
        PAYLOAD == {}, PAYLOAD.og.to_dict(), PAYLOAD.twitter.to_dict(), PAYLOAD.render_html(), PAYLOAD.etag(),
        PAYLOAD.to_json(), PAYLOAD.schema_jsonld, [issue.details for issue in z.validate_payload(PAYLOAD)],
        attempt(PAYLOAD.to_dict, TITLE), attempt(PAYLOAD.get, **{TITLE: 1, "\ud800": 2}),
    ),
    "records": lambda: (
        ENTITY.to_dict(), IMAGE.to_dict(), z.SEOAuthor(TITLE, url=TITLE), z.Robots(max_image_preview=TITLE).serialize(),
        z.SEOOverrides(schema_jsonld=DOC, og_image=IMAGE), attempt(z.SEOOverrides, schema_jsonld={"s": {1}}),
        attempt(z.SEOEntity, "bogus", title=TITLE), attempt(z.SEOEntity, "post", breadcrumbs=[CRUMBS[0], TITLE]),
        reassigned(z.SEOConfig(TITLE, "https://e.com", hooks=HOOKS, schema_type_map=[(TITLE, TITLE)])),
        attempt(z.SEOConfig, TITLE, "", hooks=HOOKS),
    ),
    "urls": lambda: (
        z.normalize_path_fn(PATH, POLICY), z.normalize_public_url_fn(PATH, SITE), z.clean_url_fn(PATH),
        z.clean_query_fn(query=PATH), POLICY.allowed_query_params, attempt(z.normalize_public_url_fn, "", SITE),
        attempt(z.clean_url_fn, PATH, PATH),
    ),
    "contracts": lambda: (
        z.build_seo_contract(z.SEOContractConfig(PATH, defaults=EXPECT, rules=[RULE], exceptions=[(PATH, EXPECT)])),
        z.build_seo_contract(z.SEOContractConfig(TITLE)).to_dict(), RULE.expect, RULE.severity,
    ),
    "checks": lambda: (
        CHECKER.check(PATH, PAYLOAD, SITE), CHECKER.check_report(PATH, FACTS, SITE), CHECKER.explain(PATH).to_dict(),
        CHECKER.lint(), attempt(CHECKER.check, "blog", FACTS), attempt(CHECKER.check, PATH, {}),
    ),
    "site outputs": lambda: (
        zs.write_sitemaps(iter([PATH, ENTRY]), SITE, OUT.name), attempt(zs.write_sitemaps, [PATH, 3], SITE, OUT.name),
        attempt(zs.write_sitemaps, [PATH, "\ud800"], SITE, OUT.name), attempt(zs.write_sitemaps, [""], SITE, OUT.name),
        pickle.loads(pickle.dumps(ENTRY)) == ENTRY, repr(ENTRY), hash(ENTRY), ENTRY.alternates,
        attempt(zs.SitemapEntry, PATH, datetime.datetime(2024, 1, 1)), attempt(zs.SitemapEntry, PATH, "2024-13"),
        zs.render_robots(SITE, [zs.RobotsGroup("*", disallow=[PATH])], sitemaps=[PATH], host=TITLE),
        zs.render_hreflang({"en": PATH, "x-default": "/"}, SITE, current_route=PATH), zs.response_headers(PAYLOAD),
        attempt(zs.render_hreflang, [(TITLE, PATH)], SITE, require_self_reference=False),
    ),
    "audit": lambda: (
        _zoret_site.audit_page(FACTS, RULES, SITE), _zoret_site.audit_site(iter([SUMMARY, SUMMARY]), RULES, SITE,
        sitemap_urls=[(PATH, True), "https://e.com/a"]), _zoret_site.sort_audit_findings(_zoret_site.audit_page(FACTS, RULES)),
        pickle.loads(pickle.dumps([RULES, SUMMARY])), repr(RULES), repr(SUMMARY), hash(RULES), hash(SUMMARY),
        RULES.severities, RULES.disabled, SUMMARY.hreflang, _zoret_site.audit_rule_table(), _zoret_site.rich_result_profiles(),
        attempt(_zoret_site.AuditRules, disabled=[TITLE]), attempt(_zoret_site.AuditRules, severities={TITLE: TITLE}),
        attempt(_zoret_site.audit_site, [SUMMARY, FACTS], RULES), attempt(_zoret_site.audit_site, [], RULES, sitemap_urls=[3]),
    ),
    "values": lambda: (
        repr(ENTITY), repr(PAYLOAD), repr(SITE), repr(RULE), repr(z.SEOOverrides(schema_jsonld=DOC, robots=z.Robots())),
        pickle.loads(pickle.dumps([ENTITY, PAYLOAD, PAYLOAD.og, RULE, POLICY, z.validate_payload(PAYLOAD)])),
        copy.copy(SITE), copy.deepcopy(EXPECT), ENTITY == ENTITY, hash(ENTITY), hash(POLICY), IMAGE == CRUMBS[0],
        attempt(_zoret_site._reconstruct, z.SEOIssue, (TITLE, "bad", TITLE), {}),
        attempt(_zoret_site._reconstruct, z.SEOPayload, ("{", None), {}),
    ),
}  # fmt: skip


@pytest.mark.parametrize("name", CALLS)
def test_no_leaks(name, leak_loops):
    run = CALLS[name]
    run()  # first calls fill caches (imports, interned names)
    gc.collect()
    refs, objects = [sys.getrefcount(obj) for obj in WATCHED], len(gc.get_objects())
    growth = []
    tracemalloc.start()
    try:
        # Freelists and caches fill during the first rounds (under the sanitizers,
        # after a long run, over several rounds, each growing about half the last);
        # a leak keeps growing by at least one block per call, far more than a byte
        # per call.
        while len(growth) < 10 and (not growth or growth[-1] >= leak_loops):
            start = tracemalloc.get_traced_memory()[0]
            for _ in range(leak_loops):
                run()
            gc.collect()
            growth.append(tracemalloc.get_traced_memory()[0] - start)
    finally:
        tracemalloc.stop()
    assert [sys.getrefcount(obj) for obj in WATCHED] == refs
    assert len(gc.get_objects()) - objects < 50
    assert growth[-1] < leak_loops, f"traced memory still growing: {growth}"
