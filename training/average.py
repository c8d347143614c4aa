"""Averages the weights of several checkpoints of one run into a weights-only checkpoint.

Checkpoints saved a few hundred steps apart at a low learning rate sit around the same minimum;
their mean usually lies closer to it than any one of them.

  average.py --out work/ckpt/avg.pt work/ckpt/run4_a.pt work/ckpt/run4_b.pt work/ckpt/last.pt
"""
import argparse

import torch


def average(paths):
    """Returns the newest checkpoint's metadata with every floating-point tensor replaced by the
    mean over `paths`; integer buffers (batch counters) are taken from the newest one."""
    states = [torch.load(p, map_location="cpu") for p in paths]
    newest = max(states, key=lambda st: st["step"])
    for st in states:
        if st["cfg"] != newest["cfg"] or st["model"].keys() != newest["model"].keys():
            raise SystemExit("checkpoints of different models cannot be averaged")
    model = {}
    for name, value in newest["model"].items():
        if value.is_floating_point():
            model[name] = sum(st["model"][name].double() for st in states).div(len(states)).to(value.dtype)
        else:
            model[name] = value.clone()
    out = {"model": model, "cfg": newest["cfg"], "step": newest["step"], "epoch": newest["epoch"],
           "averaged": [st["step"] for st in states]}
    # the end-of-epoch files (epochNNN.pt) are weights only, without the vocabulary size
    sizes = {st["vocab_size"] for st in states if "vocab_size" in st}
    if len(sizes) > 1:
        raise SystemExit("checkpoints of different vocabularies cannot be averaged")
    if sizes:
        out["vocab_size"] = sizes.pop()
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("ckpts", nargs="+")
    args = ap.parse_args()
    out = average(args.ckpts)
    torch.save(out, args.out)
    print("averaged steps %s into %s" % (out["averaged"], args.out))


if __name__ == "__main__":
    main()
