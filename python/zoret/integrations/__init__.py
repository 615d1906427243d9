"""zoret inside web frameworks and site generators, one optional extra each.

=====================================  ======================  ==========================
module                                 install                 gives
=====================================  ======================  ==========================
``zoret.integrations.django``          ``zoret[django]``       app, template tags, context
                                                               processor, ETag, redirects
``zoret.integrations.flask``           ``zoret[flask]``        ``Zoret(app)`` extension
``zoret.integrations.starlette``       ``zoret[starlette]``    dependency, ETag helper,
                                                               ASGI redirect middleware
``zoret.integrations.jinja2``          ``zoret[jinja2]``       Jinja2 extension
``zoret.integrations.mkdocs``          ``zoret[mkdocs]``       MkDocs plugin ``zoret``
=====================================  ======================  ==========================

The framework-free decisions they share live in :mod:`zoret.web`, and settings
dictionaries become records through :mod:`zoret.forms`.
"""

from __future__ import annotations

__all__ = ["missing_extra"]


def missing_extra(
    error: ImportError, extra: str, feature: str = "this zoret integration"
) -> ImportError:
    """The ImportError to raise when a framework or library is missing: it names the extra
    of zoret that installs it.

    >>> try:
    ...     import flask
    ... except ImportError as exc:
    ...     raise missing_extra(exc, "flask") from exc
    """
    package = (error.name or "a package").partition(".")[0]
    return ImportError(
        f"{feature} needs {package!r}, which is not installed: pip install 'zoret[{extra}]'",
        name=error.name,
    )
