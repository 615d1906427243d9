"""zoret against the yardstick (bench/yardstick.py) and the peers, row by row.

Each row times its contenders side by side in this process: every contender's loop
count is calibrated once, then the contenders take turns for a number of rounds so
that all of them meet the same machine load, and each figure is the median of its
rounds. The ratio is the median of the per-round ratios (peer time / zoret time),
so a greater ratio means zoret is faster. run.py pins the process to one core
first. Before timing, every row checks that its contenders give the same result.
"""

from __future__ import annotations

import hashlib
import json
import statistics
import time
import timeit
from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

import orjson
import w3lib.url
import yardstick as ys

import zoret

# --- the pages, each given to zoret and to the yardstick ------------------------


def zoret_config() -> zoret.SEOConfig:
    return zoret.SEOConfig(
        "example.com",
        "https://example.com",
        title_template="{title} | Example Journal",
        publisher_name="Example Media",
        publisher_logo="https://example.com/static/logo.png",
        default_og_image=zoret.SEOImage(
            "https://example.com/static/og-default.png",
            width=1200,
            height=630,
            alt="Example Journal",
        ),
        site_name="Example Journal",
        locale="en_US",
    )


def yard_config() -> ys.Config:
    return ys.Config(
        "example.com",
        "https://example.com",
        title_template="{title} | Example Journal",
        publisher_name="Example Media",
        publisher_logo="https://example.com/static/logo.png",
        default_og_image=ys.Image(
            "https://example.com/static/og-default.png", 1200, 630, "Example Journal"
        ),
        site_name="Example Journal",
        locale="en_US",
    )


def page_fields(name: str, body: str) -> tuple[str, dict[str, Any], str]:
    """Entity type, fields and route of a page; images and lists as plain tuples."""
    if name == "blog post":
        return (
            "post",
            {
                "slug": "deterministic-metadata",
                "title": "Deterministic SEO metadata for Python web apps",
                "body_html": body,
                "featured_image": (
                    "https://example.com/media/pipeline.jpg",
                    1600,
                    900,
                    "Diagram of the metadata pipeline",
                ),
                "published_at": "2026-03-14T09:30:00Z",
                "author_name": "Ada Example",
                "breadcrumbs": [
                    ("Home", "/"),
                    ("Blog", "/blog"),
                    ("Deterministic SEO metadata", "/blog/deterministic-metadata"),
                ],
            },
            "/blog/deterministic-metadata",
        )
    if name == "product page":
        return (
            "product",
            {
                "slug": "trail-running-shoe",
                "title": "Trail Running Shoe",
                "excerpt": "A light trail shoe with a grippy outsole and a roomy toe box.",
                "featured_image": (
                    "https://example.com/media/shoe.jpg",
                    1200,
                    1200,
                    "Trail Running Shoe, side view",
                ),
                "sku": "TRS-2041",
                "price": "129.90",
                "price_currency": "EUR",
                "availability": "InStock",
            },
            "/shop/trail-running-shoe",
        )
    if name == "minimal page":
        return "page", {"slug": "about", "title": "About us"}, "/about"
    assert name == "FAQ page (20 items)"
    return (
        "faq",
        {
            "slug": "shipping",
            "title": "Shipping questions",
            "excerpt": "Answers to the questions we hear most about shipping and returns.",
            "faq_items": [
                (
                    f"How does shipping option {n} work?",
                    f"Option {n} ships within {n} business days and can be tracked from your "
                    "account page.",
                )
                for n in range(1, 21)
            ],
        },
        "/help/shipping",
    )


PAGE_NAMES = ("blog post", "product page", "minimal page", "FAQ page (20 items)")


def zoret_entity(kind: str, fields: dict[str, Any]) -> zoret.SEOEntity:
    f = dict(fields)
    if "featured_image" in f:
        url, w, h, alt = f["featured_image"]
        f["featured_image"] = zoret.SEOImage(url, width=w, height=h, alt=alt)
    if "breadcrumbs" in f:
        f["breadcrumbs"] = [zoret.Breadcrumb(n, u) for n, u in f["breadcrumbs"]]
    if "faq_items" in f:
        f["faq_items"] = [zoret.FAQItem(q, a) for q, a in f["faq_items"]]
    return zoret.SEOEntity(kind, **f)


def yard_entity(kind: str, fields: dict[str, Any]) -> ys.Entity:
    f = dict(fields)
    if "featured_image" in f:
        f["featured_image"] = ys.Image(*f["featured_image"])
    if "breadcrumbs" in f:
        f["breadcrumbs"] = [ys.Breadcrumb(n, u) for n, u in f["breadcrumbs"]]
    if "faq_items" in f:
        f["faq_items"] = [ys.FAQItem(q, a) for q, a in f["faq_items"]]
    return ys.Entity(kind, **f)


# orjson on the same content, with the layout to_json() has: two-space indent.
ORJSON = "orjson.dumps(zd0, option=orjson.OPT_INDENT_2 | orjson.OPT_SORT_KEYS).decode()"
TYPICAL_QUERY = "utm_source=newsletter&id=7&utm_medium=email&page=2&ref=home"
TYPICAL_URL = "https://example.com/blog/post?" + TYPICAL_QUERY
PUBLIC_URL = "https://www.example.com/Blog//post/?id=7&utm_source=news#top"

# --- timing ---------------------------------------------------------------------


@dataclass
class Contender:
    name: str
    stmt: str


@dataclass
class Result:
    label: str
    medians_us: list[float]
    ratios: list[float | None]  # per contender after the first: its time / zoret's
    names: list[str]
    goal: str = ""
    met: bool | None = None


def loops_for(timer: timeit.Timer, seconds: float) -> int:
    loops = 1
    while timer.timeit(loops) < seconds:
        loops *= 2 if loops < 1000 else 4
    return loops


def side_by_side(
    contenders: list[Contender], ns: dict[str, Any], rounds: int, seconds: float
) -> tuple[list[float], list[float]]:
    """Median µs per contender and median ratio of each other contender to the first.

    A last contender named "minus" is timed like the others, and its time is taken
    off the first one's in every round: for work that can only be timed together
    with something else (a first call on a new payload needs a build first).
    """
    timers = [timeit.Timer(c.stmt, timer=time.process_time, globals=ns) for c in contenders]
    loops = [loops_for(t, seconds) for t in timers]
    samples: list[list[float]] = [[] for _ in contenders]
    for r in range(rounds):
        order = range(len(timers)) if r % 2 == 0 else reversed(range(len(timers)))
        for i in order:
            samples[i].append(timers[i].timeit(loops[i]) / loops[i] * 1e6)
    if contenders[-1].name == "minus":
        minus = samples.pop()
        samples[0] = [a - b for a, b in zip(samples[0], minus, strict=True)]
    medians = [statistics.median(s) for s in samples]
    ratios = [
        statistics.median(other / ours for other, ours in zip(s, samples[0], strict=True))
        for s in samples[1:]
    ]
    return medians, ratios


# --- the rows -------------------------------------------------------------------


def build_namespace() -> dict[str, Any]:
    body = ys_repeat()
    zc, yc = zoret_config(), yard_config()
    ns: dict[str, Any] = {
        "zoret": zoret,
        "ys": ys,
        "orjson": orjson,
        "w3lib": w3lib,
        "zc": zc,
        "yc": yc,
        "build": zoret.build_seo_payload,
    }
    for n, name in enumerate(PAGE_NAMES):
        kind, fields, route = page_fields(name, body)
        ns[f"ze{n}"], ns[f"ye{n}"], ns[f"route{n}"] = (
            zoret_entity(kind, fields),
            yard_entity(kind, fields),
            route,
        )
        ns[f"zp{n}"] = zoret.build_seo_payload(ns[f"ze{n}"], route, zc)
        ns[f"yp{n}"] = ys.build_payload(ns[f"ye{n}"], route, yc)
        # What a page row's floor starts from: the compact text its hash is taken
        # of, and its head snippet as bytes, to be made a str.
        ns[f"COMPACT{n}"] = json.dumps(
            json.loads(ns[f"zp{n}"].to_json()), separators=(",", ":"), ensure_ascii=False
        ).encode()
        ns[f"HTML{n}"] = ns[f"zp{n}"].render_html().encode()
    ns["zd0"] = ns["zp0"].to_dict()
    # What the other floors start from: the JSON of a result whose objects orjson
    # makes.
    ns["DICT_JSON"] = orjson.dumps(ns["zd0"])
    ns["CLEANED_JSON"] = orjson.dumps(zoret.clean_url_fn(TYPICAL_URL))
    ns["hashlib"] = hashlib
    return ns


def ys_repeat() -> str:
    from run import BLOG_BODY_BYTES, BLOG_PARAGRAPH, repeat_to  # the same body as run.py

    return repeat_to(BLOG_PARAGRAPH, BLOG_BODY_BYTES)


def check_agreement(ns: dict[str, Any]) -> list[str]:
    """Rows whose contenders disagree; their figures would compare different work."""
    wrong = []
    for n, name in enumerate(PAGE_NAMES):
        zp, yp = ns[f"zp{n}"], ns[f"yp{n}"]
        if zp.to_json() != ys.to_json(yp):
            wrong.append(f"{name}: to_json")
        if zp.render_html() != ys.render_html(yp):
            wrong.append(f"{name}: render_html")
        if zp.etag() != ys.etag(yp):
            wrong.append(f"{name}: etag")
        if list(zp.to_dict().items()) != list(ys.to_dict(yp).items()):
            wrong.append(f"{name}: to_dict")
        if hashlib.sha256(ns[f"COMPACT{n}"]).hexdigest() != zp.hash():
            wrong.append(f"floor: the text {name}'s hash is taken of")
    if zoret.clean_query_fn(TYPICAL_QUERY) != ys.clean_query(TYPICAL_QUERY):
        wrong.append("clean_query")
    if zoret.clean_url_fn(TYPICAL_URL) != ys.clean_url(TYPICAL_URL):
        wrong.append("clean_url")
    if zoret.normalize_public_url_fn(PUBLIC_URL, ns["zc"]) != ys.normalize_public_url(
        PUBLIC_URL, ns["yc"]
    ):
        wrong.append("normalize_public_url")
    if orjson.loads(ns["DICT_JSON"]) != ns["zd0"]:
        wrong.append("floor: the objects of to_dict()")
    return wrong


def rows() -> list[tuple[str, list[Contender], str, Callable[[float, float | None], bool]]]:
    """(label, contenders, goal text, goal test on (zoret µs, first ratio))."""
    out: list[tuple[str, list[Contender], str, Callable[[float, float | None], bool]]] = []
    for n, name in enumerate(PAGE_NAMES):
        out.append(
            (
                f"{name}: build + render_html + etag",
                [
                    Contender(
                        "zoret", f"p = build(ze{n}, route{n}, zc); p.render_html(); p.etag()"
                    ),
                    Contender(
                        "yardstick",
                        f"p = ys.build_payload(ye{n}, route{n}, yc); ys.render_html(p); ys.etag(p)",
                    ),
                    Contender("floor", f"hashlib.sha256(COMPACT{n}).hexdigest(); HTML{n}.decode()"),
                ],
                ">= 25x",
                lambda us, r: r is not None and r >= 25,
            )
        )
    out += [
        (
            "etag() of the blog post",
            [Contender("zoret", "zp0.etag()"), Contender("yardstick", "ys.etag(yp0)")],
            ">= 15x",
            lambda us, r: r is not None and r >= 15,
        ),
        (
            "etag(), first call on a new blog payload",
            [
                Contender("zoret", "p = build(ze0, route0, zc); p.etag()"),
                Contender("yardstick", "ys.etag(yp0)"),
                Contender("floor", "hashlib.sha256(COMPACT0).hexdigest()"),
                Contender("minus", "p = build(ze0, route0, zc)"),
            ],
            ">= 15x",
            lambda us, r: r is not None and r >= 15,
        ),
        (
            "to_dict(), first call on a new blog payload",
            [
                Contender("zoret", "p = build(ze0, route0, zc); p.to_dict()"),
                Contender("yardstick", "ys.to_dict(yp0)"),
                Contender("floor", "orjson.loads(DICT_JSON)"),
                Contender("minus", "p = build(ze0, route0, zc)"),
            ],
            ">= 5x",
            lambda us, r: r is not None and r >= 5,
        ),
        (
            "to_json(), first call on a new blog payload",
            [
                Contender("zoret", "p = build(ze0, route0, zc); p.to_json()"),
                Contender("orjson", ORJSON),
                Contender("minus", "p = build(ze0, route0, zc)"),
            ],
            ">= 1.0x",
            lambda us, r: r is not None and r >= 1.0,
        ),
        (
            "to_dict() of the blog post",
            [Contender("zoret", "zp0.to_dict()"), Contender("yardstick", "ys.to_dict(yp0)")],
            ">= 5x",
            lambda us, r: r is not None and r >= 5,
        ),
        (
            'payload["title"], minimal page',
            [Contender("zoret", 'zp2["title"]'), Contender("dict", 'yp2["title"]')],
            "<= 0.150 µs",
            lambda us, r: us <= 0.150,
        ),
        (
            "len(payload), minimal page",
            [Contender("zoret", "len(zp2)"), Contender("dict", "len(yp2)")],
            "<= 0.150 µs",
            lambda us, r: us <= 0.150,
        ),
        (
            '"og" in payload, minimal page',
            [Contender("zoret", '"og" in zp2'), Contender("dict", '"og" in yp2')],
            "<= 0.150 µs",
            lambda us, r: us <= 0.150,
        ),
        (
            "to_json() of the blog post",
            [
                Contender("zoret", "zp0.to_json()"),
                Contender(
                    "orjson",
                    ORJSON,
                ),
            ],
            ">= 1.0x",
            lambda us, r: r is not None and r >= 1.0,
        ),
        (
            "clean_url_fn vs w3lib",
            [
                Contender("zoret", "zoret.clean_url_fn(URL)"),
                Contender("w3lib", "w3lib.url.url_query_cleaner(URL, TRACKING, remove=True)"),
                Contender("floor", "orjson.loads(CLEANED_JSON)"),
            ],
            ">= 5x",
            lambda us, r: r is not None and r >= 5,
        ),
        (
            "clean_query_fn",
            [
                Contender("zoret", "zoret.clean_query_fn(QUERY)"),
                Contender("yardstick", "ys.clean_query(QUERY)"),
            ],
            ">= 10x",
            lambda us, r: r is not None and r >= 10,
        ),
        (
            "clean_url_fn",
            [
                Contender("zoret", "zoret.clean_url_fn(URL)"),
                Contender("yardstick", "ys.clean_url(URL)"),
                Contender("floor", "orjson.loads(CLEANED_JSON)"),
            ],
            ">= 10x",
            lambda us, r: r is not None and r >= 10,
        ),
        (
            "normalize_public_url_fn, ASCII URL",
            [
                Contender("zoret", "zoret.normalize_public_url_fn(PUBLIC, zc)"),
                Contender("yardstick", "ys.normalize_public_url(PUBLIC, yc)"),
            ],
            "<= 0.400 µs",
            lambda us, r: us <= 0.400,
        ),
    ]
    return out


def run_rows(quick: bool) -> tuple[list[Result], list[str]]:
    ns = build_namespace()
    ns.update(
        URL=TYPICAL_URL, QUERY=TYPICAL_QUERY, PUBLIC=PUBLIC_URL, TRACKING=sorted(ys.TRACKING_PARAMS)
    )
    wrong = check_agreement(ns)
    rounds, seconds = (5, 0.005) if quick else (15, 0.03)
    results = []
    for label, contenders, goal, test in rows():
        medians, ratios = side_by_side(contenders, ns, rounds, seconds)
        ratio = ratios[0] if ratios else None
        results.append(
            Result(
                label,
                medians,
                list(ratios),
                [c.name for c in contenders],
                goal,
                test(medians[0], ratio),
            )
        )
    return results, wrong


def print_rows(results: list[Result], wrong: list[str]) -> None:
    header = ("work", "zoret µs", "peer", "peer µs", "peer/zoret", "floor µs", "peer/floor")
    header += ("goal", "")
    cells = [header]
    for r in results:
        ratio = r.ratios[0] if r.ratios else None
        floor = r.medians_us[r.names.index("floor")] if "floor" in r.names else None
        cells.append(
            (
                r.label,
                f"{r.medians_us[0]:.3f}",
                r.names[1],
                f"{r.medians_us[1]:.3f}",
                f"{ratio:.1f}x" if ratio is not None else "-",
                f"{floor:.3f}" if floor is not None else "",
                f"{r.medians_us[1] / floor:.1f}x" if floor is not None else "",
                r.goal,
                "met" if r.met else "MISSED",
            )
        )
    widths = [max(len(c[i]) for c in cells) for i in range(len(header))]
    for n, line in enumerate(cells):
        print(
            "  ".join(
                cell.rjust(w) if i in (1, 3, 4, 5, 6) else cell.ljust(w)
                for i, (cell, w) in enumerate(zip(line, widths, strict=True))
            ).rstrip()
        )
        if n == 0:
            print("  ".join("-" * w for w in widths))
    print("Medians of alternating rounds on one core, process CPU time, calls from Python.")
    print("Single-key rows compare with a dict lookup for scale; their goal is absolute.")
    print("A payload keeps its JSON text, hash and (from the second to_dict()) its dictionary;")
    print("rows on zp0 repeat calls on one payload, 'first call' rows take a build's time off.")
    print("floor: orjson.loads making the same Python objects, or hashlib's SHA-256 of the")
    print("text the hash is taken of (for a page, and its head snippet made a str from")
    print("bytes): about the least the result costs to make here, so peer/floor is about")
    print("the highest ratio any implementation can reach.")
    for item in wrong:
        print(f"WARNING: contenders disagree: {item}")
