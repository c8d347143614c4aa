"""Vietnamese through Festival's diphone voices (training/festival_tts.py).

A wrong phone or a phone pair a voice lacks does not fail: Festival puts silence there and the model
learns from mangled audio. These tests pin the syllable parse, the pitch targets and, where Festival
is installed, that every voice says a sentence of every rhyme kind without gaps.
"""
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import festival_tts  # noqa: E402

# Every onset, the medial w, the three diphthongs, the glide and stop codas, every tone.
SENTENCE = ("quốc gia khuya người thuyền hoa giếng nghỉ ngơi chuyện trường xoay nhanh khỏe "
            "phở gì đẹp rượu mình biết tại sao")


class SyllableTest(unittest.TestCase):
    def test_onsets_medials_and_diphthongs(self):
        cases = {
            "quốc": (["k", "w"], ["o", "k"], 2),
            "gì": (["z"], ["i"], 1),
            "giếng": (["z"], ["i", "@", "N"], 2),
            "hoa": (["h"], ["w", "a"], 0),
            "khuya": (["x"], ["w", "i", "@"], 0),
            "người": (["N"], ["M", "@", "j"], 1),
            "thuyền": (["th"], ["w", "i", "@", "n"], 1),
            "nhanh": (["J"], ["a", "N"], 0),
            "ăn": ([], ["A", "n"], 0),
            "ngẫm": (["N"], ["@", "m"], 4),
            "thuở": (["th"], ["u", "@"], 3),
            "đẹp": (["d"], ["E", "p"], 5),
        }
        for syl, want in cases.items():
            self.assertEqual(festival_tts.syllable_phones(syl), want, syl)

    def test_foreign_words_are_refused(self):
        for word in ("taxi", "wifi", "bbc", ""):
            self.assertIsNone(festival_tts.syllable_phones(word), word)


class SegmentsTest(unittest.TestCase):
    def phone_sets(self):
        return {name: set(" ".join(t.values()).split()) for name, t in festival_tts.PHONES.items()}

    def test_phones_belong_to_the_voice_and_targets_fall_inside_them(self):
        sets = self.phone_sets()
        for voice, (_, phoneset, _) in festival_tts.VOICES.items():
            allowed = sets[phoneset] | set(festival_tts.CODA_GLIDE[phoneset].values()) | \
                {festival_tts.MEDIAL_W[phoneset]} | {q for v in festival_tts.REPAIR.get(phoneset, {}).values() for q in v}
            items = festival_tts.segments(SENTENCE, voice, random.Random(1))
            self.assertEqual(items[0][0], festival_tts.PHONES[phoneset]["pau"])
            for phone, dur, targets in items:
                self.assertIn(phone, allowed, (voice, phone))
                self.assertGreater(dur, 0.0)
                for at, hz in targets:
                    self.assertTrue(0.0 <= at <= dur + 1e-9, (voice, phone, at, dur))
                    self.assertTrue(40.0 < hz < 400.0, (voice, phone, hz))

    def test_tones_shape_the_pitch(self):
        def last_f0(word):
            items = festival_tts.segments(word, "kal", random.Random(0))
            return [hz for _, _, tg in items for _, hz in tg][-1]
        # sắc and ngã end high, huyền and nặng low, level in between
        self.assertGreater(last_f0("má"), last_f0("ma"))
        self.assertGreater(last_f0("mã"), last_f0("ma"))
        self.assertLess(last_f0("mà"), last_f0("ma"))
        self.assertLess(last_f0("mạ"), last_f0("mà"))


@unittest.skipUnless(shutil.which("festival") and shutil.which("sox"), "festival and sox are not installed")
class FestivalTest(unittest.TestCase):
    def test_every_voice_says_the_sentence_without_gaps(self):
        for voice in festival_tts.VOICES:
            items = festival_tts.segments(SENTENCE, voice, random.Random(2))
            with tempfile.TemporaryDirectory() as tmp:
                scm = os.path.join(tmp, "u.scm")
                with open(scm, "w", encoding="utf-8") as f:
                    f.write(festival_tts.scheme(items, voice, os.path.join(tmp, "u.wav")))
                run = subprocess.run(["festival", "-b", scm], capture_output=True, text=True, check=True)
            # a pair the voice has no diphone for is said as silence: harmless between two consonants
            # (a pause between syllables), a hole in the syllable next to a vowel
            vowels = {v for t in festival_tts.PHONES.values() for k, v in t.items() if k in "aA@EeiOo7uM"}
            gaps = [g for g in re.findall(r"default diphone .* for (\S+)", run.stdout + run.stderr)
                    if set(g.split("-")) & vowels]
            self.assertEqual(gaps, [], voice)
            x = festival_tts.synth("cà phê sữa đá", voice, seed=3)
            self.assertGreater(len(x), 16000 * 0.8, voice)
            self.assertGreater(float(np.sqrt(np.mean(x ** 2))), 0.01, voice)


if __name__ == "__main__":
    unittest.main()
