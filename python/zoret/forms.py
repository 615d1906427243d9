"""Records from plain dictionaries: settings dicts, TOML tables and JSON objects.

The keys are the constructor arguments of the records; nested records are nested
tables (an image may also be given as its URL). The command line reads its files
through these functions, and the framework integrations their settings, so a site
configured in ``settings.ZORET`` means the same as one in ``site.toml``.

>>> config = config_from_dict({"canonical_host": "example.com",
...                            "public_base_url": "https://example.com",
...                            "url_policy": {"trailing_slash": "always"}})
>>> config.to_dict()["url_policy"]["trailing_slash"]
'Always'
"""

from __future__ import annotations

import warnings
from collections.abc import Callable, Mapping
from typing import Any, TypeVar

from zoret._zoret_native import (
    Breadcrumb,
    FAQItem,
    Robots,
    SEOConfig,
    SEOContractConfig,
    SEOContractRule,
    SEOEntity,
    SEOExpectation,
    SEOImage,
    SEOOverrides,
    URLPolicy,
)

__all__ = [
    "DroppedSettingWarning",
    "FormError",
    "config_from_dict",
    "contract_config_from_dict",
    "entity_from_dict",
    "overrides_from_dict",
]

_T = TypeVar("_T")
_SEVERITIES = ("error", "warning", "info")


class FormError(ValueError):
    """A dictionary that does not describe the record; the text names the problem."""


class DroppedSettingWarning(UserWarning):
    """A setting that was read but will not count the way it was written."""


def _build(factory: Callable[..., _T], fields: Mapping[str, Any], where: str = "") -> _T:
    """`factory(**fields)`; a refusal becomes a `FormError` located at `where` (the key
    of a nested record: "featured_image", "breadcrumbs[2]")."""
    try:
        return factory(**fields)
    except (TypeError, ValueError, OverflowError) as exc:
        notes = "; ".join(getattr(exc, "__notes__", ()))
        message = f"{exc}" + (f" ({notes})" if notes else "")
        raise FormError(f"{where}: {message}" if where else message) from None


def _table(what: str, data: Any) -> dict[str, Any]:
    if not isinstance(data, Mapping):
        raise FormError(f"{what} must be a table, got {type(data).__name__}")
    return dict(data)


def _list(what: str, data: Any) -> list[Any]:
    if not isinstance(data, list | tuple):
        raise FormError(f"{what} must be a list, got {type(data).__name__}")
    return list(data)


def _image(key: str, data: Any) -> SEOImage | None:
    if data is None or isinstance(data, SEOImage):
        return data
    if isinstance(data, str):
        return _build(SEOImage, {"url": data}, key)
    if not isinstance(data, Mapping):
        raise FormError(f"{key} must be a table or a URL, got {type(data).__name__}")
    return _build(SEOImage, data, key)


def _robots(key: str, data: Any) -> Robots | None:
    if data is None or isinstance(data, Robots):
        return data
    return _build(Robots, _table(key, data), key)


def _records(key: str, data: Any, record: type[_T]) -> list[_T] | None:
    if data is None:
        return None
    items = []
    for i, item in enumerate(_list(key, data)):
        where = f"{key}[{i}]"
        items.append(
            item if isinstance(item, record) else _build(record, _table(where, item), where)
        )
    return items


def config_from_dict(data: Mapping[str, Any], *, python_objects: bool = True) -> SEOConfig:
    """An `SEOConfig` from its constructor arguments as a dictionary.

    `url_policy`, `default_robots`, `search_robots` and `default_og_image` may be
    nested tables, and `schema_type_map` a table of entity type to schema type. With
    `python_objects` false (files), `hooks` and `schema_registry` are refused.
    Raises `FormError` naming the problem.
    """
    fields = _table("the site configuration", data)
    if not python_objects:
        for python_only in ("hooks", "schema_registry"):
            if python_only in fields:
                raise FormError(f"{python_only} can only be set from Python")
    for key in ("default_robots", "search_robots"):
        fields[key] = _robots(key, fields.get(key))
    fields["default_og_image"] = _image("default_og_image", fields.get("default_og_image"))
    policy = fields.get("url_policy")
    if policy is not None and not isinstance(policy, URLPolicy):
        fields["url_policy"] = _build(URLPolicy, _table("url_policy", policy), "url_policy")
    schema_map = fields.get("schema_type_map")
    if isinstance(schema_map, Mapping):
        fields["schema_type_map"] = list(schema_map.items())
    elif isinstance(schema_map, list):
        fields["schema_type_map"] = [tuple(p) if isinstance(p, list) else p for p in schema_map]
    return _build(SEOConfig, fields)


def entity_from_dict(data: Mapping[str, Any]) -> SEOEntity:
    """An `SEOEntity` from its constructor arguments; `breadcrumbs` and `faq_items` as
    lists of tables, `featured_image` as a table or a URL. Raises `FormError`.

    The command line reads the same form from JSON manifest lines in the core
    (`zoret._zoret_site.read_manifest_line`); both accept the same JSON values, make
    the same records and word their refusals alike."""
    fields = _table("the entity", data)
    fields["featured_image"] = _image("featured_image", fields.get("featured_image"))
    fields["breadcrumbs"] = _records("breadcrumbs", fields.get("breadcrumbs"), Breadcrumb)
    fields["faq_items"] = _records("faq_items", fields.get("faq_items"), FAQItem)
    return _build(SEOEntity, fields)


def overrides_from_dict(data: Mapping[str, Any]) -> SEOOverrides:
    """`SEOOverrides` from its constructor arguments; images as tables or URLs, `robots`
    as a table. Raises `FormError`. The same form as manifest lines (see
    `entity_from_dict`)."""
    fields = _table("the overrides", data)
    fields["robots"] = _robots("robots", fields.get("robots"))
    for key in ("og_image", "twitter_image"):
        fields[key] = _image(key, fields.get(key))
    return _build(SEOOverrides, fields)


def _dropped(where: str, message: str) -> None:
    warnings.warn(f"{where}: {message}", DroppedSettingWarning, stacklevel=4)


def _expectation(where: str, data: Any) -> SEOExpectation | None:
    if data is None:
        return None
    fields = _table(f"{where} (an expectation)", data)
    if fields.get("schema_types") is not None and fields.get("schema_required") is None:
        # The record keeps schema types only under a schema expectation, which
        # exists only when schema_required is given.
        _dropped(where, "schema_types is ignored without schema_required; add schema_required")
    for nested in ("title", "description"):
        fields[nested] = _expectation(f"{where}.{nested}", fields.get(nested))
    return _build(SEOExpectation, fields)


def contract_config_from_dict(data: Mapping[str, Any]) -> SEOContractConfig:
    """An `SEOContractConfig` from the contract file's tables.

    Top-level keys: `canonical_host`, `scheme`, `defaults` (an expectation), `rules`
    (a list of tables with `match`, `expect` and `severity`) and `exceptions` (a
    table of route to expectation). Settings that the contract would not record as
    written (`schema_types` without `schema_required`, an unknown severity) are
    reported as `DroppedSettingWarning`. Raises `FormError`.
    """
    fields = _table("the contract configuration", data)
    fields["defaults"] = _expectation("defaults", fields.get("defaults"))
    rules = []
    for index, rule in enumerate(_list("rules", fields.get("rules") or [])):
        rule = _table("each rule", rule)
        rule["expect"] = _expectation(f"rules[{index}].expect", rule.get("expect", {}))
        severity = rule.get("severity")
        if isinstance(severity, str) and severity not in _SEVERITIES:
            _dropped(
                f"rules[{index}]",
                f"severity {severity!r} is recorded as 'error' (known: {', '.join(_SEVERITIES)})",
            )
        rules.append(_build(SEOContractRule, rule))
    fields["rules"] = rules
    exceptions = _table("exceptions (route -> expectation)", fields.get("exceptions") or {})
    fields["exceptions"] = [
        (route, _expectation(f"exceptions.{route}", e)) for route, e in exceptions.items()
    ]
    return _build(SEOContractConfig, fields)
