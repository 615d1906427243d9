"""The pytest plugin, run through pytester as an installed plugin (its entry point is
registered by a distribution on the path, as pip would install it)."""

import pytest

import zoret

pytest_plugins = ["pytester"]

CONTRACT = zoret.build_seo_contract(zoret.SEOContractConfig(
    "example.com",
    defaults=zoret.SEOExpectation(canonical="self", title=zoret.SEOExpectation(max_length=30)),
))  # fmt: skip
TESTS = """
import zoret

SITE = zoret.SEOConfig("example.com", "https://example.com",
                       url_policy=zoret.URLPolicy(trailing_slash="always"))

def page(title):
    return zoret.build_seo_payload(zoret.SEOEntity("post", title=title), "/blog/x", SITE)

def test_short(assert_seo):
    assert assert_seo(page("Short"), "/blog/x") == []

def test_long(assert_seo):
    assert_seo(page("A title that is longer than thirty characters"), "/blog/x")

def test_contract(seo_contract):
    assert seo_contract.explain("/").layers == [("defaults", "error")]
"""
FAILURE = [
    "*1 SEO contract violation on /blog/x:*",
    "*/blog/x (https://example.com/blog/x/)",
    "*error: title.max_length (defaults): The title has 45 characters, more than the maximum of 30.",
    "*expected: at most 30 characters",
    "*actual:   45 characters",
]


@pytest.fixture
def project(pytester, monkeypatch):
    dist = pytester.mkdir("site-packages") / "zoret_plugin-1.0.dist-info"
    dist.mkdir()
    (dist / "METADATA").write_text("Metadata-Version: 2.1\nName: zoret-plugin\nVersion: 1.0\n")
    (dist / "entry_points.txt").write_text("[pytest11]\nzoret = zoret.pytest_plugin\n")
    monkeypatch.syspath_prepend(str(dist.parent))
    monkeypatch.delenv("PYTEST_DISABLE_PLUGIN_AUTOLOAD", raising=False)
    CONTRACT.write(str(pytester.path / "seo-contract.json"))
    pytester.makefile(".toml", site='canonical_host = "example.com"\npublic_base_url = "https://example.com"\n'
                      'url_policy = { trailing_slash = "always" }\n')  # fmt: skip
    pytester.makepyfile(test_pages=TESTS)
    return pytester


def test_installed_it_adds_options_and_nothing_else(project):
    result = project.runpytest("--help")
    result.stdout.fnmatch_lines(["*--seo-contract=PATH*", "*seo_contract (string):*"])
    result = project.runpytest()
    result.assert_outcomes(errors=3)
    result.stdout.fnmatch_lines(["*fixture 'assert_seo' not found*"])


@pytest.mark.parametrize("enable", [
    ["-p", "zoret", "-o", "seo_contract=seo-contract.json"],
    ["--seo-contract", "seo-contract.json"],
])  # fmt: skip
def test_enabled_it_checks_payloads_and_lists_violations(project, enable):
    result = project.runpytest(*enable, "--seo-site", "site.toml")
    result.assert_outcomes(passed=2, failed=1)
    result.stdout.fnmatch_lines(FAILURE)


def test_ini_settings_are_relative_to_the_ini_file(project, monkeypatch):
    ini = project.makeini(
        "[pytest]\naddopts = -p zoret\nseo_contract = seo-contract.json\nseo_site = site.toml\n"
    )
    monkeypatch.chdir(project.mkdir("elsewhere"))
    result = project.runpytest(str(project.path), "-c", str(ini))
    result.assert_outcomes(passed=2, failed=1)


def test_without_the_site_canonical_self_uses_the_contract_site(project):
    result = project.runpytest("-p", "zoret", "--seo-contract", "seo-contract.json", "-k", "short")
    result.assert_outcomes(failed=1, deselected=2)
    result.stdout.fnmatch_lines(["*error: canonical (defaults): The canonical URL is*"])


# Asked for by name alone the plugin registers its fixtures; imported, they work without it.
@pytest.mark.parametrize(("conftest", "plugin"), [
    ("", "zoret"), ("from zoret.testing import assert_seo, seo_contract, seo_site\n", "no:zoret"),
])  # fmt: skip
def test_fixtures_without_a_contract_say_how_to_give_one(project, conftest, plugin):
    project.makeconftest(conftest)
    result = project.runpytest("-p", plugin, "-k", "contract")
    result.assert_outcomes(errors=1, deselected=2)
    result.stdout.fnmatch_lines(["*no SEO contract: pass --seo-contract PATH or set seo_contract*"])


def test_a_broken_contract_file_is_reported(project):
    (project.path / "seo-contract.json").write_text('{"contract_version": "1"', encoding="utf-8")
    result = project.runpytest("--seo-contract", "seo-contract.json", "-k", "contract")
    result.assert_outcomes(errors=1, deselected=2)
    result.stdout.fnmatch_lines(["*ContractError: seo-contract.json: invalid JSON: EOF while parsing*"])  # fmt: skip
