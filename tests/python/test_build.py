"""The three build functions end to end: payloads, errors, arguments, inputs, memory."""

import gc
import sys
import time
import tracemalloc

import pytest

from payload_support import BASE, HOST, Hooks, Registry, config
from zoret import (
    Breadcrumb,
    ConfigurationError,
    FAQItem,
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
    "site_name": "Example",
    "title_template": "{title} | Example",
    "publisher_name": "Example Inc",
    "publisher_logo": "/logo.png",
    "locale": "en_US",
    "twitter_site": "@example",
}
PUBLISHER = {"@type": "Organization", "logo": f"{BASE}/logo.png", "name": "Example Inc"}

POST = SEOEntity(
    "post",
    title="  Hello World  ",
    excerpt=" A short excerpt. ",
    body_html="<p>Ignored because the excerpt wins.</p>",
    status="Published",
    featured_image=SEOImage(
        "https://cdn.example.com/hello.png", width=1200, height=630, alt="Hello"
    ),
    published_at="2024-01-02T03:04:05Z",
    author_name="Ada",
    breadcrumbs=[
        Breadcrumb("Home", "/"),
        Breadcrumb("Blog", "/blog/"),
        Breadcrumb("Hello", "/blog/hello"),
    ],
)
POST_URL = f"{BASE}/blog/hello"
POST_PAYLOAD = {
    "canonical": POST_URL,
    "description": "A short excerpt.",
    "og": {
        "description": "A short excerpt.",
        "image": "https://cdn.example.com/hello.png",
        "image_alt": "Hello",
        "image_height": 630,
        "image_width": 1200,
        "locale": "en_US",
        "site_name": "Example",
        "title": "Hello World | Example",
        "type": "article",
        "url": POST_URL,
    },
    "robots": "index,follow",
    "schema_jsonld": [
        {
            "@context": "https://schema.org",
            "@type": "Article",
            "author": {"@type": "Person", "name": "Ada"},
            "datePublished": "2024-01-02T03:04:05Z",
            "description": "A short excerpt.",
            "image": "https://cdn.example.com/hello.png",
            "mainEntityOfPage": {"@id": POST_URL},
            "name": "Hello World | Example",
            "publisher": PUBLISHER,
            "url": POST_URL,
        },
        {
            "@context": "https://schema.org",
            "@type": "BreadcrumbList",
            "itemListElement": [
                {"@type": "ListItem", "item": f"{BASE}/", "name": "Home", "position": 1},
                {"@type": "ListItem", "item": f"{BASE}/blog", "name": "Blog", "position": 2},
                {"@type": "ListItem", "item": POST_URL, "name": "Hello", "position": 3},
            ],
        },
    ],
    "title": "Hello World | Example",
    "twitter": {
        "card": "summary_large_image",
        "description": "A short excerpt.",
        "image": "https://cdn.example.com/hello.png",
        "image_alt": "Hello",
        "site": "@example",
        "title": "Hello World | Example",
    },
}

PRODUCT = SEOEntity(
    "product",
    title="Widget",
    body_html="<p>A <b>sturdy</b> widget.</p>",
    sku="W-1",
    price="19.90",
    price_currency="EUR",
    availability="InStock",
    featured_image=SEOImage("/img/w.png"),
)
PRODUCT_URL = f"{BASE}/shop/widget"
PRODUCT_PAYLOAD = {
    "canonical": PRODUCT_URL,
    "description": "A sturdy widget.",
    "og": {
        "description": "A sturdy widget.",
        "image": "/img/w.png",
        "locale": "en_US",
        "site_name": "Example",
        "title": "Widget | Example",
        "type": "website",
        "url": PRODUCT_URL,
    },
    "robots": "index,follow",
    "schema_jsonld": {
        "@context": "https://schema.org",
        "@type": "Product",
        "description": "A sturdy widget.",
        "image": f"{BASE}/img/w.png",
        "name": "Widget | Example",
        "offers": {
            "@type": "Offer",
            "availability": "https://schema.org/InStock",
            "price": "19.90",
            "priceCurrency": "EUR",
        },
        "publisher": PUBLISHER,
        "sku": "W-1",
        "url": PRODUCT_URL,
    },
    "title": "Widget | Example",
    "twitter": {
        "card": "summary_large_image",
        "description": "A sturdy widget.",
        "image": "/img/w.png",
        "site": "@example",
        "title": "Widget | Example",
    },
}

FAQ = SEOEntity(
    "faq",
    title="FAQ",
    status="draft",
    faq_items=[FAQItem("Q1?", "A1."), FAQItem("Q2?", "<b>A2</b>")],
)
FAQ_URL = f"{BASE}/faq"
FAQ_PAYLOAD = {
    "canonical": FAQ_URL,
    "description": "",
    "og": {
        "locale": "en_US",
        "site_name": "Example",
        "title": "FAQ | Example",
        "type": "website",
        "url": FAQ_URL,
    },
    "robots": "noindex,follow",
    "schema_jsonld": {
        "@context": "https://schema.org",
        "@type": "FAQPage",
        "description": "",
        "mainEntity": [
            {
                "@type": "Question",
                "acceptedAnswer": {"@type": "Answer", "text": "A1."},
                "name": "Q1?",
            },
            {
                "@type": "Question",
                "acceptedAnswer": {"@type": "Answer", "text": "<b>A2</b>"},
                "name": "Q2?",
            },
        ],
        "name": "FAQ | Example",
        "publisher": PUBLISHER,
        "url": FAQ_URL,
    },
    "title": "FAQ | Example",
    "twitter": {"card": "summary_large_image", "site": "@example", "title": "FAQ | Example"},
}

PAGES = [
    (POST, "/blog/hello/?utm_source=news", POST_PAYLOAD),
    (PRODUCT, "/shop/widget", PRODUCT_PAYLOAD),
    (FAQ, "//faq/", FAQ_PAYLOAD),
]


@pytest.mark.parametrize(("entity", "route", "expected"), PAGES)
def test_complete_payloads(entity, route, expected):
    payload = build_seo_payload(entity, route, config(**SITE))
    assert payload.keys() == list(expected)
    for key, value in expected.items():
        assert payload[key] == value, key
    assert payload.title == expected["title"]
    assert payload.canonical == expected["canonical"]


@pytest.mark.parametrize(("entity", "route", "expected"), PAGES)
def test_the_three_functions_agree(entity, route, expected):
    site = config(**SITE)
    payload = build_seo_payload(entity, route, site)
    assert payload == build_seo_payload(entity, route, site, None)
    assert payload == build_seo_payload(entity=entity, route=route, config=site, overrides=None)
    assert payload == build_seo_payload_with_overrides(entity, route, site, SEOOverrides())
    data = build_seo_payload_dict(entity, route, site)
    assert type(data) is dict
    assert data == payload.to_dict() == expected
    assert list(data) == list(payload.to_dict())


BUILDS = [
    lambda e, r, c, o: build_seo_payload(e, r, c, o),
    lambda e, r, c, o: build_seo_payload_dict(e, r, c, overrides=o),
    lambda e, r, c, o: build_seo_payload_with_overrides(e, r, c, o or SEOOverrides()),
]


PAGE = SEOEntity("page")
NOT_ABSOLUTE = "canonical_url override must be an absolute URL: relative URL without a base"
BAD_CRUMB = SEOEntity("page", breadcrumbs=[Breadcrumb("Home", "/"), Breadcrumb("Empty", "")])


@pytest.mark.parametrize("build", BUILDS)
@pytest.mark.parametrize(
    ("entity", "site", "overrides", "exc", "message"),
    [
        (
            PAGE,
            config(),
            SEOOverrides(canonical_url="ftp://example.com/a"),
            InvalidUrlError,
            "canonical_url override must use http or https",
        ),
        (PAGE, config(), SEOOverrides(canonical_url="/relative"), InvalidUrlError, NOT_ABSOLUTE),
        (PAGE, config(), SEOOverrides(canonical_url="  "), InvalidUrlError, NOT_ABSOLUTE),
        (
            PAGE,
            SEOConfig(HOST, "example.com"),
            None,
            ConfigurationError,
            "invalid public_base_url: relative URL without a base",
        ),
        (BAD_CRUMB, config(), None, InvalidUrlError, "url_or_path must be a non-empty string"),
    ],
)
def test_build_errors(build, entity, site, overrides, exc, message):
    with pytest.raises(exc) as info:
        build(entity, "/", site, overrides)
    assert type(info.value) is exc
    assert info.value.args == (message,)


@pytest.mark.parametrize(
    ("call", "message", "note"),
    [
        (
            lambda e, c: build_seo_payload(None, "/", c),
            "'None' is not an instance of 'SEOEntity'",
            "entity",
        ),
        (
            lambda e, c: build_seo_payload(None, 5, None),
            "'None' is not an instance of 'SEOEntity'",
            "entity",
        ),
        (
            lambda e, c: build_seo_payload_dict(e, b"/", c),
            "'bytes' object cannot be converted to 'str'",
            "route",
        ),
        (
            lambda e, c: build_seo_payload(e, "/", c.to_dict()),
            "'dict' object is not an instance of 'SEOConfig'",
            "config",
        ),
        (
            lambda e, c: build_seo_payload(e, "/", c, overrides=SEOImage("/x")),
            "'SEOImage' object is not an instance of 'SEOOverrides'",
            "overrides",
        ),
        (
            lambda e, c: build_seo_payload_with_overrides(e, "/", c, None),
            "'None' is not an instance of 'SEOOverrides'",
            "overrides",
        ),
        (
            lambda e, c: build_seo_payload_with_overrides(e, "/", c),
            "build_seo_payload_with_overrides() missing 1 required positional argument: "
            "'overrides'",
            None,
        ),
        (
            lambda e, c: build_seo_payload(e, "/", c, None, None),
            "build_seo_payload() takes from 3 to 4 positional arguments but 5 were given",
            None,
        ),
        (
            lambda e, c: build_seo_payload_dict(e, "/", c, route="/"),
            "build_seo_payload_dict() got multiple values for argument 'route'",
            None,
        ),
        (
            lambda e, c: build_seo_payload(e, "/", c, override=None),
            "build_seo_payload() got an unexpected keyword argument 'override'",
            None,
        ),
    ],
)
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call(SEOEntity("page"), config())
    assert str(info.value) == message
    assert getattr(info.value, "__notes__", None) == (
        [f"while processing '{note}'"] if note else None
    )


@pytest.mark.parametrize(
    ("value", "expected"),
    [
        ({"b": 1, "a": {"d": 2, "c": 3}}, {"a": {"c": 3, "d": 2}, "b": 1}),
        ([{"@type": "Only"}], {"@type": "Only"}),
        (float("nan"), None),
        ({"x": float("-inf")}, None),
    ],
)
def test_schema_jsonld_override_through_the_payload(value, expected):
    payload = build_seo_payload(SEOEntity("page"), "/", config(), SEOOverrides(schema_jsonld=value))
    # A value json.dumps writes as NaN is kept as JSON null: present, but None.
    assert "schema_jsonld" in payload
    # repr shows key order and number types as well as values.
    assert repr(payload.schema_jsonld) == repr(expected)
    assert repr(payload["schema_jsonld"]) == repr(expected)


def test_empty_array_override_means_no_jsonld():
    payload = build_seo_payload(SEOEntity("page"), "/", config(), SEOOverrides(schema_jsonld=[]))
    assert "schema_jsonld" not in payload
    assert len(payload) == 6


class _Meddler:
    """Hooks and schema registry at once, changing everything it is handed."""

    def run(self, stage, payload, entity, site):
        site.hooks = site.schema_registry = None
        payload["title"] = "Changed"
        payload["og"].clear()
        payload["og"]["type"] = "website"

    def has(self, schema_type):
        return True

    def generate(self, schema_type, entity, site, *texts):
        site.hooks = None
        return {"@type": "Generated"}


def test_inputs_are_unchanged_by_builds():
    meddler = _Meddler()
    site = config(hooks=meddler, schema_registry=meddler, **SITE)
    overrides = SEOOverrides(meta_description="D", schema_jsonld={"@type": "Article"})
    entity_before, config_before = PRODUCT.to_dict(), site.to_dict()
    plain = build_seo_payload(PRODUCT, "/p", config(**SITE), overrides)
    for _ in range(2):
        payload = build_seo_payload(PRODUCT, "/p", site, overrides)
        assert payload.title == "Changed"
        assert payload.schema_jsonld == {"@type": "Generated"}
    assert PRODUCT.to_dict() == entity_before
    assert site.to_dict() == config_before
    assert site.hooks is meddler and site.schema_registry is meddler
    assert build_seo_payload(PRODUCT, "/p", config(**SITE), overrides) == plain


def test_refcounts_and_objects_stay_flat():
    entity, route = PRODUCT, "/shop/widget?utm_source=x"
    # Not the recording helpers: their call lists would keep the arguments alive.
    hooks, registry = Hooks(), Registry()
    hooks.run = lambda stage, payload, e, c: {**payload, "description": "hooked"}
    registry.has = lambda schema_type: True
    registry.generate = lambda *args: {"@type": "Generated", "name": args[4]}
    site = config(hooks=hooks, schema_registry=registry, **SITE)
    good, bad = SEOOverrides(meta_title="T"), SEOOverrides(canonical_url="ftp://x")
    watched = (entity, route, site, good, bad, hooks, registry)

    def run():
        for _ in range(1000):
            build_seo_payload(entity, route, site, good)
            build_seo_payload_dict(entity, route, site)
            try:
                build_seo_payload_with_overrides(entity, route, site, bad)
            except InvalidUrlError:
                pass

    run()
    gc.collect()
    refs, objects = [sys.getrefcount(o) for o in watched], len(gc.get_objects())
    # Payloads and copied entities are not tracked by the collector; tracemalloc
    # sees them. A leaked payload would add megabytes; the bound leaves room for
    # the interpreter's method cache, which keeps up to a few thousand attribute
    # name strings when the allocator hands out fresh addresses (PYTHONMALLOC=malloc).
    tracemalloc.start()
    try:
        run()
        gc.collect()
        grown = tracemalloc.get_traced_memory()[0]
    finally:
        tracemalloc.stop()
    assert [sys.getrefcount(o) for o in watched] == refs
    assert len(gc.get_objects()) - objects < 50
    assert grown < 1024 * 1024


def test_ten_megabyte_body_builds_quickly():
    body = "<p>" + "word &amp; <b>more</b> words, " * 350_000 + "</p>"
    assert len(body) > 10_000_000
    start = time.perf_counter()
    payload = build_seo_payload(SEOEntity("post", body_html=body), "/p", config())
    assert time.perf_counter() - start < 5
    # Character references are not decoded by the stripper.
    assert payload.description.startswith("word &amp; more words, word &amp; more words,")
    assert payload.description.endswith("...")
    assert len(payload.description) == 160
