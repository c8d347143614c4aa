"""Makes the recipe's manifests from a corpus of recordings in one of the public Vietnamese layouts.

  prepare_corpus.py CORPUS_DIR OUT_DIR [--layout auto|cv|vivos] [--cv-train train|validated]

Layouts:
  cv     Common Voice: train.tsv, dev.tsv, test.tsv (and validated.tsv) with the columns `path`,
         `sentence` (and `client_id`), the audio in clips/ (mp3: sox needs libsox-fmt-mp3).
  vivos  VIVOS: train/ and test/ each with prompts.txt ("UTTID transcript" lines) and
         waves/SPEAKER/UTTID.wav; a folder that holds prompts.txt and waves/ itself is one split,
         "train".

Writes OUT_DIR/<split>.tsv in the recipe's manifest format (id, wav, voice, variant, rate, pitch,
snr_db, text; voice is the layout, variant the speaker, the synthesis columns "0"/"-"), the audio
converted by sox to 16 kHz mono 16-bit in OUT_DIR/wav/<split>/, and OUT_DIR/<split>.dropped.tsv
(id, reason, transcript) for the utterances left out: "text" (a word the units cannot write, see
vntext.normalise_transcript), "missing audio", "unreadable audio". Converted files are kept, so a
rerun only converts what is new.
"""
import argparse
import csv
import os
import re
import subprocess
import sys
from multiprocessing import Pool

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vntext import normalise_transcript  # noqa: E402

CV_SPLITS = ["train", "dev", "test"]
REASONS = ["text", "missing audio", "unreadable audio"]


def detect_layout(src):
    if os.path.isdir(os.path.join(src, "clips")) and any(
            os.path.exists(os.path.join(src, s + ".tsv")) for s in CV_SPLITS + ["validated"]):
        return "cv"
    if os.path.exists(os.path.join(src, "prompts.txt")) or any(
            os.path.exists(os.path.join(src, d, "prompts.txt")) for d in sorted(os.listdir(src))):
        return "vivos"
    return None


def read_cv_tsv(path):
    """Rows of a Common Voice TSV as dicts. Sentences hold quotes, so no quoting is applied."""
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f, delimiter="\t", quoting=csv.QUOTE_NONE))


def cv_entries(src, cv_train="train"):
    """(split, utterance id, audio path, speaker, transcript) of a Common Voice folder. With
    cv_train "validated" the training split is validated.tsv less every clip and every sentence of
    dev and test, so that no test sentence is trained on."""
    splits = {s: read_cv_tsv(os.path.join(src, s + ".tsv")) for s in CV_SPLITS
              if os.path.exists(os.path.join(src, s + ".tsv"))}
    if cv_train == "validated":
        held = [r for s in ("dev", "test") for r in splits.get(s, [])]
        clips, sentences = {r["path"] for r in held}, {r["sentence"] for r in held}
        splits["train"] = [r for r in read_cv_tsv(os.path.join(src, "validated.tsv"))
                           if r["path"] not in clips and r["sentence"] not in sentences]
    for split in CV_SPLITS:
        for r in splits.get(split, []):
            stem = os.path.splitext(os.path.basename(r["path"]))[0]
            yield split, stem, os.path.join(src, "clips", r["path"]), r.get("client_id", "-")[:12] or "-", r["sentence"]


def vivos_entries(src):
    """(split, utterance id, audio path, speaker, transcript) of a VIVOS-style folder: the audio of
    UTTID is waves/<speaker>/UTTID.wav, found wherever it lies under waves/."""
    if os.path.exists(os.path.join(src, "prompts.txt")):
        dirs = [("train", src)]
    else:
        dirs = [(d, os.path.join(src, d)) for d in sorted(os.listdir(src))
                if os.path.exists(os.path.join(src, d, "prompts.txt"))]
    for split, d in dirs:
        audio = {}
        for root, _, files in os.walk(os.path.join(d, "waves")):
            for f in files:
                stem, ext = os.path.splitext(f)
                if ext.lower() in (".wav", ".flac", ".mp3"):
                    audio[stem] = os.path.join(root, f)
        with open(os.path.join(d, "prompts.txt"), encoding="utf-8") as f:
            lines = f.readlines()
        for line in lines:
            parts = line.strip().split(None, 1)
            if not parts:
                continue
            uid, text = parts[0], parts[1] if len(parts) > 1 else ""
            path = audio.get(uid, os.path.join(d, "waves", uid.split("_")[0], uid + ".wav"))
            yield split, uid, path, os.path.basename(os.path.dirname(path)), text


def convert(job):
    """sox: any format sox reads -> 16 kHz mono 16-bit WAV. Returns (job, error text or None)."""
    src, dst = job
    if os.path.exists(dst) and os.path.getsize(dst) > 44:
        return job, None
    tmp = dst + ".tmp.wav"
    p = subprocess.run(["sox", src, "-r", "16000", "-c", "1", "-b", "16", "-e", "signed-integer", tmp],
                       capture_output=True, text=True)
    if p.returncode != 0:
        if os.path.exists(tmp):
            os.remove(tmp)
        return job, p.stderr.strip().splitlines()[-1] if p.stderr.strip() else "sox failed"
    os.replace(tmp, dst)
    return job, None


def sox_reads_mp3():
    p = subprocess.run(["sox", "-h"], capture_output=True, text=True)
    m = re.search(r"AUDIO FILE FORMATS:(.*)", p.stdout)
    return bool(m) and "mp3" in m.group(1).split()


def prepare(entries, layout, out, jobs=2, log=sys.stderr):
    """Normalises the transcripts, converts the audio and writes the manifests. Returns
    {split: {"kept": n, "seconds": s, <reason>: n, ...}}."""
    by_split = {}
    for split, uid, path, speaker, text in entries:
        by_split.setdefault(split, []).append((re.sub(r"[^A-Za-z0-9_.-]", "_", uid), path, speaker, text))
    if any(p.lower().endswith(".mp3") for rows in by_split.values() for _, p, _, _ in rows) and not sox_reads_mp3():
        raise SystemExit("prepare_corpus: sox cannot read mp3 here: install libsox-fmt-mp3 "
                         "(scripts/bootstrap --training)")
    stats = {}
    for split, rows in by_split.items():
        st = stats[split] = dict({"kept": 0, "seconds": 0.0}, **{r: 0 for r in REASONS})
        wav_dir = os.path.join(out, "wav", split)
        os.makedirs(wav_dir, exist_ok=True)
        dropped, jobs_todo, texts = [], [], {}
        for uid, path, speaker, text in rows:
            norm = normalise_transcript(text)
            if norm is None:
                dropped.append((uid, "text", text))
            elif not os.path.exists(path):
                dropped.append((uid, "missing audio", text))
                print("prepare_corpus: %s: missing audio %s" % (uid, path), file=log)
            else:
                dst = os.path.join(os.path.abspath(wav_dir), uid + ".wav")
                texts[dst] = (uid, speaker, norm)
                jobs_todo.append((path, dst))
        lines = []
        with Pool(max(1, jobs)) as pool:
            for (path, dst), err in pool.imap(convert, jobs_todo, chunksize=8):
                uid, speaker, norm = texts[dst]
                if err:
                    dropped.append((uid, "unreadable audio", norm))
                    print("prepare_corpus: %s: unreadable audio %s: %s" % (uid, path, err), file=log)
                    continue
                lines.append("%s\t%s\t%s\t%s\t0\t0\t-\t%s\n" % (uid, dst, layout, speaker, norm))
                st["seconds"] += (os.path.getsize(dst) - 44) / 32000.0
        st["kept"] = len(lines)
        for _, reason, _ in dropped:
            st[reason] += 1
        with open(os.path.join(out, split + ".tsv"), "w", encoding="utf-8") as f:
            f.writelines(lines)
        with open(os.path.join(out, split + ".dropped.tsv"), "w", encoding="utf-8") as f:
            f.writelines("%s\t%s\t%s\n" % d for d in dropped)
        print("%s: %d utterances (%.2f h) in %s; dropped: %s" % (
            split, st["kept"], st["seconds"] / 3600, os.path.join(out, split + ".tsv"),
            ", ".join("%d %s" % (st[r], r) for r in REASONS)), file=log)
    return stats


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("corpus", help="the corpus folder")
    ap.add_argument("out", help="folder for the manifests and the converted audio")
    ap.add_argument("--layout", choices=["auto", "cv", "vivos"], default="auto")
    ap.add_argument("--cv-train", choices=["train", "validated"], default="train",
                    help="Common Voice: the training split from train.tsv, or from validated.tsv less the clips "
                         "and sentences of dev and test (far more data)")
    ap.add_argument("--jobs", type=int, default=2)
    args = ap.parse_args()
    layout = detect_layout(args.corpus) if args.layout == "auto" else args.layout
    if layout is None:
        raise SystemExit("prepare_corpus: %s holds neither Common Voice TSVs with clips/ nor prompts.txt "
                         "with waves/" % args.corpus)
    entries = cv_entries(args.corpus, args.cv_train) if layout == "cv" else vivos_entries(args.corpus)
    stats = prepare(entries, layout, args.out, args.jobs)
    if not any(s["kept"] for s in stats.values()):
        raise SystemExit("prepare_corpus: no usable utterance")


if __name__ == "__main__":
    main()
