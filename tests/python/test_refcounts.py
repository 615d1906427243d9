"""Nothing leaks: the inputs' reference counts, the tracked objects and the traced
memory stay flat over many calls, errors included (--leak-loops N calls per round)."""

import contextlib
import gc
import sys
import tracemalloc
from types import SimpleNamespace

import pytest

from payload_support import config
from zoret import (
    Breadcrumb,
    EntityError,
    InvalidUrlError,
    Robots,
    SEOAuthor,
    SEOConfig,
    SEOContractConfig,
    SEOContractRule,
    SEOEntity,
    SEOExpectation,
    SEOImage,
    SEOOverrides,
    URLPolicy,
    build_seo_contract,
    build_seo_payload,
    build_seo_payload_dict,
    build_seo_payload_with_overrides,
    clean_query_fn,
    clean_url_fn,
    normalize_path_fn,
    normalize_public_url_fn,
    validate_payload,
)

ROUNDS = 6
suppress = contextlib.suppress


def builds():
    entity, route = (
        SEOEntity("product", title="W", featured_image=SEOImage("/w.png")),
        "/w?utm_source=x",
    )
    # Not the recording helpers of payload_support: their call lists would keep arguments alive.
    hooks = SimpleNamespace(run=lambda stage, payload, e, c: {**payload, "description": "hooked"})
    registry = SimpleNamespace(has=lambda t: True, generate=lambda *a: {"@type": "G", "name": a[4]})
    site = config(hooks=hooks, schema_registry=registry, site_name="S", emit_warnings=False)
    good, bad = SEOOverrides(meta_title="T"), SEOOverrides(canonical_url="ftp://x")

    def run():
        build_seo_payload(entity, route, site, good)
        build_seo_payload_dict(entity, route, site)
        with suppress(InvalidUrlError):
            build_seo_payload_with_overrides(entity, route, site, bad)

    return run, (entity, route, site, good, bad, hooks, registry)


def payload_methods():
    payload = build_seo_payload(SEOEntity("post", title="T" * 70), "/p", config())
    key = "title"

    def run():
        (
            payload.to_dict(),
            payload.keys(),
            payload.get(key),
            payload[key],
            len(payload),
            list(payload),
        )
        (
            key in payload,
            payload == payload.to_dict(),
            payload.og.to_dict(),
            payload.twitter.to_dict(),
        )
        (
            payload.render_html(),
            payload.hash(),
            payload.etag(),
            payload.to_json(),
            payload.schema_jsonld,
        )
        [issue.details for issue in validate_payload(payload)]
        with suppress(TypeError):
            payload.to_dict(key)
        with suppress(TypeError):
            payload.get(**{key: 1, "\ud800": 2})

    return run, (payload, key)


def records():
    title, image, crumbs = "t" * 50, SEOImage("u"), [Breadcrumb("a", "/a")]

    def run():
        entity = SEOEntity("post", title=title, featured_image=image, breadcrumbs=crumbs)
        entity.to_dict(), entity.title, image.to_dict(), SEOAuthor(title, url=title).name
        Robots(max_image_preview=title).serialize()
        with suppress(EntityError):
            SEOEntity("bogus", title=title)
        with suppress(TypeError):
            SEOEntity("post", breadcrumbs=[crumbs[0], title])

    return run, (title, image, crumbs)


def overrides():
    doc, image = {"@type": "Thing", "name": "x" * 40}, SEOImage("/og.png")

    def run():
        SEOOverrides(schema_jsonld=doc, og_image=image, meta_title=doc["name"])
        with suppress(TypeError):
            SEOOverrides(schema_jsonld={"s": {1}}, og_image=image)

    return run, (doc, image)


def configs():
    hooks, host = object(), "a" * 30 + ".example"

    def run():
        site = SEOConfig(host, "https://e.com", hooks=hooks, schema_type_map=[(host, host)])
        site.schema_registry = hooks
        site.hooks = None
        site.to_dict()
        with suppress(ValueError):
            SEOConfig(host, "", hooks=hooks)

    return run, (hooks, host)


def urls():
    path = "/Blog//" + "x" * 40 + "?utm_source=1&a=2"
    policy, site = URLPolicy(lowercase_paths=True), SEOConfig("e.com", "https://e.org/app")

    def run():
        normalize_path_fn(path, policy), normalize_public_url_fn(path, site)
        clean_url_fn(path), clean_query_fn(query=path), policy.allowed_query_params
        with suppress(ValueError):
            normalize_public_url_fn("", site)
        with suppress(TypeError):
            clean_url_fn(path, path)

    return run, (path, policy, site)


def contracts():
    path, severity = "/p" + "q" * 5, "warn" + "ing" * 2
    expectation = SEOExpectation(one_of=[path], title=SEOExpectation(equals=path))
    rule = SEOContractRule(path, expectation, severity=severity)
    pair = (path, expectation)

    def run():
        built = build_seo_contract(
            SEOContractConfig(path, defaults=expectation, rules=[rule], exceptions=[pair])
        )
        built.to_dict(), built.to_json(), built.site, rule.expect, rule.severity

    return run, (path, severity, expectation, rule, pair)


@pytest.mark.parametrize(
    "make", [builds, payload_methods, records, overrides, configs, urls, contracts]
)
def test_no_leaks(make, leak_loops):
    run, watched = make()
    run()  # first calls fill caches (imports, interned names)
    gc.collect()
    refs, objects = [sys.getrefcount(obj) for obj in watched], len(gc.get_objects())
    growth = []
    tracemalloc.start()
    try:
        # Freelists and caches fill during the first rounds; a leak keeps growing by
        # at least one block per call, far more than a byte per call.
        while len(growth) < ROUNDS and (not growth or growth[-1] >= leak_loops):
            start = tracemalloc.get_traced_memory()[0]
            for _ in range(leak_loops):
                run()
            gc.collect()
            growth.append(tracemalloc.get_traced_memory()[0] - start)
    finally:
        tracemalloc.stop()
    assert [sys.getrefcount(obj) for obj in watched] == refs
    assert len(gc.get_objects()) - objects < 50
    assert growth[-1] < leak_loops, f"traced memory still growing: {growth}"
