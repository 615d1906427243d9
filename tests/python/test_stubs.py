"""The type stubs: stubtest, mypy --strict, and the types returned (stubtest checks no values)."""

import inspect
import os
import re
import subprocess
import sys
import types
import typing
from pathlib import Path

import pytest

from payload_support import samples
from zoret import _zoret_native as native

ROOT = Path(__file__).resolve().parents[2]
SAMPLES = samples()
MISUSE = "\n".join(["import zoret", "import zoret.registry",  # then each line is an error
    'zoret.SEOImage("/x.png", width="1200")', 'zoret.SEOEntity("post", titel="typo")',
    'zoret.SEOAuthor("Ada", "https://ada.example")', 'zoret.URLPolicy().trailing_slash = "always"',
    'zoret.build_seo_payload(zoret.SEOEntity("post"), "/", None)',
    'zoret.registry.SchemaRegistry().register("Recipe")(lambda: None)',
])  # fmt: skip


@pytest.mark.outside
@pytest.mark.parametrize(("args", "flagged"), [
    (["-m", "mypy.stubtest", "zoret._zoret_native"], set()),
    (["-m", "mypy.stubtest", "zoret._zoret_site"], set()),
    (["-m", "mypy", "--strict", "tests/typing/usage.py", "python/zoret"], set()),
    (["tests/typing/usage.py"], set()),  # the typed example also runs as written
    (["-m", "mypy", "--strict", "--no-incremental", "-c", MISUSE], set(range(3, MISUSE.count("\n") + 2))),
])  # fmt: skip
def test_stubtest_and_mypy_strict(args, flagged):
    pytest.importorskip("mypy")
    env = dict(os.environ, PYTHONPATH=str(ROOT / "python"), MYPYPATH=str(ROOT / "python"))
    done = subprocess.run([sys.executable, *args], cwd=ROOT, env=env, capture_output=True, text=True)  # fmt: skip
    errors = {int(n) for n in re.findall(r"^\S+:(\d+): error:", done.stdout, re.M)}
    assert (errors, done.returncode == 0) == (flagged, not flagged), done.stdout + done.stderr


def conforms(value, hint):
    origin, args = typing.get_origin(hint), typing.get_args(hint)
    if origin in (typing.Union, types.UnionType):
        return any(conforms(value, arg) for arg in args)
    if origin is typing.Literal:
        return value in args
    if origin in (list, dict):  # each item (a 1-tuple) or key and value against the arguments
        pairs = (value.items() if origin is dict else zip(value)) if type(value) is origin else None
        return pairs is not None and all(all(map(conforms, pair, args)) for pair in pairs)
    if hint is typing.Any or origin is not None:
        return hint is typing.Any or isinstance(value, origin)
    # Exactly (a bool is no int), by name: after a re-import, objects have newer classes.
    return (type(value).__module__, type(value).__name__) == (hint.__module__, hint.__name__)


def test_functions_properties_and_methods_return_what_the_stub_declares():
    samples = list(SAMPLES.values())
    policy, site, entity = native.URLPolicy(), SAMPLES["config-bare"], SAMPLES["entity"]
    contract_config = SAMPLES["contract-config"]
    namespace, stub = {"__name__": native.__name__}, ROOT / "python" / "zoret" / "_zoret_native.pyi"
    exec("from __future__ import annotations\n" + stub.read_text(encoding="utf-8"), namespace)

    def declared(function):
        return typing.get_type_hints(function, namespace)["return"]

    found = [(f, declared(namespace[f]), getattr(native, f)(*args)) for f, args in [
        ("clean_query_fn", ("a=1&utm_source=x",)), ("clean_url_fn", ("https://example.com/?a=1&utm_source=x",)),
        ("normalize_path_fn", ("/A//b/", policy)), ("normalize_public_url_fn", ("/a", site)),
        ("build_seo_payload_dict", (entity, "/", site)), ("build_seo_contract", (contract_config,)),
    ]]  # fmt: skip
    for obj in samples:
        cls = namespace[type(obj).__name__]
        for name, member in vars(cls).items():
            method = inspect.isfunction(member) and not name.startswith("_")
            if method and list(inspect.signature(member).parameters) == ["self"]:
                found.append((f"{cls.__name__}.{name}()", declared(member), getattr(obj, name)()))
            elif isinstance(member, property):
                found.append((f"{cls.__name__}.{name}", declared(member.fget), getattr(obj, name)))
    for name, hint, value in found:
        assert conforms(value, hint), f"{name} -> {value!r}, stub says {hint}"
    checked = {type(obj).__name__ for obj in samples}  # every class but the exceptions
    for name, cls in vars(native).items():
        assert not isinstance(cls, type) or issubclass(cls, Exception) or name in checked, name
