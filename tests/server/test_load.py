"""A short load check: several clients streaming at real-time pace at once each get their own text,
and the server gives back what their sessions took once they leave. The full measurement (largest
real-time N, latency) is bench/server_load.py."""

import asyncio
import threading
import time

import pytest
from conftest import SAMPLES, ServerProcess, run, stream_file

CLIENTS = 6


@pytest.fixture(scope="module")
def busy_server():
    process = ServerProcess("--max-sessions", str(CLIENTS))
    yield process
    assert process.stop() == 0, "\n".join(process.lines)


def test_real_time_clients_then_memory_returns(busy_server, one_shot):
    path = SAMPLES[0]
    run(stream_file(busy_server.url, path))  # first-use allocations are not a session's
    busy_server.wait_idle()
    idle = busy_server.rss_kib()

    peak = idle
    done = threading.Event()

    def sample():
        nonlocal peak
        while not done.wait(0.05):
            peak = max(peak, busy_server.rss_kib())

    sampler = threading.Thread(target=sample)
    sampler.start()
    log_start = len(busy_server.lines)

    async def clients():
        return await asyncio.gather(*(stream_file(busy_server.url, path, pace=True)
                                      for _ in range(CLIENTS)))

    try:
        results = run(clients())
    finally:
        done.set()
        sampler.join()
    for partials, final, code in results:
        assert code == 1000 and partials and final["text"] == one_shot[path]
    busy_server.wait_for(r"session freed \(0 open\)", start=log_start)
    after = busy_server.rss_kib()
    # A session that is not freed keeps its share of the peak; freed ones give most of it back.
    assert after - idle < (peak - idle) / 2, f"idle {idle} KiB, peak {peak} KiB, after {after} KiB"
