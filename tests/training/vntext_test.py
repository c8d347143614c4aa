"""Text normalisation and unit scheme of the model-training recipe (training/vntext.py).

A fault here silently teaches the model wrong transcripts, and the unit scheme must give
back the written sentence after the library's detokenisation (spaces before "▁" units).
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import vntext  # noqa: E402

WB = "\u2581"


def detokenize(units):
    # what the library does: a space before every word-initial unit, the marker dropped
    return "".join((" " + u[1:]) if u.startswith(WB) else u for u in units).strip()


class ReadNumberTest(unittest.TestCase):
    def test_vietnamese_readings(self):
        cases = {0: "không", 10: "mười", 15: "mười lăm", 21: "hai mươi mốt", 24: "hai mươi tư",
                 55: "năm mươi lăm", 105: "một trăm linh năm", 110: "một trăm mười",
                 1000: "một nghìn", 2024: "hai nghìn không trăm hai mươi tư",
                 1000000: "một triệu", 3500000: "ba triệu năm trăm nghìn"}
        for n, text in cases.items():
            self.assertEqual(vntext.read_number(n), text, n)

    def test_leading_zero_is_read_digit_by_digit(self):
        self.assertEqual(vntext.normalise_runs("gọi số 0912 345 nhé")[0],
                         "gọi số không chín một hai ba trăm bốn mươi lăm nhé")


class NormaliseTest(unittest.TestCase):
    def test_dates_times_and_decimals_are_read_out(self):
        runs = vntext.normalise_runs("Họp lúc 10:30 ngày 12/5/2024, giá 3,5 triệu")
        self.assertEqual(runs, ["họp lúc mười giờ ba mươi ngày mười hai tháng năm năm hai nghìn "
                                "không trăm hai mươi tư giá ba phẩy năm triệu"])

    def test_date_after_ngay_is_not_read_with_a_second_ngay(self):
        self.assertEqual(vntext.normalise_runs("hạn chót là ngày 1/6/2025")[0],
                         "hạn chót là ngày một tháng sáu năm hai nghìn không trăm hai mươi lăm")

    def test_tone_marks_move_to_one_placement(self):
        self.assertEqual(vntext.normalise_runs("HOÀ bình THUỶ khoẻ")[0], "hòa bình thủy khỏe")
        self.assertEqual(vntext.normalise_runs("người ngoài quý")[0], "người ngoài quý")

    def test_punctuation_and_foreign_words_cut_runs(self):
        runs = vntext.normalise_runs("xin chào các bạn. tôi dùng wifi ở nhà bạn tôi; ok")
        self.assertEqual(runs, ["xin chào các bạn", "ở nhà bạn tôi"])

    def test_short_runs_are_dropped(self):
        self.assertEqual(vntext.normalise_runs("vâng. được rồi", min_len=3), [])
        self.assertEqual(vntext.normalise_runs("được rồi", min_len=2), ["được rồi"])


class TranscriptTest(unittest.TestCase):
    """A recording's transcript is kept whole or not at all: its audio says every word."""

    def test_read_out_lower_cased_and_unpunctuated(self):
        self.assertEqual(vntext.normalise_transcript("KHÁCH SẠN CÓ 20 PHÒNG, \"Hoà\" nói…"),
                         "khách sạn có hai mươi phòng hòa nói")

    def test_a_foreign_word_or_spoken_symbol_loses_the_utterance(self):
        for text in ("gửi email cho tôi", "giảm 50% giá", "tôm & cua", "...", ""):
            self.assertIsNone(vntext.normalise_transcript(text), text)


class UnitsTest(unittest.TestCase):
    def test_every_syllable_is_onset_then_rhyme_with_tone(self):
        self.assertEqual(vntext.sentence_units("gì quá người ăn"),
                         [WB + "g", "ì", WB + "qu", "á", WB + "ng", "ười", WB, "ăn"])

    def test_detokenised_units_give_the_sentence_back(self):
        for s in ("nghiêng ngả khuya khoắt", "giữa trưa gió giật", "thuở ấy uyển chuyển",
                  "quốc gia quyết định", "gìn giữ ước mơ"):
            self.assertEqual(detokenize(vntext.sentence_units(s)), s)

    def test_non_syllables_have_no_units(self):
        for s in ("xin chào wifi", "tôi có 3 con", "abc"):
            self.assertIsNone(vntext.sentence_units(s), s)

    def test_strip_tone_keeps_vowel_marks(self):
        self.assertEqual([vntext.strip_tone(x)[0] for x in "người hỏi ữa ặc".split()],
                         ["ngươi", "hoi", "ưa", "ăc"])
        self.assertEqual([vntext.strip_tone(x)[1] for x in "ma mà má mả mã mạ".split()], [0, 1, 2, 3, 4, 5])

    def test_tone_targets_one_per_syllable_blank_free(self):
        # syllables without an onset start with the bare marker: they must still count once
        self.assertEqual(vntext.unit_tones(vntext.sentence_units("ăn mà má mả mã mạ người")),
                         [1, 2, 3, 4, 5, 6, 2])
        self.assertEqual(vntext.unit_tones(vntext.sentence_units("uyển ước")), [4, 3])


if __name__ == "__main__":
    unittest.main()
