"""Audits over HTTP against a real server on 127.0.0.1: redirects recorded, statuses kept
as facts, retries, timeouts, gzip, sitemap indexes, robots.txt, and nothing fetched but
what was asked for."""

import contextlib
import gzip
import threading
import time
import zlib
from collections import Counter
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import pytest

pytest.importorskip("httpx")
pytest.importorskip("selectolax")

import zoret
from zoret.audit import AuditError, HttpOptions, audit
from zoret.check import Contract

NS = 'xmlns="http://www.sitemaps.org/schemas/sitemap/0.9"'
FAST = HttpOptions(concurrency=4, timeout=1.0, retries=1, backoff=0.01)


def page(title, *head):
    return ("<!doctype html><html><head><title>" + title + "</title>" + "".join(head)
            + "</head><body>" + title + "</body></html>").encode()  # fmt: skip


def canonical(path):
    return f'<link rel="canonical" href="https://example.com{path}">'


class Gzip:
    """A body sent gzipped, its {base} replaced first."""

    def __init__(self, plain):
        self.plain = plain


class Site:
    """What the server answers, path by path, and what it was asked."""

    def __init__(self):
        self.requests = Counter()
        self.base = ""
        html = [("Content-Type", "text/html; charset=utf-8")]
        self.routes = {
            "/": (200, html, page("Home", canonical("/"))),
            "/blog/a": (200, html, page("A", canonical("/blog/a"))),
            "/blog/b": (301, [("Location", "/blog/b/")], b""),
            "/blog/b/": (302, [("Location", "http://127.0.0.1:{port}/blog/b-final")], b""),
            "/blog/b-final": (200, html, page("B", canonical("/blog/b"))),
            "/loop": (302, [("Location", "/loop2")], b""),
            "/loop2": (302, [("Location", "/loop")], b""),
            "/away": (301, [("Location", "https://elsewhere.example/")], b""),
            "/missing": (404, html, page("Not found")),
            "/broken": (500, html, page("Oops")),
            "/gzip": (200, [*html, ("Content-Encoding", "gzip")], gzip.compress(page("Zipped", canonical("/gzip")))),
            "/doc.pdf": (200, [("Content-Type", "application/pdf"), ("X-Robots-Tag", "noindex")], b"%PDF-1.4"),
            "/latin": (200, [("Content-Type", "text/html; charset=iso-8859-1")], page("Caf\xe9").replace(b"\xc3\xa9", b"\xe9")),
            "/private/x": (200, html, page("Private", canonical("/private/x"))),
            "/robots.txt": (200, [("Content-Type", "text/plain")], b"User-agent: *\nDisallow: /private/\n"),
            "/sitemap_index.xml": (200, [("Content-Type", "application/xml")], (
                f"<sitemapindex {NS}><sitemap><loc>{{base}}/sitemap-1.xml.gz</loc></sitemap>"
                f"<sitemap><loc>{{base}}/sitemap-2.xml</loc></sitemap></sitemapindex>").encode()),
            "/sitemap-1.xml.gz": (200, [("Content-Type", "application/gzip")], Gzip(self.urlset(
                "/", "/blog/a", "/blog/b", "/private/x", "/missing"))),
            "/sitemap-2.xml": (200, [("Content-Type", "application/xml"), ("Content-Encoding", "gzip")],
                               Gzip(self.urlset("/gzip", "/doc.pdf", "/loop"))),
        }  # fmt: skip

    @staticmethod
    def urlset(*paths):
        urls = "".join(f"<url><loc>{{base}}{p}</loc></url>" for p in paths)
        return f"<urlset {NS}>{urls}</urlset>".encode()

    def answer(self, path):
        self.requests[path] += 1
        if path == "/slow":
            time.sleep(1.5)
            return 200, [("Content-Type", "text/html")], page("Slow")
        if path == "/bomb.xml.gz":  # 60 MiB of spaces in 60 KiB
            bomb = zlib.compressobj(9, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
            body = bomb.compress(f"<urlset {NS}>".encode())
            body += b"".join(bomb.compress(b" " * (1 << 20)) for _ in range(60)) + bomb.flush()
            return 200, [("Content-Type", "application/gzip")], body
        if path == "/flaky":
            if self.requests[path] == 1:
                return 503, [("Retry-After", "0")], b""
            return 200, [("Content-Type", "text/html")], page("Flaky", canonical("/flaky"))
        status, headers, body = self.routes.get(path, (404, [], b"not here"))
        port = self.base.rsplit(":", 1)[1]
        headers = [(k, v.replace("{port}", port)) for k, v in headers]
        if isinstance(body, Gzip):
            return status, headers, gzip.compress(body.plain.replace(b"{base}", self.base.encode()))
        return status, headers, body.replace(b"{base}", self.base.encode())


@pytest.fixture
def site():
    state = Site()

    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            if self.path == "/stall.xml":  # the first answer stops halfway for a while
                paths = [f"/page-{n}" for n in range(2000)]  # past the reader's 64 KiB chunks
                body = state.urlset(*paths).replace(b"{base}", state.base.encode())
                state.requests[self.path] += 1
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body[: 100 << 10])
                self.wfile.flush()
                time.sleep(0.6 if state.requests[self.path] == 1 else 0)
                with contextlib.suppress(BrokenPipeError, ConnectionResetError):
                    self.wfile.write(body[100 << 10 :])
                return
            status, headers, body = state.answer(self.path)
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            try:
                self.wfile.write(body)
            except (BrokenPipeError, ConnectionResetError):  # the client gave up (timeout)
                pass

        def log_message(self, *args):
            pass

    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    state.base = f"http://127.0.0.1:{server.server_port}"
    thread = threading.Thread(target=server.serve_forever, args=(0.05,), daemon=True)
    thread.start()
    yield state
    server.shutdown()
    server.server_close()
    thread.join(timeout=10)


def contract():
    E = zoret.SEOExpectation
    return Contract(zoret.build_seo_contract(zoret.SEOContractConfig(
        "example.com", defaults=E(required=True, canonical="self", sitemap_required=True),
    )))  # fmt: skip


def test_a_sitemap_index_is_followed_and_each_page_fetched(site):
    report = audit(f"{site.base}/sitemap_index.xml", contract=contract(), rules=False, http=FAST,
                   workers=1)  # fmt: skip
    pages = {page.route: page for page in report.pages}
    listed = ["/", "/blog/a", "/blog/b", "/private/x", "/missing", "/gzip", "/doc.pdf", "/loop"]
    assert list(pages) == sorted(listed)
    b = pages["/blog/b"].http
    assert b.chain == (
        (301, f"{site.base}/blog/b"),
        (302, f"{site.base}/blog/b/"),
        (200, f"{site.base}/blog/b-final"),
    )
    assert (b.status, b.final_status, b.final_url) == (301, 200, f"{site.base}/blog/b-final")
    assert pages["/missing"].status == 404
    assert pages["/loop"].error == f"redirect loop at {site.base}/loop"
    assert [page.address for page in report.unreadable] == [f"{site.base}/loop"]
    fields = {(v.route, v.field) for v in report.violations}
    assert fields == {
        ("/blog/b", "required"),  # the address answers 301: no page there
        ("/missing", "required"),
        ("/missing", "canonical"),
        ("/doc.pdf", "canonical"),  # a PDF has no head
    }
    assert report.sitemap_urls == tuple((site.base + p, p == "/private/x") for p in listed)
    # Nothing but the named sitemap, its children, robots.txt, the pages and their redirects.
    assert set(site.requests) == {
        "/sitemap_index.xml", "/sitemap-1.xml.gz", "/sitemap-2.xml", "/robots.txt",
        "/", "/blog/a", "/blog/b", "/blog/b/", "/blog/b-final", "/private/x", "/missing",
        "/gzip", "/doc.pdf", "/loop", "/loop2",
    }  # fmt: skip


def test_the_site_rules_over_http(site):
    report = audit(f"{site.base}/sitemap_index.xml", http=FAST, workers=1)
    found = {(v.route, v.rule_id) for v in report.violations}
    # No host named: the sitemap's (the server's) is the site's, and the canonical URLs on
    # example.com are elsewhere (test_audit_planted.py names the host).
    assert found == {(r, "ZORET208") for r in ["/", "/blog/a", "/gzip", "/private/x"]} | {
        ("/", "ZORET203"), ("/blog/a", "ZORET203"), ("/gzip", "ZORET203"),
        ("/private/x", "ZORET203"),
        ("/private/x", "ZORET214"),
        ("/blog/b", "ZORET213"),  # redirects, and its head is not checked
        ("/missing", "ZORET213"),
        ("/doc.pdf", "ZORET212"),  # noindex by its header; a PDF has no title to miss
    }  # fmt: skip
    moved = next(v for v in report.violations if v.route == "/blog/b")
    assert moved.actual == f"status 301, redirects to {site.base}/blog/b-final"


def test_pages_named_one_by_one(site):
    urls = [
        f"{site.base}{path}"
        for path in ["/latin", "/away", "/gzip", "/doc.pdf", "/flaky", "/broken"]
    ]
    report = audit(
        urls, contract=contract(), sitemap=f"{site.base}/sitemap-2.xml", http=FAST, workers=1
    )
    pages = {page.route: page for page in report.pages}
    assert pages["/away"].http.unfollowed == "https://elsewhere.example/"
    assert pages["/flaky"].status == 200 and site.requests["/flaky"] == 2  # retried after a 503
    assert pages["/broken"].status == 500 and site.requests["/broken"] == 2  # kept as a fact
    not_in_sitemap = {v.route for v in report.violations if v.field == "sitemap.required"}
    assert not_in_sitemap == {"/latin", "/away", "/flaky", "/broken"}
    assert report.sitemap_urls == tuple(
        (f"{site.base}{p}", False) for p in ["/gzip", "/doc.pdf", "/loop"]
    )
    assert site.requests["/robots.txt"] == 1


def test_what_a_page_says_over_http(site):
    report = audit([f"{site.base}/latin", f"{site.base}/doc.pdf"], contract=Contract(
        zoret.build_seo_contract(zoret.SEOContractConfig("example.com", defaults=zoret.SEOExpectation(
            indexable=True, title=zoret.SEOExpectation(equals="Café"))))), rules=False, http=FAST,
        workers=1)  # fmt: skip
    # The Latin-1 page's title reads as "Café"; the PDF has no title to compare.
    assert [(v.route, v.field) for v in report.violations] == [("/doc.pdf", "indexable")]


def test_a_slow_page_times_out_and_is_reported(site):
    started = time.monotonic()
    report = audit(
        f"{site.base}/slow", http=HttpOptions(timeout=0.3, retries=1, backoff=0.01), workers=1
    )
    assert report.pages[0].error == "no complete answer within 0.3 s"
    assert site.requests["/slow"] == 2 and time.monotonic() - started < 1.5


@pytest.mark.parametrize(("location", "message"), [
    ("/bomb.xml.gz", "/bomb.xml.gz: larger than 52428800 bytes uncompressed: refused"),
    ("/nowhere.xml", "/nowhere.xml: HTTP status 404"),
    # Half a sitemap was read: asking again would feed its start to the reader twice.
    ("/stall.xml", r"/stall.xml: no complete answer within 0.3 s \(the body broke off after \d+ bytes\)"),
])  # fmt: skip
def test_a_sitemap_that_cannot_be_read_stops_the_audit(site, location, message):
    # A slow machine (a sanitizer build) takes its time over the bomb's 60 MiB.
    timeout = 0.3 if location == "/stall.xml" else 60
    with pytest.raises(AuditError, match=message):
        audit(site.base + location, http=HttpOptions(timeout=timeout, retries=1, backoff=0.01))
    assert site.requests[location] == 1


def test_an_address_nobody_answers():
    report = audit("http://127.0.0.1:9/", http=HttpOptions(timeout=0.5, retries=0), workers=1)
    assert report.pages[0].error.startswith("ConnectError: ")
