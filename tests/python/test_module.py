"""What the module registers, in which order, and how it documents itself."""

import pytest

import zoret
from zoret import _zoret_native as native

# Classes, then functions, in registration order, with their summaries; stubtest checks
# the signatures against the stub.
DOCUMENTED = {
    "Breadcrumb": "A single entry in a breadcrumb trail.",
    "FAQItem": "A single question and answer pair for FAQ schemas.",
    "OGPayload": "Open Graph metadata for a payload. Read-only.",
    "Robots": "Robots directives for a page.",
    "SEOAuthor": "An author reference used in article schemas.",
    "SEOConfig": "Site-wide configuration for payload generation.",
    "SEOContract": "A generated, machine-readable SEO contract.",
    "SEOContractConfig": "Input configuration for building a contract.",
    "SEOContractRule": "A contract rule matched against route paths.",
    "SEOEntity": "A content entity to generate SEO metadata for.",
    "SEOExpectation": "Expectations applied to a page, a rule match, or contract defaults.",
    "SEOImage": "An image reference used for Open Graph, Twitter Cards, and schemas.",
    "SEOIssue": "A single validation finding.",
    "SEOOverrides": "Per-call overrides that take precedence over the entity and config.",
    "SEOPayload": "The resolved, deterministic SEO payload.",
    "SchemaRegistry": "A native introspection handle for the core's schema registry.",
    "TwitterPayload": "Twitter Card metadata for a payload. Read-only.",
    "URLPolicy": "Controls how canonical URLs are normalized.",
    "build_seo_contract": "Builds a machine-readable SEO contract.",
    "build_seo_payload": "Builds a deterministic SEO payload for an entity at a route.",
    "build_seo_payload_dict": "Builds a payload and returns it as a plain dictionary.",
    "build_seo_payload_with_overrides": "Builds a deterministic SEO payload with explicit overrides.",
    "clean_query_fn": "Removes tracking parameters from a query string.",
    "clean_url_fn": "Removes tracking parameters from a URL.",
    "normalize_path_fn": "Normalizes a route path according to the URL policy.",
    "normalize_public_url_fn": "Resolves a path or URL against the configured public base URL.",
    "validate_payload": "Runs the built-in validation checks against a payload.",
}
CLASSES = [name for name in DOCUMENTED if name[0].isupper()]
NOT_CONSTRUCTIBLE = {"OGPayload", "SEOContract", "SEOIssue", "SEOPayload", "TwitterPayload"}
EXCEPTIONS = [
    "ZoretError", "InvalidUrlError", "ConfigurationError", "EntityError", "SchemaError",
    "ContractError",
]  # fmt: skip


def test_registration_order_and_module_docstring():
    names = list(vars(native))
    dunders = [name for name in names if name.startswith("__")]
    assert names[: len(dunders)] == dunders
    assert names[len(dunders) :] == [*DOCUMENTED, *EXCEPTIONS]
    assert native.__doc__ == "Python bindings of the zoret core library."


@pytest.mark.parametrize(("name", "summary"), DOCUMENTED.items())
def test_summary_and_constructor(name, summary):
    obj = getattr(native, name)
    assert obj.__doc__.splitlines()[0] == summary
    if name in NOT_CONSTRUCTIBLE:
        with pytest.raises(TypeError, match=rf"^cannot create '[\w.]+\.{name}' instances$"):
            obj()


def test_package_reexports_the_module():
    native_names = [*DOCUMENTED, *EXCEPTIONS]
    assert zoret.__all__ == [*native_names, "hooks", "registry", "__version__"]
    for name in native_names:
        assert getattr(zoret, name) is getattr(native, name)
    assert zoret.__version__ == "0.2.0"
    # The native class introspects the core; Python generators live in zoret.registry.
    assert zoret.registry.SchemaRegistry is not native.SchemaRegistry
    assert zoret.hooks.HookRegistry.__module__ == "zoret.hooks"
    namespace: dict[str, object] = {}
    exec("from zoret import *", namespace)
    assert sorted(set(namespace) - {"__builtins__"}) == sorted(zoret.__all__)
