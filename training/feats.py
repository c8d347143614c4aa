"""Computes features for every WAV of a manifest with the library's own tool
(orvane-fbank --batch), skipping files already done.  With --follow it keeps
going while the manifest grows (synthesis still running) until --until-file
exists and everything is done.
"""
import argparse
import os
import subprocess
import sys
import time


def pending(manifest, feat_dir):
    out = []
    if not os.path.exists(manifest):
        return out
    for line in open(manifest, encoding="utf-8"):
        if not line.endswith("\n"):
            continue  # still being written
        p = line.rstrip("\n").split("\t")
        if len(p) < 8:
            continue
        npy = os.path.join(feat_dir, p[0] + ".npy")
        if not os.path.exists(npy):
            out.append((p[1], npy))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--manifest", required=True)
    ap.add_argument("--feats", required=True)
    ap.add_argument("--tool", default=os.path.join(os.path.dirname(__file__), "..", "build", "tools", "fbank",
                                                   "orvane-fbank"))
    ap.add_argument("--follow", action="store_true")
    ap.add_argument("--until-file", default="")
    args = ap.parse_args()
    os.makedirs(args.feats, exist_ok=True)
    while True:
        done_flag = args.until_file and os.path.exists(args.until_file)
        todo = pending(args.manifest, args.feats)
        if todo:
            lst = os.path.join(args.feats, "batch.lst")
            with open(lst, "w") as f:
                f.writelines("%s\t%s\n" % t for t in todo)
            t0 = time.time()
            rc = subprocess.run([args.tool, "--batch", lst]).returncode
            print("%d files, %.1f s, rc %d" % (len(todo), time.time() - t0, rc), flush=True)
        if not args.follow or (done_flag and not todo):
            break
        if not todo:
            time.sleep(20)


if __name__ == "__main__":
    sys.exit(main())
