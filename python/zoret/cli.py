"""zoret on the command line: render, validate and hash SEO metadata, build contracts."""

from __future__ import annotations

import argparse
import json
import os
import sys
import warnings
from collections.abc import Callable, Sequence
from typing import Any, TypeVar

from zoret import __version__, cli_audit, cli_check, forms
from zoret import _zoret_native as native
from zoret._files import InputError, load_table

EXIT_OK, EXIT_FINDINGS, EXIT_BAD_INPUT = 0, 1, 2
EXIT_BROKEN_PIPE = 128 + 13  # what a shell reports for a filter ended by SIGPIPE

_T = TypeVar("_T")


def _form(path: str, read: Callable[[dict[str, Any]], _T]) -> _T:
    """Reads `path` and turns it into a record; problems name the file."""
    try:
        return read(load_table(path))
    except forms.FormError as exc:
        raise InputError(path, str(exc)) from None


def load_config(path: str) -> native.SEOConfig:
    """The site configuration in `path` (hooks and schema registries are Python-only)."""
    return _form(path, lambda data: forms.config_from_dict(data, python_objects=False))


def load_entity(path: str) -> native.SEOEntity:
    """The content entity in `path`."""
    return _form(path, forms.entity_from_dict)


def load_overrides(path: str | None) -> native.SEOOverrides | None:
    """The per-call overrides in `path`, or None without a path."""
    return None if path is None else _form(path, forms.overrides_from_dict)


def load_contract_config(path: str) -> native.SEOContractConfig:
    """The contract configuration in `path`; settings it would drop are warned about on
    stderr, since whoever wrote them expects them to count."""
    with warnings.catch_warnings(record=True) as dropped:
        warnings.simplefilter("always", forms.DroppedSettingWarning)
        config = _form(path, forms.contract_config_from_dict)
    for warning in dropped:
        print(f"zoret: warning: {path}: {warning.message}", file=sys.stderr)
    return config


def _payload(args: argparse.Namespace) -> native.SEOPayload:
    config = load_config(args.site)
    entity = load_entity(args.entity)
    overrides = load_overrides(args.overrides)
    try:
        return native.build_seo_payload(entity, args.route, config, overrides)
    except native.ZoretError as exc:
        # The route and all three files meet here; name every file that took part.
        files = ", ".join(p for p in (args.site, args.entity, args.overrides) if p is not None)
        raise InputError(files, f"cannot build the payload of {args.route!r}: {exc}") from None


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


_SEVERITY_RANK = {"info": 0, "warning": 1, "error": 2}


def _cmd_validate(args: argparse.Namespace) -> int:
    findings = native.validate_payload(_payload(args))
    if args.format == "json":
        fields = ("rule_id", "severity", "message", "url", "details")
        rows = [{name: getattr(issue, name) for name in fields} for issue in findings]
        print(json.dumps(rows, indent=2, ensure_ascii=False))
    for issue in findings if args.format == "text" else ():
        # After the severity, the same text as the warnings of SEOConfig(emit_warnings=True).
        url = f" ({issue.url})" if issue.url else ""
        print(f"{issue.severity}: [{issue.rule_id}] {issue.message}{url}")
    threshold = _SEVERITY_RANK[args.fail_on]
    failing = any(_SEVERITY_RANK[issue.severity] >= threshold for issue in findings)
    return EXIT_FINDINGS if failing else EXIT_OK


def _cmd_contract(args: argparse.Namespace) -> int:
    try:
        contract = native.build_seo_contract(load_contract_config(args.config))
    except native.ZoretError as exc:
        raise InputError(args.config, f"cannot build the contract: {exc}") from None
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
    parser.add_argument("--version", action="version", version=f"zoret {__version__}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="COMMAND")

    demo = commands.add_parser("demo", help="render a sample blog post and print its ETag")
    demo.set_defaults(run=_cmd_demo)
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
        else:
            sub.add_argument("--format", choices=("text", "json"), default="text")
            sub.add_argument(
                "--fail-on",
                choices=tuple(_SEVERITY_RANK),
                default="info",
                help="exit with 1 when a finding is at least this severe (default: any finding)",
            )
        sub.set_defaults(run=run)

    contract = commands.add_parser("contract", help="build and write an SEO contract")
    contract.add_argument("--config", required=True, help="contract configuration (.toml or .json)")
    contract.add_argument("-o", "--output", required=True, help="output file, or - for stdout")
    contract.set_defaults(run=_cmd_contract)

    clean = commands.add_parser("clean-url", help="remove tracking parameters from URLs")
    clean.add_argument("urls", nargs="+", metavar="URL")
    clean.set_defaults(run=_cmd_clean_url)
    from zoret import _site_commands  # it reads files through this module

    _site_commands.add_commands(commands)
    cli_check.add_commands(commands, load_config)
    cli_audit.add_command(commands, load_config)
    return parser


def main(argv: Sequence[str] | None = None) -> int:
    """Runs one command; 0 on success, 1 when validation, check or diff have findings, 2 for
    bad input."""
    args = _parser().parse_args(argv)
    try:
        status = int(args.run(args))
        sys.stdout.flush()
        return status
    except InputError as exc:
        print(f"zoret: error: {exc}", file=sys.stderr)
        return EXIT_BAD_INPUT
    except BrokenPipeError:
        # The reader left early (`zoret demo | head -3`): stop quietly, and keep the
        # interpreter's final flush from failing again on the dead pipe.
        _discard_stdout()
        return EXIT_BROKEN_PIPE
    except OSError as exc:
        # Input files and the contract file are reported above; what is left is the
        # output itself failing (a full disk, /dev/full).
        where = exc.filename if exc.filename is not None else "standard output"
        print(f"zoret: error: {where}: {exc.strerror or exc}", file=sys.stderr)
        _discard_stdout()
        return EXIT_BAD_INPUT


def _discard_stdout() -> None:
    """Points standard output at the null device, dropping what is still buffered."""
    os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())


if __name__ == "__main__":
    sys.exit(main())
