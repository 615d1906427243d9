"""zoret on the command line: render, validate and hash SEO metadata, build contracts."""

from __future__ import annotations

import argparse
import json
import sys
import tomllib
from collections.abc import Callable, Sequence
from pathlib import Path
from typing import Any

from zoret import _zoret_native as native

EXIT_OK, EXIT_FINDINGS, EXIT_BAD_INPUT = 0, 1, 2


class InputError(Exception):
    """A problem with one input file, reported as a single line."""

    def __init__(self, path: str, message: str) -> None:
        super().__init__(f"{path}: {message}")


def _load(path: str) -> dict[str, Any]:
    """Reads a TOML or JSON object (by extension; .json is JSON, anything else TOML)."""
    try:
        text = Path(path).read_text(encoding="utf-8")
    except (OSError, UnicodeDecodeError) as exc:
        raise InputError(path, getattr(exc, "strerror", None) or str(exc)) from None
    try:
        if path.endswith(".json"):
            data = json.loads(text)
        else:
            data = tomllib.loads(text)
    except json.JSONDecodeError as exc:
        raise InputError(path, f"line {exc.lineno} column {exc.colno}: {exc.msg}") from None
    except tomllib.TOMLDecodeError as exc:
        raise InputError(path, str(exc)) from None
    if not isinstance(data, dict):
        raise InputError(path, f"expected an object at the top level, got {type(data).__name__}")
    return data


def _build(path: str, factory: Callable[..., Any], fields: dict[str, Any]) -> Any:
    try:
        return factory(**fields)
    except (TypeError, ValueError, OverflowError) as exc:
        notes = "; ".join(getattr(exc, "__notes__", ()))
        raise InputError(path, f"{exc}" + (f" ({notes})" if notes else "")) from None


def _image(path: str, data: Any) -> native.SEOImage | None:
    if data is None:
        return None
    if isinstance(data, str):
        return native.SEOImage(data)
    if not isinstance(data, dict):
        raise InputError(path, "an image must be a URL or a table with 'url'")
    return _build(path, native.SEOImage, dict(data))


def _robots(path: str, data: Any) -> native.Robots | None:
    if data is None:
        return None
    if not isinstance(data, dict):
        raise InputError(path, "robots must be a table")
    return _build(path, native.Robots, dict(data))


def load_config(path: str) -> native.SEOConfig:
    fields = _load(path)
    for key in ("default_robots", "search_robots"):
        fields[key] = _robots(path, fields.get(key))
    fields["default_og_image"] = _image(path, fields.get("default_og_image"))
    if isinstance(fields.get("url_policy"), dict):
        fields["url_policy"] = _build(path, native.URLPolicy, fields["url_policy"])
    schema_map = fields.get("schema_type_map")
    if isinstance(schema_map, dict):
        fields["schema_type_map"] = list(schema_map.items())
    elif isinstance(schema_map, list):
        fields["schema_type_map"] = [tuple(pair) for pair in schema_map]
    return _build(path, native.SEOConfig, fields)


def load_entity(path: str) -> native.SEOEntity:
    fields = _load(path)
    fields["featured_image"] = _image(path, fields.get("featured_image"))
    if isinstance(fields.get("breadcrumbs"), list):
        fields["breadcrumbs"] = [
            _build(path, native.Breadcrumb, crumb) if isinstance(crumb, dict) else crumb
            for crumb in fields["breadcrumbs"]
        ]
    if isinstance(fields.get("faq_items"), list):
        fields["faq_items"] = [
            _build(path, native.FAQItem, item) if isinstance(item, dict) else item
            for item in fields["faq_items"]
        ]
    return _build(path, native.SEOEntity, fields)


def load_overrides(path: str | None) -> native.SEOOverrides | None:
    if path is None:
        return None
    fields = _load(path)
    fields["robots"] = _robots(path, fields.get("robots"))
    for key in ("og_image", "twitter_image"):
        fields[key] = _image(path, fields.get(key))
    return _build(path, native.SEOOverrides, fields)


def _expectation(path: str, data: Any) -> native.SEOExpectation | None:
    if data is None:
        return None
    if not isinstance(data, dict):
        raise InputError(path, "an expectation must be a table")
    fields = dict(data)
    for nested in ("title", "description"):
        fields[nested] = _expectation(path, fields.get(nested))
    return _build(path, native.SEOExpectation, fields)


def load_contract_config(path: str) -> native.SEOContractConfig:
    fields = _load(path)
    fields["defaults"] = _expectation(path, fields.get("defaults"))
    rules = []
    for rule in fields.get("rules") or []:
        if not isinstance(rule, dict) or "match" not in rule:
            raise InputError(path, "each rule must be a table with 'match'")
        expect = _expectation(path, rule.get("expect", {}))
        rules.append(_build(path, native.SEOContractRule, {**rule, "expect": expect}))
    fields["rules"] = rules
    exceptions = fields.get("exceptions") or {}
    if not isinstance(exceptions, dict):
        raise InputError(path, "exceptions must be a table of route -> expectation")
    fields["exceptions"] = [(route, _expectation(path, e)) for route, e in exceptions.items()]
    return _build(path, native.SEOContractConfig, fields)


def _payload(args: argparse.Namespace) -> native.SEOPayload:
    config = load_config(args.site)
    entity = load_entity(args.entity)
    overrides = load_overrides(args.overrides)
    try:
        return native.build_seo_payload(entity, args.route, config, overrides)
    except native.ZoretError as exc:
        raise InputError(args.site, f"cannot build the payload: {exc}") from None


def _cmd_render(args: argparse.Namespace) -> int:
    payload = _payload(args)
    if args.format == "html":
        sys.stdout.write(payload.render_html())
    elif args.format == "json":
        print(payload.to_json())
    elif args.format == "dict":
        print(json.dumps(payload.to_dict(), indent=2, ensure_ascii=False))
    else:
        print(payload.etag())
    return EXIT_OK


def _cmd_validate(args: argparse.Namespace) -> int:
    findings = native.validate_payload(_payload(args))
    for issue in findings:
        print(f"{issue.rule_id} {issue.message} ({issue.url})" if issue.url else f"{issue.rule_id} {issue.message}")
    return EXIT_FINDINGS if findings else EXIT_OK


def _cmd_contract(args: argparse.Namespace) -> int:
    contract = native.build_seo_contract(load_contract_config(args.config))
    if args.output == "-":
        print(contract.to_json())
        return EXIT_OK
    try:
        contract.write(args.output)
    except OSError as exc:
        raise InputError(args.output, str(exc)) from None
    print(f"wrote {args.output} (sha256 {contract.hash()})")
    return EXIT_OK


def _cmd_clean_url(args: argparse.Namespace) -> int:
    for url in args.urls:
        print(native.clean_url_fn(url)["url"])
    return EXIT_OK


def demo_payload() -> native.SEOPayload:
    """The main job on built-in defaults: a sample blog post on a sample site."""
    config = native.SEOConfig(
        "www.example.com",
        "https://www.example.com",
        site_name="Example Journal",
        title_template="{title} | Example Journal",
        default_og_image=native.SEOImage("/static/og-default.png", width=1200, height=630),
        publisher_name="Example Media",
        publisher_logo="/static/logo.png",
        locale="en_US",
        twitter_site="@example",
    )
    entity = native.SEOEntity(
        "post",
        title="Hello, deterministic metadata",
        excerpt="Same inputs, same bytes: how zoret resolves a page's SEO metadata.",
        status="published",
        featured_image=native.SEOImage("/media/hello.png", width=1600, height=900, alt="A hello"),
        published_at="2026-12-06",
        author_name="Ada Example",
        breadcrumbs=[
            native.Breadcrumb("Home", "/"),
            native.Breadcrumb("Blog", "/blog"),
            native.Breadcrumb("Hello", "/blog/hello"),
        ],
    )
    return native.build_seo_payload(entity, "/blog/hello/?utm_source=newsletter&page=1", config)


def _cmd_demo(_: argparse.Namespace) -> int:
    payload = demo_payload()
    sys.stdout.write(payload.render_html())
    print(f"ETag: {payload.etag()}")
    return EXIT_OK


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="zoret", description=__doc__)
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    commands.add_parser("demo", help="render a sample blog post and print its ETag").set_defaults(
        run=_cmd_demo
    )
    for name, run, help_text in (
        ("render", _cmd_render, "build a payload and print it"),
        ("validate", _cmd_validate, "build a payload and print its validation findings"),
    ):
        sub = commands.add_parser(name, help=help_text)
        sub.add_argument("--site", required=True, help="site configuration (.toml or .json)")
        sub.add_argument("--entity", required=True, help="content entity (.toml or .json)")
        sub.add_argument("--route", required=True, help="route of the page, e.g. /blog/hello")
        sub.add_argument("--overrides", help="per-call overrides (.toml or .json)")
        if name == "render":
            sub.add_argument("--format", choices=("html", "json", "dict", "etag"), default="html")
        sub.set_defaults(run=run)

    contract = commands.add_parser("contract", help="build and write an SEO contract")
    contract.add_argument("--config", required=True, help="contract configuration (.toml or .json)")
    contract.add_argument("-o", "--output", required=True, help="output file, or - for stdout")
    contract.set_defaults(run=_cmd_contract)

    clean = commands.add_parser("clean-url", help="remove tracking parameters from URLs")
    clean.add_argument("urls", nargs="+", metavar="URL")
    clean.set_defaults(run=_cmd_clean_url)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    args = _parser().parse_args(argv)
    try:
        return int(args.run(args))
    except InputError as exc:
        print(f"zoret: error: {exc}", file=sys.stderr)
        return EXIT_BAD_INPUT


if __name__ == "__main__":
    sys.exit(main())
