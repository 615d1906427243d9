"""zoret.registry and zoret.hooks, exercised through real builds."""

import pytest

import zoret
from zoret.hooks import HookRegistry
from zoret.registry import SchemaRegistry, SchemaRequest

ROUTE = "/recipes/pie"
RECIPE = {"@context": "https://schema.org", "@type": "Recipe", "name": "generated"}


def site(**kwargs):
    return zoret.SEOConfig(
        "example.com",
        "https://example.com",
        schema_type_map=[("post", "Recipe")],
        default_og_image=zoret.SEOImage("/og.png"),
        **kwargs,
    )


def pie(**kwargs):
    return zoret.SEOEntity("post", title="Pie", excerpt="An apple pie.", **kwargs)


BUILDS = {
    "build_seo_payload": lambda e, c: zoret.build_seo_payload(e, ROUTE, c).to_dict(),
    "build_seo_payload_dict": lambda e, c: zoret.build_seo_payload_dict(e, ROUTE, c),
    "build_seo_payload_with_overrides": lambda e, c: zoret.build_seo_payload_with_overrides(
        e, ROUTE, c, zoret.SEOOverrides()
    ).to_dict(),
}


@pytest.mark.parametrize("build", BUILDS.values(), ids=BUILDS)
def test_registered_generator_replaces_the_jsonld(build):
    registry = SchemaRegistry()
    requests = []

    @registry.register("Recipe")
    def recipe(request):
        requests.append(request)
        return RECIPE

    assert build(pie(), site(schema_registry=registry))["schema_jsonld"] == RECIPE
    [request] = requests
    assert isinstance(request, SchemaRequest)
    assert (request.schema_type, request.canonical, request.title, request.description) == (
        "Recipe", "https://example.com/recipes/pie", "Pie", "An apple pie.",
    )  # fmt: skip
    assert request.image == "/og.png"  # image URLs are used as given
    assert request.entity.entity_type == "post"
    assert request.config.schema_registry is registry


@pytest.mark.parametrize(
    ("registered", "result", "entity"),
    [
        ("Recipe", None, pie()),  # the generator declines
        ("Article", RECIPE, pie()),  # no generator for the page's type
        # Breadcrumbs turn the JSON-LD into a list, which no generator replaces.
        ("Recipe", RECIPE, pie(breadcrumbs=[zoret.Breadcrumb("Home", "/")])),
    ],
)
def test_jsonld_is_kept(registered, result, entity):
    registry = SchemaRegistry()
    registry.add(registered, lambda request: result)
    plain = zoret.build_seo_payload(entity, ROUTE, site())
    assert zoret.build_seo_payload(entity, ROUTE, site(schema_registry=registry)) == plain


def test_generator_exceptions_pass_through():
    registry = SchemaRegistry()

    @registry.register("Recipe")
    def broken(request):
        raise LookupError("no recipe")

    with pytest.raises(LookupError, match=r"^no recipe$"):
        zoret.build_seo_payload(pie(), ROUTE, site(schema_registry=registry))


def test_registry_bookkeeping():
    registry = SchemaRegistry()
    for name in ("Recipe", "Event", "Course"):
        registry.add(name, lambda request: None)
    registry.add("Event", lambda request: RECIPE)  # replaces, does not duplicate
    assert registry.types() == ["Course", "Event", "Recipe"]
    assert len(registry) == 3 and "Event" in registry and not registry.has("event")
    assert registry.generate("Event", pie(), site(), "c", "t", "d", None) == RECIPE
    assert registry.generate("Missing", pie(), site(), "c", "t", "d", None) is None


@pytest.mark.parametrize(
    ("call", "exc", "message"),
    [
        (lambda r: r.register(""), TypeError, "schema_type must be a non-empty str"),
        (lambda r: r.add(1, print), TypeError, "schema_type must be a non-empty str"),
        (lambda r: r.add("Recipe", "gen"), TypeError, "generator for 'Recipe' is not callable"),
    ],
)
def test_registry_refuses_bad_registrations(call, exc, message):
    with pytest.raises(exc, match=f"^{message}$"):
        call(SchemaRegistry())


def test_hooks_run_in_order_each_on_the_previous_dict():
    hooks = HookRegistry()
    seen = []

    @hooks.post_process
    def first(payload, entity, config):
        seen.append(("first", payload["title"]))
        return {**payload, "title": payload["title"] + " 1"}

    @hooks.register("post_process")
    def second(payload, entity, config):
        seen.append(("second", payload["title"]))
        payload["title"] += " 2"  # in place, returning None

    built = zoret.build_seo_payload(pie(), ROUTE, site(hooks=hooks))
    assert seen == [("first", "Pie"), ("second", "Pie 1")]
    assert built.title == "Pie 1 2"
    assert hooks.hooks() == [first, second]


def test_hooks_see_the_generated_jsonld():
    registry, hooks = SchemaRegistry(), HookRegistry()
    registry.add("Recipe", lambda request: RECIPE)
    seen = []
    hooks.register()(lambda payload, entity, config: seen.append(payload["schema_jsonld"]))
    zoret.build_seo_payload(pie(), ROUTE, site(schema_registry=registry, hooks=hooks))
    assert seen == [RECIPE]


def test_hook_returning_something_else_is_named():
    hooks = HookRegistry()

    @hooks.post_process
    def listy(payload, entity, config):
        return [payload]

    with pytest.raises(TypeError, match=r"^hook .*listy must return a dict or None, got list$"):
        zoret.build_seo_payload(pie(), ROUTE, site(hooks=hooks))


@pytest.mark.parametrize(
    "call",
    [
        lambda h: h.register("pre_process"),
        lambda h: h.hooks("Post_process"),
        lambda h: h.run("render", {}, pie(), site()),
    ],
)
def test_unknown_stage_is_refused(call):
    with pytest.raises(ValueError, match=r"^unknown hook stage '.+'; known stages: post_process$"):
        call(HookRegistry())


def test_empty_hook_registry_leaves_the_payload():
    plain = zoret.build_seo_payload(pie(), ROUTE, site())
    assert zoret.build_seo_payload(pie(), ROUTE, site(hooks=HookRegistry())) == plain
