"""The live-transcription page in headless Chromium: its microphone is a fake device playing a
committed sample, and a WAV file is given to its file input; the page must show the sample's words
and the final segments with their times."""

import os
import re
import shutil
import tempfile
import time
import wave

import pytest
from conftest import SAMPLES, SOURCE_DIR

CHROMIUM = shutil.which("chromium") or "/usr/bin/chromium"
CHROMEDRIVER = shutil.which("chromedriver") or "/usr/bin/chromedriver"
WAIT_SECONDS = 60

if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
    pytest.skip("no browser: Debian's chromium and chromium-driver are not installed "
                "(scripts/bootstrap installs them)", allow_module_level=True)
webdriver = pytest.importorskip("selenium.webdriver",
                                reason="no browser driver: python3-selenium is not installed")
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

SAMPLE = SOURCE_DIR / "samples" / "troi_sap_mua.wav"
SEGMENT_TIME = re.compile(r"^\d+\.\d\d–\d+\.\d\d s")


def duration(wav):
    with wave.open(str(wav)) as reader:
        return reader.getnframes() / reader.getframerate()


def expected_words(wav):
    return wav.with_suffix(".txt").read_text(encoding="utf-8").split()


@pytest.fixture
def browser():
    profile = tempfile.mkdtemp(prefix="orvane-page-test-")
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--disable-dev-shm-usage",
                 f"--user-data-dir={profile}",
                 "--autoplay-policy=no-user-gesture-required",
                 "--use-fake-ui-for-media-stream", "--use-fake-device-for-media-stream",
                 # the sample once, then silence (the fake device otherwise loops it)
                 f"--use-file-for-fake-audio-capture={SAMPLE}%noloop"):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service(executable_path=CHROMEDRIVER), options=options)
    try:
        yield driver
    finally:
        logs = []
        try:
            logs = driver.get_log("browser")
        except Exception:  # not every driver keeps the console log
            pass
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
        for entry in logs:
            print("browser console:", entry)


def shown(driver, element_id):
    return driver.find_element(By.ID, element_id).text


def final_segments(driver):
    items = driver.find_elements(By.CSS_SELECTOR, "#segments li")
    return [item.text for item in items]


def test_microphone_stream_shows_the_samples_words(server, browser):
    browser.get(server.http_url)
    words = expected_words(SAMPLE)
    browser.find_element(By.ID, "start").click()
    started = time.monotonic()
    wait = WebDriverWait(browser, WAIT_SECONDS, poll_frequency=0.1)
    # Live partial text first: the recognised words appear while the microphone is still on.
    wait.until(lambda d: sum(w in shown(d, "partial").split() for w in words) >= len(words) // 2,
               message="no partial text with the sample's words")
    assert browser.find_element(By.ID, "start").text == "Stop"
    # The fake device plays the sample once, in real time from Start; stop a second after its end.
    time.sleep(max(0.0, started + duration(SAMPLE) + 1.0 - time.monotonic()))
    browser.find_element(By.ID, "start").click()
    wait.until(lambda d: final_segments(d), message="no final segments after Stop")
    segments = final_segments(browser)
    assert all(SEGMENT_TIME.match(s) for s in segments), segments
    final_words = " ".join(segments).split()
    found = sum(w in final_words for w in words)
    assert found >= 0.8 * len(words), (segments, words)
    assert browser.find_element(By.ID, "start").text == "Start"


def test_wav_file_shows_the_one_shot_text(server, browser, one_shot):
    browser.get(server.http_url)
    path = SAMPLES[0]
    browser.find_element(By.ID, "file").send_keys(str(path))
    wait = WebDriverWait(browser, WAIT_SECONDS, poll_frequency=0.1)
    wait.until(lambda d: final_segments(d), message="no final segments for the file")
    segments = final_segments(browser)
    assert all(SEGMENT_TIME.match(s) for s in segments), segments
    texts = [SEGMENT_TIME.sub("", s).strip() for s in segments]
    assert " ".join(texts) == " ".join(one_shot[path].split())
    assert "Done" in shown(browser, "status")
