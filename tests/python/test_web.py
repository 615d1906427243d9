"""zoret.web: preconditions, canonical redirects, head pieces; zoret.forms errors."""

import html5lib
import pytest

import zoret
from zoret import forms, web

TAG = '"abc"'


@pytest.mark.parametrize(("method", "current", "if_match", "if_none_match", "status"), [
    ("GET", TAG, None, None, None),
    ("GET", TAG, None, '"abc"', 304),
    ("HEAD", TAG, None, '"abc"', 304),
    ("GET", TAG, None, 'W/"abc"', 304),                 # If-None-Match compares weakly
    ("GET", 'W/"abc"', None, '"abc"', 304),
    ("GET", TAG, None, '"x", W/"abc" ,"y"', 304),       # lists, spaces around commas
    ("GET", TAG, None, ' , "x",,"abc" ', 304),          # empty list elements
    ("GET", TAG, None, '"x", "y"', None),
    ("GET", TAG, None, '"ABC"', None),                  # opaque tags are case-sensitive
    ("GET", TAG, None, "abc", None),                    # unquoted: not a tag, matches nothing
    ("GET", TAG, None, '"x", abc', None),               # one bad element spoils the list
    ("GET", TAG, None, "*", 304),
    ("GET", None, None, "*", None),                     # no current representation
    ("POST", TAG, None, '"abc"', 412),                  # unsafe methods fail instead of 304
    ("PUT", TAG, None, "*", 412),
    ("PUT", TAG, '"abc"', None, None),
    ("PUT", TAG, 'W/"abc"', None, 412),                 # If-Match compares strongly
    ("PUT", 'W/"abc"', '"abc"', None, 412),
    ("PUT", TAG, '"x", "abc"', None, None),
    ("PUT", TAG, "*", None, None),
    ("PUT", None, "*", None, 412),
    ("PUT", TAG, "garbage", None, 412),                 # a bad If-Match never lets a write through
    ("GET", TAG, '"x"', '"abc"', 412),                  # If-Match is evaluated first
    ("GET", TAG, '"abc"', '"abc"', 304),
])  # fmt: skip
def test_preconditions_follow_rfc_9110(method, current, if_match, if_none_match, status):
    got = web.evaluate_preconditions(method, current, if_match=if_match, if_none_match=if_none_match)  # fmt: skip
    assert got == status


def test_entity_tags_parse_and_refuse():
    assert web.parse_etags(' W/"a",  "b\x80" ') == (web.EntityTag('"a"', weak=True), web.EntityTag('"b\x80"'))  # fmt: skip
    assert str(web.EntityTag.parse('W/"a"')) == 'W/"a"'
    for bad in ('"a', 'w/"a"', '"a b"', '"a"x', ""):
        with pytest.raises(ValueError, match="not an entity tag"):
            web.EntityTag.parse(bad)


SITE = "https://example.com"


def redirect(exempt=(), base=SITE, **policy):
    config = zoret.SEOConfig("example.com", base, url_policy=zoret.URLPolicy(**policy))
    return web.CanonicalRedirect(config, exempt=exempt)


@pytest.mark.parametrize(("decider", "method", "path", "query", "location"), [
    (redirect(), "GET", "/blog/hello", "", None),
    (redirect(), "GET", "/blog/hello/", "", "/blog/hello"),
    (redirect(), "HEAD", "/blog//hello", "", "/blog/hello"),
    (redirect(), "GET", "/blog/hello", "utm_source=x&id=7&fbclid=1", "/blog/hello?id=7"),
    (redirect(), "GET", "/blog/hello", "id=7&&", "/blog/hello?id=7"),
    (redirect(), "GET", "/Blog/Hello", "", None),  # case kept by this policy: nothing to fix
    (redirect(lowercase_paths=True), "GET", "/Blog/Hello/", "", "/blog/hello"),
    (redirect(lowercase_paths=True), "GET", "/caf%C3%A9", "", "/caf%c3%a9"),
    (redirect(trailing_slash="always"), "GET", "/blog", "", "/blog/"),
    (redirect(trailing_slash="always"), "GET", "/", "", None),
    (redirect(extra_tracking_params=["ref"]), "GET", "/a", "ref=x", "/a"),
    # Never for other methods, whatever the difference.
    (redirect(), "POST", "/blog/hello/", "", None),
    (redirect(), "OPTIONS", "/blog/hello/", "", None),
    (redirect(), "get", "/blog/hello/", "", None),
    # Only case, slashes and tracking parameters: a parameter outside the allowed list
    # is left to the canonical link, and so is a path outside the public base path.
    (redirect(allowed_query_params=["page"]), "GET", "/a/", "q=1", None),
    (redirect(allowed_query_params=["page"]), "GET", "/a/", "page=2&utm_source=x", "/a?page=2"),
    (redirect(base=SITE + "/docs"), "GET", "/guide/", "", None),
    (redirect(base=SITE + "/docs"), "GET", "/docs/guide/", "", "/docs/guide"),
    # Tracking parameters stay when the policy keeps them; slashes are still fixed.
    (redirect(strip_tracking_params=False), "GET", "/a/", "utm_source=x", "/a?utm_source=x"),
    (redirect(strip_tracking_params=False), "GET", "/a", "utm_source=x", None),
    # Exempt folders, and what a browser could read as another host.
    (redirect(exempt=["/static/"]), "GET", "/static/app.js/", "", None),
    (redirect(exempt=["/static/"]), "GET", "/staticky/", "", "/staticky"),
    (redirect(), "GET", "//evil.example/x/", "", "/evil.example/x"),
    (redirect(collapse_duplicate_slashes=False), "GET", "//evil.example/x/", "", None),
    (redirect(), "GET", "/a/", "x=1#y", None),
    (redirect(), "GET", "/a b/", "", None),
    (redirect(), "GET", "relative/", "", None),
])  # fmt: skip
def test_canonical_redirect(decider, method, path, query, location):
    assert decider.location(method, path, query) == location
    if location is not None:  # loop-proof: the target is served as it is
        target, _, target_query = location.partition("?")
        assert decider.location(method, target, target_query) is None


def test_canonical_redirect_refuses_an_unusable_base_at_once():
    with pytest.raises(ValueError, match="invalid configuration: invalid public_base_url"):
        web.CanonicalRedirect(zoret.SEOConfig("example.com", "not a url"))


@pytest.mark.parametrize(("raw", "encoded"), [
    (b"/caf\xc3\xa9", "/caf%C3%A9"), (b"/a%2Fb", "/a%2Fb"), (b"/a b", "/a%20b"), (b"/a?b", "/a?b"),
])  # fmt: skip
def test_request_targets_are_percent_encoded(raw, encoded):
    assert web.encode_raw(raw) == encoded
    # A decoded path: "%" and "?" are data, so they are escaped.
    decoded = raw.decode("utf-8")
    assert web.encode_path(decoded) == encoded.replace("%2F", "%252F").replace("?", "%3F")
    assert web.encode_path(raw.decode("utf-8", "surrogateescape")) == web.encode_path(decoded)


def test_lone_surrogates_in_paths_are_encoded_not_raised():
    assert web.encode_path("/a\udcff") == "/a%FF"
    assert web.encode_path("/a\ud800") == "/a%ED%A0%80"
    assert redirect().location("GET", web.encode_path("/a\ud800/"), "") == "/a%ED%A0%80"


def payload(title="Hello <&>", excerpt="A first post.", **entity):
    config = zoret.SEOConfig("example.com", SITE, site_name="Example")
    entity = zoret.SEOEntity("post", title=title, excerpt=excerpt, **entity)
    return zoret.build_seo_payload(entity, "/blog/hello", config)


@pytest.mark.parametrize(
    "built", [payload(), payload(title="a\nb", excerpt=None), payload(title="")]
)
def test_head_pieces_recompose_render_html(built):
    assert web.render_head(built) == built.render_html()
    assert web.head_part(built, *web.HEAD_PARTS) + "\n" == built.render_html()
    assert web.head_part(built, "opengraph") == built.render_opengraph()
    assert web.head_part(built, "jsonld") == built.render_jsonld()
    title = html5lib.parse(web.head_part(built, "title"), namespaceHTMLElements=False).find(".//title")  # fmt: skip
    assert (title.text or "") == built.title
    without = web.render_head(built, omit=["title", "jsonld"])
    assert "<title>" not in without and "ld+json" not in without
    assert without.splitlines() == [line for line in built.render_html().splitlines()
                                    if line in without.splitlines()]  # fmt: skip


def test_head_parts_are_checked():
    with pytest.raises(ValueError, match=r"unknown head part\(s\) \['titel'\]"):
        web.render_head(payload(), omit=["titel"])
    assert web.render_head(payload(), omit="title") == web.render_head(payload(), omit=["title"])


THEME = """<!DOCTYPE html><html><head><meta charset="utf-8">
  <meta name="Description" content="theme"><link rel="canonical" href="https://theme/x">
  <TITLE>Theme &amp; <i>co</i></TITLE><meta property="og:title" content="theme">
  <script>var t = "<title>not a tag</title>";</script><meta name="author" content="kept">
</head><body><title>in body</title><meta name="description" content="body"></body></html>"""


@pytest.mark.parametrize("omit", [(), ("title",), ("title", "description", "opengraph")])
def test_replace_head_tags_leaves_one_of_each(omit):
    built = payload()
    document = html5lib.parse(web.replace_head_tags(THEME, web.render_head(built, omit=omit)),
                              namespaceHTMLElements=False)  # fmt: skip
    head = document.find("head")
    titles = [t.text for t in head.iter("title")]
    assert titles == (["Theme & <i>co</i>"] if "title" in omit else [built.title])
    assert [link.get("href") for link in head.iter("link")] == [built.canonical]
    metas = {(m.get("name") or m.get("property") or "").lower(): m.get("content") for m in head.iter("meta")}  # fmt: skip
    assert metas["description"] == ("theme" if "description" in omit else built.description)
    assert metas["og:title"] == ("theme" if "opengraph" in omit else built.og.title)
    assert metas["author"] == "kept" and metas["robots"] == built.robots
    assert len(list(head.iter("meta"))) == len(metas)  # nothing doubled
    assert [t.text for t in document.find("body").iter("title")] == ["in body"]


def test_replace_head_tags_without_a_head_end():
    snippet = web.render_head(payload())
    assert web.replace_head_tags("<p>x", snippet) == snippet + "<p>x"
    assert web.replace_head_tags("<head><body>x", snippet) == f"<head>{snippet}<body>x"


# Entity and overrides refusals match the core's manifest reader (test_forms_agreement).
@pytest.mark.parametrize(("read", "data", "message"), [
    (forms.config_from_dict, [], "the site configuration must be a table, got list"),
    (forms.config_from_dict, {"canonical_host": "h"}, "missing 1 required positional argument: 'public_base_url'"),
    (forms.config_from_dict, {"default_robots": {"index": "no"}}, "default_robots: 'str' object cannot be converted to 'bool'"),
    # A URL that cannot be encoded was an uncaught UnicodeEncodeError.
    (forms.entity_from_dict, {"entity_type": "post", "featured_image": "\udc80"}, "featured_image: 'utf-8' codec can't encode"),
])  # fmt: skip
def test_forms_name_the_problem(read, data, message):
    with pytest.raises(forms.FormError) as raised:
        read(data)
    assert message in str(raised.value)


def test_forms_take_records_and_python_objects():
    hooks = zoret.hooks.HookRegistry()
    image = zoret.SEOImage("https://example.com/og.png", width=1)
    config = forms.config_from_dict({"canonical_host": "h", "public_base_url": "https://h",
                                     "default_og_image": image, "hooks": hooks})  # fmt: skip
    assert config.hooks is hooks
    assert config.to_dict()["default_og_image"] == image.to_dict()
    with pytest.raises(forms.FormError, match="hooks can only be set from Python"):
        forms.config_from_dict({"canonical_host": "h", "hooks": hooks}, python_objects=False)
