"""The example Flask blog on a real server, read by headless Chromium through selenium
(the `browser` fixture is in conftest.py)."""

import sys
import threading
from pathlib import Path

import pytest

pytest.importorskip("flask")
pytest.importorskip("selenium.webdriver")

from werkzeug.serving import make_server

import zoret

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "examples"))
from flask_blog import POSTS, create_app

READ_HEAD = """
const meta = (name) => document.querySelector(`meta[name="${name}"]`)?.content ?? null;
return {
  title: document.title,
  titles: document.querySelectorAll("title").length,
  canonical: [...document.querySelectorAll('link[rel="canonical"]')].map((l) => l.href),
  robots: meta("robots"),
  description: meta("description"),
  ogUrl: document.querySelector('meta[property="og:url"]')?.content ?? null,
  jsonld: [...document.querySelectorAll('script[type="application/ld+json"]')]
    .map((s) => JSON.parse(s.textContent)),
  path: location.pathname + location.search,
};
"""


@pytest.fixture(scope="module")
def server():
    app = create_app()
    httpd = make_server("127.0.0.1", 0, app, threaded=True)
    thread = threading.Thread(target=httpd.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{httpd.server_port}", app
    httpd.shutdown()
    thread.join(timeout=10)


def test_the_live_dom_shows_the_payload(browser, server):
    base, app = server
    browser.get(f"{base}/blog/hello/?utm_source=news&fbclid=x")  # redirected first
    seen = browser.execute_script(READ_HEAD)
    payload = zoret.build_seo_payload(POSTS["hello"], "/blog/hello", app.extensions["zoret"].config)
    assert seen["path"] == "/blog/hello"
    assert (seen["title"], seen["titles"]) == (payload.title, 1)
    assert seen["canonical"] == [payload.canonical]
    assert (seen["robots"], seen["description"]) == (payload.robots, payload.description)
    assert seen["ogUrl"] == payload.og.url
    assert seen["jsonld"] == [payload.schema_jsonld]
