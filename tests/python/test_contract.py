"""SEO contracts through the binding: arguments, copies, key orders, depth, file writing."""

import errno
import hashlib
import json
import os
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
from pathlib import Path

import pytest

import zoret
from zoret import SEOContractConfig, SEOContractRule, SEOExpectation, build_seo_contract


def contract(host="example.com", **kwargs):
    return build_seo_contract(SEOContractConfig(host, **kwargs))


E = SEOExpectation()
EXPECTATIONS = [
    (SEOExpectation(schema_types=["Article"]), "{}"),
    (SEOExpectation(schema_required=True, schema_types=["Article"]),
     '{"schema":{"required":true,"types":["Article"]}}'),
    (SEOExpectation(og_required=False, sitemap_required=False, twitter_required=True),
     '{"open_graph":{"required":false},"twitter":{"required":true},"sitemap":{"required":false}}'),
    (SEOExpectation(description=SEOExpectation(min_length=1), title=SEOExpectation(forbidden=False),
                    max_length=2**64 - 1, one_of=["a", "\u00e9"], hreflang_required=True, required=False),
     '{"required":false,"one_of":["a","\u00e9"],"max_length":18446744073709551615,'
     '"hreflang":{"required":true},"title":{"forbidden":false},"description":{"min_length":1}}'),
    (SEOExpectation(one_of=()), '{"one_of":[]}'),
]  # fmt: skip


@pytest.mark.parametrize(("expectation", "expected"), EXPECTATIONS)
def test_expectation_arguments_reach_the_file(expectation, expected):
    built = contract(defaults=expectation)
    defaults = json.loads(built.to_json())["defaults"]
    assert json.dumps(defaults, separators=(",", ":"), ensure_ascii=False) == expected
    assert built.to_dict()["defaults"] == defaults
    assert built.hash() == hashlib.sha256(built.to_json().encode("utf-8")).hexdigest()


def test_to_dict_sorts_keys_and_returns_copies():
    # Severity text is kept as given but written as the enum ("Info" is no name of it).
    expect = SEOExpectation(required=True, indexable=False, canonical="self", title=E)
    rules = [
        SEOContractRule(match="/x", expect=expect),
        SEOContractRule("/y", SEOExpectation(), severity="warning"),
        SEOContractRule("/z", SEOExpectation(), severity="Info"),
    ]
    assert [rule.severity for rule in rules] == [None, "warning", "Info"]
    assert rules[0].expect is not expect and rules[0].match == "/x"
    # Exceptions are ordered by path, and the last of a duplicate path wins.
    tail = [("/a", SEOExpectation(equals="2")), ("/b", SEOExpectation(equals="3"))]
    built = contract("", scheme="ftp", rules=rules, exceptions=[("/b", SEOExpectation()), *tail])
    assert built.hash() == contract("", scheme="ftp", rules=rules, exceptions=tail).hash()
    exceptions = json.loads(built.to_json())["exceptions"]
    assert list(exceptions.items()) == [("/a", {"equals": "2"}), ("/b", {"equals": "3"})]
    data = built.to_dict()
    assert data == json.loads(built.to_json())
    assert json.dumps(data) == json.dumps(data, sort_keys=True)  # sorted at every level
    assert [rule.get("severity") for rule in data["rules"]] == [None, "Warning", "Error"]
    assert built.contract_version == "1"
    assert list(built.site.items()) == [("canonical_host", ""), ("scheme", "ftp")]


def test_nesting_beyond_the_parser_depth_fails_only_in_to_dict():
    # The contract object and "defaults" take two of the parser's 127 levels.
    expectation = SEOExpectation(max_length=1)
    for _ in range(125):
        expectation = SEOExpectation(title=expectation)
    assert contract(defaults=expectation).to_dict()["defaults"]["title"]["title"]
    too_deep = contract(defaults=SEOExpectation(title=expectation))
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column \d+$"):
        too_deep.to_dict()
    text = too_deep.to_json()
    assert text.count('"title": {') == 126
    assert too_deep.hash() == hashlib.sha256(text.encode()).hexdigest()


def test_write_replaces_the_file_whole_or_not_at_all(tmp_path):
    target = tmp_path / "contract.json"
    target.write_text("an older, longer contract " * 100)
    written = contract(rules=[SEOContractRule("/\u00e9", SEOExpectation())])
    assert written.write(path=str(target)) is None
    assert target.read_bytes() == written.to_json().encode("utf-8")
    # A file-size limit makes the write fail midway even for a privileged user.
    old_handler = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    soft, hard = resource.getrlimit(resource.RLIMIT_FSIZE)
    resource.setrlimit(resource.RLIMIT_FSIZE, (16, hard))
    try:
        with pytest.raises(OSError) as info:
            contract().write(str(target))
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, (soft, hard))
        signal.signal(signal.SIGXFSZ, old_handler)
    assert type(info.value) is OSError
    assert str(info.value) == (
        "serialization error: failed to write contract: File too large (os error 27)"
    )
    assert target.read_bytes() == written.to_json().encode("utf-8")
    assert os.listdir(tmp_path) == ["contract.json"]


# Run in a child that imports zoret first and only then drops root's override of
# file permissions (as nobody it could not read the interpreter's files).
_WRITE_CHILD = """import json, os, sys
from zoret import SEOContractConfig, build_seo_contract
path, unprivileged = json.loads(sys.argv[1]), sys.argv[2] == "1"
if unprivileged and os.geteuid() == 0:
    os.setgid(65534)
    os.setuid(65534)
try:
    outcome = build_seo_contract(SEOContractConfig("example.com")).write(path)
except OSError as error:
    assert type(error) is OSError and error.filename is None
    outcome = [error.errno, str(error)]
print(json.dumps(outcome))
"""


def write_outcome(path, unprivileged=False):
    """What contract().write(path) raises, as (errno, text), or None."""
    env = {**os.environ, "PYTHONPATH": os.path.dirname(os.path.dirname(zoret.__file__))}
    child = subprocess.run(
        [sys.executable, "-c", _WRITE_CHILD, json.dumps(path), "1" if unprivileged else "0"],
        capture_output=True, text=True, check=True, env=env,
    )  # fmt: skip
    outcome = json.loads(child.stdout)
    return tuple(outcome) if outcome is not None else None


FAILED = "serialization error: failed to write contract: "
# (path under a directory that nobody may change, as whom, errno, text after FAILED)
WRITE_REFUSALS = [
    ("read-only.json", True, errno.EACCES, "Permission denied (os error 13)"),
    ("locked/new.json", True, errno.EACCES, "Permission denied (os error 13)"),
    ("out.json\x00.bak", False, None, "embedded null byte"),
    pytest.param("/dev/full", False, errno.ENOSPC, "No space left on device (os error 28)",
                 marks=pytest.mark.skipif(not os.path.exists("/dev/full") or
                                          not stat.S_ISCHR(os.stat("/dev/full").st_mode),
                                          reason="no /dev/full device")),
]  # fmt: skip


@pytest.fixture
def shared_dir():
    # Under /tmp and handed to nobody, so that an unprivileged child can reach it.
    path = Path(tempfile.mkdtemp())
    (path / "locked").mkdir(mode=0o555)
    (path / "read-only.json").write_text("old")
    (path / "read-only.json").chmod(0o444)
    path.chmod(0o755)
    if os.geteuid() == 0:
        for each in (path, path / "locked"):
            os.chown(each, 65534, 65534)
    yield path
    shutil.rmtree(path)


@pytest.mark.parametrize(("name", "unprivileged", "code", "text"), WRITE_REFUSALS)
def test_write_refusals_touch_nothing(shared_dir, name, unprivileged, code, text):
    assert write_outcome(str(shared_dir / name), unprivileged) == (code, FAILED + text)
    assert sorted(os.listdir(shared_dir)) == ["locked", "read-only.json"]
    assert os.listdir(shared_dir / "locked") == []
    assert (shared_dir / "read-only.json").read_text() == "old"


def test_write_through_a_dangling_symlink_creates_its_target(tmp_path):
    (tmp_path / "link.json").symlink_to("target.json")
    assert write_outcome(str(tmp_path / "link.json")) is None
    assert (tmp_path / "target.json").read_text() == contract().to_json()
    assert (tmp_path / "link.json").is_symlink()


ARGUMENT_ERRORS = [
    (lambda: SEOExpectation(min_length=-1), OverflowError, None, "min_length"),
    (lambda: SEOExpectation(max_items=2**64), OverflowError, None, "max_items"),
    (lambda: SEOExpectation(one_of=["a", 1]), TypeError, "'int' object cannot be converted to 'str'", "one_of"),
    (lambda: SEOContractConfig("H", exceptions=[["/a", E]]), TypeError,
     "'list' object cannot be converted to 'tuple'", "exceptions"),
    (lambda: SEOContractConfig("H", exceptions=[("/a", E, "x")]), TypeError,
     "expected tuple of length 2, but got tuple of length 3", "exceptions"),
    (lambda: contract().write(Path("c")), TypeError, "'PosixPath' object cannot be converted to 'str'", "path"),
]  # fmt: skip


@pytest.mark.parametrize(("call", "exc", "message", "note"), ARGUMENT_ERRORS)
def test_argument_errors(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    assert type(info.value) is exc
    assert message is None or str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (note and [f"while processing '{note}'"])
