"""zoret: deterministic SEO metadata for Python web applications."""

from zoret import _zoret_native
from zoret._zoret_native import *  # noqa: F403  (re-exported public API)

__version__ = "0.2.0"
__all__ = [name for name in dir(_zoret_native) if not name.startswith("_")]
