"""zoret.registry and zoret.hooks, exercised through real builds."""

import pytest

import zoret
from zoret.hooks import HookRegistry
from zoret.registry import SchemaRegistry, SchemaRequest

ROUTE = "/recipes/pie"
STAGE = "unknown hook stage '{}'; known stages: post_process"
RECIPE = {"@context": "https://schema.org", "@type": "Recipe", "name": "generated"}


def site(**kwargs):
    kwargs |= {"schema_type_map": [("post", "Recipe")], "default_og_image": zoret.SEOImage("/og.png")}  # fmt: skip
    return zoret.SEOConfig("example.com", "https://example.com", **kwargs)


def pie(**kwargs):
    return zoret.SEOEntity("post", title="Pie", excerpt="An apple pie.", **kwargs)


@pytest.mark.parametrize("build", [
    lambda e, c: zoret.build_seo_payload(e, ROUTE, c).to_dict(),
    lambda e, c: zoret.build_seo_payload_dict(e, ROUTE, c),
    lambda e, c: zoret.build_seo_payload_with_overrides(e, ROUTE, c, zoret.SEOOverrides()).to_dict(),
])  # fmt: skip
def test_registered_generator_replaces_the_jsonld(build):
    registry, requests = SchemaRegistry(), []
    registry.register("Recipe")(lambda request: requests.append(request) or RECIPE)
    assert build(pie(), site(schema_registry=registry))["schema_jsonld"] == RECIPE
    [req] = requests
    assert isinstance(req, SchemaRequest) and req.schema_type == "Recipe"
    assert (req.title, req.description, req.image) == ("Pie", "An apple pie.", "/og.png")
    assert req.canonical == "https://example.com/recipes/pie"  # and the image URL as given
    assert req.entity.entity_type == "post" and req.config.schema_registry is registry


@pytest.mark.parametrize(("registered", "result", "entity"), [
    ("Recipe", None, pie()),  # the generator declines
    ("Article", RECIPE, pie()),  # no generator for the page's type
    ("Recipe", RECIPE, pie(breadcrumbs=[zoret.Breadcrumb("Home", "/")])),  # JSON-LD is a list
])  # fmt: skip
def test_payload_is_kept(registered, result, entity):
    registry = SchemaRegistry()
    registry.add(registered, lambda request: result)
    plain = zoret.build_seo_payload(entity, ROUTE, site())
    assert zoret.build_seo_payload(entity, ROUTE, site(schema_registry=registry)) == plain


def test_registry_bookkeeping():
    registry = SchemaRegistry()
    for name in ("Recipe", "Event", "Course"):
        registry.add(name, lambda request: None)
    registry.add("Event", lambda request: RECIPE)  # replaces, does not duplicate
    assert registry.types() == ["Course", "Event", "Recipe"]
    assert len(registry) == 3 and "Event" in registry and not registry.has("event")
    assert registry.generate("Event", pie(), site(), "c", "t", "d", None) == RECIPE
    assert registry.generate("Missing", pie(), site(), "c", "t", "d", None) is None


@pytest.mark.parametrize(("call", "exc", "message"), [
    (lambda: SchemaRegistry().register(""), TypeError, "schema_type must be a non-empty str"),
    (lambda: SchemaRegistry().add(1, print), TypeError, "schema_type must be a non-empty str"),
    (lambda: SchemaRegistry().add("Recipe", "gen"), TypeError, "generator for 'Recipe' is not callable"),
    (lambda: HookRegistry().register("pre_process"), ValueError, STAGE.format("pre_process")),
    (lambda: HookRegistry().hooks("Post_process"), ValueError, STAGE.format("Post_process")),
    (lambda: HookRegistry().run("render", {}, pie(), site()), ValueError, STAGE.format("render")),
])  # fmt: skip
def test_bad_registrations_and_stages_are_refused(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value) == message


def test_generator_then_hooks_in_order_each_on_the_previous_dict():
    registry, hooks, seen = SchemaRegistry(), HookRegistry(), []
    registry.add("Recipe", lambda request: RECIPE)

    @hooks.post_process
    def first(payload, entity, config):
        seen.append(("first", payload["title"], payload["schema_jsonld"]))
        return {**payload, "title": payload["title"] + " 1"}

    @hooks.register("post_process")
    def second(payload, entity, config):
        seen.append(("second", payload["title"]))
        payload["title"] += " 2"  # in place, returning None

    built = zoret.build_seo_payload(pie(), ROUTE, site(schema_registry=registry, hooks=hooks))
    assert seen == [("first", "Pie", RECIPE), ("second", "Pie 1")]
    assert (built.title, hooks.hooks()) == ("Pie 1 2", [first, second])

    @hooks.post_process
    def listy(payload, entity, config):
        return [payload]

    with pytest.raises(TypeError, match=r"^hook .*listy must return a dict or None, got list$"):
        zoret.build_seo_payload(pie(), ROUTE, site(hooks=hooks))
