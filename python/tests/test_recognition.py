"""Recognition through the package agrees with the C tool, whatever form the audio takes."""
import array

import numpy
import pytest

import orvane
from conftest import SAMPLES, read_wav, recognised


@pytest.mark.parametrize("path", SAMPLES, ids=lambda p: p.name)
def test_one_shot_file_equals_the_tool(recognizer, tool_documents, path):
    result = recognizer.transcribe(path)
    assert result.data == tool_documents[path]
    assert result.is_final and result.text
    assert result.json.startswith('{"text":')


@pytest.mark.parametrize("path", SAMPLES, ids=lambda p: p.name)
def test_streaming_equals_the_tool(recognizer, tool_documents, path):
    samples, rate = read_wav(path)
    blocks = (samples[i:i + rate // 10].tobytes() for i in range(0, len(samples), rate // 10))
    results = list(recognizer.transcribe_stream(blocks, rate))
    assert recognised(results[-1]) == recognised(tool_documents[path])
    assert results[-1].is_final
    assert not any(r.is_final for r in results[:-1])
    # Yielded only on change, and the transcript grows to the final one.
    texts = [r.text for r in results[:-1]]
    assert len(texts) == len(set(texts)) and len(texts) >= 2


def test_int16_float32_bytes_and_buffers_agree(recognizer):
    samples, rate = read_wav(SAMPLES[1])
    wav_bytes = SAMPLES[1].read_bytes()
    expected = recognised(recognizer.transcribe(samples, rate))
    assert expected[0]
    assert recognised(recognizer.transcribe(samples.astype(numpy.float32) / 32768, rate)) == expected
    assert recognised(recognizer.transcribe(wav_bytes)) == expected
    assert recognised(recognizer.transcribe(array.array("h", samples.tobytes()), rate)) == expected
    # A strided view and a read-only array are taken as well.
    doubled = numpy.repeat(samples, 2)
    assert recognised(recognizer.transcribe(doubled[::2], rate)) == expected
    frozen = samples.copy()
    frozen.setflags(write=False)
    assert recognised(recognizer.transcribe(frozen, rate)) == expected


def test_stream_input_forms_agree(recognizer):
    samples, rate = read_wav(SAMPLES[0])
    raw = samples.tobytes()

    def run(blocks):
        with recognizer.stream(rate) as stream:
            for block in blocks:
                stream.accept(block)
            return recognised(stream.final())

    expected = run([samples])
    assert run(samples[i:i + 1000] for i in range(0, len(samples), 1000)) == expected
    floats = samples.astype(numpy.float32) / 32768
    assert run(floats[i:i + 1000] for i in range(0, len(floats), 1000)) == expected
    # Blocks of an odd number of bytes: the split sample is joined with the next block.
    assert run(raw[i:i + 999] for i in range(0, len(raw), 999)) == expected
    assert run(bytearray(raw[i:i + 777]) for i in range(0, len(raw), 777)) == expected


@pytest.mark.parametrize("rate", [8000, 44100, 48000])
def test_other_rates_are_resampled(recognizer, rate):
    samples, source_rate = read_wav(SAMPLES[0])
    expected = recognizer.transcribe(samples, source_rate).text
    # Band-limited resampling in the frequency domain, so the test does not depend on the
    # library's own resampler.
    spectrum = numpy.fft.rfft(samples.astype(numpy.float64))
    n = int(round(len(samples) * rate / source_rate))
    resized = numpy.zeros(n // 2 + 1, complex)
    keep = min(len(spectrum), len(resized))
    resized[:keep] = spectrum[:keep]
    audio = (numpy.fft.irfft(resized, n) * n / len(samples) / 32768).astype(numpy.float32)
    assert recognizer.transcribe(audio, rate).text == expected
    with recognizer.stream(rate) as stream:
        for i in range(0, n, rate // 10):
            stream.accept(audio[i:i + rate // 10])
        assert stream.final().text == expected


def test_partial_final_and_reset(recognizer):
    samples, rate = read_wav(SAMPLES[1])
    with recognizer.stream(rate) as stream:
        assert stream.partial.json == '{"is_final":false}'
        stream.accept(samples)
        assert not stream.partial.is_final
        final = stream.final()
        assert final.is_final and final.text and stream.final() == final
        stream.reset()
        assert stream.partial.json == '{"is_final":false}'
        stream.accept(samples)
        assert recognised(stream.final()) == recognised(final)


def test_result_fields_and_words():
    result = orvane.Result(
        '{"text":"a\\nb","partial":"b","is_final":true,"segments":[{"start":0.5,"end":1.25,'
        '"text":"a","confidence":0.9,"words":[{"text":"a","start":0.5,"end":0.75,'
        '"confidence":0.8}]},{"start":2,"end":null,"text":"b","speaker":"S1"}],"noise":{"db":0}}')
    assert (result.text, result.partial, result.is_final) == ("a\nb", "b", True)
    first, second = result.segments
    assert (first.start, first.end, first.text, first.confidence) == (0.5, 1.25, "a", 0.9)
    assert first.words == [orvane.Word("a", 0.5, 0.75, 0.8)]
    assert second.confidence == 0.0 and second.speaker == "S1" and second.words == []
    assert result.words == first.words
    assert second.end != second.end  # null (a non-finite number) reads as NaN
    assert result.fields == {"noise": {"db": 0}}
    empty = orvane.Result('{"is_final":false}')
    assert (empty.text, empty.partial, empty.segments) == ("", "", [])


def test_presets_and_modules(recognizer):
    assert "transcribe" in orvane.list_presets() and "orvane" in orvane.list_modules()
    assert orvane.version() == "0.1.0"
    samples, rate = read_wav(SAMPLES[1])
    expected = recognised(recognizer.transcribe(samples, rate))
    with orvane.Recognizer(modules=["vad", "orvane"]) as by_hand:
        assert recognised(by_hand.transcribe(samples, rate)) == expected
    with orvane.Recognizer(preset="analytics") as analytics:
        result = analytics.transcribe(samples, rate)
        assert result.text == expected[0] and "noise" in result.fields


def test_leading_members_read_without_the_full_parse(recognizer):
    """text, partial and is_final are read from the start of the document; they must agree with
    the parsed document on real results and on shapes the reader does not expect."""
    import json
    samples, rate = read_wav(SAMPLES[0])
    with recognizer.stream(rate) as stream:
        documents = []
        for i in range(0, len(samples), 1600):
            stream.accept(samples[i:i + 1600])
            documents.append(stream.partial.json)
        documents.append(stream.final().json)
    documents += ['{"text":"a\\"b\\u00e0\\n","is_final":true}', '{"partial":"p","is_final":false}',
                  '{"is_final":true,"error":"e"}', '{"text":"unterminated']
    for document in documents:
        try:
            parsed = json.loads(document)
        except ValueError:
            with pytest.raises(ValueError):
                orvane.Result(document).text
            continue
        result = orvane.Result(document)
        assert (result.text, result.partial, result.is_final) == (
            parsed.get("text", ""), parsed.get("partial", ""), parsed["is_final"])
