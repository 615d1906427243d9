"""The site audit rules run by the audit runner on a generated static site: every rule
of the table planted once (some twice), each found exactly where planted and nowhere
else, from a folder and over HTTP from a real server on 127.0.0.1; the command line's
rule options."""

import doctest
import json
import threading
from functools import partial
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

import pytest

pytest.importorskip("httpx")
pytest.importorskip("selectolax")

from zoret.audit import HttpOptions, audit
from zoret.audit_rules import AuditRules, audit_rule_table
from zoret.cli import main

ORIGIN = "https://example.com"
SECTIONS = {"blog": 120, "docs": 100, "shop": 80}
NS = 'xmlns="http://www.sitemaps.org/schemas/sitemap/0.9"'
ARTICLE = {"@type": "Article", "headline": "A page", "author": "Ada", "image": f"{ORIGIN}/i.png",
           "datePublished": "2026-01-01", "dateModified": "2026-01-02"}  # fmt: skip

# Route -> how its page differs from a clean one. Keys: title, description, canonical,
# og_url, og_image, robots, hreflang, jsonld (text), listed (in the sitemap).
FAULTS = {
    "/blog/post-1.html": {"title": None},
    "/blog/post-2.html": {"title": "A title that goes on far longer than sixty characters allow it"},
    "/blog/post-3.html": {"description": None},
    "/blog/post-4.html": {"description": "Words " * 30},
    "/blog/post-5.html": {"canonical": "/blog/post-5.html", "og_url": None},
    "/blog/post-6.html": {"og_url": f"{ORIGIN}/blog/post-7.html"},
    "/blog/post-8.html": {"robots": "noindex", "canonical": f"{ORIGIN}/blog/post-9.html", "listed": False},
    "/blog/post-10.html": {"canonical": "https://elsewhere.example/post-10"},
    "/blog/post-11.html": {"canonical": f"{ORIGIN}/blog/nowhere.html"},
    "/docs/page-1.html": {"canonical": f"{ORIGIN}/docs/page-2.html"},
    "/docs/page-2.html": {"robots": "noindex, follow", "listed": False},  # page-1's target
    "/docs/page-3.html": {"robots": "noindex"},
    "/docs/page-5.html": {"hreflang": [("de", f"{ORIGIN}/de/docs/page-5.html")]},
    "/docs/page-6.html": {"hreflang": [("en", f"{ORIGIN}/docs/page-6.html"), ("de", f"{ORIGIN}/docs/page-7.html")]},
    "/docs/page-7.html": {"hreflang": [("de", f"{ORIGIN}/docs/page-7.html")]},  # no return
    "/shop/item-1.html": {"title": "Our shop"},
    "/shop/item-2.html": {"title": "  Our shop "},
    "/shop/item-3.html": {"description": "Everything we sell."},
    "/shop/item-4.html": {"description": "Everything we sell."},
    "/shop/item-5.html": {"jsonld": '{"@type": "Product", '},
    "/shop/item-6.html": {"jsonld": json.dumps({"@type": "WebSite", "name": "Shop"})},
    "/shop/item-7.html": {"jsonld": json.dumps({"@type": "Organization", "name": "Shop", "url": ORIGIN})},
    "/shop/item-8.html": {"og_image": "/i/8.png"},
}  # fmt: skip
# Served over HTTP only: a canonical URL that redirects.
SERVED_FAULTS = {"/shop/item-9.html": {"canonical": f"{ORIGIN}/old.html"}}
# /old.html redirects to a clean page, /gone.html and /docs/ghost.html answer 404; all
# three are in the sitemap, which robots.txt forbids two of.
REDIRECTS = {"/old.html": "/shop/item-10.html"}
EXTRA_LISTED = ["/docs/ghost.html"]
SERVED_LISTED = ["/old.html", "/gone.html"]
ROBOTS = "User-agent: *\nDisallow: /docs/page-4.html\nDisallow: /docs/ghost.html\n"

# (route, rule id, found over HTTP only)
EXPECTED = [
    ("/blog/post-1.html", "ZORET201", False),
    ("/blog/post-2.html", "ZORET202", False),
    ("/blog/post-3.html", "ZORET203", False),
    ("/blog/post-4.html", "ZORET204", False),
    ("/blog/post-5.html", "ZORET205", False),
    ("/blog/post-6.html", "ZORET206", False),
    ("/blog/post-8.html", "ZORET207", False),
    ("/blog/post-10.html", "ZORET208", False),
    ("/blog/post-11.html", "ZORET209", False),
    ("/shop/item-9.html", "ZORET210", True),
    ("/docs/page-1.html", "ZORET211", False),
    ("/docs/page-3.html", "ZORET212", False),
    ("/old.html", "ZORET213", True),
    ("/gone.html", "ZORET213", True),
    ("/docs/ghost.html", "ZORET213", True),  # listed, and missing
    ("/docs/page-4.html", "ZORET214", False),
    ("/docs/ghost.html", "ZORET214", False),
    ("/docs/page-5.html", "ZORET215", False),
    ("/docs/page-6.html", "ZORET216", False),
    ("/shop/item-1.html", "ZORET217", False),
    ("/shop/item-2.html", "ZORET217", False),
    ("/shop/item-3.html", "ZORET218", False),
    ("/shop/item-4.html", "ZORET218", False),
    ("/shop/item-5.html", "ZORET219", False),
    ("/shop/item-6.html", "ZORET220", False),
    ("/shop/item-7.html", "ZORET221", False),
    ("/shop/item-8.html", "ZORET222", False),
]
NAMES = {"/": "index"} | {f"/{s}/": s for s in SECTIONS}


def routes():
    kinds = {"blog": "post", "docs": "page", "shop": "item"}
    yield "/"
    for section, count in SECTIONS.items():
        yield from (f"/{section}/{kinds[section]}-{i}.html" for i in range(count))


def page_html(route, fault):
    url = ORIGIN + route
    title = fault.get("title", f"Page {route}")
    description = fault.get("description", f"What {route} is about.")
    canonical = fault.get("canonical", url)
    og_url = fault.get("og_url", canonical)  # a well-kept page says the same twice
    og_image = fault.get("og_image", f"{ORIGIN}/i{route}.png")
    head = ['<meta charset="utf-8">']
    head += [] if title is None else [f"<title>{title}</title>"]
    head += [] if description is None else [f'<meta name="description" content="{description}">']
    head.append(f'<link rel="canonical" href="{canonical}">')
    head += [f'<meta name="robots" content="{fault["robots"]}">'] if "robots" in fault else []
    head += [f'<meta property="og:url" content="{og_url}">'] if og_url else []
    head.append(f'<meta property="og:image" content="{og_image}">')
    head += [f'<link rel="alternate" hreflang="{lang}" href="{href}">'
             for lang, href in fault.get("hreflang", [])]  # fmt: skip
    jsonld = fault.get("jsonld", json.dumps(ARTICLE | {"url": url}))
    head.append(f'<script type="application/ld+json">{jsonld}</script>')
    body = "<p>" + "Text of the page. " * 50 + "</p>"
    return f"<!doctype html><html><head>{''.join(head)}</head><body>{body}</body></html>"


def build_site(root, base, served):
    """The site in `root`; its sitemap names the pages at `base`."""
    faults = FAULTS | (SERVED_FAULTS if served else {})
    listed = []
    for route in routes():
        fault = faults.get(route, {})
        file = root / (route.lstrip("/") if route != "/" else "index.html")
        file.parent.mkdir(parents=True, exist_ok=True)
        file.write_text(page_html(route, fault))
        if fault.get("listed", True):
            listed.append(route)
    listed += EXTRA_LISTED + (SERVED_LISTED if served else [])
    urls = "".join(f"<url><loc>{base}{route}</loc></url>" for route in listed)
    (root / "sitemap.xml").write_text(f"<urlset {NS}>{urls}</urlset>")
    (root / "robots.txt").write_text(ROBOTS)


def expected(served):
    return {(route, rule) for route, rule, http_only in EXPECTED if served or not http_only}


def found(report):
    return {(v.route, v.rule_id) for v in report.violations}


def test_the_table_plants_every_rule():
    assert {rule for _, rule, _ in EXPECTED} == {row["id"] for row in audit_rule_table()}


def test_the_package_example_runs_as_shown():
    import zoret.audit

    assert doctest.testmod(zoret.audit).failed == 0


def test_every_rule_fires_where_planted_in_a_folder(tmp_path):
    build_site(tmp_path, ORIGIN, served=False)
    report = audit(tmp_path, sitemap=tmp_path / "sitemap.xml", workers=1)
    assert found(report) == expected(False)
    assert len(report.pages) == 1 + sum(SECTIONS.values()) and not report.unreadable
    # Site findings count with their pages; the ghost's has none.
    pages = {page.route: page for page in report.pages}
    assert [v.rule_id for v in pages["/shop/item-1.html"].violations] == ["ZORET217"]
    assert sum(len(page.violations) for page in report.pages) == len(report.violations) - 1
    assert report.counts == {"error": 8, "warning": 14, "info": 2}
    assert report.failed("error")
    assert found(audit(tmp_path, rules=False, workers=1)) == set()


class Handler(SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path in REDIRECTS:
            self.send_response(301)
            self.send_header("Location", REDIRECTS[self.path])
            self.send_header("Content-Length", "0")
            self.end_headers()
        else:
            super().do_GET()

    def log_message(self, *args):
        pass


def test_every_rule_fires_where_planted_over_http(tmp_path):
    server = ThreadingHTTPServer(("127.0.0.1", 0), partial(Handler, directory=str(tmp_path)))
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    try:
        base = f"http://127.0.0.1:{server.server_address[1]}"
        build_site(tmp_path, base, served=True)
        # Every page, those the sitemap leaves out too; the pages name their public host,
        # not the server's: the rules are told.
        urls = [base + route for route in [*routes(), *EXTRA_LISTED, *SERVED_LISTED]]
        report = audit(urls, sitemap=f"{base}/sitemap.xml", rules=AuditRules(site_host="example.com"),
                       http=HttpOptions(concurrency=8, timeout=5.0, retries=0))  # fmt: skip
    finally:
        server.shutdown()
        server.server_close()
    assert found(report) == expected(True)
    redirected = [v for v in report.violations if v.route == "/old.html"]
    assert "redirects to" in redirected[0].actual
    assert sorted(page.route for page in report.pages if page.status != 200) == [
        "/docs/ghost.html", "/gone.html", "/old.html"
    ]  # fmt: skip


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    root = tmp_path_factory.mktemp("site")
    build_site(root, ORIGIN, served=False)
    return root


@pytest.mark.parametrize(("options", "status", "summary"), [
    ([], 1, (8, 14, 2)),
    (["--no-rules"], 0, (0, 0, 0)),
    (["--fail-on", "info", "--disable", "ZORET221"], 1, (8, 14, 0)),
    (["--disable", "ZORET201,canonical-target-missing,ZORET211,ZORET214", "--disable",
      "jsonld-invalid,ZORET220,hreflang-no-return"], 0, (0, 14, 2)),
    (["--fail-on", "info", "--disable", "ZORET201,ZORET209,ZORET211,ZORET214,ZORET216,ZORET219,"
      "ZORET220"], 1, (0, 14, 2)),
    (["--severity", "duplicate-title=error", "--severity", "ZORET221=warning"], 1, (10, 14, 0)),
    (["--site-host", "elsewhere.example", "--disable", "ZORET208"], 1, None),
])  # fmt: skip
def test_command_line_rule_options(folder, capsys, options, status, summary):
    argv = ["audit", str(folder), "--sitemap", str(folder / "sitemap.xml"), "--format", "json"]
    assert main([*argv, "--no-progress", *options]) == status
    document = json.loads(capsys.readouterr().out)
    counts = document["summary"]
    if summary is not None:
        assert (counts["errors"], counts["warnings"], counts["infos"]) == summary
    else:  # every canonical names another host than the site's: no page rule says so
        assert "ZORET208" not in counts["by_rule"] and counts["by_rule"]["ZORET209"]["error"] == 1
    rules = {v["rule_id"] for v in document["violations"]}
    assert all(rule and rule.startswith("ZORET2") for rule in rules)


@pytest.mark.parametrize(("option", "message"), [
    ("--disable=ZORET299", "ZORET299"),
    ("--severity=ZORET201", "expected RULE=LEVEL"),
    ("--severity=ZORET201=fatal", "fatal"),
    ("--site-host=https://example.com/", "site host"),
])  # fmt: skip
def test_bad_rule_options_are_one_line_and_status_2(folder, capsys, option, message):
    assert main(["audit", str(folder), "--no-progress", option]) == 2
    err = capsys.readouterr().err
    assert err.startswith("zoret: error: ") and message in err and err.count("\n") == 1


def test_text_sarif_and_html_name_the_rules(folder, capsys, tmp_path):
    main(["audit", str(folder), "--no-progress", "--disable", "ZORET214"])
    lines = capsys.readouterr().out.splitlines()
    assert lines[0].endswith("/blog/post-1.html: error: title: The page has no title. "
                             "(expected present and not blank, actual absent) [ZORET201]")  # fmt: skip
    assert lines[-1] == "audited 301 pages (0 constraints): 7 errors, 12 warnings, 2 infos"
    main(["audit", str(folder), "--no-progress", "--format", "sarif"])
    run = json.loads(capsys.readouterr().out)["runs"][0]
    rules = {rule["id"]: rule for rule in run["tool"]["driver"]["rules"]}
    assert rules["ZORET217"]["name"] == "duplicate-title"
    assert rules["ZORET217"]["shortDescription"]["text"].startswith("Another indexable page")
    assert {r["ruleId"] for r in run["results"]} == set(rules)
    main(
        ["audit", str(folder), "--no-progress", "--format", "html", "-o", str(tmp_path / "a.html")]
    )
    html = (tmp_path / "a.html").read_text()
    assert html.count('data-rule="ZORET217"') == 2 and '<option value="ZORET222">' in html
