"""Records as Python values: repr, pickling and copying, equality and hashing."""

import copy
import importlib
import multiprocessing
import pickle
import sys
from concurrent.futures import ProcessPoolExecutor

import pytest

import zoret
from payload_support import entity, overrides, samples
from zoret import _zoret_site as site
from zoret.hooks import HookRegistry


def state(obj):
    """What the object holds, compared after a round trip, through what users can observe."""
    name = type(obj).__name__
    if name in ("SEOPayload",):
        return obj.to_json(), obj.etag(), obj.schema_jsonld is None
    if name in ("OGPayload", "TwitterPayload"):
        return obj.to_dict()
    if name == "SEOIssue":
        return obj.rule_id, obj.severity, obj.message, obj.url, obj.details
    if name == "SEOContract":
        return obj.to_json()
    if name == "SchemaRegistry":
        return obj.list_types()
    if name == "SEOConfig":  # the hooks and registry run on the copy
        built = zoret.build_seo_payload(zoret.SEOEntity("post", title="Hi", excerpt="Short."), "/r", obj)  # fmt: skip
        return obj.to_dict(), repr(obj.hooks), repr(obj.schema_registry), built.to_json()
    if name == "SEOOverrides":
        built = zoret.build_seo_payload(
            zoret.SEOEntity("post"), "/r", zoret.SEOConfig("x.co", "https://x.co"), obj
        )
        return repr(obj), built.to_json()
    if name in ("SEOExpectation", "SEOContractRule", "SEOContractConfig"):
        config = obj if name == "SEOContractConfig" else zoret.SEOContractConfig(
            "x.co", defaults=obj if name == "SEOExpectation" else None, rules=[obj] if name == "SEOContractRule" else None)  # fmt: skip
        return repr(obj), zoret.build_seo_contract(config).to_json()
    return obj  # value equality


SAMPLES = samples()
WAYS = {
    f"pickle-{p}": lambda o, p=p: pickle.loads(pickle.dumps(o, p))
    for p in range(pickle.HIGHEST_PROTOCOL + 1)
}
WAYS |= {"copy": copy.copy, "deepcopy": copy.deepcopy}


@pytest.mark.parametrize("way", WAYS)
@pytest.mark.parametrize("name", SAMPLES)
def test_every_record_round_trips_through_pickle_and_copy(name, way):
    original = SAMPLES[name]
    again = WAYS[way](original)
    assert type(again) is type(original)
    assert state(again) == state(original)


def test_copies_share_or_copy_the_configuration_objects_as_python_does():
    config = SAMPLES["config"]
    shallow, deep = copy.copy(config), copy.deepcopy(config)
    assert (shallow is not config, shallow.hooks is config.hooks) == (True, True)
    assert deep.hooks is not config.hooks and deep.schema_registry is not config.schema_registry
    # SEOConfig keeps identity comparison: it is mutable and may sit in dict keys.
    assert shallow != config and hash(shallow) != hash(config)


def test_an_unpicklable_hook_fails_with_pickles_own_error():
    config = zoret.SEOConfig("x.co", "https://x.co", hooks=HookRegistry())
    config.hooks.register()(lambda payload, entity, config: None)
    with pytest.raises((pickle.PicklingError, AttributeError), match="lambda"):
        pickle.dumps(config)
    assert copy.copy(config).hooks is config.hooks  # copying does not pickle


def test_pickles_load_with_the_classes_of_the_importing_module(monkeypatch):
    data = pickle.dumps(SAMPLES)
    spec = importlib.util.find_spec("zoret._zoret_native")
    fresh = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(fresh)
    monkeypatch.setitem(sys.modules, "zoret._zoret_native", fresh)
    loaded = pickle.loads(data)
    for name, obj in loaded.items():
        assert type(obj) is getattr(fresh, type(obj).__name__), name
        assert state(obj) == state(SAMPLES[name]), name
    # and objects of the fresh module pickle and load as well
    assert state(pickle.loads(pickle.dumps(samples(fresh)["payload"]))) == state(SAMPLES["payload"])


def test_records_cross_to_worker_processes_and_back():
    context = multiprocessing.get_context("spawn")  # a fresh interpreter, no inherited state
    with ProcessPoolExecutor(max_workers=1, mp_context=context) as pool:
        built = pool.submit(
            zoret.build_seo_payload, entity(), "/blog/post", SAMPLES["config"], overrides()
        ).result()
        issues = pool.submit(zoret.validate_payload, SAMPLES["payload-bare"]).result()
        echoed = pool.submit(copy.copy, SAMPLES).result()
    assert built == zoret.build_seo_payload(entity(), "/blog/post", SAMPLES["config"], overrides())
    assert [state(i) for i in issues] == [state(i) for i in zoret.validate_payload(SAMPLES["payload-bare"])]  # fmt: skip
    assert {name: state(obj) for name, obj in echoed.items()} == {
        name: state(obj) for name, obj in SAMPLES.items()
    }


@pytest.mark.parametrize(
    "error", [zoret.ZoretError("x"), zoret.InvalidUrlError("y"), zoret.ContractError("z", 1)]
)
def test_exceptions_still_pickle(error):
    again = pickle.loads(pickle.dumps(error))
    assert (type(again), again.args) == (type(error), error.args)


X = "x" * 100
REPRS = [
    (zoret.SEOImage("/a.png", width=1200, height=630), "SEOImage('/a.png', width=1200, height=630, alt=None)"),
    (zoret.Robots(index=False, max_image_preview="large"),
     "Robots(index=False, follow=True, max_snippet=None, max_image_preview='large', max_video_preview=None)"),
    (zoret.Breadcrumb("Don't", '"q"'), """Breadcrumb("Don't", '"q"')"""),
    (zoret.SEOAuthor("Ada\n", url=None), r"SEOAuthor('Ada\n', url=None)"),
    (zoret.URLPolicy(extra_tracking_params=["ref"]),
     "URLPolicy(enforce_https=True, lowercase_paths=False, trailing_slash='never', collapse_duplicate_slashes=True, "
     "strip_tracking_params=True, allowed_query_params=[], extra_tracking_params=['ref'])"),
    (zoret.SEOEntity("post", title="Hi", same_as=[]), "SEOEntity('post', title='Hi', same_as=[])"),
    (zoret.SEOOverrides(), "SEOOverrides()"),
    (zoret.SEOOverrides(schema_jsonld=float("inf"), omit_schema=True), "SEOOverrides(schema_jsonld=nan, omit_schema=True)"),
    (zoret.SEOConfig("x.co", "https://x.co"), "SEOConfig('x.co', 'https://x.co')"),
    (zoret.SEOConfig("x.co", "https://x.co", search_robots=zoret.Robots(index=False), schema_type_map=[("faq", "FAQPage")]),
     "SEOConfig('x.co', 'https://x.co', schema_type_map=[('faq', 'FAQPage')])"),
    (zoret.SEOContractRule("/*", zoret.SEOExpectation(og_required=True, title=zoret.SEOExpectation(max_length=60))),
     "SEOContractRule('/*', SEOExpectation(og_required=True, title=SEOExpectation(max_length=60)))"),
    (zoret.SEOContractConfig("x.co", scheme="https", exceptions=[("/a", zoret.SEOExpectation())]),
     "SEOContractConfig('x.co', exceptions=[('/a', SEOExpectation())])"),
    (SAMPLES["issue"], "<SEOIssue rule_id='ZORET102' severity='warning' message='Title is 70 characters (recommended max 60)' "
                       "url='https://x.co/' details={'length': 70}>"),
    (SAMPLES["payload-bare"].twitter, f"<TwitterPayload card='summary_large_image' title='{'x' * 70}'>"),
    (zoret.build_seo_contract(zoret.SEOContractConfig("x.co")),
     "<SEOContract contract_version='1' generator=('zoret', '0.2.0') site=('x.co', 'https') defaults=SEOExpectation() "
     "rules=[] exceptions=[]>"),
    # Long values are cut, and the repr says how long they were.
    (zoret.FAQItem(X, "ü" * 81), f"FAQItem('{X[:60]}'...(100 characters), '{'ü' * 60}'...(81 characters))"),
    (zoret.SEOEntity("faq", faq_items=[zoret.FAQItem("Q", "A")] * 6, same_as=list("abcde")),
     "SEOEntity('faq', same_as=['a', 'b', 'c', 'd', 'e'], faq_items=[FAQItem('Q', 'A'), FAQItem('Q', 'A'), "
     "FAQItem('Q', 'A'), ...(3 more)])"),
    (zoret.SEOOverrides(schema_jsonld={"a": [[[1]], [[]], {"b": {"c": 2}}], "b": 1.0, "c": -1, "d": None, "e": True, "f": 1e16}),
     "SEOOverrides(schema_jsonld={'a': [[[...(1 item)]], [[]], {'b': {...(1 entry)}}], 'b': 1.0, 'c': -1, ...(3 more)})"),
]  # fmt: skip


@pytest.mark.parametrize(("obj", "expected"), REPRS)
def test_repr_shows_the_fields(obj, expected):
    assert repr(obj) == expected


VALUES = ["image", "image-bare", "robots", "breadcrumb", "faq", "author", "author-bare", "policy", "entity",
          "entity-bare"]  # fmt: skip
EVALUABLE = [*VALUES, "overrides-bare", "overrides-null-jsonld", "config-bare", "expectation", "rule"]  # fmt: skip


@pytest.mark.parametrize("name", EVALUABLE)
def test_short_constructor_reprs_evaluate_to_the_same_record(name):
    assert state(eval(repr(SAMPLES[name]), vars(zoret) | {"nan": float("nan")})) == state(SAMPLES[name])  # fmt: skip


def test_huge_values_give_short_reprs():
    big = zoret.SEOEntity("post", body_html="<p>" * 10**6, same_as=["u"] * 10**4)
    overrides = zoret.SEOOverrides(schema_jsonld={str(i): list(range(10)) for i in range(1000)})
    payload = zoret.build_seo_payload(big, "/", zoret.SEOConfig("x.co", "https://x.co"), overrides)
    for obj, note in (
        (big, "(3000000 characters)"),
        (big, "(9997 more)"),
        (overrides, "(997 more)"),
        (payload, "(997 more)"),
    ):
        assert note in repr(obj) and len(repr(obj)) < 1500


def test_deeply_nested_records_have_bounded_reprs_and_pickling_stops_cleanly():
    chain = zoret.SEOExpectation()
    for _ in range(3000):
        chain = zoret.SEOExpectation(title=chain)
    assert (
        repr(chain)
        == "SEOExpectation(title=SEOExpectation(title=SEOExpectation(title=SEOExpectation(title=SEOExpectation(...)))))"
    )
    with pytest.raises(RecursionError):
        pickle.dumps(chain)


def test_a_repr_that_comes_back_to_its_configuration_stops():
    class Shows:
        def __repr__(self):
            return f"Shows({config!r})"

    config = zoret.SEOConfig("x.co", "https://x.co", hooks=Shows())
    assert repr(config) == "SEOConfig('x.co', 'https://x.co', hooks=Shows(SEOConfig(...)))"


def clone(obj):
    """The same record made by a second import of the module."""
    spec = importlib.util.find_spec("zoret._zoret_native")
    fresh = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(fresh)
    assert type(obj) is not getattr(fresh, type(obj).__name__)
    return eval(repr(obj), vars(fresh))


DIFFERENT = [
    (zoret.SEOImage("/a.png"), zoret.SEOImage("/a.png", alt="")),
    (zoret.SEOImage("/a.png", width=1), zoret.SEOImage("/a.png", height=1)),
    (zoret.Robots(), zoret.Robots(max_snippet=0)),
    (zoret.Breadcrumb("a", "b"), zoret.Breadcrumb("b", "a")),
    (zoret.SEOAuthor("a"), zoret.SEOAuthor("a", url="")),
    (zoret.URLPolicy(), zoret.URLPolicy(allowed_query_params=["a", "a"])),
    (zoret.SEOEntity("post"), zoret.SEOEntity("page")),
    (zoret.SEOEntity("post"), zoret.SEOEntity("post", same_as=[])),
    (zoret.SEOEntity("post", featured_image=zoret.SEOImage("/a")), zoret.SEOEntity("post", featured_image=zoret.SEOImage("/b"))),
]  # fmt: skip


@pytest.mark.parametrize("name", VALUES)
def test_value_records_compare_and_hash_by_value(name):
    obj = SAMPLES[name]
    twin = clone(obj)
    assert obj == twin and not obj != twin and hash(obj) == hash(twin) and len({obj, twin}) == 1
    assert obj != 5 and obj != repr(obj) and obj != zoret.SEOOverrides()
    with pytest.raises(TypeError):
        obj < twin  # noqa: B015


@pytest.mark.parametrize(("a", "b"), DIFFERENT)
def test_different_values_are_unequal(a, b):
    assert a != b and not a == b and len({a, b}) == 2


def test_records_without_value_semantics_keep_theirs():
    payload = SAMPLES["payload"]
    with pytest.raises(TypeError, match="unhashable"):
        hash(payload)
    assert copy.copy(payload) == payload and copy.copy(payload) == payload.to_dict()
    for name in ("og", "twitter", "issue", "overrides", "config", "expectation", "contract"):
        obj = SAMPLES[name]
        assert copy.copy(obj) != obj and len({obj, copy.copy(obj)}) == 2


RECONSTRUCT_ERRORS = [
    ((zoret.SEOImage, (), {}), TypeError, r"cannot make <class 'zoret\._zoret_native\.SEOImage'> objects"),
    ((5, (), {}), TypeError, "cannot make 5 objects"),
    ((zoret.OGPayload, [], {}), TypeError, "takes a class, a tuple and a dict"),
    ((zoret.OGPayload, (), {}), TypeError, r"OGPayload\(\) missing 1 required positional argument: 'type'"),
    ((zoret.OGPayload, ("article",), {"image_width": -1}), OverflowError, "out of range"),
    ((zoret.TwitterPayload, ("summary",), {"site": 5}), TypeError, "cannot be converted to 'str'"),
    ((zoret.SEOIssue, ("ZORET101", "fatal", "m"), {}), ValueError, "invalid severity: fatal"),
    ((zoret.SEOIssue, ("ZORET101", "info", "m"), {"details": [1]}), TypeError, "details must be a dict"),
    ((zoret.SEOPayload, ("{", None), {}), ValueError, "EOF while parsing an object at line 1 column 1"),
    ((zoret.SEOPayload, ("{}", None), {}), zoret.ZoretError, "missing field `title`"),
    ((zoret.SEOPayload, (SAMPLES["payload"].__reduce__()[1][1][0], "[1,"), {}), ValueError, "EOF while parsing a value at line 1 column 3"),
    ((zoret.SEOContract, ("1", ("g", "1"), ("h", "https"), zoret.SEOExpectation(), [], [("/", None)]), {}),
     TypeError, "'None' is not an instance of 'SEOExpectation'"),
]  # fmt: skip


@pytest.mark.parametrize(("call", "exc", "match"), RECONSTRUCT_ERRORS)
def test_the_reconstructor_refuses_what_no_record_reduces_to(call, exc, match):
    with pytest.raises(exc, match=match):
        site._reconstruct(*call)
