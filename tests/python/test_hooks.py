"""The schema-registry, hook and warning steps that run after every build."""

import os
import subprocess
import sys
import warnings

import pytest

import zoret
from payload_support import BASE, MINIMAL, Hooks, Registry, config
from zoret import (
    Breadcrumb,
    SEOEntity,
    SEOImage,
    SEOOverrides,
    ZoretError,
    build_seo_payload,
    build_seo_payload_dict,
    build_seo_payload_with_overrides,
)

ARTICLE = SEOEntity("post", title="Hello", excerpt="Short.", featured_image=SEOImage("/i.png"))
GENERATED = {"@type": "BlogPosting", "headline": "generated"}


def test_registry_replaces_a_single_object_jsonld():
    registry = Registry(GENERATED)
    plain = build_seo_payload(ARTICLE, "/a", config())
    payload = build_seo_payload(ARTICLE, "/a", config(schema_registry=registry))
    assert registry.has_calls == [("Article",)]
    assert payload.schema_jsonld == GENERATED
    assert {**payload.to_dict(), "schema_jsonld": None} == {
        **plain.to_dict(),
        "schema_jsonld": None,
    }


@pytest.mark.parametrize(
    ("entity", "overrides"),
    [
        (SEOEntity("post", breadcrumbs=[Breadcrumb("Home", "/")]), None),
        (ARTICLE, SEOOverrides(omit_schema=True)),
        (ARTICLE, SEOOverrides(schema_jsonld={"name": "no type"})),
        (ARTICLE, SEOOverrides(schema_jsonld={"@type": ["Article"]})),
        (ARTICLE, SEOOverrides(schema_jsonld=[{"@type": "Article"}, {"@type": "Article"}])),
        (SEOEntity("other"), None),
    ],
)
def test_registry_not_consulted_without_a_single_typed_object(entity, overrides):
    registry = Registry(GENERATED)
    payload = build_seo_payload(entity, "/a", config(schema_registry=registry), overrides)
    assert registry.has_calls == []
    assert payload == build_seo_payload(entity, "/a", config(), overrides)


@pytest.mark.parametrize("registry", [Registry(GENERATED, registered=False), Registry(None)])
def test_unregistered_type_or_none_keeps_the_payload(registry):
    payload = build_seo_payload(ARTICLE, "/a", config(schema_registry=registry))
    assert payload == build_seo_payload(ARTICLE, "/a", config())
    assert len(registry.generate_calls) == (1 if registry.registered else 0)


@pytest.mark.parametrize(
    ("entity", "image"),
    [(ARTICLE, "/i.png"), (SEOEntity("post", title="Hello"), None)],
)
def test_generate_arguments(entity, image):
    hooks, registry = Hooks(), Registry(GENERATED)
    site = config(hooks=hooks, schema_registry=registry, title_template="{title} | Site")
    build_seo_payload(entity, "/a?utm_source=x", site)
    (args,) = registry.generate_calls
    schema_type, entity_copy, config_copy, *texts = args
    assert schema_type == "Article"
    assert texts == [f"{BASE}/a", "Hello | Site", "Short." if image else "", image]
    assert type(entity_copy).__name__ == "SEOEntity" and entity_copy is not entity
    assert entity_copy.to_dict() == entity.to_dict()
    assert type(config_copy).__name__ == "SEOConfig" and config_copy is not site
    assert config_copy.to_dict() == site.to_dict()
    assert config_copy.hooks is hooks and config_copy.schema_registry is registry


@pytest.mark.parametrize("answer", [1, None, "yes"])
def test_has_must_return_a_bool(answer):
    with pytest.raises(TypeError):
        build_seo_payload(
            ARTICLE, "/a", config(schema_registry=Registry(GENERATED, registered=answer))
        )


def test_hook_arguments():
    hooks, registry = Hooks(), Registry()
    site = config(hooks=hooks, schema_registry=registry)
    payload = build_seo_payload(ARTICLE, "/a", site)
    (args,) = hooks.calls
    stage, data, entity_copy, config_copy = args
    assert stage == "post_process"
    assert type(data) is dict and data == payload.to_dict()
    assert list(data["og"]) == sorted(data["og"])
    assert entity_copy.to_dict() == ARTICLE.to_dict() and entity_copy is not ARTICLE
    assert (
        config_copy is not site
        and config_copy.hooks is hooks
        and config_copy.schema_registry is registry
    )


class _OrderedDict(dict):
    pass


@pytest.mark.parametrize(
    ("hook", "title", "extra"),
    [
        (lambda p: p.update(title="In place"), "In place", {}),
        (lambda p: {**p, "title": "Returned"}, "Returned", {}),
        (lambda p: _OrderedDict(p, title="Subclass"), "Subclass", {}),
        (lambda p: {**MINIMAL, "custom": {"b": 1, "a": 2}}, "T", {"custom": {"a": 2, "b": 1}}),
    ],
)
def test_hook_results(hook, title, extra):
    payload = build_seo_payload(ARTICLE, "/a", config(hooks=Hooks(hook)))
    assert payload.title == title
    assert {k: payload[k] for k in extra} == extra


@pytest.mark.parametrize(
    ("hook", "exc", "message"),
    [
        (lambda p: [p], TypeError, "post_process hooks must return a dict"),
        (lambda p: tuple(p.items()), TypeError, "post_process hooks must return a dict"),
        (
            lambda p: {k: v for k, v in p.items() if k != "robots"},
            ZoretError,
            "missing field `robots`",
        ),
        (lambda p: {}, ZoretError, "missing field `title`"),
        (lambda p: {**p, "title": 1}, ZoretError, "invalid type: integer `1`, expected a string"),
        (lambda p: {**p, "og": {}}, ZoretError, "missing field `type`"),
        (
            lambda p: {**p, "og": "x"},
            ZoretError,
            'invalid type: string "x", expected struct OGPayload',
        ),
        (
            lambda p: {**p, "og": {"type": "t", "image_width": 2**32}},
            ZoretError,
            "invalid value: integer `4294967296`, expected u32",
        ),
        (
            lambda p: {**MINIMAL, "schema_jsonld": float("nan")},
            ValueError,
            "expected value at line 1 column 144",
        ),
        (lambda p: {**p, "x": {1, 2}}, TypeError, "Object of type set is not JSON serializable"),
    ],
)
def test_hook_result_errors(hook, exc, message):
    with pytest.raises(exc) as info:
        build_seo_payload(ARTICLE, "/a", config(hooks=Hooks(hook)))
    assert type(info.value) is exc
    assert info.value.args == (message,)


class _Fails:
    def __init__(self, error):
        self.error = error

    def __call__(self, *args):
        raise self.error


@pytest.mark.parametrize("where", ["has", "generate", "run"])
def test_exceptions_of_python_code_pass_through(where):
    error = LookupError("from Python")
    registry, hooks = Registry(GENERATED), Hooks()
    setattr(registry if where != "run" else hooks, where, _Fails(error))
    with pytest.raises(LookupError) as info:
        build_seo_payload(ARTICLE, "/a", config(schema_registry=registry, hooks=hooks))
    assert info.value is error


def test_hooks_without_run():
    with pytest.raises(AttributeError):
        build_seo_payload(ARTICLE, "/a", config(hooks=object()))


def test_order_registry_then_hooks_then_warnings():
    seen = []

    def hook(payload):
        seen.append(payload["schema_jsonld"])
        return {**payload, "canonical": "/relative"}

    site = config(schema_registry=Registry(GENERATED), hooks=Hooks(hook), emit_warnings=True)
    with pytest.warns(UserWarning) as record:
        payload = build_seo_payload(ARTICLE, "/a", site)
    assert seen == [GENERATED]
    assert payload.canonical == "/relative"
    assert [str(w.message) for w in record] == [
        "[ZORET105] Canonical URL is not absolute (/relative)",
        "[ZORET106] OG image URL is not absolute (/relative)",
    ]


@pytest.mark.parametrize(
    "build", [build_seo_payload, build_seo_payload_dict, build_seo_payload_with_overrides]
)
def test_one_warning_per_finding(build):
    site = config(emit_warnings=True)
    with pytest.warns(UserWarning) as record:
        build(SEOEntity("page"), "/p", site, SEOOverrides())
    url = f"{BASE}/p"
    assert [str(w.message) for w in record] == [
        f"[ZORET101] Title is missing or default ({url})",
        f"[ZORET103] Meta description is missing ({url})",
        f"[ZORET108] OG image is missing; set default_og_image or an entity image ({url})",
    ]
    assert {w.category for w in record} == {UserWarning}
    # The default stack level points the warning at the caller of the build.
    assert {w.filename for w in record} == {__file__}


_IMPORT_PROBE = """
import sys
from zoret import SEOConfig, SEOEntity, SEOImage, build_seo_payload
site = SEOConfig("x.com", "https://x.com", emit_warnings=True, default_og_image=SEOImage("https://x/i.png"))
del sys.modules["warnings"]
build_seo_payload(SEOEntity("post", title="Hello", excerpt="Short."), "/a", site)
print("warnings" in sys.modules)
build_seo_payload(SEOEntity("page"), "/a", site)
print("warnings" in sys.modules)
"""


def test_clean_payload_does_not_import_warnings():
    # `warnings` is loaded at interpreter start, so the probe drops it from
    # sys.modules in a child process and watches whether a build brings it back;
    # the second, dirty build shows that the probe would notice.
    package_root = os.path.dirname(os.path.dirname(zoret.__file__))
    env = {**os.environ, "PYTHONPATH": package_root}
    child = subprocess.run(
        [sys.executable, "-W", "ignore", "-c", _IMPORT_PROBE],
        capture_output=True,
        text=True,
        check=True,
        env=env,
    )
    assert child.stdout.split() == ["False", "True"]


def test_warnings_as_errors_raise_the_first_finding():
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(UserWarning, match=r"^\[ZORET101\] Title is missing or default \("):
            build_seo_payload(SEOEntity("page"), "/p", config(emit_warnings=True))


def test_config_hooks_cannot_be_reassigned_during_a_build():
    errors = []

    def hook(payload):
        for name in ("hooks", "schema_registry"):
            try:
                setattr(site, name, None)
            except RuntimeError as error:
                errors.append(str(error))

    hooks = Hooks(hook)
    site = config(hooks=hooks)
    build_seo_payload(ARTICLE, "/a", site)
    assert errors == ["Already borrowed", "Already borrowed"]
    assert site.hooks is hooks
    site.hooks = None
    assert site.hooks is None
