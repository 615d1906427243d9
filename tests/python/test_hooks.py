"""The schema-registry, hook and warning steps that run after every build."""

import os
import subprocess
import sys
import warnings
from unittest import mock

import pytest

import zoret
from payload_support import BASE, MINIMAL, Hooks, Registry, config
from zoret import SEOEntity, SEOImage, SEOOverrides, build_seo_payload

ARTICLE = SEOEntity("post", title="Hello", excerpt="Short.", featured_image=SEOImage("/i.png"))
GENERATED = {"@type": "BlogPosting", "headline": "generated"}
BUILDS = [build_seo_payload, zoret.build_seo_payload_dict, zoret.build_seo_payload_with_overrides]
TITLE_ONLY = SEOEntity("post", title="Hello")
CRUMBED = SEOEntity("post", breadcrumbs=[zoret.Breadcrumb("Home", "/")])
REGISTRY_CASES = [
    (ARTICLE, None, Registry(GENERATED), 1, 1, True),
    (ARTICLE, None, Registry(GENERATED, registered=False), 1, 0, False),
    (ARTICLE, None, Registry(None), 1, 1, False),
    (CRUMBED, None, Registry(GENERATED), 0, 0, False),
    (ARTICLE, SEOOverrides(omit_schema=True), Registry(GENERATED), 0, 0, False),
    (ARTICLE, SEOOverrides(schema_jsonld={"@type": ["Article"]}), Registry(GENERATED), 0, 0, False),
]  # fmt: skip


@pytest.mark.parametrize("entity,overrides,registry,has,generate,replaced", REGISTRY_CASES)
def test_registry_only_for_one_typed_object(entity, overrides, registry, has, generate, replaced):
    payload = build_seo_payload(entity, "/a", config(schema_registry=registry), overrides)
    plain = build_seo_payload(entity, "/a", config(), overrides).to_dict()
    assert (registry.has_calls, len(registry.generate_calls)) == ([("Article",)] * has, generate)
    assert payload == ({**plain, "schema_jsonld": GENERATED} if replaced else plain)


@pytest.mark.parametrize(("entity", "image"), [(ARTICLE, "/i.png"), (TITLE_ONLY, None)])
def test_registry_and_hooks_get_copies(entity, image):
    hooks, registry = Hooks(), Registry()
    site = config(hooks=hooks, schema_registry=registry, title_template="{title} | Site")
    payload = build_seo_payload(entity, "/a?utm_source=x", site)
    ((schema_type, g_entity, g_config, *texts),) = registry.generate_calls
    ((stage, data, h_entity, h_config),) = hooks.calls
    assert (schema_type, stage) == ("Article", "post_process")
    assert texts == [f"{BASE}/a", "Hello | Site", "Short." if image else "", image]
    assert type(data) is dict and data == payload.to_dict()
    assert list(data["og"]) == sorted(data["og"])
    pairs = zip((g_entity, h_entity, g_config, h_config), (entity, entity, site, site), strict=True)
    for copy, original in pairs:
        assert type(copy).__name__ == type(original).__name__ and copy is not original
        assert copy.to_dict() == original.to_dict()
    assert g_config.hooks is h_config.hooks is hooks
    assert g_config.schema_registry is h_config.schema_registry is registry


# A hook's result: the payload fields it gives, or the error it causes.
HOOK_RESULTS = [
    (lambda p: p.update(title="In place"), {"title": "In place"}),
    (lambda p: {**p, "title": "Returned"}, {"title": "Returned"}),
    (lambda p: type("Sub", (dict,), {})(p, title="Subclass"), {"title": "Subclass"}),
    (lambda p: {**MINIMAL, "custom": {"b": 1, "a": 2}}, {"title": "T", "custom": {"a": 2, "b": 1}}),
    (lambda p: [p], TypeError("post_process hooks must return a dict")),
    (lambda p: {**p, "og": {"type": "t", "image_width": 2**32}},
     zoret.ZoretError("invalid value: integer `4294967296`, expected u32")),
    (lambda p: {**MINIMAL, "schema_jsonld": float("nan")}, ValueError("expected value at line 1 column 144")),
    (lambda p: {**p, "x": {1, 2}}, TypeError("Object of type set is not JSON serializable")),
]  # fmt: skip


@pytest.mark.parametrize(("hook", "expected"), HOOK_RESULTS)
def test_hook_results(hook, expected):
    site = config(hooks=Hooks(hook))
    if isinstance(expected, Exception):
        with pytest.raises(type(expected)) as info:
            build_seo_payload(ARTICLE, "/a", site)
        assert (type(info.value), info.value.args) == (type(expected), expected.args)
    else:
        payload = build_seo_payload(ARTICLE, "/a", site)
        assert {key: payload[key] for key in expected} == expected


# Null JSON-LD items (NaN makes a whole override null) are left out of the payload.
NULL_JSONLD = [([None], None), (float("nan"), None), ({"a": [float("nan")]}, None),
               ([None, {"@type": "Thing"}, None], {"@type": "Thing"})]  # fmt: skip


@pytest.mark.parametrize(("jsonld", "kept"), NULL_JSONLD)
def test_null_jsonld_items_survive_a_hook_that_changes_nothing(jsonld, kept):
    overrides = SEOOverrides(schema_jsonld=jsonld)
    plain = build_seo_payload(ARTICLE, "/a", config(), overrides)
    hooked = build_seo_payload(ARTICLE, "/a", config(hooks=Hooks()), overrides)
    assert hooked == plain and hooked.etag() == plain.etag()
    assert plain.get("schema_jsonld") == kept and "null" not in plain.render_jsonld()


@pytest.mark.parametrize("where", ["has", "generate", "run"])
def test_exceptions_of_python_code_pass_through(where):
    error = LookupError("from Python")
    registry, hooks = Registry(GENERATED), Hooks()
    setattr(registry if where != "run" else hooks, where, mock.Mock(side_effect=error))
    with pytest.raises(LookupError) as info:
        build_seo_payload(ARTICLE, "/a", config(schema_registry=registry, hooks=hooks))
    assert info.value is error
    with pytest.raises(AttributeError):
        build_seo_payload(ARTICLE, "/a", config(hooks=object()))


def test_order_registry_then_hooks_then_warnings():
    hooks = Hooks(lambda payload: {**payload, "canonical": "/relative"})
    site = config(schema_registry=Registry(GENERATED), hooks=hooks, emit_warnings=True)
    with pytest.warns(UserWarning) as record:
        payload = build_seo_payload(ARTICLE, "/a", site)
    assert [args[1]["schema_jsonld"] for args in hooks.calls] == [GENERATED]
    assert payload.canonical == "/relative"
    assert [str(w.message) for w in record] == [
        "[ZORET105] Canonical URL is not absolute (/relative)",
        "[ZORET106] OG image URL is not absolute (/relative)",
    ]


@pytest.mark.parametrize("build", BUILDS)
def test_one_warning_per_finding(build):
    site = config(emit_warnings=True)
    with pytest.warns(UserWarning) as record:
        build(SEOEntity("page"), "/p", site, SEOOverrides())
    assert [str(w.message) for w in record] == [
        f"[ZORET101] Title is missing or default ({BASE}/p)",
        f"[ZORET103] Meta description is missing ({BASE}/p)",
        f"[ZORET108] OG image is missing; set default_og_image or an entity image ({BASE}/p)",
    ]
    assert {w.category for w in record} == {UserWarning}
    # The default stack level points the warning at the caller of the build.
    assert {w.filename for w in record} == {__file__}
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning, match=r"^\[ZORET101\] Title is missing or default \("):
            build(SEOEntity("page"), "/p", site, SEOOverrides())


def test_config_hooks_cannot_be_reassigned_during_a_build():
    errors = []

    def hook(payload):
        for name in ("hooks", "schema_registry"):
            try:
                setattr(site, name, None)
            except RuntimeError as error:
                errors.append(str(error))

    site = config(hooks=(hooks := Hooks(hook)))
    build_seo_payload(ARTICLE, "/a", site)
    assert errors == ["Already borrowed"] * 2 and site.hooks is hooks
    site.hooks = None
    assert site.hooks is None


_IMPORT_PROBE = """import sys
from zoret import SEOConfig, SEOEntity, SEOImage, build_seo_payload
site = SEOConfig("x.com", "https://x.com", emit_warnings=True, default_og_image=SEOImage("https://x/i.png"))
del sys.modules["warnings"]
build_seo_payload(SEOEntity("post", title="Hello", excerpt="Short."), "/a", site)
print("warnings" in sys.modules)
build_seo_payload(SEOEntity("page"), "/a", site)
print("warnings" in sys.modules)
"""


def test_clean_payload_does_not_import_warnings():
    # `warnings` is loaded at start: a child drops it and sees which build brings it back.
    env = {**os.environ, "PYTHONPATH": os.path.dirname(os.path.dirname(zoret.__file__))}
    child = subprocess.run(
        [sys.executable, "-W", "ignore", "-c", _IMPORT_PROBE],
        capture_output=True,
        text=True,
        check=True,
        env=env,
    )
    assert child.stdout.split() == ["False", "True"]
