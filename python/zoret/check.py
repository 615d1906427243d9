"""Contract checks: does a page keep the promises of the site's SEO contract?

A contract (written by `zoret contract` or `SEOContract.write`) says what every route
must satisfy: defaults, rules matched by route pattern, exceptions for single routes.
`load_contract` reads one, `Contract.check` checks a page against the expectation in
force for its route, and `Contract.explain` shows that expectation layer by layer.

>>> import zoret
>>> from zoret.check import Contract
>>> E = zoret.SEOExpectation
>>> contract = Contract(zoret.build_seo_contract(zoret.SEOContractConfig(
...     "example.com", defaults=E(title=E(max_length=20)))))
>>> site = zoret.SEOConfig("example.com", "https://example.com")
>>> page = zoret.build_seo_payload(zoret.SEOEntity("post", title="A title of thirty characters"),
...                                "/blog/hello", site)
>>> [v.field for v in contract.check("/blog/hello", page, site)]
['title.max_length']
"""

from __future__ import annotations

import os
from collections.abc import Iterable
from typing import Literal

from zoret import _files, forms
from zoret._zoret_native import ContractError, SEOConfig, SEOPayload, ZoretError, build_seo_contract
from zoret._zoret_site import (
    CheckReport,
    Contract,
    Explanation,
    LintFinding,
    NotChecked,
    PageFacts,
    Violation,
    facts_from_payload,
)

__all__ = [
    "MAX_CONTRACT_BYTES",
    "SEVERITIES",
    "CheckReport",
    "Contract",
    "ContractViolationError",
    "Explanation",
    "LintFinding",
    "NotChecked",
    "PageFacts",
    "Severity",
    "Violation",
    "assert_conforms",
    "at_least",
    "facts_from_payload",
    "format_violation",
    "format_violations",
    "load_contract",
]

Severity = Literal["error", "warning", "info"]
#: Contract files are kilobytes; a larger file (or a device) is refused, not read.
MAX_CONTRACT_BYTES = 64 << 20
#: From the most severe down.
SEVERITIES: tuple[Severity, ...] = ("error", "warning", "info")


def _contract_from_configuration(path: str, data: dict[str, object]) -> Contract:
    try:
        config = forms.contract_config_from_dict(data)
        return Contract(build_seo_contract(config))
    except (forms.FormError, ZoretError) as exc:
        raise ContractError(f"{path}: {exc}") from None


def load_contract(path: str | os.PathLike[str]) -> Contract:
    """The contract in the file at `path`, ready to check pages.

    Two forms are read. A contract document, as `zoret contract` and
    `SEOContract.write` write it (JSON, `contract_version` "1" only, read strictly:
    unknown keys and wrong types are refused). Or a contract configuration, the input
    of `zoret contract`: TOML, or the same tables as a JSON object. The form is told
    by the file: a `.toml` suffix means a configuration; otherwise a text that starts
    with `{` is JSON, a configuration when its object has `canonical_host` at the top
    level (a document keeps it under `site`) and a document otherwise; anything else
    is TOML.

    Raises `ContractError` naming the file and, for syntax errors, the line and
    column; `OSError` when the file cannot be read. Settings a configuration would
    drop are warned about (`zoret.forms.DroppedSettingWarning`).
    """
    name = os.fspath(path)
    with open(name, "rb") as file:
        raw = file.read(MAX_CONTRACT_BYTES + 1)
    if len(raw) > MAX_CONTRACT_BYTES:
        raise ContractError(f"{name}: larger than {MAX_CONTRACT_BYTES >> 20} MiB: not a contract")
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as exc:
        raise ContractError(f"{name}: {exc}") from None
    if not name.endswith(".toml") and text.lstrip().startswith("{"):
        try:
            data = _files.parse_table(name, text, is_json=True)
        except _files.InputError:
            data = {}  # the contract reader says where the text breaks
        if "canonical_host" in data:
            return _contract_from_configuration(name, data)
        try:
            return Contract.from_json(text)
        except ContractError as exc:
            raise ContractError(f"{name}: {exc}") from None
    try:
        data = _files.parse_table(name, text, is_json=False)
    except _files.InputError as exc:
        raise ContractError(str(exc)) from None
    return _contract_from_configuration(name, data)


def at_least(severity: str, fail_on: str) -> bool:
    """Whether `severity` is as severe as `fail_on` or more ("error" is the most)."""
    return SEVERITIES.index(severity) <= SEVERITIES.index(fail_on)


def format_violation(violation: Violation) -> str:
    """Two or three lines for people: severity, field, source and message, then what
    was expected and what the page has."""
    lines = [
        f"{violation.severity}: {violation.field} ({violation.source}): {violation.message}",
        f"    expected: {violation.expected}",
    ]
    if violation.actual is not None:
        lines.append(f"    actual:   {violation.actual}")
    return "\n".join(lines)


def format_violations(violations: Iterable[Violation]) -> str:
    """The violations grouped by route, each route's under a heading line."""
    out: list[str] = []
    route = None
    for violation in violations:
        if violation.route != route:
            route = violation.route
            where = f" ({violation.url})" if violation.url else ""
            out.append(f"{route}{where}")
        out.extend("  " + line for line in format_violation(violation).splitlines())
    return "\n".join(out)


class ContractViolationError(AssertionError):
    """A page breaks its SEO contract; the message lists the violations."""

    def __init__(self, route: str, violations: list[Violation]) -> None:
        self.route = route
        self.violations = violations
        count = len(violations)
        heading = f"{count} SEO contract violation{'s' if count != 1 else ''} on {route}"
        super().__init__(f"{heading}:\n{format_violations(violations)}")


def assert_conforms(
    contract: Contract,
    route: str,
    page: SEOPayload | PageFacts,
    config: SEOConfig | None = None,
    *,
    fail_on: Severity = "error",
) -> list[Violation]:
    """Checks `page` at `route`; raises `ContractViolationError` (an `AssertionError`)
    listing every violation when one is at least as severe as `fail_on`, else returns
    the (less severe) violations found."""
    if fail_on not in SEVERITIES:
        raise ValueError(f"fail_on must be one of {', '.join(SEVERITIES)}, got {fail_on!r}")
    violations = contract.check(route, page, config)
    if any(at_least(v.severity, fail_on) for v in violations):
        raise ContractViolationError(route, violations)
    return violations
