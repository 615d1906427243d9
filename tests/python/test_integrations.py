"""The Jinja2 extension on its own, and the error that names a missing extra."""

import importlib
import sys

import pytest

jinja2 = pytest.importorskip("jinja2")

import zoret  # noqa: E402
from zoret import web  # noqa: E402
from zoret.integrations.jinja2 import ZoretExtension, configure  # noqa: E402

SITE = zoret.SEOConfig("example.com", "https://example.com", site_name="Example")
POST = zoret.SEOEntity("post", title="Fish & <Chips>", excerpt="Crisp.")


def render(source, config=None, **context):
    env = jinja2.Environment(extensions=[ZoretExtension], autoescape=True)
    if config is not None:
        configure(env, config)
    return env.from_string(source).render(**context)


@pytest.mark.parametrize(("source", "context", "expected"), [
    ("{{ seo_head(p) }}", {}, lambda p: p.render_html()),
    ("{{ p|seo_head }}", {}, lambda p: p.render_html()),
    ("{{ seo_head(p, omit=['title', 'jsonld']) }}", {}, lambda p: web.render_head(p, omit=["title", "jsonld"])),
    ("{{ seo_title(p) }}|{{ p|seo_canonical }}", {}, lambda p: web.head_part(p, "title") + "|" + web.head_part(p, "canonical")),
    ("{{ seo_meta(p) }}", {}, lambda p: web.head_part(p, "description", "robots")),
    ("{{ seo_opengraph(p) }}{{ seo_twitter(p) }}{{ seo_jsonld(p) }}", {},
     lambda p: p.render_opengraph() + p.render_twitter() + p.render_jsonld()),
    ("{{ seo_head(e, route='/fish?utm_source=x') }}", {}, lambda p: p.render_html()),
    ("{{ seo_head(e) }}", {"seo_route": "/fish"}, lambda p: p.render_html()),
    ("[{{ seo_head(nothing) }}{{ seo_jsonld(None) }}]", {}, lambda p: "[]"),
])  # fmt: skip
def test_helpers_print_the_core_tags_unescaped(source, context, expected):
    payload = zoret.build_seo_payload(POST, "/fish", SITE)
    assert render(source, SITE, p=payload, e=POST, **context) == expected(payload)


@pytest.mark.parametrize(("source", "message"), [
    ("{{ seo_head(e, route='/x') }}", "needs the site's SEOConfig"),
    ("{{ seo_head(3) }}", "expected an SEOPayload or an SEOEntity, got int"),
])  # fmt: skip
def test_what_is_missing_is_named(source, message):
    with pytest.raises(TypeError, match=message):
        render(source, e=POST)
    with pytest.raises(TypeError, match="needs the route"):
        render("{{ seo_head(e) }}", SITE, e=POST)


@pytest.mark.parametrize(("module", "framework", "extra"), [
    ("zoret.integrations.django", "django", "django"),
    ("zoret.integrations.flask", "flask", "flask"),
    ("zoret.integrations.starlette", "starlette", "starlette"),
    ("zoret.integrations.fastapi", "fastapi", "fastapi"),
    ("zoret.integrations.jinja2", "jinja2", "jinja2"),
    ("zoret.integrations.mkdocs", "mkdocs", "mkdocs"),
])  # fmt: skip
def test_a_missing_framework_names_the_extra(monkeypatch, module, framework, extra):
    for name in [framework, *(name for name in sys.modules if name.startswith(framework + "."))]:
        monkeypatch.setitem(sys.modules, name, None)  # makes `import framework...` fail
    for name in [name for name in sys.modules if name.startswith("zoret.integrations.")]:
        monkeypatch.delitem(sys.modules, name)
    with pytest.raises(ImportError, match=rf"needs '{framework}'.*pip install 'zoret\[{extra}\]'"):
        importlib.import_module(module)
