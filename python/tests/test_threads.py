"""Streams on different threads at once give the results they give alone."""
import threading

from conftest import SAMPLES, read_wav, recognised


def test_two_threads_stream_at_once(recognizer):
    inputs = [read_wav(p) for p in SAMPLES[:2]]
    alone = [recognised(recognizer.transcribe(samples, rate)) for samples, rate in inputs]
    results = [None, None]
    barrier = threading.Barrier(2)

    def run(k):
        samples, rate = inputs[k]
        with recognizer.stream(rate) as stream:
            barrier.wait()
            for _ in range(3):  # several passes, so that the two streams overlap for long
                for i in range(0, len(samples), 1600):
                    stream.accept(samples[i:i + 1600])
                    stream.partial
                results[k] = recognised(stream.final())
                stream.reset()

    threads = [threading.Thread(target=run, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == alone


def test_one_shot_calls_on_several_threads(recognizer):
    expected = {p: recognised(recognizer.transcribe(p)) for p in SAMPLES}
    got, lock = {}, threading.Lock()

    def run(path):
        result = recognised(recognizer.transcribe(path))
        with lock:
            got[path] = result

    threads = [threading.Thread(target=run, args=(p,)) for p in SAMPLES]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == expected
