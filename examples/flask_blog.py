"""A small Flask blog whose head tags, canonical redirect and ETags come from zoret.

Run it with ``PYTHONPATH=python python examples/flask_blog.py`` and open
http://127.0.0.1:5000/blog/hello/?utm_source=news (redirected to /blog/hello), or
http://127.0.0.1:5000/seo/blog/hello for the payload as JSON with its ETag. The
sitemap (/sitemap.xml) and robots.txt list the canonical URLs, and /guides/hello.pdf
carries the page's signals as headers (Link rel=canonical, X-Robots-Tag), since a PDF
has no head.
"""

from __future__ import annotations

import flask

import zoret
from zoret.integrations.flask import Zoret
from zoret.site import RobotsGroup, SitemapEntry, response_headers

POSTS = {
    "hello": zoret.SEOEntity(
        "post",
        title="Hello, deterministic metadata",
        excerpt="Same inputs, same bytes: how zoret resolves a page's SEO metadata.",
        published_at="2026-12-06",
        author_name="Ada Example",
        breadcrumbs=[zoret.Breadcrumb("Home", "/"), zoret.Breadcrumb("Hello", "/blog/hello")],
    ),
}
PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
{{ seo_head(post) }}</head>
<body><h1>{{ post.title }}</h1><p>{{ post.excerpt }}</p></body>
</html>
"""


def create_app() -> flask.Flask:
    """The blog, configured for https://example.com."""
    app = flask.Flask(__name__)
    app.config["ZORET"] = {
        "canonical_host": "example.com",
        "public_base_url": "https://example.com",
        "site_name": "Example Journal",
        "title_template": "{title} | Example Journal",
        "default_og_image": {"url": "/static/og.png", "width": 1200, "height": 630},
    }
    seo = Zoret(app)

    def find(slug: str) -> zoret.SEOEntity:
        post = POSTS.get(slug)
        if post is None:
            flask.abort(404)
        return post

    @app.get("/blog/<slug>")
    def post_page(slug: str) -> str:
        return flask.render_template_string(PAGE, post=find(slug))

    @app.get("/seo/blog/<slug>")
    def post_seo(slug: str) -> flask.Response:
        return seo.response(seo.payload(find(slug)))

    @app.get("/guides/<slug>.pdf")
    def post_pdf(slug: str) -> flask.Response:
        # Not HTML: the canonical link and the robots directives travel as headers.
        guide = zoret.SEOOverrides(robots=zoret.Robots(index=False))
        payload = seo.payload(find(slug), guide, route=f"/blog/{slug}")
        return flask.Response(
            b"%PDF-1.4\n%...\n", mimetype="application/pdf", headers=response_headers(payload)
        )

    seo.add_sitemap(
        app,
        lambda: (
            SitemapEntry(f"/blog/{slug}", lastmod=post.to_dict()["published_at"])
            for slug, post in POSTS.items()
        ),
    )
    seo.add_robots(app, [RobotsGroup("*", disallow=["/seo/"])], production=True)

    return app


if __name__ == "__main__":
    create_app().run(host="127.0.0.1", port=5000)
