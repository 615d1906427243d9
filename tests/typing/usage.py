"""A typed tour of the public API; mypy --strict accepts it and it runs as written."""

from __future__ import annotations

import datetime
import tempfile
from pathlib import Path
from typing import Any, Literal

import zoret
from zoret import site
from zoret.check import CheckReport, Contract, PageFacts, Violation
from zoret.hooks import HookRegistry
from zoret.registry import SchemaRegistry, SchemaRequest

schemas = SchemaRegistry()
hooks = HookRegistry()


@schemas.register("Recipe")
def recipe(request: SchemaRequest) -> dict[str, Any]:
    return {"@context": "https://schema.org", "@type": "Recipe", "name": request.title}


@hooks.post_process
def brand(payload: dict[str, Any], entity: zoret.SEOEntity, config: zoret.SEOConfig) -> None:
    payload["title"] = f"{payload['title']} | Example"


config = zoret.SEOConfig(
    "example.com",
    "https://example.com",
    url_policy=zoret.URLPolicy(trailing_slash="always"),
    default_og_image=zoret.SEOImage("/og.png", width=1200, height=630),
    schema_type_map=[("post", "Recipe")],
    schema_registry=schemas,
    hooks=hooks,
)
entity = zoret.SEOEntity("post", title="Pie", excerpt="An apple pie.")
overrides = zoret.SEOOverrides(robots=zoret.Robots(index=False))

payload: zoret.SEOPayload = zoret.build_seo_payload(entity, "/recipes/pie", config, overrides)
assert payload.title == "Pie | Example"
assert payload.schema_jsonld == {"@context": "https://schema.org", "@type": "Recipe", "name": "Pie"}
html: str = payload.render_html()
etag: str = payload.etag()
og_width: int | None = payload.og.image_width
as_dict: dict[str, Any] = zoret.build_seo_payload_dict(entity, "/recipes/pie", config)

for issue in zoret.validate_payload(payload):
    line: str = f"[{issue.rule_id}] {issue.severity} {issue.message} {issue.url or ''}"

kind: str = "Post"  # entity types are lower case; any str type-checks, EntityError says so
try:
    zoret.SEOEntity(kind)
except zoret.EntityError as exc:
    reason: str = str(exc)

rule = zoret.SEOContractRule("/recipes/*", zoret.SEOExpectation(required=True), severity="warning")
contract = zoret.build_seo_contract(
    zoret.SEOContractConfig(
        "example.com",
        defaults=zoret.SEOExpectation(title=zoret.SEOExpectation(max_length=60)),
        rules=[rule],
        exceptions=[("/drafts", zoret.SEOExpectation(indexable=False))],
    )
)
with tempfile.TemporaryDirectory() as directory:
    contract.write(str(Path(directory) / "contract.json"))
digest: str = contract.hash()

cleaned: str = zoret.clean_url_fn("https://example.com/?utm_source=x&id=7")["url"]
path: str = zoret.normalize_path_fn("/A//b", zoret.URLPolicy(lowercase_paths=True))

entries: list[str | site.SitemapEntry] = [
    site.SitemapEntry("/", lastmod=datetime.date(2026, 12, 6), alternates={"en": "/"}),
    "/a",
]
with tempfile.TemporaryDirectory() as directory:
    written: list[str] = site.write_sitemaps(
        iter(entries), zoret.SEOConfig("e.com", "https://e.com"), directory
    )
robots_txt: str = site.render_robots(
    zoret.SEOConfig("e.com", "https://e.com"),
    [site.RobotsGroup("*", disallow=["/admin/"])],
    host="e.com",
)
headers: list[tuple[str, str]] = site.response_headers(payload)
checker = Contract(contract)
violations: list[Violation] = checker.check("/recipes/pie", payload, config)
for violation in violations:
    severity: Literal["error", "warning", "info"] = violation.severity
    where: str | None = violation.url
report: CheckReport = checker.check_report("/recipes/pie", PageFacts("/recipes/pie", status=200))
failed: bool = report.failed("warning")
explained: str = str(checker.explain("/recipes/pie"))
layers: list[tuple[str, str]] = [(name, level) for name, level in checker.explain("/").layers]
