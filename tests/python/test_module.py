"""What the module registers, in which order, and how it documents itself."""

import inspect

import pytest

import zoret
from zoret import _zoret_native as native

CLASSES = [
    "Breadcrumb", "FAQItem", "OGPayload", "Robots", "SEOAuthor", "SEOConfig", "SEOContract",
    "SEOContractConfig", "SEOContractRule", "SEOEntity", "SEOExpectation", "SEOImage",
    "SEOIssue", "SEOOverrides", "SEOPayload", "SchemaRegistry", "TwitterPayload", "URLPolicy",
]  # fmt: skip
FUNCTIONS = [
    "build_seo_contract", "build_seo_payload", "build_seo_payload_dict",
    "build_seo_payload_with_overrides", "clean_query_fn", "clean_url_fn", "normalize_path_fn",
    "normalize_public_url_fn", "validate_payload",
]  # fmt: skip
EXCEPTIONS = [
    "ZoretError", "InvalidUrlError", "ConfigurationError", "EntityError", "SchemaError",
    "ContractError",
]  # fmt: skip

OPTIONAL = "=None"
ENTITY_FIELDS = [
    "slug", "title", "excerpt", "body_html", "status", "featured_image", "published_at",
    "updated_at", "author_name", "breadcrumbs", "sku", "price", "price_currency", "availability",
    "same_as", "address", "faq_items",
]  # fmt: skip
EXPECTATION_FIELDS = [
    "required", "forbidden", "equals", "not_equals", "contains", "matches", "one_of",
    "min_length", "max_length", "min_items", "max_items", "indexable", "canonical",
    "schema_required", "schema_types", "og_required", "twitter_required", "sitemap_required",
    "hreflang_required", "title", "description",
]  # fmt: skip

# name -> (summary, signature); a signature of None marks a class without a constructor.
DOCUMENTED = {
    "Breadcrumb": ("A single entry in a breadcrumb trail.", "(name, url)"),
    "FAQItem": ("A single question and answer pair for FAQ schemas.", "(question, answer)"),
    "OGPayload": ("Open Graph metadata for a payload. Read-only.", None),
    "Robots": (
        "Robots directives for a page.",
        "(*, index=True, follow=True, max_snippet=None, max_image_preview=None, "
        "max_video_preview=None)",
    ),
    "SEOAuthor": ("An author reference used in article schemas.", "(name, *, url=None)"),
    "SEOConfig": (
        "Site-wide configuration for payload generation.",
        "(canonical_host, public_base_url, *, url_policy=None, default_robots=None, "
        "default_og_image=None, site_name=None, title_template=None, search_robots=None, "
        "auto_generate_schema=True, publisher_name=None, publisher_logo=None, locale=None, "
        "locale_alternate=None, twitter_site=None, emit_warnings=False, schema_type_map=None, "
        "search_url_template=None, hooks=None, schema_registry=None)",
    ),
    "SEOContract": ("A generated, machine-readable SEO contract.", None),
    "SEOContractConfig": (
        "Input configuration for building a contract.",
        "(canonical_host, *, scheme='https', defaults=None, rules=None, exceptions=None)",
    ),
    "SEOContractRule": (
        "A contract rule matched against route paths.",
        "(match, expect, *, severity=None)",
    ),
    "SEOEntity": (
        "A content entity to generate SEO metadata for.",
        "(entity_type, *, " + ", ".join(f + OPTIONAL for f in ENTITY_FIELDS) + ")",
    ),
    "SEOExpectation": (
        "Expectations applied to a page, a rule match, or contract defaults.",
        "(*, " + ", ".join(f + OPTIONAL for f in EXPECTATION_FIELDS) + ")",
    ),
    "SEOImage": (
        "An image reference used for Open Graph, Twitter Cards, and schemas.",
        "(url, *, width=None, height=None, alt=None)",
    ),
    "SEOIssue": ("A single validation finding.", None),
    "SEOOverrides": (
        "Per-call overrides that take precedence over the entity and config.",
        "(*, meta_title=None, meta_description=None, canonical_url=None, canonical_path=None, "
        "robots=None, og_title=None, og_description=None, og_image=None, twitter_card=None, "
        "twitter_title=None, twitter_description=None, twitter_image=None, schema_jsonld=None, "
        "omit_schema=False, skip_title_template=False, twitter_creator=None, og_audio=None, "
        "og_video=None)",
    ),
    "SEOPayload": ("The resolved, deterministic SEO payload.", None),
    "SchemaRegistry": ("A native introspection handle for the core's schema registry.", "()"),
    "TwitterPayload": ("Twitter Card metadata for a payload. Read-only.", None),
    "URLPolicy": (
        "Controls how canonical URLs are normalized.",
        "(*, enforce_https=True, lowercase_paths=False, trailing_slash='never', "
        "collapse_duplicate_slashes=True, strip_tracking_params=True, "
        "allowed_query_params=None, extra_tracking_params=None)",
    ),
    "build_seo_contract": ("Builds a machine-readable SEO contract.", "(config)"),
    "build_seo_payload": (
        "Builds a deterministic SEO payload for an entity at a route.",
        "(entity, route, config, overrides=None)",
    ),
    "build_seo_payload_dict": (
        "Builds a payload and returns it as a plain dictionary.",
        "(entity, route, config, overrides=None)",
    ),
    "build_seo_payload_with_overrides": (
        "Builds a deterministic SEO payload with explicit overrides.",
        "(entity, route, config, overrides)",
    ),
    "clean_query_fn": ("Removes tracking parameters from a query string.", "(query)"),
    "clean_url_fn": ("Removes tracking parameters from a URL.", "(url)"),
    "normalize_path_fn": ("Normalizes a route path according to the URL policy.", "(path, policy)"),
    "normalize_public_url_fn": (
        "Resolves a path or URL against the configured public base URL.",
        "(url, config)",
    ),
    "validate_payload": ("Runs the built-in validation checks against a payload.", "(payload)"),
}


def test_registration_order():
    names = list(vars(native))
    dunders = [name for name in names if name.startswith("__")]
    assert names[: len(dunders)] == dunders
    assert names[len(dunders) :] == CLASSES + FUNCTIONS + EXCEPTIONS


def test_module_docstring_is_one_sentence():
    doc = native.__doc__
    assert doc == "Python bindings of the zoret core library."
    assert "\n" not in doc and doc.count(". ") == 0 and doc.endswith(".")


def test_every_class_and_function_is_documented():
    assert list(DOCUMENTED) == CLASSES + FUNCTIONS


@pytest.mark.parametrize(("name", "summary", "signature"), [(n, *v) for n, v in DOCUMENTED.items()])
def test_summary_and_signature(name, summary, signature):
    obj = getattr(native, name)
    assert obj.__doc__.splitlines()[0] == summary
    if signature is None:
        with pytest.raises(TypeError, match=rf"^cannot create '[\w.]+\.{name}' instances$"):
            obj()
    else:
        assert str(inspect.signature(obj)) == signature


@pytest.mark.parametrize("name", CLASSES)
def test_every_method_carries_a_text_signature(name):
    for attr, member in vars(getattr(native, name)).items():
        if attr.startswith("_") or not callable(member):
            continue
        signature = str(inspect.signature(getattr(getattr(native, name), attr)))
        assert signature.startswith("(self"), f"{name}.{attr}{signature}"
        assert member.__doc__.split("\n", 1)[0].strip(), f"{name}.{attr} has no summary"


def test_exception_classes_are_value_errors_without_docstrings():
    for name in EXCEPTIONS:
        cls = getattr(native, name)
        assert issubclass(cls, native.ZoretError) and issubclass(cls, ValueError)
        assert cls.__doc__ is None


def test_package_reexports_the_module():
    native_names = CLASSES + FUNCTIONS + EXCEPTIONS
    assert zoret.__all__ == [*native_names, "hooks", "registry", "__version__"]
    for name in native_names:
        assert getattr(zoret, name) is getattr(native, name)
    assert zoret.__version__ == "0.2.0"
    # The native class introspects the core; Python generators live in zoret.registry.
    assert zoret.SchemaRegistry is native.SchemaRegistry
    assert zoret.registry.SchemaRegistry is not native.SchemaRegistry
    assert zoret.hooks.HookRegistry.__module__ == "zoret.hooks"


def test_star_import_gives_exactly_the_public_names():
    namespace: dict[str, object] = {}
    exec("from zoret import *", namespace)
    assert sorted(set(namespace) - {"__builtins__"}) == sorted(zoret.__all__)
