"""The Django app through Django's own test Client, settings configured here."""

import pytest

django = pytest.importorskip("django")

from django.conf import settings  # noqa: E402  (after the skip above)

if not settings.configured:
    settings.configure(
        SECRET_KEY="test",
        ROOT_URLCONF=__name__,
        ALLOWED_HOSTS=["testserver"],
        INSTALLED_APPS=["zoret.integrations.django"],
        MIDDLEWARE=["zoret.integrations.django.middleware.CanonicalRedirectMiddleware"],
        TEMPLATES=[
            {
                "BACKEND": "django.template.backends.django.DjangoTemplates",
                "OPTIONS": {
                    "context_processors": [
                        "django.template.context_processors.request",
                        "zoret.integrations.django.context_processors.seo",
                    ]
                },
            }
        ],
        ZORET={
            "canonical_host": "example.com",
            "public_base_url": "https://example.com",
            "site_name": "Example",
            "title_template": "{title} | Example",
        },
        STATIC_URL="/static/",
    )
    django.setup()

from django.core.exceptions import ImproperlyConfigured  # noqa: E402
from django.http import HttpResponse  # noqa: E402
from django.template import engines  # noqa: E402
from django.test import Client, override_settings  # noqa: E402
from django.urls import path  # noqa: E402

import zoret  # noqa: E402
from zoret import web  # noqa: E402
from zoret.integrations.django import build_payload, get_config, seo_condition  # noqa: E402

POST = zoret.SEOEntity("post", title="Hello", excerpt="A first post.")
TEMPLATE = engines["django"].from_string(
    "{% load zoret %}<head>{% seo_head entity %}</head>"
    "<theme>{% seo_head entity omit='title jsonld' %}</theme>"
    "<parts>{% seo_title entity %}{% seo_meta entity %}{% seo_canonical entity %}"
    "{% seo_opengraph entity %}{% seo_twitter entity %}{% seo_jsonld entity %}</parts>"
    "<payload>{% seo_title payload %}</payload><route>{% seo_canonical entity route='/x' %}</route>"
    "<none>{% seo_head missing %}</none><canonical>{{ canonical_url }}</canonical>"
)


@seo_condition(lambda request, slug: POST if slug != "missing" else None)
def post_view(request, slug):
    payload = build_payload(request, POST, zoret.SEOOverrides(meta_title="Payload"))
    return HttpResponse(TEMPLATE.render({"entity": POST, "payload": payload}, request))


def static_view(request, rest):
    return HttpResponse(rest)


urlpatterns = [path("blog/<slug>", post_view), path("static/<path:rest>", static_view)]


@pytest.fixture
def client():
    return Client()


def between(text, tag):
    return text.split(f"<{tag}>", 1)[1].split(f"</{tag}>", 1)[0]


def test_template_tags_print_the_payload_of_the_request(client):
    response = client.get("/blog/hello?utm_source=news&page=2", follow=True)
    assert response.redirect_chain == [("/blog/hello?page=2", 301)]
    page = response.content.decode()
    expected = zoret.build_seo_payload(POST, "/blog/hello?page=2", get_config())
    assert between(page, "head") == expected.render_html()
    assert between(page, "theme") == web.render_head(expected, omit=["title", "jsonld"])
    assert between(page, "parts") == "".join(web.head_part(expected, *names) for names in (
        ["title"], ["description", "robots"], ["canonical"], ["opengraph"], ["twitter"], ["jsonld"]))  # fmt: skip
    assert between(page, "payload") == "<title>Payload | Example</title>"
    assert between(page, "route") == '<link rel="canonical" href="https://example.com/x">'
    assert between(page, "none") == ""
    assert between(page, "canonical") == "https://example.com/blog/hello?page=2"


def test_a_wrong_subject_is_a_clear_error():
    template = engines["django"].from_string("{% load zoret %}{% seo_head 3 %}")
    with pytest.raises(TypeError, match="expected an SEOPayload or an SEOEntity, got int"):
        template.render({})


# Django's condition() does the comparison; these rows check that it gets the right tag.
@pytest.mark.parametrize(("method", "headers", "status"), [
    ("get", {}, 200),
    ("head", {"If-None-Match": '"other", W/ETAG'}, 304),
    ("get", {"If-None-Match": '"other"'}, 200),
    ("post", {"If-Match": '"other"'}, 412),
])  # fmt: skip
def test_conditional_get_uses_the_payload_etag(client, method, headers, status):
    etag = zoret.build_seo_payload(POST, "/blog/hello", get_config()).etag()
    headers = {name: value.replace("ETAG", etag) for name, value in headers.items()}
    response = getattr(client, method)("/blog/hello", headers=headers)
    # Django sends the ETag with GET and HEAD responses only.
    assert (response.status_code, response.headers.get("ETag")) == (status, etag if method != "post" else None)  # fmt: skip


def test_no_page_no_etag(client):
    response = client.get("/blog/missing", headers={"If-None-Match": "*"})
    assert (response.status_code, response.headers.get("ETag")) == (200, None)


@pytest.mark.parametrize(("method", "url", "location"), [
    ("get", "/blog/hello/", "/blog/hello"),
    ("head", "/blog//hello?utm_source=x&page=2", "/blog/hello?page=2"),
    ("get", "/blog/hello", None),
    ("post", "/blog/hello/", None),
    ("get", "/static/app.js/", None),
])  # fmt: skip
def test_canonical_redirect_middleware(client, method, url, location):
    response = getattr(client, method)(url)
    if location is None:
        assert response.status_code != 301
    else:
        assert (response.status_code, response.headers["Location"]) == (301, location)
        assert client.get(location).status_code == 200


def test_settings_are_read_once_and_again_when_they_change(client):
    assert get_config() is get_config()
    site = {"canonical_host": "www.example.org", "public_base_url": "https://www.example.org",
            "url_policy": {"trailing_slash": "always"}}  # fmt: skip
    with override_settings(ZORET=site, ZORET_REDIRECT_EXEMPT=["/blog/hello"]):
        assert get_config().to_dict()["canonical_host"] == "www.example.org"
        assert client.get("/blog/hello").status_code == 200  # exempt from "always"
        assert client.get("/blog/other")["Location"] == "/blog/other/"
    assert get_config().to_dict()["canonical_host"] == "example.com"


@pytest.mark.parametrize(("value", "message"), [
    (None, "settings.ZORET is missing"),
    ({"canonical_host": ""}, r"settings.ZORET: SEOConfig.__new__\(\) missing 1 required positional"),
    ({"canonical_host": "a/b", "public_base_url": "x"}, "settings.ZORET: canonical_host must be host-only"),
])  # fmt: skip
def test_bad_settings_are_improperly_configured(value, message):
    with override_settings(ZORET=value), pytest.raises(ImproperlyConfigured, match=message):
        get_config()
