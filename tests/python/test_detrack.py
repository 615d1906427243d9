from hypothesis import given
from hypothesis import strategies as st

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


@given(
    st.lists(
        st.tuples(
            st.sampled_from(["utm_source", "UTM_Medium", "fbclid", "id", "é", "b", "B", "", "a+b"]),
            st.sampled_from(["", "=1", "=x=y", "=%41", "=ü"]),
        ),
        max_size=24,
    )
)
def test_clean_url_params_are_the_pairs_assigned_in_order(pairs):
    # The dicts are built from views into the URL (a few pairs sorted in place,
    # many by a library sort); they must hold what assigning
    # each pair with "=" into a dict, then ordering by UTF-8 bytes, holds.
    url = "/p?" + "&".join(key + rest for key, rest in pairs)
    removed: dict[str, str] = {}
    cleaned: dict[str, str] = {}
    for key, rest in pairs:
        if rest:
            tracking = key.lower() in {"utm_source", "utm_medium", "fbclid"}
            (removed if tracking else cleaned)[key] = rest[1:]

    def in_byte_order(d: dict[str, str]) -> list[tuple[str, str]]:
        return sorted(d.items(), key=lambda item: item[0].encode())

    result = clean_url_fn(url)
    assert list(result["removed_params"].items()) == in_byte_order(removed)
    assert list(result["cleaned_params"].items()) == in_byte_order(cleaned)
