"""Times contract checks from Python and `zoret check` on generated manifests.

One page against the 50-rule contract of bench/check_bench.cpp, called from Python (goal:
at most 2 µs; the core alone is timed by zoret_check_bench, whose figures are printed
beside when it is built). Then the command line on manifests of 10^4 and 10^5 routes,
each in a process of its own: routes per second of CPU time (user + system, the figure
per core) and of wall time, and the peak resident memory of each run, which stays flat
when the run streams.

    python bench/check_run.py [--check-bench PATH] [--quick] [--json OUT]
"""

from __future__ import annotations

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import timeit
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))

import zoret  # noqa: E402  (needs the path above)
from zoret.check import Contract  # noqa: E402

sys.path.insert(0, str(ROOT / "bench"))
from versus import zoret_config as site_config  # noqa: E402  (one site for every bench)

E = zoret.SEOExpectation
SECTIONS = [
    ("blog", "Article"), ("docs", "TechArticle"), ("products", "Product"), ("help", "FAQPage"),
    ("careers", "JobPosting"), ("events", "Event"), ("news", "NewsArticle"), ("authors", "Person"),
    ("tags", "CollectionPage"), ("legal", "WebPage"), ("guides", "HowTo"), ("recipes", "Recipe"),
    ("videos", "VideoObject"), ("podcasts", "PodcastEpisode"), ("press", "NewsArticle"),
    ("partners", "Organization"), ("support", "FAQPage"), ("community", "DiscussionForumPosting"),
    ("shop", "Product"), ("courses", "Course"),
]  # fmt: skip
ROUTE = "/blog/deterministic-metadata"


def fifty_rule_contract() -> zoret.SEOContract:
    """The contract of fifty_rule_contract() in bench/check_bench.cpp."""
    rules = []
    for section, schema_type in SECTIONS:
        title = E(matches="^[A-Z0-9]", max_length=70)
        page = E(title=title, schema_required=True, schema_types=[schema_type])
        rules.append(zoret.SEOContractRule(f"/{section}/*", page))
        description = E(description=E(matches="[.!?]$", min_length=50, max_length=160))
        rules.append(zoret.SEOContractRule(f"/{section}/**", description, severity="warning"))
    for locale in ("fr", "de", "es", "it"):
        rules.append(zoret.SEOContractRule(f"/{locale}/**", E(hreflang_required=True)))
    rules += [
        zoret.SEOContractRule("/**/amp", E(canonical="absent")),
        zoret.SEOContractRule("/search", E(indexable=False)),
        zoret.SEOContractRule("/**/print", E(indexable=False)),
        zoret.SEOContractRule("/**", E(title=E(not_equals="Untitled"))),
        zoret.SEOContractRule("/products/*/reviews", E(max_items=5)),
        zoret.SEOContractRule("/blog/*/comments", E(indexable=False)),
    ]
    defaults = E(indexable=True, canonical="self", og_required=True, twitter_required=True,
                 title=E(required=True, max_length=70), description=E(required=True))  # fmt: skip
    exceptions = [
        ("/", E(schema_required=True, schema_types=["WebSite"])),
        ("/about", E(title=E(matches="About", max_length=60))),
    ]
    config = zoret.SEOContractConfig(
        "example.com", defaults=defaults, rules=rules, exceptions=exceptions
    )
    return zoret.build_seo_contract(config)


SITE_TOML = """\
canonical_host = "example.com"
public_base_url = "https://example.com"
title_template = "{title} | Example Journal"
publisher_name = "Example Media"
publisher_logo = "https://example.com/static/logo.png"
site_name = "Example Journal"
locale = "en_US"
default_og_image = { url = "https://example.com/static/og-default.png", width = 1200, height = 630 }
"""


def blog_payload(config: zoret.SEOConfig) -> zoret.SEOPayload:
    """The blog post of check_bench.cpp: it passes all 14 constraints in force."""
    entity = zoret.SEOEntity(
        "post",
        slug="deterministic-metadata",
        title="Deterministic SEO metadata for Python web apps",
        excerpt="How resolving every head tag from one payload keeps previews, caches and "
        "snapshot tests in step.",
        featured_image=zoret.SEOImage(
            "https://example.com/media/pipeline.jpg",
            width=1600,
            height=900,
            alt="Diagram of the metadata pipeline",
        ),
        published_at="2026-03-14T09:30:00Z",
        author_name="Ada Example",
        breadcrumbs=[
            zoret.Breadcrumb("Home", "/"),
            zoret.Breadcrumb("Blog", "/blog"),
            zoret.Breadcrumb("Deterministic SEO metadata", "/blog/deterministic-metadata"),
        ],
    )
    return zoret.build_seo_payload(entity, ROUTE, config)


def best_us(stmt: str, namespace: dict[str, Any], quick: bool) -> float:
    timer = timeit.Timer(stmt, globals=namespace, timer=time.process_time)
    number, _ = timer.autorange()
    runs = timer.repeat(repeat=3 if quick else 9, number=number)
    return min(runs) / number * 1e6


def write_manifest(path: Path, routes: int) -> None:
    """Pages spread over the contract's sections: a post or page with an excerpt, an image
    and two breadcrumbs, one in ten with overrides."""
    with path.open("w", encoding="utf-8") as out:
        for i in range(routes):
            section = SECTIONS[i % len(SECTIONS)][0]
            line: dict[str, Any] = {
                "route": f"/{section}/page-{i}",
                "entity": {
                    "entity_type": "post" if section in ("blog", "news") else "page",
                    "title": f"Page {i} of the {section} section",
                    "excerpt": "A short description of this page, long enough to count as one "
                    "for the checks of the contract.",
                    "published_at": "2026-03-14",
                    "author_name": "Ada Example",
                    "featured_image": {"url": f"/media/{i}.png", "width": 1200, "height": 630},
                    "breadcrumbs": [
                        {"name": "Home", "url": "/"},
                        {"name": section.title(), "url": f"/{section}"},
                    ],
                },
            }
            if i % 10 == 0:
                line["overrides"] = {"meta_description": "An override of this page's description."}
            out.write(json.dumps(line) + "\n")


def run_cli(argv: list[str]) -> dict[str, float]:
    """Runs `python -m zoret ARGV` and reads its own resource usage."""
    env = os.environ | {"PYTHONPATH": str(ROOT / "python")}
    start = time.perf_counter()
    process = subprocess.Popen(
        [sys.executable, "-m", "zoret", *argv], env=env, stdout=subprocess.DEVNULL
    )
    _, status, usage = os.wait4(process.pid, 0)
    wall = time.perf_counter() - start
    process.returncode = os.waitstatus_to_exitcode(status)
    if process.returncode not in (0, 1):
        raise SystemExit(f"zoret {' '.join(argv)} failed with {process.returncode}")
    return {
        "wall_s": wall,
        "cpu_s": usage.ru_utime + usage.ru_stime,
        "peak_rss_mib": usage.ru_maxrss / 1024,
    }


def core_figures(binary: Path | None, quick: bool) -> dict[str, float]:
    if binary is None or not binary.exists():
        return {}
    args = [str(binary), "--benchmark_format=json", "--benchmark_filter=Check|Manifest"]
    if quick:
        args.append("--benchmark_min_time=0.01")
    report = json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)
    return {b["name"]: b["cpu_time"] / 1000 for b in report["benchmarks"]}  # ns -> µs


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check-bench", help="zoret_check_bench (default: build-bench/bench/)")
    parser.add_argument("--quick", action="store_true", help="short runs, for checking the script")
    parser.add_argument("--json", metavar="OUT", help="also write the figures to this JSON file")
    args = parser.parse_args(argv)

    config = site_config()
    contract = Contract(fifty_rule_contract())
    page = blog_payload(config)
    report = contract.check_report(ROUTE, page)
    if report.violations or report.constraints_checked != 14:
        raise SystemExit(f"the blog post should pass 14 constraints: {report!r}")
    facts = zoret.check.facts_from_payload(page, ROUTE)
    ns = {"contract": contract, "page": page, "facts": facts, "route": ROUTE, "config": config}
    python = {
        "check payload": best_us("contract.check(route, page)", ns, args.quick),
        "check payload, site config": best_us(
            "contract.check(route, page, config)", ns, args.quick
        ),
        "check facts": best_us("contract.check(route, facts)", ns, args.quick),
    }
    default = ROOT / "build-bench" / "bench" / "zoret_check_bench"
    core = core_figures(Path(args.check_bench) if args.check_bench else default, args.quick)
    core_names = {
        "check payload": "BM_CheckPayload50Rules",
        "check payload, site config": "BM_CheckPayload50RulesSiteConfig",
        "check facts": "BM_CheckFacts50Rules",
    }
    print("one page, 50-rule contract (14 constraints in force), best of repeated runs, CPU time")
    for name, us in python.items():
        in_core = core.get(core_names[name])
        beside = f"   core {in_core:.2f} µs" if in_core is not None else ""
        print(f"  {name:<28} {us:6.2f} µs from Python{beside}")
    if "BM_CheckManifestLine50Rules" in core:
        line_us = core["BM_CheckManifestLine50Rules"]
        print(f"  {'read+build+check a line':<28} {line_us:6.2f} µs in the core")

    sizes = (2_000, 10_000) if args.quick else (10_000, 100_000)
    cli: dict[int, dict[str, float]] = {}
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        (work / "site.toml").write_text(SITE_TOML, encoding="utf-8")
        fifty_rule_contract().write(str(work / "seo-contract.json"))
        for routes in sizes:
            manifest = work / f"routes-{routes}.jsonl"
            write_manifest(manifest, routes)
            contract_file, site_file = work / "seo-contract.json", work / "site.toml"
            argv = ["check", "--contract", str(contract_file), "--site", str(site_file)]
            argv += ["--manifest", str(manifest), "-o", os.devnull]
            cli[routes] = run_cli(argv)
    print()
    print("zoret check on a generated manifest (its own process; startup included)")
    for routes, figures in cli.items():
        per_cpu = routes / figures["cpu_s"]
        per_wall = routes / figures["wall_s"]
        print(
            f"  {routes:>7} routes  {per_cpu:9,.0f} routes/s per core (CPU)  "
            f"{per_wall:9,.0f} routes/s (wall)  peak RSS {figures['peak_rss_mib']:6.1f} MiB"
        )

    small, large = (cli[s] for s in sizes)
    per_core = sizes[1] / large["cpu_s"]
    growth = large["peak_rss_mib"] / small["peak_rss_mib"]
    check_us = python["check payload"]
    targets = {
        "python_check_under_2us": check_us <= 2,
        "cli_50k_routes_per_core": per_core >= 50_000,
        "memory_flat": growth < 1.25,
    }
    print()
    print("targets")
    rows = [
        ("check from Python", f"{check_us:8.2f} µs", "<= 2 µs", "python_check_under_2us"),
        ("CLI, routes/s per core", f"{per_core:8,.0f}   ", ">= 50,000", "cli_50k_routes_per_core"),
        (f"peak RSS {sizes[1]:,} / {sizes[0]:,}", f"{growth:8.2f} x ", "< 1.25 x", "memory_flat"),
    ]
    for label, value, goal, key in rows:
        print(f"  {label:<26} {value}  {goal:<12} {_verdict(targets[key])}")
    if args.json:
        result: dict[str, Any] = {"python_us": python, "core_us": core, "cli": cli}
        result["targets"] = targets
        Path(args.json).write_text(json.dumps(result, indent=2) + "\n", encoding="utf-8")
    return 0 if all(targets.values()) else 1


def _verdict(ok: bool) -> str:
    return "met" if ok else "MISSED"


if __name__ == "__main__":
    raise SystemExit(main())
