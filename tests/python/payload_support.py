"""Small builders shared by the payload tests (imported, not collected)."""

import zoret
from zoret import SEOConfig, SEOEntity, build_seo_payload
from zoret.hooks import HookRegistry
from zoret.registry import SchemaRegistry, SchemaRequest

HOST = "www.example.com"
BASE = "https://www.example.com"

# The smallest dictionary that reads back as a payload.
MINIMAL = {
    "title": "T", "description": "", "canonical": "C", "robots": "R",
    "og": {"type": "website"}, "twitter": {"card": "summary"},
}  # fmt: skip
# Every Open Graph and Twitter field, in declaration order.
RICH_OG = {
    "type": "article", "title": "OT", "description": "OD", "url": "https://x/",
    "image": "https://x/i.png", "image_width": 1200, "image_height": 630, "image_alt": "Alt",
    "site_name": "Site", "locale": "en_US", "locale_alternate": ["de_DE", "fr_FR"],
    "audio": "https://x/a.mp3", "video": "https://x/v.mp4",
}  # fmt: skip
RICH_TWITTER = {
    "card": "summary", "title": "TT", "description": "TD", "image": "https://x/t.png",
    "image_alt": "TAlt", "site": "@site", "creator": "@me",
}  # fmt: skip


def config(**kwargs):
    return SEOConfig(HOST, BASE, **kwargs)


class Hooks:
    """A hook registry whose post_process stage is `fn(payload)`; records every call."""

    def __init__(self, fn=lambda payload: None):
        self.fn = fn
        self.calls = []

    def run(self, *args):
        self.calls.append(args)
        return self.fn(args[1])


class Registry:
    """A schema registry answering `has` with `registered` and `generate` with `value`."""

    def __init__(self, value=None, registered=True):
        self.value = value
        self.registered = registered
        self.has_calls = []
        self.generate_calls = []

    def has(self, *args):
        self.has_calls.append(args)
        return self.registered

    def generate(self, *args):
        self.generate_calls.append(args)
        return self.value


def shaped(**fields):
    """A payload holding exactly MINIMAL updated with `fields`, made by a hook."""
    data = {**MINIMAL, **fields}
    return build_seo_payload(SEOEntity("page"), "/", config(hooks=Hooks(lambda _: data)))


# --- records with every field set, for the pickling, repr and typing tests ------------------


def brand(payload, entity, config):  # module level, so that pickle finds it
    payload["title"] += " | Example"
    payload["x-extra"] = {"n": [1.0, -1]}  # a payload keeps members it does not know


def recipe(request: SchemaRequest):
    return {"@context": "https://schema.org", "@type": "Recipe", "name": request.title, "n": [1, -2, 1.0, 1e16]}  # fmt: skip


def site_config(mod=zoret, **kwargs):
    hooks, registry = HookRegistry(), SchemaRegistry()
    hooks.register()(brand)
    registry.add("Recipe", recipe)
    return mod.SEOConfig(
        "example.com", "https://example.com", url_policy=mod.URLPolicy(trailing_slash="always", allowed_query_params=["page"]),
        default_robots=mod.Robots(follow=False), default_og_image=mod.SEOImage("https://example.com/og.png", width=1, height=2, alt="A"),
        site_name="Ex", title_template="{title} | Ex", search_robots=mod.Robots(max_snippet=-1), auto_generate_schema=False,
        publisher_name="P", publisher_logo="/l.png", locale="de_DE", locale_alternate=["en_US"], twitter_site="@ex",
        emit_warnings=True, schema_type_map=[("post", "Recipe"), ("post", "Article")], search_url_template="/s?q={q}",
        hooks=hooks, schema_registry=registry, **kwargs)  # fmt: skip


def entity(mod=zoret):
    return mod.SEOEntity(
        "local_business", slug="s", title="Tïtle", excerpt="E", body_html="<p>B</p>", status="published",
        featured_image=mod.SEOImage("https://example.com/f.png", alt="F"), published_at="2024-01-01", updated_at="2024-02-01",
        author_name="Ada", breadcrumbs=[mod.Breadcrumb("Home", "/")], sku="K", price="9.5", price_currency="EUR",
        availability="InStock", same_as=["https://x.example"], address="Main St", faq_items=[mod.FAQItem("Q?", "A.")])  # fmt: skip


def overrides(mod=zoret, jsonld=None, omit=False):
    return mod.SEOOverrides(
        meta_title="M", meta_description="D", canonical_url="https://example.com/c", canonical_path="/p",
        robots=mod.Robots(index=False), og_title="OT", og_description="OD", og_image=mod.SEOImage("https://example.com/o.png"),
        twitter_card="summary", twitter_title="TT", twitter_description="TD", twitter_image=mod.SEOImage("/t.png"),
        schema_jsonld={"@type": "Thing", "n": [1, -2, 2.5, 1.0, "ü", None, True]} if jsonld is None else jsonld,
        omit_schema=omit, skip_title_template=omit, twitter_creator="@c", og_audio="/a.mp3", og_video="/v.mp4")  # fmt: skip


def expectation(mod=zoret):
    return mod.SEOExpectation(
        required=True, forbidden=False, equals="a", not_equals="b", contains="c", matches="^d", one_of=["e"],
        min_length=1, max_length=2**64 - 1, min_items=0, max_items=3, indexable=True, canonical="self",
        schema_required=True, schema_types=["Article"], og_required=True, twitter_required=False,
        sitemap_required=True, hreflang_required=False, title=mod.SEOExpectation(max_length=60),
        description=mod.SEOExpectation(title=mod.SEOExpectation(required=True)))  # fmt: skip


def contract_config(mod=zoret):
    rules = [mod.SEOContractRule("/blog/*", expectation(mod), severity=s) for s in ("info", "warning", "fatal")]  # fmt: skip
    return mod.SEOContractConfig("x.co", scheme="http", defaults=mod.SEOExpectation(indexable=True), rules=rules,
                                 exceptions=[("/b", mod.SEOExpectation()), ("/a", expectation(mod))])  # fmt: skip


def samples(mod=zoret):
    """One or two instances of every class of the module, every field set in one of them."""
    config = site_config(mod)
    payload = mod.build_seo_payload(entity(mod), "/Blog/Post", config)
    bare = mod.build_seo_payload(
        mod.SEOEntity("post", title="x" * 70), "/", mod.SEOConfig("x.co", "https://x.co")
    )
    with_null = mod.build_seo_payload(mod.SEOEntity("page"), "/", config, overrides(mod, jsonld=float("nan")))  # fmt: skip
    return {
        "image": mod.SEOImage("/a.png", width=0, height=2**32 - 1, alt=""), "image-bare": mod.SEOImage("/a.png"),
        "robots": mod.Robots(index=False, follow=False, max_snippet=-(2**31), max_image_preview="large", max_video_preview=2**31 - 1),
        "breadcrumb": mod.Breadcrumb("Home", "/"), "faq": mod.FAQItem("Q?", "A."),
        "author": mod.SEOAuthor("Ada", url="https://ada.example"), "author-bare": mod.SEOAuthor(""),
        "policy": mod.URLPolicy(enforce_https=False, lowercase_paths=True, trailing_slash="bogus", collapse_duplicate_slashes=False,
                                strip_tracking_params=False, allowed_query_params=["a", "a"], extra_tracking_params=["B"]),
        "entity": entity(mod), "entity-bare": mod.SEOEntity("faq", same_as=[], breadcrumbs=[]),
        "overrides": overrides(mod), "overrides-omit": overrides(mod, omit=True), "overrides-bare": mod.SEOOverrides(),
        "overrides-null-jsonld": overrides(mod, jsonld=float("nan")),
        "config": config, "config-bare": mod.SEOConfig("x.co", "https://x.co"),
        "expectation": expectation(mod), "rule": mod.SEOContractRule("/", mod.SEOExpectation()),
        "contract-config": contract_config(mod), "contract": mod.build_seo_contract(contract_config(mod)),
        "payload": payload, "payload-bare": bare, "payload-null-jsonld": with_null, "og": payload.og, "twitter": payload.twitter,
        "issue": mod.validate_payload(bare)[0], "registry": mod.SchemaRegistry(),
    }  # fmt: skip
