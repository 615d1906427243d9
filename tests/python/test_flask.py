"""The Flask extension through Flask's test client."""

import json

import pytest

flask = pytest.importorskip("flask")

import zoret  # noqa: E402
from zoret import web  # noqa: E402
from zoret.integrations.flask import Zoret  # noqa: E402

SITE = {"canonical_host": "example.com", "public_base_url": "https://example.com",
        "site_name": "Example", "url_policy": {"trailing_slash": "always"}}  # fmt: skip
PAGE = ("<head>{{ seo_head(entity) }}</head><theme>{{ seo_head(entity, omit=['title']) }}</theme>"
        "<part>{{ seo_title(entity) }}</part><filter>{{ payload|seo_jsonld }}</filter>")  # fmt: skip


def entity(slug):
    return zoret.SEOEntity("post", title=slug.title(), excerpt=f"About {slug}.")


def make_app(**config):
    app = flask.Flask(__name__)
    app.config.update(ZORET=SITE, **config)
    seo = Zoret(app)

    @app.route("/blog/<slug>/", methods=["GET", "POST"])
    def page(slug):
        return flask.render_template_string(PAGE, entity=entity(slug), payload=seo.payload(entity(slug)))  # fmt: skip

    @app.get("/seo/blog/<slug>/")
    def metadata(slug):
        return seo.response(seo.payload(entity(slug)))

    return app


@pytest.fixture(scope="module")
def client():
    return make_app().test_client()


def between(text, tag):
    return text.split(f"<{tag}>", 1)[1].split(f"</{tag}>", 1)[0]


def test_templates_and_views_build_at_the_request_route(client):
    page = client.get("/blog/hello/?utm_medium=mail&page=2", follow_redirects=True)
    assert [r.headers["Location"] for r in page.history] == ["/blog/hello/?page=2"]
    config = zoret.forms.config_from_dict(SITE)
    expected = zoret.build_seo_payload(entity("hello"), "/blog/hello/?page=2", config)
    text = page.get_data(as_text=True)
    assert between(text, "head") == expected.render_html()
    assert between(text, "theme") == web.render_head(expected, omit=["title"])
    assert between(text, "part") == web.head_part(expected, "title")
    assert between(text, "filter") == expected.render_jsonld()
    metadata = client.get("/seo/blog/hello/")
    assert (
        metadata.headers["ETag"]
        == zoret.build_seo_payload(entity("hello"), "/seo/blog/hello/", config).etag()
    )
    assert json.loads(metadata.data)["canonical"] == "https://example.com/seo/blog/hello/"


@pytest.mark.parametrize(("method", "if_none_match", "status"), [
    ("get", None, 200), ("head", '"x", W/ETAG', 304), ("get", '"x"', 200),
])  # fmt: skip
def test_payload_responses_are_conditional(client, method, if_none_match, status):
    etag = client.get("/seo/blog/hello/").headers["ETag"]
    headers = {"If-None-Match": if_none_match.replace("ETAG", etag)} if if_none_match else {}
    response = getattr(client, method)("/seo/blog/hello/", headers=headers)
    assert (response.status_code, response.headers["ETag"]) == (status, etag)


@pytest.mark.parametrize(("config", "method", "url", "location"), [
    ({}, "get", "/blog/hello", "/blog/hello/"),
    ({}, "head", "/blog//hello?fbclid=1", "/blog/hello/"),
    ({}, "get", "/blog/hello/", None),
    ({}, "post", "/blog/hello", None),
    ({}, "get", "/static/app.js", None),
    ({"ZORET_REDIRECT_EXEMPT": ["/blog"]}, "get", "/blog/hello", None),
    ({"ZORET_REDIRECT": False}, "get", "/blog/hello", None),
])  # fmt: skip
def test_canonical_redirect_before_request(config, method, url, location):
    response = getattr(make_app(**config).test_client(), method)(url)
    if location is None:  # Flask's own trailing-slash redirect is a 308
        assert response.status_code != 301
    else:
        assert (response.status_code, response.headers["Location"]) == (301, location)


def test_configuration_sources():
    app = flask.Flask(__name__)
    with pytest.raises(RuntimeError, match=r"set app.config\['ZORET'\]"):
        Zoret(app)
    seo = Zoret(config=zoret.SEOConfig("example.org", "https://example.org"))
    seo.init_app(app)
    with app.test_request_context("/a?utm_source=x"):
        assert seo.payload(zoret.SEOEntity("page")).canonical == "https://example.org/a"
    app.config["ZORET"] = {"canonical_host": "example.com"}
    with pytest.raises(zoret.forms.FormError, match="public_base_url"):
        Zoret().init_app(app)
