"""The zoret command line, called as main(argv) and once as a process."""

import json
import os
import subprocess
import sys
import tomllib
from pathlib import Path

import pytest

import zoret
from zoret.cli import main

PYTHONPATH = {"PYTHONPATH": str(Path(__file__).resolve().parents[2] / "python")}
SITE_TOML = """\
canonical_host = "example.com"
public_base_url = "https://example.com"
site_name = "Example"
title_template = "{title} | Example"
default_og_image = { url = "https://example.com/og.png", width = 1200, height = 630 }
schema_type_map = { page = "AboutPage" }
url_policy = { trailing_slash = "always" }
default_robots = { max_snippet = 120 }
"""
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
SITE_JSON = json.dumps(tomllib.loads(SITE_TOML) | {"schema_type_map": [["page", "AboutPage"]]})
POST_JSON = json.dumps(tomllib.loads(POST_TOML), default=str)
ROUTE = "/blog/hello?utm_source=x"
FILES = {"site.toml": SITE_TOML, "site.json": SITE_JSON, "post.json": POST_JSON,
         "post.toml": POST_TOML, "overrides.toml": OVERRIDES_TOML,
         "long.json": json.dumps({"entity_type": "post", "title": "x" * 70})}  # fmt: skip


def expected_payload(overrides):
    config = zoret.SEOConfig(
        "example.com", "https://example.com", site_name="Example", title_template="{title} | Example",
        default_og_image=zoret.SEOImage("https://example.com/og.png", width=1200, height=630),
        schema_type_map=[("page", "AboutPage")], url_policy=zoret.URLPolicy(trailing_slash="always"),
        default_robots=zoret.Robots(max_snippet=120))  # fmt: skip
    entity = zoret.SEOEntity(
        "post", title="Hello", excerpt="A first post.", published_at="2026-12-06",
        featured_image=zoret.SEOImage("https://example.com/hello.png"),
        breadcrumbs=[zoret.Breadcrumb("Home", "/"), zoret.Breadcrumb("Hello", "/blog/hello")])  # fmt: skip
    extra = zoret.SEOOverrides(meta_title="Hello again", robots=zoret.Robots(index=False),
                               og_image=zoret.SEOImage("https://example.com/o.png", alt="O"))  # fmt: skip
    return zoret.build_seo_payload(entity, ROUTE, config, extra if overrides else None)


@pytest.fixture(autouse=True)
def files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    for name, text in FILES.items():
        Path(name).write_text(text, encoding="utf-8")


@pytest.mark.parametrize(("fmt", "expected"), [
    ("html", lambda p: p.render_html()), ("json", lambda p: p.to_json() + "\n"),
    ("dict", lambda p: json.dumps(p.to_dict(), indent=2, ensure_ascii=False) + "\n"),
    ("etag", lambda p: p.etag() + "\n"),
])  # fmt: skip
@pytest.mark.parametrize("given", [
    ["--site", "site.toml", "--entity", "post.json"],
    ["--site", "site.json", "--entity", "post.toml", "--overrides", "overrides.toml"],
])  # fmt: skip
def test_render_matches_the_api(cli, fmt, expected, given):
    out = expected(expected_payload("--overrides" in given))
    assert cli("render", *given, "--route", ROUTE, "--format", fmt) == (0, out, "")


LONG = ["validate", "--site", "site.toml", "--entity", "long.json", "--route", ROUTE]
FINDINGS = [
    {"rule_id": "ZORET102", "severity": "warning", "message": "Title is 80 characters (recommended max 60)",
     "url": "https://example.com/blog/hello/", "details": {"length": 80}},
    {"rule_id": "ZORET103", "severity": "warning", "message": "Meta description is missing",
     "url": "https://example.com/blog/hello/", "details": {}},
]  # fmt: skip


@pytest.mark.parametrize(("argv", "status", "out"), [
    (["validate", "--site", "site.toml", "--entity", "post.json", "--route", ROUTE], 0, ""),
    (LONG, 1,
     "warning: [ZORET102] Title is 80 characters (recommended max 60) (https://example.com/blog/hello/)\n"
     "warning: [ZORET103] Meta description is missing (https://example.com/blog/hello/)\n"),
    # Built-in findings are warnings: --fail-on error prints them and still succeeds.
    ([*LONG, "--fail-on", "warning"], 1, None),
    ([*LONG, "--fail-on", "info"], 1, None),
    ([*LONG, "--fail-on", "error"], 0, None),
    ([*LONG, "--format", "json", "--fail-on", "error"], 0, json.dumps(FINDINGS, indent=2) + "\n"),
    (["validate", "--site", "site.toml", "--entity", "post.json", "--route", ROUTE, "--format", "json"],
     0, "[]\n"),
    (["clean-url", "https://example.com/a?utm_source=x&id=7", "https://example.com/b?fbclid=1", "/c?x=1"],
     0, "https://example.com/a?id=7\nhttps://example.com/b\n/c?x=1\n"),
])  # fmt: skip
def test_one_line_per_finding_or_url(cli, argv, status, out):
    got = cli(*argv)
    assert (got[0], got[2]) == (status, "")
    assert got[1] == (out if out is not None else cli(*LONG)[1])


def test_version(capsys):
    with pytest.raises(SystemExit) as exited:
        main(["--version"])
    assert (exited.value.code, capsys.readouterr().out) == (0, f"zoret {zoret.__version__}\n")


def test_contract_writes_the_file(cli):
    Path("contract.toml").write_text(
        'canonical_host = "example.com"\n[defaults]\nrequired = true\ntitle = { max_length = 60 }\n[[rules]]\n'
        'match = "/blog/*"\nseverity = "warning"\nexpect = { indexable = true, schema_required = true, schema_types = ["BlogPosting"] }\n'
        '[exceptions."/drafts"]\nindexable = false\n')  # fmt: skip
    Expectation = zoret.SEOExpectation
    rule = zoret.SEOContractRule("/blog/*", Expectation(indexable=True, schema_required=True, schema_types=["BlogPosting"]),
                                 severity="warning")  # fmt: skip
    contract = zoret.build_seo_contract(zoret.SEOContractConfig(
        "example.com", defaults=Expectation(required=True, title=Expectation(max_length=60)),
        rules=[rule], exceptions=[("/drafts", Expectation(indexable=False))]))  # fmt: skip
    status = cli("contract", "--config", "contract.toml", "-o", "seo-contract.json")
    assert status == (0, f"wrote seo-contract.json (sha256 {contract.hash()})\n", "")
    assert Path("seo-contract.json").read_text(encoding="utf-8") == contract.to_json()
    status = cli("contract", "--config", "contract.toml", "-o", "-")
    assert status == (0, contract.to_json() + "\n", "")


@pytest.mark.parametrize(("toml", "warnings"), [
    ('canonical_host = "h"\n[defaults]\nschema_types = ["Article"]\n',
     ["defaults: schema_types is ignored without schema_required; add schema_required"]),
    ('canonical_host = "h"\n[defaults]\nschema_required = true\nschema_types = ["Article"]\n', []),
    ('canonical_host = "h"\n[[rules]]\nmatch = "/a"\nseverity = "Warning"\n'
     '[rules.expect]\ntitle = { schema_types = ["X"] }\n',
     ["rules[0].expect.title: schema_types is ignored without schema_required; add schema_required",
      "rules[0]: severity 'Warning' is recorded as 'error' (known: error, warning, info)"]),
    ('canonical_host = "h"\n[exceptions."/x"]\nschema_types = ["X"]\n',
     ["exceptions./x: schema_types is ignored without schema_required; add schema_required"]),
])  # fmt: skip
def test_contract_warns_about_settings_it_would_drop(cli, toml, warnings):
    Path("contract.toml").write_text(toml, encoding="utf-8")
    status, out, err = cli("contract", "--config", "contract.toml", "-o", "-")
    assert (status, json.loads(out)["site"]["canonical_host"]) == (0, "h")
    assert err.splitlines() == [f"zoret: warning: contract.toml: {w}" for w in warnings]


def test_demo_in_process_and_as_processes(cli):
    status, out, err = cli("demo")
    assert (status, err, out.splitlines()[-1][:7]) == (0, "", 'ETag: "')
    assert "<title>Hello, deterministic metadata | Example Journal</title>" in out
    demo = [sys.executable, "-m", "zoret", "demo"]
    done = subprocess.run(demo, env=os.environ | PYTHONPATH, capture_output=True, text=True)
    assert (done.returncode, done.stdout, done.stderr) == (0, out, "")
    closed = subprocess.Popen(demo, env=os.environ | PYTHONPATH, stdout=-1, stderr=-1)
    closed.stdout.close()  # before the demo can write a byte: it ends quietly, as if by SIGPIPE
    assert (closed.wait(timeout=60), closed.stderr.read()) == (141, b"")
    closed.stderr.close()


@pytest.mark.skipif(not os.path.exists("/dev/full"), reason="needs /dev/full")
def test_a_full_output_device_is_one_line_and_status_2():
    with open("/dev/full", "w") as full:
        done = subprocess.run([sys.executable, "-m", "zoret", "demo"], env=os.environ | PYTHONPATH,
                              stdout=full, stderr=subprocess.PIPE, text=True)  # fmt: skip
    assert (done.returncode, done.stderr) == (2, "zoret: error: standard output: No space left on device\n")  # fmt: skip


CONTRACT = ["contract", "--config", "contract.toml", "-o"]
# Files written over the good ones, arguments (render, good files unless named), message.
BAD_INPUTS = [
    ("missing file", {}, ["--site", "nowhere.toml"], "nowhere.toml: No such file or directory"),
    ("not UTF-8", {"site.toml": b"site_name = '\xff'"}, [],
     "site.toml: 'utf-8' codec can't decode byte 0xff in position 13: invalid start byte"),
    ("bad JSON", {"post.json": '{"entity_type": "post",\n  "title": }'}, [],
     "post.json: line 2, column 12: Expecting value"),
    ("bad TOML", {"site.toml": 'site_name = "a"\ncanonical_host "x"\n'}, [],
     "site.toml: line 2, column 16: Expected '=' after a key in a key/value pair"),
    ("TOML cut short", {"site.toml": 'site_name = "a"\ncanonical_host = '}, [],
     "site.toml: line 2, column 18: Invalid value"),
    ("deeply nested", {"post.json": "[" * 100_000}, [], "post.json: nested too deeply"),
    ("top level list", {"post.json": "[1]"}, [], "post.json: expected an object at the top level, got list"),
    ("wrong type", {"post.json": '{"entity_type": "post", "title": 3}'}, [],
     "post.json: 'int' object cannot be converted to 'str' (while processing 'title')"),
    ("negative width", {"post.json": '{"entity_type": "post", "featured_image": {"url": "/i", "width": -1}}'},
     [], "post.json: featured_image: out of range integral type conversion attempted (while processing 'width')"),
    ("unknown entity field", {"post.json": '{"entity_type": "post", "titel": "x"}'}, [],
     "post.json: SEOEntity.__new__() got an unexpected keyword argument 'titel'"),
    ("invalid config", {"site.toml": SITE_TOML.replace('"example.com"', '""', 1)}, [],
     "site.toml: canonical_host must be a non-empty string"),
    ("hooks from a file", {"site.toml": SITE_TOML.replace("site_name", "hooks")}, [],
     "site.toml: hooks can only be set from Python"),
    ("unbuildable payload", {"overrides.toml": "canonical_url = 'not a url'"},
     ["validate", "--overrides", "overrides.toml"], "site.toml, post.json, overrides.toml: cannot build "
     "the payload of '/p': canonical_url override must be an absolute URL: relative URL without a base"),
    ("rules not a list", {"contract.toml": "canonical_host = 'h'\nrules = 3"}, [*CONTRACT, "-"],
     "contract.toml: rules must be a list, got int"),
    ("unwritable output", {"contract.toml": "canonical_host = 'h'"}, [*CONTRACT, "missing/c.json"],
     "missing/c.json: serialization error: failed to write contract: No such file or directory (os error 2)"),
]  # fmt: skip


@pytest.mark.parametrize(
    ("written", "argv", "message"), [c[1:] for c in BAD_INPUTS], ids=[c[0] for c in BAD_INPUTS]
)
def test_bad_input_is_one_line_and_status_2(cli, written, argv, message):
    for name, content in written.items():
        Path(name).write_bytes(content if isinstance(content, bytes) else content.encode())
    if argv[:1] != ["contract"]:
        command, *argv = argv if argv[:1] == ["validate"] else ["render", *argv]
        options = {"--site": "site.toml", "--entity": "post.json", "--route": "/p"}
        options |= dict(zip(argv[::2], argv[1::2], strict=True))
        argv = [command, *(item for pair in options.items() for item in pair)]
    assert cli(*argv) == (2, "", f"zoret: error: {message}\n")
