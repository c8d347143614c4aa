"""The library's log lines routed to a Python function or to the logging module, on libraries
that have orvane_set_log_callback."""
from __future__ import annotations

import atexit
import ctypes
import logging
import threading
from typing import Callable, Optional

from ._errors import Error
from ._library import library

LogCallback = Callable[[int, str, str], None]

# void (*)(int level, const char* tag, const char* message, void* user_data)
_CALLBACK_TYPE = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_char_p, ctypes.c_char_p,
                                  ctypes.c_void_p)
# Library levels 0 TRACE .. 4 ERROR as logging levels.
_LEVELS = (5, logging.DEBUG, logging.INFO, logging.WARNING, logging.ERROR)

_lock = threading.Lock()
_installed = None  # the ctypes callback the library holds; kept alive while it may be called
_unhooked_at_exit = False


def set_log_callback(callback: Optional[LogCallback]) -> None:
    """Sends each library log line that passes the log level (see set_log_level) to
    `callback(level, tag, message)` instead of standard error (level 0 trace .. 4 error; tag the
    reporting component, such as "api" or "session"); None restores standard error. The callback
    runs on the thread that logs, one line at a time; an exception it raises is printed and
    dropped. Raises Error when the library cannot route its log lines."""
    global _installed, _unhooked_at_exit
    lib = library()
    setter = lib.optional.get("orvane_set_log_callback")
    if setter is None:
        raise Error("this liborvane (%s) cannot route its log lines" % lib.path)

    wrapped = None
    if callback is not None:
        host = callback

        def forward(level: int, tag: bytes, message: bytes, _user: object) -> None:
            host(level, tag.decode("utf-8", "replace"), message.decode("utf-8", "replace"))

        wrapped = _CALLBACK_TYPE(forward)
    with _lock:
        setter(wrapped, None)
        # The library no longer calls the previous callback once the setter has returned.
        _installed = wrapped
        if wrapped is not None and not _unhooked_at_exit:
            # No call into Python while the interpreter shuts down.
            atexit.register(setter, None, None)
            _unhooked_at_exit = True


def log_to_logging(logger: str = "orvane") -> None:
    """Routes the library's log lines to the logging module: logger `logger` + "." + tag (for
    example "orvane.api"), at the matching level (trace lines at level 5)."""
    def emit(level: int, tag: str, message: str) -> None:
        logging.getLogger("%s.%s" % (logger, tag)).log(_LEVELS[max(0, min(level, 4))], "%s",
                                                       message)
    set_log_callback(emit)
