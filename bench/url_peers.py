"""Times our URL parser beside ada-url and url-py on the same inputs.

Runs the C++ benchmark (zoret_url_bench, built with -DZORET_BUILD_BENCH=ON) for our
figures and times the two peers from Python on the same corpora: one typical page
URL and every WPT input without a base, failures included. Prints one table of
nanoseconds per URL, with each peer's figure also as a multiple of ours.

The peers are timed through their Python bindings, so their figures include the
cost of the call from Python; ours is a C++ loop. ada_can_parse is ada's C API
called through cffi on pre-encoded input, the closest to ada's own parser, and
"cffi call floor" is the cost of an empty cffi call: the difference estimates ada's
parse alone. url-py's figure also builds a Python object, and "Python call floor"
is an empty Python call. Every figure is the best of several passes; on a busy
machine expect noise of tens of percent all the same.

    python bench/url_peers.py [--bench build-bench/bench/zoret_url_bench]
"""

from __future__ import annotations

import argparse
import json
import re
import subprocess
import sys
import time
from collections.abc import Callable
from pathlib import Path

import ada_url
import url as urlpy
from ada_url._ada_wrapper import lib as ada_lib

ROOT = Path(__file__).resolve().parents[1]
WPT_URLTESTDATA = ROOT.parent / "shared/testdata/wpt/urltestdata.json"
TYPICAL = "https://example.com/blog/post?id=7"  # the C++ benchmark's typical URL


def wpt_inputs() -> list[str]:
    entries = json.loads(WPT_URLTESTDATA.read_text(encoding="utf-8"))
    return [e["input"] for e in entries if isinstance(e, dict) and e.get("base") is None]


def ours(binary: Path, runs: int) -> dict[str, float]:
    """Our ns/URL per corpus, the best of `runs` runs of the C++ benchmark."""
    figures: dict[str, float] = {}
    for _ in range(runs):
        report = subprocess.run([binary], capture_output=True, text=True, check=True).stdout
        for corpus, label in (("typical", "typical URL"), ("wpt", "WPT no-base")):
            found = re.search(rf"^{label}\s+([0-9.]+) ns/URL", report, re.M)
            if found:
                figures[corpus] = min(figures.get(corpus, float("inf")), float(found[1]))
    return figures


def ada_c_can_parse(text: bytes) -> object:
    return ada_lib.ada_can_parse(text, len(text))


def cffi_call_floor(text: bytes) -> object:
    return ada_lib.ada_get_version()


def ada_check_url(text: str) -> object:
    return ada_url.check_url(text)


def urlpy_parse(text: str) -> object:
    try:
        return urlpy.URL.parse(text).path
    except urlpy.URLError:
        return None


def python_call_floor(text: str) -> object:
    return text


# (name, takes UTF-8 bytes, function)
PEERS: tuple[tuple[str, bool, Callable[..., object]], ...] = (
    ("ada-url ada_can_parse", True, ada_c_can_parse),
    ("  cffi call floor", True, cffi_call_floor),
    ("ada-url check_url", False, ada_check_url),
    ("url-py URL.parse().path", False, urlpy_parse),
    ("  Python call floor", False, python_call_floor),
)


def ns_per_url(parse: Callable[..., object], inputs: list, budget_s: float) -> float:
    """The best of several timed passes over `inputs`, in ns per URL."""
    passes = max(1, int(20_000 / len(inputs)))  # about 20,000 parses per timing
    best = float("inf")
    deadline = time.perf_counter() + budget_s
    while True:
        start = time.perf_counter_ns()
        for _ in range(passes):
            for text in inputs:
                parse(text)
        best = min(best, (time.perf_counter_ns() - start) / (passes * len(inputs)))
        if time.perf_counter() > deadline:
            return best


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", type=Path, default=ROOT / "build-bench/bench/zoret_url_bench")
    parser.add_argument("--seconds", type=float, default=1.0, help="time budget per cell")
    parser.add_argument("--runs", type=int, default=3, help="runs of the C++ benchmark")
    args = parser.parse_args()
    if not args.bench.is_file():
        sys.exit(f"{args.bench} not found: build with -DZORET_BUILD_BENCH=ON")

    corpora = {"typical": [TYPICAL]}
    if WPT_URLTESTDATA.is_file():
        corpora["wpt"] = wpt_inputs()
    ours_ns = ours(args.bench, args.runs)

    names = {"typical": "typical URL", "wpt": f"WPT no-base ({len(corpora.get('wpt', []))})"}
    print(f"ns per URL (multiple of ours); ada-url {ada_url.get_version()}")
    print(f"{'parser':<26}" + "".join(f"{names[c]:>22}" for c in corpora))
    print(f"{'zoret parse_url (C++)':<26}" + "".join(f"{ours_ns[c]:>22.1f}" for c in corpora))
    for name, takes_bytes, parse in PEERS:
        cells = []
        for corpus, inputs in corpora.items():
            args_for = [s.encode() for s in inputs] if takes_bytes else inputs
            ns = ns_per_url(parse, args_for, args.seconds)
            cells.append(f"{ns:.1f} (x{ns / ours_ns[corpus]:.1f})")
        print(f"{name:<26}" + "".join(f"{cell:>22}" for cell in cells))
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
