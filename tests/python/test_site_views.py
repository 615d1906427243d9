"""Sitemap and robots.txt views of the Django, Flask and Starlette adapters, through each
framework's own test client: the URLs are zoret's canonicals, not the request's host."""

import datetime
import sys
from pathlib import Path

import pytest
from lxml import etree
from protego import Protego

import zoret
from zoret.site import RobotsGroup, SitemapEntry

django = pytest.importorskip("django")
from django.conf import settings  # noqa: E402

if not settings.configured:  # alone; with the Django suite its settings are used
    settings.configure(SECRET_KEY="test", ROOT_URLCONF=__name__, ALLOWED_HOSTS=["testserver"],
                       INSTALLED_APPS=["zoret.integrations.django"],
                       ZORET={"canonical_host": "example.com", "public_base_url": "https://example.com"})  # fmt: skip
    django.setup()

from django.contrib.sitemaps import Sitemap  # noqa: E402
from django.test import Client, override_settings  # noqa: E402
from django.urls import path  # noqa: E402

from zoret.integrations.django.views import robots_txt, sitemap_urls  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]
SLUGS = [f"post-{n}" for n in range(5)]
CANONICAL = [f"https://example.com/blog/{slug}" for slug in SLUGS]


def locs(body):
    tree = etree.fromstring(body)
    return [loc.text for loc in tree.iter("{http://www.sitemaps.org/schemas/sitemap/0.9}loc")]


class Post:
    def __init__(self, slug):
        self.slug = slug

    def get_absolute_url(self):
        return f"/blog/{self.slug}/?utm_source=feed"


class PostSitemap(Sitemap):  # written for django.contrib.sitemaps, used as it is
    def items(self):
        return [Post(slug) for slug in SLUGS]

    def lastmod(self, post):
        return datetime.datetime(2024, 5, 1, 10, 0)  # naive: the current time zone


class HomeSitemap:  # only what zoret reads, with its two extra methods
    def items(self):
        return ["/"]

    def location(self, item):
        return item

    def hreflang(self, item):
        return [("en", "/"), ("de", "/de/")]

    def images(self, item):
        return ["/logo.png"]


urlpatterns = [*sitemap_urls({"home": HomeSitemap, "posts": PostSitemap()}), path("robots.txt", robots_txt)]  # fmt: skip


@pytest.fixture
def django_client():
    with override_settings(ROOT_URLCONF=__name__, TIME_ZONE="Europe/Berlin", ZORET_ROBOTS={"production": True,
                           "groups": [{"user_agents": ["*"], "disallow": ["/admin/"]}]}):  # fmt: skip
        yield Client()


def test_django_sitemap_takes_contrib_sitemaps_and_writes_canonical_urls(django_client):
    response = django_client.get("/sitemap.xml")
    assert (response.status_code, response["Content-Type"]) == (200, "application/xml; charset=utf-8")  # fmt: skip
    assert locs(response.content) == [
        "https://example.com/",
        *CANONICAL,
    ]  # not https://testserver/...
    tree = etree.fromstring(response.content)
    assert {e.text for e in tree.iter("{*}lastmod")} == {"2024-05-01T10:00:00+02:00"}
    assert [e.get("hreflang") for e in tree.iter("{http://www.w3.org/1999/xhtml}link")] == ["en", "de"]  # fmt: skip
    assert django_client.get("/sitemap-1.xml").status_code == 404


def test_django_robots_names_the_sitemap_and_follows_the_settings(django_client):
    response = django_client.get("/robots.txt")
    robots = Protego.parse(response.content.decode())
    assert response["Content-Type"] == "text/plain; charset=utf-8"
    assert [robots.can_fetch(f"https://example.com{p}", "Bot") for p in ("/admin/x", "/")] == [False, True]  # fmt: skip
    assert list(robots.sitemaps) == ["https://example.com/sitemap.xml"]
    with override_settings(ZORET_ROBOTS={}):  # testserver is not the canonical host
        assert "Disallow: /\n" in django_client.get("/robots.txt").content.decode()


# --- Flask: the example app ---------------------------------------------------------------------

sys.path.insert(0, str(ROOT / "examples"))
flask = pytest.importorskip("flask")
from flask_blog import create_app  # noqa: E402


def test_flask_example_serves_sitemap_robots_and_a_pdf_with_header_signals():
    client = create_app().test_client()
    assert locs(client.get("/sitemap.xml").data) == ["https://example.com/blog/hello"]
    robots = Protego.parse(client.get("/robots.txt").get_data(as_text=True))
    assert list(robots.sitemaps) == ["https://example.com/sitemap.xml"]
    assert not robots.can_fetch("https://example.com/seo/blog/hello", "Bot")
    pdf = client.get("/guides/hello.pdf")
    assert (pdf.content_type, pdf.headers["Link"], pdf.headers["X-Robots-Tag"]) == (
        "application/pdf", '<https://example.com/blog/hello>; rel="canonical"', "noindex,follow")  # fmt: skip


def test_flask_sitemap_splits_and_serves_every_numbered_file():
    from zoret.integrations.flask import Zoret

    app = flask.Flask(__name__)
    app.config.update(ZORET={"canonical_host": "example.com", "public_base_url": "https://example.com"},
                      ZORET_REDIRECT=False)  # fmt: skip
    seo = Zoret(app)
    seo.add_sitemap(app, lambda: (f"/p/{n}" for n in range(50_001)), path="/maps/sitemap.xml")
    client = app.test_client()
    index = locs(client.get("/maps/sitemap.xml").data)
    assert index == [f"https://example.com/maps/sitemap-{n}.xml" for n in (1, 2)]
    assert locs(client.get("/maps/sitemap-2.xml").data) == ["https://example.com/p/50000"]
    assert client.get("/maps/sitemap-3.xml").status_code == 404


# --- Starlette ------------------------------------------------------------------------------------

starlette = pytest.importorskip("starlette")
from starlette.applications import Starlette  # noqa: E402
from starlette.testclient import TestClient  # noqa: E402

from zoret.integrations.starlette import SEO  # noqa: E402


def test_starlette_routes_serve_canonical_sitemap_and_host_aware_robots():
    seo = SEO({"canonical_host": "example.com", "public_base_url": "https://example.com",
               "url_policy": {"trailing_slash": "always"}})  # fmt: skip

    pages = [SitemapEntry("/docs", lastmod=datetime.date(2024, 1, 2)), "/docs/intro?utm_medium=x"]
    robots_route = seo.robots_route([RobotsGroup("*", disallow=["/private/"])])
    app = Starlette(routes=[*seo.sitemap_routes(lambda: iter(pages)), robots_route])
    client = TestClient(app, base_url="https://example.com")
    sitemap = locs(client.get("/sitemap.xml").content)
    assert sitemap == ["https://example.com/docs/", "https://example.com/docs/intro/"]
    robots = Protego.parse(client.get("/robots.txt").text)
    assert list(robots.sitemaps) == ["https://example.com/sitemap.xml"]
    assert not robots.can_fetch("https://example.com/private/x", "Bot")
    staging = TestClient(app, base_url="https://staging.example.com").get("/robots.txt").text
    assert Protego.parse(staging).can_fetch("https://staging.example.com/docs/", "Bot") is False


def test_sitemap_path_refuses_what_cannot_name_the_set():
    with pytest.raises(ValueError, match=r"looks like /sitemap\.xml"):
        SEO(zoret.SEOConfig("example.com", "https://example.com")).sitemap_routes(list, path="/S.XML")  # fmt: skip
