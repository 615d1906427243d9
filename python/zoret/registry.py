"""Python JSON-LD generators keyed by schema.org type.

A :class:`SchemaRegistry` stored as ``SEOConfig(schema_registry=...)`` is consulted
after every build whose JSON-LD is a single object: when a generator is registered
for that object's ``"@type"``, its return value replaces the JSON-LD.

>>> registry = SchemaRegistry()
>>> @registry.register("Recipe")
... def recipe(request: SchemaRequest) -> dict[str, object]:
...     return {"@context": "https://schema.org", "@type": "Recipe", "name": request.title}
"""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from typing import Any, TypeVar

from zoret._zoret_native import SEOConfig, SEOEntity

__all__ = ["SchemaGenerator", "SchemaRegistry", "SchemaRequest"]


@dataclass(frozen=True, slots=True)
class SchemaRequest:
    """What a generator knows about the page: resolved values, not raw input."""

    schema_type: str
    entity: SEOEntity
    config: SEOConfig
    canonical: str
    title: str
    description: str
    image: str | None


SchemaGenerator = Callable[[SchemaRequest], Any]
"""Returns a JSON-serialisable value (normally a dict), or None to keep the JSON-LD."""

_G = TypeVar("_G", bound=SchemaGenerator)


def _check_type(schema_type: object) -> None:
    if not isinstance(schema_type, str) or not schema_type:
        raise TypeError("schema_type must be a non-empty str")


class SchemaRegistry:
    """A registry of Python JSON-LD generators, one per schema.org type name."""

    def __init__(self) -> None:
        self._generators: dict[str, SchemaGenerator] = {}

    def register(self, schema_type: str) -> Callable[[_G], _G]:
        """Decorator registering a generator for `schema_type` (replacing any earlier one)."""
        _check_type(schema_type)

        def decorate(generator: _G) -> _G:
            self.add(schema_type, generator)
            return generator

        return decorate

    def add(self, schema_type: str, generator: SchemaGenerator) -> None:
        """Registers `generator` for `schema_type`, replacing any earlier one."""
        _check_type(schema_type)
        if not callable(generator):
            raise TypeError(f"generator for {schema_type!r} is not callable")
        self._generators[schema_type] = generator

    def has(self, schema_type: str) -> bool:
        """True when a generator is registered under exactly `schema_type`."""
        return schema_type in self._generators

    def generate(
        self,
        schema_type: str,
        entity: SEOEntity,
        config: SEOConfig,
        canonical: str,
        title: str,
        description: str,
        image: str | None,
    ) -> Any:
        """Runs the generator for `schema_type`; None when there is none."""
        generator = self._generators.get(schema_type)
        if generator is None:
            return None
        request = SchemaRequest(schema_type, entity, config, canonical, title, description, image)
        return generator(request)

    def types(self) -> list[str]:
        """The registered schema type names, sorted."""
        return sorted(self._generators)

    def __len__(self) -> int:
        return len(self._generators)

    def __contains__(self, schema_type: object) -> bool:
        return schema_type in self._generators

    def __repr__(self) -> str:
        return f"SchemaRegistry(types={self.types()!r})"
