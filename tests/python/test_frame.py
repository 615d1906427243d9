"""The module frame: exception classes, argument binding and conversion rules."""

import pickle
import subprocess
import sys

import pytest

from zoret import _zoret_native as native


def test_exception_hierarchy_and_names():
    assert issubclass(native.ZoretError, ValueError)
    for name in (
        "InvalidUrlError",
        "ConfigurationError",
        "EntityError",
        "SchemaError",
        "ContractError",
    ):
        cls = getattr(native, name)
        assert cls.__name__ == name
        assert cls.__bases__ == (native.ZoretError,)
    assert native.ZoretError.__bases__ == (ValueError,)


REIMPORT = """
import importlib.util
from zoret import _zoret_native as native
spec = importlib.util.find_spec("zoret._zoret_native")
fresh = importlib.util.module_from_spec(spec)
spec.loader.exec_module(fresh)
assert fresh.SEOAuthor is not native.SEOAuthor
assert fresh.ZoretError is native.ZoretError
assert fresh.EntityError is native.EntityError
# Objects from either import stay usable with the other's functions.
assert fresh.SEOAuthor("a").name == native.SEOAuthor("a").name
"""


def test_reimport_gives_fresh_classes_but_the_same_exceptions():
    # In a child process: the second import changes which classes the first one's
    # functions return, which would leak into every later test.
    done = subprocess.run(
        [sys.executable, "-c", REIMPORT], capture_output=True, text=True, timeout=60
    )
    assert (done.returncode, done.stderr) == (0, "")


@pytest.mark.parametrize(("call", "message"), [
    (lambda: native.SEOAuthor(), "SEOAuthor.__new__() missing 1 required positional argument: 'name'"),
    (lambda: native.SEOAuthor("a", "b"), "SEOAuthor.__new__() takes 1 positional arguments but 2 were given"),
    (lambda: native.SEOAuthor("a", bogus=1), "SEOAuthor.__new__() got an unexpected keyword argument 'bogus'"),
    (lambda: native.SEOAuthor("a", name="b"), "SEOAuthor.__new__() got multiple values for argument 'name'"),
    (lambda: native.clean_query_fn(), "clean_query_fn() missing 1 required positional argument: 'query'"),
    (lambda: native.clean_query_fn("a", "b"), "clean_query_fn() takes 1 positional arguments but 2 were given"),
    (lambda: native.clean_url_fn(url="a", query="b"), "clean_url_fn() got an unexpected keyword argument 'query'"),
])  # fmt: skip
def test_argument_errors_use_fixed_wording(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message
    assert not getattr(info.value, "__notes__", None)


@pytest.mark.parametrize(("call", "exc", "message", "note"), [
    (lambda: native.SEOAuthor(1), TypeError, "'int' object cannot be converted to 'str'", "name"),
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


def test_classes_are_final_and_read_only():
    with pytest.raises(TypeError):
        type("Sub", (native.SEOAuthor,), {})
    author = native.SEOAuthor("Ada", url=None)
    with pytest.raises(AttributeError):
        author.name = "Grace"
    with pytest.raises(TypeError):
        native.SEOAuthor.extra = 1


def test_nul_characters_survive():
    assert native.clean_query_fn("a=\x00&utm_source=1") == "a=\x00"
    assert native.SEOAuthor("a\x00b").name == "a\x00b"


def test_refcounts_stay_flat():
    url = "https://example.com/a?utm_source=x&id=" + "7" * 20
    before = sys.getrefcount(url)
    for _ in range(1000):
        native.clean_url_fn(url)
        native.SEOAuthor(url, url=url)
    assert sys.getrefcount(url) == before


def test_exceptions_pickle_round_trip():
    error = native.EntityError("entity_type must be one of ...")
    clone = pickle.loads(pickle.dumps(error))
    assert type(clone) is native.EntityError
    assert clone.args == error.args
    assert native.ZoretError.__module__ == "zoret._zoret_native"
