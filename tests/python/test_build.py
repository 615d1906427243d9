"""The three build functions end to end: payloads, errors, arguments."""

import pytest

from payload_support import BASE, HOST, config
from zoret import (
    ConfigurationError,
    InvalidUrlError,
    SEOConfig,
    SEOEntity,
    SEOImage,
    SEOOverrides,
    build_seo_payload,
    build_seo_payload_dict,
    build_seo_payload_with_overrides,
)

SITE = {
    "site_name": "Example", "title_template": "{title} | Example", "publisher_name": "Example Inc",
    "publisher_logo": "/logo.png", "locale": "en_US", "twitter_site": "@example",
}  # fmt: skip
IMAGE = "https://cdn.example.com/hello.png"
POST = SEOEntity(
    "post", title="  Hello World  ", excerpt=" A short excerpt. ",
    body_html="<p>Ignored because the excerpt wins.</p>", status="Published",
    featured_image=SEOImage(IMAGE, width=1200, height=630, alt="Hello"),
    published_at="2024-01-02T03:04:05Z", author_name="Ada",
)  # fmt: skip


def test_the_three_functions_agree():
    # The builder's rules are the core suite's; here the arguments reach it and the
    # three functions return the same payload.
    site, route = config(**SITE), "/blog/hello/?utm_source=news"
    payload = build_seo_payload(POST, route, site)
    assert (payload.title, payload.canonical) == ("Hello World | Example", f"{BASE}/blog/hello")
    assert (payload["og"]["image_width"], payload["twitter"]["site"]) == (1200, "@example")
    assert payload.schema_jsonld["author"] == {"@type": "Person", "name": "Ada"}
    assert payload == build_seo_payload(entity=POST, route=route, config=site, overrides=None)
    assert payload == build_seo_payload_with_overrides(POST, route, site, SEOOverrides())
    data = build_seo_payload_dict(POST, route, site)
    assert type(data) is dict and data == payload.to_dict()
    assert list(data) == payload.keys() == sorted(data)


BUILDS = [build_seo_payload, build_seo_payload_dict, build_seo_payload_with_overrides]
BUILD_ERRORS = [
    (config(), SEOOverrides(canonical_url="ftp://example.com/a"), InvalidUrlError,
     "canonical_url override must use http or https"),
    (SEOConfig(HOST, "example.com"), None, ConfigurationError,
     "invalid public_base_url: relative URL without a base"),
]  # fmt: skip


@pytest.mark.parametrize("build", BUILDS)
@pytest.mark.parametrize(("site", "overrides", "exc", "message"), BUILD_ERRORS)
def test_build_errors(build, site, overrides, exc, message):
    with pytest.raises(exc) as info:
        build(SEOEntity("page"), "/", site, overrides or SEOOverrides())
    assert (type(info.value), info.value.args) == (exc, (message,))


ARGUMENT_ERRORS = [
    (lambda e, c: build_seo_payload(None, "/", c), "'None' is not an instance of 'SEOEntity'", "entity"),
    (lambda e, c: build_seo_payload_dict(e, b"/", c), "'bytes' object cannot be converted to 'str'", "route"),
    (lambda e, c: build_seo_payload(e, "/", c.to_dict()), "'dict' object is not an instance of 'SEOConfig'", "config"),
    (lambda e, c: build_seo_payload_with_overrides(e, "/", c, None),
     "'None' is not an instance of 'SEOOverrides'", "overrides"),
    (lambda e, c: build_seo_payload_with_overrides(e, "/", c),
     "build_seo_payload_with_overrides() missing 1 required positional argument: 'overrides'", None),
]  # fmt: skip


@pytest.mark.parametrize(("call", "message", "note"), ARGUMENT_ERRORS)
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call(SEOEntity("page"), config())
    assert str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (note and [f"while processing '{note}'"])
