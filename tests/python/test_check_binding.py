"""zoret._zoret_site's check family as Python sees it: contracts from each source, pages as
payloads or facts, the records (order, hash, pickling), reports, explanations, errors."""

import copy
import inspect
import json
import pickle

import pytest

import zoret
from zoret import _zoret_site as site
from zoret.check import CheckReport, Contract, LintFinding, NotChecked, PageFacts, Violation

E = zoret.SEOExpectation
SITE = zoret.SEOConfig(
    "example.com", "https://example.com", url_policy=zoret.URLPolicy(trailing_slash="always")
)
CONTRACT = zoret.build_seo_contract(zoret.SEOContractConfig(
    "example.com",
    defaults=E(canonical="self", title=E(required=True, max_length=20)),
    rules=[zoret.SEOContractRule("/blog/*", E(sitemap_required=True, schema_required=True,
                                              schema_types=["Article", "Recipe"]), severity="warning")],
    exceptions=[("/blog/long", E(title=E(max_length=60)))],
))  # fmt: skip


def payload(title="Hello", route="/blog/hello"):
    return zoret.build_seo_payload(zoret.SEOEntity("post", title=title), route, SITE)


@pytest.fixture(scope="module")
def contract():
    return Contract(CONTRACT)


def test_one_contract_from_each_source(tmp_path, contract):
    path = tmp_path / "c.json"
    CONTRACT.write(str(path))
    for made in (Contract.from_json(CONTRACT.to_json()), Contract.from_file(path),
                 Contract.from_file(str(path).encode()), pickle.loads(pickle.dumps(contract))):  # fmt: skip
        assert made.to_json() == CONTRACT.to_json()
        assert made.contract.to_dict() == CONTRACT.to_dict()
    assert repr(contract) == "<Contract for https://example.com: 1 rules, 1 exceptions>"
    assert type(contract.contract) is zoret.SEOContract


# The reader's and compiler's messages are the core suite's; one row of each, and the bytes
# that are no text at all.
@pytest.mark.parametrize(("text", "message"), [
    ('{"contract_version": "2", "site": {}}', 'contract_version: unsupported version "2" (this version of zoret reads "1") at line 1 column 22'),
    ('{"contract_version": "1", "site": {"canonical_host": "h", "scheme": "https"}, "defaults": {"title": {"matches": "(a"}}}',
     "defaults: title.matches: invalid regular expression: missing ): (a"),
    ("\xff", "invalid JSON"),
])  # fmt: skip
def test_contract_errors_name_file_line_and_column(tmp_path, text, message):
    with pytest.raises(zoret.ContractError, match=None) as raised:
        Contract.from_json(text)
    assert message in str(raised.value)
    path = tmp_path / "bad.json"
    path.write_bytes(text.encode("utf-8", "surrogateescape") if text != "\xff" else b"\xff")
    with pytest.raises(zoret.ContractError) as raised:
        Contract.from_file(path)
    assert str(raised.value).startswith(f"{path}: ")


def test_contract_file_and_argument_errors(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        Contract.from_file(tmp_path / "missing.json")
    assert raised.value.filename == str(tmp_path / "missing.json")
    with pytest.raises(IsADirectoryError):
        Contract.from_file(tmp_path)
    with pytest.raises(TypeError, match="'dict' object is not an instance of 'SEOContract'"):
        Contract({})
    with pytest.raises(TypeError) as raised:
        Contract.from_json(3)
    assert raised.value.__notes__ == ["while processing 'text'"]
    with pytest.raises(UnicodeEncodeError):
        Contract.from_json("\ud800")


def test_payload_and_its_facts_get_the_same_verdict(contract):
    page = payload(title="A title that is far too long")
    facts = site.facts_from_payload(page, "/blog/hello")
    got = contract.check("/blog/hello", page, SITE)
    assert got == contract.check("/blog/hello", facts, SITE)
    assert [(v.field, v.severity, v.source) for v in got] == [
        ("schema.types", "warning", "rules[0] /blog/*"),
        ("title.max_length", "error", "defaults"),
    ]
    assert got[0].expected == "Recipe" and got[0].url == "https://example.com/blog/hello/"
    # The route argument decides which layers apply (and which URL is the page's own),
    # whatever route the facts were made for.
    assert [v.field for v in contract.check("/blog/long", facts, SITE)] == ["canonical", "schema.types"]  # fmt: skip
    # Without the configuration "self" is the contract's site plus the route: no trailing slash.
    assert "canonical" in [v.field for v in contract.check("/blog/hello", page)]


def test_check_arguments_and_route_errors(contract):
    with pytest.raises(
        TypeError, match="'dict' object is not an instance of 'SEOPayload' or 'PageFacts'"
    ):
        contract.check("/", {})
    with pytest.raises(zoret.InvalidUrlError, match='route must be a path starting with "/": blog'):
        contract.check("blog", PageFacts("/blog"))
    with pytest.raises(TypeError, match="missing 1 required positional argument: 'page'"):
        contract.check("/")


def test_report_counts_what_was_checked_and_what_could_not_be(contract):
    report = contract.check_report("/blog/hello", payload(), SITE)
    assert isinstance(report, CheckReport)
    assert (report.routes_checked, report.constraints_checked) == (1, 5)
    assert report.counts == {"error": 0, "warning": 1, "info": 0}
    assert report.not_checked == [NotChecked("/blog/hello", "sitemap.required", "rules[0] /blog/*", "sitemap membership is not known")]  # fmt: skip
    assert (report.failed(), report.failed("warning"), report.failed(fail_on="info")) == (False, True, True)  # fmt: skip
    with pytest.raises(
        ValueError, match="severity must be 'error', 'warning' or 'info', got 'fatal'"
    ):
        report.failed("fatal")
    assert pickle.loads(pickle.dumps(report)) == report
    assert repr(report) == "<CheckReport: 1 routes, 5 constraints, 0 errors, 1 warnings, 0 infos, 1 not checked>"  # fmt: skip
    assert CheckReport() == CheckReport([], routes_checked=0) != report


def test_explain_is_printable_and_structured(contract):
    explained = contract.explain("/blog/long?x=1")
    assert explained.route == "/blog/long"
    assert explained.layers == [("defaults", "error"), ("rules[0] /blog/*", "warning"),
                                ("exceptions[/blog/long]", "error")]  # fmt: skip
    constraint = {"field": "title.max_length", "source": "exceptions[/blog/long]", "severity": "error", "value": 60}  # fmt: skip
    assert constraint in explained.constraints
    assert json.loads(json.dumps(explained.to_dict()))["layers"][1] == {"name": "rules[0] /blog/*", "severity": "warning"}  # fmt: skip
    # The layout is the core suite's; the text is its.
    assert str(explained).splitlines()[2] == '  rules[0] /blog/*        pattern "/blog/*" matches  warning'  # fmt: skip
    assert repr(explained) == "<Explanation of '/blog/long': 3 layers, 6 constraints>"
    with pytest.raises(TypeError, match="cannot create"):
        type(explained)()


def test_lint_reports_what_cannot_work():
    config = zoret.SEOContractConfig("example.com", defaults=E(indexable=True, matches="x"),
                                     rules=[zoret.SEOContractRule("blog/*", E())])  # fmt: skip
    findings = Contract(zoret.build_seo_contract(config)).lint()
    assert [(f.layer, f.field) for f in findings] == [("defaults", "matches"), ("rules[0] blog/*", "match")]  # fmt: skip
    assert all(isinstance(f, LintFinding) and f.message for f in findings)


VIOLATION = Violation("/a", "title.max_length", "at most 5 characters", actual="6 characters",
                      severity="warning", source="defaults", message="Too long.", url="https://e.com/a")  # fmt: skip
RECORDS = [
    VIOLATION,
    Violation("/a", "title", "x", rule_id="ZORET201"),
    NotChecked("/a", "sitemap.required", "defaults", "not known"),
    LintFinding("defaults", "matches", "belongs under title"),
    PageFacts("/a"),
    PageFacts("/p?q#f", url="https://e.com/p", status=404, title="T\x00", description="", canonical="https://e.com/p",
              robots="noindex, , max-snippet:5", properties=[("og:title", "T"), ("og:title", "U")],
              jsonld=['{"@type": "A"}', '"a string"', "{broken", {"@graph": [1.0, 2]}], jsonld_errors=["earlier"],
              hreflang=[], in_sitemap=False),
    CheckReport([VIOLATION], routes_checked=3, constraints_checked=9,
                not_checked=[NotChecked("/a", "hreflang.required", "defaults", "x")]),
]  # fmt: skip


@pytest.mark.parametrize("record", RECORDS, ids=lambda r: type(r).__name__)
@pytest.mark.parametrize("protocol", range(pickle.HIGHEST_PROTOCOL + 1))
def test_records_pickle_and_copy_through_their_constructors(record, protocol):
    again = pickle.loads(pickle.dumps(record, protocol))
    assert (again, copy.deepcopy(record), copy.copy(record)) == (record, record, record)
    assert type(again) is type(record)
    if not isinstance(record, CheckReport):
        assert eval(repr(record), vars(site)) == record


def test_records_order_hash_and_repr():
    assert repr(VIOLATION) == (
        "Violation(route='/a', field='title.max_length', expected='at most 5 characters', actual='6 characters', "
        "severity='warning', source='defaults', message='Too long.', url='https://e.com/a')"
    )
    same = Violation(**VIOLATION.to_dict())
    assert same == VIOLATION and hash(same) == hash(VIOLATION) and len({same, VIOLATION}) == 1
    error = Violation(**VIOLATION.to_dict() | {"severity": "error"})
    # Field by field: route, url, field, ... and severity by rank, error first.
    assert sorted([VIOLATION, error, Violation("/", "z", "")]) == [Violation("/", "z", ""), error, VIOLATION]  # fmt: skip
    assert VIOLATION != NotChecked("/a", "f", "s", "r") and VIOLATION.__lt__(1) is NotImplemented
    with pytest.raises(TypeError, match="unhashable"):
        hash(PageFacts("/"))
    with pytest.raises(
        ValueError, match="severity must be 'error', 'warning' or 'info', got 'Error'"
    ):
        Violation("/", "f", "e", severity="Error")


def test_page_facts_read_texts_values_and_pieces():
    facts = RECORDS[5]
    assert (facts.route, facts.status, facts.title) == ("/p", 404, "T\x00")
    assert facts.robots == ["noindex", "max-snippet:5"]
    assert facts.jsonld == [{"@type": "A"}, "a string", {"@graph": [1.0, 2]}]
    assert facts.jsonld_errors == ["key must be a string at line 1 column 2", "earlier"]
    assert (facts.hreflang, facts.in_sitemap, facts.properties[1]) == ([], False, ("og:title", "U"))
    assert PageFacts("/", robots=None, properties=None, jsonld=None, jsonld_errors=None) == PageFacts("/")  # fmt: skip
    assert facts.jsonld is not facts.jsonld and facts.robots is not facts.robots


@pytest.mark.parametrize(("kwargs", "error", "message", "param"), [
    ({"status": 99}, ValueError, "an HTTP status is from 100 to 599, got 99", "status"),
    ({"status": "200"}, TypeError, "'str' object cannot be interpreted as an integer", "status"),
    ({"title": b"x"}, TypeError, "'bytes' object cannot be converted to 'str'", "title"),
    ({"title": "\ud800"}, UnicodeEncodeError, "surrogates not allowed", "title"),
    ({"robots": [1]}, TypeError, "'int' object cannot be converted to 'str'", "robots"),
    ({"properties": [["og:title", "x"]]}, TypeError, "'list' object cannot be converted to 'tuple'", "properties"),
    ({"jsonld": [float("nan")]}, ValueError, "", "jsonld"),
    ({"jsonld": [{1, 2}]}, TypeError, "not JSON serializable", "jsonld"),
    ({"jsonld": ["\ud800"]}, UnicodeEncodeError, "surrogates not allowed", "jsonld"),
    ({"hreflang": [("en",)]}, TypeError, "expected tuple of length 2", "hreflang"),
    ({"in_sitemap": 1}, TypeError, "'int' object cannot be converted to 'bool'", "in_sitemap"),
    ({"titel": "x"}, TypeError, "PageFacts.__new__() got an unexpected keyword argument 'titel'", None),
])  # fmt: skip
def test_page_facts_refuse_wrong_arguments_with_a_note(kwargs, error, message, param):
    with pytest.raises(error, match=None) as raised:
        PageFacts("/", **kwargs)
    assert message in str(raised.value)
    assert getattr(raised.value, "__notes__", [None]) == ([f"while processing '{param}'"] if param else [None])  # fmt: skip


def test_deep_json_ld_is_refused_or_kept_without_a_crash():
    deep = "[" * 200 + "]" * 200
    facts = PageFacts("/", jsonld=[deep])
    assert facts.jsonld == [] and "recursion limit" in facts.jsonld_errors[0]
    nested = []
    for _ in range(200):
        nested = [nested]
    with pytest.raises(ValueError, match="recursion limit"):
        PageFacts("/", jsonld=[nested])


def test_classes_are_final_immutable_and_signed():
    classes = [c for c in vars(site).values() if isinstance(c, type)]
    assert {c.__name__ for c in classes} == {"PageFacts", "Violation", "NotChecked", "LintFinding", "CheckReport",
                                             "Explanation", "Contract", "ManifestChecker", "SitemapEntry",
                                             "AuditRules", "PageSummary"}  # fmt: skip
    natives = [c for c in vars(zoret._zoret_native).values() if isinstance(c, type) and not issubclass(c, Exception)]  # fmt: skip
    for cls in classes + natives:
        with pytest.raises(TypeError):
            type("Sub", (cls,), {})
        with pytest.raises(TypeError):
            cls.extra = 1
        for name, member in vars(cls).items():
            if callable(member) and not name.startswith("__"):
                assert inspect.signature(getattr(cls, name)), f"{cls.__name__}.{name}"
    for function in (site.facts_from_payload, site.read_manifest_line, site.snapshot_manifest_line):
        assert list(inspect.signature(function).parameters) in (
            ["payload", "route"],
            ["line"],
            ["line", "config"],
        )
    with pytest.raises(AttributeError):
        VIOLATION.route = "/b"
