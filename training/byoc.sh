#!/usr/bin/env bash
# Bring your own corpus: a model for the voices of a recorded corpus, in five steps.
#
#   training/byoc.sh [OPTIONS] CORPUS_DIR WORK_DIR [-- MORE_TRAIN_PY_OPTIONS]
#
#  1. prepare_corpus.py: manifests in WORK_DIR/data/ (Common Voice or VIVOS layout, 16 kHz audio)
#  2. feats.py: the library's filterbank (build/tools/fbank/orvane-fbank) into WORK_DIR/feats/
#  3. train.py: fine-tunes the committed weights (checkpoint/final.pt) on the train split, or with
#     --scratch trains a new model of the same shape; WORK_DIR/ckpt/, rerunning resumes
#  4. export.py: the model folder WORK_DIR/model/ (model.onnx + units.txt) that the library loads
#     with {"model_dir": ...} and `orvane transcribe --model WORK_DIR/model`
#  5. evaluate.py: CER and syllable error rate of the committed model and of the new one on the
#     test split (dev when there is none), through the library; WORK_DIR/eval_*.json
#
# Options:
#   --scratch          train from nothing instead of from checkpoint/final.pt
#   --epochs N         passes over the train split (default 10; 60 with --scratch)
#   --lr X             peak learning rate (default 1e-4; 1e-3 with --scratch)
#   --cv-train SPLIT   Common Voice: train (default) or validated (less dev and test)
#   --weights W        how model.onnx stores its weight matrices: fp16 (default), fp32, int8
#   --jobs N           parallel audio conversions (default 2)
#   --steps STEPS      only these steps, e.g. 1,2 or 4,5 (default 1,2,3,4,5)
#   --build DIR        the library's build folder (default build/ of this checkout)
# Needs: scripts/bootstrap --training, and the library built (cmake --build build).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
py=/usr/bin/python3
export OMP_WAIT_POLICY=PASSIVE OPENBLAS_NUM_THREADS=1

scratch=0 epochs="" lr="" cv_train=train weights=fp16 jobs=2 steps=1,2,3,4,5 build=$root/build
while [ $# -gt 0 ]; do
  case "$1" in
    --scratch) scratch=1; shift ;;
    --epochs) epochs=$2; shift 2 ;;
    --lr) lr=$2; shift 2 ;;
    --cv-train) cv_train=$2; shift 2 ;;
    --weights) weights=$2; shift 2 ;;
    --jobs) jobs=$2; shift 2 ;;
    --steps) steps=$2; shift 2 ;;
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    -h|--help) sed -n '2,/^set -e/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    --) break ;;
    -*) echo "byoc: unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ $# -ge 2 ] || { echo "usage: training/byoc.sh [OPTIONS] CORPUS_DIR WORK_DIR [-- TRAIN_OPTIONS]" >&2; exit 2; }
corpus=$1 work=$(mkdir -p "$2" && cd "$2" && pwd)
shift 2
[ "${1:-}" = "--" ] && shift
vocab=$root/assets/asr_vocab.txt
has_step() { case ",$steps," in *",$1,"*) return 0 ;; *) return 1 ;; esac; }
stage() { echo "== byoc: $1"; }

if has_step 1; then
  stage "1 prepare $corpus"
  $py "$here/prepare_corpus.py" --cv-train "$cv_train" --jobs "$jobs" "$corpus" "$work/data"
fi

splits=()
for m in "$work"/data/*.tsv; do
  case "$m" in *.dropped.tsv) ;; *) [ -e "$m" ] && splits+=("$(basename "$m" .tsv)") ;; esac
done
if has_step 2; then
  for s in "${splits[@]}"; do
    stage "2 features of $s"
    $py "$here/feats.py" --manifest "$work/data/$s.tsv" --feats "$work/feats/$s" \
        --tool "$build/tools/fbank/orvane-fbank"
  done
fi

if has_step 3; then
  if [ "$scratch" -eq 1 ]; then
    # the shape of the committed model, so that the library's recogniser runs it like its own
    start=(--layers 12 --ffn 768 --sorted-epochs 2 --warmup 300)
    epochs=${epochs:-60} lr=${lr:-1e-3}
  else
    # --hold: the step count carries on from the checkpoint's, and the rate is not to decay from there
    start=(--init "$here/checkpoint/final.pt" --warmup 200)
    epochs=${epochs:-10} lr=${lr:-1e-4}
  fi
  stage "3 training on $work/data/train.tsv (${epochs} epochs, peak rate $lr)"
  $py -u "$here/train.py" --vocab "$vocab" --manifest "$work/data/train.tsv" --feats "$work/feats/train" \
      --ckpt-dir "$work/ckpt" --epochs "$epochs" --peak-lr "$lr" --hold 100000000 --max-frames 5000 \
      "${start[@]}" "$@" 2>&1 | tee -a "$work/train.log"
fi

test_split=""
for s in test dev; do
  [ -s "$work/data/$s.tsv" ] && { test_split=$s; break; }
done

if has_step 4; then
  stage "4 export to $work/model"
  ref=()  # one utterance's logits, whole against streamed, as a check of the export
  if [ -n "$test_split" ]; then
    npy=$work/feats/$test_split/$(head -n1 "$work/data/$test_split.tsv" | cut -f1).npy
    [ -f "$npy" ] && ref=(--ref-feats "$npy")
  fi
  $py "$here/export.py" --ckpt "$work/ckpt/last.pt" --model-dir "$work/model" --vocab "$vocab" \
      --weights "$weights" --ref-dir "$work/check" "${ref[@]}"
fi

if has_step 5; then
  if [ -z "$test_split" ]; then
    echo "byoc: no test or dev split to evaluate on" >&2
  else
    args=(--backend lib --lib "$build/liborvane.so" --manifest "$work/data/$test_split.tsv"
          --sources /dev/null --show 3)
    stage "5 the committed model on $test_split"
    $py "$here/evaluate.py" "${args[@]}" --json "$work/eval_committed.json"
    stage "5 the new model ($work/model) on $test_split"
    $py "$here/evaluate.py" "${args[@]}" --model "$work/model" --json "$work/eval_model.json"
  fi
fi
