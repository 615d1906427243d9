"""Audit sources: routes of built files, sitemaps read in bounded memory (gzip, indexes,
bombs), sitemap membership, robots.txt from a file."""

import gzip
import tracemalloc
import zlib

import pytest

pytest.importorskip("selectolax")

import zoret
from zoret.audit import SitemapError, route_of_file
from zoret.audit.sitemaps import SitemapReader, read_sitemap_file
from zoret.audit.sources import (
    Directory,
    SitemapUrls,
    SourceError,
    Urls,
    as_source,
    directory_pages,
    load_robots,
    load_sitemap,
)
from zoret.site import write_sitemaps

NS = 'xmlns="http://www.sitemaps.org/schemas/sitemap/0.9"'


def urlset(*locations, extra=""):
    urls = "".join(f"<url><loc>{loc}</loc>{extra}</url>" for loc in locations)
    return f'<?xml version="1.0" encoding="UTF-8"?><urlset {NS}>{urls}</urlset>'.encode()


@pytest.mark.parametrize(("relative", "strip", "route"), [
    ("index.html", False, "/"),
    ("docs/index.html", True, "/docs/"),
    ("blog/hello.html", False, "/blog/hello.html"),
    ("blog/hello.html", True, "/blog/hello"),
    ("old/page.htm", True, "/old/page"),
    ("blog/a b/café.html", False, "/blog/a%20b/caf%C3%A9.html"),
    ("100%.html", False, "/100%25.html"),
    ("notes.txt.html", True, "/notes.txt"),
])  # fmt: skip
def test_a_file_route_is_its_url_path(relative, strip, route):
    assert route_of_file(relative, strip) == route


def test_a_folder_gives_its_html_files_in_path_order(tmp_path):
    for name in ["b.html", "a/index.html", "a/z.htm", "index.html", "style.css", "a/b/c.HTML"]:
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text("<title>x</title>")
    (tmp_path / "loop").symlink_to(tmp_path)  # not followed
    pages = directory_pages(Directory(str(tmp_path), strip_extension=True))  # files, then folders
    assert [route for route, _, _ in pages] == ["/b", "/", "/a/", "/a/z", "/a/b/c.HTML"]
    assert pages[0][1:] == (f"{tmp_path}/b.html", f"{tmp_path}/b.html")


@pytest.mark.parametrize(("value", "source"), [
    ("https://example.com/sitemap.xml", SitemapUrls("https://example.com/sitemap.xml")),
    ("https://example.com/s/index.xml.gz?x=1", SitemapUrls("https://example.com/s/index.xml.gz?x=1")),
    ("https://example.com/page", Urls(("https://example.com/page",))),
    (["http://a.example/1", "https://b.example/2"], Urls(("http://a.example/1", "https://b.example/2"))),
    ("nowhere/", SourceError),
    (["/local/path"], SourceError),
    (["ftp://example.com/"], SourceError),
])  # fmt: skip
def test_what_a_source_names(value, source):
    if source is SourceError:
        with pytest.raises(SourceError):
            as_source(value)
    else:
        assert as_source(value) == source


def read_in_chunks(data, size=7, **limits):
    reader = SitemapReader("s.xml", **limits)
    for i in range(0, len(data), size):
        reader.feed(data[i : i + size])
    return reader.close()


def test_a_sitemap_is_read_in_any_chunks_plain_or_gzip():
    data = urlset(
        " https://example.com/a ",
        "https://example.com/b?x=1&amp;y=2",
        extra='<image:image xmlns:image="http://www.google.com/schemas/sitemap-image/1.1">'
        "<image:loc>https://example.com/i.png</image:loc></image:image>",
    )
    for raw in (data, gzip.compress(data), gzip.compress(data[:50]) + gzip.compress(data[50:])):
        for size in (1, 7, 1 << 16):
            document = read_in_chunks(raw, size)
            assert document.kind == "urlset"
            assert document.locations == ("https://example.com/a", "https://example.com/b?x=1&y=2")
    index = f"<sitemapindex {NS}><sitemap><loc>https://e.com/s1.xml</loc></sitemap></sitemapindex>"
    assert read_in_chunks(index.encode()).kind == "sitemapindex"
    assert read_in_chunks(urlset("x").replace(f" {NS}".encode(), b"")).locations == ("x",)


@pytest.mark.parametrize(("data", "message"), [
    (b"", "not well-formed XML: no element found"),
    (b"<html><body>Not found</body></html>", "not a sitemap: the root element is <html>"),
    (b'<urlset xmlns="http://example.com/other"></urlset>', "not a sitemap: the root element is <urlset>"),
    (b"<urlset><url><loc>a</loc>", "not well-formed XML: no element found"),
    (b'<!DOCTYPE urlset [<!ENTITY a "aaaaaaaaaa">]><urlset>&a;</urlset>', "a document type declaration is not allowed"),
    (gzip.compress(urlset("a"))[:-8] + b"\0\0\0\0" + gzip.compress(urlset("a"))[-4:], "broken gzip data: .*incorrect data check"),
    (gzip.compress(urlset("a"))[:-12], "the gzip data ends early"),
    (urlset(*[f"https://e.com/{i}" for i in range(11)]), "more than 10 locations"),
])  # fmt: skip
def test_a_broken_sitemap_is_a_clear_error(data, message):
    with pytest.raises(SitemapError, match=message) as error:
        read_in_chunks(data, max_urls=10)
    assert str(error.value).startswith("s.xml: ")


def test_a_sitemap_bomb_is_refused_in_bounded_memory():
    # 64 MiB of spaces inside the root element, compressed to about 64 KiB.
    squeeze = zlib.compressobj(9, zlib.DEFLATED, 16 + zlib.MAX_WBITS)
    parts = [squeeze.compress(f"<urlset {NS}>".encode())]
    block = b" " * (1 << 20)
    parts += [squeeze.compress(block) for _ in range(64)]
    bomb = b"".join([*parts, squeeze.flush()])
    assert len(bomb) < 1 << 20
    tracemalloc.start()
    try:
        with pytest.raises(SitemapError, match="larger than 52428800 bytes uncompressed: refused"):
            read_in_chunks(bomb, 1 << 16)
        assert tracemalloc.get_traced_memory()[1] < 16 << 20
    finally:
        tracemalloc.stop()


def test_a_local_sitemap_index_reads_its_children_beside_it(tmp_path):
    site = zoret.SEOConfig("example.com", "https://example.com")
    written = write_sitemaps(
        [f"/p/{i}" for i in range(5)], site, tmp_path, max_urls_per_file=2, gzip=True
    )
    sitemap = load_sitemap(str(tmp_path / "sitemap.xml.gz"))
    assert len(written) == 4
    assert [d.kind for d in sitemap.documents] == ["sitemapindex", "urlset", "urlset", "urlset"]
    assert sitemap.urls == tuple(f"https://example.com/p/{i}" for i in range(5))
    assert sitemap.lists_url("HTTPS://Example.COM:443/p/3#top")
    assert not sitemap.lists_url("https://example.com/p/5")
    assert sitemap.lists_route("/p/3/") and not sitemap.lists_route("/p")
    policy = zoret.URLPolicy(trailing_slash="always")
    trailing = zoret.SEOConfig("example.com", "https://example.com/base/", url_policy=policy)
    assert not sitemap.lists_route("/p/3", trailing)
    (tmp_path / "nested.xml").write_text(
        f"<sitemapindex {NS}><sitemap><loc>https://example.com/sitemap.xml.gz</loc></sitemap></sitemapindex>"
    )
    with pytest.raises(SitemapError, match="a sitemap index may not list another index"):
        load_sitemap(str(tmp_path / "nested.xml"))
    with pytest.raises(FileNotFoundError):
        read_sitemap_file(tmp_path / "missing.xml")


def test_robots_from_a_file_applies_to_every_url(tmp_path):
    (tmp_path / "robots.txt").write_text(
        "User-agent: *\nDisallow: /private/\n\nUser-agent: Bot\nDisallow: /\n"
    )
    robots = load_robots(str(tmp_path / "robots.txt"))
    assert robots.allows("https://example.com/public")
    assert not robots.allows("https://other.example/private/x")
    bot = load_robots(str(tmp_path / "robots.txt"), agent="Bot")
    assert not bot.allows("https://example.com/public")
