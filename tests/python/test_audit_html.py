"""The HTML report of `zoret audit`: one self-contained file, read in headless Chromium:
the charts show the counts, the filters hide rows, and a hostile page cannot inject
markup or script."""

import re

import pytest

pytest.importorskip("selectolax")

from zoret.audit import audit
from zoret.cli import main

HOSTILE = '<script>window.pwned = 1</script><img src=x onerror="window.pwned = 2">'
CONTRACT = """\
canonical_host = "example.com"
[defaults]
description = { required = true }
[[rules]]
match = "/blog/*"
severity = "warning"
expect = { title = { equals = "Blog" } }
[[rules]]
match = "/docs/*"
severity = "info"
expect = { indexable = true }
"""
READ = """
const bars = (id) => Object.fromEntries([...document.querySelectorAll(`#chart-${id} .bar`)].map(
  (bar) => [bar.dataset.value, Object.fromEntries([...bar.querySelectorAll(".segment")].map(
    (s) => [s.dataset.severity, Number(s.dataset.count)]))]));
const visible = [...document.querySelectorAll("#violations tbody tr")].filter((r) => !r.hidden);
return {
  rules: bars("rule"), sections: bars("section"),
  visible: visible.map((r) => [r.dataset.severity, r.dataset.rule, r.cells[2].textContent]),
  shown: document.getElementById("shown").textContent,
  scripts: document.scripts.length, images: document.images.length, pwned: window.pwned ?? null,
  links: [...document.querySelectorAll("#violations a")].map((a) => a.href),
};
"""


@pytest.fixture(scope="module")
def report_file(tmp_path_factory):
    root = tmp_path_factory.mktemp("html")
    site = root / "public"
    pages = {
        "index.html": "<title>Home</title>",
        "blog/a.html": f"<title>{HOSTILE}</title>",
        "blog/b.html": "<title>Blog</title><meta name=description content=x>",
        "blog/c.html": "<title>Other</title>",
        "docs/x.html": "<title>X</title><meta name=robots content=noindex>",
    }
    for name, html in pages.items():
        (site / name).parent.mkdir(parents=True, exist_ok=True)
        (site / name).write_text(html)
    (root / "contract.toml").write_text(CONTRACT)
    output = root / "report.html"
    # The contract's violations alone (the rules' show in test_audit_planted.py).
    argv = ["audit", str(site), "--contract", str(root / "contract.toml"), "--format", "html"]
    assert main([*argv, "-o", str(output), "--no-progress", "--no-rules"]) == 1
    return output, audit(site, contract=root / "contract.toml", rules=False)


def test_the_file_needs_nothing_else(report_file):
    text = report_file[0].read_text()
    assert not re.search(r"""(src|href)=["']?(https?:)?//""", text)  # nothing to fetch
    assert "default-src 'none'" in text and text.count("<script") == 1
    assert "&lt;script&gt;window.pwned = 1&lt;/script&gt;" in text


def test_chromium_shows_the_counts_and_filters_the_table(report_file, browser):
    path, report = report_file
    browser.get(path.as_uri())
    seen = browser.execute_script(READ)
    nonzero = lambda groups: {k: {s: n for s, n in v.items() if n} for k, v in groups.items()}  # noqa: E731
    assert seen["rules"] == nonzero(report.by_rule)
    assert seen["sections"] == nonzero(report.by_section) == {
        "/": {"error": 1}, "blog": {"error": 2, "warning": 2}, "docs": {"error": 1, "info": 1},
    }  # fmt: skip
    assert seen["shown"] == "7 of 7 shown" and len(seen["visible"]) == len(report.violations)
    assert (seen["scripts"], seen["images"], seen["pwned"]) == (1, 0, None)
    assert seen["links"][0] == (path.parent / "public" / "index.html").as_uri()
    hostile = next(
        v for v in report.violations if v.field == "title.equals" and v.route == "/blog/a.html"
    )
    assert hostile.actual == HOSTILE and HOSTILE in browser.find_element("id", "violations").text

    def choose(control, value):
        browser.execute_script(
            "const c = document.getElementById(arguments[0]); c.value = arguments[1];"
            "c.dispatchEvent(new Event('input'));", control, value)  # fmt: skip
        return browser.execute_script(READ)

    assert [row[:2] for row in choose("severity", "warning")["visible"]] == [
        ["warning", "title.equals"]
    ] * 2
    assert choose("section", "docs")["visible"] == []  # warnings in docs: none
    choose("severity", "")
    assert choose("section", "docs")["shown"] == "2 of 7 shown"
    choose("section", "")
    assert [row[2] for row in choose("text", "pwned")["visible"]] == ["/blog/a.html"]
    choose("text", "")
    browser.find_element("css selector", '#chart-rule .bar[data-value="indexable"]').click()
    assert browser.execute_script(READ)["visible"] == [["info", "indexable", "/docs/x.html"]]
    assert browser.execute_script("return window.pwned ?? null") is None
