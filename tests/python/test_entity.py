import pytest

from zoret import Breadcrumb, EntityError, FAQItem, Robots, SEOEntity, SEOImage


def test_image_properties_and_to_dict_order():
    image = SEOImage("/a.png", alt="A", height=2, width=1)
    assert list(image.to_dict().items()) == [("url", "/a.png"), ("width", 1), ("height", 2), ("alt", "A")]  # fmt: skip
    assert list(SEOImage("u", alt="", width=0).to_dict()) == ["url", "width", "alt"]
    assert SEOImage("u", width=2**32 - 1).to_dict() == {"url": "u", "width": 2**32 - 1}


def test_entity_type_is_matched_exactly_after_argument_types():
    with pytest.raises(EntityError) as info:
        SEOEntity("Post")
    assert info.value.args == (
        "entity_type must be one of home/post/page/video/taxonomy/search/other/product/"
        "organization/local_business/faq, got 'Post'",
    )
    with pytest.raises(TypeError) as info:
        SEOEntity("bogus", faq_items=[Breadcrumb("a", "b")])
    assert info.value.__notes__ == ["while processing 'faq_items'"]


@pytest.mark.parametrize(("call", "exc", "message", "note"), [
    (lambda: SEOImage("u", width=-1), OverflowError, None, "width"),
    (lambda: SEOImage("u", height=2**32), OverflowError, None, "height"),
    (lambda: Robots(max_snippet=2**31), OverflowError, None, "max_snippet"),
    (lambda: Robots(max_video_preview=-(2**31) - 1), OverflowError, None, "max_video_preview"),
    (lambda: FAQItem("\ud800", "a"), UnicodeEncodeError, None, "question"),
    (lambda: SEOEntity("post", breadcrumbs=[Breadcrumb("a", "/a"), FAQItem("q", "a")]), TypeError,
     "'FAQItem' object is not an instance of 'Breadcrumb'", "breadcrumbs"),
])  # fmt: skip
def test_conversion_errors(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


def test_minimal_entities_to_dict():
    assert SEOEntity("local_business").to_dict() == {"entity_type": "LocalBusiness"}
    assert SEOEntity("page", breadcrumbs=[]).to_dict() == {"breadcrumbs": [], "entity_type": "Page"}
    assert SEOEntity("page", breadcrumbs=None).to_dict() == {"entity_type": "Page"}


def test_full_entity_to_dict_has_sorted_keys_at_every_level():
    entity = SEOEntity(
        "product", slug="s", title="T", excerpt="E", body_html="<p>b</p>", status="published",
        featured_image=SEOImage("i", width=3, alt="a"), published_at="2024-01-01",
        updated_at="2024-01-02", author_name="Ada", breadcrumbs=(Breadcrumb("Home", "/"),), sku="S1",
        price="9.99", price_currency="EUR", availability="InStock", address="Main St 1",
        same_as=("https://a.example", "https://b.example"), faq_items=[FAQItem("q?", "a.")],
    )  # fmt: skip
    data = entity.to_dict()
    assert list(data) == sorted(data) and len(data) == 18
    assert list(data["featured_image"].items()) == [("alt", "a"), ("url", "i"), ("width", 3)]
    assert data["breadcrumbs"] == [{"name": "Home", "url": "/"}]
    assert list(data["faq_items"][0].items()) == [("answer", "a."), ("question", "q?")]
    assert data["same_as"] == ["https://a.example", "https://b.example"]
