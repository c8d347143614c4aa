"""Turning host audio objects (NumPy arrays, bytes, array.array, memoryviews) into the address and
count that the C functions take, without copying when the memory allows it."""
from __future__ import annotations

import ctypes
import sys
from typing import Any, Dict, NamedTuple

S16 = "s16"    # signed 16-bit samples
F32 = "f32"    # 32-bit float samples, nominally -1..1
BYTES = "bytes"  # raw little-endian signed 16-bit samples given as bytes

# Struct-module format codes of 16-bit and 32-bit samples in the host's byte order (memoryviews
# may spell them with '@', '=' or the explicit order mark).
_ORDER = "<" if sys.byteorder == "little" else ">"
_S16_FORMATS = {"h", "@h", "=h", _ORDER + "h"}
_F32_FORMATS = {"f", "@f", "=f", _ORDER + "f"}
_BYTE_FORMATS = {"B", "b", "c", "@B", "@b", "@c", "=B", "=b", "=c", "<B", ">B"}
# NumPy array-interface type strings of the same.
_S16_TYPESTR = _ORDER + "i2"
_F32_TYPESTR = _ORDER + "f4"

_DTYPE_HINT = ("audio must be int16 or float32 samples (or bytes of 16-bit little-endian PCM); "
               "convert with .astype(numpy.float32) or .astype(numpy.int16)")


class Samples(NamedTuple):
    """`length` items of `kind` at `address`; `keep` holds the memory alive during the call."""

    kind: str
    address: Any  # an int address, or a bytes object that ctypes passes as its data pointer
    length: int
    keep: Any


def _from_array_interface(obj: Any, iface: Dict[str, Any]) -> Samples:
    shape = iface["shape"]
    if len(shape) != 1:
        raise ValueError("audio must be a 1-D array of mono samples, got shape %r (one channel: "
                         "a[:, 0]; a mix: a.mean(axis=1, dtype=numpy.float32))" % (tuple(shape),))
    typestr = iface["typestr"]
    if typestr == _S16_TYPESTR:
        kind, itemsize = S16, 2
    elif typestr == _F32_TYPESTR:
        kind, itemsize = F32, 4
    else:
        name = getattr(getattr(obj, "dtype", None), "name", typestr)
        raise TypeError("%s, got %s" % (_DTYPE_HINT, name))
    strides = iface.get("strides")
    if strides is not None and shape[0] > 1 and strides[0] != itemsize:
        import numpy  # the object is a NumPy array (or acts like one)
        obj = numpy.ascontiguousarray(obj)
        iface = obj.__array_interface__
    return Samples(kind, iface["data"][0], shape[0], obj)


def samples(obj: Any, allow_bytes: bool) -> Samples:
    """The samples of `obj`. Raises TypeError for an unsupported type or sample format and
    ValueError for an array that is not one-dimensional. Plain bytes-like objects are raw 16-bit
    PCM (kind BYTES) when `allow_bytes`, else a TypeError."""
    iface = getattr(obj, "__array_interface__", None)
    if isinstance(iface, dict):
        return _from_array_interface(obj, iface)
    try:
        view = memoryview(obj)
    except TypeError:
        raise TypeError("%s; got %s" % (_DTYPE_HINT, type(obj).__name__)) from None
    if view.ndim > 1:
        raise ValueError("audio must be 1-D mono samples, got shape %r" % (view.shape,))
    fmt = view.format
    if fmt in _S16_FORMATS:
        kind = S16
    elif fmt in _F32_FORMATS:
        kind = F32
    elif fmt in _BYTE_FORMATS:
        if not allow_bytes:
            raise TypeError("bytes are not samples here: give an int16 or float32 array")
        kind = BYTES
    else:
        raise TypeError("%s, got format %r" % (_DTYPE_HINT, fmt))
    length = view.nbytes // view.itemsize if kind != BYTES else view.nbytes
    if isinstance(obj, bytes):
        return Samples(kind, obj, length, obj)
    if not view.c_contiguous or view.readonly:
        data = view.tobytes()
        return Samples(kind, data, length, data)
    buffer = (ctypes.c_char * view.nbytes).from_buffer(view)
    return Samples(kind, ctypes.addressof(buffer), length, buffer)


def address(where: Any) -> int:
    """The integer address of a Samples.address (bytes objects are passed by their data)."""
    if isinstance(where, bytes):
        return ctypes.cast(ctypes.c_char_p(where), ctypes.c_void_p).value or 0
    return int(where)
