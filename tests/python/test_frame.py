"""The module frame: exception classes, argument binding, conversion rules, class identity."""

import importlib
import inspect
import os
import re
from pathlib import Path

import pytest

from payload_support import samples
from zoret import _zoret_native as native


def test_exception_hierarchy_and_names():
    assert (native.ZoretError.__bases__, native.ZoretError.__doc__) == ((ValueError,), None)
    assert native.ZoretError.__module__ == "zoret._zoret_native"
    for name in "InvalidUrlError ConfigurationError EntityError SchemaError ContractError".split():
        cls = getattr(native, name)
        assert (cls.__name__, cls.__bases__, cls.__doc__) == (name, (native.ZoretError,), None)


# Run here and in a sub-interpreter: every kind of object that functions, methods and
# properties make (copies for hooks included) has the class of the module that made it.
CHECK_CLASSES = """
def check_classes(mod):
    made = {}
    hooks = type("Hooks", (), {"run": lambda self, stage, data, e, c: made.update(e=e, c=c)})()
    payload = mod.build_seo_payload(mod.SEOEntity("page"), "/", mod.SEOConfig("x.co", "https://x.co", hooks=hooks))
    contract = mod.build_seo_contract(mod.SEOContractConfig("x.co"))
    rule = mod.SEOContractRule("/", mod.SEOExpectation())
    objects = [payload, payload.og, payload.twitter, *mod.validate_payload(payload)[:1], contract, rule.expect, *made.values()]
    assert [type(o) for o in objects] == [getattr(mod, type(o).__name__) for o in objects]
    assert len(objects) == 8
"""
exec(CHECK_CLASSES)


def test_reimport_gives_fresh_classes_but_the_same_exceptions():
    spec = importlib.util.find_spec("zoret._zoret_native")
    fresh = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(fresh)
    assert fresh.SEOAuthor is not native.SEOAuthor
    assert fresh.ZoretError is native.ZoretError
    assert fresh.EntityError is native.EntityError
    for module in (fresh, native):
        check_classes(module)  # noqa: F821  (defined by the exec above)
    # Objects from either import stay usable with the other's functions.
    payload = fresh.build_seo_payload(native.SEOEntity("post"), "/", fresh.SEOConfig("x.co", "https://x.co"))  # fmt: skip
    assert native.validate_payload(payload)[0].rule_id == "ZORET101"


def test_a_sub_interpreter_that_imports_the_module_and_ends_leaves_ours_intact():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    package_root = os.path.dirname(os.path.dirname(native.__file__))
    interpreter = interpreters.create()
    try:
        interpreters.run_string(
            interpreter,
            f"import sys\nsys.path.insert(0, {package_root!r})\nimport zoret\n"
            f"{CHECK_CLASSES}\ncheck_classes(zoret._zoret_native)\n",
        )
    finally:
        interpreters.destroy(interpreter)
    check_classes(native)  # noqa: F821


SAMPLES = list(samples().values())


def every_callable():
    """(name in messages, callable) for every function, constructor and method."""
    instances = SAMPLES
    found = {name: fn for name, fn in vars(native).items() if inspect.isbuiltin(fn)}
    for name, cls in vars(native).items():
        if isinstance(cls, type) and not issubclass(cls, Exception):
            if not cls.__flags__ & (1 << 7):  # Py_TPFLAGS_DISALLOW_INSTANTIATION
                found[f"{name}.__new__"] = cls
            for attr, member in vars(cls).items():
                if callable(member) and not attr.startswith("_"):
                    instance = next(obj for obj in instances if type(obj) is cls)
                    found[f"{name}.{attr}"] = getattr(instance, attr)
    return found


EVERY_CALLABLE = every_callable()


@pytest.mark.parametrize("name", EVERY_CALLABLE)
def test_surplus_arguments_are_refused_in_the_fixed_wording(name):
    call = EVERY_CALLABLE[name]
    params = inspect.signature(call).parameters.values()
    positional = [p for p in params if p.kind <= p.POSITIONAL_OR_KEYWORD]
    required = [p for p in positional if p.default is p.empty]
    most, least = len(positional), len(required)
    takes = f"{most}" if least == most else f"from {least} to {most}"
    was = "was" if most == 0 else "were"
    with pytest.raises(TypeError) as info:
        call(*[None] * (most + 1))
    assert (
        str(info.value) == f"{name}() takes {takes} positional arguments but {most + 1} {was} given"
    )
    with pytest.raises(TypeError) as info:
        call(bogus=1)
    assert str(info.value) == f"{name}() got an unexpected keyword argument 'bogus'"


@pytest.mark.parametrize("obj", SAMPLES, ids=lambda obj: type(obj).__name__)
def test_lists_and_dicts_are_new_at_every_read(obj):
    readers = [
        getattr(obj, name) if callable(member) else lambda name=name: getattr(obj, name)
        for name, member in vars(type(obj)).items()
        if not name.startswith("_")
        and (not callable(member) or not inspect.signature(getattr(obj, name)).parameters)
    ]
    for read in readers:
        first, second = read(), read()
        if isinstance(first, list | dict):
            assert first == second and first is not second
            first.clear()
            assert read() == second


def test_every_method_goes_through_the_binder():
    # Methods declared METH_NOARGS or METH_O get the interpreter's wording for errors.
    binding = Path(__file__).resolve().parents[2] / "binding"
    if not binding.is_dir():
        pytest.skip("the binding sources are not here")
    found = [
        f"{path.relative_to(binding)}:{number}"
        for path in sorted(binding.rglob("*.[ch]pp"))
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1)
        if re.search(r"\bMETH_(NOARGS|O)\b", line)
    ]
    assert found == []


@pytest.mark.parametrize(("call", "message"), [
    (lambda: native.SEOAuthor(), "SEOAuthor.__new__() missing 1 required positional argument: 'name'"),
    (lambda: native.SEOAuthor("a", name="b"), "SEOAuthor.__new__() got multiple values for argument 'name'"),
    (lambda: native.clean_query_fn(), "clean_query_fn() missing 1 required positional argument: 'query'"),
    (lambda: native.clean_url_fn(**{"\ud800": 1}), "clean_url_fn() got an unexpected keyword argument '\ud800'"),
    (lambda: native.SEOAuthor("a", **{"x\udcff": 1}), "SEOAuthor.__new__() got an unexpected keyword argument 'x\udcff'"),
])  # fmt: skip
def test_argument_errors_use_fixed_wording(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert not getattr(info.value, "__notes__", None)


def liar(claimed):
    """Two items, and a __len__ that claims far more."""
    return type("Liar", (list,), {"__len__": lambda self: claimed})(["x", "x"])


@pytest.mark.parametrize(("call", "exc", "message", "note"), [
    (lambda: native.SEOAuthor(1), TypeError, "'int' object cannot be converted to 'str'", "name"),
    (lambda: native.URLPolicy(allowed_query_params=liar(2**60)), IndexError, "list index out of range", "allowed_query_params"),
    (lambda: native.SEOEntity("post", same_as=liar(10**9)), IndexError, "list index out of range", "same_as"),
    (lambda: native.SEOAuthor("a", url=b"x"), TypeError, "'bytes' object cannot be converted to 'str'", "url"),
    (lambda: native.clean_url_fn(None), TypeError, "'NoneType' object cannot be converted to 'str'", "url"),
    (lambda: native.clean_query_fn("\ud800"), UnicodeEncodeError, None, "query"),
])  # fmt: skip
def test_conversion_errors_carry_the_parameter_note(call, exc, message, note):
    with pytest.raises(exc) as info:
        call()
    if message is not None:
        assert str(info.value) == message
    assert info.value.__notes__ == [f"while processing '{note}'"]


def test_nul_characters_survive():
    assert native.clean_query_fn("a=\x00&utm_source=1") == "a=\x00"
    assert native.SEOAuthor("a\x00b").name == "a\x00b"
