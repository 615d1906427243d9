import sys

import pytest

from zoret import InvalidUrlError, SEOConfig, URLPolicy, normalize_path_fn, normalize_public_url_fn


def test_default_policy_properties():
    policy = URLPolicy()
    assert (policy.enforce_https, policy.lowercase_paths, policy.collapse_duplicate_slashes) == (
        True,
        False,
        True,
    )
    assert (policy.strip_tracking_params, policy.trailing_slash) == (True, "never")
    assert (policy.allowed_query_params, policy.extra_tracking_params) == ([], [])


def test_list_properties_are_new_lists():
    given = ["page", "Page", "page"]
    policy = URLPolicy(allowed_query_params=given, extra_tracking_params=("mine",))
    given.append("q")
    first = policy.allowed_query_params
    first.append("x")
    assert policy.allowed_query_params == ["page", "Page", "page"]
    assert policy.allowed_query_params is not policy.allowed_query_params
    assert policy.extra_tracking_params == ["mine"]


@pytest.mark.parametrize(
    ("kwargs", "exc", "message", "note"),
    [
        (
            {"enforce_https": 1},
            TypeError,
            "'int' object cannot be converted to 'bool'",
            "enforce_https",
        ),
        (
            {"trailing_slash": None},
            TypeError,
            "'NoneType' object cannot be converted to 'str'",
            "trailing_slash",
        ),
        (
            {"allowed_query_params": "page"},
            TypeError,
            "Can't extract `str` to `Vec`",
            "allowed_query_params",
        ),
        ({"trailing_slash": "\ud800"}, UnicodeEncodeError, None, "trailing_slash"),
    ],
)
def test_constructor_conversion_errors(kwargs, exc, message, note):
    with pytest.raises(exc) as info:
        URLPolicy(**kwargs)
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


@pytest.mark.parametrize("text", ["Always", "NEVER", " never", "", "none"])
def test_trailing_slash_is_checked_only_when_used(text):
    policy = URLPolicy(trailing_slash=text)
    assert policy.trailing_slash == text
    with pytest.raises(ValueError) as info:
        normalize_path_fn("/a", policy)
    assert type(info.value) is ValueError
    assert info.value.args == (f"invalid trailing_slash: {text}",)


@pytest.mark.parametrize(
    ("path", "kwargs", "expected"),
    [
        ("", {}, "/"),
        ("   ", {}, "/"),
        ("blog/Hello", {}, "/blog/Hello"),
        ("\t/a\n", {}, "/a"),
        ("\u3000/a\u00a0", {}, "/a"),
        ("/a b", {}, "/a b"),
        ("//blog///post//", {}, "/blog/post"),
        ("/", {}, "/"),
        ("/Blog/Post/", {"lowercase_paths": True}, "/blog/post"),
        ("/ÄBC", {"lowercase_paths": True}, "/äbc"),
        ("/ΟΔΟΣ", {"lowercase_paths": True}, "/οδος"),
        ("/İ", {"lowercase_paths": True}, "/i\u0307"),
        ("/a", {"trailing_slash": "always"}, "/a/"),
        ("/a/", {"trailing_slash": "always"}, "/a/"),
        ("/", {"trailing_slash": "always"}, "/"),
        ("/a//", {"trailing_slash": "preserve", "collapse_duplicate_slashes": False}, "/a//"),
        ("/a//", {"trailing_slash": "never", "collapse_duplicate_slashes": False}, "/a"),
        ("/a?B=1", {"lowercase_paths": True}, "/a?b=1"),
        ("/a?b=1", {"trailing_slash": "always"}, "/a?b=1/"),
        ("/a/../b", {}, "/a/../b"),
        ("/%41", {"lowercase_paths": True}, "/%41"),
    ],
)
def test_normalize_path(path, kwargs, expected):
    assert normalize_path_fn(path, URLPolicy(**kwargs)) == expected
    assert normalize_path_fn(policy=URLPolicy(**kwargs), path=path) == expected


@pytest.mark.parametrize(
    ("args", "message", "note"),
    [
        (("/a", None), "'None' is not an instance of 'URLPolicy'", "policy"),
        (
            ("/a", SEOConfig("example.com", "https://example.com")),
            "'SEOConfig' object is not an instance of 'URLPolicy'",
            "policy",
        ),
        ((None, URLPolicy()), "'NoneType' object cannot be converted to 'str'", "path"),
    ],
)
def test_normalize_path_argument_errors(args, message, note):
    with pytest.raises(TypeError) as info:
        normalize_path_fn(*args)
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


HOST = "www.example.com"


@pytest.mark.parametrize(
    ("url", "base", "policy", "expected"),
    [
        ("/blog/Post/", "https://example.org", {}, f"https://{HOST}/blog/Post"),
        ("blog", "https://example.org", {}, f"https://{HOST}/blog"),
        ("http://other.example/a/../b?x=1#top", "https://example.org", {}, f"https://{HOST}/b?x=1"),
        ("/a?utm_source=n&id=7#top", "https://example.org", {}, f"https://{HOST}/a?id=7"),
        (
            "/a?utm_source=n",
            "https://example.org",
            {"strip_tracking_params": False},
            f"https://{HOST}/a?utm_source=n",
        ),
        ("/a?UTM_Medium=x&page=2", "https://example.org", {}, f"https://{HOST}/a?page=2"),
        (
            "/a?page=2&ref=x&utm_source=n",
            "https://example.org",
            {"allowed_query_params": ["page", "utm_source"]},
            f"https://{HOST}/a?page=2&utm_source=n",
        ),
        (
            "/a?Page=2",
            "https://example.org",
            {"allowed_query_params": ["page"]},
            f"https://{HOST}/a",
        ),
        ("/a?&&x=1&=y", "https://example.org", {}, f"https://{HOST}/a?x=1"),
        (
            "/a?fbclid=1&mine=2",
            "https://example.org",
            {"extra_tracking_params": ["MINE"]},
            f"https://{HOST}/a",
        ),
        ("/blog", "https://example.org/app/", {}, f"https://{HOST}/app/blog"),
        ("/app/blog", "https://example.org/app", {}, f"https://{HOST}/app/blog"),
        ("/app", "https://example.org/app", {}, f"https://{HOST}/app"),
        ("/apple", "https://example.org/app", {}, f"https://{HOST}/app/apple"),
        ("blog", "https://example.org/app", {}, f"https://{HOST}/app/blog"),
        ("?q=1", "https://example.org/app", {}, f"https://{HOST}/app?q=1"),
        ("/a", "http://example.org:8080", {"enforce_https": False}, f"http://{HOST}/a"),
        ("/a b", "https://example.org", {}, f"https://{HOST}/a b"),
        ("//other.example/x", "https://example.org", {}, f"https://{HOST}/other.example/x"),
        ("a:b", "https://example.org", {}, f"https://{HOST}/b"),
        ("  /a?q=a+b%20c  ", "https://example.org", {}, f"https://{HOST}/a?q=a+b%20c"),
        (
            "/A/",
            "https://example.org",
            {"lowercase_paths": True, "trailing_slash": "always"},
            f"https://{HOST}/a/",
        ),
    ],
)
def test_normalize_public_url(url, base, policy, expected):
    config = SEOConfig(HOST, base, url_policy=URLPolicy(**policy))
    assert normalize_public_url_fn(url, config) == expected
    assert normalize_public_url_fn(config=config, url=url) == expected


@pytest.mark.parametrize(
    ("url", "base", "message"),
    [
        ("", "https://example.org", "invalid URL: url_or_path must be a non-empty string"),
        (" \t\u2003", "https://example.org", "invalid URL: url_or_path must be a non-empty string"),
        (
            "/a",
            "three plain words",
            "invalid configuration: invalid public_base_url: relative URL without a base",
        ),
        (
            "/a",
            "https://example.org:99999",
            "invalid configuration: invalid public_base_url: invalid port number",
        ),
        ("/a", "https://", "invalid configuration: invalid public_base_url: empty host"),
    ],
)
def test_normalize_public_url_errors_are_plain_value_errors(url, base, message):
    with pytest.raises(ValueError) as info:
        normalize_public_url_fn(url, SEOConfig(HOST, base))
    assert type(info.value) is ValueError
    assert not isinstance(info.value, InvalidUrlError)
    assert info.value.args == (message,)


def test_normalize_public_url_argument_errors():
    with pytest.raises(TypeError) as info:
        normalize_public_url_fn("/a", URLPolicy())
    assert str(info.value) == "'URLPolicy' object is not an instance of 'SEOConfig'"
    assert info.value.__notes__ == ["while processing 'config'"]


def test_refcounts_stay_flat():
    path = "/Blog//" + "x" * 40 + "?utm_source=1&a=2"
    policy = URLPolicy(lowercase_paths=True)
    config = SEOConfig(HOST, "https://example.org/app")
    before = (sys.getrefcount(path), sys.getrefcount(policy), sys.getrefcount(config))
    for _ in range(1000):
        normalize_path_fn(path, policy)
        normalize_public_url_fn(path, config)
        _ = policy.allowed_query_params
        try:
            normalize_public_url_fn("", config)
        except ValueError:
            pass
    assert (sys.getrefcount(path), sys.getrefcount(policy), sys.getrefcount(config)) == before
