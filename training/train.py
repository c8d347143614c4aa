"""Trains the streaming CTC model on the synthesised corpus.

Resumable: the state (model, optimiser, step, epoch, random state) is written to
--ckpt-dir/last.pt every --save-minutes minutes and after each epoch; a rerun
with the same arguments continues from it.  Utterances are re-scanned at the start
of every epoch, so training may begin while synthesis is still adding data.
"""
import argparse
import math
import os
import random
import signal
import sys
import time

import numpy as np
import torch
import torch.nn.functional as F

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from model import CHUNK_OUT, KERNEL, StreamingCtc  # noqa: E402
from vntext import WB, sentence_units, unit_tones  # noqa: E402


TONE_WARMUP = 500


def load_vocab(path):
    units = [l.rstrip("\n").split(" ")[0] for l in open(path, encoding="utf-8") if l.strip()]
    return units, {u: i for i, u in enumerate(units)}


def scan(manifests, feat_dirs, unit_id):
    items = []
    for man, fd in zip(manifests, feat_dirs):
        if not os.path.exists(man):
            continue
        for line in open(man, encoding="utf-8"):
            if not line.endswith("\n"):
                continue
            p = line.rstrip("\n").split("\t")
            if len(p) < 8:
                continue
            npy = os.path.join(fd, p[0] + ".npy")
            if not os.path.exists(npy):
                continue
            units = sentence_units(p[7])
            if units is None:
                continue
            items.append((p[0], npy, [unit_id.get(u, 1) for u in units], unit_tones(units)))
    return items


class FeatCache:
    def __init__(self):
        self.d = {}

    def get(self, path):
        x = self.d.get(path)
        if x is None:
            x = np.load(path)
            self.d[path] = x
        return x


def make_batches(items, cache, max_frames, rng, shuffle=True):
    lens = [(cache.get(it[1]).shape[0], k) for k, it in enumerate(items)]
    lens.sort()
    batches, cur, cur_max = [], [], 0
    for n, k in lens:
        m = max(cur_max, n)
        if cur and m * (len(cur) + 1) > max_frames:
            batches.append(cur)
            cur, m = [], n
        cur.append(k)
        cur_max = m
    if cur:
        batches.append(cur)
    if shuffle:
        rng.shuffle(batches)
    return batches


def ctc_per_utterance(logits, seqs, in_lens, chunk_bias=None):
    """CTC loss (blank 0) summed over frames, averaged over the batch; logits [B, T, C] (T whole chunks),
    seqs one target list per utterance.  `chunk_bias` [10, C] is added to the log-probabilities of every
    chunk: a negative entry makes every alignment that emits that unit at that frame less likely."""
    lp = F.log_softmax(logits, dim=-1)
    if chunk_bias is not None:
        lp = lp + chunk_bias.repeat(lp.shape[1] // CHUNK_OUT, 1)
    lp = lp.transpose(0, 1)
    return F.ctc_loss(lp, torch.tensor([u for y in seqs for u in y]), in_lens, torch.tensor([len(y) for y in seqs]),
                      blank=0, reduction="sum", zero_infinity=True) / len(seqs)


def late_rhyme_bias(units, late_frames, penalty):
    """[10, V] chunk bias for `ctc_per_utterance`: -penalty for every rhyme unit in the
    last `late_frames` output frames of a chunk.  Rhymes carry the tone; onsets (units that begin with
    U+2581), the blank and <unk> may be emitted anywhere."""
    rhyme = torch.tensor([i >= 2 and not u.startswith(WB) for i, u in enumerate(units)])
    late = torch.arange(CHUNK_OUT) >= CHUNK_OUT - late_frames
    return -penalty * (late[:, None] & rhyme[None, :]).float()


def spec_augment(x, mean, rng):
    t = x.shape[0]
    x = x.copy()
    for _ in range(2):
        w = rng.randint(0, 8)
        f0 = rng.randint(0, 80 - w)
        x[:, f0:f0 + w] = mean[f0:f0 + w]
    for _ in range(min(3, t // 100)):
        w = rng.randint(0, 15)
        t0 = rng.randint(0, max(0, t - w))
        x[t0:t0 + w] = mean
    return x


def lr_at(step, peak, warm, hold=0, start=0):
    """Linear warm-up to `peak` over `warm` steps after step `start` (where a fresh optimiser began),
    flat until step `hold`, then inverse square root decay."""
    step = max(step, 1)
    if step - start < warm:
        return peak * max(step - start, 1) / warm
    return peak * math.sqrt(max(warm, hold) / max(step, warm, hold))


def save(path, state):
    tmp = path + ".tmp"
    torch.save(state, tmp)
    os.replace(tmp, path)


def main():
    ap = argparse.ArgumentParser()
    here = os.path.dirname(os.path.abspath(__file__))
    ap.add_argument("--vocab", default=os.path.join(here, "work", "text", "units.txt"))
    ap.add_argument("--manifest", action="append", default=None)
    ap.add_argument("--feats", action="append", default=None)
    ap.add_argument("--ckpt-dir", default=os.path.join(here, "work", "ckpt"))
    ap.add_argument("--epochs", type=int, default=40)
    ap.add_argument("--max-frames", type=int, default=12000, help="padded feature frames per batch")
    ap.add_argument("--peak-lr", type=float, default=1.5e-3)
    ap.add_argument("--warmup", type=int, default=300)
    ap.add_argument("--layers", type=int, default=0,
                    help="encoder depth; default: that of the checkpoint it resumes or starts from, 6 for a new model")
    ap.add_argument("--ffn", type=int, default=0,
                    help="feed-forward hidden units; default: as the checkpoint it resumes or starts from, 384 for "
                         "a new model")
    ap.add_argument("--att-dim", type=int, default=0,
                    help="attention width, all heads together (at most 448); default: as the checkpoint it "
                         "resumes or starts from, the model width for a new model")
    ap.add_argument("--kernel", type=int, default=0,
                    help="depthwise convolution kernel in output frames (at most 31); default: as the "
                         "checkpoint it resumes or starts from, 15 for a new model")
    ap.add_argument("--pitch-ch", type=int, default=-1,
                    help="channels of the subsampling's full-frequency pitch path (0: none); default: as the "
                         "checkpoint it resumes or starts from, none for a new model")
    ap.add_argument("--lookahead", type=int, default=-1,
                    help="chunks after its own that every layer may attend to (a trial of right context: such a "
                         "model cannot be exported for streaming); default: as the checkpoint, 0 for a new model")
    ap.add_argument("--new-lr", type=float, default=0.0,
                    help="peak learning rate of the weights that --init's checkpoint lacks (added layers, a "
                         "pitch path), which start from nothing while the rest is fine-tuned; default --peak-lr")
    ap.add_argument("--sorted-epochs", type=int, default=1)
    ap.add_argument("--subset", type=int, default=0,
                    help="use only this many utterances (a fixed random choice): a small set that the model "
                         "can only fit by listening gets CTC out of its blank/prior plateau quickly")
    ap.add_argument("--max-steps", type=int, default=0)
    ap.add_argument("--init", default="", help="start from the weights of this checkpoint (e.g. the committed "
                                               "checkpoint/final.pt) when --ckpt-dir holds no last.pt; a checkpoint "
                                               "smaller than --layers/--ffn/--att-dim/--kernel is grown")
    ap.add_argument("--hold", type=int, default=0, help="keep the peak learning rate up to this step")
    ap.add_argument("--max-len", type=int, default=0,
                    help="only utterances of at most this many feature frames (curriculum: short first)")
    ap.add_argument("--seed", type=int, default=9)
    ap.add_argument("--dropout", type=float, default=0.1)
    ap.add_argument("--no-specaug", action="store_true",
                    help="no SpecAugment masks (for a model that underfits: the audio keeps its noise)")
    ap.add_argument("--tone-weight", type=float, default=0.0,
                    help="weight of an auxiliary CTC loss on the syllables' tones alone, from a linear classifier "
                         "on the output of --tone-layer (trained here, not exported): tone becomes one 6-way "
                         "decision shared by all rhymes instead of 666 separate ones")
    ap.add_argument("--tone-lr", type=float, default=1e-3,
                    help="constant learning rate of the tone classifier: a fresh linear layer learns far too "
                         "slowly at the rate of a trained model's last phases")
    ap.add_argument("--tone-layer", type=int, default=-1, help="encoder layer the tone classifier reads "
                                                               "(0-based; -1: the last)")
    ap.add_argument("--late-penalty", type=float, default=0.0,
                    help="log-probability taken off every rhyme unit emitted in the last --late-frames output "
                         "frames of a chunk, in training only: those frames have heard at most 30-110 ms of "
                         "what follows, too little for the end of a tone's pitch contour, so the model learns "
                         "to hold such rhymes until the first frames of the next chunk")
    ap.add_argument("--late-frames", type=int, default=3)
    ap.add_argument("--threads", type=int, default=2)
    ap.add_argument("--save-minutes", type=float, default=5.0)
    ap.add_argument("--stop-at", default="", help="UTC HH:MM (the next time it comes, even past midnight); "
                                                  "stop and save when reached")
    args = ap.parse_args()
    deadline = None
    if args.stop_at:
        hh, mm = (int(x) for x in args.stop_at.split(":"))
        now = time.time()
        deadline = now - now % 86400 + hh * 3600 + mm * 60
        if deadline <= now:
            deadline += 86400
    # SIGTERM or Ctrl-C ends the run at the next step boundary, with last.pt saved
    stop_signal = []
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda num, frame: stop_signal.append(num))
    manifests = args.manifest or [os.path.join(here, "work", "train.tsv")]
    feat_dirs = args.feats or [os.path.join(here, "work", "feats", "train")]

    torch.set_num_threads(args.threads)
    torch.manual_seed(args.seed)
    os.makedirs(args.ckpt_dir, exist_ok=True)
    units, unit_id = load_vocab(args.vocab)
    cache = FeatCache()
    last = os.path.join(args.ckpt_dir, "last.pt")
    resuming = os.path.exists(last)
    st = torch.load(last) if resuming else torch.load(args.init) if args.init else None
    # the starting checkpoint's settings, with the defaults of the keys that older checkpoints lack
    saved = {"layers": 6, "ffn": 384, "pitch_ch": 0, "lookahead": 0, "att_dim": 0, "kernel": KERNEL,
             **(st["cfg"] if st else {})}
    saved["att_dim"] = saved["att_dim"] or saved.get("d", 0)
    layers = args.layers or saved["layers"]
    ffn = args.ffn or saved["ffn"]
    pitch_ch = args.pitch_ch if args.pitch_ch >= 0 else saved["pitch_ch"]
    lookahead = args.lookahead if args.lookahead >= 0 else saved["lookahead"]
    att_dim = args.att_dim or saved["att_dim"]
    kernel = args.kernel or saved["kernel"]
    model = StreamingCtc(len(units), layers=layers, ffn=ffn, dropout=args.dropout, pitch_ch=pitch_ch,
                         lookahead=lookahead, att_dim=att_dim, kernel=kernel)
    # weights that the starting checkpoint lacks form a second parameter group with its own rate
    new_params = st.get("new_params", []) if resuming else (
        sorted(set(n for n, _ in model.named_parameters()) - set(st["model"])) if st else [])
    named = dict(model.named_parameters())
    groups = [{"params": [p for n, p in named.items() if n not in new_params]}]
    if new_params:
        groups.append({"params": [named[n] for n in new_params]})
    opt = torch.optim.Adam(groups, lr=args.peak_lr, betas=(0.9, 0.98), eps=1e-9, weight_decay=1e-6)
    lr_scale = [1.0, (args.new_lr or args.peak_lr) / args.peak_lr]
    # its own optimiser, so that the model's optimiser state stays loadable when it is switched on or off
    tone_head = torch.nn.Linear(model.cfg["d"], 7)
    tone_opt = torch.optim.Adam(tone_head.parameters(), lr=args.tone_lr, betas=(0.9, 0.98), eps=1e-9)
    tone_tap = args.tone_layer % layers if args.tone_weight > 0 else None
    tone_steps = 0  # steps the tone classifier has trained; the first TONE_WARMUP do not reach the encoder
    step, epoch, opt_start = 0, 0, 0
    rng = random.Random(args.seed)
    if resuming:
        model.load_state_dict(st["model"])
        opt.load_state_dict(st["opt"])
        step, epoch = st["step"], st["epoch"]
        opt_start = st.get("opt_start", 0)
        rng.setstate(st["rng"])
        if "tone_head" in st:
            tone_head.load_state_dict(st["tone_head"])
            tone_opt.load_state_dict(st["tone_opt"])
            tone_steps = st.get("tone_steps", 0)
            for g in tone_opt.param_groups:  # the rate asked for now, not the one saved
                g["lr"] = args.tone_lr
        print("resumed from step %d epoch %d" % (step, epoch), flush=True)
    elif args.init:
        if any(saved[k] < model.cfg[k] for k in ("layers", "ffn", "pitch_ch", "att_dim", "kernel")):
            print("grown from %d to %d layers, feed-forward %d to %d, pitch path %d to %d channels, attention "
                  "%d to %d, kernel %d to %d" % (model.load_grown(st["model"]), layers, saved["ffn"], ffn,
                                                saved["pitch_ch"], pitch_ch, saved["att_dim"], att_dim,
                                                saved["kernel"], kernel), flush=True)
        else:
            model.load_state_dict(st["model"])
        # the step count carries on, but the new optimiser still needs its warm-up
        step = opt_start = st.get("step", 0)
        print("initialised from %s (step %d); new optimiser" % (args.init, step), flush=True)
    else:
        items = scan(manifests, feat_dirs, unit_id)
        sample = np.concatenate([cache.get(it[1]) for it in items[:800]])
        # statistics of frames above the energy floor: digital silence (every filter at -23) would
        # otherwise double the spread and shrink the speech contrast the model sees
        sample = sample[sample.max(1) > -20.0]
        model.feat_mean.copy_(torch.from_numpy(sample.mean(0)))
        model.feat_istd.copy_(torch.from_numpy(1.0 / np.maximum(sample.std(0), 0.5)))
        print("feature stats from %d utterances" % min(800, len(items)), flush=True)
    mean_np = model.feat_mean.numpy().copy()

    def state():
        return {"model": model.state_dict(), "opt": opt.state_dict(), "step": step, "epoch": epoch,
                "opt_start": opt_start, "rng": rng.getstate(), "cfg": model.cfg, "vocab_size": len(units),
                "new_params": new_params,
                "tone_head": tone_head.state_dict(), "tone_opt": tone_opt.state_dict(), "tone_steps": tone_steps}

    late_bias = late_rhyme_bias(units, args.late_frames, args.late_penalty) if args.late_penalty > 0 else None

    last_save = time.time()
    while epoch < args.epochs:
        items = scan(manifests, feat_dirs, unit_id)
        if args.max_len:
            items = [it for it in items if cache.get(it[1]).shape[0] <= args.max_len]
        if args.subset:
            items = random.Random(args.seed).sample(items, min(args.subset, len(items)))
        # the first epochs go from short to long utterances: CTC finds its alignments much sooner
        batches = make_batches(items, cache, args.max_frames, rng, shuffle=epoch >= args.sorted_epochs)
        total_sec = sum(cache.get(it[1]).shape[0] for it in items) / 100.0
        print("epoch %d: %d utterances, %.2f h, %d batches" % (epoch, len(items), total_sec / 3600, len(batches)),
              flush=True)
        model.train()
        t0, audio, loss_sum, tone_sum, nb = time.time(), 0.0, 0.0, 0.0, 0
        for bi, b in enumerate(batches):
            xs = [cache.get(items[k][1]) if args.no_specaug else spec_augment(cache.get(items[k][1]), mean_np, rng)
                  for k in b]
            ys = [items[k][2] for k in b]
            tmax = max(x.shape[0] for x in xs)
            # pad with the raw-feature mean would change what the model sees at the real end of an
            # utterance; pad with zeros like the library's last chunk does
            feats = torch.zeros(len(xs), tmax, 80)
            for i, x in enumerate(xs):
                feats[i, :x.shape[0]] = torch.from_numpy(x)
            in_lens = torch.tensor([StreamingCtc.num_out_frames(x.shape[0]) for x in xs])
            lr = lr_at(step + 1, args.peak_lr, args.warmup, args.hold, opt_start)
            for g, scale in zip(opt.param_groups, lr_scale):
                g["lr"] = lr * scale
            if tone_tap is None:
                logits = model(feats)
            else:
                logits, hidden = model(feats, tap=tone_tap)
            loss = ctc_per_utterance(logits, ys, in_lens, late_bias)
            total = loss
            if tone_tap is not None:
                # a fresh classifier's loss is large and its gradient noise: it learns on its own first
                if tone_steps < TONE_WARMUP:
                    hidden = hidden.detach()
                tone_loss = ctc_per_utterance(tone_head(hidden), [items[k][3] for k in b], in_lens)
                total = loss + args.tone_weight * tone_loss
                tone_sum += tone_loss.item()
            opt.zero_grad()
            tone_opt.zero_grad()
            total.backward()
            torch.nn.utils.clip_grad_norm_(model.parameters(), 5.0)
            opt.step()
            if tone_tap is not None:
                tone_opt.step()
                tone_steps += 1
            step += 1
            audio += sum(x.shape[0] for x in xs) / 100.0
            loss_sum += loss.item()
            nb += 1
            if step % 20 == 0:
                el = time.time() - t0
                print("step %d ep %d [%d/%d] loss %.3f%s lr %.2e  %.0f s audio in %.0f s (%.3f s/s)"
                      % (step, epoch, bi + 1, len(batches), loss_sum / nb,
                         "" if tone_tap is None else " tone %.3f" % (tone_sum / nb), lr, audio, el,
                         el / max(audio, 1)), flush=True)
                loss_sum, tone_sum, nb = 0.0, 0.0, 0
            if time.time() - last_save > args.save_minutes * 60:
                save(last, state())
                last_save = time.time()
            if args.max_steps and step >= args.max_steps:
                save(last, state())
                print("step limit reached at step %d" % step, flush=True)
                return
            if (deadline and time.time() >= deadline) or stop_signal:
                save(last, state())
                print("%s at step %d" % ("stopped by signal" if stop_signal else "stop time reached", step), flush=True)
                return
        epoch += 1
        save(last, state())
        save(os.path.join(args.ckpt_dir, "epoch%03d.pt" % epoch), {"model": model.state_dict(), "cfg": model.cfg,
                                                                     "step": step, "epoch": epoch})
        last_save = time.time()
        print("epoch %d done, step %d, %.0f s" % (epoch, step, time.time() - t0), flush=True)


if __name__ == "__main__":
    main()
