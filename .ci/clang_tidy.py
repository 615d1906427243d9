"""Runs clang-tidy over the C++ files of the build whose path matches a pattern.

A file is checked again only when its compile command, the .clang-tidy file or
one of the headers it includes changed since it last passed (the dependency lists
come from ninja), so a second `make lint` takes seconds; a fresh build checks
everything, two files at a time by default. Each finding is printed once, even
when a header shows it in many files. The exit status is 1 when there was a
finding and --warnings-as-errors is given, or when clang-tidy itself failed.

    python .ci/clang_tidy.py BUILD_DIR PATTERN [--jobs N] [--warnings-as-errors]
"""

from __future__ import annotations

import argparse
import hashlib
import json
import re
import shutil
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
DIAGNOSTIC = re.compile(r"^(?P<where>[^ :]+:\d+:\d+): (?P<level>warning|error): (?P<text>.*)$")


def ninja_deps(build: Path) -> dict[str, list[str]]:
    """The headers each object file was compiled from, as ninja recorded them."""
    # The virtual environment's ninja (the one that built the folder) comes first.
    ninja = shutil.which("ninja", path=str(Path(sys.executable).parent)) or "ninja"
    out = subprocess.run(
        [ninja, "-C", str(build), "-t", "deps"], capture_output=True, text=True, check=False
    ).stdout
    deps: dict[str, list[str]] = {}
    current: list[str] = []
    for line in out.splitlines():
        if line and not line.startswith(" "):
            current = deps.setdefault(line.split(":", 1)[0], [])
        elif line.strip():
            current.append(line.strip())
    return deps


def fingerprint(entry: dict[str, str], headers: list[str], config: bytes) -> str:
    digest = hashlib.sha256(config)
    digest.update(entry.get("command", " ".join(entry.get("arguments", []))).encode())
    for name in [entry["file"], *headers]:
        path = (Path(entry["directory"]) / name).resolve()
        digest.update(str(path).encode())
        # Our own files by content, system headers by modification time.
        if path.is_relative_to(ROOT):
            digest.update(path.read_bytes() if path.exists() else b"missing")
        else:
            digest.update(str(path.stat().st_mtime_ns if path.exists() else 0).encode())
    return digest.hexdigest()


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("build", type=Path)
    parser.add_argument("pattern")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--warnings-as-errors", action="store_true")
    args = parser.parse_args()

    build = args.build.resolve()
    # A file compiled into several targets (the fuzzers' replay main) is checked once.
    entries = list(
        {
            entry["file"]: entry
            for entry in reversed(json.loads((build / "compile_commands.json").read_text()))
            if re.search(args.pattern, entry["file"])
        }.values()
    )
    deps = ninja_deps(build)
    configs = [ROOT / ".clang-tidy", *(ROOT / "tests").glob("*/.clang-tidy")]
    config = b"".join(path.read_bytes() for path in configs)
    stamps = build / "clang-tidy-passed"
    stamps.mkdir(exist_ok=True)

    def check(entry: dict[str, str]) -> tuple[bool, int, str]:
        """(whether clang-tidy ran, its exit status, its findings)"""
        output = Path(entry["directory"], entry.get("output", ""))
        headers = deps.get(str(output.relative_to(build)) if output.is_relative_to(build) else "")
        key = fingerprint(entry, headers or [], config)
        stamp = stamps / hashlib.sha256(entry["file"].encode()).hexdigest()
        if stamp.exists() and stamp.read_text() == key:
            return False, 0, ""
        run = subprocess.run(
            ["clang-tidy", "-p", str(build), "--quiet", "--extra-arg=-Wno-unknown-warning-option",
             entry["file"]],
            capture_output=True, text=True, check=False,
        )  # fmt: skip
        findings = "\n".join(line for line in run.stdout.splitlines() if DIAGNOSTIC.match(line))
        if run.returncode == 0 and not findings:
            stamp.write_text(key)
        elif run.returncode != 0 and not findings:
            findings = run.stdout + run.stderr
        return True, run.returncode, findings

    started = time.monotonic()
    with ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(check, entries))
    seen: set[str] = set()
    failed = False
    for _ran, status, findings in results:
        failed = failed or status != 0
        for line in findings.splitlines():
            if line not in seen:
                seen.add(line)
                print(line.replace(f"{ROOT}/", ""))
    ran = sum(1 for result in results if result[0])
    print(
        f"clang-tidy: {ran} of {len(entries)} files checked (the others unchanged since they "
        f"passed), {len(seen)} findings, {time.monotonic() - started:.0f} s",
        file=sys.stderr,
    )
    return 1 if failed or (seen and args.warnings_as_errors) else 0


if __name__ == "__main__":
    sys.exit(main())
