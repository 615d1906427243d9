import contextlib
import sys

import pytest

from zoret import SEOConfig, URLPolicy, normalize_path_fn, normalize_public_url_fn

HOST = "www.example.com"


def test_properties_defaults_and_new_lists():
    policy = URLPolicy()
    assert (policy.enforce_https, policy.lowercase_paths, policy.collapse_duplicate_slashes,
            policy.strip_tracking_params, policy.trailing_slash, policy.allowed_query_params,
            policy.extra_tracking_params) == (True, False, True, True, "never", [], [])  # fmt: skip
    given = ["page", "Page", "page"]
    policy = URLPolicy(allowed_query_params=given, extra_tracking_params=("mine",))
    given.append("q")
    policy.allowed_query_params.append("x")
    assert policy.allowed_query_params == ["page", "Page", "page"]
    assert policy.allowed_query_params is not policy.allowed_query_params
    assert policy.extra_tracking_params == ["mine"]


@pytest.mark.parametrize(("kwargs", "exc", "message"), [
    ({"enforce_https": 1}, TypeError, "'int' object cannot be converted to 'bool'"),
    ({"trailing_slash": None}, TypeError, "'NoneType' object cannot be converted to 'str'"),
    ({"allowed_query_params": "page"}, TypeError, "Can't extract `str` to `Vec`"),
    ({"trailing_slash": "\ud800"}, UnicodeEncodeError, None),
])  # fmt: skip
def test_constructor_conversion_errors(kwargs, exc, message):
    with pytest.raises(exc) as info:
        URLPolicy(**kwargs)
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{next(iter(kwargs))}'"]


@pytest.mark.parametrize("text", ["Always", ""])
def test_trailing_slash_is_checked_only_when_used(text):
    policy = URLPolicy(trailing_slash=text)
    assert policy.trailing_slash == text
    with pytest.raises(ValueError) as info:
        normalize_path_fn("/a", policy)
    assert (type(info.value), info.value.args) == (ValueError, (f"invalid trailing_slash: {text}",))


# One case per policy field; the core's tests own the rules themselves.
@pytest.mark.parametrize(("path", "kwargs", "expected"), [
    ("\u3000/a\u00a0", {}, "/a"),
    ("/ΟΔΟΣ", {"lowercase_paths": True}, "/οδος"),
    ("/a//", {"trailing_slash": "preserve", "collapse_duplicate_slashes": False}, "/a//"),
])  # fmt: skip
def test_normalize_path(path, kwargs, expected):
    assert normalize_path_fn(path, URLPolicy(**kwargs)) == expected
    assert normalize_path_fn(policy=URLPolicy(**kwargs), path=path) == expected


@pytest.mark.parametrize(("call", "message", "note"), [
    (lambda: normalize_path_fn("/a", None), "'None' is not an instance of 'URLPolicy'", "policy"),
    (lambda: normalize_path_fn("/a", SEOConfig(HOST, "https://example.com")),
     "'SEOConfig' object is not an instance of 'URLPolicy'", "policy"),
    (lambda: normalize_path_fn(None, URLPolicy()), "'NoneType' object cannot be converted to 'str'", "path"),
    (lambda: normalize_public_url_fn("/a", URLPolicy()), "'URLPolicy' object is not an instance of 'SEOConfig'",
     "config"),
])  # fmt: skip
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


@pytest.mark.parametrize(("url", "base", "policy", "expected"), [
    ("/a?utm_source=n&id=7#top", "https://example.org", {}, f"https://{HOST}/a?id=7"),
    ("/a?utm_source=n", "https://example.org", {"strip_tracking_params": False}, f"https://{HOST}/a?utm_source=n"),
    ("/a?page=2&ref=x&utm_source=n", "https://example.org", {"allowed_query_params": ["page", "utm_source"]},
     f"https://{HOST}/a?page=2&utm_source=n"),
    ("/a?fbclid=1&mine=2", "https://example.org", {"extra_tracking_params": ["MINE"]}, f"https://{HOST}/a"),
    ("/a", "http://example.org:8080", {"enforce_https": False}, f"http://{HOST}/a"),
    ("/A/", "https://example.org", {"lowercase_paths": True, "trailing_slash": "always"}, f"https://{HOST}/a/"),
])  # fmt: skip
def test_normalize_public_url(url, base, policy, expected):
    config = SEOConfig(HOST, base, url_policy=URLPolicy(**policy))
    assert normalize_public_url_fn(url, config) == expected
    assert normalize_public_url_fn(config=config, url=url) == expected


@pytest.mark.parametrize(("url", "base", "message"), [
    (" \t\u2003", "https://example.org", "invalid URL: url_or_path must be a non-empty string"),
    ("/a", "three plain words", "invalid configuration: invalid public_base_url: relative URL without a base"),
])  # fmt: skip
def test_normalize_public_url_errors_are_plain_value_errors(url, base, message):
    with pytest.raises(ValueError) as info:
        normalize_public_url_fn(url, SEOConfig(HOST, base))
    assert (type(info.value), info.value.args) == (ValueError, (message,))


def test_refcounts_stay_flat():
    path = "/Blog//" + "x" * 40 + "?utm_source=1&a=2"
    policy = URLPolicy(lowercase_paths=True)
    config = SEOConfig(HOST, "https://example.org/app")
    before = (sys.getrefcount(path), sys.getrefcount(policy), sys.getrefcount(config))
    for _ in range(1000):
        normalize_path_fn(path, policy)
        normalize_public_url_fn(path, config)
        _ = policy.allowed_query_params
        with contextlib.suppress(ValueError):
            normalize_public_url_fn("", config)
    assert (sys.getrefcount(path), sys.getrefcount(policy), sys.getrefcount(config)) == before
