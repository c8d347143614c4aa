"""Vietnamese through Festival's diphone voices of other languages: other speakers' timbre.

espeak-ng's formant voices all sound alike; Festival's diphone voices are cut from recordings of real
people (English, Italian, Czech and Finnish speakers, men and women). This module writes a
Vietnamese sentence as phones of such a voice, with durations and a pitch contour per tone, and has
Festival say it (an utterance of type Segments: phone, duration in seconds, (time, Hz) targets).
The phones are the nearest the voice's language has; sounds it lacks (the unrounded back vowels, the
velar fricative in some) are approximated, so the audio is accented. What it brings is voice
quality: glottal source, formant bandwidths and coarticulation of human speech.

  python3 festival_tts.py "cà phê sữa đá" out.wav --voice kal
"""
import argparse
import io
import os
import random
import subprocess
import sys
import tempfile
import wave

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import vntext  # noqa: E402

# Voice: (Festival voice function, phone-set name, base F0 in Hz). The audio is cut from each
# database's recordings, so a model trained on it inherits the database's licence question
# (/usr/share/doc/<package>/copyright): kal and ked (festvox-kallpc16k, festvox-kdlpc16k) are under a
# permissive licence; pc and lp (festvox-itapc16k, festvox-italp16k) and dita and machac
# (festvox-czech-*) under the GPL; mv and lj (festvox-suopuhe-*) under the LGPL.
VOICES = {
    "kal": ("voice_kal_diphone", "radio", 105),
    "ked": ("voice_ked_diphone", "radio", 100),
    "pc": ("voice_pc_diphone", "italian", 115),
    "lp": ("voice_lp_diphone", "italian", 200),
    "dita": ("voice_czech_dita", "czech", 205),
    "machac": ("voice_czech_machac", "czech", 110),
    "mv": ("voice_hy_fi_mv_diphone", "finnish", 105),
    "lj": ("voice_suo_fi_lj_diphone", "finnish", 190),
}

# Internal phones: onsets and codas as below, vowels a (long a), A (short ă), @ (short â), E (e), e (ê),
# i, O (o), o (ô), 7 (ơ), u, M (ư).
ONSET = {"": [], "b": ["b"], "c": ["k"], "k": ["k"], "q": ["k"], "ch": ["c"], "tr": ["tr"], "d": ["z"],
         "gi": ["z"], "r": ["z"], "đ": ["d"], "g": ["G"], "gh": ["G"], "h": ["h"], "kh": ["x"], "l": ["l"],
         "m": ["m"], "n": ["n"], "ng": ["N"], "ngh": ["N"], "nh": ["J"], "p": ["p"], "ph": ["f"], "s": ["s"],
         "t": ["t"], "th": ["th"], "v": ["v"], "x": ["s"], "qu": ["k", "w"]}
NUCLEUS = [("iê", ["i", "@"]), ("yê", ["i", "@"]), ("ia", ["i", "@"]), ("ya", ["i", "@"]),
           ("uô", ["u", "@"]), ("uơ", ["u", "@"]), ("ua", ["u", "@"]), ("ươ", ["M", "@"]), ("ưa", ["M", "@"]),
           ("oo", ["O"]), ("a", ["a"]), ("ă", ["A"]), ("â", ["@"]), ("e", ["E"]), ("ê", ["e"]), ("i", ["i"]), ("y", ["i"]),
           ("o", ["O"]), ("ô", ["o"]), ("ơ", ["7"]), ("u", ["u"]), ("ư", ["M"])]
CODA = {"": [], "p": ["p"], "t": ["t"], "c": ["k"], "ch": ["k"], "m": ["m"], "n": ["n"], "ng": ["N"],
        "nh": ["N"], "o": ["w"], "u": ["w"], "i": ["j"], "y": ["j"]}

# Internal phone -> the voice's phones (a list: some need two).
PHONES = {
    "radio": {"b": "b", "d": "d", "t": "t", "th": "t", "tr": "ch", "c": "ch", "k": "k", "G": "g", "x": "hh",
              "h": "hh", "f": "f", "v": "v", "s": "s", "z": "z", "m": "m", "n": "n", "N": "ng", "J": "n y",
              "l": "l", "p": "p", "w": "w", "j": "y", "a": "aa", "A": "aa", "@": "ah", "E": "eh", "e": "ey",
              "i": "iy", "O": "ao", "o": "ow", "7": "ah", "u": "uw", "M": "uh", "pau": "pau"},
    "italian": {"b": "b", "d": "d", "t": "t", "th": "t", "tr": "tS", "c": "tS", "k": "k", "G": "g", "x": "k",
                "h": "", "f": "f", "v": "v", "s": "s", "z": "z", "m": "m", "n": "n", "N": "n", "J": "J",
                "l": "l", "p": "p", "w": "w", "j": "j", "a": "a1", "A": "a", "@": "e", "E": "E1", "e": "e1",
                "i": "i1", "O": "O1", "o": "o1", "7": "e", "u": "u1", "M": "u", "pau": "#"},
    "czech": {"b": "b", "d": "d", "t": "t", "th": "t", "tr": "c~", "c": "t~", "k": "k", "G": "g", "x": "ch",
              "h": "h", "f": "f", "v": "v", "s": "s", "z": "z", "m": "m", "n": "n", "N": "n", "J": "n~",
              "l": "l", "p": "p", "w": "v", "j": "j", "a": "a:", "A": "a", "@": "e", "E": "e", "e": "e:",
              "i": "i:", "O": "o", "o": "o:", "7": "e", "u": "u:", "M": "i", "pau": "#"},
    "finnish": {"b": "b", "d": "d", "t": "t", "th": "t", "tr": "t S", "c": "t j", "k": "k", "G": "g",
                "x": "h", "h": "h", "f": "f", "v": "v", "s": "s", "z": "s", "m": "m", "n": "n", "N": "N",
                "J": "n j", "l": "l", "p": "p", "w": "v", "j": "j", "a": "a:", "A": "a", "@": "e", "E": "@",
                "e": "e:", "i": "i:", "O": "o", "o": "o:", "7": "e", "u": "u:", "M": "y", "pau": "#"},
}

# Phones a voice lacks although its language has them.
VOICE_PHONES = {"lj": {"tr": "t", "c": "t j", "N": "n"}}

# Glides after the vowel are said as vowels ("ai", "ao"): diphone sets have few glide-consonant pairs.
CODA_GLIDE = {"radio": {"w": "uw", "j": "iy"}, "italian": {"w": "u", "j": "i"}, "czech": {"w": "u", "j": "j"},
              "finnish": {"w": "u", "j": "i"}}
# Medial w: Czech and Finnish have no w before a vowel; their speakers say v.
MEDIAL_W = {"radio": "w", "italian": "w", "czech": "v", "finnish": "v"}
# Phone pairs the voices lack (Festival would put silence there), and what is said instead.
REPAIR = {
    "radio": {("hh", "w"): ["hh", "uw"]},
    "czech": {("i:", "e"): ["i:", "j", "e"], ("i", "e"): ["i", "j", "e"], ("u:", "e"): ["u", "o"],
              ("a:", "u"): ["a", "u"], ("i:", "a:"): ["i:", "j", "a:"], ("i", "u"): ["i", "v", "u"],
              ("e:", "u"): ["e", "u"]},
    "finnish": {("t", "S"): ["S"], ("e", "u"): ["e", "v"], ("@", "u"): ["@", "v"]},
}
# ... and the pairs one voice lacks although others of its phone set have them.
VOICE_REPAIR = {"ked": {("uh", "ah"): ["uw", "ah"]}}

# Tone contours over the rhyme: (fraction of the rhyme's time, factor of the voice's F0); duration
# factor of the rhyme. 0 ngang (level), 1 huyền (low falling), 2 sắc (rising), 3 hỏi (dipping),
# 4 ngã (broken rising), 5 nặng (low, short, falling).
TONES = [
    ([(0.0, 1.0), (1.0, 0.97)], 1.0),
    ([(0.0, 0.86), (1.0, 0.68)], 1.0),
    ([(0.0, 0.98), (0.4, 1.05), (1.0, 1.38)], 0.95),
    ([(0.0, 0.88), (0.5, 0.7), (1.0, 0.86)], 1.05),
    ([(0.0, 1.0), (0.4, 0.88), (0.55, 1.12), (1.0, 1.42)], 1.05),
    ([(0.0, 0.84), (1.0, 0.6)], 0.7),
]
STOPS = {"p", "t", "k"}


def syllable_phones(syl):
    """(onset phones, rhyme phones, tone index) of one Vietnamese syllable, or None."""
    bare, tone = vntext.strip_tone(syl)
    parts = vntext.split_onset(bare)
    if parts is None:
        return None
    onset, rhyme = parts
    medial = []
    if onset == "qu":
        pass
    elif len(rhyme) > 1 and ((rhyme[0] == "o" and rhyme[1] in "aăe") or (rhyme[0] == "u" and rhyme[1] in "yêâơ")):
        if not (rhyme[0] == "u" and rhyme[1] == "ơ"):
            medial, rhyme = ["w"], rhyme[1:]
    if onset == "g" and rhyme.startswith("i"):
        onset = "gi"  # "gì", "gìn": the i is both the onset's letter and the vowel
    if onset == "gi" and rhyme.startswith("ê"):
        rhyme = "i" + rhyme  # "giếng", "giết": the i begins the diphthong iê
    for spelling, vowels in NUCLEUS:
        if rhyme.startswith(spelling):
            coda = rhyme[len(spelling):]
            if coda in CODA:
                return ONSET[onset], medial + vowels + CODA[coda], tone
    return None


def segments(text, voice, pr, speed=1.0, f0_factor=1.0):
    """Festival Segments items for a sentence: [(phone, seconds, [(seconds into phone, Hz)])].

    Raises ValueError on a word that is not a Vietnamese syllable."""
    _, phoneset, base = VOICES[voice]
    table = dict(PHONES[phoneset], **VOICE_PHONES.get(voice, {}))
    f0 = base * f0_factor
    out = [(table["pau"], pr.uniform(0.15, 0.3), [])]
    words = text.split()
    # declination: the sentence's pitch drifts down by up to a tenth
    for wi, w in enumerate(words):
        ph = syllable_phones(w)
        if ph is None:
            # the audio must say every word of its transcript
            raise ValueError("not a Vietnamese syllable: %r" % w)
        onset, rhyme, tone = ph
        level = f0 * (1.0 - 0.1 * wi / max(1, len(words) - 1)) * pr.uniform(0.96, 1.04)
        contour, dur_factor = TONES[tone]
        for p in onset:
            for q in table[p].split():
                out.append((q, pr.uniform(0.055, 0.085) / speed, []))
        # (phone as the voice says it, internal phone) of the rhyme
        said = []
        for i, p in enumerate(rhyme):
            if p == "w" and i == 0:
                said += [(MEDIAL_W[phoneset], p)]
            elif p in ("w", "j"):
                said += [(CODA_GLIDE[phoneset][p], p)]
            else:
                said += [(q, p) for q in table[p].split()]
        checked = bool(rhyme) and rhyme[-1] in STOPS
        total = pr.uniform(0.2, 0.28) * dur_factor * (0.75 if checked else 1.0) / speed
        if wi == len(words) - 1:
            total *= 1.3  # the last syllable is drawn out
        vowels = [p for p in rhyme if p not in ("p", "t", "k", "m", "n", "N", "w", "j")]
        rhyme_out = []
        for i, (q, p) in enumerate(said):
            share = (0.7 / max(1, len(vowels))) if p in vowels else 0.3
            if p == "w" and i == 0:
                share = 0.15
            rhyme_out.append((q, total * share / len(table[p].split())))
        span = sum(d for _, d in rhyme_out) or 1.0
        t = 0.0
        for q, d in rhyme_out:
            targets = []
            for frac, k in contour:
                at = frac * span
                if t <= at < t + d or (frac == 1.0 and t + d >= span - 1e-9):
                    targets.append((min(max(at - t, 0.0), d), level * k))
            out.append((q, d, targets))
            t += d
    out.append((table["pau"], pr.uniform(0.15, 0.3), []))
    out = [(p, d, tg) for p, d, tg in out if p]
    fixes = {**REPAIR.get(phoneset, {}), **VOICE_REPAIR.get(voice, {})}
    fixed = [out[0]]
    for p, d, tg in out[1:]:
        q = fixed[-1][0]
        if (q, p) in fixes:
            # the first phone's time and targets go to all but the last of the replacement
            first = fixed.pop()
            new = fixes[(q, p)]
            for k, r in enumerate(new[:-1]):
                fixed.append((r, first[1] / (len(new) - 1), first[2] if k == 0 else []))
            p = new[-1]
        fixed.append((p, d, tg))
    return fixed


def scheme(items, voice, wav_path):
    parts = []
    for p, d, tg in items:
        pts = " ".join("(%.3f %.1f)" % (a, f) for a, f in tg)
        parts.append("(%s %.3f %s)" % (p, d, pts))
    return "(%s)\n(set! u (Utterance Segments (%s)))\n(utt.synth u)\n(utt.save.wave u \"%s\" 'riff)\n" % (
        VOICES[voice][0], " ".join(parts), wav_path)


def synth(text, voice, seed=0, speed=1.0, f0_factor=1.0, sox_effects=()):
    """16 kHz float audio of the sentence in a Festival voice, through the sox effects given."""
    pr = random.Random(seed)
    items = segments(text, voice, pr, speed, f0_factor)
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "u.wav")
        with open(os.path.join(tmp, "u.scm"), "w", encoding="utf-8") as f:
            f.write(scheme(items, voice, raw))
        subprocess.run(["festival", "-b", os.path.join(tmp, "u.scm")], capture_output=True, check=True,
                       timeout=120)
        out = subprocess.run(["sox", raw, "-t", "wav", "-b", "16", "-", "gain", "-3", "rate", "16000"]
                             + list(sox_effects), capture_output=True, check=True).stdout
    with wave.open(io.BytesIO(out)) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16).astype(np.float32) / 32768.0


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("text")
    ap.add_argument("out")
    ap.add_argument("--voice", choices=sorted(VOICES), default="kal")
    ap.add_argument("--seed", type=int, default=0)
    args = ap.parse_args()
    from tts import write_wav  # tts imports this module: only here, once both are loaded
    write_wav(args.out, synth(args.text, args.voice, args.seed))


if __name__ == "__main__":
    main()
