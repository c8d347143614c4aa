"""Typed views of the library's result document (one line of JSON)."""
from __future__ import annotations

import json as _json
from dataclasses import dataclass, field
from json.decoder import scanstring as _scanstring  # type: ignore[attr-defined]  # the C scanner
from typing import Any, Dict, List, Optional, Tuple

# Members that Result exposes as attributes; every other member is in Result.fields.
_KNOWN = ("text", "partial", "is_final", "segments")


@dataclass(frozen=True)
class Word:
    """One recognised word (a syllable) with its times in seconds from the start of the stream."""

    text: str
    start: float
    end: float
    confidence: float = 0.0


@dataclass(frozen=True)
class Segment:
    """One committed stretch of speech. Times in seconds from the start of the stream; confidence
    0.0 when the library gave none; words empty when the library does not time words."""

    start: float
    end: float
    text: str
    confidence: float = 0.0
    speaker: Optional[str] = None
    words: List[Word] = field(default_factory=list)


def _number(value: Any) -> float:
    # The library writes non-finite numbers as null.
    return float("nan") if value is None else float(value)


def _word(item: Dict[str, Any]) -> Word:
    return Word(text=item.get("text", item.get("word", "")), start=_number(item.get("start")),
                end=_number(item.get("end")), confidence=float(item.get("confidence", 0.0)))


def _segment(item: Dict[str, Any]) -> Segment:
    return Segment(start=_number(item.get("start")), end=_number(item.get("end")),
                   text=item.get("text", ""), confidence=float(item.get("confidence", 0.0)),
                   speaker=item.get("speaker"),
                   words=[_word(w) for w in item.get("words", ())])


class Result:
    """A result document of the library. The JSON text is parsed on first access to a field, so
    results that are never looked at cost nothing.

    Attributes: `text` (the transcript so far, committed segments one per line), `partial` (the
    current hypothesis text), `is_final`, `segments` (list of Segment), `words` (the segments'
    words in order), `fields` (every other member of the document, parsed: analysis modules'
    fields, "speakers"), `json` (the raw text), `data` (the whole document parsed).
    """

    __slots__ = ("json", "_doc", "_segments", "_head")

    def __init__(self, json_text: str) -> None:
        self.json = json_text
        self._doc: Optional[Dict[str, Any]] = None
        self._segments: Optional[List[Segment]] = None
        self._head: Optional[Tuple[str, str, bool]] = None

    def _read_head(self) -> Tuple[str, str, bool]:
        """(text, partial, is_final) without parsing the whole document: the library writes these
        members first, in this order, and the rest (every segment with its words) can be long.
        Any other shape is read by the full parse."""
        if self._head is None:
            doc, pos = self.json, 1
            try:
                text = partial = ""
                if doc.startswith('{"text":"'):
                    text, pos = _scanstring(doc, 9)
                    pos += 1
                if doc.startswith('"partial":"', pos):
                    partial, pos = _scanstring(doc, pos + 11)
                    pos += 1
                if doc.startswith('"is_final":true', pos):
                    self._head = (text, partial, True)
                elif doc.startswith('"is_final":false', pos):
                    self._head = (text, partial, False)
            except ValueError:
                pass
            if self._head is None:
                data = self.data
                self._head = (data.get("text", ""), data.get("partial", ""),
                              bool(data.get("is_final", False)))
        return self._head

    @property
    def data(self) -> Dict[str, Any]:
        """The whole document as parsed JSON (do not modify it)."""
        if self._doc is None:
            self._doc = _json.loads(self.json)
        return self._doc

    @property
    def text(self) -> str:
        return self._read_head()[0]

    @property
    def partial(self) -> str:
        return self._read_head()[1]

    @property
    def is_final(self) -> bool:
        return self._read_head()[2]

    @property
    def segments(self) -> List[Segment]:
        if self._segments is None:
            self._segments = [_segment(s) for s in self.data.get("segments", ())]
        return self._segments

    @property
    def words(self) -> List[Word]:
        """The words of all segments, in order (empty when the library does not time words)."""
        return [w for s in self.segments for w in s.words]

    @property
    def fields(self) -> Dict[str, Any]:
        return {k: v for k, v in self.data.items() if k not in _KNOWN}

    def __eq__(self, other: object) -> bool:
        return isinstance(other, Result) and other.json == self.json

    def __hash__(self) -> int:
        return hash(self.json)

    def __repr__(self) -> str:
        return "Result(text=%r, is_final=%r)" % (self.text, self.is_final)

    def __str__(self) -> str:
        return self.text
