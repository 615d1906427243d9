import pytest

from zoret import SEOConfig, URLPolicy, normalize_path_fn, normalize_public_url_fn

HOST = "www.example.com"


def test_lists_are_copied_when_the_policy_is_made():
    given = ["page", "Page", "page"]
    policy = URLPolicy(allowed_query_params=given, extra_tracking_params=("mine",))
    given.append("q")
    assert (policy.allowed_query_params, policy.extra_tracking_params) == (given[:3], ["mine"])


# The core's tests own the rules; these cases show the policy reaching them.
def test_normalize_path():
    policy = URLPolicy(lowercase_paths=True, trailing_slash="preserve", collapse_duplicate_slashes=False)  # fmt: skip
    assert (
        normalize_path_fn("/ΟΔΟΣ//", policy)
        == normalize_path_fn(policy=policy, path="/ΟΔΟΣ//")
        == "/οδος//"
    )


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


def test_normalize_public_url():
    policy = URLPolicy(enforce_https=False, allowed_query_params=["page"], extra_tracking_params=["MINE"])  # fmt: skip
    config = SEOConfig(HOST, "http://example.org:8080", url_policy=policy)
    url = "/a?page=2&ref=x&mine=1"
    assert normalize_public_url_fn(url, config) == normalize_public_url_fn(config=config, url=url)
    assert normalize_public_url_fn(url, config) == f"http://{HOST}/a?page=2"


def test_normalize_public_url_errors_are_plain_value_errors():
    with pytest.raises(ValueError) as info:
        normalize_public_url_fn("/a", SEOConfig(HOST, "three plain words"))
    message = "invalid configuration: invalid public_base_url: relative URL without a base"
    assert (type(info.value), info.value.args) == (ValueError, (message,))
