"""Small builders shared by the payload tests (imported, not collected)."""

from zoret import SEOConfig, SEOEntity, build_seo_payload

HOST = "www.example.com"
BASE = "https://www.example.com"

# The smallest dictionary that reads back as a payload.
MINIMAL = {
    "title": "T", "description": "", "canonical": "C", "robots": "R",
    "og": {"type": "website"}, "twitter": {"card": "summary"},
}  # fmt: skip
# Every Open Graph and Twitter field, in declaration order.
RICH_OG = {
    "type": "article", "title": "OT", "description": "OD", "url": "https://x/",
    "image": "https://x/i.png", "image_width": 1200, "image_height": 630, "image_alt": "Alt",
    "site_name": "Site", "locale": "en_US", "locale_alternate": ["de_DE", "fr_FR"],
    "audio": "https://x/a.mp3", "video": "https://x/v.mp4",
}  # fmt: skip
RICH_TWITTER = {
    "card": "summary", "title": "TT", "description": "TD", "image": "https://x/t.png",
    "image_alt": "TAlt", "site": "@site", "creator": "@me",
}  # fmt: skip


def config(**kwargs):
    return SEOConfig(HOST, BASE, **kwargs)


class Hooks:
    """A hook registry whose post_process stage is `fn(payload)`; records every call."""

    def __init__(self, fn=lambda payload: None):
        self.fn = fn
        self.calls = []

    def run(self, *args):
        self.calls.append(args)
        return self.fn(args[1])


class Registry:
    """A schema registry answering `has` with `registered` and `generate` with `value`."""

    def __init__(self, value=None, registered=True):
        self.value = value
        self.registered = registered
        self.has_calls = []
        self.generate_calls = []

    def has(self, *args):
        self.has_calls.append(args)
        return self.registered

    def generate(self, *args):
        self.generate_calls.append(args)
        return self.value


def shaped(**fields):
    """A payload holding exactly MINIMAL updated with `fields`, made by a hook."""
    data = {**MINIMAL, **fields}
    return build_seo_payload(SEOEntity("page"), "/", config(hooks=Hooks(lambda _: data)))
