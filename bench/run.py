"""Times zoret from Python next to the peers a web application would otherwise use.

First the side-by-side rows of bench/versus.py: zoret against a plain-Python
yardstick and the peers, with their goals. Then, in this one process, side by
side: the three page builds through the Python API, render_html() against a
Jinja2 template that writes the same tags, to_json() against json and orjson,
etag() against hashlib over json.dumps, and a whole request. Then the core
benchmark binary runs (its JSON report is read) and its figures are printed next
to the Python ones, followed by the URL benchmark (with ada beside our parser
when `make bench` has fetched it). The process is pinned to one core throughout.

    python bench/run.py [--core-bench PATH] [--url-bench PATH] [--json OUT] [--quick]
        [--cpu N] [--only-versus]

The page inputs mirror bench/core_bench.cpp; the script checks that both sides
produce the same payload before it compares their times.
"""

from __future__ import annotations

import argparse
import hashlib
import json
import os
import platform
import statistics
import subprocess
import sys
import time
import timeit
from dataclasses import dataclass
from pathlib import Path
from typing import Any

import jinja2
import markupsafe
import orjson

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))

import versus  # noqa: E402  (needs the path above)
from versus import zoret_config as site_config  # noqa: E402  (one site for every bench)

import zoret  # noqa: E402

# --- inputs, spelled as in bench/core_bench.cpp ------------------------------------

BLOG_PARAGRAPH = (
    "<h2>Why determinism matters</h2>\n"
    "<p>Search engines and social previews read the <em>same</em> head on every request, "
    "so the metadata of a page should only change when its content does. "
    '<a href="/blog/caching">Caching</a> and snapshot tests rely on it, and an '
    "<strong>ETag</strong> computed from the payload lets a CDN skip whole renders.</p>\n"
    "<p>The builder resolves each field from overrides, entity data and site defaults, "
    "in that order, and never consults the clock.</p>\n"
)
BLOG_BODY_BYTES = 5 * 1024


def repeat_to(unit: str, at_least: int) -> str:
    """`unit` repeated until the UTF-8 text holds at least `at_least` bytes."""
    size = len(unit.encode())
    return unit * -(-at_least // size)


def blog_page() -> tuple[zoret.SEOEntity, str]:
    entity = zoret.SEOEntity(
        "post",
        slug="deterministic-metadata",
        title="Deterministic SEO metadata for Python web apps",
        excerpt=(
            "How resolving every head tag from one payload keeps previews, caches and "
            "snapshot tests in step."
        ),
        body_html=repeat_to(BLOG_PARAGRAPH, BLOG_BODY_BYTES),
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
    return entity, "/blog/deterministic-metadata"


def product_page() -> tuple[zoret.SEOEntity, str]:
    entity = zoret.SEOEntity(
        "product",
        slug="trail-running-shoe",
        title="Trail Running Shoe",
        excerpt="A light trail shoe with a grippy outsole and a roomy toe box.",
        featured_image=zoret.SEOImage(
            "https://example.com/media/shoe.jpg",
            width=1200,
            height=1200,
            alt="Trail Running Shoe, side view",
        ),
        sku="TRS-2041",
        price="129.90",
        price_currency="EUR",
        availability="InStock",
    )
    return entity, "/shop/trail-running-shoe"


def faq_page() -> tuple[zoret.SEOEntity, str]:
    items = [
        zoret.FAQItem(
            f"How does shipping option {n} work?",
            f"Option {n} ships within {n} business days and can be tracked from your account page.",
        )
        for n in range(1, 21)
    ]
    entity = zoret.SEOEntity(
        "faq",
        slug="shipping",
        title="Shipping questions",
        excerpt="Answers to the questions we hear most about shipping and returns.",
        faq_items=items,
    )
    return entity, "/help/shipping"


PAGES = {"blog": blog_page, "product": product_page, "faq": faq_page}

# --- the Jinja2 peer: the same tag lines from payload.to_dict() --------------------

HEAD_TEMPLATE = """\
<title>{{ title }}</title>
{% if description %}
<meta name="description" content="{{ description }}">
{% endif %}
<link rel="canonical" href="{{ canonical }}">
<meta name="robots" content="{{ robots }}">
<meta property="og:type" content="{{ og.type }}">
{% if og.title is defined %}
<meta property="og:title" content="{{ og.title }}">
{% endif %}
{% if og.description is defined %}
<meta property="og:description" content="{{ og.description }}">
{% endif %}
{% if og.url is defined %}
<meta property="og:url" content="{{ og.url }}">
{% endif %}
{% if og.image is defined %}
<meta property="og:image" content="{{ og.image }}">
{% endif %}
{% if og.image_width is defined %}
<meta property="og:image:width" content="{{ og.image_width }}">
{% endif %}
{% if og.image_height is defined %}
<meta property="og:image:height" content="{{ og.image_height }}">
{% endif %}
{% if og.image_alt is defined %}
<meta property="og:image:alt" content="{{ og.image_alt }}">
{% endif %}
{% if og.site_name is defined %}
<meta property="og:site_name" content="{{ og.site_name }}">
{% endif %}
{% if og.locale is defined %}
<meta property="og:locale" content="{{ og.locale }}">
{% endif %}
{% for alternate in og.locale_alternate %}
<meta property="og:locale:alternate" content="{{ alternate }}">
{% endfor %}
{% if og.audio is defined %}
<meta property="og:audio" content="{{ og.audio }}">
{% endif %}
{% if og.video is defined %}
<meta property="og:video" content="{{ og.video }}">
{% endif %}
<meta name="twitter:card" content="{{ twitter.card }}">
{% if twitter.title is defined %}
<meta name="twitter:title" content="{{ twitter.title }}">
{% endif %}
{% if twitter.description is defined %}
<meta name="twitter:description" content="{{ twitter.description }}">
{% endif %}
{% if twitter.image is defined %}
<meta name="twitter:image" content="{{ twitter.image }}">
{% endif %}
{% if twitter.image_alt is defined %}
<meta name="twitter:image:alt" content="{{ twitter.image_alt }}">
{% endif %}
{% if twitter.site is defined %}
<meta name="twitter:site" content="{{ twitter.site }}">
{% endif %}
{% if twitter.creator is defined %}
<meta name="twitter:creator" content="{{ twitter.creator }}">
{% endif %}
{% if schema_jsonld is defined %}
<script type="application/ld+json">
{{ schema_jsonld | jsonld }}
</script>
{% endif %}
"""


def jsonld_filter(value: Any) -> markupsafe.Markup:
    # The same protection as the core: no "</" may close the script element early.
    text = json.dumps(value, indent=2, ensure_ascii=False)
    return markupsafe.Markup(text.replace("</", "<\\/"))


def jinja_template() -> jinja2.Template:
    """The tag lines of render_html(), written the way an application template would."""
    env = jinja2.Environment(
        autoescape=True, trim_blocks=True, lstrip_blocks=True, keep_trailing_newline=True
    )
    env.filters["jsonld"] = jsonld_filter
    return env.from_string(HEAD_TEMPLATE)


# --- timing -------------------------------------------------------------------------


@dataclass
class Timing:
    median_us: float
    min_us: float
    loops: int

    def as_dict(self) -> dict[str, float]:
        return {"median_us": self.median_us, "min_us": self.min_us, "loops": self.loops}


def measure(stmt: str, namespace: dict[str, Any], *, repeat: int, min_seconds: float) -> Timing:
    """Median and best of `repeat` runs, each long enough to dwarf timer overhead.

    The statement is compiled into timeit's loop, so no extra Python call is timed.
    Process CPU time, not wall time: on a shared machine other processes' turns
    would otherwise count against us (the core figures are CPU time too).
    """
    timer = timeit.Timer(stmt, timer=time.process_time, globals=namespace)
    loops = 1
    while True:
        if timer.timeit(loops) >= min_seconds:
            break
        loops *= 2 if loops < 1000 else 4
    runs = [t / loops * 1e6 for t in timer.repeat(repeat=repeat, number=loops)]
    return Timing(statistics.median(runs), min(runs), loops)


# --- core benchmark -----------------------------------------------------------------


def find_binary(explicit: str | None, name: str) -> Path | None:
    if explicit:
        path = Path(explicit)
        return path if path.is_file() else None
    for candidate in (ROOT / "build-bench" / "bench" / name, ROOT / "build" / "bench" / name):
        if candidate.is_file() and os.access(candidate, os.X_OK):
            return candidate
    return None


@dataclass
class CoreFigure:
    time_us: float
    bytes_per_second: float | None = None


def run_core(binary: Path, quick: bool) -> dict[str, CoreFigure]:
    # The first benchmark would otherwise also time cold caches and lazy set-up.
    args = [str(binary), "--benchmark_format=json", "--benchmark_min_warmup_time=0.1"]
    if quick:
        args.append("--benchmark_min_time=0.05")
    else:
        args += ["--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"]
    report = json.loads(subprocess.run(args, check=True, capture_output=True, text=True).stdout)
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}
    figures: dict[str, CoreFigure] = {}
    for entry in report["benchmarks"]:
        if quick:
            name = entry["name"]
        elif entry.get("aggregate_name") == "median":
            name = entry["run_name"]
        else:
            continue
        # CPU time, like the Python side; bytes_per_second is also based on it.
        time_us = entry["cpu_time"] * scale[entry["time_unit"]]
        figures[name] = CoreFigure(time_us, entry.get("bytes_per_second"))
    return figures


def core_payload_json(binary: Path, page: str) -> str:
    args = [str(binary), f"--zoret_dump={page}"]
    out = subprocess.run(args, check=True, capture_output=True, text=True)
    return out.stdout.rstrip("\n")


# --- machine ------------------------------------------------------------------------


def machine_info() -> dict[str, Any]:
    cpu = platform.processor() or "unknown"
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return {
        "platform": platform.platform(),
        "python": f"{platform.python_implementation()} {platform.python_version()}",
        "cpu": cpu,
        "cores": os.cpu_count(),
        "jinja2": jinja2.__version__,
        "orjson": orjson.__version__,
        "zoret": zoret.__version__,
    }


# --- report -------------------------------------------------------------------------


@dataclass
class Row:
    label: str
    zoret_us: float | None = None
    core_us: float | None = None
    peer: str = ""
    peer_us: float | None = None
    note: str = ""

    def ratio(self) -> float | None:
        if self.zoret_us is None or self.peer_us is None:
            return None
        return self.peer_us / self.zoret_us


def fmt_us(value: float | None) -> str:
    if value is None:
        return "-"
    return f"{value:.2f}" if value < 100 else f"{value:.0f}"


def print_table(rows: list[Row]) -> None:
    header = ("measurement", "zoret py µs", "core µs", "peer", "peer µs", "peer/zoret", "note")
    cells = [header]
    for row in rows:
        ratio = row.ratio()
        cells.append(
            (
                row.label,
                fmt_us(row.zoret_us),
                fmt_us(row.core_us),
                row.peer or "-",
                fmt_us(row.peer_us),
                f"{ratio:.1f}x" if ratio is not None else "-",
                row.note,
            )
        )
    widths = [max(len(c[i]) for c in cells) for i in range(len(header))]
    right = {1, 2, 4, 5}
    for n, line in enumerate(cells):
        padded = (
            cell.rjust(width) if i in right else cell.ljust(width)
            for i, (cell, width) in enumerate(zip(line, widths, strict=False))
        )
        print("  ".join(padded).rstrip())
        if n == 0:
            print("  ".join("-" * w for w in widths))


def verdict(ok: bool) -> str:
    return "met" if ok else "MISSED"


# Repeated calls on one payload answer from what it kept; the core figure and the
# first-call rows above are the work itself.
KEPT = "repeat call: kept by the payload"


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--core-bench", help="zoret_core_bench (default: build-bench/bench/)")
    parser.add_argument("--url-bench", help="zoret_url_bench (default: build-bench/bench/)")
    parser.add_argument("--json", metavar="OUT", help="also write the figures to this JSON file")
    parser.add_argument("--quick", action="store_true", help="short runs, for checking the script")
    parser.add_argument(
        "--cpu", type=int, default=None, help="core to pin to (default: the last one allowed)"
    )
    parser.add_argument("--only-versus", action="store_true", help="only the side-by-side rows")
    args = parser.parse_args(argv)
    # One core for the whole run: the side-by-side rows alternate their contenders on it.
    allowed = sorted(os.sched_getaffinity(0))
    os.sched_setaffinity(0, {args.cpu if args.cpu is not None else allowed[-1]})
    repeat, min_seconds = (3, 0.02) if args.quick else (9, 0.2)

    info = machine_info()
    print("zoret benchmarks")
    for key, value in info.items():
        print(f"  {key:<9} {value}")
    print()

    print("zoret against the yardstick (bench/yardstick.py) and the peers")
    results, wrong = versus.run_rows(args.quick)
    versus.print_rows(results, wrong)
    print()
    if args.only_versus:
        return 1 if wrong else 0

    config = site_config()
    entities = {name: page() for name, page in PAGES.items()}
    ns: dict[str, Any] = {
        "build": zoret.build_seo_payload,
        "config": config,
        "json": json,
        "orjson": orjson,
        "hashlib": hashlib,
    }

    def time_stmt(stmt: str) -> Timing:
        return measure(stmt, ns, repeat=repeat, min_seconds=min_seconds)

    builds: dict[str, Timing] = {}
    payloads: dict[str, zoret.SEOPayload] = {}
    for name, (entity, route) in entities.items():
        ns["entity"], ns["route"] = entity, route
        payloads[name] = zoret.build_seo_payload(entity, route, config)
        builds[name] = time_stmt("build(entity, route, config)")

    blog = payloads["blog"]
    blog_entity, blog_route = entities["blog"]
    template = jinja_template()
    d = blog.to_dict()
    rendered = blog.render_html()
    jinja_rendered = template.render(d)
    same_html = rendered == jinja_rendered
    ns.update(payload=blog, d=d, template=template, entity=blog_entity, route=blog_route)
    t = {
        "to_dict": time_stmt("payload.to_dict()"),
        "render_html": time_stmt("payload.render_html()"),
        "jinja2": time_stmt("template.render(d)"),
        "to_json": time_stmt("payload.to_json()"),
        "json.dumps": time_stmt("json.dumps(d, indent=2)"),
        "orjson": time_stmt("orjson.dumps(d, option=orjson.OPT_INDENT_2)"),
        "etag": time_stmt("payload.etag()"),
        "sha256": time_stmt(
            'hashlib.sha256(json.dumps(d, separators=(",", ":")).encode()).hexdigest()'
        ),
        "request": time_stmt("p = build(entity, route, config); p.render_html(); p.etag()"),
    }

    core_binary = find_binary(args.core_bench, "zoret_core_bench")
    core: dict[str, CoreFigure] = {}
    mismatched: list[str] = []
    if core_binary is None:
        print(
            "zoret_core_bench not found; core figures left out "
            "(configure with -DZORET_BUILD_BENCH=ON)\n"
        )
    else:
        for name in PAGES:
            if core_payload_json(core_binary, name) != payloads[name].to_json():
                mismatched.append(name)
        core = run_core(core_binary, args.quick)

    def core_us(name: str) -> float | None:
        figure = core.get(name)
        return figure.time_us if figure else None

    rows = [
        Row("build blog post", builds["blog"].median_us, core_us("BM_BuildBlog")),
        Row("build product page", builds["product"].median_us, core_us("BM_BuildProduct")),
        Row("build FAQ (20 items)", builds["faq"].median_us, core_us("BM_BuildFaq")),
        Row("payload.to_dict() (the peers' input)", t["to_dict"].median_us),
        Row(
            "render_html() blog",
            t["render_html"].median_us,
            core_us("BM_RenderHtmlBlog"),
            "Jinja2 template",
            t["jinja2"].median_us,
            "same text" if same_html else "TEXT DIFFERS",
        ),
        Row(
            "to_json() blog",
            t["to_json"].median_us,
            core_us("BM_ToJsonPrettyBlog"),
            "json.dumps indent=2",
            t["json.dumps"].median_us,
            KEPT,
        ),
        Row(
            "to_json() blog",
            t["to_json"].median_us,
            core_us("BM_ToJsonPrettyBlog"),
            "orjson OPT_INDENT_2",
            t["orjson"].median_us,
            KEPT,
        ),
        Row(
            "etag() blog",
            t["etag"].median_us,
            core_us("BM_EtagPayloadBlog"),
            "sha256(json.dumps)",
            t["sha256"].median_us,
            KEPT,
        ),
        Row("hash_payload() blog (core)", None, core_us("BM_HashPayloadBlog")),
        Row("request: build+render+etag", t["request"].median_us, core_us("BM_WholeRequestBlog")),
    ]
    snippet = core.get("BM_HtmlToText200K")
    if snippet is not None:
        gbps = (snippet.bytes_per_second or 0.0) / 1e9
        label = "html_to_text 200 KB (core)"
        rows.append(Row(label, None, snippet.time_us, note=f"{gbps:.2f} GB/s"))
    cut = core.get("BM_DescriptionSnippet200K")
    if cut is not None:
        label = "description snippet of it (core)"
        rows.append(Row(label, None, cut.time_us, note="stops once it has its text"))

    print_table(rows)
    print()
    print("Medians of repeated runs, process CPU time. Python figures include the call from")
    print("Python; the peers start from payload.to_dict(), whose cost is not in their figures.")
    if not same_html:
        print("note: Jinja2 output differs from render_html() (escaping rules differ for quotes)")
    if mismatched:
        print(f"WARNING: core and Python payloads differ for: {', '.join(mismatched)}")

    targets: dict[str, Any] = {}
    blog_py = builds["blog"].median_us
    blog_core = core_us("BM_BuildBlog")
    share = (blog_py - blog_core) / blog_py if blog_core is not None else None
    jinja_ratio = t["jinja2"].median_us / t["render_html"].median_us
    print()
    print("targets")
    print(f"  blog build from Python   {blog_py:6.2f} µs   < 6 µs      {verdict(blog_py < 6)}")
    targets["blog_build_under_6us"] = blog_py < 6
    if share is not None:
        print(
            f"  binding share of build   {share * 100:6.1f} %    < 30 %      "
            f"{verdict(share < 0.30)}   ((python - core) / python; core {blog_core:.2f} µs)"
        )
        targets["binding_share_under_30pct"] = share < 0.30
    request = t["request"].median_us
    print(f"  whole request            {request:6.2f} µs   < 12 µs     {verdict(request < 12)}")
    targets["request_under_12us"] = request < 12
    print(
        f"  render_html vs Jinja2    {jinja_ratio:6.1f} x    >= 15 x     "
        f"{verdict(jinja_ratio >= 15)}"
    )
    targets["render_15x_jinja2"] = jinja_ratio >= 15
    if snippet is not None:
        gbps = (snippet.bytes_per_second or 0.0) / 1e9
        print(f"  text of 200 KB (core)    {gbps:6.2f} GB/s >= 1 GB/s   {verdict(gbps >= 1)}")
        targets["snippet_1gbps"] = gbps >= 1

    url_binary = find_binary(args.url_bench, "zoret_url_bench")
    url_output = None
    if url_binary is not None:
        done = subprocess.run([str(url_binary)], check=True, capture_output=True, text=True)
        url_output = done.stdout
        print()
        print("zoret_url_bench")
        print(url_output.rstrip())

    if args.json:
        result = {
            "machine": info,
            "python": {
                **{f"build_{name}": timing.as_dict() for name, timing in builds.items()},
                **{name: timing.as_dict() for name, timing in t.items()},
            },
            "core": {
                name: {"time_us": f.time_us, "bytes_per_second": f.bytes_per_second}
                for name, f in core.items()
            },
            "binding_share_blog_build": share,
            "render_html_vs_jinja2": jinja_ratio,
            "render_html_matches_jinja2": same_html,
            "payload_mismatch": mismatched,
            "targets": targets,
            "url_bench": url_output,
        }
        Path(args.json).write_text(json.dumps(result, indent=2) + "\n")
    return 1 if mismatched else 0


if __name__ == "__main__":
    raise SystemExit(main())
