"""The `zoret` command line."""

from __future__ import annotations

import argparse
import sys

from zoret import _zoret_native as native

SAMPLE_URLS = (
    "https://example.com/blog/hello?utm_source=newsletter&id=7&fbclid=abc",
    "/shop/item?gclid=123&color=red#reviews",
)


def _demo(_: argparse.Namespace) -> int:
    for url in SAMPLE_URLS:
        result = native.clean_url_fn(url)
        print(f"{url}\n  -> {result['url']}  removed: {sorted(result['removed_params'])}")
    return 0


def _clean_url(args: argparse.Namespace) -> int:
    for url in args.urls:
        print(native.clean_url_fn(url)["url"])
    return 0


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(prog="zoret", description=__doc__)
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("demo", help="show zoret on built-in samples").set_defaults(run=_demo)
    clean = commands.add_parser("clean-url", help="remove tracking parameters from URLs")
    clean.add_argument("urls", nargs="+", metavar="URL")
    clean.set_defaults(run=_clean_url)
    args = parser.parse_args(argv)
    return int(args.run(args))


if __name__ == "__main__":
    sys.exit(main())
