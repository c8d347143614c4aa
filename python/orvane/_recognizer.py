"""Recognizer (a built pipeline) and Stream (one session) over liborvane's C interface."""
from __future__ import annotations

import json
import math
import os
import tempfile
import threading
import weakref
from typing import Any, Iterable, Iterator, Mapping, Optional, Sequence, Union

from . import _audio
from ._config import (DEFAULT_HOTWORDS_SCORE, RECOGNIZER_MODULE, PathLike, check_supported,
                      hotword_list, module_list, recognizer_config)
from ._errors import Error
from ._library import Library, library
from ._result import Result

# The C functions take sample counts as int: larger inputs go in blocks of this many items.
_MAX_BLOCK = 1 << 30

Audio = Any  # a 1-D NumPy int16/float32 array, bytes of 16-bit PCM, or any such buffer
Source = Union[str, "os.PathLike[str]", bytes, bytearray, memoryview, Any]


def _check_rate(sample_rate: Any) -> float:
    if isinstance(sample_rate, bool) or not isinstance(sample_rate, (int, float)):
        raise TypeError("sample_rate must be a number of Hz, got %r" % (sample_rate,))
    rate = float(sample_rate)
    if not math.isfinite(rate) or rate < 1.0:
        raise ValueError("sample_rate must be a finite rate of at least 1 Hz, got %r"
                         % (sample_rate,))
    return rate


def _document(raw: Optional[bytes]) -> Result:
    """A returned document; an error document ({"is_final":true,"error":...}) raises Error."""
    if raw is None:
        raise Error("liborvane returned no document")
    text = raw.decode("utf-8", "replace")
    if '"error":' in text:
        message = json.loads(text).get("error")
        if isinstance(message, str):
            raise Error(message)
    return Result(text)


class Stream:
    """One audio stream through a Recognizer (a library session).

    Push audio with accept(); read `partial` at any time; call final() at the end. Calls on one
    stream are serialised; different streams may be used on different threads at the same time
    (the library runs them in parallel: ctypes releases the GIL during each call).
    """

    def __init__(self, recognizer: "Recognizer", handle: int, sample_rate: float) -> None:
        self._recognizer = recognizer
        self._lib = recognizer._lib
        self._handle: Optional[int] = handle
        self._lock = threading.Lock()
        self._finalised = False
        self._odd_byte = b""  # the last byte of an odd-sized bytes block, kept for the next one
        self.sample_rate = sample_rate
        """The rate of the audio given to accept(), in Hz."""

    def _live(self) -> int:
        if self._handle is None:
            raise Error("the stream is closed")
        return self._handle

    def accept(self, audio: Audio) -> None:
        """Pushes a block of mono audio: a 1-D NumPy array of int16 or float32 (nominally -1..1)
        samples, or bytes of 16-bit little-endian PCM (an odd last byte is kept for the next
        block). Raises TypeError for another sample type, ValueError for a multi-channel array,
        Error once the stream is closed or finalised (see reset())."""
        data = _audio.samples(audio, allow_bytes=True)
        with self._lock:
            self._accept(data, audio)

    def _accept(self, data: _audio.Samples, audio: Audio) -> None:
        """accept() with the stream's lock held."""
        handle = self._live()
        if self._finalised:
            raise Error("the stream was finalised: call reset() before giving it more audio")
        c = self._lib.lib
        if data.kind == _audio.BYTES:
            if self._odd_byte or data.length % 2:
                raw = audio if isinstance(audio, bytes) else memoryview(audio).tobytes()
                joined = self._odd_byte + raw
                cut = len(joined) - len(joined) % 2
                self._odd_byte = joined[cut:]
                data = _audio.Samples(data.kind, joined[:cut], cut, None)
            call, size = c.orvane_accept_waveform_bytes, 1
        elif data.kind == _audio.S16:
            call, size = c.orvane_accept_waveform_s16, 2
        else:
            call, size = c.orvane_accept_waveform_f32, 4
        if data.length <= _MAX_BLOCK:
            call(handle, data.address, data.length)
            return
        base = _audio.address(data.address)
        for start in range(0, data.length, _MAX_BLOCK):
            call(handle, base + start * size, min(_MAX_BLOCK, data.length - start))

    @property
    def partial(self) -> Result:
        """The current result: the transcript so far (is_final False until final())."""
        with self._lock:
            return Result(self._lib.lib.orvane_partial_result(self._live()).decode("utf-8",
                                                                                    "replace"))

    def final(self) -> Result:
        """Finishes the stream (the recogniser decodes what it still holds) and returns the final
        result. Calling it again returns the same result; reset() starts a new stream."""
        with self._lock:
            handle = self._live()
            self._finalised = True
            return Result(self._lib.lib.orvane_final_result(handle).decode("utf-8", "replace"))

    def reset(self) -> None:
        """Starts a new stream on the same session (same rate), forgetting all audio."""
        with self._lock:
            self._lib.lib.orvane_session_reset(self._live())
            self._finalised = False
            self._odd_byte = b""

    def set_hotwords(self, hotwords: Union[str, Iterable[str]],
                     score: Optional[float] = None) -> None:
        """Phrases that this stream's recogniser favours from the next audio on (a list, or one
        phrase per line; empty removes them), replacing the recognizer's hotwords for this stream.
        `score` is the bonus per matched unit, 0..10 (default: the recognizer's "hotwords_score",
        else 2). Raises Error with the library's message for phrases that cannot be written with
        the model's units or a bad score, and when the library has no per-stream hotwords."""
        phrases = hotword_list(hotwords)
        if score is None:
            score = self._recognizer._hotwords_score
        set_hotwords = self._lib.optional.get("orvane_session_set_hotwords")
        if set_hotwords is None:
            raise Error("this liborvane (%s) does not support hotwords" % self._lib.path)
        with self._lock:
            code = set_hotwords(self._live(), "\n".join(phrases).encode("utf-8"), float(score))
            if code != 0:
                raise Error(self._lib.last_error(), code)

    def results(self, blocks: Iterable[Audio]) -> Iterator[Result]:
        """Accepts each block of `blocks` and yields the partial result each time its text
        changes, then the final result (is_final True)."""
        last = ""
        for block in blocks:
            self.accept(block)
            result = self.partial
            if result.text != last:
                last = result.text
                yield result
        yield self.final()

    @property
    def closed(self) -> bool:
        return self._handle is None

    def __repr__(self) -> str:
        return "<orvane.Stream %g Hz%s>" % (self.sample_rate, " closed" if self.closed else "")

    def close(self) -> None:
        """Frees the session. Further calls raise Error; closing twice is allowed."""
        with self._lock:
            handle, self._handle = self._handle, None
            if handle is not None:
                self._lib.lib.orvane_session_free(handle)

    def __enter__(self) -> "Stream":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:  # interpreter shutdown: the library may already be gone
            pass


class Recognizer:
    """A speech recogniser: a built pipeline of liborvane's modules.

    Recognizer() uses the "transcribe" preset (voice activity + recogniser). `preset` names another
    built-in preset; `modules` lists module names instead ("vad,orvane" or a list). `model_dir` is a
    model folder (model.onnx and units.txt) for the recogniser instead of its embedded model;
    `hotwords` are phrases that the decoder favours (a list, or one phrase per line); `config` adds
    further keys to the recogniser's configuration text. A library that does not support a
    requested setting raises Error rather than ignoring it.

    Use as a context manager or call close(); a closed recogniser raises Error. transcribe() may
    run on several threads at once; each Stream belongs to one user at a time.
    """

    def __init__(self, preset: str = "transcribe",
                 modules: Optional[Union[str, Sequence[str]]] = None,
                 model_dir: Optional[PathLike] = None,
                 hotwords: Optional[Union[str, Iterable[str]]] = None,
                 config: Optional[Mapping[str, Any]] = None) -> None:
        self._handle: Optional[int] = None
        self._description = ("modules=%r" % (modules,) if modules is not None
                             else "preset=%r" % (preset,))
        self._lib: Library = library()
        if hotwords is not None:
            hotwords = hotword_list(hotwords)
        check_supported(self._lib, model_dir is not None, hotwords is not None)
        recognizer_text = recognizer_config(model_dir, hotwords, config)
        score = (config or {}).get("hotwords_score", DEFAULT_HOTWORDS_SCORE)
        self._hotwords_score = float(score) if isinstance(score, (int, float)) else \
            DEFAULT_HOTWORDS_SCORE
        self._cond = threading.Condition()
        self._users = 0
        self._closing = False
        self._streams: "weakref.WeakSet[Stream]" = weakref.WeakSet()
        c = self._lib.lib
        if modules is None and recognizer_text is None:
            handle = c.orvane_pipeline_preset(preset.encode("utf-8"))
            if not handle:
                raise Error(self._lib.last_error())
            self._handle = handle
            return
        names = module_list(preset, modules)
        if recognizer_text is not None and RECOGNIZER_MODULE not in names:
            raise ValueError("model_dir, hotwords and config need the %r module in the pipeline"
                             % RECOGNIZER_MODULE)
        handle = c.orvane_pipeline_new()
        try:
            for name in names:
                text = recognizer_text if name == RECOGNIZER_MODULE else None
                code = c.orvane_pipeline_add_module(handle, name.encode("utf-8"),
                                                    None if text is None else text.encode("utf-8"))
                if code != 0:
                    raise Error(self._lib.last_error(), code)
            code = c.orvane_pipeline_build(handle)
            if code != 0:
                raise Error(self._lib.last_error(), code)
        except BaseException:
            c.orvane_pipeline_free(handle)
            raise
        self._handle = handle

    # Every use of the pipeline handle is counted, so that close() waits for calls in flight.
    def _enter(self) -> int:
        with self._cond:
            if self._handle is None or self._closing:
                raise Error("the recognizer is closed")
            self._users += 1
            return self._handle

    def _leave(self) -> None:
        with self._cond:
            self._users -= 1
            if self._users == 0:
                self._cond.notify_all()

    def transcribe(self, source: Source, sample_rate: Optional[float] = None) -> Result:
        """Transcribes a whole recording and returns the final Result.

        `source` is a WAV file's path, the bytes of a WAV file, or a 1-D NumPy array (int16, or
        float32 nominally -1..1) of mono samples at `sample_rate` Hz (any rate; the library
        resamples to 16 kHz). The library's reader takes 16-bit PCM WAV files at any rate. Raises
        Error with the library's message when the audio cannot be read or recognised.
        """
        if isinstance(source, (str, os.PathLike)):
            if sample_rate is not None:
                raise ValueError("sample_rate is for arrays; a WAV file states its own rate")
            return self._transcribe_file(os.fsencode(source))
        if isinstance(source, (bytes, bytearray)) or (
                isinstance(source, memoryview) and source.format in ("B", "b", "c")):
            if sample_rate is not None:
                raise ValueError("sample_rate is for arrays; WAV bytes state their own rate")
            return self._transcribe_wav_bytes(bytes(source))
        data = _audio.samples(source, allow_bytes=False)
        if sample_rate is None:
            raise ValueError("sample_rate is required with an array of samples")
        with self.stream(sample_rate) as stream:
            with stream._lock:
                stream._accept(data, source)
            return stream.final()

    def _transcribe_file(self, path: bytes) -> Result:
        handle = self._enter()
        try:
            return _document(self._lib.lib.orvane_transcribe_file(handle, path))
        finally:
            self._leave()

    def _transcribe_wav_bytes(self, data: bytes) -> Result:
        # The library reads WAV files only from a path: hand it a private temporary file, so that
        # it reads every format it knows in the same way.
        fd, path = tempfile.mkstemp(prefix="orvane-", suffix=".wav")
        try:
            with os.fdopen(fd, "wb") as f:
                f.write(data)
            try:
                return self._transcribe_file(os.fsencode(path))
            except Error as e:
                raise Error(e.message.replace(path, "<WAV bytes>"), e.code) from None
        finally:
            os.unlink(path)

    def stream(self, sample_rate: float, hotwords: Optional[Union[str, Iterable[str]]] = None,
               hotwords_score: Optional[float] = None) -> Stream:
        """A new Stream for mono audio at `sample_rate` Hz (any rate; resampled to 16 kHz).
        `hotwords` replace the recognizer's hotwords for this stream only (see
        Stream.set_hotwords). Close the stream (or use it as a context manager) when done."""
        rate = _check_rate(sample_rate)
        handle = self._enter()
        try:
            session = self._lib.lib.orvane_session_new(handle, rate)
            if not session:
                raise Error(self._lib.last_error())
            stream = Stream(self, session, rate)
            with self._cond:
                self._streams.add(stream)
        finally:
            self._leave()
        if hotwords is not None:
            try:
                stream.set_hotwords(hotwords, hotwords_score)
            except BaseException:
                stream.close()
                raise
        return stream

    def transcribe_stream(self, blocks: Iterable[Audio], sample_rate: float) -> Iterator[Result]:
        """Streams `blocks` (arrays or PCM bytes, see Stream.accept) through a new stream: yields
        the partial result each time the transcript changes, then the final result."""
        with self.stream(sample_rate) as stream:
            yield from stream.results(blocks)

    @property
    def closed(self) -> bool:
        return self._handle is None

    def __repr__(self) -> str:
        return "<orvane.Recognizer %s%s>" % (self._description, " closed" if self.closed else "")

    def close(self) -> None:
        """Closes the recognizer's open streams, waits for transcriptions in flight and frees the
        pipeline. Closing twice is allowed."""
        cond = getattr(self, "_cond", None)
        if cond is None:  # construction failed before the pipeline existed
            return
        with cond:
            if self._handle is None:
                return
            self._closing = True
            while self._users:
                cond.wait()
            streams = list(self._streams)
        for stream in streams:
            stream.close()
        with cond:
            handle, self._handle = self._handle, None
        if handle is not None:
            self._lib.lib.orvane_pipeline_free(handle)

    def __enter__(self) -> "Recognizer":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:  # interpreter shutdown: the library may already be gone
            pass
