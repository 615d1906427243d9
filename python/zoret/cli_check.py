"""``zoret check``, ``zoret snapshot`` and ``zoret diff``: contracts and snapshots of a
whole site, from a route manifest.

A manifest is a JSON Lines file, one page per line: ``{"route": "/blog/hello",
"entity": {...}, "overrides": {...}}`` with the entity and overrides in the forms of
the other commands' files (`zoret.forms`); blank lines are skipped. Each line is read,
built and checked in the core, one at a time.
"""

from __future__ import annotations

import argparse
import contextlib
import json
import os
import sys
import warnings
from collections.abc import Callable, Iterator
from typing import IO, Any

from zoret import _check_output as output
from zoret import forms
from zoret._files import InputError, output_file
from zoret._zoret_native import ContractError, SEOConfig
from zoret._zoret_site import ManifestChecker, snapshot_manifest_line
from zoret.check import SEVERITIES, Contract, at_least, load_contract
from zoret.manifest import TOO_LONG, manifest_lines

EXIT_OK, EXIT_FINDINGS, EXIT_BAD_INPUT = 0, 1, 2


#: Longer manifest lines are refused without being held in memory.
@contextlib.contextmanager
def _progress(path: str, enabled: bool) -> Iterator[Callable[[int], None]]:
    """A progress bar over the manifest's bytes on a terminal's stderr; a no-op elsewhere."""
    if not enabled or not sys.stderr.isatty():
        yield lambda consumed: None
        return
    from rich.console import Console
    from rich.progress import (
        BarColumn,
        Progress,
        TaskProgressColumn,
        TextColumn,
        TimeRemainingColumn,
    )

    with Progress(
        TextColumn("{task.description}"),
        BarColumn(),
        TaskProgressColumn(),
        TimeRemainingColumn(),
        console=Console(stderr=True),
        transient=True,
    ) as bar:
        task = bar.add_task(path, total=os.path.getsize(path) or None)
        pending = 0

        def advance(consumed: int) -> None:
            nonlocal pending
            pending += consumed
            if pending >= 1 << 18:  # a redraw costs far more than a line
                bar.advance(task, pending)
                pending = 0

        yield advance


def _open_manifest(path: str) -> IO[bytes]:
    try:
        return open(path, "rb")
    except OSError as exc:
        raise InputError(path, exc.strerror or str(exc)) from None


def _lines(
    args: argparse.Namespace,
    handle: Callable[[int, bytes], None],
    on_bad_line: Callable[[int, str], None] = lambda number, message: None,
) -> int:
    """Feeds each manifest line to `handle`; a line it refuses with ValueError (or one too
    long) stops the run with InputError, or with --keep-going is reported on stderr and to
    `on_bad_line`, and skipped. Returns the number of bad lines."""
    bad = 0
    with _open_manifest(args.manifest) as file, _progress(args.manifest, not args.quiet) as step:
        for number, line, consumed in manifest_lines(file):
            step(consumed)
            try:
                if line is None:
                    raise ValueError(TOO_LONG)
                handle(number, line)
            except ValueError as exc:
                if not args.keep_going:
                    raise InputError(f"{args.manifest}:{number}", str(exc)) from None
                bad += 1
                print(f"zoret: error: {args.manifest}:{number}: {exc}", file=sys.stderr)
                on_bad_line(number, str(exc))
    return bad


def _contract(path: str) -> Contract:
    with warnings.catch_warnings(record=True) as dropped:
        warnings.simplefilter("always", forms.DroppedSettingWarning)
        try:
            contract = load_contract(path)
        except OSError as exc:
            raise InputError(path, exc.strerror or str(exc)) from None
        except ContractError as exc:
            raise InputError(path, str(exc).removeprefix(f"{path}: ")) from None
    for warning in dropped:
        print(f"zoret: warning: {path}: {warning.message}", file=sys.stderr)
    return contract


def _site(args: argparse.Namespace, load_config: Callable[[str], SEOConfig]) -> SEOConfig:
    if not args.site or not args.manifest:
        raise InputError(args.command, "needs --site and --manifest")
    return load_config(args.site)


def _cmd_check(args: argparse.Namespace, load_config: Callable[[str], SEOConfig]) -> int:
    contract = _contract(args.contract)
    if args.explain is not None:
        explanation = contract.explain(args.explain)
        if args.format == "json":
            print(json.dumps(explanation.to_dict(), indent=2, ensure_ascii=False))
        else:
            print(explanation)
        return EXIT_OK
    findings = contract.lint()
    if args.lint:
        for f in findings:
            print(f"{args.contract}: {f.layer}: {f.field + ': ' if f.field else ''}{f.message}")
        return EXIT_FINDINGS if findings else EXIT_OK
    for f in findings:
        field = f"{f.field}: " if f.field else ""
        print(f"zoret: warning: {args.contract}: {f.layer}: {field}{f.message}", file=sys.stderr)
    checker = ManifestChecker(contract, _site(args, load_config))
    with output_file(args.output) as out:
        reporter = output.reporter(
            args.format, out, output.manifest_origin(args.manifest), args.contract, args.fail_on
        )
        failing = False

        def check_line(number: int, line: bytes) -> None:
            nonlocal failing
            route, violations = checker.check_line(line)
            reporter.route(number, route, violations)
            failing = failing or any(at_least(v.severity, args.fail_on) for v in violations)

        bad = _lines(args, check_line, reporter.unreadable)
        reporter.finish(checker.tally() | {"unreadable": bad})
    return EXIT_BAD_INPUT if bad else EXIT_FINDINGS if failing else EXIT_OK


def _cmd_snapshot(args: argparse.Namespace, load_config: Callable[[str], SEOConfig]) -> int:
    config = _site(args, load_config)
    seen: dict[str, int] = {}
    with output_file(args.output) as out:

        def snapshot_line(number: int, line: bytes) -> None:
            route, _, text = snapshot_manifest_line(line, config)
            if route in seen:
                raise ValueError(f"route {route!r} is already at line {seen[route]}")
            seen[route] = number
            out.write(text + "\n")

        bad = _lines(args, snapshot_line)
    if args.output != "-":
        print(f"wrote {args.output} ({len(seen)} routes)")
    return EXIT_BAD_INPUT if bad else EXIT_OK


def _shown(value: Any, limit: int = 200) -> str:
    from zoret.snapshot import ABSENT

    if value is ABSENT:
        return "(absent)"
    text = json.dumps(value, ensure_ascii=False)
    return text if len(text) <= limit else text[: limit - 1] + "…"


def _cmd_diff(args: argparse.Namespace, _: object) -> int:
    from zoret.snapshot import ABSENT, diff_locks

    try:
        diff = diff_locks(args.old, args.new)
    except OSError as exc:
        raise InputError(exc.filename or args.old, exc.strerror or str(exc)) from None
    if args.format == "json":
        changed = [
            {
                "route": route,
                "changes": [
                    {"path": c.path}
                    | ({} if c.old is ABSENT else {"old": c.old})
                    | ({} if c.new is ABSENT else {"new": c.new})
                    for c in changes
                ],
            }
            for route, changes in diff.changed.items()
        ]
        summary = {"added": len(diff.added), "removed": len(diff.removed)}
        summary |= {"changed": len(diff.changed), "unchanged": diff.unchanged}
        document = {"added": diff.added, "removed": diff.removed, "changed": changed}
        print(json.dumps(document | {"summary": summary}, indent=2, ensure_ascii=False))
    else:
        for route in diff.added:
            print(f"added    {route}")
        for route in diff.removed:
            print(f"removed  {route}")
        for route, changes in diff.changed.items():
            print(f"changed  {route}")
            for c in changes:
                print(f"  {c.path or '(payload)'}: {_shown(c.old)} -> {_shown(c.new)}")
        print(
            f"{len(diff.added)} added, {len(diff.removed)} removed, {len(diff.changed)} changed, "
            f"{diff.unchanged} unchanged"
        )
    return EXIT_FINDINGS if diff else EXIT_OK


def add_commands(
    commands: argparse._SubParsersAction[argparse.ArgumentParser],
    load_config: Callable[[str], SEOConfig],
) -> None:
    """Adds check, snapshot and diff; `load_config` reads a site configuration file."""

    def bind(run: Callable[[argparse.Namespace, Callable[[str], SEOConfig]], int]) -> Any:
        return lambda args: run(args, load_config)

    def manifest_options(sub: argparse.ArgumentParser) -> None:
        sub.add_argument("--site", help="site configuration (.toml or .json)")
        sub.add_argument("--manifest", help="routes to build, one JSON object per line")
        sub.add_argument(
            "--keep-going",
            action="store_true",
            help="report a manifest line that cannot be read and go on with the next",
        )
        sub.add_argument("-q", "--quiet", action="store_true", help="no progress bar")

    check = commands.add_parser(
        "check",
        help="check every page of a manifest against an SEO contract",
        description="Builds each page of the manifest and checks it against the contract. "
        "Exit status: 0 clean, 1 a violation at or above --fail-on, 2 bad input.",
    )
    check.add_argument(
        "--contract", required=True, help="the contract (JSON) or its configuration (TOML)"
    )
    manifest_options(check)
    check.add_argument("--format", choices=("text", "json", "junit", "sarif"), default="text")
    check.add_argument(
        "--fail-on",
        choices=SEVERITIES,
        default="error",
        help="exit with 1 when a violation is at least this severe (default: error)",
    )
    check.add_argument("-o", "--output", default="-", help="output file (default: stdout)")
    check.add_argument(
        "--explain", metavar="ROUTE", help="print the layered expectation for ROUTE and stop"
    )
    check.add_argument(
        "--lint", action="store_true", help="print what in the contract cannot work and stop"
    )
    check.set_defaults(run=bind(_cmd_check))

    snapshot = commands.add_parser(
        "snapshot",
        help="write the payload of every page of a manifest to a snapshot file",
        description="One line per route, in manifest order: route, payload hash, payload.",
    )
    manifest_options(snapshot)
    snapshot.add_argument("-o", "--output", required=True, help="snapshot file, or - for stdout")
    snapshot.set_defaults(run=bind(_cmd_snapshot))

    diff = commands.add_parser(
        "diff",
        help="list the routes whose metadata changed between two snapshot files",
        description="Exit status: 0 no change, 1 changes, 2 bad input.",
    )
    diff.add_argument("old")
    diff.add_argument("new")
    diff.add_argument("--format", choices=("text", "json"), default="text")
    diff.set_defaults(run=bind(_cmd_diff))
