"""zoret.site read back by real clients: lxml against the sitemaps.org schemas, Protego,
selectolax and html5lib; bad input and failing disks leave the old set in place."""

import datetime
import gzip
import os
import pickle
import resource
import signal
import subprocess
import sys
from pathlib import Path
from urllib.parse import unquote

import html5lib
import pytest
from lxml import etree
from protego import Protego
from selectolax.lexbor import LexborHTMLParser as HTMLParser

import zoret
from zoret.hooks import HookRegistry
from zoret.site import (
    RobotsGroup,
    SitemapEntry,
    render_hreflang,
    render_robots,
    response_headers,
    write_sitemaps,
)

DATA = Path(__file__).parent / "data" / "sitemaps"
NS = {"s": "http://www.sitemaps.org/schemas/sitemap/0.9", "x": "http://www.w3.org/1999/xhtml",
      "i": "http://www.google.com/schemas/sitemap-image/1.1"}  # fmt: skip
SITE = zoret.SEOConfig("example.com", "https://example.com",
                       url_policy=zoret.URLPolicy(trailing_slash="always"))  # fmt: skip
UTC = datetime.UTC


def schema(name):
    return etree.XMLSchema(etree.parse(str(DATA / name)))


URLSET, INDEX = schema("sitemap.xsd"), schema("siteindex.xsd")


def parse(path):
    data = Path(path).read_bytes()
    tree = etree.fromstring(gzip.decompress(data) if path.endswith(".gz") else data)
    (URLSET if tree.tag.endswith("urlset") else INDEX).assertValid(tree)
    return tree


def locs(tree):
    return tree.xpath("//s:loc/text()", namespaces=NS)


def canonical(route):
    return zoret.build_seo_payload(zoret.SEOEntity("page", title="x"), route, SITE).canonical


# --- SitemapEntry ----------------------------------------------------------------------------


@pytest.mark.parametrize(("lastmod", "stored"), [
    ("2024", "2024-01-01"), ("2024-05-01T10:00+02:00", "2024-05-01T10:00:00+02:00"),
    (datetime.date(2024, 2, 29), "2024-02-29"),
    (datetime.datetime(2024, 5, 1, 10, 0, 0, 5, tzinfo=UTC), "2024-05-01T10:00:00.000005+00:00"),
    (None, None),
])  # fmt: skip
def test_entry_keeps_lastmod_in_the_form_the_schema_validates(lastmod, stored):
    entry = SitemapEntry("/a", lastmod, {"en-us": "/a", "X-Default": "/"}, ["/i.png"])
    assert (entry.lastmod, entry.alternates) == (stored, (("en-US", "/a"), ("x-default", "/")))
    again = pickle.loads(pickle.dumps(entry))
    assert again == entry and hash(again) == hash(entry) and again is not entry
    assert eval(repr(entry), {"SitemapEntry": SitemapEntry}) == entry
    assert entry != SitemapEntry("/a", lastmod, {"en-US": "/a"}, ["/i.png"])


@pytest.mark.parametrize(("kwargs", "error", "text"), [
    ({"lastmod": datetime.datetime(2024, 1, 1)}, zoret.EntityError, "has no time zone"),
    ({"lastmod": "2024-02-30"}, zoret.EntityError, "day 30 does not exist in February 2024"),
    ({"lastmod": 20240101}, TypeError, "not 'int'"),
    ({"alternates": [("en_US", "/a")]}, zoret.EntityError, 'invalid language tag "en_US"'),
    ({"alternates": [("en", "/a", "x")]}, TypeError, "length 2"),
    ({"images": "/one.png"}, TypeError, "str"),
    ({"route": "/caf\udce9"}, UnicodeEncodeError, "surrogates not allowed"),
])  # fmt: skip
def test_entry_refuses_bad_fields_naming_them(kwargs, error, text):
    with pytest.raises(error, match=text) as caught:
        SitemapEntry(**{"route": "/a", **kwargs})
    assert caught.value.__notes__ == [f"while processing '{next(iter(kwargs))}'"]


# --- write_sitemaps ----------------------------------------------------------------------------

ROUTES = ["/", "/blog/Hello World/", "/a?utm_source=x&page=2", "https://other.example/x/",
          "javascript:alert(1)", "/caf\u00e9/<&>'\"", "//evil.example/x", "/ünï/cödé"]  # fmt: skip


@pytest.mark.parametrize("compress", [False, True])
def test_sets_validate_and_every_loc_is_the_pages_canonical(tmp_path, compress):
    entries = [*ROUTES, SitemapEntry("/fr/", "2024-05-01T10:00:00Z", [("fr", "/fr/"), ("en", "/")],
                                     ["/img/a.png", "https://cdn.example/b.png#x"])]  # fmt: skip
    written = write_sitemaps(iter(entries), SITE, tmp_path, gzip=compress, max_urls_per_file=3)
    suffix = ".xml.gz" if compress else ".xml"
    assert [Path(p).name for p in written] == [f"sitemap{suffix}"] + [
        f"sitemap-{n}{suffix}" for n in (1, 2, 3)]  # fmt: skip
    index = parse(written[0])
    assert locs(index) == [f"https://example.com/sitemap-{n}{suffix}" for n in (1, 2, 3)]
    urls = [loc for path in written[1:] for loc in locs(parse(path))]
    # The head's canonical link, written as a URI: decoded, each loc is that URL.
    assert [unquote(u) for u in urls] == [unquote(canonical(r)) for r in [*ROUTES, "/fr/"]]
    assert all(u.isascii() and " " not in u for u in urls)
    last = parse(written[-1])
    assert last.xpath("//x:link/@href", namespaces=NS) == ["https://example.com/fr/", "https://example.com/"]  # fmt: skip
    assert last.xpath("//i:loc/text()", namespaces=NS) == [
        "https://example.com/img/a.png",
        "https://cdn.example/b.png",
    ]
    assert last.xpath("//s:lastmod/text()", namespaces=NS) == ["2024-05-01T10:00:00Z"]


def old_set(directory):
    write_sitemaps(["/old-1", "/old-2", "/old-3"], SITE, directory, max_urls_per_file=2)
    return {p.name: p.read_bytes() for p in Path(directory).iterdir()}


def boom():
    yield "/new"
    raise KeyError("the caller's own error")


@pytest.mark.parametrize(("entries", "error", "text"), [
    (boom(), KeyError, "the caller's own error"),
    (["/new", "/ok", 3], TypeError, r"sitemap entry 3: expected a route \(str\) or a SitemapEntry, got 'int'"),
    (["/new", "/caf\udce9"], UnicodeEncodeError, "surrogates"),
    (["/new", "/a\r\nX-Injected: 1"], zoret.InvalidUrlError, r'sitemap entry 2 \("/a\\r\\nX-Injected: 1"\)'),
    (["/new", ""], zoret.InvalidUrlError, r'sitemap entry 2 \(""\)'),
    ([SitemapEntry("/en", alternates=[("en", "/en"), ("EN", "/x")])], zoret.EntityError, "appears twice"),
    (42, TypeError, "not iterable"),
])  # fmt: skip
def test_a_failure_midway_leaves_the_old_set_as_it_was(tmp_path, entries, error, text):
    before = old_set(tmp_path)
    with pytest.raises(error, match=text) as caught:
        write_sitemaps(entries, SITE, tmp_path)
    if error is UnicodeEncodeError:
        assert caught.value.__notes__ == ["while processing sitemap entry 2 ('/caf\\udce9')"]
    assert {p.name: p.read_bytes() for p in tmp_path.iterdir()} == before


# The option checks are the core suite's; these rows show each error class reaching Python.
@pytest.mark.parametrize(("kwargs", "error", "text"), [
    ({"max_urls_per_file": 0}, zoret.ConfigurationError, "max_urls_per_file"),
    ({"public_path": "/a\nb"}, zoret.InvalidUrlError, "control character"),
])  # fmt: skip
def test_options_out_of_range_are_configuration_errors(tmp_path, kwargs, error, text):
    with pytest.raises(error, match=text):
        write_sitemaps(["/"], SITE, tmp_path, **kwargs)


def test_a_missing_directory_is_file_not_found_with_its_name(tmp_path):
    with pytest.raises(FileNotFoundError) as caught:
        write_sitemaps(["/"], SITE, tmp_path / "missing")
    assert (caught.value.errno, caught.value.filename) == (2, str(tmp_path / "missing"))


@pytest.fixture
def small_disk(tmp_path):
    """A directory that fills up after a few kilobytes, and the errno writes then get:
    a 64 KiB tmpfs where mounting is allowed, else a file-size limit (EFBIG)."""
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", str(tmp_path)],
                             capture_output=True).returncode == 0  # fmt: skip
    saved = resource.getrlimit(resource.RLIMIT_FSIZE)
    handler = signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    try:
        yield tmp_path, (28 if mounted else 27), lambda: mounted or resource.setrlimit(
            resource.RLIMIT_FSIZE, (32 * 1024, saved[1]))  # fmt: skip
    finally:
        resource.setrlimit(resource.RLIMIT_FSIZE, saved)
        signal.signal(signal.SIGXFSZ, handler)
        if mounted:
            subprocess.run(["umount", "-l", str(tmp_path)], check=True)


def test_a_full_disk_raises_oserror_with_errno_and_keeps_the_old_set(small_disk):
    directory, code, fill_up = small_disk
    before = old_set(directory)
    fill_up()
    with pytest.raises(OSError) as caught:
        write_sitemaps((f"/page/{n}" for n in range(10_000)), SITE, directory)
    assert caught.value.errno == code and caught.value.filename.startswith(str(directory))
    assert "previous set" in caught.value.__notes__[0]
    assert {p.name: p.read_bytes() for p in directory.iterdir()} == before


MILLION = """
import resource, sys, tempfile
sys.path.insert(0, sys.argv[1])
import zoret
from zoret.site import write_sitemaps
site = zoret.SEOConfig("example.com", "https://example.com")
def peak(n):
    with tempfile.TemporaryDirectory() as d:
        written = write_sitemaps((f"/p/{i}" for i in range(n)), site, d)
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss, len(written)
print(*peak(20_000), *peak(1_000_000))
"""


@pytest.mark.scale
def test_a_million_entries_stream_in_flat_memory():
    root = str(Path(zoret.__file__).parents[1])
    env = dict(os.environ)
    if "asan" in env.get("LD_PRELOAD", ""):  # freed blocks held in quarantine would read as growth
        env["ASAN_OPTIONS"] = env.get("ASAN_OPTIONS", "") + ":quarantine_size_mb=0"
    out = subprocess.run([sys.executable, "-c", MILLION, root], check=True, capture_output=True, env=env,
                         text=True, timeout=600).stdout.split()  # fmt: skip
    small_kib, _, large_kib, files = map(int, out)
    # The URL texts alone would take about 70 MB if they were held.
    assert (files, large_kib - small_kib < 8 * 1024) == (21, True), out


# --- robots.txt, hreflang, headers -----------------------------------------------------------


def test_robots_txt_reads_back_through_protego():
    groups = [RobotsGroup(["Googlebot", "Bingbot"], allow=["/private/open$"], disallow=["/private/"]),
              RobotsGroup("*", disallow=["/admin", "/search?q=*", "/caf\u00e9 #1"])]  # fmt: skip
    text = render_robots(SITE, groups, sitemaps=["/sitemap.xml", "https://elsewhere.example/s.xml"],
                         comments=["hello"])  # fmt: skip
    robots = Protego.parse(text)
    table = [("Googlebot", "/private/x", False), ("Googlebot", "/private/open", True),
             ("Googlebot", "/admin", True), ("SomeBot", "/admin/x", False), ("SomeBot", "/private/x", True),
             ("SomeBot", "/search?q=zoret", False), ("SomeBot", "/caf%C3%A9%20%231", False)]  # fmt: skip
    assert [robots.can_fetch(f"https://example.com{p}", a) for a, p, _ in table] == [w for *_, w in table]  # fmt: skip
    assert list(robots.sitemaps) == ["https://example.com/sitemap.xml", "https://example.com/s.xml"]


@pytest.mark.parametrize(("options", "production"), [
    ({"host": "example.com:443"}, True), ({"host": "EXAMPLE.com."}, True), ({"host": "staging.example.com"}, False),
    ({"host": "staging.example.com", "production": True}, True), ({"production": False}, False), ({}, True),
])  # fmt: skip
def test_robots_keeps_crawlers_off_other_hosts(options, production):
    text = render_robots(SITE, [RobotsGroup("*", disallow=["/admin"])], sitemaps=["/sitemap.xml"], **options)  # fmt: skip
    robots = Protego.parse(text)
    assert robots.can_fetch("https://example.com/blog", "AnyBot") is production
    assert bool(list(robots.sitemaps)) is production


@pytest.mark.parametrize(("groups", "text"), [
    ([RobotsGroup("*", allow=["/a\nDisallow: /"])], "CR, LF and NUL"), ([("*", [])], "RobotsGroup records"),
])  # fmt: skip
def test_robots_refuses_what_would_break_the_format(groups, text):
    with pytest.raises((zoret.ConfigurationError, TypeError), match=text):
        render_robots(SITE, groups)


ALTERNATES = [("en-us", "/en/"), ("de-DE", "/de/?utm_source=x"), ("zh-hant-tw", '/zh/"<>'), ("x-default", "/")]  # fmt: skip


def test_hreflang_lines_read_back_through_html5_parsers():
    html = render_hreflang(ALTERNATES, SITE, current_route="/en?utm_source=news")
    expected = [(tag, canonical(route)) for tag, route in
                [("en-US", "/en/"), ("de-DE", "/de/"), ("zh-Hant-TW", '/zh/"<>'), ("x-default", "/")]]  # fmt: skip
    tree = HTMLParser(f"<head>{html}</head>")
    assert [
        (n.attributes["hreflang"], n.attributes["href"]) for n in tree.css("link[rel=alternate]")
    ] == expected
    document = html5lib.parse(f"<head>{html}</head>", namespaceHTMLElements=False)
    assert [(n.get("hreflang"), n.get("href")) for n in document.iter("link")] == expected


@pytest.mark.parametrize(("alternates", "kwargs", "text"), [
    (ALTERNATES, {}, "current_route is needed"), (ALTERNATES, {"current_route": "/fr/"}, "do not include the page itself"),
    ([("en-", "/")], {"require_self_reference": False}, 'invalid language tag "en-"'),
])  # fmt: skip
def test_hreflang_refuses_sets_search_engines_ignore(alternates, kwargs, text):
    with pytest.raises(zoret.EntityError, match=text):
        render_hreflang(alternates, SITE, **kwargs)


# The header encodings are the core suite's; here the list reaches Python, and a canonical
# a hook broke is refused as InvalidUrlError.
def test_response_headers_and_a_canonical_with_a_line_break():
    overrides = zoret.SEOOverrides(robots=zoret.Robots(index=False))
    payload = zoret.build_seo_payload(zoret.SEOEntity("page"), "/a b/ü", SITE, overrides)
    assert response_headers(payload) == [("Link", '<https://example.com/a%20b/%C3%BC/>; rel="canonical"'),
                                         ("X-Robots-Tag", "noindex,follow")]  # fmt: skip
    hooks = HookRegistry()

    @hooks.post_process
    def inject(payload, entity, config):
        payload["canonical"] = "https://example.com/\r\nSet-Cookie: a=b"

    site = zoret.SEOConfig("example.com", "https://example.com", hooks=hooks)
    payload = zoret.build_seo_payload(zoret.SEOEntity("page", title="x"), "/", site)
    assert "\r\n" in payload.canonical  # the head keeps it as given; a header must not
    with pytest.raises(zoret.InvalidUrlError, match="control character U\\+000D"):
        response_headers(payload)


def test_sitemap_paths_are_os_paths_and_come_back_as_str(tmp_path):
    (written,) = write_sitemaps(["/"], SITE, os.fsencode(tmp_path))
    assert written == str(tmp_path / "sitemap.xml")
