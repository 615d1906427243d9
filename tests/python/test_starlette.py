"""Starlette and FastAPI through Starlette's TestClient and a real uvicorn on 127.0.0.1."""

import json
import threading
import urllib.error
import urllib.request
from typing import Annotated

import pytest

pytest.importorskip("starlette")
fastapi = pytest.importorskip("fastapi")
uvicorn = pytest.importorskip("uvicorn")

import jinja2  # noqa: E402
from starlette.applications import Starlette  # noqa: E402
from starlette.middleware import Middleware  # noqa: E402
from starlette.requests import Request  # noqa: E402
from starlette.responses import PlainTextResponse  # noqa: E402
from starlette.routing import Route  # noqa: E402
from starlette.templating import Jinja2Templates  # noqa: E402
from starlette.testclient import TestClient  # noqa: E402

import zoret  # noqa: E402
from zoret.integrations.fastapi import SEO, PageSEO, PayloadJSON, seo_payload  # noqa: E402
from zoret.integrations.starlette import CanonicalRedirectMiddleware  # noqa: E402

SITE = {"canonical_host": "example.com", "public_base_url": "https://example.com", "site_name": "Example"}  # fmt: skip
seo = SEO(SITE)
templates = seo.install(Jinja2Templates(env=jinja2.Environment(autoescape=True)))
templates.env.loader = jinja2.DictLoader({"page.html": "<head>{{ seo_head(entity, omit=['jsonld']) }}</head>"})  # fmt: skip


def entity(slug: str) -> zoret.SEOEntity:
    return zoret.SEOEntity("post", title=slug.title(), excerpt=f"About {slug}.")


def expected(route):
    return zoret.build_seo_payload(entity("hello"), route, seo.config)


api = fastapi.FastAPI()
api.add_middleware(CanonicalRedirectMiddleware, config=SITE, exempt=["/static"])


@api.get("/plain/{slug}")
def plain(slug: str):  # no annotation: FastAPI encodes the payload as a mapping
    return zoret.build_seo_payload(entity(slug), f"/plain/{slug}", seo.config)


@api.get("/typed/{slug}")
def typed(
    payload: Annotated[zoret.SEOPayload, fastapi.Depends(seo_payload(seo, entity))],
) -> PayloadJSON:
    return payload


@api.get("/seo/{slug}")
@api.head("/seo/{slug}")
@api.put("/seo/{slug}")
def conditional(slug: str, page: Annotated[PageSEO, fastapi.Depends(seo)]):
    return page.response(page.build(entity(slug)))


@api.get("/page/{slug}")
def html(request: Request, slug: str):
    return templates.TemplateResponse(request, "page.html", {"entity": entity(slug)})


@api.get("/static/{name:path}")
def static(name: str):
    return PlainTextResponse(name)


@pytest.fixture(scope="module")
def client():
    with TestClient(api, base_url="http://testserver") as client:
        yield client


@pytest.mark.parametrize("url", ["/plain/hello", "/typed/hello?utm_source=x"])
def test_payloads_returned_from_endpoints_serialise_without_a_response_model(client, url):
    response = client.get(url)
    assert response.status_code == 200
    assert response.json() == expected(url.split("?")[0]).to_dict()


def test_the_openapi_schema_describes_the_typed_payload(client):
    schema = client.get("/openapi.json").json()["paths"]["/typed/{slug}"]["get"]
    body = schema["responses"]["200"]["content"]["application/json"]["schema"]
    assert body["required"] == ["title", "description", "canonical", "robots", "og", "twitter"]


# zoret.web's table covers the comparisons; these rows check the wiring of each header.
@pytest.mark.parametrize(("method", "headers", "status"), [
    ("GET", {}, 200),
    ("HEAD", {"If-None-Match": '"a", W/ETAG'}, 304),
    ("GET", {"If-None-Match": '"a"', "if-none-match": "ETAG"}, 304),  # repeated header
    ("PUT", {"If-None-Match": "*"}, 412),
    ("PUT", {"If-Match": "ETAG"}, 200),
    ("PUT", {"If-Match": "W/ETAG"}, 412),
])  # fmt: skip
def test_conditional_requests(client, method, headers, status):
    etag = expected("/seo/hello").etag()
    headers = {name: value.replace("ETAG", etag) for name, value in headers.items()}
    response = client.request(method, "/seo/hello", headers=headers)
    assert (response.status_code, response.headers["ETag"]) == (status, etag)
    if status == 200 and method == "GET":
        assert response.text == expected("/seo/hello").to_json()
    if status == 304:
        assert response.content == b""


def test_templates_build_at_the_request_route(client):
    page = client.get("/page/hello?page=2").text
    payload = zoret.build_seo_payload(entity("hello"), "/page/hello?page=2", seo.config)
    assert page == "<head>" + zoret.web.render_head(payload, omit=["jsonld"]) + "</head>"


@pytest.mark.parametrize(("method", "url", "location"), [
    ("GET", "/page/hello/", "/page/hello"),
    ("HEAD", "/page//hello?gclid=1&page=2", "/page/hello?page=2"),
    ("GET", "/page/hello", None),
    ("POST", "/page/hello/", None),
    ("GET", "/static/app.js/", None),
])  # fmt: skip
def test_redirect_middleware(client, method, url, location):
    response = client.request(method, url, follow_redirects=False)
    if location is None:  # Starlette's own slash redirect (307) may still answer
        assert response.status_code != 301
    else:
        assert (response.status_code, response.headers["location"]) == (301, location)


def test_plain_starlette_and_a_bad_configuration():
    async def page(request):
        return seo(request).response(seo(request).build(entity("x")))

    app = Starlette(
        routes=[Route("/x", page)],
        middleware=[Middleware(CanonicalRedirectMiddleware, config=seo.config)],
    )
    with TestClient(app) as client:
        assert client.get("/x/", follow_redirects=False).headers["location"] == "/x"
        assert client.get("/x").json()["canonical"] == "https://example.com/x"
    with pytest.raises(ValueError, match="invalid public_base_url"):
        CanonicalRedirectMiddleware(app, {"canonical_host": "h", "public_base_url": "nope"})


class Server(uvicorn.Server):
    def install_signal_handlers(self):  # the test's thread, not the main one
        pass


def test_a_real_uvicorn_server():
    server = Server(uvicorn.Config(api, host="127.0.0.1", port=0, log_level="warning", lifespan="off"))  # fmt: skip
    thread = threading.Thread(target=server.run, daemon=True)
    thread.start()
    try:
        for _ in range(200):  # bounded wait for the socket
            if server.started:
                break
            threading.Event().wait(0.05)
        assert server.started
        port = server.servers[0].sockets[0].getsockname()[1]
        base = f"http://127.0.0.1:{port}"

        class NoRedirect(urllib.request.HTTPRedirectHandler):
            def redirect_request(self, *args):
                return None

        opener = urllib.request.build_opener(NoRedirect)
        with pytest.raises(urllib.error.HTTPError) as moved:
            opener.open(f"{base}/seo/hello/?utm_source=x")
        assert (moved.value.code, moved.value.headers["Location"]) == (301, "/seo/hello")
        moved.value.close()
        with opener.open(f"{base}/seo/hello") as response:
            etag = response.headers["ETag"]
            assert json.loads(response.read())["canonical"] == "https://example.com/seo/hello"
        with pytest.raises(urllib.error.HTTPError) as unchanged:
            opener.open(urllib.request.Request(f"{base}/seo/hello", headers={"If-None-Match": etag}))  # fmt: skip
        assert unchanged.value.code == 304
        unchanged.value.close()
    finally:
        server.should_exit = True
        thread.join(timeout=10)
