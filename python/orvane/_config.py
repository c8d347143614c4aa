"""The recogniser's configuration text (the "orvane" module's JSON) and the module lists of the
built-in presets, for pipelines that the package assembles itself."""
from __future__ import annotations

import json
import os
import tempfile
import uuid
from typing import Any, Iterable, List, Mapping, Optional, Sequence, Union

from ._errors import Error
from ._library import Library

# The library's built-in presets (modules in pipeline order). A pipeline that needs a configuration
# text for the recogniser is assembled from these with orvane_pipeline_add_module, because a
# preset adds every module with "{}".
PRESET_MODULES = {
    "transcribe": ("vad", "orvane"),
    "transcribe-rich": ("vad", "orvane", "punctuation", "itn"),
    "meeting": ("vad", "diarization", "orvane", "punctuation"),
    "analytics": ("vad", "orvane", "gender", "emotion", "dialect", "noise"),
}

RECOGNIZER_MODULE = "orvane"

PathLike = Union[str, "os.PathLike[str]"]


# The recogniser's bonus per matched unit of a hotword when its configuration text names none.
DEFAULT_HOTWORDS_SCORE = 2.0


def hotword_list(hotwords: Union[str, Iterable[str]]) -> List[str]:
    """Phrases as a list of strings; a single string is one phrase per line. Blank phrases are
    dropped."""
    if isinstance(hotwords, str):
        phrases = hotwords.splitlines()
    else:
        phrases = list(hotwords)
    for phrase in phrases:
        if not isinstance(phrase, str):
            raise TypeError("hotwords must be strings, got %s" % type(phrase).__name__)
        if "\n" in phrase or "\r" in phrase:
            raise ValueError("a hotword phrase cannot contain a line break: %r" % phrase)
    return [p.strip() for p in phrases if p.strip()]


def recognizer_config(model_dir: Optional[PathLike], hotwords: Optional[Union[str, Iterable[str]]],
                      config: Optional[Mapping[str, Any]]) -> Optional[str]:
    """The "orvane" module's configuration text, or None when nothing differs from the default."""
    doc = dict(config or {})
    if model_dir is not None:
        doc["model_dir"] = os.path.abspath(os.fspath(model_dir))
    if hotwords is not None:
        doc["hotwords"] = hotword_list(hotwords)
    return json.dumps(doc, ensure_ascii=False) if doc else None


def module_list(preset: str, modules: Optional[Union[str, Sequence[str]]]) -> List[str]:
    """The modules of a pipeline assembled by hand: `modules` ("a,b" or a list), else the preset's."""
    if modules is not None:
        names = modules.split(",") if isinstance(modules, str) else list(modules)
        names = [n.strip() if isinstance(n, str) else n for n in names]
        if not names or not all(isinstance(n, str) and n for n in names):
            raise ValueError("modules must be a non-empty list of module names, got %r" % (modules,))
        return names
    if preset not in PRESET_MODULES:
        raise ValueError("preset %r cannot take a recogniser configuration (known presets: %s); "
                         "list the modules instead" % (preset, ", ".join(sorted(PRESET_MODULES))))
    return list(PRESET_MODULES[preset])


def _probe_model_dir(lib: Library) -> bool:
    """Whether the library reads "model_dir": a library that does fails the build for a missing
    folder; an older one ignores the key and builds."""
    missing = os.path.join(tempfile.gettempdir(), "orvane-missing-" + uuid.uuid4().hex)
    config = json.dumps({"model_dir": missing}).encode()
    c = lib.lib
    pipeline = c.orvane_pipeline_new()
    # The probe's expected failure would otherwise print an error line.
    c.orvane_set_log_level(5)
    try:
        if c.orvane_pipeline_add_module(pipeline, RECOGNIZER_MODULE.encode(), config) != 0:
            return False
        return bool(c.orvane_pipeline_build(pipeline) != 0)
    finally:
        c.orvane_set_log_level(lib.log_level)
        c.orvane_pipeline_free(pipeline)


def check_supported(lib: Library, model_dir: bool, hotwords: bool) -> None:
    """Raises Error when the library would silently ignore a requested setting."""
    if model_dir:
        with lib.probe_lock:
            if "model_dir" not in lib.supported_keys:
                lib.supported_keys["model_dir"] = _probe_model_dir(lib)
        if not lib.supported_keys["model_dir"]:
            raise Error("this liborvane (%s) ignores \"model_dir\": it only runs its embedded model"
                        % lib.path)
    if hotwords and lib.optional.get("orvane_session_set_hotwords") is None:
        raise Error("this liborvane (%s) does not support hotwords" % lib.path)
