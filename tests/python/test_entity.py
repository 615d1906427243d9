import sys

import pytest

from zoret import Breadcrumb, EntityError, FAQItem, Robots, SEOEntity, SEOImage


@pytest.mark.parametrize(
    ("kwargs", "expected"),
    [
        ({}, "index,follow"),
        ({"index": False, "follow": False}, "noindex,nofollow"),
        (
            {
                "index": False,
                "max_snippet": -1,
                "max_image_preview": "large",
                "max_video_preview": 30,
            },
            "noindex,follow,max-snippet:-1,max-image-preview:large,max-video-preview:30",
        ),
        (
            {"max_snippet": 0, "max_video_preview": 0},
            "index,follow,max-snippet:0,max-video-preview:0",
        ),
        ({"max_image_preview": ""}, "index,follow,max-image-preview:"),
        (
            {"max_snippet": -(2**31), "max_video_preview": 2**31 - 1},
            f"index,follow,max-snippet:{-(2**31)},max-video-preview:{2**31 - 1}",
        ),
    ],
)
def test_robots_serialize(kwargs, expected):
    assert Robots(**kwargs).serialize() == expected


def test_robots_properties_return_what_was_given():
    robots = Robots(index=False, max_snippet=-1, max_image_preview="large")
    assert (robots.index, robots.follow) == (False, True)
    assert (robots.max_snippet, robots.max_image_preview, robots.max_video_preview) == (
        -1,
        "large",
        None,
    )


def test_image_properties_and_to_dict_order():
    image = SEOImage("https://cdn.example.com/a.png", alt="A", height=2, width=1)
    assert (image.url, image.width, image.height, image.alt) == (
        "https://cdn.example.com/a.png",
        1,
        2,
        "A",
    )
    assert list(image.to_dict().items()) == [
        ("url", "https://cdn.example.com/a.png"),
        ("width", 1),
        ("height", 2),
        ("alt", "A"),
    ]
    assert list(SEOImage("u", alt="", width=0).to_dict()) == ["url", "width", "alt"]
    assert SEOImage("u", width=2**32 - 1).to_dict() == {"url": "u", "width": 2**32 - 1}
    assert image.to_dict() is not image.to_dict()


def test_breadcrumb_and_faq_item():
    crumb = Breadcrumb("Blog", url="/blog")
    assert (crumb.name, crumb.url) == ("Blog", "/blog")
    item = FAQItem(answer="Yes.", question="Is it?")
    assert (item.question, item.answer) == ("Is it?", "Yes.")


@pytest.mark.parametrize(
    "name", ["Post", " post", "post ", "LocalBusiness", "local-business", "", "FAQ"]
)
def test_entity_type_is_matched_exactly(name):
    with pytest.raises(EntityError) as info:
        SEOEntity(name)
    message = (
        "entity_type must be one of home/post/page/video/taxonomy/search/other/product/"
        f"organization/local_business/faq, got '{name}'"
    )
    assert info.value.args == (message,)


def test_argument_types_are_checked_before_the_entity_type():
    with pytest.raises(TypeError) as info:
        SEOEntity("bogus", faq_items=[Breadcrumb("a", "b")])
    assert info.value.__notes__ == ["while processing 'faq_items'"]


@pytest.mark.parametrize(
    ("call", "exc", "message", "note"),
    [
        (lambda: SEOImage("u", width=-1), OverflowError, None, "width"),
        (lambda: SEOImage("u", height=2**32), OverflowError, None, "height"),
        (lambda: Robots(max_snippet=2**31), OverflowError, None, "max_snippet"),
        (lambda: Robots(max_video_preview=-(2**31) - 1), OverflowError, None, "max_video_preview"),
        (lambda: Robots(index=1), TypeError, "'int' object cannot be converted to 'bool'", "index"),
        (lambda: FAQItem("\ud800", "a"), UnicodeEncodeError, None, "question"),
        (
            lambda: SEOEntity(1),
            TypeError,
            "'int' object cannot be converted to 'str'",
            "entity_type",
        ),
        (lambda: SEOEntity("post", title="\udfff"), UnicodeEncodeError, None, "title"),
        (
            lambda: SEOEntity("post", same_as="https://a.example"),
            TypeError,
            "Can't extract `str` to `Vec`",
            "same_as",
        ),
        (
            lambda: SEOEntity("post", same_as=["a", 1]),
            TypeError,
            "'int' object cannot be converted to 'str'",
            "same_as",
        ),
        (
            lambda: SEOEntity("post", breadcrumbs=[Breadcrumb("a", "/a"), FAQItem("q", "a")]),
            TypeError,
            "'FAQItem' object is not an instance of 'Breadcrumb'",
            "breadcrumbs",
        ),
        (
            lambda: SEOEntity("post", featured_image="https://a.example/i.png"),
            TypeError,
            "'str' object is not an instance of 'SEOImage'",
            "featured_image",
        ),
    ],
)
def test_conversion_errors(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


def test_minimal_entity():
    entity = SEOEntity("post")
    assert entity.to_dict() == {"entity_type": "Post"}
    assert (entity.entity_type, entity.title, entity.excerpt) == ("post", None, None)


def test_entity_type_name_and_serialised_form_differ():
    entity = SEOEntity("local_business")
    assert entity.entity_type == "local_business"
    assert entity.to_dict()["entity_type"] == "LocalBusiness"


def test_empty_breadcrumb_list_is_present_not_absent():
    assert SEOEntity("page", breadcrumbs=[]).to_dict() == {"breadcrumbs": [], "entity_type": "Page"}
    assert SEOEntity("page", breadcrumbs=None).to_dict() == {"entity_type": "Page"}


def test_full_entity_to_dict_has_sorted_keys_at_every_level():
    entity = SEOEntity(
        "product",
        slug="s",
        title="T",
        excerpt="E",
        body_html="<p>b</p>",
        status="published",
        featured_image=SEOImage("i", width=3, alt="a"),
        published_at="2024-01-01",
        updated_at="2024-01-02",
        author_name="Ada",
        breadcrumbs=(Breadcrumb("Home", "/"),),
        sku="S1",
        price="9.99",
        price_currency="EUR",
        availability="InStock",
        same_as=("https://a.example", "https://b.example"),
        address="Main St 1",
        faq_items=[FAQItem("q?", "a.")],
    )
    data = entity.to_dict()
    assert list(data) == sorted(data)
    assert len(data) == 18
    assert list(data["featured_image"].items()) == [("alt", "a"), ("url", "i"), ("width", 3)]
    assert data["breadcrumbs"] == [{"name": "Home", "url": "/"}]
    assert list(data["faq_items"][0]) == ["answer", "question"]
    assert data["same_as"] == ["https://a.example", "https://b.example"]
    assert (entity.title, entity.excerpt) == ("T", "E")


def test_refcounts_stay_flat():
    title = "t" * 50
    image = SEOImage("u")
    crumbs = [Breadcrumb("a", "/a")]
    before = (sys.getrefcount(title), sys.getrefcount(image), sys.getrefcount(crumbs))
    for _ in range(1000):
        entity = SEOEntity("post", title=title, featured_image=image, breadcrumbs=crumbs)
        entity.to_dict()
        _ = entity.title
        image.to_dict()
        Robots(max_image_preview=title).serialize()
        try:
            SEOEntity("bogus", title=title)
        except EntityError:
            pass
    del entity
    assert (sys.getrefcount(title), sys.getrefcount(image), sys.getrefcount(crumbs)) == before
