"""The zoret command line, called as main(argv) and once as a process."""

import json
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import zoret
from zoret.cli import main

ROOT = Path(__file__).resolve().parents[2]

SITE_TOML = """\
canonical_host = "example.com"
public_base_url = "https://example.com"
site_name = "Example"
title_template = "{title} | Example"
default_og_image = { url = "https://example.com/og.png", width = 1200, height = 630 }
schema_type_map = { page = "AboutPage" }

[url_policy]
trailing_slash = "always"

[default_robots]
max_snippet = 120
"""
SITE_JSON = json.dumps(
    {
        "canonical_host": "example.com",
        "public_base_url": "https://example.com",
        "site_name": "Example",
        "title_template": "{title} | Example",
        "default_og_image": {"url": "https://example.com/og.png", "width": 1200, "height": 630},
        "schema_type_map": [["page", "AboutPage"]],
        "url_policy": {"trailing_slash": "always"},
        "default_robots": {"max_snippet": 120},
    }
)
POST_JSON = json.dumps(
    {
        "entity_type": "post",
        "title": "Hello",
        "excerpt": "A first post.",
        "published_at": "2026-12-06",
        "featured_image": "https://example.com/hello.png",
        "breadcrumbs": [{"name": "Home", "url": "/"}, {"name": "Hello", "url": "/blog/hello"}],
    }
)
POST_TOML = """\
entity_type = "post"
title = "Hello"
excerpt = "A first post."
published_at = 2026-12-06
featured_image = "https://example.com/hello.png"
breadcrumbs = [{ name = "Home", url = "/" }, { name = "Hello", url = "/blog/hello" }]
"""
OVERRIDES_TOML = """\
meta_title = "Hello again"
og_image = { url = "https://example.com/o.png", alt = "O" }
robots = { index = false }
"""
ROUTE = "/blog/hello?utm_source=x"


def expected_payload(overrides=False):
    config = zoret.SEOConfig(
        "example.com",
        "https://example.com",
        site_name="Example",
        title_template="{title} | Example",
        default_og_image=zoret.SEOImage("https://example.com/og.png", width=1200, height=630),
        schema_type_map=[("page", "AboutPage")],
        url_policy=zoret.URLPolicy(trailing_slash="always"),
        default_robots=zoret.Robots(max_snippet=120),
    )
    entity = zoret.SEOEntity(
        "post",
        title="Hello",
        excerpt="A first post.",
        published_at="2026-12-06",
        featured_image=zoret.SEOImage("https://example.com/hello.png"),
        breadcrumbs=[zoret.Breadcrumb("Home", "/"), zoret.Breadcrumb("Hello", "/blog/hello")],
    )
    extra = zoret.SEOOverrides(
        meta_title="Hello again",
        og_image=zoret.SEOImage("https://example.com/o.png", alt="O"),
        robots=zoret.Robots(index=False),
    )
    return zoret.build_seo_payload(entity, ROUTE, config, extra if overrides else None)


@pytest.fixture
def files(tmp_path):
    """Writes name -> text into tmp_path; returns a function giving each file's path."""
    defaults = {"site.toml": SITE_TOML, "site.json": SITE_JSON, "post.json": POST_JSON}
    defaults |= {"post.toml": POST_TOML, "overrides.toml": OVERRIDES_TOML}
    for name, text in defaults.items():
        (tmp_path / name).write_text(text, encoding="utf-8")
    return lambda name: str(tmp_path / name)


def run(capsys, *argv):
    status = main(list(argv))
    out, err = capsys.readouterr()
    return status, out, err


FORMATS = {
    "html": lambda p: p.render_html(),
    "json": lambda p: p.to_json() + "\n",
    "dict": lambda p: json.dumps(p.to_dict(), indent=2, ensure_ascii=False) + "\n",
    "etag": lambda p: p.etag() + "\n",
}


@pytest.mark.parametrize("fmt", FORMATS)
@pytest.mark.parametrize(
    ("site", "entity", "overrides"),
    [("site.toml", "post.json", None), ("site.json", "post.toml", "overrides.toml")],
)
def test_render_matches_the_api(capsys, files, fmt, site, entity, overrides):
    argv = ["render", "--site", files(site), "--entity", files(entity), "--route", ROUTE]
    argv += ["--overrides", files(overrides)] if overrides else []
    status, out, err = run(capsys, *argv, "--format", fmt)
    assert (status, err) == (0, "")
    assert out == FORMATS[fmt](expected_payload(overrides is not None))


@pytest.mark.parametrize(
    ("post", "status", "lines"),
    [
        (POST_JSON, 0, []),
        (
            json.dumps({"entity_type": "post", "title": "x" * 70}),
            1,
            [
                "[ZORET102] Title is 80 characters (recommended max 60)"
                " (https://example.com/blog/hello/)",
                "[ZORET103] Meta description is missing (https://example.com/blog/hello/)",
            ],
        ),
    ],
)
def test_validate_prints_one_line_per_finding(capsys, files, tmp_path, post, status, lines):
    (tmp_path / "post.json").write_text(post, encoding="utf-8")
    argv = ["validate", "--site", files("site.toml"), "--entity", files("post.json")]
    assert run(capsys, *argv, "--route", ROUTE) == (status, "".join(f"{x}\n" for x in lines), "")


CONTRACT_TOML = """\
canonical_host = "example.com"

[defaults]
required = true
title = { max_length = 60 }

[[rules]]
match = "/blog/*"
severity = "warning"
expect = { indexable = true, schema_types = ["BlogPosting"] }

[exceptions."/drafts"]
indexable = false
"""


def expected_contract():
    return zoret.build_seo_contract(
        zoret.SEOContractConfig(
            "example.com",
            defaults=zoret.SEOExpectation(required=True, title=zoret.SEOExpectation(max_length=60)),
            rules=[
                zoret.SEOContractRule(
                    "/blog/*",
                    zoret.SEOExpectation(indexable=True, schema_types=["BlogPosting"]),
                    severity="warning",
                )
            ],
            exceptions=[("/drafts", zoret.SEOExpectation(indexable=False))],
        )
    )


def test_contract_writes_the_file(capsys, tmp_path):
    (tmp_path / "contract.toml").write_text(CONTRACT_TOML, encoding="utf-8")
    output = tmp_path / "seo-contract.json"
    config = str(tmp_path / "contract.toml")
    status, out, err = run(capsys, "contract", "--config", config, "-o", str(output))
    contract = expected_contract()
    assert (status, err) == (0, "")
    assert out == f"wrote {output} (sha256 {contract.hash()})\n"
    assert output.read_text(encoding="utf-8") == contract.to_json()
    status, out, err = run(capsys, "contract", "--config", config, "-o", "-")
    assert (status, out, err) == (0, contract.to_json() + "\n", "")


def test_clean_url_prints_one_url_per_line(capsys):
    urls = ["https://example.com/a?utm_source=x&id=7", "https://example.com/b?fbclid=1", "/c?x=1"]
    expected = "".join(zoret.clean_url_fn(url)["url"] + "\n" for url in urls)
    assert run(capsys, "clean-url", *urls) == (0, expected, "")
    assert expected.splitlines()[:2] == ["https://example.com/a?id=7", "https://example.com/b"]


PYTHONPATH = {"PYTHONPATH": str(ROOT / "python")}


def test_demo_in_process_and_as_module(capsys):
    status, out, err = run(capsys, "demo")
    assert (status, err) == (0, "")
    assert "<title>Hello, deterministic metadata | Example Journal</title>" in out
    assert out.splitlines()[-1].startswith('ETag: "')
    done = subprocess.run(
        [sys.executable, "-m", "zoret", "demo"],
        env=os.environ | PYTHONPATH, capture_output=True, text=True, check=False,
    )  # fmt: skip
    assert (done.returncode, done.stdout, done.stderr) == (0, out, "")


def test_closed_pipe_ends_quietly():
    demo = subprocess.Popen(
        [sys.executable, "-m", "zoret", "demo"],
        env=os.environ | PYTHONPATH, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
    )  # fmt: skip
    demo.stdout.close()  # before the demo can write a byte
    assert (demo.wait(timeout=60), demo.stderr.read()) == (141, b"")
    demo.stderr.close()


def test_console_script():
    script = shutil.which("zoret")
    if script is None:
        pytest.skip("the zoret console script is not installed")
    done = subprocess.run([script, "clean-url", "/a?utm_medium=x"], capture_output=True, text=True)
    assert (done.returncode, done.stdout, done.stderr) == (0, "/a\n", "")


# Each bad input: files to write over the good ones, the command, the file the error
# names, and what the message says after the file name.
BAD_INPUTS = [
    ("missing file", {}, ["render", "--site", "@nowhere.toml"], "@nowhere.toml",
     "No such file or directory"),
    ("directory", {}, ["render", "--site", "@."], "@.", "Is a directory"),
    ("not UTF-8", {"site.toml": b"site_name = '\xff'"}, ["render"], "@site.toml",
     "'utf-8' codec can't decode byte 0xff in position 13: invalid start byte"),
    ("bad JSON", {"post.json": '{"entity_type": "post",\n  "title": }'}, ["render"], "@post.json",
     "line 2, column 12: Expecting value"),
    ("bad TOML", {"site.toml": 'site_name = "a"\ncanonical_host "x"\n'}, ["render"], "@site.toml",
     "line 2, column 16: Expected '=' after a key in a key/value pair"),
    ("TOML cut short", {"site.toml": 'site_name = "a"\ncanonical_host = '}, ["render"],
     "@site.toml",
     "line 2, column 18: Invalid value"),
    ("deeply nested", {"post.json": "[" * 100_000}, ["render"], "@post.json", "nested too deeply"),
    ("top level list", {"post.json": "[1]"}, ["render"], "@post.json",
     "expected an object at the top level, got list"),
    ("wrong type", {"post.json": '{"entity_type": "post", "title": 3}'}, ["render"], "@post.json",
     "'int' object cannot be converted to 'str' (while processing 'title')"),
    ("negative width", {"post.json": '{"entity_type": "post", "featured_image": {"url": "/i", '
     '"width": -1}}'}, ["render"], "@post.json",
     "out of range integral type conversion attempted (while processing 'width')"),
    ("breadcrumbs not a list", {"post.json": '{"entity_type": "post", "breadcrumbs": "/"}'},
     ["render"], "@post.json", "breadcrumbs must be a list, got str"),
    ("unknown entity type", {"post.json": '{"entity_type": "blog"}'}, ["render"], "@post.json",
     "entity_type must be one of home/post/page/video/taxonomy/search/other/product/"
     "organization/local_business/faq, got 'blog'"),
    ("unknown entity field", {"post.json": '{"entity_type": "post", "titel": "x"}'}, ["render"],
     "@post.json", "SEOEntity.__new__() got an unexpected keyword argument 'titel'"),
    ("unknown policy field", {"site.toml": SITE_TOML.replace("trailing_slash", "trailing")},
     ["render"], "@site.toml", "URLPolicy.__new__() got an unexpected keyword argument 'trailing'"),
    ("bad trailing_slash", {"site.toml": SITE_TOML.replace('"always"', '"Always"')}, ["render"],
     "@site.toml", "invalid trailing_slash: Always"),
    ("invalid config", {"site.toml": SITE_TOML.replace('"example.com"', '""', 1)}, ["render"],
     "@site.toml", "canonical_host must be a non-empty string"),
    ("missing config field", {"site.toml": 'public_base_url = "https://example.com"'}, ["render"],
     "@site.toml", "SEOConfig.__new__() missing 1 required positional argument: 'canonical_host'"),
    ("hooks from a file", {"site.toml": SITE_TOML.replace("site_name", "hooks")}, ["render"],
     "@site.toml", "hooks can only be set from Python"),
    ("unknown override field", {"overrides.toml": "meta_titel = 'x'"},
     ["render", "--overrides", "@overrides.toml"], "@overrides.toml",
     "SEOOverrides.__new__() got an unexpected keyword argument 'meta_titel'"),
    ("unbuildable payload", {"overrides.toml": "canonical_url = 'not a url'"},
     ["validate", "--overrides", "@overrides.toml"], "@site.toml, @post.json, @overrides.toml",
     "cannot build the payload of '/p': canonical_url override must be an absolute URL: "
     "relative URL without a base"),
    ("rules not a list", {"contract.toml": "canonical_host = 'h'\nrules = 3"},
     ["contract", "--config", "@contract.toml", "-o", "-"], "@contract.toml",
     "rules must be a list, got int"),
    ("unknown expectation field",
     {"contract.toml": "canonical_host = 'h'\n[defaults]\nrequird = true"},
     ["contract", "--config", "@contract.toml", "-o", "-"], "@contract.toml",
     "SEOExpectation.__new__() got an unexpected keyword argument 'requird'"),
    ("unwritable output", {"contract.toml": "canonical_host = 'h'"},
     ["contract", "--config", "@contract.toml", "-o", "@missing/c.json"], "@missing/c.json",
     "serialization error: failed to write contract: No such file or directory (os error 2)"),
]  # fmt: skip


@pytest.mark.parametrize(
    ("written", "argv", "named", "message"),
    [case[1:] for case in BAD_INPUTS],
    ids=[case[0] for case in BAD_INPUTS],
)
def test_bad_input_is_one_line_and_status_2(capsys, files, tmp_path, written, argv, named, message):
    for name, content in written.items():
        path = tmp_path / name
        path.write_bytes(content) if isinstance(content, bytes) else path.write_text(content)
    if argv[0] in ("render", "validate"):  # good files wherever the case names none
        given = dict(zip(argv[1::2], argv[2::2], strict=True))
        options = {"--site": "@site.toml", "--entity": "@post.json", "--route": "/p"} | given
        argv = [argv[0], *(item for pair in options.items() for item in pair)]

    def here(text):
        return text.replace("@", str(tmp_path) + os.sep)

    assert run(capsys, *map(here, argv)) == (2, "", f"zoret: error: {here(named)}: {message}\n")
