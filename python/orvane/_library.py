"""Finding liborvane and declaring its C functions for ctypes.

The library is looked up once per process, on first use: the path in ORVANE_LIBRARY, then the build
of the checkout this package sits in, then the system's liborvane.so.0.
"""
from __future__ import annotations

import ctypes
import os
import threading
from pathlib import Path
from typing import Dict, List, Optional, Tuple

from ._errors import Error

_vp = ctypes.c_void_p
_cp = ctypes.c_char_p
_int = ctypes.c_int

# name: (restype, argtypes). Every function of include/orvane.h that the package calls.
_REQUIRED: Dict[str, Tuple[object, List[object]]] = {
    "orvane_pipeline_new": (_vp, []),
    "orvane_pipeline_preset": (_vp, [_cp]),
    "orvane_pipeline_add_module": (_int, [_vp, _cp, _cp]),
    "orvane_pipeline_build": (_int, [_vp]),
    "orvane_pipeline_free": (None, [_vp]),
    "orvane_session_new": (_vp, [_vp, ctypes.c_float]),
    "orvane_session_free": (None, [_vp]),
    "orvane_session_reset": (None, [_vp]),
    # Audio pointers are passed as addresses (c_void_p) so that any buffer works without a copy.
    "orvane_accept_waveform_s16": (_int, [_vp, _vp, _int]),
    "orvane_accept_waveform_f32": (_int, [_vp, _vp, _int]),
    "orvane_accept_waveform_bytes": (_int, [_vp, _vp, _int]),
    "orvane_partial_result": (_cp, [_vp]),
    "orvane_final_result": (_cp, [_vp]),
    "orvane_transcribe_file": (_cp, [_vp, _cp]),
    "orvane_transcribe_buffer": (_cp, [_vp, _vp, _int, ctypes.c_float]),
    "orvane_list_modules": (_cp, []),
    "orvane_list_presets": (_cp, []),
    "orvane_set_log_level": (None, [_int]),
    "orvane_version": (_cp, []),
    "orvane_last_error": (_cp, []),
}

# Functions that newer libraries add; each is None on a library without it.
_OPTIONAL: Dict[str, Tuple[object, List[object]]] = {
    # Per-session hotwords: phrases one per line, and the bonus per matched unit (0..10).
    "orvane_session_set_hotwords": (_int, [_vp, _cp, ctypes.c_float]),
    # Log lines to a host function (callback, user data); see _logging.py.
    "orvane_set_log_callback": (None, [_vp, _vp]),
}

# Library log level set when the package loads it: warnings and errors only, as the command-line
# tool does. orvane.set_log_level changes it.
_DEFAULT_LOG_LEVEL = 3


class Library:
    """liborvane loaded with ctypes: `lib` has every required function declared, `optional` the
    newer ones that this library has (missing names map to None)."""

    def __init__(self, path: str, lib: ctypes.CDLL) -> None:
        self.path = path
        self.lib = lib
        missing = []
        for name, (restype, argtypes) in _REQUIRED.items():
            fn = getattr(lib, name, None)
            if fn is None:
                missing.append(name)
                continue
            fn.restype, fn.argtypes = restype, argtypes
        if missing:
            raise Error("%s lacks the functions %s" % (path, ", ".join(missing)))
        self.optional: Dict[str, Optional[ctypes._CFuncPtr]] = {}  # type: ignore[name-defined]
        for name, (restype, argtypes) in _OPTIONAL.items():
            fn = getattr(lib, name, None)
            if fn is not None:
                fn.restype, fn.argtypes = restype, argtypes
            self.optional[name] = fn
        # Answers about configuration keys, found by probing (see _config.py), per key.
        self.supported_keys: Dict[str, bool] = {}
        self.log_level = _DEFAULT_LOG_LEVEL
        self.probe_lock = threading.Lock()

    def last_error(self) -> str:
        """The calling thread's last failure text from the library."""
        return (self.lib.orvane_last_error() or b"").decode("utf-8", "replace")


_lock = threading.Lock()
_loaded: Optional[Library] = None


def _checkout_candidates() -> List[Path]:
    """liborvane of the build tree when this package is python/orvane inside a checkout."""
    root = Path(__file__).resolve().parents[2]
    if not (root / "include" / "orvane.h").is_file():
        return []
    build = root / "build"
    return [build / "liborvane.so.0", build / "liborvane.so"]


def _load() -> Library:
    tried: List[str] = []

    def attempt(path: str) -> Optional[Library]:
        try:
            lib = ctypes.CDLL(path)
        except OSError as e:
            tried.append("%s (%s)" % (path, e))
            return None
        return Library(path, lib)

    explicit = os.environ.get("ORVANE_LIBRARY")
    if explicit:
        # A library named explicitly is never silently replaced by another one.
        found = attempt(explicit)
        if found is None:
            raise Error("cannot load liborvane from ORVANE_LIBRARY: " + tried[0])
        return found
    tried.append("ORVANE_LIBRARY (not set)")
    for candidate in _checkout_candidates():
        if candidate.is_file():
            found = attempt(str(candidate))
            if found is not None:
                return found
        else:
            tried.append("%s (no such file)" % candidate)
    found = attempt("liborvane.so.0")
    if found is not None:
        return found
    raise Error("cannot find liborvane; looked in: " + "; ".join(tried) +
                ". Set ORVANE_LIBRARY to the path of liborvane.so.")


def library() -> Library:
    """The process's liborvane, loaded on first use. Raises Error when none can be loaded."""
    global _loaded
    with _lock:
        if _loaded is None:
            loaded = _load()
            loaded.lib.orvane_set_log_level(loaded.log_level)
            _loaded = loaded
        return _loaded
