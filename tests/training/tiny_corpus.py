"""Makes a tiny recorded corpus with espeak-ng in both public layouts, for the bring-your-own-corpus
test: OUT/cv (Common Voice: train/dev/test/validated TSVs, mp3 clips made by sox) and OUT/vivos
(train/ and test/ with prompts.txt and waves/SPEAKER/UTTID.wav at 22.05 kHz).

  tiny_corpus.py OUT [--wav-clips]

Each layout gets one transcript that the units cannot write (a foreign word), which preparation
must drop. --wav-clips writes the Common Voice clips as WAV (for a sox without mp3 support).
"""
import argparse
import os
import subprocess

SENTENCES = [
    "xin chào các bạn", "hôm nay trời đẹp quá", "tôi muốn uống một ly cà phê",
    "bạn có khỏe không", "chúng ta đi chợ nhé", "cảm ơn anh rất nhiều",
    "mai tôi sẽ gọi lại", "trời sắp mưa rồi",
]
FOREIGN = "gửi email cho tôi"
VOICES = ["vi", "vi-vn-x-central", "vi-vn-x-south"]


def speak(text, voice, path):
    """espeak-ng's 22.05 kHz output, converted by sox to the file type of `path`."""
    wav = subprocess.run(["espeak-ng", "-v", voice, "-s", "170", "--stdout", text],
                         capture_output=True, check=True).stdout
    subprocess.run(["sox", "-t", "wav", "-", path], input=wav, capture_output=True, check=True)


def make_cv(out, ext):
    os.makedirs(os.path.join(out, "clips"), exist_ok=True)
    header = "client_id\tpath\tsentence\tup_votes\tdown_votes\tage\tgender\taccents\tlocale\tsegment\n"
    rows = []
    for k, text in enumerate(SENTENCES + [FOREIGN]):
        name = "common_voice_vi_%d.%s" % (100 + k, ext)
        speak(text[0].upper() + text[1:] + ".", VOICES[k % 3], os.path.join(out, "clips", name))
        rows.append("spk%d\t%s\t%s\t2\t0\t\t\t\tvi\t\n" % (k % 3, name, text[0].upper() + text[1:] + "."))
    splits = {"train": rows[:6] + rows[8:], "dev": rows[6:7], "test": rows[7:8]}
    for split, lines in list(splits.items()) + [("validated", rows)]:
        with open(os.path.join(out, split + ".tsv"), "w", encoding="utf-8") as f:
            f.write(header)
            f.writelines(lines)


def make_vivos(out):
    for split, idx in (("train", list(range(6)) + [8]), ("test", [6, 7])):
        lines = []
        for k in idx:
            spk = "VIVOSSPK%02d" % (k % 3 + 1)
            uid = "%s_R%03d" % (spk, k)
            text = (SENTENCES + [FOREIGN])[k]
            os.makedirs(os.path.join(out, split, "waves", spk), exist_ok=True)
            speak(text, VOICES[k % 3], os.path.join(out, split, "waves", spk, uid + ".wav"))
            lines.append("%s %s\n" % (uid, text.upper()))
        with open(os.path.join(out, split, "prompts.txt"), "w", encoding="utf-8") as f:
            f.writelines(lines)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("out")
    ap.add_argument("--wav-clips", action="store_true")
    args = ap.parse_args()
    make_cv(os.path.join(args.out, "cv"), "wav" if args.wav_clips else "mp3")
    make_vivos(os.path.join(args.out, "vivos"))


if __name__ == "__main__":
    main()
