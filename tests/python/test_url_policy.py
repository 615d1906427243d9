import contextlib
import sys

import pytest

from zoret import SEOConfig, URLPolicy, normalize_path_fn, normalize_public_url_fn

HOST = "www.example.com"


def test_list_properties_are_new_copies():
    given = ["page", "Page", "page"]
    policy = URLPolicy(allowed_query_params=given, extra_tracking_params=("mine",))
    given.append("q")
    policy.allowed_query_params.append("x")
    assert policy.allowed_query_params == ["page", "Page", "page"]
    assert policy.allowed_query_params is not policy.allowed_query_params
    assert policy.extra_tracking_params == ["mine"]


# One case per policy field; the core's tests own the rules themselves.
@pytest.mark.parametrize(("path", "kwargs", "expected"), [
    ("/ΟΔΟΣ", {"lowercase_paths": True}, "/οδος"),
    ("/a//", {"trailing_slash": "preserve", "collapse_duplicate_slashes": False}, "/a//"),
])  # fmt: skip
def test_normalize_path(path, kwargs, expected):
    assert normalize_path_fn(path, URLPolicy(**kwargs)) == expected
    assert normalize_path_fn(policy=URLPolicy(**kwargs), path=path) == expected


@pytest.mark.parametrize(("call", "message", "note"), [
    (lambda: URLPolicy(trailing_slash=None), "'NoneType' object cannot be converted to 'str'",
     "trailing_slash"),
    (lambda: URLPolicy(allowed_query_params="page"), "Can't extract `str` to `Vec`",
     "allowed_query_params"),
    (lambda: normalize_path_fn("/a", SEOConfig(HOST, "https://example.com")),
     "'SEOConfig' object is not an instance of 'URLPolicy'", "policy"),
    (lambda: normalize_public_url_fn("/a", URLPolicy()), "'URLPolicy' object is not an instance of 'SEOConfig'",
     "config"),
])  # fmt: skip
def test_argument_errors(call, message, note):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


@pytest.mark.parametrize(("url", "base", "policy", "expected"), [
    ("/a?utm_source=n", "https://example.org", {"strip_tracking_params": False}, f"https://{HOST}/a?utm_source=n"),
    ("/a?page=2&ref=x&utm_source=n", "https://example.org", {"allowed_query_params": ["page", "utm_source"]},
     f"https://{HOST}/a?page=2&utm_source=n"),
    ("/a?fbclid=1&mine=2", "https://example.org", {"extra_tracking_params": ["MINE"]}, f"https://{HOST}/a"),
    ("/a", "http://example.org:8080", {"enforce_https": False}, f"http://{HOST}/a"),
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
