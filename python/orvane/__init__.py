"""orvane: Vietnamese speech recognition with liborvane, from Python.

    import orvane
    with orvane.Recognizer() as recognizer:
        print(recognizer.transcribe("recording.wav").text)
        with recognizer.stream(16000) as stream:
            for block in blocks:            # NumPy int16/float32 arrays or 16-bit PCM bytes
                stream.accept(block)
                print(stream.partial.text)
            print(stream.final().text)

The package is pure Python over the library's C interface (ctypes). It loads liborvane on first
use from ORVANE_LIBRARY (a path), else the build of the checkout it sits in, else the system's
liborvane.so.0.
"""
from __future__ import annotations

from typing import BinaryIO, Iterator, List

from ._errors import Error
from ._library import library
from ._logging import log_to_logging, set_log_callback
from ._recognizer import Recognizer, Stream
from ._result import Result, Segment, Word

__all__ = ["Error", "Recognizer", "Stream", "Result", "Segment", "Word", "read_blocks",
           "version", "library_path", "list_presets", "list_modules", "set_log_level",
           "set_log_callback", "log_to_logging"]


def version() -> str:
    """The library's version text, for example "0.1.0"."""
    return str(library().lib.orvane_version().decode())


def library_path() -> str:
    """The path (or name) from which liborvane was loaded."""
    return library().path


def _names(raw: bytes) -> List[str]:
    import json
    return sorted(json.loads(raw.decode("utf-8")))


def list_presets() -> List[str]:
    """The names of the library's presets, sorted."""
    return _names(library().lib.orvane_list_presets())


def list_modules() -> List[str]:
    """The names of the modules a pipeline can be built from, sorted."""
    return _names(library().lib.orvane_list_modules())


def set_log_level(level: int) -> None:
    """The library's minimum log level on standard error, process-wide: 0 trace, 1 debug, 2 info,
    3 warnings (the package's default), 4 errors, 5 silent."""
    lib = library()
    lib.log_level = int(level)
    lib.lib.orvane_set_log_level(lib.log_level)


def read_blocks(file: BinaryIO, block_bytes: int = 3200) -> Iterator[bytes]:
    """Blocks of `block_bytes` bytes read from a binary file or pipe until its end (the last one
    may be shorter). 3200 bytes are 100 ms of 16-bit mono audio at 16 kHz."""
    if block_bytes < 1:
        raise ValueError("block_bytes must be positive, got %r" % (block_bytes,))
    while True:
        block = file.read(block_bytes)
        if not block:
            return
        yield block
