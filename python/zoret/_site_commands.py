"""``zoret sitemap`` and ``zoret robots``: site outputs from the command line."""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
from collections.abc import Callable, Iterator
from typing import Any

from zoret import _zoret_native as native
from zoret import cli, site
from zoret._files import InputError, load_table
from zoret.manifest import ManifestError, read_manifest

# A manifest of this size takes long enough for a progress bar to help.
_PROGRESS_BYTES = 256 * 1024


def _is_noindex(robots: str) -> bool:
    return any(part.strip().lower() in ("noindex", "none") for part in robots.split(","))


@contextlib.contextmanager
def _progress(path: str) -> Iterator[Callable[[int], None] | None]:
    """A byte counter that drives a rich progress bar on a terminal for long manifests;
    None where no bar is shown (not a terminal, a short file, rich not installed)."""
    try:
        size = os.path.getsize(path)
    except OSError:
        size = 0
    if size < _PROGRESS_BYTES or not sys.stderr.isatty():
        yield None
        return
    try:
        from rich.console import Console
        from rich.progress import Progress
    except ImportError:
        yield None
        return
    # On standard error, so that standard output keeps only the result.
    with Progress(console=Console(file=sys.stderr), transient=True) as bar:
        task = bar.add_task(f"reading {os.path.basename(path)}", total=size)
        yield lambda n: bar.advance(task, n)


def _cmd_sitemap(args: argparse.Namespace) -> int:
    config = cli.load_config(args.site)
    counts = {"urls": 0, "noindex": 0}
    line = 0

    def entries(progress: Callable[[int], None] | None) -> Iterator[site.SitemapEntry]:
        nonlocal line
        for page in read_manifest(args.manifest, progress=progress):
            line = page.line
            # The page's own payload decides what is listed: its canonical URL (so the
            # sitemap names what the head names) and whether it may be indexed at all.
            payload = native.build_seo_payload(page.entity, page.route, config, page.overrides)
            if _is_noindex(payload.robots) and not args.include_noindex:
                counts["noindex"] += 1
                continue
            dates = page.entity.to_dict()
            counts["urls"] += 1
            yield site.SitemapEntry(
                payload.canonical, lastmod=dates.get("updated_at") or dates.get("published_at")
            )

    try:
        os.makedirs(args.output, exist_ok=True)
        with _progress(args.manifest) as progress:
            written = site.write_sitemaps(
                entries(progress),
                config,
                args.output,
                gzip=args.gzip,
                public_path=args.public_path,
                basename=args.basename,
            )
    except ManifestError as exc:
        raise InputError(f"{exc.path}:{exc.line}", exc.reason) from None
    except (FileExistsError, NotADirectoryError, PermissionError) as exc:
        raise InputError(args.output, exc.strerror or str(exc)) from None
    except (native.ZoretError, UnicodeError) as exc:
        # A route or entity of the manifest that cannot be written (bad dates, lone
        # surrogates, URLs the site cannot serve); before the first line, the site.
        where = f"{args.manifest}:{line}" if line else f"{args.site}, {args.manifest}"
        raise InputError(where, str(exc)) from None
    noindex = f"; {counts['noindex']} noindex pages left out" if counts["noindex"] else ""
    files = len(written) - (len(written) > 1)
    print(f"wrote {written[0]} ({counts['urls']} URLs in {files} file(s){noindex})")
    return cli.EXIT_OK


def _robots_record(path: str | None) -> dict[str, Any]:
    """The groups, sitemaps and comments of a robots file (TOML or JSON)."""
    if path is None:
        return {"groups": [site.ALLOW_ALL], "sitemaps": [], "comments": []}
    data = load_table(path)
    unknown = sorted(set(data) - {"groups", "sitemaps", "comments"})
    if unknown:
        raise InputError(path, f"unknown key(s) {', '.join(map(repr, unknown))}")
    try:
        groups = [site.RobotsGroup(**group) for group in data.get("groups", [])]
    except TypeError as exc:
        raise InputError(path, f"groups: {exc}") from None
    return {
        "groups": groups or [site.ALLOW_ALL],
        "sitemaps": list(data.get("sitemaps", [])),
        "comments": list(data.get("comments", [])),
    }


def _cmd_robots(args: argparse.Namespace) -> int:
    config = cli.load_config(args.site)
    record = _robots_record(args.rules)
    try:
        text = site.render_robots(
            config,
            record["groups"],
            sitemaps=[*record["sitemaps"], *args.sitemap],
            comments=record["comments"],
            production=args.production,
            host=args.host,
        )
    except (native.ZoretError, TypeError) as exc:
        raise InputError(args.rules or args.site, str(exc)) from None
    sys.stdout.write(text)
    return cli.EXIT_OK


def add_commands(commands: Any) -> None:
    """Adds ``sitemap`` and ``robots`` to the CLI's subcommands."""
    sitemap = commands.add_parser(
        "sitemap", help="write the sitemap set of the pages in a manifest"
    )
    sitemap.add_argument("--site", required=True, help="site configuration (.toml or .json)")
    sitemap.add_argument(
        "--manifest", required=True, help='JSON Lines, one {"route", "entity", "overrides"} a line'
    )
    sitemap.add_argument(
        "-o", "--output", required=True, help="directory to write into (made if missing)"
    )
    sitemap.add_argument("--gzip", action="store_true", help="write .xml.gz files")
    sitemap.add_argument(
        "--public-path", default="/", help="URL path the files are served under (default /)"
    )
    sitemap.add_argument("--basename", default="sitemap", help="file name stem (default sitemap)")
    sitemap.add_argument(
        "--include-noindex", action="store_true", help="also list pages whose robots say noindex"
    )
    sitemap.set_defaults(run=_cmd_sitemap)

    robots = commands.add_parser("robots", help="print robots.txt for the site")
    robots.add_argument("--site", required=True, help="site configuration (.toml or .json)")
    robots.add_argument(
        "--rules", help="groups, sitemaps and comments (.toml or .json); default: allow all"
    )
    robots.add_argument(
        "--sitemap", action="append", default=[], metavar="URL", help="a sitemap route or URL"
    )
    robots.add_argument(
        "--host", help="the host it is served on: any but the canonical host keeps crawlers out"
    )
    robots.add_argument(
        "--production",
        action=argparse.BooleanOptionalAction,
        default=None,
        help="force the production file (or the keep-out file), whatever --host says",
    )
    robots.set_defaults(run=_cmd_robots)
