import pytest

from zoret import clean_query_fn, clean_url_fn


@pytest.mark.parametrize(("query", "expected"), [
    ("a=1&utm_source=x&b=2", "a=1&b=2"),
    ("UTM_SOURCE=x&a=1", "a=1"),
    ("ütm_source=1&é=2", "ütm_source=1&é=2"),
])  # fmt: skip
def test_clean_query(query, expected):
    assert clean_query_fn(query) == expected
    assert clean_query_fn(query=query) == expected


def test_clean_url_result_shape_and_order():
    result = clean_url_fn("/a?utm_source=news&id=7&UTM_Medium=mail#top&b=%41")
    assert list(result) == ["url", "removed_params", "cleaned_params"]
    assert result["url"] == "/a?id=7&b=%41"
    assert list(result["removed_params"].items()) == [
        ("UTM_Medium", "mail#top"),
        ("utm_source", "news"),
    ]
    assert result["cleaned_params"] == {"id": "7", "b": "%41"}
    assert list(result["cleaned_params"]) == ["b", "id"]


def test_megabyte_query_is_linear():
    query = "&".join(f"k{i}=v" for i in range(200_000)) + "&utm_source=x"
    assert clean_query_fn(query) == query[: -len("&utm_source=x")]
