"""Hooks that post-process a built payload as a dictionary.

A :class:`HookRegistry` stored as ``SEOConfig(hooks=...)`` runs after every build:
each ``post_process`` hook receives the payload dictionary (plus fresh copies of the
entity and configuration) and returns a new dictionary, or None after changing the
one it was given. The final dictionary must still describe a payload.

>>> hooks = HookRegistry()
>>> @hooks.post_process
... def brand(payload: dict[str, Any], entity: SEOEntity, config: SEOConfig) -> None:
...     payload["title"] = payload["title"] + " | Example"
"""

from __future__ import annotations

from collections.abc import Callable
from typing import Any, TypeVar

from zoret._zoret_native import SEOConfig, SEOEntity

__all__ = ["STAGES", "Hook", "HookRegistry"]

STAGES = ("post_process",)
"""The stages a build runs, in order."""

Hook = Callable[[dict[str, Any], SEOEntity, SEOConfig], dict[str, Any] | None]
_H = TypeVar("_H", bound=Hook)


def _known(stage: str) -> str:
    if stage not in STAGES:
        raise ValueError(f"unknown hook stage {stage!r}; known stages: {', '.join(STAGES)}")
    return stage


class HookRegistry:
    """Hooks per stage, run in registration order."""

    def __init__(self) -> None:
        self._hooks: dict[str, list[Hook]] = {stage: [] for stage in STAGES}

    def register(self, stage: str = "post_process") -> Callable[[_H], _H]:
        """Decorator adding a hook to `stage`; ValueError for an unknown stage."""
        hooks = self._hooks[_known(stage)]

        def decorate(hook: _H) -> _H:
            if not callable(hook):
                raise TypeError(f"hook {hook!r} is not callable")
            hooks.append(hook)
            return hook

        return decorate

    def post_process(self, hook: _H) -> _H:
        """Decorator adding a ``post_process`` hook."""
        return self.register("post_process")(hook)

    def hooks(self, stage: str = "post_process") -> list[Hook]:
        """The hooks of `stage`, in the order they run."""
        return list(self._hooks[_known(stage)])

    def run(
        self, stage: str, payload: dict[str, Any], entity: SEOEntity, config: SEOConfig
    ) -> dict[str, Any]:
        """Runs the hooks of `stage` in order, each on the previous one's dictionary."""
        for hook in self._hooks[_known(stage)]:
            result = hook(payload, entity, config)
            if result is None:
                continue
            if not isinstance(result, dict):
                name = getattr(hook, "__qualname__", repr(hook))
                raise TypeError(
                    f"hook {name} must return a dict or None, got {type(result).__name__}"
                )
            payload = result
        return payload

    def __len__(self) -> int:
        return sum(len(hooks) for hooks in self._hooks.values())

    def __repr__(self) -> str:
        counts = ", ".join(f"{stage}={len(hooks)}" for stage, hooks in self._hooks.items())
        return f"HookRegistry({counts})"
