"""The wheel of `make wheel`: what it holds, and that it runs on a system that has none
of the libraries it bundles (they are hidden by empty files bind-mounted over them in a
mount namespace of its own)."""

import json
import os
import re
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

import zoret

ROOT = Path(__file__).resolve().parents[2]
BUNDLED = ["libicuuc.so.72", "libicudata.so.72", "libcrypto.so.3", "libre2.so.9"]


def why_no_isolation():
    if shutil.which("unshare") is None or shutil.which("mount") is None:
        return "unshare and mount (util-linux) are needed to hide the system libraries"
    if os.geteuid() != 0:
        return "hiding the system libraries needs root (a mount namespace with bind mounts)"
    probe = subprocess.run(["unshare", "-m", "true"], capture_output=True, text=True)
    if probe.returncode != 0:
        return f"mount namespaces are unavailable here: {probe.stderr.strip()}"
    return None


NO_ISOLATION = why_no_isolation()
pytestmark = [
    pytest.mark.outside,
    pytest.mark.skipif(NO_ISOLATION is not None, reason=str(NO_ISOLATION)),
]


@pytest.fixture(scope="module")
def wheel():
    # The build and its tools must not inherit this interpreter's test settings.
    env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "PYTHONMALLOC", "MAKEFLAGS", "MFLAGS")}  # fmt: skip
    done = subprocess.run(["make", "--no-print-directory", "wheel"], cwd=ROOT, env=env, capture_output=True, text=True)  # fmt: skip
    assert done.returncode == 0, done.stdout[-3000:] + done.stderr[-3000:]
    [path] = (ROOT / "dist").glob("zoret-*.whl")
    return path


def test_the_wheel_holds_both_modules_and_the_libraries_they_link(wheel):
    assert re.fullmatch(r"zoret-0\.2\.0-cp311-abi3-manylinux_2_\d+_x86_64\.whl", wheel.name)
    with zipfile.ZipFile(wheel) as archive:
        sizes = {re.sub(r"-[0-9a-f]{8}(?=\.so)", "", info.filename): info.file_size for info in archive.infolist()}  # fmt: skip
    assert {"zoret/_zoret_native.abi3.so", "zoret/_zoret_site.abi3.so", "zoret/py.typed"} <= set(sizes)  # fmt: skip
    libs = {name.removeprefix("zoret.libs/") for name in sizes if name.startswith("zoret.libs/lib")}
    assert {"libicuuc.so.72.1", "libicudata.so.72.1", "libcrypto.so.3"} <= libs
    assert sizes["zoret.libs/libicudata.so.72.1"] < 200_000  # the trimmed data, not ICU's 30 MB
    assert wheel.stat().st_size < 5_000_000


CHECK = """
import ctypes, json, sys
hidden = []
for name in sys.argv[1:]:
    try:
        ctypes.CDLL(name)
    except OSError:
        hidden.append(name)
import zoret, zoret._zoret_site
config = zoret.SEOConfig("example.com", "https://example.com")
entity = zoret.SEOEntity("post", title="Grüße", excerpt="Kurz.")
payload = zoret.build_seo_payload(entity, "/Blog/Ärger", config, zoret.SEOOverrides(canonical_url="https://Bücher.example/x"))
try:
    zoret.build_seo_payload(entity, "/", config, zoret.SEOOverrides(canonical_url="https://xn--a.ß/x"))
except zoret.InvalidUrlError as error:
    refused = str(error)
libs = sorted({line.split()[-1] for line in open("/proc/self/maps") if ".so" in line})
print(json.dumps({"hidden": hidden, "json": payload.to_json(), "etag": payload.etag(), "refused": refused,
                  "path": zoret.normalize_path_fn("/ÄRGER", zoret.URLPolicy(lowercase_paths=True)),
                  "libs": [lib for lib in libs if any(k in lib for k in ("icu", "crypto", "re2"))]}))
"""


def test_the_wheel_runs_where_the_system_libraries_are_hidden(wheel, tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([sys.executable, "-m", "venv", "--without-pip", venv], check=True)
    subprocess.run([sys.executable, "-m", "pip", "--python", venv / "bin" / "python", "install", "-q",
                    "--no-deps", "--no-index", "--disable-pip-version-check", wheel], check=True)  # fmt: skip
    (tmp_path / "empty").touch()
    (tmp_path / "check.py").write_text(CHECK, encoding="utf-8")
    found = subprocess.run(["ldconfig", "-p"], capture_output=True, text=True).stdout
    paths = sorted({p for name in BUNDLED for p in re.findall(rf"^\s*{re.escape(name)} \(.*\) => (\S+)$", found, re.M)})  # fmt: skip
    steps = [f"mount --bind {tmp_path / 'empty'} {p}" for p in paths]
    run = " && ".join([*steps, f"exec {venv / 'bin' / 'python'} -I check.py {' '.join(BUNDLED)}"])
    done = subprocess.run(["unshare", "-m", "sh", "-c", run], cwd=tmp_path, capture_output=True, text=True,
                          env={"PATH": os.environ["PATH"], "LANG": "C.UTF-8"})  # fmt: skip
    assert done.returncode == 0, done.stderr
    seen = json.loads(done.stdout)

    config = zoret.SEOConfig("example.com", "https://example.com")
    entity = zoret.SEOEntity("post", title="Grüße", excerpt="Kurz.")
    here = zoret.build_seo_payload(entity, "/Blog/Ärger", config, zoret.SEOOverrides(canonical_url="https://Bücher.example/x"))  # fmt: skip
    assert seen["hidden"] == BUNDLED  # none of them is loadable from the system
    assert (seen["json"], seen["etag"]) == (here.to_json(), here.etag())  # same inputs, same bytes
    assert seen["refused"] == "canonical_url override must be an absolute URL: invalid international domain name"  # fmt: skip
    assert seen["path"] == "/ärger"
    assert seen["libs"] and all("/site-packages/zoret.libs/" in lib for lib in seen["libs"]), seen["libs"]  # fmt: skip
