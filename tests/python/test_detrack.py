from zoret import clean_query_fn, clean_url_fn


def test_clean_query():
    # The rules themselves are the core suite's; this is the way through the binding.
    assert (
        clean_query_fn("a=1&UTM_SOURCE=x&é=2")
        == clean_query_fn(query="a=1&UTM_SOURCE=x&é=2")
        == "a=1&é=2"
    )


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
