"""`zoret sitemap` and `zoret robots` from a manifest and a site file."""

import gzip
import io
import json
import sys
from pathlib import Path

import pytest
from lxml import etree
from protego import Protego

SITE = 'canonical_host = "example.com"\npublic_base_url = "https://example.com"\n'
PAGES = [
    {"route": "/blog/a?utm_source=x", "entity": {"entity_type": "post", "title": "A",
     "published_at": "2024-05-01", "updated_at": "2024-06-01T10:00:00Z"}},
    {"route": "/blog/b", "entity": {"entity_type": "post", "title": "B", "published_at": "2024-05-02"}},
    {"route": "/about", "entity": {"entity_type": "page", "title": "About"}},
    {"route": "/draft", "entity": {"entity_type": "page", "title": "Draft"},
     "overrides": {"robots": {"index": False}}},
    {"route": "/moved", "entity": {"entity_type": "page", "title": "Moved"},
     "overrides": {"canonical_url": "https://example.com/blog/b"}},
]  # fmt: skip
ROBOTS = """\
comments = ["served by zoret"]
sitemaps = ["/sitemap.xml"]
[[groups]]
user_agents = ["*"]
disallow = ["/admin/"]
"""


@pytest.fixture(autouse=True)
def files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    Path("site.toml").write_text(SITE)
    Path("robots.toml").write_text(ROBOTS)
    Path("routes.jsonl").write_text("".join(json.dumps(p) + "\n" for p in PAGES) + "\n")
    Path("public").mkdir()


def urls(path):
    data = path.read_bytes()
    tree = etree.fromstring(gzip.decompress(data) if path.suffix == ".gz" else data)
    return [(u.findtext("{*}loc"), u.findtext("{*}lastmod")) for u in tree.iter("{*}url")]


@pytest.mark.parametrize("flags", [[], ["--gzip"]])
def test_sitemap_lists_indexable_pages_at_their_canonical_urls(cli, flags):
    code, out, err = cli("sitemap", "--site", "site.toml", "--manifest", "routes.jsonl", "-o", "public", *flags)  # fmt: skip
    name = "sitemap.xml.gz" if flags else "sitemap.xml"
    assert (code, out, err) == (0, f"wrote public/{name} (4 URLs in 1 file(s); 1 noindex pages left out)\n", "")  # fmt: skip
    assert urls(Path("public", name)) == [
        ("https://example.com/blog/a", "2024-06-01T10:00:00Z"), ("https://example.com/blog/b", "2024-05-02"),
        ("https://example.com/about", None), ("https://example.com/blog/b", None)]  # fmt: skip


@pytest.mark.parametrize(("line", "message"), [
    ("not json", "routes.jsonl:7: invalid JSON: expected value at line 1 column 2"),
    ('{"route": "/x", "entity": {"entity_type": "post", "updated_at": "2024-13-01"}}',
     'routes.jsonl:7: lastmod "2024-13-01": month 13'),
    # The line reader is zoret check's; its refusals are tested there.
])  # fmt: skip
def test_a_bad_manifest_line_is_named_and_nothing_is_replaced(cli, line, message):
    Path("public/sitemap.xml").write_text("old")
    with Path("routes.jsonl").open("a") as manifest:
        manifest.write(line + "\n")
    code, out, err = cli("sitemap", "--site", "site.toml", "--manifest", "routes.jsonl", "-o", "public")  # fmt: skip
    assert (code, out) == (2, "") and err.startswith(f"zoret: error: {message}"), err
    assert Path("public/sitemap.xml").read_text() == "old"


def test_sitemap_makes_the_output_directory_and_reports_one_it_cannot_use(cli):
    argv = ["sitemap", "--site", "site.toml", "--manifest", "routes.jsonl", "-o"]
    assert cli(*argv, "new/dir")[0] == 0 and Path("new/dir/sitemap.xml").is_file()
    Path("file").write_text("")
    assert cli(*argv, "file")[::2] == (2, "zoret: error: file: File exists\n")


@pytest.mark.parametrize(("argv", "allowed", "sitemaps"), [
    ([], {"/": True, "/admin/x": True}, []),
    (["--rules", "robots.toml"], {"/": True, "/admin/x": False}, ["https://example.com/sitemap.xml"]),
    (["--rules", "robots.toml", "--host", "staging.example.com"], {"/": False, "/admin/x": False}, []),
    (["--host", "staging.example.com", "--production", "--sitemap", "/s.xml"], {"/": True}, ["https://example.com/s.xml"]),
])  # fmt: skip
def test_robots_prints_a_file_protego_reads(cli, argv, allowed, sitemaps):
    code, out, err = cli("robots", "--site", "site.toml", *argv)
    robots = Protego.parse(out)
    assert (code, err) == (0, "")
    assert {path: robots.can_fetch(f"https://example.com{path}", "Bot") for path in allowed} == allowed  # fmt: skip
    assert list(robots.sitemaps) == sitemaps


def test_robots_names_the_rules_file_in_errors(cli):
    Path("robots.toml").write_text('[[groups]]\nuser_agents = ["Bad Bot"]\n')
    code, _, err = cli("robots", "--site", "site.toml", "--rules", "robots.toml")
    assert code == 2 and err.startswith('zoret: error: robots.toml: robots.txt user-agent "Bad Bot"')  # fmt: skip


class Terminal(io.StringIO):
    def isatty(self):
        return True


@pytest.mark.parametrize(("pages", "bar"), [(3000, True), (10, False)])
def test_long_manifests_show_progress_on_a_terminal_only(monkeypatch, cli, pages, bar):
    entity = {"entity_type": "page", "title": "P" * 60}
    lines = (json.dumps({"route": f"/p/{n}", "entity": entity}) + "\n" for n in range(pages))
    Path("long.jsonl").write_text("".join(lines))
    monkeypatch.setattr(sys, "stderr", terminal := Terminal())
    code, out, _ = cli("sitemap", "--site", "site.toml", "--manifest", "long.jsonl", "-o", "public")  # fmt: skip
    assert (code, out) == (0, f"wrote public/sitemap.xml ({pages} URLs in 1 file(s))\n")
    assert ("reading long.jsonl" in terminal.getvalue()) is bar
