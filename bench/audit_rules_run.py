"""The site audit rules timed from Python: the page rules and the summary of one typical
page, the pickled size of a summary, and the site rules over 10^5 summaries (with a
sitemap of as many URLs), with the process's peak memory. The core alone is timed by
zoret_audit_bench."""

import argparse
import pickle
import resource
import time
import timeit

import zoret
from zoret.audit_rules import AuditRules, PageFacts, audit_page, audit_site, page_summary
from zoret.check import facts_from_payload

SITE = zoret.SEOConfig("example.com", "https://example.com", title_template="{title} | Example")
ROUTE = "/blog/deterministic-metadata"


def typical_page() -> PageFacts:
    entity = zoret.SEOEntity(
        "post",
        title="Deterministic SEO metadata for Python web apps",
        excerpt="How resolving every head tag from one payload keeps previews in step.",
        featured_image=zoret.SEOImage(
            "https://example.com/media/pipeline.jpg", width=1600, height=900
        ),
        published_at="2026-03-14T09:30:00Z",
        author_name="Ada Example",
    )
    payload = zoret.build_seo_payload(entity, ROUTE, SITE)
    facts = facts_from_payload(payload, ROUTE)
    url = "https://example.com" + ROUTE
    return PageFacts(ROUTE, url=url, status=200, title=facts.title, description=facts.description,
                     canonical=facts.canonical, properties=facts.properties, jsonld=facts.jsonld,
                     hreflang=[("en", url), ("de", "https://example.com/de" + ROUTE)])  # fmt: skip


def per_call(fn, number: int) -> float:
    return min(timeit.repeat(fn, number=number, repeat=5)) / number


def generated_summaries(n: int):
    for i in range(n):
        section = f"/s{i % 50}"
        stem = f"{section}/post-{i // 2}-about-something"
        route = ("/de" if i % 2 else "") + stem
        url = "https://example.com" + route
        alternates = [("en", "https://example.com" + stem), ("de", "https://example.com/de" + stem)]
        yield page_summary(PageFacts(
            route, url=url, status=404 if i % 100 == 7 else 200,
            title=f"Shared title of {section}" if i % 50 == 3 else f"Post {i} in {section}",
            description=f"A description of post {i}.", robots="noindex" if i % 20 == 0 else "",
            canonical=f"https://example.com{section}/" if i % 10 == 0 else url, hreflang=alternates,
        ))  # fmt: skip


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--pages", type=int, default=100_000)
    args = parser.parse_args()
    page, rules = typical_page(), AuditRules()
    summary = page_summary(page)
    page_time = per_call(lambda: audit_page(page, rules, SITE), 20_000)
    summary_time = per_call(lambda: page_summary(page), 20_000)
    print(f"audit_page, typical page:      {page_time * 1e6:6.2f} µs")
    print(f"page_summary, typical page:    {summary_time * 1e6:6.2f} µs")
    print(f"pickled PageSummary:           {len(pickle.dumps(summary))} bytes")
    start = time.perf_counter()
    summaries = list(generated_summaries(args.pages))
    made = time.perf_counter() - start
    sitemap = [(s.url, i % 200 == 0) for i, s in enumerate(summaries)]
    before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    start, cpu = time.perf_counter(), time.process_time()
    found = audit_site(summaries, rules, SITE, sitemap_urls=sitemap)
    took, cpu = time.perf_counter() - start, time.process_time() - cpu
    after = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    print(f"audit_site, {args.pages:,} pages:     {took:6.3f} s wall, {cpu:.3f} s CPU "
          f"({args.pages / cpu:,.0f} pages/s), {len(found):,} findings")  # fmt: skip
    print(f"peak RSS {before / 1024:.0f} -> {after / 1024:.0f} MiB; "
          f"the summaries were made from facts in {made:.2f} s")  # fmt: skip


if __name__ == "__main__":
    main()
