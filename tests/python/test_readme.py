"""Every Python block of the README runs as shown, and so do its `zoret` command lines."""

import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
README = (ROOT / "README.md").read_text(encoding="utf-8")
# A fenced block, with the line before it (which may name the file it shows).
BLOCK = re.compile(r"(?P<before>[^\n]*)\n\n?```(?P<lang>\w*)\n(?P<body>.*?)\n```", re.S)
BLOCKS = [
    (m["lang"], m["body"], m["before"], README[: m.start()].count("\n") + 2)
    for m in BLOCK.finditer(README)
]
FILES = {found[1]: body for _, body, before, _ in BLOCKS if (found := re.search(r"`([\w.-]+)`:$", before))}  # fmt: skip
PYTHON = [(body, line) for lang, body, _, line in BLOCKS if lang == "python"]
COMMANDS = [
    [*shlex.split(line, comments=True), line.partition(" # ")[2].strip()]
    for lang, body, _, _ in BLOCKS
    if lang == "sh"
    for line in body.splitlines()
    if line.startswith("zoret ")
]
ENV = os.environ | {"PYTHONPATH": str(ROOT / "python")}


def test_the_readme_has_what_it_promises():
    assert len(PYTHON) >= 10 and len(COMMANDS) >= 8
    assert {"site.toml", "post.json", "contract.toml"} <= FILES.keys()


@pytest.mark.parametrize(
    "code", [code for code, _ in PYTHON], ids=[f"line {line}" for _, line in PYTHON]
)
def test_python_blocks_run_as_shown(tmp_path, code):
    done = subprocess.run([sys.executable, "-c", code], cwd=tmp_path, env=ENV, capture_output=True,
                          text=True, timeout=120)  # fmt: skip
    assert (done.returncode, done.stderr) == (0, "")


@pytest.fixture(scope="module")
def workdir(tmp_path_factory):
    directory = tmp_path_factory.mktemp("readme")
    for name, text in FILES.items():
        (directory / name).write_text(text + "\n", encoding="utf-8")
    return directory


@pytest.mark.parametrize("command", COMMANDS, ids=[" ".join(c[1:3]) for c in COMMANDS])
def test_shell_examples_run_as_shown(workdir, command):
    *argv, comment = command
    done = subprocess.run([sys.executable, "-m", "zoret", *argv[1:]], cwd=workdir, env=ENV,
                          capture_output=True, text=True, timeout=120)  # fmt: skip
    assert (done.returncode, done.stderr) == (0, "")
    if comment and (" " not in comment or comment.startswith("zoret ")):  # the output itself
        assert done.stdout.strip() == comment
