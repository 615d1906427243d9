"""The MkDocs plugin in a real `mkdocs build` of a small site, read back with html5lib."""

import json
import os
import subprocess
import sys
import tomllib
from pathlib import Path

import html5lib
import pytest

pytest.importorskip("mkdocs")

import zoret

ROOT = Path(__file__).resolve().parents[2]
PAGES = {
    "index.md": "# Welcome\n\nThe home page.\n",
    "guide.md": "---\ntitle: The Guide\ndescription: How to use it.\ndate: 2026-12-06\n"
    "author: Ada\ntype: post\n---\n# Guide heading\n\nBody text.\n",
    "ref/API.md": "---\nseo:\n  robots: {index: false}\n  meta_title: API reference\n---\n"
    "# API\n\nThe first paragraph describes the API.\n",
}


def install_entry_point(into: Path) -> None:
    """What `pip install zoret` registers: the plugin's entry point, from pyproject."""
    project = tomllib.loads((ROOT / "pyproject.toml").read_text(encoding="utf-8"))["project"]
    info = into / f"zoret-{project['version']}.dist-info"
    info.mkdir(parents=True)
    (info / "METADATA").write_text(f"Metadata-Version: 2.1\nName: zoret\nVersion: {project['version']}\n")  # fmt: skip
    points = project["entry-points"]["mkdocs.plugins"]
    lines = ["[mkdocs.plugins]", *(f"{name} = {target}" for name, target in points.items())]
    (info / "entry_points.txt").write_text("\n".join(lines) + "\n")


def build(tmp_path: Path, directory_urls: bool, extra: str = "") -> subprocess.CompletedProcess[str]:  # fmt: skip
    for name, text in PAGES.items():
        (tmp_path / "docs" / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / "docs" / name).write_text(text, encoding="utf-8")
    (tmp_path / "mkdocs.yml").write_text(
        "site_name: Example Docs\nsite_url: https://docs.example.com/v2/\n"
        f"use_directory_urls: {str(directory_urls).lower()}\ntheme: mkdocs\n"
        "plugins:\n  - zoret:\n      site:\n        title_template: '{title} - Example Docs'\n"
        "        twitter_site: '@example'\n" + extra,
        encoding="utf-8",
    )
    install_entry_point(tmp_path / "entry")
    path = os.pathsep.join([str(tmp_path / "entry"), str(ROOT / "python")])
    return subprocess.run(
        [sys.executable, "-m", "mkdocs", "build", "--strict", "-q"],
        cwd=tmp_path, env=os.environ | {"PYTHONPATH": path}, capture_output=True, text=True, timeout=120,
    )  # fmt: skip


def head_of(path: Path):
    document = html5lib.parse(path.read_text(encoding="utf-8"), namespaceHTMLElements=False)
    head = document.find("head")
    metas = [(m.get("name") or m.get("property"), m.get("content")) for m in head.iter("meta")]
    return {
        "titles": [t.text for t in head.iter("title")], "meta": dict(metas), "names": [n for n, _ in metas if n],
        "canonicals": [link.get("href") for link in head.iter("link") if link.get("rel") == "canonical"],
        "jsonld": [json.loads(s.text) for s in head.iter("script") if s.get("type") == "application/ld+json"],
    }  # fmt: skip


@pytest.mark.parametrize(("directory_urls", "files"), [
    (True, {"index.md": ("index.html", ""), "guide.md": ("guide/index.html", "guide/"),
            "ref/API.md": ("ref/API/index.html", "ref/API/")}),
    (False, {"index.md": ("index.html", "index.html"), "guide.md": ("guide.html", "guide.html"),
             "ref/API.md": ("ref/API.html", "ref/API.html")}),
])  # fmt: skip
def test_built_pages_carry_one_set_of_tags_that_agrees_with_the_theme(tmp_path, directory_urls, files):  # fmt: skip
    done = build(tmp_path, directory_urls)
    assert done.returncode == 0, done.stderr
    for source, (built, url) in files.items():
        head = head_of(tmp_path / "site" / built)
        canonical = f"https://docs.example.com/v2/{url}"
        assert head["canonicals"] == [canonical], source
        assert head["meta"]["og:url"] == canonical
        assert len(head["titles"]) == 1 and len(head["names"]) == len(set(head["names"])), source
        assert head["jsonld"] and head["jsonld"][0]["url"] == canonical
    guide = head_of(tmp_path / "site" / files["guide.md"][0])
    assert guide["titles"] == ["The Guide - Example Docs"]
    assert guide["meta"]["description"] == "How to use it."
    assert guide["meta"]["twitter:site"] == "@example"
    assert guide["jsonld"][0]["datePublished"] == "2026-12-06"
    assert guide["meta"]["viewport"]  # the theme's other tags stay
    api = head_of(tmp_path / "site" / files["ref/API.md"][0])
    assert (api["titles"], api["meta"]["robots"]) == (["API reference - Example Docs"], "noindex,follow")  # fmt: skip
    assert api["meta"]["description"].startswith("The first paragraph describes the API.")
    home = head_of(tmp_path / "site" / "index.html")
    home_type = zoret.SEOConfig("h", "https://h").to_dict()["schema_type_map"]["home"]
    assert home["jsonld"][0]["@type"] == home_type


@pytest.mark.parametrize(("extra", "message"), [
    ("        url_policy: {trailing_slash: never}\n", "disagrees with use_directory_urls: True"),
    ("        canonical_host: ''\n", "plugin option site: canonical_host must be a non-empty string"),
])  # fmt: skip
def test_contradictory_options_stop_the_build(tmp_path, extra, message):
    done = build(tmp_path, True, extra)
    assert done.returncode != 0 and message in done.stderr
