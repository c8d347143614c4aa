"""The package's exception."""
from __future__ import annotations

from typing import Optional


class Error(Exception):
    """A failure reported by liborvane (its message), or a use of a closed object.

    `code` is the library's negative return code when it gave one (-2 named item not found,
    -3 file or data error, -6 engine or model failure, ...), else None.
    """

    def __init__(self, message: str, code: Optional[int] = None) -> None:
        super().__init__(message)
        self.message = message
        self.code = code
