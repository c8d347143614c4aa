#!/usr/bin/env bash
# Bring-your-own-corpus end to end (training/byoc.sh): a tiny espeak-ng corpus in the Common Voice
# layout (mp3 clips) is fine-tuned on from the committed weights and one in the VIVOS layout is
# trained from scratch, two training steps each; both model folders are exported and loaded by the
# library. No accuracy is asserted: two steps teach nothing.
#   byoc_check.sh BUILD_DIR WORK_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
work=$2
fail() { echo "byoc_check: $*" >&2; exit 1; }
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/bootstrap --training"
done
rm -rf "$work"
mkdir -p "$work"

clips=()
formats=$(sox -h 2>&1 | grep "FORMATS:" || true)
if [[ "$formats" != *" mp3 "* ]]; then
  echo "byoc_check: sox cannot write mp3 here (libsox-fmt-mp3 missing): Common Voice clips as WAV"
  clips=(--wav-clips)
fi
/usr/bin/python3 "$root/tests/training/tiny_corpus.py" "$work/corpus" "${clips[@]}"

# fine-tuning on the Common Voice layout, training from scratch on the VIVOS one
"$root/training/byoc.sh" --build "$build" --epochs 2 --steps 1,2,3,4 "$work/corpus/cv" "$work/cv"
"$root/training/byoc.sh" --build "$build" --scratch --epochs 2 --steps 1,2,3,4 "$work/corpus/vivos" "$work/vivos"

for layout in cv vivos; do
  data=$work/$layout/data
  # the tiny corpus holds 8 utterances that can be written and one that cannot
  kept=$(find "$data" -maxdepth 1 -name "*.tsv" ! -name "*.dropped.tsv" -exec cat {} + | wc -l)
  [ "$kept" -eq 8 ] || fail "$layout: $kept utterances prepared, expected 8"
  [ "$(cut -f2 "$data/train.dropped.tsv")" = "text" ] || fail "$layout: the untranscribable line was not dropped"
  grep -q "	trời sắp mưa rồi$" "$data/test.tsv" || fail "$layout: test split lost its sentence"
  [ "$(ls "$work/$layout/model")" = "$(printf 'model.onnx\nunits.txt')" ] ||
    fail "$layout: the model folder holds $(ls "$work/$layout/model" | tr '\n' ' ')"
  cmp -s "$work/$layout/model/units.txt" "$root/assets/asr_vocab.txt" || fail "$layout: units.txt differs"
  steps=$(grep -c "^epoch [0-9]* done" "$work/$layout/train.log")
  [ "$steps" -eq 2 ] || fail "$layout: $steps training epochs logged, expected 2"
done

cli=$build/tools/orvane/orvane
for layout in cv vivos; do
  wav=$(head -n1 "$work/$layout/data/test.tsv" | cut -f2)
  out=$("$cli" transcribe --model "$work/$layout/model" "$wav") || fail "$layout: orvane transcribe --model failed"
  case "$out" in *'"text"'*) ;; *) fail "$layout: no result document: $out" ;; esac
  echo "byoc_check: $layout model folder loaded: $out"
  "$root/training/byoc.sh" --build "$build" --steps 5 "$work/corpus/$layout" "$work/$layout" ||
    fail "$layout: evaluation through the library failed"
  grep -q '"backend": "lib"' "$work/$layout/eval_model.json" || fail "$layout: no evaluation of the model folder"
done
echo "byoc_check: prepared, trained, exported, loaded and evaluated both layouts"
