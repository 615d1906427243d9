"""The type stubs against the built module: stubtest, mypy --strict, and property types."""

import __future__

import inspect
import os
import runpy
import subprocess
import sys
import types
import typing
from pathlib import Path

import pytest

import zoret
from zoret import _zoret_native as native

ROOT = Path(__file__).resolve().parents[2]
STUB = ROOT / "python" / "zoret" / "_zoret_native.pyi"


def run_mypy_tool(*args):
    pytest.importorskip("mypy")
    env = dict(os.environ, PYTHONPATH=str(ROOT / "python"), MYPYPATH=str(ROOT / "python"))
    return subprocess.run(
        [sys.executable, "-m", *args], cwd=ROOT, env=env, capture_output=True, text=True
    )


def test_stubtest_is_clean():
    done = run_mypy_tool("mypy.stubtest", "zoret._zoret_native")
    assert done.returncode == 0, done.stdout + done.stderr


def test_usage_example_and_package_pass_mypy_strict():
    done = run_mypy_tool("mypy", "--strict", "tests/typing/usage.py", "python/zoret")
    assert done.returncode == 0, done.stdout + done.stderr


def test_usage_example_runs():
    runpy.run_path(str(ROOT / "tests" / "typing" / "usage.py"), run_name="usage")


def test_mypy_rejects_misuse(tmp_path):
    lines = [
        'zoret.SEOImage("/x.png", width="1200")',
        'zoret.SEOEntity("post", titel="typo")',
        'zoret.SEOAuthor("Ada", "https://ada.example")',
        'zoret.build_seo_payload(zoret.SEOEntity("post"), "/", None)',
        'zoret.URLPolicy().trailing_slash = "always"',
        'zoret.registry.SchemaRegistry().register("Recipe")(lambda: None)',
    ]
    source = tmp_path / "misuse.py"
    source.write_text("import zoret\nimport zoret.registry\n" + "\n".join(lines) + "\n")
    done = run_mypy_tool("mypy", "--strict", "--no-incremental", str(source))
    flagged = {int(line.split(":")[1]) for line in done.stdout.splitlines() if ": error:" in line}
    assert flagged == set(range(3, 3 + len(lines))), done.stdout


# stubtest checks names and signatures only; the values below check what the
# properties and argument-free methods really return against the stub's annotations.


def stub_namespace():
    namespace = {"__name__": "zoret._zoret_native"}
    flags = __future__.annotations.compiler_flag
    exec(compile(STUB.read_text(encoding="utf-8"), str(STUB), "exec", flags=flags), namespace)
    return namespace


def conforms(value, hint):
    origin, args = typing.get_origin(hint), typing.get_args(hint)
    if hint is typing.Any:
        return True
    if hint is None or hint is type(None):
        return value is None
    if origin is typing.Literal:
        return value in args
    if origin in (typing.Union, types.UnionType):
        return any(conforms(value, arg) for arg in args)
    if origin is list:
        return type(value) is list and all(conforms(item, args[0]) for item in value)
    if origin is dict:
        return type(value) is dict and all(
            conforms(k, args[0]) and conforms(v, args[1]) for k, v in value.items()
        )
    if origin is not None:
        return isinstance(value, origin)
    if hint is int:
        return type(value) is int
    if getattr(hint, "__module__", None) == native.__name__:  # a class of the stub itself
        # By name: after a re-import of the module, new objects get the newer classes.
        return type(value).__module__ == native.__name__ and type(value).__name__ == hint.__name__
    return isinstance(value, hint)


def samples():
    image = zoret.SEOImage("/img.png", width=1200, height=630, alt="Alt")
    robots = zoret.Robots(
        index=False, max_snippet=50, max_image_preview="large", max_video_preview=9
    )
    policy = zoret.URLPolicy(trailing_slash="always", allowed_query_params=["page"])
    config = zoret.SEOConfig(
        "example.com",
        "https://example.com",
        url_policy=policy,
        default_og_image=image,
        site_name="Example",
        locale="en_US",
        locale_alternate=["de_DE"],
        twitter_site="@example",
    )
    entity = zoret.SEOEntity(
        "post",
        title="Hello",
        excerpt="Short.",
        featured_image=image,
        breadcrumbs=[zoret.Breadcrumb("Home", "/")],
        faq_items=[zoret.FAQItem("Q?", "A.")],
    )
    overrides = zoret.SEOOverrides(
        twitter_creator="@ada", og_audio="https://example.com/a.mp3", og_video="/v.mp4"
    )
    full = zoret.build_seo_payload(entity, "/blog/hello", config, overrides)
    bare = zoret.build_seo_payload(
        zoret.SEOEntity("page"), "/", zoret.SEOConfig("example.com", "https://example.com")
    )
    expectation = zoret.SEOExpectation(required=True, indexable=True, canonical="/x")
    rule = zoret.SEOContractRule("/blog/*", expectation, severity="warning")
    contract_config = zoret.SEOContractConfig("example.com", rules=[rule])
    return [
        image,
        zoret.SEOImage("/bare.png"),
        robots,
        zoret.Robots(),
        policy,
        config,
        entity,
        zoret.SEOEntity("faq"),
        overrides,
        zoret.SEOAuthor("Ada", url="https://ada.example"),
        zoret.SEOAuthor("Bob"),
        zoret.Breadcrumb("Home", "/"),
        zoret.FAQItem("Q?", "A."),
        full,
        bare,
        full.og,
        bare.og,
        full.twitter,
        bare.twitter,
        *zoret.validate_payload(bare),
        expectation,
        zoret.SEOExpectation(),
        rule,
        zoret.SEOContractRule("/", expectation),
        contract_config,
        zoret.build_seo_contract(contract_config),
        zoret.SchemaRegistry(),
    ]


def test_properties_and_methods_return_what_the_stub_declares():
    namespace = stub_namespace()
    checked = set()
    for obj in samples():
        cls = namespace[type(obj).__name__]
        checked.add(cls.__name__)
        for name, member in vars(cls).items():
            if isinstance(member, property):
                hint = typing.get_type_hints(member.fget, namespace)["return"]
            elif inspect.isfunction(member) and not name.startswith("_"):
                if list(inspect.signature(member).parameters) != ["self"]:
                    continue
                hint = typing.get_type_hints(member, namespace)["return"]
            else:
                continue
            value = getattr(obj, name)
            value = value() if callable(value) else value
            assert conforms(value, hint), f"{cls.__name__}.{name} -> {value!r}, stub says {hint}"
    classes = {name for name, value in vars(native).items() if isinstance(value, type)}
    assert classes - checked == {n for n in classes if issubclass(getattr(native, n), Exception)}


SITE = zoret.SEOConfig("example.com", "https://example.com")


@pytest.mark.parametrize(
    ("function", "args"),
    [
        ("clean_query_fn", ("a=1&utm_source=x",)),
        ("clean_url_fn", ("https://example.com/?a=1&utm_source=x",)),
        ("normalize_path_fn", ("/A//b/", zoret.URLPolicy())),
        ("normalize_public_url_fn", ("/a", SITE)),
        ("build_seo_payload_dict", (zoret.SEOEntity("post"), "/", SITE)),
        ("build_seo_contract", (zoret.SEOContractConfig("example.com"),)),
    ],
)
def test_functions_return_what_the_stub_declares(function, args):
    hint = typing.get_type_hints(stub_namespace()[function], stub_namespace())["return"]
    value = getattr(native, function)(*args)
    assert conforms(value, hint), f"{function} -> {value!r}, stub says {hint}"
