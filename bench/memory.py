"""Does a long-running process grow? Many builds with a hook, dictionary views,
JSON outputs and raised errors, with the growth of Python's heap (tracemalloc) and
of the process (resident set size) printed at the end.

A warm-up pass first lets caches, free lists and the allocator settle; the growth
is then measured over `--count` more iterations. Exits with 1 when either figure
grows by `--limit-kb` or more.

    python bench/memory.py [--count 1000000] [--limit-kb 1024]
"""

from __future__ import annotations

import argparse
import gc
import os
import sys
import time
import tracemalloc
from pathlib import Path
from typing import Any

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))

import zoret  # noqa: E402  (needs the path above)
from zoret.hooks import HookRegistry  # noqa: E402

PAGE_SIZE = os.sysconf("SC_PAGE_SIZE")


def rss_bytes() -> int:
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE_SIZE


class Refused(Exception):
    """What the hook raises for every tenth page."""


def brand(payload: dict[str, Any], entity: zoret.SEOEntity, config: zoret.SEOConfig) -> None:
    if payload["canonical"].endswith("/refused"):
        raise Refused(payload["canonical"])
    payload["title"] += " | Example"
    payload["schema_jsonld"]["keywords"] = ["metadata", "python"]


def make_config() -> zoret.SEOConfig:
    hooks = HookRegistry()
    hooks.post_process(brand)
    return zoret.SEOConfig(
        "example.com", "https://example.com", publisher_name="Example Media", hooks=hooks
    )


def one_iteration(n: int, config: zoret.SEOConfig, entity: zoret.SEOEntity) -> None:
    payload = zoret.build_seo_payload(entity, f"/blog/post-{n % 100}", config)
    payload.to_dict()
    payload.to_dict()
    _ = payload["title"], payload["og"], len(payload), "og" in payload, payload.keys()
    payload.to_json()
    payload.etag()
    payload.render_html()
    zoret.clean_url_fn(f"/a?utm_source=x&id={n}")
    try:  # the hook raises
        zoret.build_seo_payload(entity, "/refused", config)
    except Refused:
        pass
    try:  # the core refuses
        zoret.build_seo_payload(entity, "   ", config)
    except zoret.InvalidUrlError:
        pass
    try:  # the binding refuses
        payload[5]  # type: ignore[index]
    except TypeError:
        pass


def run(count: int, config: zoret.SEOConfig, entity: zoret.SEOEntity) -> None:
    for n in range(count):
        one_iteration(n, config, entity)


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--count", type=int, default=1_000_000)
    parser.add_argument("--limit-kb", type=int, default=1024)
    args = parser.parse_args()

    config = make_config()
    entity = zoret.SEOEntity(
        "page", title="Memory", body_html="<p>" + "text " * 200 + "</p>", slug="memory"
    )
    warm_up = max(1000, args.count // 10)
    run(warm_up, config, entity)
    gc.collect()
    tracemalloc.start()
    heap_before, rss_before = tracemalloc.get_traced_memory()[0], rss_bytes()
    start = time.perf_counter()
    run(args.count, config, entity)
    elapsed = time.perf_counter() - start
    gc.collect()
    heap_growth = tracemalloc.get_traced_memory()[0] - heap_before
    rss_growth = rss_bytes() - rss_before
    tracemalloc.stop()

    limit = args.limit_kb * 1024
    print(f"memory: {args.count} iterations after {warm_up} to warm up ({elapsed:.1f} s)")
    for name, growth in (("tracemalloc", heap_growth), ("RSS", rss_growth)):
        verdict = "met" if growth < limit else "MISSED"
        print(f"  {name:<12} {growth / 1024:+10.1f} KB   < {args.limit_kb} KB   {verdict}")
    return 0 if heap_growth < limit and rss_growth < limit else 1


if __name__ == "__main__":
    raise SystemExit(main())
