"""``zoret audit``: the pages a site serves, checked against its SEO contract and the
site audit rules.

The pages come from a folder of built HTML files or over HTTP (URLs, or a sitemap's
pages); the reports are those of ``zoret check`` (text, JSON, JUnit, SARIF) and a
self-contained HTML page.
"""

from __future__ import annotations

import argparse
import sys
from collections.abc import Callable
from typing import Any, Literal

from zoret import _check_output as output
from zoret._files import InputError, output_file
from zoret._zoret_native import SEOConfig
from zoret._zoret_site import AuditRules, audit_rule_table
from zoret.check import SEVERITIES
from zoret.cli_check import EXIT_BAD_INPUT, EXIT_FINDINGS, EXIT_OK, _contract

FORMATS = ("text", "json", "junit", "sarif", "html")


def _source(args: argparse.Namespace) -> Any:
    from zoret.audit import SitemapUrls, Urls
    from zoret.audit.sources import as_source, is_url

    if not args.source:
        if args.sitemap is None:
            raise InputError("audit", "needs a folder, URLs, or --sitemap")
        return SitemapUrls(args.sitemap)
    if len(args.source) == 1:
        try:
            return as_source(args.source[0], strip_extension=args.strip_extension)
        except ValueError as exc:
            raise InputError("audit", str(exc)) from None
    if not all(is_url(s) for s in args.source):
        raise InputError("audit", "give one folder, or any number of http(s) URLs")
    return Urls(tuple(args.source))


def _rules(args: argparse.Namespace) -> AuditRules | Literal[False]:
    """The site audit rules the options ask for; False when they are off."""
    if not args.rules:
        return False
    disabled = [name for option in args.disable for name in option.split(",") if name.strip()]
    severities = {}
    for option in args.severity:
        rule, equals, level = option.partition("=")
        if not equals:
            raise InputError("--severity", f"expected RULE=LEVEL, got {option!r}")
        severities[rule.strip()] = level.strip()
    try:
        return AuditRules(
            disabled=[name.strip() for name in disabled],
            severities=severities,
            site_host=args.site_host,
        )
    except (ValueError, TypeError) as exc:
        raise InputError("audit", str(exc)) from None


def _rule_list() -> str:
    rows = audit_rule_table()
    lines = [f"  {r['id']}  {r['name']:<28} {r['scope']:<5} {r['severity']}" for r in rows]
    return "site audit rules (id, name, scope, default severity):\n" + "\n".join(lines)


def _client(scheduler: str | None, timeout: float) -> Any:
    if scheduler is None:
        return None
    try:
        from distributed import Client
    except ImportError as exc:
        from zoret.integrations import missing_extra

        raise InputError("--scheduler", str(missing_extra(exc, "dask", "--scheduler"))) from None
    try:
        return Client(scheduler, timeout=f"{timeout}s")  # type: ignore[no-untyped-call]
    except OSError as exc:
        raise InputError(scheduler, f"cannot reach the Dask scheduler: {exc}") from None


def _cmd_audit(args: argparse.Namespace, load_config: Callable[[str], SEOConfig]) -> int:
    try:
        from zoret.audit import AuditError, HttpOptions, audit
    except ImportError as exc:
        raise InputError("audit", str(exc)) from None
    source = _source(args)
    rules = _rules(args)
    contract = _contract(args.contract) if args.contract else None
    config = load_config(args.site) if args.site else None
    progress = sys.stderr.isatty() if args.progress is None else args.progress
    try:
        http = HttpOptions(concurrency=args.concurrency, timeout=args.timeout, retries=args.retries)
    except ValueError as exc:
        raise InputError("audit", str(exc)) from None
    client = _client(args.scheduler, args.timeout)
    try:
        report = audit(
            source,
            contract=contract,
            rules=rules,
            config=config,
            sitemap=args.sitemap if args.source else None,
            robots=args.robots,
            workers=args.workers,
            client=client,
            strip_extension=args.strip_extension,
            http=http,
            progress=progress,
        )
    except (AuditError, ValueError) as exc:
        raise InputError("audit", str(exc)) from None
    finally:
        if client is not None:
            client.close()
    for unreadable in report.unreadable:
        print(f"zoret: error: {unreadable.address}: {unreadable.error}", file=sys.stderr)
    origin = output.site_origin(report.source)
    with output_file(args.output) as out:
        reporter: output.Reporter
        if args.format == "html":
            from zoret._audit_html import HtmlReporter

            reporter = HtmlReporter(out, origin)
        else:
            suite = args.contract or "site audit"
            reporter = output.reporter(args.format, out, origin, suite, args.fail_on)
        for page, route, violations in report.by_page():
            if page is not None and page.error is not None:
                reporter.unreadable(page.address, page.error)
            else:
                reporter.route(page.address if page else route, route, violations)
        reporter.finish(report.tally())
    if progress:
        from rich.console import Console

        Console(stderr=True).print(report.summary_table())
    if report.unreadable:
        return EXIT_BAD_INPUT
    return EXIT_FINDINGS if report.failed(args.fail_on) else EXIT_OK


def add_command(
    commands: argparse._SubParsersAction[argparse.ArgumentParser],
    load_config: Callable[[str], SEOConfig],
) -> None:
    """Adds audit; `load_config` reads a site configuration file."""
    audit = commands.add_parser(
        "audit",
        help="read a site's pages back and check them against an SEO contract and site rules",
        description="Reads every page of a built site (a folder of HTML files) or of a live\n"
        "one (URLs, or the pages of a sitemap) and checks it against the contract and\n"
        "the site audit rules listed below. Exit status: 0 clean, 1 a violation at or\n"
        "above --fail-on, 2 bad input or a page that could not be read.",
        epilog=_rule_list(),
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    audit.add_argument(
        "source",
        nargs="*",
        metavar="DIR_OR_URL",
        help="a folder of HTML files, page URLs, or a sitemap URL (.xml, .xml.gz)",
    )
    audit.add_argument("--contract", help="the contract (JSON) or its configuration (TOML)")
    audit.add_argument("--site", help="site configuration (.toml or .json), to resolve 'self'")
    audit.add_argument(
        "--rules",
        action=argparse.BooleanOptionalAction,
        default=True,
        help="run the site audit rules (default); --no-rules checks the contract only",
    )
    audit.add_argument(
        "--disable",
        action="append",
        default=[],
        metavar="RULE",
        help="a rule to leave out, by id or name (ZORET217 or duplicate-title); repeat, "
        "or separate with commas",
    )
    audit.add_argument(
        "--severity",
        action="append",
        default=[],
        metavar="RULE=LEVEL",
        help="a rule's severity: error, warning or info (ZORET210=error); repeat for more",
    )
    audit.add_argument(
        "--site-host",
        metavar="HOST",
        help="the site's canonical host for the rules (default: --site's, else the "
        "sitemap's or the URLs' one host)",
    )
    audit.add_argument("--sitemap", help="a sitemap (file or URL) that says which pages are in it")
    audit.add_argument("--robots", help="robots.txt (file or URL); else the site's own is read")
    audit.add_argument(
        "--strip-extension",
        action="store_true",
        help="routes without .html, for sites served with clean URLs",
    )
    audit.add_argument("--format", choices=FORMATS, default="text")
    audit.add_argument("-o", "--output", default="-", help="output file (default: stdout)")
    audit.add_argument(
        "--fail-on",
        choices=SEVERITIES,
        default="error",
        help="exit with 1 when a violation is at least this severe (default: error)",
    )
    audit.add_argument(
        "--workers", type=int, help="processes reading pages (default: one per core)"
    )
    audit.add_argument(
        "--scheduler", metavar="URL", help="a Dask scheduler (tcp://host:8786) to run on"
    )
    audit.add_argument(
        "--progress",
        action=argparse.BooleanOptionalAction,
        help="a progress bar and a summary table on stderr (default: on a terminal)",
    )
    audit.add_argument(
        "--timeout",
        type=float,
        default=10.0,
        help="seconds for a request, and to reach a Dask scheduler (default: 10)",
    )
    audit.add_argument("--concurrency", type=int, default=8, help="requests at once")
    audit.add_argument("--retries", type=int, default=2, help="retries of a failed request")
    audit.set_defaults(run=lambda args: _cmd_audit(args, load_config))
