"""Exports a checkpoint to ONNX (opset 17) with the library's model contract and
copies the vocabulary next to it; writes reference logits for the streaming check.

  export.py --ckpt work/ckpt/last.pt --out ../assets/asr_model.onnx --vocab-out ../assets/asr_vocab.txt
  export.py --ckpt work/ckpt/last.pt --model-dir my-model   # a folder for "model_dir" / --model

The file's metadata records what the library cannot read off the tensor shapes (feature settings,
time subsampling; see METADATA); a model without it gets the same values as defaults.

--weights fp16 or int8 stores the large weight matrices in 16 or 8 bits, each behind a Cast or
DequantizeLinear node that restores float32 when the session is created. The checkpoint's weights
are first rounded to what the file can hold, and the reference logits come from those rounded
weights, so the streaming check compares the library with the model that the file really holds.
"""
import argparse
import os
import shutil
import sys

import numpy as np
import onnx
import torch

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from model import CHUNK_IN, CHUNK_OUT, StepWrapper, StreamingCtc, stream, zero_caches  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


# Tensors smaller than this stay float32: norms, biases and position biases are a few kB in all,
# and they are where rounding would cost the most.
MIN_STORED = 4096
INT8_MAX = 127

# Model metadata the library reads (ModelGeometry): the features the model was trained on, as the
# library's filterbank computes them, and the output frames per chunk of CHUNK_IN feature frames.
METADATA = {
    "sample_rate": 16000,
    "num_mel_bins": 80,
    "frame_length_ms": 25,
    "frame_shift_ms": 10,
    "subsampling": 4,
    "chunk_frames": CHUNK_IN,
    "output_frames": CHUNK_OUT,
}


def add_metadata(mp):
    """Writes METADATA into the model's metadata as decimal texts, replacing earlier values."""
    onnx.helper.set_model_props(mp, {k: str(v) for k, v in METADATA.items()})


def load(ckpt, weights="fp32"):
    st = torch.load(ckpt, map_location="cpu")
    cfg = dict(st["cfg"])
    cfg["dropout"] = 0.0
    m = StreamingCtc(**cfg)
    m.load_state_dict(st["model"])
    round_weights(m, weights)
    return m.eval(), st


def int8_quantise(w, axis):
    """Per-channel int8 values and float32 scales along `axis` (the others reduced); the largest
    magnitude of each channel maps to 127. Returns (q, scale), scale shaped to broadcast against q."""
    other = tuple(a for a in range(w.ndim) if a != axis)
    scale = np.abs(w).max(axis=other, keepdims=True) / np.float32(INT8_MAX)
    scale = np.where(scale > 0, scale, np.float32(1.0)).astype(np.float32)
    return np.clip(np.rint(w / scale), -INT8_MAX, INT8_MAX), scale


def round_weights(model, weights):
    """Rounds the model's weight matrices in place to the values a `weights` file stores: fp16, or
    int8 times a float32 scale per output channel (dimension 0 of PyTorch's Linear and Conv)."""
    if weights == "fp32":
        return
    with torch.no_grad():
        for p in model.parameters():
            if p.dim() < 2 or p.numel() < MIN_STORED:
                continue
            if weights == "fp16":
                p.copy_(p.half().float())
            elif weights == "int8":
                q, scale = int8_quantise(p.numpy(), 0)
                p.copy_(torch.from_numpy((q * scale).astype(np.float32)))
            else:
                raise ValueError("unknown weight storage %r" % weights)


def compact_initializers(mp, weights):
    """Replaces each large float32 initializer by a 16- or 8-bit one and the node that restores it.
    The exporter may have transposed a weight (MatMul takes [in, out]), so for int8 the channel axis
    is the one whose per-channel scales give back the rounded values; a tensor that no axis
    reproduces to 1e-6 of its range stays float32. Returns the number of tensors converted."""
    from onnx import TensorProto, helper, numpy_helper
    if weights == "fp32":
        return 0
    keep, restore, converted = [], [], 0
    for init in mp.graph.initializer:
        w = numpy_helper.to_array(init)
        if init.data_type != TensorProto.FLOAT or w.ndim < 2 or w.size < MIN_STORED:
            keep.append(init)
            continue
        name = init.name
        if weights == "fp16":
            half = w.astype(np.float16)
            if not np.array_equal(half.astype(np.float32), w):
                keep.append(init)
                continue
            keep.append(numpy_helper.from_array(half, name + "_fp16"))
            restore.append(helper.make_node("Cast", [name + "_fp16"], [name], to=TensorProto.FLOAT,
                                            name=name + "_restore"))
        else:
            best = None
            for axis in range(w.ndim):
                q, scale = int8_quantise(w, axis)
                err = np.abs(q * scale - w).max()
                if best is None or err < best[0]:
                    best = (err, axis, scale, q)
            err, axis, scale, q = best
            if err > 1e-6 * max(np.abs(w).max(), 1e-30):
                keep.append(init)
                continue
            keep += [numpy_helper.from_array(q.astype(np.int8), name + "_q"),
                     numpy_helper.from_array(scale.reshape(-1), name + "_scale"),
                     numpy_helper.from_array(np.zeros(scale.size, np.int8), name + "_zero")]
            restore.append(helper.make_node("DequantizeLinear", [name + "_q", name + "_scale", name + "_zero"],
                                            [name], axis=axis, name=name + "_restore"))
        converted += 1
    del mp.graph.initializer[:]
    mp.graph.initializer.extend(keep)
    nodes = restore + list(mp.graph.node)
    del mp.graph.node[:]
    mp.graph.node.extend(nodes)
    return converted


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--ckpt", default=os.path.join(HERE, "work", "ckpt", "last.pt"))
    ap.add_argument("--out", default=os.path.join(HERE, "..", "assets", "asr_model.onnx"))
    ap.add_argument("--vocab", default=os.path.join(HERE, "work", "text", "units.txt"))
    ap.add_argument("--vocab-out", default=os.path.join(HERE, "..", "assets", "asr_vocab.txt"))
    ap.add_argument("--model-dir", help="write DIR/model.onnx and DIR/units.txt instead of --out and --vocab-out")
    ap.add_argument("--ref-dir", default=os.path.join(HERE, "work", "check"))
    ap.add_argument("--ref-feats", nargs="*", default=[], help="feature .npy files for reference logits")
    ap.add_argument("--weights", choices=["fp32", "fp16", "int8"], default="fp32",
                    help="how the file stores the weight matrices")
    args = ap.parse_args()
    if args.model_dir:
        args.out = os.path.join(args.model_dir, "model.onnx")
        args.vocab_out = os.path.join(args.model_dir, "units.txt")
    torch.set_num_threads(1)
    m, st = load(args.ckpt, args.weights)
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
    converted = compact_initializers(mp, args.weights)
    add_metadata(mp)
    mp.doc_string = "Streaming CTC model for liborvane, trained by training/train.py (step %d, %s weights)" % (
        st.get("step", 0), args.weights)
    onnx.checker.check_model(mp)
    names_in = [i.name for i in mp.graph.input]
    names_out = [o.name for o in mp.graph.output]
    assert names_in == ["chunk", "offset", "att_cache", "cnn_cache"], names_in
    assert names_out == ["output", "r_att_cache", "r_cnn_cache"], names_out
    onnx.save(mp, tmp)
    os.replace(tmp, args.out)
    shutil.copyfile(args.vocab, args.vocab_out)
    print("wrote %s (%d bytes, %d nodes, %d weight tensors in %s), vocabulary %d units" % (
        args.out, os.path.getsize(args.out), len(mp.graph.node), converted, args.weights, len(vocab_lines)))

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
