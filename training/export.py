"""Exports a checkpoint to ONNX (opset 17) with the library's model contract and
copies the vocabulary next to it; writes reference logits for the streaming check.

  export.py --ckpt work/ckpt/last.pt --out ../assets/asr_model.onnx --vocab-out ../assets/asr_vocab.txt
"""
import argparse
import os
import shutil
import sys

import numpy as np
import onnx
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from model import StepWrapper, StreamingCtc, stream, zero_caches  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def load(ckpt):
    st = torch.load(ckpt, map_location="cpu")
    cfg = dict(st["cfg"])
    cfg["dropout"] = 0.0
    m = StreamingCtc(**cfg)
    m.load_state_dict(st["model"])
    return m.eval(), st


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ckpt", default=os.path.join(HERE, "work", "ckpt", "last.pt"))
    ap.add_argument("--out", default=os.path.join(HERE, "..", "assets", "asr_model.onnx"))
    ap.add_argument("--vocab", default=os.path.join(HERE, "work", "text", "units.txt"))
    ap.add_argument("--vocab-out", default=os.path.join(HERE, "..", "assets", "asr_vocab.txt"))
    ap.add_argument("--ref-dir", default=os.path.join(HERE, "work", "check"))
    ap.add_argument("--ref-feats", nargs="*", default=[], help="feature .npy files for reference logits")
    args = ap.parse_args()
    torch.set_num_threads(1)
    m, st = load(args.ckpt)
    vocab_lines = [l for l in open(args.vocab, encoding="utf-8").read().split("\n") if l]
    assert len(vocab_lines) == m.cfg["vocab"], "vocabulary and model output width differ"

    att, cnn = zero_caches()
    ex = (torch.zeros(1, 43, 80), torch.zeros(1, 1, dtype=torch.int64), att, cnn)
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    tmp = args.out + ".tmp"
    with torch.no_grad():
        torch.onnx.export(StepWrapper(m), ex, tmp, opset_version=17, do_constant_folding=True,
                          input_names=["chunk", "offset", "att_cache", "cnn_cache"],
                          output_names=["output", "r_att_cache", "r_cnn_cache"])
    mp = onnx.load(tmp)
    mp.doc_string = "Streaming CTC model for liborvane, trained by training/train.py (step %d)" % st.get("step", 0)
    onnx.checker.check_model(mp)
    names_in = [i.name for i in mp.graph.input]
    names_out = [o.name for o in mp.graph.output]
    assert names_in == ["chunk", "offset", "att_cache", "cnn_cache"], names_in
    assert names_out == ["output", "r_att_cache", "r_cnn_cache"], names_out
    onnx.save(mp, tmp)
    os.replace(tmp, args.out)
    shutil.copyfile(args.vocab, args.vocab_out)
    print("wrote %s (%d bytes, %d nodes), vocabulary %d units" % (args.out, os.path.getsize(args.out),
                                                                 len(mp.graph.node), len(vocab_lines)))

    os.makedirs(args.ref_dir, exist_ok=True)
    pairs = []
    with torch.no_grad():
        for k, f in enumerate(args.ref_feats):
            x = torch.from_numpy(np.load(f))
            full = m(x.unsqueeze(0))[0][:StreamingCtc.num_out_frames(x.shape[0])]
            st_out = stream(m, x)
            print("%s: pytorch full vs pytorch streaming max diff %.3g" % (os.path.basename(f),
                                                                         (full - st_out).abs().max().item()))
            ref = os.path.join(args.ref_dir, "ref%02d.npy" % k)
            np.save(ref, full.numpy().astype(np.float32))
            pairs += [f, ref]
    if pairs:
        with open(os.path.join(args.ref_dir, "pairs.txt"), "w") as fh:
            fh.write(" ".join(pairs) + "\n")


if __name__ == "__main__":
    main()
