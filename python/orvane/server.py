"""Streaming recognition over WebSocket, and a page to try it: ``python -m orvane.server``.

One connection is one recognition session. The client may first send a text message
``{"sample_rate": 44100, "hotwords": [...]}``, then binary messages of 16-bit little-endian mono
PCM (at most 1 MiB each), then ``{"eof": true}``. The server answers with the library's result
document each time the transcript changes and with the final document after ``{"eof": true}``,
then closes normally. A message the protocol does not allow gets ``{"error": "..."}`` and a close
code (see the README). Recognition runs in a thread pool sized to the cores, never on the event
loop. Plain HTTP requests get the page of ``orvane/web`` (``/``).
"""

from __future__ import annotations

import argparse
import asyncio
import concurrent.futures
import ctypes
import functools
import http
import importlib.resources
import itertools
import json
import logging
import os
import signal
import sys
from typing import Any, Callable, Dict, Optional, Sequence, Tuple

from websockets.datastructures import Headers
from websockets.exceptions import ConnectionClosed, ConnectionClosedOK
from websockets.legacy.server import HTTPResponse, WebSocketServerProtocol, serve

from . import Error, Recognizer, Stream, log_to_logging

log = logging.getLogger("orvane.server")

MAX_MESSAGE_BYTES = 1 << 20
MIN_SAMPLE_RATE = 8000
MAX_SAMPLE_RATE = 192000
DEFAULT_SAMPLE_RATE = 16000
# The most audio (bytes) one pool job accepts: a large message is fed in slices, each its own job,
# so that the other connections' jobs run between them (64 KiB: 2 s at 16 kHz, ~40 ms of work).
FEED_SLICE_BYTES = 1 << 16

# Close codes (RFC 6455 7.4.1) this server uses.
CLOSE_NORMAL = 1000
CLOSE_INVALID_DATA = 1007   # a text message that is not JSON
CLOSE_POLICY = 1008         # a well-formed message the protocol does not allow
CLOSE_TOO_BIG = 1009        # a message over MAX_MESSAGE_BYTES
CLOSE_INTERNAL = 1011       # the recogniser failed
CLOSE_TRY_LATER = 1013      # --max-sessions connections are open

_PAGE_FILES = {
    "/": ("index.html", "text/html; charset=utf-8"),
    "/index.html": ("index.html", "text/html; charset=utf-8"),
    "/app.js": ("app.js", "text/javascript; charset=utf-8"),
    "/capture-worklet.js": ("capture-worklet.js", "text/javascript; charset=utf-8"),
}


class ProtocolError(Exception):
    """A client message the protocol does not allow; `code` is the close code to send."""

    def __init__(self, message: str, code: int = CLOSE_POLICY) -> None:
        super().__init__(message)
        self.code = code


def parse_control(text: str, audio_started: bool) -> Dict[str, Any]:
    """Checks one text message and returns its fields ("sample_rate", "hotwords", "eof").

    Raises ProtocolError for text that is not a JSON object, unknown or wrong-typed fields, a rate
    outside MIN_SAMPLE_RATE..MAX_SAMPLE_RATE, or configuration sent after the first audio.
    """
    try:
        message = json.loads(text)
    except ValueError as e:
        raise ProtocolError(f"text message is not valid JSON: {e}", CLOSE_INVALID_DATA) from None
    except RecursionError:
        raise ProtocolError("text message is not valid JSON: nested too deeply",
                            CLOSE_INVALID_DATA) from None
    if not isinstance(message, dict):
        raise ProtocolError("text message must be a JSON object")
    for key in message:
        if key not in ("sample_rate", "hotwords", "eof"):
            raise ProtocolError(f"unknown field: {key!r}")
    if "sample_rate" in message:
        rate = message["sample_rate"]
        if isinstance(rate, bool) or not isinstance(rate, (int, float)):
            raise ProtocolError("sample_rate must be a number")
        if not MIN_SAMPLE_RATE <= rate <= MAX_SAMPLE_RATE:
            raise ProtocolError(
                f"sample_rate {rate} outside {MIN_SAMPLE_RATE}..{MAX_SAMPLE_RATE}")
    if "hotwords" in message:
        words = message["hotwords"]
        if not isinstance(words, list) or not all(isinstance(w, str) for w in words):
            raise ProtocolError("hotwords must be a list of strings")
    if "eof" in message and not isinstance(message["eof"], bool):
        raise ProtocolError("eof must be true or false")
    if audio_started and ("sample_rate" in message or "hotwords" in message):
        raise ProtocolError("sample_rate and hotwords must come before the audio")
    return message


def _error_text(message: str) -> str:
    return json.dumps({"error": message}, ensure_ascii=False)


def _close_reason(message: str) -> str:
    # A close frame's reason holds at most 123 bytes of UTF-8.
    return message.encode("utf-8")[:120].decode("utf-8", "ignore")


class _Protocol(WebSocketServerProtocol):
    """Serves the page to plain HTTP requests and answers an oversized message with an error."""

    session_name = "?"  # "#<connection number> <address>:<port>", once the handler has it

    def __init__(self, *args: Any, pages: Dict[str, Tuple[bytes, str]], **kwargs: Any) -> None:
        super().__init__(*args, **kwargs)
        self._pages = pages

    async def process_request(self, path: str,
                              request_headers: Headers) -> Optional[HTTPResponse]:
        if "websocket" in request_headers.get("Upgrade", "").lower():
            return None
        page = self._pages.get(path.split("?", 1)[0])
        if page is None:
            return (http.HTTPStatus.NOT_FOUND, [("Content-Type", "text/plain")], b"not found\n")
        body, content_type = page
        return (http.HTTPStatus.OK,
                [("Content-Type", content_type), ("Cache-Control", "no-cache")], body)

    def fail_connection(self, code: int = 1006, reason: str = "") -> None:
        # The library refuses a message over max_size before its payload is read; the client
        # still gets the same error message as for any other refused input.
        if code == CLOSE_TOO_BIG and self.state.name == "OPEN":
            message = f"binary message over {MAX_MESSAGE_BYTES} bytes"
            log.warning("%s refused: %s", self.session_name, message)
            self.write_frame_sync(True, 0x1, _error_text(message).encode())
            reason = reason or _close_reason(message)
        super().fail_connection(code, reason)


def _load_pages() -> Dict[str, Tuple[bytes, str]]:
    web = importlib.resources.files("orvane") / "web"
    return {path: (web.joinpath(name).read_bytes(), kind)
            for path, (name, kind) in _PAGE_FILES.items()}


def _trim_heap() -> None:
    # Gives the freed pages of ended sessions back to the system, so an idle server shrinks.
    try:
        ctypes.CDLL("libc.so.6").malloc_trim(0)
    except (OSError, AttributeError):
        pass


class _Session:
    """One connection's recognition state; its calls run on the pool one at a time, in order."""

    def __init__(self, server: "Server", name: str) -> None:
        self._server = server
        self.name = name
        self._stream: Optional[Stream] = None
        self._pending: Optional[concurrent.futures.Future[Any]] = None
        self._last = "\n"  # "partial" and "text" of the last document sent

    async def _call(self, fn: Callable[..., Any], *args: Any) -> Any:
        self._pending = self._server.pool.submit(fn, *args)
        return await asyncio.wrap_future(self._pending)

    async def _open(self, rate: float, hotwords: Optional[Sequence[str]]) -> Stream:
        try:
            stream: Stream = await self._call(functools.partial(
                self._server.recognizer.stream, rate, hotwords=hotwords or None))
        except Error as e:
            if hotwords is None:
                raise
            raise ProtocolError(f"hotwords refused: {e}") from None
        self._stream = stream
        return stream

    def _feed(self, stream: Stream, data: bytes) -> Optional[str]:
        stream.accept(data)
        result = stream.partial
        transcript = f"{result.partial}\n{result.text}"
        if transcript == self._last:
            return None
        self._last = transcript
        return result.json

    async def run(self, ws: _Protocol) -> None:
        rate: float = DEFAULT_SAMPLE_RATE
        hotwords = None
        async for message in ws:
            if isinstance(message, str):
                control = parse_control(message, self._stream is not None)
                rate = control.get("sample_rate", rate)
                hotwords = control.get("hotwords", hotwords)
                if not control.get("eof", False):
                    continue
                stream = self._stream or await self._open(rate, hotwords)
                final = await self._call(stream.final)
                await ws.send(final.json)
                await ws.close(CLOSE_NORMAL)
                log.info("%s finished", self.name)
                return
            if len(message) % 2:
                raise ProtocolError(
                    f"binary message of {len(message)} bytes: 16-bit samples need an even count")
            stream = self._stream or await self._open(rate, hotwords)
            for start in range(0, len(message), FEED_SLICE_BYTES):
                piece = message[start:start + FEED_SLICE_BYTES]
                document = await self._call(self._feed, stream, piece)
                if document is not None:
                    await ws.send(document)
        log.info("%s closed before {\"eof\": true} (close code %s)", self.name, ws.close_code)

    def _free(self, pending: Optional[concurrent.futures.Future[Any]], trim: bool) -> None:
        if pending is not None:
            concurrent.futures.wait([pending])  # a call still running on another worker
        if self._stream is not None:
            self._stream.close()
        if trim:
            _trim_heap()

    async def free(self, last: bool) -> None:
        """Frees the stream on the pool, after any call still running."""
        done = self._server.pool.submit(self._free, self._pending, last)
        await asyncio.shield(asyncio.wrap_future(done))


class Server:
    """The shared recogniser, the worker pool and the connection accounting of one server."""

    def __init__(self, preset: str = "transcribe", model_dir: Optional[str] = None,
                 max_sessions: int = 64, workers: Optional[int] = None) -> None:
        self.preset = preset
        self.model_dir = model_dir
        self.max_sessions = max_sessions
        self.recognizer = Recognizer(preset=preset, model_dir=model_dir)
        self.workers = workers or _cores()
        self.pool = concurrent.futures.ThreadPoolExecutor(
            max_workers=self.workers, thread_name_prefix="orvane-recognition")
        self.sessions = 0
        self._ids = itertools.count(1)
        self._pages = _load_pages()

    async def _refuse(self, ws: _Protocol, message: str, code: int) -> None:
        try:
            await ws.send(_error_text(message))
            await ws.close(code, _close_reason(message))
        except ConnectionClosed:
            pass

    async def handle(self, ws: _Protocol) -> None:
        peer = ws.remote_address or ("?", "?")  # None once the connection is gone
        name = "#%d %s:%s" % (next(self._ids), peer[0], peer[1])
        ws.session_name = name
        if self.sessions >= self.max_sessions:
            log.warning("%s refused: %d sessions open, the most allowed", name, self.sessions)
            await self._refuse(ws, f"server busy: {self.max_sessions} sessions open",
                               CLOSE_TRY_LATER)
            return
        self.sessions += 1
        log.info("%s connected (%d open)", name, self.sessions)
        session = _Session(self, name)
        try:
            await session.run(ws)
        except ProtocolError as e:
            log.warning("%s refused: %s", name, e)
            await self._refuse(ws, str(e), e.code)
        except Error as e:
            log.error("%s recognition failed: %s", name, e)
            await self._refuse(ws, f"recognition failed: {e}", CLOSE_INTERNAL)
        except ConnectionClosedOK as e:
            log.info("%s closed before {\"eof\": true} (close code %s)", name, e.code)
        except ConnectionClosed as e:
            if ws.close_sent is None or ws.close_sent.code != CLOSE_TOO_BIG:
                log.warning("%s vanished mid-stream (close code %s)", name, e.code)
        except Exception:  # a fault of this server: this connection ends, the others go on
            log.exception("%s failed", name)
            await self._refuse(ws, "internal server error", CLOSE_INTERNAL)
        finally:
            self.sessions -= 1
            await session.free(last=self.sessions == 0)
            log.info("%s ended, session freed (%d open)", name, self.sessions)

    async def serve(self, host: str, port: int) -> None:
        """Serves until SIGINT or SIGTERM (or cancellation)."""
        stop = asyncio.Event()
        for signum in (signal.SIGINT, signal.SIGTERM):
            try:
                asyncio.get_running_loop().add_signal_handler(signum, stop.set)
            except (NotImplementedError, RuntimeError):
                pass
        protocol = functools.partial(_Protocol, pages=self._pages)
        # max_queue: at most 8 MiB of unread audio per connection. close_timeout: a client refused
        # in the middle of a large message never reads the closing handshake; its session lingers
        # this long (in s) instead of the default 10.
        # self.handle takes the _Protocol that create_protocol makes, which mypy cannot follow.
        async with serve(self.handle, host, port,  # type: ignore[arg-type]
                         create_protocol=protocol,
                         max_size=MAX_MESSAGE_BYTES, max_queue=8, close_timeout=2,
                         compression=None) as listener:
            bound_host, bound_port = next(iter(listener.sockets)).getsockname()[:2]
            log.info("listening on http://%s:%d/ (%d recognition threads, at most %d sessions)",
                     bound_host, bound_port, self.workers, self.max_sessions)
            await stop.wait()
        log.info("stopped")

    def close(self) -> None:
        self.pool.shutdown(wait=True)
        self.recognizer.close()


def _cores() -> int:
    try:
        return len(os.sched_getaffinity(0))
    except AttributeError:
        return os.cpu_count() or 1


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python -m orvane.server",
        description="WebSocket streaming recognition server with a live-transcription page at /.")
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (127.0.0.1)")
    parser.add_argument("--port", type=int, default=2700, help="TCP port (2700; 0 picks one)")
    parser.add_argument("--preset", default="transcribe", help="pipeline preset (transcribe)")
    parser.add_argument("--model-dir", help="model folder or model cache directory")
    parser.add_argument("--max-sessions", type=int, default=64,
                        help="connections served at once; more are refused (64)")
    args = parser.parse_args(argv)
    if args.max_sessions < 1:
        parser.error("--max-sessions must be at least 1")
    logging.basicConfig(level=logging.INFO, stream=sys.stderr,
                        format="%(asctime)s %(levelname)s %(name)s: %(message)s")
    logging.getLogger("websockets").setLevel(logging.WARNING)
    try:
        log_to_logging()  # the library's lines in the same log, where it can route them
    except Error:
        pass
    try:
        server = Server(args.preset, args.model_dir, args.max_sessions)
    except (Error, ValueError) as e:
        log.error("cannot start: %s", e)
        return 1
    try:
        asyncio.run(server.serve(args.host, args.port))
    except OSError as e:
        log.error("cannot listen on %s:%d: %s", args.host, args.port, e)
        return 1
    finally:
        server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
