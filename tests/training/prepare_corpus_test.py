"""Manifests from recorded corpora (training/prepare_corpus.py), in both public layouts.

A wrong transcript or a silently lost utterance teaches the model the wrong thing or shrinks a
team's data without a word; the audio must reach feats.py as 16 kHz mono 16-bit WAV.
"""
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import prepare_corpus  # noqa: E402

CV_HEADER = "client_id\tpath\tsentence\tup_votes\tdown_votes\n"


def tone(path, rate=44100, channels=2, seconds=0.5):
    """A test tone at a rate and channel count the recipe does not use, so conversion shows."""
    subprocess.run(["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", path,
                    "synth", str(seconds), "sine", "440"], check=True, capture_output=True)


def manifest(path):
    with open(path, encoding="utf-8") as f:
        return [l.rstrip("\n").split("\t") for l in f]


class Fixture(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="prepare_corpus_test_")
        self.src, self.out = os.path.join(self.tmp, "src"), os.path.join(self.tmp, "out")
        self.log = io.StringIO()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def write(self, rel, text):
        path = os.path.join(self.src, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path


class CommonVoiceTest(Fixture):
    def make(self):
        os.makedirs(os.path.join(self.src, "clips"))
        for name in ("a.wav", "b.wav", "c.wav", "t.wav"):
            tone(os.path.join(self.src, "clips", name))
        self.write("clips/broken.wav", "not audio")
        self.write("train.tsv", CV_HEADER + "spk1\ta.wav\tHọp lúc 10:30, nhé!\t2\t0\n"
                                            "spk2\tb.wav\tGửi email cho tôi.\t2\t0\n"
                                            "spk2\tgone.wav\tBạn có khỏe không?\t2\t0\n"
                                            "spk3\tbroken.wav\tCảm ơn anh.\t2\t0\n")
        self.write("dev.tsv", CV_HEADER + "spk4\tc.wav\t\"Trời\" sắp mưa rồi\t2\t0\n")
        self.write("test.tsv", CV_HEADER + "spk5\tt.wav\tMai tôi sẽ gọi lại.\t2\t0\n")
        # c.wav (a dev clip) and the test sentence under another clip must not be trained on
        self.write("validated.tsv", CV_HEADER + "spk1\ta.wav\tHọp lúc 10:30, nhé!\t2\t0\n"
                                                "spk4\tc.wav\t\"Trời\" sắp mưa rồi\t2\t0\n"
                                                "spk6\tb.wav\tMai tôi sẽ gọi lại.\t2\t0\n")

    def test_manifests_text_audio_and_what_was_dropped(self):
        self.make()
        self.assertEqual(prepare_corpus.detect_layout(self.src), "cv")
        stats = prepare_corpus.prepare(prepare_corpus.cv_entries(self.src), "cv", self.out, log=self.log)
        train = manifest(os.path.join(self.out, "train.tsv"))
        self.assertEqual(len(train), 1)
        uid, wav_path, voice, speaker, _, _, _, text = train[0]
        self.assertEqual((uid, voice, speaker, text), ("a", "cv", "spk1", "họp lúc mười giờ ba mươi nhé"))
        with wave.open(wav_path) as w:
            self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()), (16000, 1, 2))
            self.assertAlmostEqual(w.getnframes() / 16000.0, 0.5, places=2)
        self.assertEqual({k: stats["train"][k] for k in ("kept", "text", "missing audio", "unreadable audio")},
                         {"kept": 1, "text": 1, "missing audio": 1, "unreadable audio": 1})
        dropped = {d[0]: d[1] for d in manifest(os.path.join(self.out, "train.dropped.tsv"))}
        self.assertEqual(dropped, {"b": "text", "gone": "missing audio", "broken": "unreadable audio"})
        self.assertIn(os.path.join(self.src, "clips", "gone.wav"), self.log.getvalue())
        self.assertEqual(manifest(os.path.join(self.out, "dev.tsv"))[0][7], "trời sắp mưa rồi")
        self.assertEqual(manifest(os.path.join(self.out, "test.tsv"))[0][7], "mai tôi sẽ gọi lại")

    def test_validated_training_split_leaves_out_dev_and_test(self):
        self.make()
        entries = [e for e in prepare_corpus.cv_entries(self.src, "validated") if e[0] == "train"]
        self.assertEqual([e[1] for e in entries], ["a"])

    @unittest.skipUnless(prepare_corpus.sox_reads_mp3(), "sox here has no mp3 support (libsox-fmt-mp3)")
    def test_mp3_clips_are_decoded(self):
        os.makedirs(os.path.join(self.src, "clips"))
        tone(os.path.join(self.src, "clips", "m.mp3"), rate=48000, channels=1, seconds=1.0)
        self.write("train.tsv", CV_HEADER + "spk1\tm.mp3\txin chào\t2\t0\n")
        stats = prepare_corpus.prepare(prepare_corpus.cv_entries(self.src), "cv", self.out, log=self.log)
        self.assertEqual(stats["train"]["kept"], 1)
        self.assertGreater(stats["train"]["seconds"], 0.9)


class VivosTest(Fixture):
    def test_train_and_test_folders(self):
        self.write("train/prompts.txt", "SPK01_R001 KHÁCH SẠN CÓ HAI MƯƠI PHÒNG\n"
                                        "SPK01_R002 TÔI DÙNG EMAIL\n"
                                        "SPK02_R003 XIN CHÀO\n"
                                        "SPK02_R004 BẠN ĐI ĐÂU\n")
        os.makedirs(os.path.join(self.src, "train", "waves", "SPK01"))
        os.makedirs(os.path.join(self.src, "train", "waves", "OTHER"))
        for rel in ("SPK01/SPK01_R001.wav", "SPK01/SPK01_R002.wav", "OTHER/SPK02_R003.wav"):
            tone(os.path.join(self.src, "train", "waves", rel), rate=22050, channels=1)
        self.write("test/prompts.txt", "SPK03_R005 HÔM NAY TRỜI ĐẸP\n")
        os.makedirs(os.path.join(self.src, "test", "waves", "SPK03"))
        tone(os.path.join(self.src, "test", "waves", "SPK03", "SPK03_R005.wav"))
        self.assertEqual(prepare_corpus.detect_layout(self.src), "vivos")
        stats = prepare_corpus.prepare(prepare_corpus.vivos_entries(self.src), "vivos", self.out, log=self.log)
        train = manifest(os.path.join(self.out, "train.tsv"))
        # an utterance's audio is found under whatever speaker folder it lies in
        self.assertEqual([(r[0], r[3], r[7]) for r in train],
                         [("SPK01_R001", "SPK01", "khách sạn có hai mươi phòng"),
                          ("SPK02_R003", "OTHER", "xin chào")])
        self.assertEqual((stats["train"]["text"], stats["train"]["missing audio"]), (1, 1))
        self.assertIn("SPK02_R004", self.log.getvalue())
        self.assertEqual(manifest(os.path.join(self.out, "test.tsv"))[0][7], "hôm nay trời đẹp")

    def test_a_single_folder_is_the_train_split(self):
        self.write("prompts.txt", "A_1 MỘT HAI BA\n")
        os.makedirs(os.path.join(self.src, "waves", "A"))
        tone(os.path.join(self.src, "waves", "A", "A_1.wav"))
        self.assertEqual(prepare_corpus.detect_layout(self.src), "vivos")
        stats = prepare_corpus.prepare(prepare_corpus.vivos_entries(self.src), "vivos", self.out, log=self.log)
        self.assertEqual(list(stats), ["train"])
        self.assertEqual(stats["train"]["kept"], 1)

    def test_an_unknown_folder_is_no_layout(self):
        self.write("notes.txt", "nothing here\n")
        self.assertIsNone(prepare_corpus.detect_layout(self.src))


if __name__ == "__main__":
    unittest.main()
