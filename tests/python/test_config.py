import gc
import sys
import weakref

import pytest

from zoret import ConfigurationError, Robots, SEOConfig, SEOImage, URLPolicy

HOST = "www.example.com"
BASE = "https://www.example.com"

BUILT_IN_MAP = {
    "faq": "FAQPage",
    "home": "WebSite",
    "local_business": "LocalBusiness",
    "organization": "Organization",
    "page": "WebPage",
    "post": "Article",
    "product": "Product",
    "search": "SearchResultsPage",
    "taxonomy": "CollectionPage",
    "video": "VideoObject",
}


def test_minimal_config_to_dict():
    data = SEOConfig(HOST, public_base_url=BASE).to_dict()
    assert list(data) == [
        "auto_generate_schema",
        "canonical_host",
        "default_robots",
        "emit_warnings",
        "public_base_url",
        "schema_type_map",
        "search_robots",
        "title_template",
        "url_policy",
    ]
    assert data["title_template"] is None
    assert data["default_robots"] == {"follow": True, "index": True}
    assert data["search_robots"] == {"follow": True, "index": False}
    assert list(data["schema_type_map"].items()) == list(BUILT_IN_MAP.items())
    assert data["url_policy"] == {
        "allowed_query_params": [],
        "collapse_duplicate_slashes": True,
        "enforce_https": True,
        "extra_tracking_params": [],
        "lowercase_paths": False,
        "strip_tracking_params": True,
        "trailing_slash": "Never",
    }
    assert (data["auto_generate_schema"], data["emit_warnings"]) == (True, False)


def test_every_field_reaches_to_dict():
    config = SEOConfig(
        HOST,
        BASE,
        url_policy=URLPolicy(trailing_slash="preserve", allowed_query_params=["page", "page"]),
        default_robots=Robots(max_snippet=5),
        default_og_image=SEOImage("/og.png", height=630),
        site_name="Site",
        title_template="{title} | Site",
        search_robots=Robots(follow=False),
        auto_generate_schema=False,
        publisher_name="Pub",
        publisher_logo="/logo.png",
        locale="en_US",
        locale_alternate=("de_DE", "fr_FR"),
        twitter_site="@site",
        emit_warnings=True,
        search_url_template="/search?q={query}",
    )
    data = config.to_dict()
    assert list(data) == sorted(data)
    assert len(data) == 17
    assert data["url_policy"]["trailing_slash"] == "Preserve"
    assert data["url_policy"]["allowed_query_params"] == ["page", "page"]
    assert data["default_robots"] == {"follow": True, "index": True, "max_snippet": 5}
    assert data["search_robots"] == {"follow": False, "index": True}
    assert data["default_og_image"] == {"height": 630, "url": "/og.png"}
    assert data["locale_alternate"] == ["de_DE", "fr_FR"]
    assert (data["title_template"], data["auto_generate_schema"], data["emit_warnings"]) == (
        "{title} | Site",
        False,
        True,
    )


@pytest.mark.parametrize(
    ("pairs", "expected"),
    [
        ([("post", "BlogPosting")], {"post": "BlogPosting"}),
        ([("post", "A"), ("page", "B"), ("post", "C")], {"page": "B", "post": "C"}),
        ((("Custom Type", "Thing"),), {"Custom Type": "Thing"}),
        ([], {}),
        (None, BUILT_IN_MAP),
    ],
)
def test_schema_type_map_replaces_the_built_in_one(pairs, expected):
    assert SEOConfig(HOST, BASE, schema_type_map=pairs).to_dict()["schema_type_map"] == expected


@pytest.mark.parametrize(
    ("host", "base", "template", "message"),
    [
        ("", "", None, "canonical_host must be a non-empty string"),
        (
            "https://example.com",
            BASE,
            None,
            "canonical_host must be host-only (no scheme/path/query)",
        ),
        ("example.com/blog", BASE, None, "canonical_host must be host-only (no scheme/path/query)"),
        ("example.com?x", BASE, None, "canonical_host must be host-only (no scheme/path/query)"),
        ("example.com#x", BASE, None, "canonical_host must be host-only (no scheme/path/query)"),
        (HOST, "", None, "public_base_url must be a non-empty string"),
        (HOST, BASE, "", "title_template must include '{title}' placeholder"),
        (HOST, BASE, "{Title} | Site", "title_template must include '{title}' placeholder"),
    ],
)
def test_validation_messages(host, base, template, message):
    with pytest.raises(ConfigurationError) as info:
        SEOConfig(host, base, title_template=template)
    assert info.value.args == (message,)


@pytest.mark.parametrize(
    ("host", "base", "template"),
    [
        ("example.com:8443", BASE, None),
        ("WWW.Example.COM", BASE, None),
        (" ", BASE, None),
        (HOST, "not a url", None),
        (HOST, BASE, "Read: {title} today"),
    ],
)
def test_accepted_without_change(host, base, template):
    data = SEOConfig(host, base, title_template=template).to_dict()
    assert (data["canonical_host"], data["public_base_url"], data["title_template"]) == (
        host,
        base,
        template,
    )


def test_bad_trailing_slash_is_a_plain_value_error():
    with pytest.raises(ValueError) as info:
        SEOConfig(HOST, BASE, url_policy=URLPolicy(trailing_slash="Never"))
    assert type(info.value) is ValueError
    assert info.value.args == ("invalid trailing_slash: Never",)


def test_argument_types_come_before_policy_and_validation():
    with pytest.raises(TypeError) as info:
        SEOConfig("", BASE, url_policy=URLPolicy(trailing_slash="x"), emit_warnings=0)
    assert info.value.__notes__ == ["while processing 'emit_warnings'"]
    with pytest.raises(ValueError, match=r"^invalid trailing_slash: x$"):
        SEOConfig("", BASE, url_policy=URLPolicy(trailing_slash="x"))


@pytest.mark.parametrize(
    ("kwargs", "exc", "message", "note"),
    [
        (
            {"auto_generate_schema": 1},
            TypeError,
            "'int' object cannot be converted to 'bool'",
            "auto_generate_schema",
        ),
        (
            {"url_policy": Robots()},
            TypeError,
            "'Robots' object is not an instance of 'URLPolicy'",
            "url_policy",
        ),
        (
            {"locale_alternate": "de_DE"},
            TypeError,
            "Can't extract `str` to `Vec`",
            "locale_alternate",
        ),
        (
            {"schema_type_map": {"post": "Article"}},
            TypeError,
            "'dict' object cannot be converted to 'Sequence'",
            "schema_type_map",
        ),
        (
            {"schema_type_map": ["post"]},
            TypeError,
            "'str' object cannot be converted to 'tuple'",
            "schema_type_map",
        ),
        (
            {"schema_type_map": [("post",)]},
            TypeError,
            "expected tuple of length 2, but got tuple of length 1",
            "schema_type_map",
        ),
        (
            {"schema_type_map": [("post", None)]},
            TypeError,
            "'NoneType' object cannot be converted to 'str'",
            "schema_type_map",
        ),
        ({"site_name": "\ud800"}, UnicodeEncodeError, None, "site_name"),
    ],
)
def test_conversion_errors(kwargs, exc, message, note):
    with pytest.raises(exc) as info:
        SEOConfig(HOST, BASE, **kwargs)
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


def test_hooks_and_registry_are_held_by_reference():
    hooks, registry = object(), []
    config = SEOConfig(HOST, BASE, hooks=hooks, schema_registry=registry)
    assert config.hooks is hooks
    assert config.schema_registry is registry
    assert "hooks" not in config.to_dict()
    config.hooks = None
    assert config.hooks is None
    config.schema_registry = hooks
    assert config.schema_registry is hooks
    assert SEOConfig(HOST, BASE, hooks=None).hooks is None


def test_other_attributes_stay_read_only():
    config = SEOConfig(HOST, BASE)
    with pytest.raises(TypeError, match=r"^can't delete attribute$"):
        del config.hooks
    with pytest.raises(TypeError, match=r"^can't delete attribute$"):
        del config.schema_registry
    with pytest.raises(AttributeError):
        config.site_name = "x"


def test_reference_cycle_through_hooks_is_collected():
    class Hooks:
        pass

    hooks = Hooks()
    hooks.config = SEOConfig(HOST, BASE, hooks=hooks)
    hooks.config.schema_registry = hooks
    alive = weakref.ref(hooks)
    del hooks
    gc.collect()
    assert alive() is None


def test_refcounts_stay_flat():
    hooks = object()
    host = "a" * 30 + ".example"
    before = (sys.getrefcount(hooks), sys.getrefcount(host))
    for _ in range(1000):
        config = SEOConfig(host, BASE, hooks=hooks, schema_type_map=[(host, host)])
        config.schema_registry = hooks
        assert config.hooks is hooks
        config.hooks = None
        config.to_dict()
        try:
            SEOConfig(host, "", hooks=hooks)
        except ConfigurationError:
            pass
    del config
    assert (sys.getrefcount(hooks), sys.getrefcount(host)) == before
