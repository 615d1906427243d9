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
URL, TITLE, TEXT = f"{BASE}/blog/hello", "Hello World | Example", "A short excerpt."
POST_PAYLOAD = {
    "canonical": URL, "description": TEXT,
    "og": {
        "description": TEXT, "image": IMAGE, "image_alt": "Hello", "image_height": 630,
        "image_width": 1200, "locale": "en_US", "site_name": "Example", "title": TITLE,
        "type": "article", "url": URL,
    },
    "robots": "index,follow",
    "schema_jsonld": {
        "@context": "https://schema.org", "@type": "Article",
        "author": {"@type": "Person", "name": "Ada"}, "datePublished": "2024-01-02T03:04:05Z",
        "description": TEXT, "image": IMAGE, "mainEntityOfPage": {"@id": URL}, "name": TITLE,
        "publisher": {"@type": "Organization", "logo": f"{BASE}/logo.png", "name": "Example Inc"},
        "url": URL,
    },
    "title": TITLE,
    "twitter": {"card": "summary_large_image", "description": TEXT, "image": IMAGE,
                "image_alt": "Hello", "site": "@example", "title": TITLE},
}  # fmt: skip


def test_complete_payload_and_the_three_functions_agree():
    site, route = config(**SITE), "/blog/hello/?utm_source=news"
    payload = build_seo_payload(POST, route, site)
    assert {key: payload[key] for key in payload} == POST_PAYLOAD
    assert (payload.title, payload.canonical) == (TITLE, URL)
    assert payload == build_seo_payload(entity=POST, route=route, config=site, overrides=None)
    assert payload == build_seo_payload_with_overrides(POST, route, site, SEOOverrides())
    data = build_seo_payload_dict(POST, route, site)
    assert type(data) is dict and data == payload.to_dict() == POST_PAYLOAD
    assert list(data) == payload.keys() == list(POST_PAYLOAD)


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
    (lambda e, c: build_seo_payload(e, "/", c, None, None),
     "build_seo_payload() takes from 3 to 4 positional arguments but 5 were given", None),
    (lambda e, c: build_seo_payload(e, "/", c, override=None),
     "build_seo_payload() got an unexpected keyword argument 'override'", None),
]  # fmt: skip


@pytest.mark.parametrize(("call", "message", "note"), ARGUMENT_ERRORS)
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call(SEOEntity("page"), config())
    assert str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (note and [f"while processing '{note}'"])
