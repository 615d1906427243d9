"""pytest fixtures for SEO contract checks.

``seo_contract`` is the project's contract (`zoret.check.Contract`), loaded once per
session from ``--seo-contract`` or the ``seo_contract`` ini setting; ``seo_site`` the
site configuration from ``--seo-site`` / ``seo_site``, or None; ``assert_seo(page,
route)`` checks a payload (or `PageFacts`) against the contract and fails the test with
every violation listed when one is an error (``fail_on`` lowers the bar).

The ``zoret`` pytest plugin registers these fixtures when enabled; a conftest.py can
also import them: ``from zoret.testing import assert_seo, seo_contract, seo_site``.
"""

from __future__ import annotations

from pathlib import Path
from typing import Protocol

import pytest

from zoret import _files, forms
from zoret._zoret_native import SEOConfig, SEOPayload
from zoret.check import Contract, PageFacts, Severity, Violation, assert_conforms, load_contract

__all__ = ["AssertSeo", "assert_seo", "seo_contract", "seo_site"]


class AssertSeo(Protocol):
    def __call__(
        self,
        page: SEOPayload | PageFacts,
        route: str,
        config: SEOConfig | None = None,
        *,
        fail_on: Severity = "error",
    ) -> list[Violation]: ...


def _setting(config: pytest.Config, name: str) -> Path | None:
    """The path given by option, else by ini setting (relative to the ini file)."""
    given = config.getoption(name, None)
    if given:
        return Path(given)
    try:
        value = config.getini(name)
    except ValueError:  # the plugin's options are not registered: fixtures imported alone
        return None
    if not value:
        return None
    base = config.inipath.parent if config.inipath is not None else config.rootpath
    return base / str(value)


@pytest.fixture(scope="session")
def seo_contract(pytestconfig: pytest.Config) -> Contract:
    """The project's SEO contract (``--seo-contract`` or the ``seo_contract`` setting)."""
    path = _setting(pytestconfig, "seo_contract")
    if path is None:
        pytest.fail("no SEO contract: pass --seo-contract PATH or set seo_contract", pytrace=False)
    return load_contract(path)


@pytest.fixture(scope="session")
def seo_site(pytestconfig: pytest.Config) -> SEOConfig | None:
    """The site configuration (``--seo-site`` or the ``seo_site`` setting), or None."""
    path = _setting(pytestconfig, "seo_site")
    if path is None:
        return None
    try:
        return forms.config_from_dict(_files.load_table(str(path)), python_objects=False)
    except forms.FormError as exc:
        raise _files.InputError(str(path), str(exc)) from None


@pytest.fixture
def assert_seo(seo_contract: Contract, seo_site: SEOConfig | None) -> AssertSeo:
    """``assert_seo(page, route, config=None, *, fail_on="error")``: checks the page
    against the contract and fails the test listing every violation; returns the
    violations below ``fail_on``. ``config`` defaults to the ``seo_site`` fixture."""

    def check(
        page: SEOPayload | PageFacts,
        route: str,
        config: SEOConfig | None = None,
        *,
        fail_on: Severity = "error",
    ) -> list[Violation]:
        __tracebackhide__ = True
        site = config if config is not None else seo_site
        return assert_conforms(seo_contract, route, page, site, fail_on=fail_on)

    return check
