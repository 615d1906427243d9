import contextlib
import gc
import sys
import weakref

import pytest

from zoret import ConfigurationError, Robots, SEOConfig, SEOImage, URLPolicy

HOST = "www.example.com"
BASE = "https://www.example.com"
BUILT_IN_MAP = {"faq": "FAQPage", "home": "WebSite", "local_business": "LocalBusiness",
                "organization": "Organization", "page": "WebPage", "post": "Article", "product": "Product",
                "search": "SearchResultsPage", "taxonomy": "CollectionPage", "video": "VideoObject"}  # fmt: skip
DEFAULT_POLICY = {"allowed_query_params": [], "collapse_duplicate_slashes": True, "enforce_https": True,
                  "extra_tracking_params": [], "lowercase_paths": False, "strip_tracking_params": True,
                  "trailing_slash": "Never"}  # fmt: skip


def test_minimal_config_to_dict():
    data = SEOConfig(HOST, public_base_url=BASE).to_dict()
    assert list(data.items()) == [
        ("auto_generate_schema", True), ("canonical_host", HOST),
        ("default_robots", {"follow": True, "index": True}), ("emit_warnings", False),
        ("public_base_url", BASE), ("schema_type_map", BUILT_IN_MAP),
        ("search_robots", {"follow": True, "index": False}), ("title_template", None),
        ("url_policy", DEFAULT_POLICY)]  # fmt: skip
    assert list(data["schema_type_map"]) == list(BUILT_IN_MAP)


def test_every_field_reaches_to_dict():
    data = SEOConfig(
        HOST, BASE, site_name="Site", title_template="{title} | Site", auto_generate_schema=False,
        url_policy=URLPolicy(trailing_slash="preserve", allowed_query_params=["page", "page"]),
        default_robots=Robots(max_snippet=5), search_robots=Robots(follow=False),
        default_og_image=SEOImage("/og.png", height=630), publisher_name="Pub", schema_type_map=[],
        publisher_logo="/logo.png", locale="en_US", locale_alternate=("de_DE", "fr_FR"),
        twitter_site="@site", emit_warnings=True, search_url_template="/search?q={query}",
    ).to_dict()  # fmt: skip
    assert list(data) == sorted(data)
    assert data == {
        "auto_generate_schema": False, "canonical_host": HOST, "default_og_image": {"height": 630, "url": "/og.png"},
        "default_robots": {"follow": True, "index": True, "max_snippet": 5}, "emit_warnings": True,
        "locale": "en_US", "locale_alternate": ["de_DE", "fr_FR"], "public_base_url": BASE,
        "publisher_logo": "/logo.png", "publisher_name": "Pub", "schema_type_map": {},
        "search_robots": {"follow": False, "index": True}, "search_url_template": "/search?q={query}",
        "site_name": "Site", "title_template": "{title} | Site", "twitter_site": "@site",
        "url_policy": DEFAULT_POLICY | {"allowed_query_params": ["page", "page"], "trailing_slash": "Preserve"},
    }  # fmt: skip


@pytest.mark.parametrize(("pairs", "expected"), [
    ([("post", "A"), ("page", "B"), ("post", "C")], {"page": "B", "post": "C"}),
    ((("Custom Type", "Thing"),), {"Custom Type": "Thing"}),
    ([], {}), (None, BUILT_IN_MAP),
])  # fmt: skip
def test_schema_type_map_replaces_the_built_in_one(pairs, expected):
    assert SEOConfig(HOST, BASE, schema_type_map=pairs).to_dict()["schema_type_map"] == expected


@pytest.mark.parametrize(("host", "kwargs", "exc", "message"), [
    ("", {}, ConfigurationError, "canonical_host must be a non-empty string"),
    (HOST, {"title_template": "{Title}"}, ConfigurationError, "title_template must include '{title}' placeholder"),
    ("", {"url_policy": URLPolicy(trailing_slash="Never")}, ValueError, "invalid trailing_slash: Never"),
])  # fmt: skip
def test_policy_and_validation_errors(host, kwargs, exc, message):
    with pytest.raises(ValueError) as info:
        SEOConfig(host, BASE, **kwargs)
    assert (type(info.value), info.value.args) == (exc, (message,))


# With an empty canonical_host: argument types are checked before the policy and validation.
@pytest.mark.parametrize(("kwargs", "exc", "message"), [
    ({"auto_generate_schema": 1}, TypeError, "'int' object cannot be converted to 'bool'"),
    ({"url_policy": URLPolicy(trailing_slash="x"), "emit_warnings": 0}, TypeError,
     "'int' object cannot be converted to 'bool'"),
    ({"url_policy": Robots()}, TypeError, "'Robots' object is not an instance of 'URLPolicy'"),
    ({"locale_alternate": "de_DE"}, TypeError, "Can't extract `str` to `Vec`"),
    ({"schema_type_map": {"post": "Article"}}, TypeError, "'dict' object cannot be converted to 'Sequence'"),
    ({"schema_type_map": ["post"]}, TypeError, "'str' object cannot be converted to 'tuple'"),
    ({"schema_type_map": [("post",)]}, TypeError, "expected tuple of length 2, but got tuple of length 1"),
    ({"schema_type_map": [("post", None)]}, TypeError, "'NoneType' object cannot be converted to 'str'"),
    ({"site_name": "\ud800"}, UnicodeEncodeError, None),
])  # fmt: skip
def test_conversion_errors(kwargs, exc, message):
    with pytest.raises(exc) as info:
        SEOConfig("", BASE, **kwargs)
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{list(kwargs)[-1]}'"]


def test_hooks_and_registry_are_held_by_reference_and_the_rest_is_read_only():
    hooks, registry = object(), []
    config = SEOConfig(HOST, BASE, hooks=hooks, schema_registry=registry)
    assert config.hooks is hooks and config.schema_registry is registry
    assert "hooks" not in config.to_dict()
    assert SEOConfig(HOST, BASE, hooks=None).hooks is None
    config.hooks, config.schema_registry = None, hooks
    assert config.hooks is None and config.schema_registry is hooks
    for name in ("hooks", "schema_registry"):
        with pytest.raises(TypeError, match=r"^can't delete attribute$"):
            delattr(config, name)
    with pytest.raises(AttributeError):
        config.site_name = "x"


def test_reference_cycle_through_hooks_is_collected():
    hooks = type("Hooks", (), {})()
    hooks.config = SEOConfig(HOST, BASE, hooks=hooks)
    hooks.config.schema_registry = hooks
    alive = weakref.ref(hooks)
    del hooks
    gc.collect()
    assert alive() is None


def test_refcounts_stay_flat():
    hooks, host = object(), "a" * 30 + ".example"
    before = (sys.getrefcount(hooks), sys.getrefcount(host))
    for _ in range(1000):
        config = SEOConfig(host, BASE, hooks=hooks, schema_type_map=[(host, host)])
        config.schema_registry = hooks
        assert config.hooks is hooks
        config.hooks = None
        config.to_dict()
        with contextlib.suppress(ConfigurationError):
            SEOConfig(host, "", hooks=hooks)
    del config
    assert (sys.getrefcount(hooks), sys.getrefcount(host)) == before
