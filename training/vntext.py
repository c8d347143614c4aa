"""Vietnamese text normalisation and the onset / rhyme-with-tone unit scheme.

Every syllable is written as two units: "▁" + onset (or "▁" alone when the
syllable has no onset) followed by the rhyme carrying the tone mark.  Joining
the units of a sentence and replacing "▁" by a space gives the sentence back,
which is what the library's Detokenize does.
"""
import re
import unicodedata

WB = "\u2581"

# Combining tone marks in NFD: huyền, sắc, hỏi, ngã, nặng.
TONE_MARKS = ["\u0300", "\u0301", "\u0309", "\u0303", "\u0323"]
VOWELS = set("aăâeêioôơuưy")
MODIFIED = set("ăâêôơư")
ONSETS = ["ngh", "ng", "gh", "gi", "kh", "nh", "ph", "qu", "th", "tr", "ch",
          "b", "c", "d", "đ", "g", "h", "k", "l", "m", "n", "p", "r", "s", "t", "v", "x"]
LETTERS = set("abcdđeghiklmnopqrstuvxyăâêôơư")

# Toneless rhymes of standard Vietnamese spelling (from the hunspell-vi syllable list,
# loan words removed).
VALID_RHYMES = set("""
a ac ach ai am an ang anh ao ap at au ay e ec em en eng eo ep et i ia ich im in inh ip it iu iêc iêm
iên iêng iêp iêt iêu o oa oac oach oai oam oan oang oanh oao oap oat oay oc oe oen oeo oet oi om on
ong ooc oong op ot oăc oăm oăn oăng oăt u ua uc ui um un ung up ut uy uya uych uyn uynh uyt uyu uyên
uyêt uân uâng uât uây uê uêch uênh uôc uôi uôm uôn uông uôt uơ y ych ynh yt yêm yên yêng yêt yêu âc
âm ân âng âp ât âu ây ê êch êm ên êng ênh êp êt êu ô ôc ôi ôm ôn ông ôp ôt ăc ăm ăn ăng ăp ăt ơ ơi
ơm ơn ơp ơt ư ưa ưc ưi ưm ưn ưng ưt ưu ươc ươi ươm ươn ương ươp ươt ươu
""".split())

DIGITS = ["không", "một", "hai", "ba", "bốn", "năm", "sáu", "bảy", "tám", "chín"]


def strip_tone(syl):
    """Returns (toneless syllable in NFC, tone index 0..5)."""
    d = unicodedata.normalize("NFD", syl)
    tone = 0
    out = []
    for ch in d:
        if ch in TONE_MARKS:
            tone = TONE_MARKS.index(ch) + 1
        else:
            out.append(ch)
    return unicodedata.normalize("NFC", "".join(out)), tone


def split_onset(bare):
    """Splits a toneless syllable into (onset, rhyme); None when it is not Vietnamese."""
    if not bare or any(c not in LETTERS for c in bare):
        return None
    onset = ""
    for o in ONSETS:
        if bare.startswith(o):
            rest = bare[len(o):]
            if o == "gi" and not any(c in VOWELS for c in rest):
                continue  # "gì", "gìn": g + i...
            if o == "qu" and not rest:
                continue
            onset = o
            break
    rhyme = bare[len(onset):]
    if rhyme not in VALID_RHYMES:
        return None
    return onset, rhyme


def place_tone(rhyme, tone):
    """Puts the tone mark on the rhyme (traditional placement: hòa, thủy, khỏe)."""
    if tone == 0:
        return rhyme
    pos = [i for i, c in enumerate(rhyme) if c in VOWELS]
    mod = [i for i in pos if rhyme[i] in MODIFIED]
    if mod:
        k = mod[-1]
    elif len(pos) == 1:
        k = pos[0]
    elif rhyme[-1] not in VOWELS:
        k = pos[-1]
    else:
        k = pos[-2]
    s = rhyme[:k + 1] + TONE_MARKS[tone - 1] + rhyme[k + 1:]
    return unicodedata.normalize("NFC", s)


def syllable_units(syl):
    """Returns [onset unit, rhyme unit] or None for a non-Vietnamese word."""
    bare, tone = strip_tone(syl)
    parts = split_onset(bare)
    if parts is None:
        return None
    onset, rhyme = parts
    return [WB + onset, place_tone(rhyme, tone)]


def unit_tones(units):
    """The tone of every syllable of a unit sequence, 1..6 (ngang, huyền, sắc, hỏi, ngã, nặng): the
    target of an auxiliary tone classifier, where 0 is its CTC blank."""
    return [strip_tone(u)[1] + 1 for u in units if not u.startswith(WB)]


def canonical_syllable(syl):
    u = syllable_units(syl)
    return None if u is None else u[0][1:] + u[1]


def read_number(n):
    """Reads a non-negative integer the way it is said in Vietnamese."""
    if n < 10:
        return DIGITS[n]
    if n < 100:
        t, u = divmod(n, 10)
        head = "mười" if t == 1 else DIGITS[t] + " mươi"
        if u == 0:
            return head
        if u == 1 and t > 1:
            return head + " mốt"
        if u == 5:
            return head + " lăm"
        if u == 4 and t > 1:
            return head + " tư"
        return head + " " + DIGITS[u]
    if n < 1000:
        h, r = divmod(n, 100)
        s = DIGITS[h] + " trăm"
        if r == 0:
            return s
        if r < 10:
            return s + " linh " + DIGITS[r]
        return s + " " + read_number(r)
    for size, name in ((10 ** 9, "tỷ"), (10 ** 6, "triệu"), (1000, "nghìn")):
        if n >= size:
            q, r = divmod(n, size)
            s = read_number(q) + " " + name
            if r == 0:
                return s
            if r < 100:
                return s + " không trăm " + (("linh " + DIGITS[r]) if r < 10 else read_number(r))
            if r < size // 10 and size > 1000:
                return s + " " + read_number(r)
            return s + " " + read_number(r)
    return " ".join(DIGITS[int(c)] for c in str(n))


def read_digits(s):
    return " ".join(DIGITS[int(c)] for c in s)


def _numbers(text):
    # dates 12/5/2024 (a "ngày" already written before the date is not read twice), times 10:30,
    # decimals 3,5, thousands 1.000, plain integers
    text = re.sub(r"\b(?:ngày\s+)?(\d{1,2})/(\d{1,2})/(\d{4})\b",
                  lambda m: "ngày %s tháng %s năm %s" % (read_number(int(m[1])), read_number(int(m[2])),
                                                        read_number(int(m[3]))), text)
    text = re.sub(r"\b(\d{1,2}):(\d{2})\b",
                  lambda m: "%s giờ %s" % (read_number(int(m[1])), read_number(int(m[2]))), text)
    text = re.sub(r"\b(\d+)\.(\d{3})\b", lambda m: m[1] + m[2], text)
    text = re.sub(r"\b(\d+),(\d+)\b",
                  lambda m: "%s phẩy %s" % (read_number(int(m[1])), read_number(int(m[2]))), text)

    def plain(m):
        s = m[0]
        if len(s) > 12 or (s.startswith("0") and len(s) > 1):
            return " " + read_digits(s) + " "
        return " " + read_number(int(s)) + " "
    return re.sub(r"\d+", plain, text)


def normalise_runs(text, min_len=3):
    """Normalises raw text and returns the runs of Vietnamese syllables it holds.

    NFC, lower case, numbers read out, punctuation dropped; a word that is not a
    Vietnamese syllable breaks the text into separate runs.
    """
    text = unicodedata.normalize("NFC", text).lower()
    text = _numbers(text)
    runs, cur = [], []
    for tok in re.split(r"(\s+|[^\w]+)", text):
        if not tok or tok.isspace():
            continue
        if not re.match(r"^\w+$", tok):
            # punctuation: sentence or clause boundary, hyphen joins nothing
            if re.search(r"[.!?;:()\[\]{}\"“”«»…/|<>=]", tok):
                if len(cur) >= min_len:
                    runs.append(" ".join(cur))
                cur = []
            continue
        c = canonical_syllable(tok)
        if c is None:
            if len(cur) >= min_len:
                runs.append(" ".join(cur))
            cur = []
        else:
            cur.append(c)
    if len(cur) >= min_len:
        runs.append(" ".join(cur))
    return runs


# Marks that are never read aloud; any other symbol (%, &, +, @, $, ...) is spoken as a word that
# the transcript does not hold.
SILENT_PUNCTUATION = re.compile(r"^[\s.,!?;:'\"()\[\]{}…“”‘’«»\-–—/*]+$")


def normalise_transcript(text):
    """The transcript of a recording in the recipe's spelling, or None when it cannot be written
    with the units. Unlike `normalise_runs` nothing may be cut: the audio says every word, so one
    word that is not a Vietnamese syllable (a foreign word, a spoken symbol) loses the utterance."""
    text = _numbers(unicodedata.normalize("NFC", text).lower())
    out = []
    for tok in re.split(r"(\s+|[^\w]+)", text):
        if not tok or tok.isspace():
            continue
        if not re.match(r"^\w+$", tok):
            if not SILENT_PUNCTUATION.match(tok):
                return None
            continue
        c = canonical_syllable(tok)
        if c is None:
            return None
        out.append(c)
    return " ".join(out) or None


def sentence_units(sentence):
    out = []
    for w in sentence.split():
        u = syllable_units(w)
        if u is None:
            return None
        out.extend(u)
    return out


# Whole-sentence normalisation for real text (Wikipedia, news, conversation): a sentence is kept
# whole or dropped, never cut into runs around a word that cannot be read.

# Letter names as Vietnamese speakers spell acronyms out ("CSGT" -> "xê ét giê tê").
LETTER_NAMES = {"a": "a", "b": "bê", "c": "xê", "d": "dê", "đ": "đê", "e": "e", "f": "ép", "g": "giê",
                "h": "hát", "i": "i", "j": "gi", "k": "ca", "l": "lờ", "m": "mờ", "n": "nờ", "o": "o",
                "p": "pê", "q": "quy", "r": "rờ", "s": "ét", "t": "tê", "u": "u", "v": "vê", "w": "vê kép",
                "x": "ích", "y": "i", "z": "dét", "ơ": "ơ", "ô": "ô", "ê": "ê", "ư": "ư", "â": "â", "ă": "á"}

# Abbreviations, units and the commonest foreign words of the sources, said the Vietnamese way.
RESPELL = {
    "tp": "thành phố", "hcm": "hồ chí minh", "tphcm": "thành phố hồ chí minh", "vn": "việt nam",
    "ubnd": "ủy ban nhân dân", "tcn": "trước công nguyên", "csgt": "cảnh sát giao thông",
    "tnhh": "trách nhiệm hữu hạn", "hđnd": "hội đồng nhân dân", "thpt": "trung học phổ thông",
    "thcs": "trung học cơ sở", "gs": "giáo sư", "ts": "tiến sĩ", "pgs": "phó giáo sư",
    "km": "ki lô mét", "kg": "ki lô gam", "cm": "xen ti mét", "mm": "mi li mét", "ha": "héc ta",
    "usd": "đô la mỹ", "km²": "ki lô mét vuông", "m²": "mét vuông",
    "mary": "me ri", "john": "giôn", "james": "giêm", "boston": "bốt tơn", "fax": "phách",
    "piano": "pi a nô", "tennis": "ten nít", "karaoke": "ka ra ô kê", "taxi": "tắc xi",
    "tivi": "ti vi", "tv": "ti vi", "canada": "ca na đa", "pizza": "pi da", "tokyo": "tô ki ô",
    "paris": "pa ri", "video": "vi đê ô", "ôtô": "ô tô", "guitar": "ghi ta", "ghita": "ghi ta",
    "virus": "vi rút", "bus": "buýt", "facebook": "phây búc", "malaysia": "ma lai xi a",
    "campuchia": "cam pu chia", "vali": "va li", "sofa": "sô pha", "london": "luân đôn",
    "album": "an bum", "radio": "ra đi ô", "internet": "in tơ nét", "email": "i meo",
    "ok": "ô kê", "okay": "ô kê", "alo": "a lô", "hiv": "hát i vê", "aids": "ết",
}
# after a number only: "5 m" is five metres, a lone "m" is not
UNIT_AFTER_NUMBER = {"m": "mét", "đ": "đồng", "%": "phần trăm", "°c": "độ xê", "kw": "ki lô oát"}


def _spell_token(tok):
    """A word of the source -> Vietnamese syllables, or None when it cannot be read."""
    low = tok.lower()
    if low in RESPELL:
        return RESPELL[low]
    c = canonical_syllable(low)
    if c is not None:
        return c
    # an acronym of 2-5 capitals ("CSGT", "HĐXX") is spelled letter by letter
    if 2 <= len(tok) <= 5 and tok.isupper() and all(ch in LETTER_NAMES for ch in low):
        return " ".join(LETTER_NAMES[ch] for ch in low)
    return None


def normalise_sentence(text, min_len=3, max_len=35):
    """One sentence of real text -> its normalised syllables, or None when any word cannot be read
    (it is dropped whole rather than cut, so that every kept sentence is a sentence)."""
    text = unicodedata.normalize("NFC", text).strip()
    text = re.sub(r"\bv\.v\.?", " vân vân ", text)
    text = re.sub(r"\b(TP|Tp|tp)\.\s*", "TP ", text)
    text = re.sub(r"(\d)\s*[–-]\s*(\d)", r"\1 đến \2", text)  # ranges 60–90
    text = re.sub(r"\b(\d+)\.(\d{1,2})\b(?!\.\d)", r"\1,\2", text)  # decimal point 4.42 -> 4,42
    for unit, said in UNIT_AFTER_NUMBER.items():
        text = re.sub(r"(\d)\s*" + re.escape(unit) + r"(?=\W|$)", r"\1 " + said, text, flags=re.I)
    text = _numbers(re.sub(r"\b[Nn]gày\s+(?=\d{1,2}/\d{1,2}/\d{4})", "", text))
    if re.search(r"[%&°§$€£¥+=*/\\#@]|\d", text):
        return None
    out = []
    for tok in re.split(r"[\s\-‐–—]+", text):
        tok = tok.strip(".,;:!?\"'“”‘’()[]«»…")
        if not tok:
            continue
        if not re.match(r"^[^\W\d_]+$", tok):
            return None
        s = _spell_token(tok)
        if s is None:
            return None
        out.append(s)
    words = " ".join(out).split()
    if not (min_len <= len(words) <= max_len):
        return None
    return " ".join(words)


def split_sentences(line):
    """A line of real text -> its sentences (split after . ! ? … followed by a space)."""
    line = re.sub(r"\b(TP|Tp|tp|v\.v)\.\s*", lambda m: m[1] + " ", line.strip())
    return [p for p in re.split(r"(?<=[.!?…])[\"'”’)]*\s+(?=[\"'“‘(]?[^\W_a-zà-ỹđ])", line) if p.strip()]
