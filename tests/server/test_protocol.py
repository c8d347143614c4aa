"""The server's WebSocket protocol, driven by Python clients: whole streams, bad input, vanishing
clients and the session limit."""

import asyncio
import json
import urllib.request

import pytest
from conftest import MAX_SESSIONS, SAMPLES, pcm_of, run, stream_file, websockets


@pytest.fixture(autouse=True)
def idle_server(server):
    """Each test starts with no session open, so that the session limit counts its own only."""
    server.wait_idle()


def transcript(document):
    return (document.get("partial", ""), document.get("text", ""))


@pytest.mark.parametrize("path", SAMPLES, ids=lambda p: p.stem)
def test_stream_final_equals_one_shot(server, one_shot, path):
    partials, final, code = run(stream_file(server.url, path))
    assert code == 1000
    assert final["text"] == one_shot[path] != ""
    assert final["segments"] and all(s["start"] < s["end"] for s in final["segments"])
    assert partials, "no partial before the final document"
    shown = [transcript(doc) for _, doc in partials]
    assert all(not doc["is_final"] for _, doc in partials)
    assert all(a != b for a, b in zip(shown, shown[1:])), "a partial repeated an unchanged transcript"


def test_concurrent_clients_each_get_their_own_text(server, one_shot):
    async def both():
        return await asyncio.gather(*(stream_file(server.url, p, pace=True) for p in SAMPLES))

    for path, (_, final, code) in zip(SAMPLES, run(both())):
        assert code == 1000 and final["text"] == one_shot[path]


async def refused(url, messages):
    """Sends `messages`, returns (every message received, close code) once the server closes."""
    received = []
    async with websockets.connect(url, max_size=None) as ws:
        for message in messages:
            try:
                await ws.send(message)
            except websockets.ConnectionClosed:
                break
        try:
            async for reply in ws:
                received.append(json.loads(reply))
        except websockets.ConnectionClosed:
            pass
        return received, ws.close_code


AUDIO = b"\x00\x01" * 800
BAD_INPUTS = {
    "not_json": (["{sample_rate: 8000}"], 1007, "not valid JSON"),
    "nested_too_deeply": (["[" * 100000], 1007, "nested too deeply"),
    "not_an_object": (["[16000]"], 1008, "JSON object"),
    "unknown_field": (['{"sample_rate": 16000, "language": "vi"}'], 1008, "unknown field"),
    "rate_is_text": (['{"sample_rate": "16000"}'], 1008, "must be a number"),
    "rate_is_bool": (['{"sample_rate": true}'], 1008, "must be a number"),
    "rate_too_low": (['{"sample_rate": 7999}'], 1008, "outside 8000..192000"),
    "rate_too_high": (['{"sample_rate": 192001}'], 1008, "outside 8000..192000"),
    "hotwords_not_list": (['{"hotwords": "mưa"}'], 1008, "list of strings"),
    "eof_not_bool": (['{"eof": 1}'], 1008, "true or false"),
    "odd_length": ([AUDIO, b"\x00" * 3], 1008, "even"),
    "rate_after_audio": ([AUDIO, '{"sample_rate": 8000}'], 1008, "before the audio"),
    "over_limit": ([AUDIO, b"\x00" * ((1 << 20) + 2)], 1009, "over 1048576 bytes"),
}


def test_bad_input_is_refused_and_others_go_on(server, one_shot):
    """Every bad input gets one error message and its close code, and a log line, while another
    client's stream, open throughout, still ends with its own text."""
    pcm, rate = pcm_of(SAMPLES[0])
    half = len(pcm) // 2 & ~1

    async def scenario():
        async with websockets.connect(server.url) as good:
            await good.send(json.dumps({"sample_rate": rate}))
            await good.send(pcm[:half])
            results = {}
            for name, (messages, _, _) in BAD_INPUTS.items():
                log_start = len(server.lines)
                results[name] = await refused(server.url, messages)
                server.wait_for("refused: ", start=log_start)
                server.wait_for("session freed", start=log_start)
            await good.send(pcm[half:])
            await good.send(json.dumps({"eof": True}))
            replies = [json.loads(m) async for m in good]
            return results, replies, good.close_code

    results, replies, code = run(scenario())
    for name, (received, close_code) in results.items():
        _, want_code, want_text = BAD_INPUTS[name]
        assert close_code == want_code, name
        assert len(received) == 1 and want_text in received[0]["error"], (name, received)
    assert code == 1000 and replies[-1]["is_final"] and replies[-1]["text"] == one_shot[SAMPLES[0]]
    assert not any("error" in r for r in replies)


def test_message_of_exactly_the_limit_is_accepted(server):
    async def scenario():
        async with websockets.connect(server.url, max_size=None) as ws:
            await ws.send(b"\x00" * (1 << 20))
            await ws.send(json.dumps({"eof": True}))
            return [json.loads(m) async for m in ws], ws.close_code

    replies, code = run(scenario())
    assert code == 1000 and replies[-1]["is_final"] and "error" not in replies[-1]


def test_vanished_client_frees_its_session(server, one_shot):
    log_start = len(server.lines)

    async def vanish():
        ws = await websockets.connect(server.url)
        await ws.send(pcm_of(SAMPLES[0])[0][:32000])
        await asyncio.sleep(0.2)
        ws.transport.abort()  # no close frame: the client is simply gone

    run(vanish())
    server.wait_for(r"vanished mid-stream", start=log_start)
    server.wait_for(r"session freed \(0 open\)", start=log_start)
    _, final, code = run(stream_file(server.url, SAMPLES[0]))
    assert code == 1000 and final["text"] == one_shot[SAMPLES[0]]


def test_clients_beyond_max_sessions_are_refused_until_one_leaves(server, one_shot):
    async def scenario():
        held = [await websockets.connect(server.url) for _ in range(MAX_SESSIONS)]
        for ws in held:  # each holds a live session
            await ws.send(b"\x00\x00" * 1600)
        extra = await refused(server.url, [])
        log_start = len(server.lines)
        await held[0].close()
        await asyncio.to_thread(server.wait_for, r"session freed", log_start)
        after = await stream_file(server.url, SAMPLES[0])
        for ws in held[1:]:
            await ws.close()
        return extra, after

    (received, code), (_, final, final_code) = run(scenario())
    assert code == 1013 and len(received) == 1 and "server busy" in received[0]["error"]
    assert final_code == 1000 and final["text"] == one_shot[SAMPLES[0]]


def test_hotwords_are_used_or_refused_with_a_reason(server, one_shot):
    """A library without per-stream hotwords refuses them with an error; one with them answers."""
    pcm, rate = pcm_of(SAMPLES[0])
    received, code = run(refused(server.url, [
        json.dumps({"sample_rate": rate, "hotwords": ["họp"]}), pcm, json.dumps({"eof": True})]))
    if code == 1008:
        assert len(received) == 1 and received[0]["error"].startswith("hotwords refused: ")
    else:
        assert code == 1000 and received[-1]["is_final"] and received[-1]["text"]


def test_page_is_served_over_plain_http(server):
    with urllib.request.urlopen(server.http_url) as response:
        assert response.headers["Content-Type"].startswith("text/html")
        page = response.read().decode()
    for script in ("app.js", "capture-worklet.js"):
        with urllib.request.urlopen(server.http_url + script) as response:
            assert response.status == 200 and b"\n" in response.read()
    assert 'src="app.js"' in page
    with pytest.raises(urllib.error.HTTPError) as missing:
        urllib.request.urlopen(server.http_url + "secret.txt")
    assert missing.value.code == 404
