"""zoret snapshot and zoret diff: what a snapshot line holds, and which fields a diff names."""

import json
from pathlib import Path

import pytest

import zoret
from zoret.snapshot import ABSENT, Change, payload_changes

SITE = 'canonical_host = "example.com"\npublic_base_url = "https://example.com"\n'
CONFIG = zoret.SEOConfig("example.com", "https://example.com")
PAGES = [
    ("/", {"entity_type": "home", "title": "Home"}, None),
    ("/blog/a", {"entity_type": "post", "title": "A", "breadcrumbs": [{"name": "Home", "url": "/"}]}, None),
    ("/about", {"entity_type": "page", "title": "About"}, {"meta_description": "Who we are."}),
]  # fmt: skip


def manifest(pages, name="routes.jsonl"):
    lines = (json.dumps({"route": r, "entity": e} | ({"overrides": o} if o else {})) for r, e, o in pages)  # fmt: skip
    Path(name).write_text("\n".join(lines) + "\n")
    return name


@pytest.fixture(autouse=True)
def files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    Path("site.toml").write_text(SITE)
    manifest(PAGES)


SNAPSHOT = ["snapshot", "--site", "site.toml", "--manifest", "routes.jsonl", "-o"]


def test_a_line_per_route_with_its_hash_and_the_hashed_payload(cli):
    assert cli(*SNAPSHOT, "seo.lock") == (0, "wrote seo.lock (3 routes)\n", "")
    lines = Path("seo.lock").read_text().splitlines()
    for line, (route, entity, overrides) in zip(lines, PAGES, strict=True):
        built = zoret.build_seo_payload(
            zoret.forms.entity_from_dict(entity), route, CONFIG,
            zoret.forms.overrides_from_dict(overrides) if overrides else None,
        )  # fmt: skip
        record = json.loads(line)
        assert list(record) == ["route", "hash", "payload"]
        assert (record["route"], record["hash"], record["payload"]) == (route, built.hash(), built.to_dict())  # fmt: skip
        # The payload is the text that was hashed: the payload's fields in their order.
        assert line == json.dumps(record | {"payload": json.loads(built.to_json())}, separators=(",", ":"),
                                  ensure_ascii=False)  # fmt: skip
    assert cli(*SNAPSHOT, "-")[1] == Path("seo.lock").read_text()


def test_a_repeated_route_is_a_bad_line_and_a_failed_run_keeps_the_old_file(cli):
    Path("seo.lock").write_text("old\n")
    manifest([*PAGES, PAGES[1]])
    status, out, err = cli(*SNAPSHOT, "seo.lock")
    assert out == ""
    assert (status, err) == (2, "zoret: error: routes.jsonl:4: route '/blog/a' is already at line 2\n")  # fmt: skip
    assert Path("seo.lock").read_text() == "old\n"
    assert sorted(p.name for p in Path().iterdir()) == ["routes.jsonl", "seo.lock", "site.toml"]
    status, _, err = cli(*SNAPSHOT, "seo.lock", "--keep-going")
    assert status == 2 and len(Path("seo.lock").read_text().splitlines()) == 3


def test_diff_lists_added_removed_and_changed_fields(cli):
    cli(*SNAPSHOT, "old.lock")
    changed = [("/", {"entity_type": "home", "title": "Home!"}, None), PAGES[1],
               ("/contact", {"entity_type": "page", "title": "Contact"}, None)]  # fmt: skip
    manifest(changed)
    cli(*SNAPSHOT, "new.lock")
    status, out, err = cli("diff", "old.lock", "new.lock")
    assert (status, err) == (1, "")
    assert out == (
        "added    /contact\n"
        "removed  /about\n"
        "changed  /\n"
        '  title: "Home" -> "Home!"\n'
        '  og.title: "Home" -> "Home!"\n'
        '  twitter.title: "Home" -> "Home!"\n'
        '  schema_jsonld.name: "Home" -> "Home!"\n'
        "1 added, 1 removed, 1 changed, 1 unchanged\n"
    )
    document = json.loads(cli("diff", "old.lock", "new.lock", "--format", "json")[1])
    assert document["changed"][0]["changes"][0] == {"path": "title", "old": "Home", "new": "Home!"}
    assert document["summary"] == {"added": 1, "removed": 1, "changed": 1, "unchanged": 1}
    assert cli("diff", "new.lock", "new.lock") == (0, "0 added, 0 removed, 0 changed, 3 unchanged\n", "")  # fmt: skip


@pytest.mark.parametrize(("old", "new", "changes"), [
    ({"a": 1}, {"a": 1.0}, [Change("a", 1, 1.0)]),
    ({"a": True}, {"a": 1}, [Change("a", True, 1)]),
    ({"a": {"@graph": [{"x": 1}, {"y": 2}]}}, {"a": {"@graph": [{"x": 2}]}},
     [Change('a["@graph"][0].x', 1, 2), Change('a["@graph"][1]', {"y": 2}, ABSENT)]),
    ({"b": 1, "a": 2}, {"a": 2, "c": None}, [Change("b", 1, ABSENT), Change("c", ABSENT, None)]),
    ({"og": {"image": None}}, {"og": {}}, [Change("og.image", None, ABSENT)]),
    ({"k": [1]}, {"k": {"0": 1}}, [Change("k", [1], {"0": 1})]),
    ({"é t": "x"}, {"é t": "y"}, [Change('["é t"]', "x", "y")]),
])  # fmt: skip
def test_payload_changes_are_paths_to_the_deepest_difference(old, new, changes):
    assert payload_changes(old, new) == changes
    assert payload_changes(new, new) == []


@pytest.mark.parametrize(("text", "message"), [
    ("{", "seo.lock:1: not a snapshot line: Expecting property name enclosed in double quotes: line 1 column 2 (char 1)"),
    ('{"route": "/"}', "seo.lock:1: a snapshot line is an object with route, hash and payload"),
    ('{"route": "/", "hash": "x", "payload": {}}', "seo.lock:1: hash must be 64 lower-case hexadecimal digits"),
    ('{"route": 1, "hash": "' + "0" * 64 + '", "payload": {}}', "seo.lock:1: route must be a string and payload an object"),
    ('\n{"route": "/", "hash": "' + "0" * 64 + '", "payload": {}}\n{"route": "/", "hash": "' + "1" * 64 + '", "payload": {}}',
     "seo.lock:3: route '/' is already at line 2"),
    ("[" * 100_000, "seo.lock:1: not a snapshot line: maximum recursion depth exceeded"),
])  # fmt: skip
def test_a_bad_snapshot_file_is_one_line_and_status_2(cli, text, message):
    Path("seo.lock").write_text(text)
    Path("empty.lock").write_text("")
    status, out, err = cli("diff", "seo.lock", "empty.lock")
    assert (status, out) == (2, "") and err.startswith(f"zoret: error: {message}"), err
    assert cli("diff", "missing.lock", "empty.lock") == (
        2, "", "zoret: error: missing.lock: No such file or directory\n")  # fmt: skip
