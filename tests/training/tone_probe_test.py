"""The tone probe's syllables and scoring (training/tone_probe.py).

The probe compares tone accuracy with chance (one in six): that holds only if every base really is
said with six different tones, and if a syllable is scored for its tone only when its letters came
out right, in the place it was said.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import tone_probe  # noqa: E402
import vntext  # noqa: E402


class SyllablesTest(unittest.TestCase):
    def test_every_base_takes_six_tones_the_recogniser_can_write(self):
        for base in tone_probe.BASES:
            forms = [tone_probe.with_tone(base, t) for t in range(6)]
            self.assertEqual(len(set(forms)), 6, base)
            for t, syl in enumerate(forms):
                self.assertEqual(vntext.strip_tone(syl), (base, t), syl)
                self.assertIsNotNone(vntext.syllable_units(syl), syl)


class ScoreTest(unittest.TestCase):
    def test_tone_counts_only_where_the_letters_are_right(self):
        items = [("vi", "alone", ["bá"], ""), ("vi", "alone", ["mả"], ""), ("vi", "alone", ["lạ"], ""),
                 ("vi", "strings", ["bá", "mả", "lạ"], ""), ("vi", "strings", ["bá", "mả"], "")]
        hyps = [["bá"], ["mà"], ["lan"], ["bà", "mả", "la"], ["bá"]]
        acc, conf = tone_probe.score(items, hyps)
        # alone: three said, two with the right letters, one of them with the right tone
        self.assertEqual(acc[("vi", "alone")], [3, 2, 1])
        # strings: the one with a syllable missing is not aligned, so only the first counts
        self.assertEqual(acc[("vi", "strings")], [5, 3, 1])
        sac, huyen, hoi, nang, ngang = 2, 1, 3, 5, 0
        self.assertEqual(conf[(sac, sac)], 1)
        self.assertEqual(conf[(hoi, huyen)], 1)
        self.assertEqual(conf[(sac, huyen)], 1)
        self.assertEqual(conf[(nang, ngang)], 1)
        self.assertEqual(sum(conf.values()), 5)


if __name__ == "__main__":
    unittest.main()
