"""Model folders and hotwords reach the recogniser's configuration text, or are refused with a
message; they are never silently ignored."""
import os

import pytest

import orvane
from orvane._config import check_supported, recognizer_config
from orvane._library import library
from conftest import ROOT, SAMPLES, read_wav


def supports(setting):
    try:
        check_supported(library(), setting == "model_dir", setting == "hotwords")
        return True
    except orvane.Error as e:
        assert "does not support" in str(e) or "ignores" in str(e)
        return False


def test_configuration_text():
    assert recognizer_config(None, None, None) is None
    text = recognizer_config("rel/dir", ["Nguyễn Văn An", "Hà Nội"], {"lm_weight": 0.5})
    assert text == ('{"lm_weight": 0.5, "model_dir": "%s", "hotwords": ["Nguyễn Văn An", "Hà Nội"]}'
                    % os.path.abspath("rel/dir"))
    with pytest.raises(ValueError, match="line break"):
        recognizer_config(None, ["a\nb"], None)


def test_model_folder(recognizer, tmp_path):
    folder = tmp_path / "model"
    folder.mkdir()
    (folder / "model.onnx").symlink_to(ROOT / "assets" / "asr_model.onnx")
    (folder / "units.txt").symlink_to(ROOT / "assets" / "asr_vocab.txt")
    if not supports("model_dir"):
        with pytest.raises(orvane.Error, match='ignores "model_dir"'):
            orvane.Recognizer(model_dir=folder)
        return
    # The embedded model copied into a folder gives the embedded model's results.
    samples, rate = read_wav(SAMPLES[0])
    with orvane.Recognizer(model_dir=folder) as from_folder:
        assert from_folder.transcribe(samples, rate).data == recognizer.transcribe(samples, rate).data
    with pytest.raises(orvane.Error, match="model.onnx") as e:
        (folder / "model.onnx").unlink()
        orvane.Recognizer(preset="meeting", model_dir=folder)
    assert e.value.code is not None and e.value.code < 0


def test_hotwords(recognizer):
    samples, rate = read_wav(SAMPLES[1])
    if not supports("hotwords"):
        with pytest.raises(orvane.Error, match="does not support hotwords"):
            orvane.Recognizer(hotwords=["Hà Nội"])
        with pytest.raises(orvane.Error, match="does not support hotwords"):
            recognizer.stream(rate, hotwords="Hà Nội")
        return
    with orvane.Recognizer(hotwords="Hà Nội\nNguyễn Văn An\n") as biased:
        assert biased.transcribe(samples, rate).text
    with pytest.raises(orvane.Error, match="cannot be written with the units"):
        orvane.Recognizer(hotwords=["qqq@@@"])
    with recognizer.stream(rate, hotwords=["Hà Nội"]) as stream:
        stream.accept(samples)
        with pytest.raises(orvane.Error, match="hotwords_score"):
            stream.set_hotwords(["Hà Nội"], score=11)
        stream.set_hotwords([])
        assert stream.final().text


def test_log_lines_reach_python():
    if library().optional.get("orvane_set_log_callback") is None:
        with pytest.raises(orvane.Error, match="cannot route its log lines"):
            orvane.set_log_callback(print)
        return
    lines = []
    orvane.set_log_callback(lambda *line: lines.append(line))
    try:
        with pytest.raises(orvane.Error):
            orvane.Recognizer(modules="bogus")
    finally:
        orvane.set_log_callback(None)
    assert (4, "api", "unknown module: bogus") in lines
    lines.clear()
    with pytest.raises(orvane.Error):
        orvane.Recognizer(modules="bogus")
    assert lines == []
