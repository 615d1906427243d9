"""Times site audits on a generated corpus of 50 KB pages read from disk.

1. Where the time of one page goes, in one process: reading the file, decoding it,
   lexbor's parse, the extraction of the facts, making the PageFacts record, the
   contract check (the 50-rule contract of bench/check_run.py), the page rules with the
   page's summary, and the site rules per page (over the summaries of the corpus).
2. `zoret.audit.audit` end to end over the corpus, contract and site audit rules on,
   with 1 and 2 worker processes: pages per second of wall time, and per core of CPU
   time (goal: at least 3,000), the scaling from 1 to 2 workers, and the peak memory of
   a worker on a corpus and on one four times as large (flat when nothing accumulates);
   once more without the rules, for their cost end to end.
3. The same on a Dask LocalCluster of 2 worker processes: its overhead against the pool.

    python bench/audit_run.py [--pages N] [--quick] [--json OUT]
"""

from __future__ import annotations

import argparse
import json
import os
import random
import subprocess
import sys
import tempfile
import time
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))
sys.path.insert(0, str(ROOT / "bench"))

from check_run import fifty_rule_contract, site_config  # noqa: E402  (needs the path above)

from zoret.check import Contract  # noqa: E402

WORDS = (
    "search engines read the metadata of every page a site serves and a contract states what "
    "each route promises titles descriptions canonical links structured data and robots"
).split()
SECTIONS = ["blog", "docs", "products", "help", "news", "guides"]
LD = "application/ld+json"


def page_html(index: int, rng: random.Random, size: int = 50_000) -> tuple[str, str]:
    """A page as static site generators write them: a full head, inline style and
    script, navigation, an article, a footer; about `size` bytes."""
    section = SECTIONS[index % len(SECTIONS)]
    route = f"/{section}/page-{index}.html"
    url = f"https://example.com{route}"
    title = f"Page {index}: " + " ".join(rng.choice(WORDS) for _ in range(5)).capitalize()
    description = " ".join(rng.choice(WORDS) for _ in range(22)).capitalize() + "."
    jsonld = json.dumps({
        "@context": "https://schema.org",
        "@graph": [
            {"@type": "Article", "headline": title, "url": url, "datePublished": "2026-12-06",
             "author": {"@type": "Person", "name": "Ada Example"},
             "image": {"@type": "ImageObject", "url": f"https://example.com/i/{index}.png"}},
            {"@type": "BreadcrumbList", "itemListElement": [
                {"@type": "ListItem", "position": 1, "name": "Home", "item": "https://example.com/"},
                {"@type": "ListItem", "position": 2, "name": section, "item": f"https://example.com/{section}/"},
            ]},
        ],
    })  # fmt: skip
    head = [
        '<meta charset="utf-8">',
        '<meta name="viewport" content="width=device-width, initial-scale=1">',
        f"<title>{title} | Example Journal</title>",
        f'<meta name="description" content="{description}">',
        f'<link rel="canonical" href="{url}">',
        '<meta name="robots" content="index, follow, max-image-preview:large">',
        f'<link rel="alternate" hreflang="en" href="{url}">',
        *(
            f'<link rel="alternate" hreflang="{lang}" href="https://example.com/{lang}{route}">'
            for lang in ("de", "fr")
        ),
        f'<meta property="og:title" content="{title}">',
        '<meta property="og:type" content="article">',
        f'<meta property="og:url" content="{url}">',
        f'<meta property="og:image" content="https://example.com/i/{index}.png">',
        f'<meta property="og:description" content="{description}">',
        '<meta name="twitter:card" content="summary_large_image">',
        '<meta name="twitter:site" content="@example">',
        '<link rel="stylesheet" href="/static/site.css">',
        "<style>"
        + "".join(
            f".c{i}{{margin:{i % 9}px;padding:0 {i % 7}px;color:#{i:03x}}}\n" for i in range(120)
        )
        + "</style>",
        f'<script type="application/ld+json">{jsonld}</script>',
    ]
    nav = "<nav><ul>" + "".join(
        f'<li><a href="/{s}/">{s.title()}</a></li>' for s in SECTIONS * 6
    ) + "</ul></nav>"  # fmt: skip
    paragraphs = []
    body_size = 0
    target = size - 9_000
    while body_size < target:
        text = " ".join(rng.choice(WORDS) for _ in range(60))
        link = f'<a href="/{rng.choice(SECTIONS)}/page-{rng.randrange(10_000)}.html">related</a>'
        paragraph = f"<p>{text.capitalize()} {link} <em>{rng.choice(WORDS)}</em>.</p>\n"
        paragraphs.append(paragraph)
        body_size += len(paragraph)
    footer = "<footer>" + " ".join(f'<a href="/legal/{i}">Legal {i}</a>' for i in range(20))
    script = "<script>" + "window.dataLayer=window.dataLayer||[];" * 60 + "</script>"
    html = (
        f'<!doctype html><html lang="en"><head>{"".join(head)}</head><body>{nav}<main><article>'
        f"<h1>{title}</h1>{''.join(paragraphs)}</article></main>{footer}</footer>{script}"
        "</body></html>"
    )
    return route, html


def write_corpus(folder: Path, pages: int) -> int:
    rng = random.Random(2026)
    total = 0
    for index in range(pages):
        route, html = page_html(index, rng)
        path = folder / route.lstrip("/")
        path.parent.mkdir(parents=True, exist_ok=True)
        data = html.encode()
        path.write_bytes(data)
        total += len(data)
    return total


def stages(folder: Path, limit: int) -> dict[str, float]:
    """Microseconds of CPU time per page for each step, in one process."""
    from selectolax.lexbor import LexborDocumentOptions, LexborHTMLParser

    from zoret.audit.encoding import decode, sniff
    from zoret.audit.reader import facts_from_tree
    from zoret.audit_rules import AuditRules, audit_page, audit_site, page_summary
    from zoret.check import PageFacts

    contract, config, rules = Contract(fifty_rule_contract()), site_config(), AuditRules()
    summaries = []
    files = sorted(folder.rglob("*.html"))[:limit]
    routes = ["/" + f.relative_to(folder).as_posix() for f in files]
    timings = dict.fromkeys(
        ["read", "decode", "parse", "extract", "PageFacts", "check", "page rules", "site rules"],
        0.0,
    )
    for path, route in zip(files, routes, strict=True):
        t0 = time.process_time()
        data = path.read_bytes()
        t1 = time.process_time()
        text = decode(data, sniff(data)[0])
        t2 = time.process_time()
        tree = LexborHTMLParser(text, scripting=True, options=LexborDocumentOptions.WO_EVENTS)
        t3 = time.process_time()
        facts = facts_from_tree(tree, route)
        t4 = time.process_time()
        # The record again, from the same values, to tell its cost from the extraction's.
        scripts = [s.text() for s in tree.tags("script") if s.attributes.get("type") == LD]
        t5 = time.process_time()
        PageFacts(
            route, title=facts.title, description=facts.description, canonical=facts.canonical,
            robots=facts.robots, properties=facts.properties, jsonld=scripts,
            hreflang=facts.hreflang,
        )  # fmt: skip
        t6 = time.process_time()
        contract.check_report(route, facts, config)
        t7 = time.process_time()
        audit_page(facts, rules, config)
        summaries.append(page_summary(facts))
        t8 = time.process_time()
        timings["read"] += t1 - t0
        timings["decode"] += t2 - t1
        timings["parse"] += t3 - t2
        timings["extract"] += (t4 - t3) - (t6 - t5)
        timings["PageFacts"] += t6 - t5
        timings["check"] += t7 - t6
        timings["page rules"] += t8 - t7
    t0 = time.process_time()
    audit_site(summaries, rules, config)
    timings["site rules"] = time.process_time() - t0
    return {name: seconds / len(files) * 1e6 for name, seconds in timings.items()}


RUN = """
import json, resource, sys, time
sys.path[:0] = {paths!r}
from check_run import fifty_rule_contract, site_config
from zoret.audit import audit
from zoret.check import Contract
contract, config = Contract(fifty_rule_contract()), site_config()
client = cluster = None
if {dask!r}:
    import distributed
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       dashboard_address=None, silence_logs=50)
    client = distributed.Client(cluster)
    client.run(lambda: None)
cpu0 = time.process_time(); children0 = resource.getrusage(resource.RUSAGE_CHILDREN)
report = audit({folder!r}, contract=contract, config=config, workers={workers!r}, client=client,
               rules=None if {rules!r} else False)
children = resource.getrusage(resource.RUSAGE_CHILDREN)
if client is not None:
    worker_cpu = sum(client.run(lambda: __import__("time").process_time()).values())
    worker_rss = max(client.run(lambda: __import__("resource").getrusage(0).ru_maxrss).values())
    client.close(); cluster.close()
else:
    worker_cpu = (children.ru_utime + children.ru_stime) - (children0.ru_utime + children0.ru_stime)
    worker_rss = children.ru_maxrss
print(json.dumps({{
    "pages": len(report.pages), "wall": report.timings.seconds, "mode": report.timings.mode,
    "cpu": time.process_time() - cpu0 + worker_cpu,
    "worker_rss_mib": worker_rss / 1024,
    "self_rss_mib": resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024,
    "violations": len(report.violations),
}}))
"""


def run(
    folder: Path, workers: int | None, dask: bool = False, rules: bool = True
) -> dict[str, Any]:
    code = RUN.format(
        paths=[str(ROOT / "python"), str(ROOT / "bench")],
        folder=str(folder),
        workers=workers,
        dask=dask,
        rules=rules,
    )
    done = subprocess.run(
        [sys.executable, "-c", code], capture_output=True, text=True, check=True, timeout=1800
    )
    return json.loads(done.stdout.splitlines()[-1])  # type: ignore[no-any-return]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pages", type=int, default=8000, help="pages in the corpus")
    parser.add_argument("--quick", action="store_true", help="a corpus of 1,000 pages")
    parser.add_argument("--json", help="write the figures to this file")
    args = parser.parse_args()
    pages = 1000 if args.quick else args.pages
    figures: dict[str, Any] = {"cores": len(os.sched_getaffinity(0))}
    with tempfile.TemporaryDirectory(prefix="zoret-audit-bench-") as directory:
        small, large = Path(directory, "small"), Path(directory, "large")
        size = write_corpus(large, pages)
        write_corpus(small, pages // 4)
        figures["corpus"] = {"pages": pages, "mean_kib": size / pages / 1024}
        print(f"corpus: {pages} pages of {size / pages / 1024:.1f} KiB on average")
        # The best of three runs: this machine is shared, and slower runs measure the others.
        runs = [stages(large, min(pages, 2000)) for _ in range(3)]
        figures["stages_us"] = {name: min(r[name] for r in runs) for name in runs[0]}
        total = sum(figures["stages_us"].values())
        print("one page, CPU time: " + ", ".join(
            f"{name} {us:.0f} µs" for name, us in figures["stages_us"].items()
        ) + f"; {total:.0f} µs in all, {1e6 / total:,.0f} pages/s")  # fmt: skip
        for label, folder, workers, dask, rules in [
            ("1 process", large, 1, False, True),
            ("1 process, no rules", large, 1, False, False),
            ("2 workers", large, 2, False, True),
            ("2 workers, 1/4 corpus", small, 2, False, True),
            ("dask, 2 workers", large, None, True, True),
        ]:
            result = min(
                (run(folder, workers, dask, rules) for _ in range(3)), key=lambda r: r["wall"]
            )
            result["pages_per_s"] = result["pages"] / result["wall"]
            result["pages_per_cpu_s"] = result["pages"] / result["cpu"]
            figures[label] = result
            print(
                f"{label:24} {result['pages']:6} pages in {result['wall']:6.2f} s: "
                f"{result['pages_per_s']:7,.0f} pages/s, {result['pages_per_cpu_s']:7,.0f} pages/s "
                f"per core of CPU; worker peak {result['worker_rss_mib']:.0f} MiB, "
                f"main {result['self_rss_mib']:.0f} MiB"
            )
    one, two = figures["1 process"], figures["2 workers"]
    dask = figures["dask, 2 workers"]
    print(f"scaling 1 -> 2 workers: {two['pages_per_s'] / one['pages_per_s']:.2f}x")
    print(f"dask against the pool: {dask['wall'] / two['wall']:.2f}x the wall time")
    quarter = figures["2 workers, 1/4 corpus"]
    print(
        f"worker peak memory, corpus and a quarter of it: {two['worker_rss_mib']:.0f} and "
        f"{quarter['worker_rss_mib']:.0f} MiB"
    )
    if args.json:
        Path(args.json).write_text(json.dumps(figures, indent=2))


if __name__ == "__main__":
    main()
