"""One million sitemap entries written from Python: zoret.site.write_sitemaps against a
plain Python writer (xml.sax.saxutils escaping and f-strings), side by side in this
process, uncompressed and gzipped.

    python bench/sitemap_py.py [--entries N] [--repeat R] [--json OUT]

Both writers take the same generator of routes and write the same set: urlsets of
50,000 URLs and an index, into a fresh directory each run. The plain writer is given
routes that need no URL normalisation, so that its f-string makes the same URL that
zoret's resolver does; the script checks that the uncompressed files are identical
before it compares times. The plain writer writes its files in place; zoret stages
them and renames the finished set, which is included in its figures.
"""

from __future__ import annotations

import argparse
import gzip
import json
import os
import resource
import sys
import tempfile
import time
from collections.abc import Callable, Iterator
from pathlib import Path
from xml.sax.saxutils import escape

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "python"))

import zoret  # noqa: E402  (needs the path above)
from zoret.site import write_sitemaps  # noqa: E402

BASE = "https://example.com"
URLSET_OPEN = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<urlset xmlns="http://www.sitemaps.org/schemas/sitemap/0.9"'
    ' xmlns:xhtml="http://www.w3.org/1999/xhtml"'
    ' xmlns:image="http://www.google.com/schemas/sitemap-image/1.1">\n'
)
INDEX_OPEN = (
    '<?xml version="1.0" encoding="UTF-8"?>\n'
    '<sitemapindex xmlns="http://www.sitemaps.org/schemas/sitemap/0.9">\n'
)
PER_FILE = 50_000
QUOTES = {'"': "&quot;", "'": "&apos;"}


def routes(count: int) -> Iterator[str]:
    """Routes already in canonical form, with a query that needs XML escaping."""
    return (f"/blog/{n // 1000}/post-{n}?page={n % 7}&lang=en" for n in range(count))


def plain_writer(entries: Iterator[str], directory: str, compress: bool) -> list[str]:
    """What a site would write by hand: one f-string per URL, saxutils escaping."""
    suffix = ".xml.gz" if compress else ".xml"
    opener: Callable[..., object] = gzip.open if compress else open
    written, out, in_file = [], None, 0
    for route in entries:
        if out is None or in_file == PER_FILE:
            if out is not None:
                out.write("</urlset>\n")
                out.close()
            name = f"sitemap-{len(written) + 1}{suffix}"
            written.append(name)
            out = opener(os.path.join(directory, name), "wt", encoding="utf-8", newline="")
            out.write(URLSET_OPEN)
            in_file = 0
        out.write(f"<url><loc>{escape(BASE + route, QUOTES)}</loc></url>\n")
        in_file += 1
    if out is not None:
        out.write("</urlset>\n")
        out.close()
    with opener(
        os.path.join(directory, f"sitemap{suffix}"), "wt", encoding="utf-8", newline=""
    ) as index:
        index.write(INDEX_OPEN)
        for name in written:
            index.write(f"<sitemap><loc>{escape(f'{BASE}/{name}', QUOTES)}</loc></sitemap>\n")
        index.write("</sitemapindex>\n")
    return [f"sitemap{suffix}", *written]


def zoret_writer(config: zoret.SEOConfig) -> Callable[[Iterator[str], str, bool], list[str]]:
    def write(entries: Iterator[str], directory: str, compress: bool) -> list[str]:
        return [Path(p).name for p in write_sitemaps(entries, config, directory, gzip=compress)]

    return write


def contents(directory: str, names: list[str]) -> list[bytes]:
    read = [Path(directory, name).read_bytes() for name in names]
    return [
        gzip.decompress(data) if name.endswith(".gz") else data
        for name, data in zip(names, read, strict=True)
    ]


def timed(
    writer: Callable[[Iterator[str], str, bool], list[str]], count: int, compress: bool, repeat: int
) -> tuple[float, float, list[str]]:
    """Best CPU and wall seconds of `repeat` runs, each into a fresh directory."""
    best_cpu = best_wall = float("inf")
    names: list[str] = []
    for _ in range(repeat):
        with tempfile.TemporaryDirectory(prefix="zoret-bench-") as directory:
            cpu, wall = time.process_time(), time.perf_counter()
            names = writer(routes(count), directory, compress)
            best_cpu = min(best_cpu, time.process_time() - cpu)
            best_wall = min(best_wall, time.perf_counter() - wall)
    return best_cpu, best_wall, names


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--entries", type=int, default=1_000_000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--json", metavar="OUT", help="also write the figures to this JSON file")
    args = parser.parse_args(argv)
    config = zoret.SEOConfig("example.com", BASE)

    with tempfile.TemporaryDirectory() as ours, tempfile.TemporaryDirectory() as theirs:
        sample = min(args.entries, 120_000)
        same = contents(ours, zoret_writer(config)(routes(sample), ours, False)) == contents(
            theirs, plain_writer(routes(sample), theirs, False)
        )

    print(f"sitemap writing from Python, {args.entries:,} entries, best of {args.repeat}")
    results = {}
    for compress in (False, True):
        for label, writer in (("zoret.site.write_sitemaps", zoret_writer(config)),
                              ("plain Python (saxutils + f-strings)", plain_writer)):  # fmt: skip
            cpu, wall, names = timed(writer, args.entries, compress, args.repeat)
            key = f"{'gzip' if compress else 'xml'}:{label}"
            results[key] = {"cpu_s": cpu, "wall_s": wall, "files": len(names)}
            mode = "gzip" if compress else "xml "
            print(f"  {mode}  {label:<38} {cpu:6.2f} s CPU  {wall:6.2f} s wall  {len(names)} files")
    xml_ours = results["xml:zoret.site.write_sitemaps"]["cpu_s"]
    xml_plain = results["xml:plain Python (saxutils + f-strings)"]["cpu_s"]
    gz_ours = results["gzip:zoret.site.write_sitemaps"]["cpu_s"]
    gz_plain = results["gzip:plain Python (saxutils + f-strings)"]["cpu_s"]
    cpu = time.process_time()
    for _ in routes(args.entries):
        pass
    generating = time.process_time() - cpu
    print(f"  of each figure, making the routes in the generator: {generating:.2f} s CPU")
    results["generator"] = {"cpu_s": generating}
    print(
        f"  plain / zoret: {xml_plain / xml_ours:.1f}x uncompressed, {gz_plain / gz_ours:.1f}x gzip"
    )
    print(f"  same bytes (first {sample:,} entries, uncompressed): {'yes' if same else 'NO'}")
    peak_mib = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"  peak RSS of this process: {peak_mib:.0f} MiB (entries are generated, never held)")
    goal = xml_ours <= 2.0 * args.entries / 1_000_000
    print(f"  goal: at most 2 s per million, uncompressed, one core: {'met' if goal else 'MISSED'}")
    if args.json:
        figures = {"results": results, "same_bytes": same, "peak_rss_mib": peak_mib}
        Path(args.json).write_text(json.dumps(figures, indent=2) + "\n")
    return 0 if same else 1


if __name__ == "__main__":
    raise SystemExit(main())
