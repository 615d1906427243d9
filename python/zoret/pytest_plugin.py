"""The pytest plugin of zoret (entry point ``pytest11``, name ``zoret``).

Installed, it only adds its options: ``--seo-contract PATH`` and ``--seo-site PATH``,
and the ini settings ``seo_contract`` and ``seo_site`` (paths relative to the
configuration file). Its fixtures (`zoret.testing`) are registered when it is asked
for: ``-p zoret`` on the command line or in ``addopts``, or a contract given by option
or setting. A conftest.py may also import the fixtures from `zoret.testing` directly.
"""

from __future__ import annotations

import pytest

_NAMES = ("zoret", "zoret.pytest_plugin")


def pytest_addoption(parser: pytest.Parser) -> None:
    group = parser.getgroup("zoret", "SEO contract checks (zoret)")
    group.addoption(
        "--seo-contract",
        metavar="PATH",
        help="the SEO contract for the seo_contract and assert_seo fixtures (JSON or TOML)",
    )
    group.addoption(
        "--seo-site",
        metavar="PATH",
        help="the site configuration (TOML or JSON) that canonical 'self' is resolved with",
    )
    parser.addini("seo_contract", "the SEO contract file, relative to this file")
    parser.addini("seo_site", "the site configuration file, relative to this file")


def pytest_configure(config: pytest.Config) -> None:
    asked = any(name in _NAMES for name in config.getoption("plugins", None) or ())
    given = config.getoption("seo_contract", None) or config.getini("seo_contract")
    if asked or given:
        from zoret import testing

        if not config.pluginmanager.is_registered(testing):
            config.pluginmanager.register(testing, "zoret.testing")
