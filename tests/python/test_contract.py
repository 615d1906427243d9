"""SEO contracts: expectations, rules, configurations and the contract document."""

import gc
import hashlib
import inspect
import json
import os
import resource
import signal
import sys
import tracemalloc

import pytest

from zoret import (
    SEOContract,
    SEOContractConfig,
    SEOContractRule,
    SEOExpectation,
    build_seo_contract,
)


def contract(host="example.com", **kwargs):
    return build_seo_contract(SEOContractConfig(host, **kwargs))


def file_order(expectation):
    """The compact text of an expectation in the order the contract file writes it."""
    document = json.loads(contract(defaults=expectation).to_json())
    return json.dumps(document["defaults"], separators=(",", ":"), ensure_ascii=False)


def nested(depth, field="title"):
    expectation = SEOExpectation(max_length=depth)
    for _ in range(depth):
        expectation = SEOExpectation(**{field: expectation})
    return expectation


EMPTY_CONTRACT_LINES = [
    "{",
    '  "contract_version": "1",',
    '  "generator": {',
    '    "name": "zoret",',
    '    "version": "0.2.0"',
    "  },",
    '  "site": {',
    '    "canonical_host": "H",',
    '    "scheme": "https"',
    "  },",
    '  "defaults": {},',
    '  "rules": [],',
    '  "exceptions": {}',
    "}",
]


def test_minimal_configuration_gives_the_fourteen_line_contract():
    text = build_seo_contract(SEOContractConfig("H")).to_json()
    assert text == "\n".join(EMPTY_CONTRACT_LINES)


@pytest.mark.parametrize(
    ("expectation", "expected"),
    [
        (SEOExpectation(), "{}"),
        (SEOExpectation(required=None, one_of=None, title=None), "{}"),
        (SEOExpectation(schema_types=["Article"]), "{}"),
        (
            SEOExpectation(schema_required=True, schema_types=["Article"]),
            '{"schema":{"required":true,"types":["Article"]}}',
        ),
        (SEOExpectation(schema_required=False), '{"schema":{"required":false}}'),
        (SEOExpectation(og_required=False), '{"open_graph":{"required":false}}'),
        (
            SEOExpectation(hreflang_required=True, sitemap_required=False, twitter_required=True),
            '{"twitter":{"required":true},"sitemap":{"required":false},'
            '"hreflang":{"required":true}}',
        ),
        (
            SEOExpectation(title=SEOExpectation(max_length=60), required=True),
            '{"required":true,"title":{"max_length":60}}',
        ),
        (
            SEOExpectation(
                description=SEOExpectation(min_length=1),
                title=SEOExpectation(forbidden=False),
                canonical="self",
                indexable=False,
                max_items=4,
                min_items=0,
                max_length=2**64 - 1,
                min_length=3,
                one_of=["a", "\u00e9"],
                matches="^a.*$",
                contains='"q"',
                not_equals="",
                equals="x",
                forbidden=True,
                required=False,
            ),
            '{"required":false,"forbidden":true,"equals":"x","not_equals":"",'
            '"contains":"\\"q\\"","matches":"^a.*$","one_of":["a","\u00e9"],"min_length":3,'
            '"max_length":18446744073709551615,"min_items":0,"max_items":4,"indexable":false,'
            '"canonical":"self","title":{"forbidden":false},"description":{"min_length":1}}',
        ),
        (SEOExpectation(one_of=()), '{"one_of":[]}'),
    ],
)
def test_expectation_serialisation(expectation, expected):
    assert file_order(expectation) == expected
    assert contract(defaults=expectation).to_dict()["defaults"] == json.loads(expected)


@pytest.mark.parametrize(
    ("severity", "written"),
    [
        (None, None),
        ("warning", "Warning"),
        ("info", "Info"),
        ("fatal", "Error"),
        ("error", "Error"),
        ("Info", "Error"),
        ("WARNING", "Error"),
        ("", "Error"),
    ],
)
def test_severity_text_is_kept_but_written_as_enum(severity, written):
    rule = SEOContractRule("/blog/*", SEOExpectation(), severity=severity)
    assert rule.severity == severity
    [serialised] = contract(rules=[rule]).to_dict()["rules"]
    assert serialised.get("severity") == written
    assert ("severity" in serialised) == (written is not None)


def test_rule_properties_return_copies():
    expect = SEOExpectation(required=True, indexable=False, canonical="self")
    rule = SEOContractRule(match="/a", expect=expect)
    assert rule.match == "/a"
    assert rule.expect is not rule.expect
    assert rule.expect is not expect
    assert file_order(rule.expect) == file_order(expect)
    assert (rule.expect.required, rule.expect.indexable, rule.expect.canonical) == (
        True,
        False,
        "self",
    )
    assert (SEOExpectation().required, SEOExpectation().canonical) == (None, None)


def test_exceptions_are_ordered_by_path_and_last_duplicate_wins():
    e1, e2, e3 = (SEOExpectation(equals=v) for v in ("1", "2", "3"))
    built = contract(exceptions=[("/b", e1), ("/a", e2), ("/b", e3)])
    assert list(json.loads(built.to_json())["exceptions"].items()) == [
        ("/a", {"equals": "2"}),
        ("/b", {"equals": "3"}),
    ]


def test_rule_order_matters_and_exception_order_does_not():
    first = SEOContractRule("/a/*", SEOExpectation(required=True))
    second = SEOContractRule("/a/*", SEOExpectation(required=False), severity="info")
    forward = contract(rules=[first, second])
    assert forward.to_json() == contract(rules=[first, second]).to_json()
    assert forward.hash() == contract(rules=[first, second]).hash()
    backward = contract(rules=[second, first])
    assert forward.to_json() != backward.to_json()
    assert forward.hash() != backward.hash()

    a, b = ("/a", SEOExpectation(equals="a")), ("/b", SEOExpectation(equals="b"))
    assert contract(exceptions=[a, b]).to_json() == contract(exceptions=[b, a]).to_json()
    assert contract(exceptions=[a, b]).hash() == contract(exceptions=[b, a]).hash()


@pytest.mark.parametrize(
    "built",
    [
        contract("H"),
        contract(
            "h\u00e9", scheme="ftp", rules=[SEOContractRule("/", SEOExpectation(equals="\u2603"))]
        ),
    ],
)
def test_hash_is_sha256_of_the_json_text(built):
    digest = built.hash()
    assert digest == hashlib.sha256(built.to_json().encode("utf-8")).hexdigest()
    assert len(digest) == 64


def test_to_dict_sorts_keys_at_every_level():
    built = contract(
        rules=[
            SEOContractRule(
                "/x", SEOExpectation(title=SEOExpectation(max_length=1), required=True)
            ),
            SEOContractRule("/y", SEOExpectation(), severity="info"),
        ],
        exceptions=[("/z", SEOExpectation(indexable=True))],
    )
    data = built.to_dict()
    assert list(data) == [
        "contract_version",
        "defaults",
        "exceptions",
        "generator",
        "rules",
        "site",
    ]
    assert isinstance(data["rules"], list)
    assert [list(rule) for rule in data["rules"]] == [
        ["expect", "match"],
        ["expect", "match", "severity"],
    ]
    assert list(data["rules"][0]["expect"]) == ["required", "title"]
    assert list(data["site"]) == ["canonical_host", "scheme"]
    assert built.to_dict() is not data


def test_contract_properties():
    built = contract("", scheme="ftp")
    assert built.contract_version == "1"
    assert built.site == {"canonical_host": "", "scheme": "ftp"}
    assert list(built.site) == ["canonical_host", "scheme"]
    assert built.site is not built.site


def test_nested_expectations_keep_every_level():
    deep = SEOExpectation(
        title=SEOExpectation(
            description=SEOExpectation(title=SEOExpectation(equals="inner"), required=False),
            max_length=70,
        ),
        description=SEOExpectation(min_length=50),
    )
    assert contract(defaults=deep).to_dict()["defaults"] == {
        "title": {
            "max_length": 70,
            "description": {"required": False, "title": {"equals": "inner"}},
        },
        "description": {"min_length": 50},
    }


@pytest.mark.parametrize("field", ["title", "description"])
def test_nesting_beyond_the_parser_depth_fails_only_in_to_dict(field):
    # The contract object and "defaults" take two of the parser's 127 levels.
    assert contract(defaults=nested(125, field)).to_dict()["defaults"][field][field]
    too_deep = contract(defaults=nested(126, field))
    with pytest.raises(ValueError, match=r"^recursion limit exceeded at line 1 column \d+$"):
        too_deep.to_dict()
    text = too_deep.to_json()
    assert text.count(f'"{field}": {{') == 126
    assert too_deep.hash() == hashlib.sha256(text.encode()).hexdigest()


def test_write_round_trip_replaces_existing_file(tmp_path):
    target = tmp_path / "contract.json"
    target.write_text("an older, longer contract " * 100)
    built = contract(rules=[SEOContractRule("/\u00e9", SEOExpectation())])
    assert built.write(str(target)) is None
    assert target.read_bytes() == built.to_json().encode("utf-8")
    assert built.write(path=str(target)) is None
    assert os.listdir(tmp_path) == ["contract.json"]


@pytest.mark.parametrize(
    ("make_path", "exc", "message", "note"),
    [
        (
            lambda tmp: str(tmp / "missing" / "c.json"),
            OSError,
            "serialization error: failed to write contract: No such file or directory (os error 2)",
            None,
        ),
        (
            lambda tmp: str(tmp),
            OSError,
            "serialization error: failed to write contract: Is a directory (os error 21)",
            None,
        ),
        (
            lambda tmp: tmp / "c.json",
            TypeError,
            "'PosixPath' object cannot be converted to 'str'",
            "path",
        ),
        (lambda tmp: None, TypeError, "'NoneType' object cannot be converted to 'str'", "path"),
    ],
)
def test_write_failures(tmp_path, make_path, exc, message, note):
    with pytest.raises(exc) as info:
        contract().write(make_path(tmp_path))
    assert type(info.value) is exc
    assert str(info.value) == message
    expected_notes = [f"while processing '{note}'"] if note else None
    assert getattr(info.value, "__notes__", None) == expected_notes
    assert not list(tmp_path.rglob("*"))


def test_failed_write_leaves_the_old_file_and_no_temporary_file(tmp_path):
    target = tmp_path / "contract.json"
    target.write_bytes(b"old")
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
    assert str(info.value) == (
        "serialization error: failed to write contract: File too large (os error 27)"
    )
    assert target.read_bytes() == b"old"
    assert os.listdir(tmp_path) == ["contract.json"]


EXPECTATION_FIELDS = (
    "required forbidden equals not_equals contains matches one_of min_length max_length "
    "min_items max_items indexable canonical schema_required schema_types og_required "
    "twitter_required sitemap_required hreflang_required title description"
).split()


@pytest.mark.parametrize(
    ("param", "value", "exc", "message"),
    [
        ("min_length", -1, OverflowError, None),
        ("max_items", 2**64, OverflowError, None),
        ("one_of", "abc", TypeError, "Can't extract `str` to `Vec`"),
        ("schema_types", "Article", TypeError, "Can't extract `str` to `Vec`"),
        ("one_of", ["a", 1], TypeError, "'int' object cannot be converted to 'str'"),
        ("required", 1, TypeError, "'int' object cannot be converted to 'bool'"),
        ("og_required", 0, TypeError, "'int' object cannot be converted to 'bool'"),
        ("title", "x", TypeError, "'str' object is not an instance of 'SEOExpectation'"),
    ],
)
def test_bad_expectation_arguments(param, value, exc, message):
    with pytest.raises(exc) as info:
        SEOExpectation(**{param: value})
    assert type(info.value) is exc
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{param}'"]


E = SEOExpectation()


@pytest.mark.parametrize(
    ("call", "message", "note"),
    [
        (
            lambda: SEOContractRule("/", None),
            "'None' is not an instance of 'SEOExpectation'",
            "expect",
        ),
        (
            lambda: SEOContractConfig("H", exceptions=[["/a", E]]),
            "'list' object cannot be converted to 'tuple'",
            "exceptions",
        ),
        (
            lambda: SEOContractConfig("H", exceptions=[("/a", E, "x")]),
            "expected tuple of length 2, but got tuple of length 3",
            "exceptions",
        ),
        (
            lambda: SEOContractConfig("H", rules=[E]),
            "'SEOExpectation' object is not an instance of 'SEOContractRule'",
            "rules",
        ),
        (lambda: SEOContractConfig("H", scheme=None), None, "scheme"),
        (
            lambda: build_seo_contract(None),
            "'None' is not an instance of 'SEOContractConfig'",
            "config",
        ),
    ],
)
def test_bad_arguments(call, message, note):
    with pytest.raises(TypeError) as info:
        call()
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


@pytest.mark.parametrize(
    ("call", "name", "takes", "given"),
    [
        (lambda: SEOExpectation(True), "SEOExpectation.__new__", 0, 1),
        (lambda: SEOContractRule("/", E, "info"), "SEOContractRule.__new__", 2, 3),
        (lambda: SEOContractConfig("H", "http"), "SEOContractConfig.__new__", 1, 2),
        (lambda: contract().to_json(1), "SEOContract.to_json", 0, 1),
        (lambda: contract().write("a", "b"), "SEOContract.write", 1, 2),
    ],
)
def test_keyword_only_and_surplus_arguments_are_refused(call, name, takes, given):
    with pytest.raises(TypeError) as info:
        call()
    verb = "was" if given == 1 else "were"
    expected = f"{name}() takes {takes} positional arguments but {given} {verb} given"
    assert str(info.value) == expected


def test_contract_has_no_constructor():
    with pytest.raises(TypeError, match=r"^cannot create '[\w.]+\.SEOContract' instances$"):
        SEOContract()


@pytest.mark.parametrize(
    ("obj", "signature", "summary"),
    [
        (SEOContract, None, "A generated, machine-readable SEO contract."),
        (
            SEOContractConfig,
            "(canonical_host, *, scheme='https', defaults=None, rules=None, exceptions=None)",
            "Input configuration for building a contract.",
        ),
        (
            SEOContractRule,
            "(match, expect, *, severity=None)",
            "A contract rule matched against route paths.",
        ),
        (
            SEOExpectation,
            "(*, " + ", ".join(f"{name}=None" for name in EXPECTATION_FIELDS) + ")",
            "Expectations applied to a page, a rule match, or contract defaults.",
        ),
        (build_seo_contract, "(config)", "Builds a machine-readable SEO contract."),
        (SEOContract.write, "(self, /, path)", "Writes to_json() to the file at `path`."),
    ],
)
def test_signatures_and_summaries(obj, signature, summary):
    assert obj.__doc__.splitlines()[0] == summary
    if signature is not None:
        assert str(inspect.signature(obj)) == signature


def test_refcounts_stay_flat_over_many_builds():
    host, path, severity = "example.com" + "!" * 5, "/p" + "q" * 5, "warn" + "ing" * 2
    expectation = SEOExpectation(one_of=[path], title=SEOExpectation(equals=path))
    rule = SEOContractRule(path, expectation, severity=severity)
    pair = (path, expectation)
    inputs = (host, path, severity, expectation, rule, pair)

    def run():
        config = SEOContractConfig(host, defaults=expectation, rules=[rule], exceptions=[pair])
        built = build_seo_contract(config)
        built.to_dict()
        built.site  # noqa: B018  (the property is the call under test)
        rule.expect  # noqa: B018
        rule.severity  # noqa: B018

    run()
    gc.collect()
    counts = [sys.getrefcount(obj) for obj in inputs]
    objects = len(gc.get_objects())
    # Leaked results hold no reference to the inputs, so memory is watched too.
    tracemalloc.start()
    try:
        before = tracemalloc.get_traced_memory()[0]
        for _ in range(1000):
            run()
        gc.collect()
        growth = tracemalloc.get_traced_memory()[0] - before
    finally:
        tracemalloc.stop()
    assert [sys.getrefcount(obj) for obj in inputs] == counts
    assert len(gc.get_objects()) <= objects + 10
    assert growth < 50_000
