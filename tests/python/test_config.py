import gc
import json
import weakref

import pytest

from zoret import ConfigurationError, Robots, SEOConfig, SEOImage, URLPolicy

HOST = "www.example.com"
BASE = "https://www.example.com"
DEFAULT_POLICY = {"allowed_query_params": [], "collapse_duplicate_slashes": True, "enforce_https": True,
                  "extra_tracking_params": [], "lowercase_paths": False, "strip_tracking_params": True,
                  "trailing_slash": "Never"}  # fmt: skip


def test_every_field_reaches_to_dict():
    data = SEOConfig(
        HOST, BASE, site_name="Site", title_template="{title} | Site", auto_generate_schema=False,
        url_policy=URLPolicy(trailing_slash="preserve", allowed_query_params=["page", "page"]),
        default_robots=Robots(max_snippet=5), search_robots=Robots(follow=False),
        default_og_image=SEOImage("/og.png", height=630), publisher_name="Pub", schema_type_map=[],
        publisher_logo="/logo.png", locale="en_US", locale_alternate=("de_DE", "fr_FR"),
        twitter_site="@site", emit_warnings=True, search_url_template="/search?q={query}",
    ).to_dict()  # fmt: skip
    assert json.dumps(data) == json.dumps(data, sort_keys=True)  # sorted at every level
    assert data == {
        "auto_generate_schema": False, "canonical_host": HOST, "default_og_image": {"height": 630, "url": "/og.png"},
        "default_robots": {"follow": True, "index": True, "max_snippet": 5}, "emit_warnings": True,
        "locale": "en_US", "locale_alternate": ["de_DE", "fr_FR"], "public_base_url": BASE,
        "publisher_logo": "/logo.png", "publisher_name": "Pub", "schema_type_map": {},
        "search_robots": {"follow": False, "index": True}, "search_url_template": "/search?q={query}",
        "site_name": "Site", "title_template": "{title} | Site", "twitter_site": "@site",
        "url_policy": DEFAULT_POLICY | {"allowed_query_params": ["page", "page"], "trailing_slash": "Preserve"},
    }  # fmt: skip


def test_schema_type_map_replaces_the_built_in_one_and_the_last_pair_wins():
    pairs = [("post", "A"), ("page", "B"), ("post", "C")]
    data = SEOConfig(HOST, BASE, schema_type_map=pairs).to_dict()
    assert data["schema_type_map"] == {"page": "B", "post": "C"}


@pytest.mark.parametrize(("host", "kwargs", "exc", "message"), [
    (HOST, {"title_template": "{Title}"}, ConfigurationError, "title_template must include '{title}' placeholder"),
    ("", {"url_policy": URLPolicy(trailing_slash="Never")}, ValueError, "invalid trailing_slash: Never"),
])  # fmt: skip
def test_policy_and_validation_errors(host, kwargs, exc, message):
    with pytest.raises(ValueError) as info:
        SEOConfig(host, BASE, **kwargs)
    assert (type(info.value), info.value.args) == (exc, (message,))


# With an empty canonical_host: argument types are checked before the policy and validation.
@pytest.mark.parametrize(("kwargs", "exc", "message"), [
    ({"url_policy": URLPolicy(trailing_slash="x"), "emit_warnings": 0}, TypeError,
     "'int' object cannot be converted to 'bool'"),
    ({"schema_type_map": {"post": "Article"}}, TypeError, "'dict' object cannot be converted to 'Sequence'"),
    ({"schema_type_map": [("post", None)]}, TypeError, "'NoneType' object cannot be converted to 'str'"),
])  # fmt: skip
def test_conversion_errors(kwargs, exc, message):
    with pytest.raises(exc) as info:
        SEOConfig("", BASE, **kwargs)
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{list(kwargs)[-1]}'"]


def test_hooks_and_registry_are_held_by_reference_and_the_rest_is_read_only():
    hooks, registry = object(), []
    config = SEOConfig(HOST, BASE, hooks=hooks, schema_registry=registry)
    assert config.hooks is hooks and config.schema_registry is registry
    assert "hooks" not in config.to_dict()
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
