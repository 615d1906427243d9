"""Audits of a generated static site: each planted fault found where it was planted and
nowhere else; the same report byte for byte in one process, a process pool and a Dask
cluster; the command line's formats and exit statuses."""

import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

pytest.importorskip("selectolax")

from zoret.audit import AuditError, audit
from zoret.cli import main

ROOT = Path(__file__).resolve().parents[2]
SITE = 'canonical_host = "example.com"\npublic_base_url = "https://example.com"\n'
CONTRACT = """\
canonical_host = "example.com"
[defaults]
canonical = "self"
indexable = true
sitemap_required = true
title = { required = true, max_length = 60 }
description = { required = true }
[[rules]]
match = "/blog/*"
severity = "warning"
expect = { schema_required = true, schema_types = ["BlogPosting"] }
[[rules]]
match = "/docs/**"
severity = "info"
expect = { og_required = true }
"""
SECTIONS = {"blog": 150, "docs": 100, "shop": 50}
# Route -> the contract fields its page is made to break.
PLANTED = {
    "/blog/post-7.html": {"description.required"},
    "/blog/post-21.html": {"title.max_length"},
    "/blog/post-33.html": {"indexable"},
    "/blog/post-40.html": {"schema.types"},  # an Article, not a BlogPosting
    "/blog/post-41.html": {"schema.required"},  # its JSON-LD does not parse
    "/docs/guide/page-5.html": {"canonical"},
    "/docs/guide/page-6.html": {"open_graph.required"},
    # A stray <img> ends the head: the tags after it do not count.
    "/docs/guide/page-50.html": {"canonical", "description.required", "open_graph.required"},
    "/shop/item-3.html": {"sitemap.required"},
    "/shop/item-4.html": {"title.required"},
}


def build_site(root: Path) -> None:
    """Hundreds of pages that keep the contract, but for the planted faults."""
    routes = ["/"] + [
        f"/{section}/{'guide/page' if section == 'docs' else {'blog': 'post', 'shop': 'item'}[section]}-{i}.html"
        for section, count in SECTIONS.items()
        for i in range(count)
    ]  # fmt: skip
    for route in routes:
        faults = PLANTED.get(route, set())
        title = "" if "title.required" in faults else f"Page {route}"
        if "title.max_length" in faults:
            title = "A title that goes on far longer than sixty characters allow it to"
        head = [f"<title>{title}</title>"]
        if "canonical" in faults and "description.required" in faults:
            head.append('<img src="/logo.png">')
        if "description.required" not in faults or "canonical" in faults:
            head.append(f'<meta name="description" content="About {route}">')
        url = "https://example.com" + route
        head.append(
            f'<link rel="canonical" href="{url.replace(".html", "-old.html") if "canonical" in faults else url}">'
        )
        if "indexable" in faults:
            head.append('<meta name="robots" content="noindex, follow">')
        if "open_graph.required" not in faults:
            head += [
                f'<meta property="og:{p}" content="{url}">'
                for p in ("title", "type", "url", "image")
            ]
        kind = "Article" if route == "/blog/post-40.html" else "BlogPosting"
        jsonld = (
            '{"@type": '
            if route == "/blog/post-41.html"
            else json.dumps({"@type": kind, "url": url})
        )
        head.append(f'<script type="application/ld+json">{jsonld}</script>')
        file = root / (route.lstrip("/") if route != "/" else "index.html")
        file.parent.mkdir(parents=True, exist_ok=True)
        body = "<p>" + "Some text of the page. " * 200 + "</p>"
        file.write_text(
            f"<!doctype html><html><head>{''.join(head)}</head><body>{body}</body></html>"
        )
    listed = [r for r in routes if r != "/shop/item-3.html"]
    urls = "".join(f"<url><loc>https://example.com{r}</loc></url>" for r in listed)
    (root / "sitemap.xml").write_text(
        f'<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">{urls}</urlset>'
    )
    (root / "robots.txt").write_text("User-agent: *\nDisallow: /shop/item-1.html\n")
    (root / "contract.toml").write_text(CONTRACT)
    (root / "site.toml").write_text(SITE)


@pytest.fixture(scope="module")
def site(tmp_path_factory):
    root = tmp_path_factory.mktemp("built")
    build_site(root / "public")
    return root


def run(site, **options):
    """The contract alone, unless `rules` says otherwise (test_audit_planted.py plants the
    rules' faults)."""
    return audit(
        site / "public",
        contract=site / "public" / "contract.toml",
        sitemap=site / "public" / "sitemap.xml",
        **{"rules": False} | options,
    )


def test_every_planted_fault_is_found_where_planted_and_nowhere_else(site):
    report = run(site, workers=1)
    found = {}
    for v in report.violations:
        found.setdefault(v.route, set()).add(v.field)
    assert found == PLANTED
    assert len(report.pages) == 1 + sum(SECTIONS.values()) and not report.unreadable
    assert report.by_section["blog"] == {"error": 3, "warning": 2, "info": 0}
    disallowed = [url for url, no in report.sitemap_urls if no]
    assert disallowed == ["https://example.com/shop/item-1.html"]
    assert report.failed("error") and report.timings.pages == len(report.pages)


@pytest.fixture(scope="module")
def cluster():
    distributed = pytest.importorskip("distributed")
    with (
        distributed.LocalCluster(
            n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None
        ) as local,
        distributed.Client(local) as client,
    ):
        yield local, client


def test_one_process_a_pool_and_dask_give_the_same_bytes(site, cluster):
    local, client = cluster
    serial = run(site, workers=1, rules=None)
    pooled = run(site, workers=2, rules=None)
    spread = run(site, client=client, rules=None)
    assert (pooled.timings.mode, spread.timings.mode) == ("processes", "dask")
    # Page rules ran in the workers, site rules on the summaries they sent back.
    rules = {v.rule_id for v in serial.violations}
    assert {"ZORET203", "ZORET209", "ZORET212", "ZORET214", "ZORET219"} <= rules
    assert all(page.summary is not None for page in spread.pages)
    assert serial == pooled == spread
    assert serial.to_json() == pooled.to_json() == spread.to_json()
    cli = [str(site / "public"), "--contract", str(site / "public" / "contract.toml"),
           "--sitemap", str(site / "public" / "sitemap.xml"), "--format", "json"]  # fmt: skip
    outputs = [
        subprocess.run([sys.executable, "-m", "zoret", "audit", *cli, *extra], capture_output=True,
                       env=os.environ | {"PYTHONPATH": str(ROOT / "python")}, timeout=120)
        for extra in (["--workers", "1"], ["--workers", "2"], ["--scheduler", local.scheduler_address])
    ]  # fmt: skip
    assert [(o.returncode, o.stderr) for o in outputs] == [(1, b"")] * 3
    assert outputs[0].stdout == outputs[1].stdout == outputs[2].stdout


def cli(capsys, site, *argv):
    status = main(["audit", str(site / "public"), "--contract", str(site / "public" / "contract.toml"),
                   "--site", str(site / "public" / "site.toml"), "--no-progress", "--no-rules",
                   *argv])  # fmt: skip
    out, err = capsys.readouterr()
    return status, out, err


def test_text_json_junit_and_sarif(site, capsys):
    status, out, err = cli(capsys, site, "--workers", "1")
    lines = out.splitlines()
    assert (status, err) == (1, "") and len(lines) == 13  # 11 violations, totals, not checked
    assert lines[0].endswith(
        "blog/post-21.html: /blog/post-21.html: error: title.max_length: The title has 65 "
        "characters, more than the maximum of 60. (expected at most 60 characters, actual 65 "
        "characters) [defaults]"
    )
    assert lines[-2:] == [
        "audited 301 pages (1905 constraints): 7 errors, 2 warnings, 2 infos",
        "not checked: sitemap.required (defaults) on 301 routes: sitemap membership is not known",
    ]
    status, out, _ = cli(capsys, site, "--format", "json")
    document = json.loads(out)
    assert list(document) == ["violations", "unreadable_pages", "not_checked", "pages", "summary"]
    assert document["violations"][0]["page"].endswith("blog/post-21.html")
    assert document["summary"]["by_rule"]["schema.types"] == {"error": 0, "warning": 1, "info": 0}
    assert document["not_checked"] == [{"field": "sitemap.required", "source": "defaults",
                                        "reason": "sitemap membership is not known", "routes": 301}]  # fmt: skip
    junit = ET.fromstring(cli(capsys, site, "--format", "junit")[1])
    assert junit.get("name") == "zoret audit" and junit.get("tests") == "301"
    assert junit.get("failures") == "6"  # pages with an error
    sarif = json.loads(cli(capsys, site, "--format", "sarif")[1])
    location = sarif["runs"][0]["results"][0]["locations"][0]["physicalLocation"]
    assert location["artifactLocation"]["uri"].endswith("/blog/post-21.html")


@pytest.mark.parametrize(("argv", "message"), [
    (["audit"], "zoret: error: audit: needs a folder, URLs, or --sitemap\n"),
    (["audit", "nowhere"], "zoret: error: audit: nowhere: not a folder of HTML files, nor an http(s) URL\n"),
    (["audit", ".", "https://example.com/"], "zoret: error: audit: give one folder, or any number of http(s) URLs\n"),
    (["audit", ".", "--sitemap", "missing.xml"], "zoret: error: audit: missing.xml: No such file or directory\n"),
    (["audit", ".", "--workers", "0"], "zoret: error: audit: workers must be at least 1, got 0\n"),
    (["audit", ".", "--scheduler", "tcp://127.0.0.1:9", "--timeout", "0.5"], "zoret: error: tcp://127.0.0.1:9: cannot reach the Dask scheduler"),
])  # fmt: skip
def test_bad_arguments_are_one_line_and_status_2(tmp_path, monkeypatch, capsys, argv, message):
    monkeypatch.chdir(tmp_path)
    assert main(argv) == 2
    assert capsys.readouterr().err.startswith(message)


def test_an_unreadable_page_is_reported_and_the_others_checked(tmp_path, capsys):
    (tmp_path / "ok.html").write_text("<title>ok</title>")
    (tmp_path / "deep.html").write_text("<title>d</title>" + "<div>" * 20_000)
    status = main(["audit", str(tmp_path), "--format", "json", "--no-progress"])
    out, err = capsys.readouterr()
    assert status == 2
    assert (
        err
        == f"zoret: error: {tmp_path}/deep.html: cannot be checked: block elements nested more than 1024 deep: not read\n"
    )
    document = json.loads(out)
    assert document["unreadable_pages"] == [
        {"page": f"{tmp_path}/deep.html", "message": err.split(": ", 3)[3].strip()}
    ]
    assert document["summary"]["routes_checked"] == 1


def test_a_missing_extra_is_named(tmp_path):
    code = "import sys; sys.modules['selectolax'] = None; import zoret.audit"
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=os.environ | {"PYTHONPATH": str(ROOT / "python")}, timeout=60)  # fmt: skip
    assert (
        "the site audit needs 'selectolax', which is not installed: pip install 'zoret[audit]'"
        in done.stderr
    )


def test_a_worker_that_dies_is_an_audit_error(site, monkeypatch):
    monkeypatch.setattr("zoret.audit.runner._audit_chunk", _die)
    with pytest.raises(AuditError, match="a worker process died"):
        run(site, workers=2)


def _die(tasks):
    os._exit(3)


def test_a_folder_audit_fetches_nothing(tmp_path):
    (tmp_path / "a.html").write_text("<title>a</title>")
    (tmp_path / "sitemap.xml").write_text(
        '<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">'
        "<url><loc>http://127.0.0.1:9/a.html</loc></url></urlset>"
    )
    # No robots.txt beside the pages: the sitemap's site is not asked for one.
    report = audit(tmp_path, sitemap=tmp_path / "sitemap.xml")
    assert report.sitemap_urls == (("http://127.0.0.1:9/a.html", False),)


def test_a_terminal_gets_a_progress_bar_and_a_summary_table(site):
    import pty

    command = [sys.executable, "-m", "zoret", "audit", str(site / "public"), "--workers", "1",
               "--contract", str(site / "public" / "contract.toml"), "-o", os.devnull]  # fmt: skip
    leader, follower = pty.openpty()
    env = os.environ | {"PYTHONPATH": str(ROOT / "python"), "COLUMNS": "100"}
    with subprocess.Popen(command, env=env, stderr=follower, stdout=subprocess.DEVNULL) as child:
        os.close(follower)
        drawn = b""
        while chunk := _read(leader):
            drawn += chunk
        assert child.wait(timeout=120) == 1
    os.close(leader)
    text = drawn.decode()
    assert "\x1b[" in text and "301/301" in text  # the bar, at its end
    assert "title.max_length" in text and "301 pages (0 unreadable)" in text  # the table


def _read(fd):
    try:
        return os.read(fd, 65536)
    except OSError:  # the terminal closes with the child
        return b""
