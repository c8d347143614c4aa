"""Streaming conformer-style CTC encoder.

The library runs the model one chunk at a time: 43 feature frames in, 10 output
frames out, with the state carried in two caches.  `forward` computes the same
thing over a whole (batched) utterance at once, for training; `step` is the
per-chunk function that is exported to ONNX.  Both give the same numbers:

* subsampling is chunk-local (two 3x3 stride-2 convolutions without time
  padding, 43 -> 21 -> 10 frames), so the utterance is cut into 43-frame chunks
  exactly as the library cuts its feature stream (the last chunk zero-padded);
* self-attention is block causal: a frame of chunk c sees all frames of chunk c
  and the 40 frames (4 chunks) before it, the keys and values that the
  attention cache carries; relative position biases depend only on distance;
* the depthwise convolution is causal with kernel K (15 by default, at most
  31), its K-1 frames of left context being what the convolution cache carries
  (zeros at stream start).

Cache layout (contract of the library, model state only):
  att_cache [1, 12, 4, 40, 224]: [0, layer, head, frame, 0:dk] keys, [.., dk:2dk]
      values (dk = att_dim / 4, 36 for the default width 144, at most 112), oldest
      frame first; layers >= num_layers and values 2dk: stay zero.
  cnn_cache [1, 12, 448, 30]: [0, layer, 0:d, 31-K:30] the last K-1 inputs of the
      depthwise convolution; everything else zero.
  offset [1, 1] int64: output frames produced so far; cache frames that lie
      before the start of the stream are masked out with it.
"""
import math

import torch
import torch.nn as nn
import torch.nn.functional as F

CHUNK_IN = 43
CHUNK_OUT = 10
LEFT = 40          # attention frames carried in the cache
KERNEL = 15        # default depthwise convolution kernel, KERNEL-1 frames carried in the cache
NEG = -1e9

CACHE_LAYERS = 12
CACHE_HEADS = 4
CACHE_KV = 224
CACHE_CH = 448
CACHE_T = 30


class Subsample(nn.Module):
    """[N, 43, 80] normalised features -> [N, 10, d].

    The main path halves time and frequency twice. With `pitch_ch` > 0 a second path reads the
    lowest `pitch_bins` mel bands (up to about 1.7 kHz for 40: the first harmonics of the voice)
    at full frequency resolution, halving time only, so that small shifts of the harmonics (the
    pitch contour that carries a syllable's tone) are not averaged away by the frequency stride.
    Its output projection starts at zero: added to a trained model, the path changes nothing
    until it has learnt something."""

    def __init__(self, d, ch=64, n_mels=80, pitch_ch=0, pitch_bins=40):
        super().__init__()
        self.conv1 = nn.Conv2d(1, ch, 3, stride=2)
        self.conv2 = nn.Conv2d(ch, ch, 3, stride=2)
        f = ((n_mels - 1) // 2 - 1) // 2
        self.out = nn.Linear(ch * f, d)
        self.pitch_bins = pitch_bins
        if pitch_ch:
            self.pitch1 = nn.Conv2d(1, pitch_ch, 3, stride=(2, 1))
            self.pitch2 = nn.Conv2d(pitch_ch, pitch_ch, 3, stride=(2, 1))
            self.pitch_out = nn.Linear(pitch_ch * (pitch_bins - 4), d)
            nn.init.zeros_(self.pitch_out.weight)
            nn.init.zeros_(self.pitch_out.bias)
        else:
            self.pitch1 = None

    @staticmethod
    def flatten(x):  # [N, C, T, F] -> [N, T, C*F]
        n, c, t, f = x.shape
        return x.permute(0, 2, 1, 3).reshape(n, t, c * f)

    def forward(self, x):
        y = F.relu(self.conv1(x.unsqueeze(1)))
        y = self.out(self.flatten(F.relu(self.conv2(y))))
        if self.pitch1 is not None:
            p = F.relu(self.pitch1(x[:, :, :self.pitch_bins].unsqueeze(1)))
            y = y + self.pitch_out(self.flatten(F.relu(self.pitch2(p))))
        return y


class FeedForward(nn.Module):
    def __init__(self, d, hidden, dropout):
        super().__init__()
        self.norm = nn.LayerNorm(d)
        self.l1 = nn.Linear(d, hidden)
        self.l2 = nn.Linear(hidden, d)
        self.drop = nn.Dropout(dropout)

    def forward(self, x):
        return self.l2(self.drop(F.silu(self.l1(self.norm(x)))))


class Attention(nn.Module):
    """`att_dim` (a multiple of `heads`) is the width of the queries, keys and values of all heads
    together; the residual stream stays `d` wide."""

    def __init__(self, d, heads, dropout, att_dim=0):
        super().__init__()
        att_dim = att_dim or d
        self.h, self.dk = heads, att_dim // heads
        self.norm = nn.LayerNorm(d)
        self.qkv = nn.Linear(d, 3 * att_dim)
        self.out = nn.Linear(att_dim, d)
        self.drop = nn.Dropout(dropout)
        # bias per head and distance q-k in [-(CHUNK_OUT-1), LEFT+CHUNK_OUT-1]
        self.rel = nn.Parameter(torch.zeros(heads, LEFT + 2 * CHUNK_OUT - 1))

    def project(self, x):
        b, t, _ = x.shape
        q, k, v = self.qkv(self.norm(x)).view(b, t, 3, self.h, self.dk).permute(2, 0, 3, 1, 4)
        return q, k, v  # each [B, H, T, dk]

    def attend(self, q, k, v, bias):
        s = torch.matmul(q, k.transpose(-1, -2)) * (1.0 / math.sqrt(self.dk)) + bias
        p = self.drop(torch.softmax(s, dim=-1))
        o = torch.matmul(p, v)
        b, h, t, dk = o.shape
        return self.out(o.transpose(1, 2).reshape(b, t, h * dk))

    def forward(self, x, mask_bias, dist_idx):
        q, k, v = self.project(x)
        bias = self.rel[:, dist_idx] + mask_bias  # [H, T, T]
        return self.attend(q, k, v, bias.unsqueeze(0))

    def step(self, x, k_cache, v_cache, cache_mask):
        q, k, v = self.project(x)                      # [1, H, 10, dk]
        kk = torch.cat([k_cache, k], dim=2)            # [1, H, 50, dk]
        vv = torch.cat([v_cache, v], dim=2)
        i = torch.arange(CHUNK_OUT).unsqueeze(1)
        j = torch.arange(LEFT + CHUNK_OUT).unsqueeze(0)
        idx = i - j + LEFT + CHUNK_OUT - 1             # distance + (CHUNK_OUT-1)
        bias = self.rel[:, idx] + cache_mask           # [H, 10, 50]
        return self.attend(q, kk, vv, bias.unsqueeze(0)), kk[:, :, CHUNK_OUT:], vv[:, :, CHUNK_OUT:]


class ConvModule(nn.Module):
    def __init__(self, d, dropout, kernel=KERNEL):
        super().__init__()
        self.kernel = kernel
        self.norm = nn.LayerNorm(d)
        self.pw1 = nn.Linear(d, 2 * d)
        self.dw = nn.Conv1d(d, d, kernel, groups=d)
        self.norm2 = nn.LayerNorm(d)
        self.pw2 = nn.Linear(d, d)
        self.drop = nn.Dropout(dropout)

    def post(self, y):  # y [B, d, T]
        y = F.silu(self.norm2(self.dw(y).transpose(1, 2)))
        return self.drop(self.pw2(y))

    def pre(self, x):
        return F.glu(self.pw1(self.norm(x)), dim=-1).transpose(1, 2)  # [B, d, T]

    def forward(self, x):
        y = self.pre(x)
        return self.post(F.pad(y, (self.kernel - 1, 0)))

    def step(self, x, cache):  # cache [1, d, kernel-1]
        y = torch.cat([cache, self.pre(x)], dim=2)
        return self.post(y), y[:, :, -(self.kernel - 1):]


class Layer(nn.Module):
    def __init__(self, d, heads, ffn, dropout, att_dim=0, kernel=KERNEL):
        super().__init__()
        self.ff1 = FeedForward(d, ffn, dropout)
        self.att = Attention(d, heads, dropout, att_dim)
        self.conv = ConvModule(d, dropout, kernel)
        self.ff2 = FeedForward(d, ffn, dropout)
        self.norm = nn.LayerNorm(d)
        self.drop = nn.Dropout(dropout)

    def forward(self, x, mask_bias, dist_idx):
        x = x + 0.5 * self.drop(self.ff1(x))
        x = x + self.drop(self.att(x, mask_bias, dist_idx))
        x = x + self.conv(x)
        x = x + 0.5 * self.drop(self.ff2(x))
        return self.norm(x)

    def step(self, x, k_cache, v_cache, cache_mask, conv_cache):
        x = x + 0.5 * self.ff1(x)
        a, k_new, v_new = self.att.step(x, k_cache, v_cache, cache_mask)
        x = x + a
        c, conv_new = self.conv.step(x, conv_cache)
        x = x + c
        x = x + 0.5 * self.ff2(x)
        return self.norm(x), k_new, v_new, conv_new


class StreamingCtc(nn.Module):
    def __init__(self, vocab, d=144, heads=4, layers=6, ffn=384, sub_ch=64, dropout=0.1, pitch_ch=0, lookahead=0,
                 att_dim=0, kernel=KERNEL):
        """`lookahead` > 0 lets every layer attend to that many chunks after its own: a trial of what right
        context is worth. Such a model is not causal; it can be trained and evaluated whole, never streamed.
        `att_dim` (default `d`) is the attention's inner width, `kernel` the depthwise convolution's: both may
        grow up to what the caches hold (keys and values of 112 per head, 30 frames) without widening the
        residual stream."""
        super().__init__()
        att_dim = att_dim or d
        assert layers <= CACHE_LAYERS and heads == CACHE_HEADS and att_dim % heads == 0
        assert 2 * (att_dim // heads) <= CACHE_KV and d <= CACHE_CH and 2 <= kernel <= CACHE_T + 1
        self.cfg = dict(vocab=vocab, d=d, heads=heads, layers=layers, ffn=ffn, sub_ch=sub_ch, dropout=dropout,
                        pitch_ch=pitch_ch, lookahead=lookahead, att_dim=att_dim, kernel=kernel)
        self.register_buffer("feat_mean", torch.zeros(80))
        self.register_buffer("feat_istd", torch.ones(80))
        self.sub = Subsample(d, sub_ch, pitch_ch=pitch_ch)
        self.layers = nn.ModuleList([Layer(d, heads, ffn, dropout, att_dim, kernel) for _ in range(layers)])
        self.head = nn.Linear(d, vocab)
        self.drop = nn.Dropout(dropout)

    def load_grown(self, state):
        """Loads the weights of a smaller model of the same width: fewer layers, narrower feed-forward
        blocks or attention, a shorter convolution kernel, or several of these. The missing layers go on
        top; their residual branches start at zero and their closing norm copies the last trained layer's.
        The extra hidden units of a feed-forward block keep their random input weights but get zero output
        weights; wider attention heads are grown by `grow_qkv`; a longer kernel gets zero weights for the
        older frames. A pitch path (`pitch_ch`) that the
        trained model lacks keeps its fresh weights, its output projection at zero. So the grown model
        computes exactly what the trained one did, and the new weights learn from there."""
        own = self.state_dict()
        trained = 1 + max(int(k.split(".")[1]) for k in state if k.startswith("layers."))
        if trained > len(self.layers) or set(state) - set(own) or any(
                state[k].dim() != own[k].dim() or any(a > b for a, b in zip(state[k].shape, own[k].shape))
                for k in state):
            raise ValueError("the checkpoint is not a smaller model of this shape")
        with torch.no_grad():
            for layer in self.layers[trained:]:
                for lin in (layer.ff1.l2, layer.att.out, layer.conv.pw2, layer.ff2.l2):
                    lin.weight.zero_()
                    lin.bias.zero_()
            for k, v in state.items():
                if v.shape == own[k].shape:
                    own[k].copy_(v)
                elif k.endswith(".l2.weight"):  # [d, ffn]: the new hidden units feed nothing yet
                    own[k].zero_()
                    own[k][:, :v.shape[1]].copy_(v)
                elif k.endswith(".l1.weight") or k.endswith(".l1.bias"):  # [ffn, d] / [ffn]
                    own[k][:v.shape[0]].copy_(v)
                elif k.endswith(".att.qkv.weight") or k.endswith(".att.qkv.bias"):
                    self.grow_qkv(own[k], v)
                elif k.endswith(".att.out.weight"):  # [d, heads * dk]
                    h = self.cfg["heads"]
                    own[k].zero_()
                    own[k].view(v.shape[0], h, -1)[:, :, :v.shape[1] // h].copy_(v.view(v.shape[0], h, -1))
                elif k.endswith(".conv.dw.weight"):  # [d, 1, kernel], the newest frame last
                    own[k].zero_()
                    own[k][:, :, own[k].shape[2] - v.shape[2]:].copy_(v)
                else:
                    raise ValueError("cannot grow %s from %s to %s" % (k, tuple(v.shape), tuple(own[k].shape)))
            for layer in self.layers[trained:]:
                layer.norm.load_state_dict(self.layers[trained - 1].norm.state_dict())
        return trained

    def grow_qkv(self, own, old):
        """Copies a narrower attention's projection [3 * heads * dk_old (, d)] into `own` (dk per head):
        each head's first dk_old queries, keys and values are the old ones, the queries scaled by
        sqrt(dk / dk_old) so that the scores, divided by sqrt(dk) now, stay the same. The new query
        dimensions start at zero, so the new key dimensions add nothing to the scores yet; the new value
        dimensions are read by output weights that `load_grown` zeroes. Keys and values keep their
        random weights: the zero queries and output weights get gradients through them."""
        h = self.cfg["heads"]
        rest = own.shape[1:]
        dk, dk_old = own.shape[0] // (3 * h), old.shape[0] // (3 * h)
        dst = own.view(3, h, dk, *rest)
        src = old.view(3, h, dk_old, *rest)
        dst[:, :, :dk_old].copy_(src)
        dst[0, :, :dk_old].mul_(math.sqrt(dk / dk_old))
        dst[0, :, dk_old:].zero_()

    def normalise(self, x):
        # The clip bounds the zero frames that pad the last chunk: a filter that is always at the
        # energy floor (-23) would otherwise turn a padded 0 into a value in the thousands.
        return ((x - self.feat_mean) * self.feat_istd).clamp(-10.0, 10.0)

    @staticmethod
    def num_out_frames(n_feat):
        full, rest = divmod(n_feat, CHUNK_IN)
        return full * CHUNK_OUT + min(CHUNK_OUT, (rest + 3) // 4)

    def forward(self, feats, tap=None):
        """feats [B, T, 80] (T any; zero padded here to whole chunks) -> logits [B, 10*chunks, V].
        With `tap` (a layer index), also returns that layer's output [B, 10*chunks, d], for an
        auxiliary loss in training."""
        b, t, f = feats.shape
        n = (t + CHUNK_IN - 1) // CHUNK_IN
        # normalise first, then pad: the library pads raw features with zeros, so pad raw values
        x = F.pad(feats, (0, 0, 0, n * CHUNK_IN - t))
        x = self.normalise(x)
        x = self.sub(x.reshape(b * n, CHUNK_IN, f)).reshape(b, n * CHUNK_OUT, -1)
        x = self.drop(x)
        tt = n * CHUNK_OUT
        pos = torch.arange(tt, device=feats.device)
        cq = (pos // CHUNK_OUT).unsqueeze(1)
        ks = pos.unsqueeze(0)
        allowed = (ks // CHUNK_OUT <= cq + self.cfg["lookahead"]) & (ks >= cq * CHUNK_OUT - LEFT)
        mask_bias = torch.zeros(tt, tt, device=feats.device).masked_fill(~allowed, NEG)
        # frames of a later chunk (lookahead only) share the bias of the farthest frame ahead within a chunk
        dist = (pos.unsqueeze(1) - ks).clamp(-(CHUNK_OUT - 1), LEFT + CHUNK_OUT - 1) + CHUNK_OUT - 1
        tapped = None
        for i, layer in enumerate(self.layers):
            x = layer(x, mask_bias, dist)
            if i == tap:
                tapped = x
        return self.head(x) if tap is None else (self.head(x), tapped)

    def step(self, chunk, offset, att_cache, cnn_cache):
        """One chunk as the library runs it; shapes as in the module docstring."""
        if self.cfg["lookahead"]:
            raise ValueError("a model that looks ahead of its chunk cannot be run chunk by chunk")
        d, h, kernel = self.cfg["d"], self.cfg["heads"], self.cfg["kernel"]
        dk = self.cfg["att_dim"] // h
        x = self.sub(self.normalise(chunk))                                                 # [1, 10, d]
        j = torch.arange(LEFT).unsqueeze(0)
        invalid = (j + offset) < LEFT                                     # [1, 40] cache frames before the stream
        cache_mask = torch.cat([invalid.float() * NEG, torch.zeros(1, CHUNK_OUT)], dim=1)  # [1, 50]
        att_out, cnn_out = [], []
        for l, layer in enumerate(self.layers):
            kc = att_cache[:, l, :, :, 0:dk]
            vc = att_cache[:, l, :, :, dk:2 * dk]
            cc = cnn_cache[:, l, 0:d, CACHE_T - (kernel - 1):CACHE_T]
            x, kn, vn, cn = layer.step(x, kc, vc, cache_mask, cc)
            att_out.append(F.pad(torch.cat([kn, vn], dim=-1), (0, CACHE_KV - 2 * dk)))
            cnn_out.append(F.pad(cn, (CACHE_T - (kernel - 1), 0, 0, CACHE_CH - d)))
        nl = len(self.layers)
        r_att = torch.stack(att_out, dim=1)
        r_cnn = torch.stack(cnn_out, dim=1)
        if nl < CACHE_LAYERS:
            r_att = torch.cat([r_att, torch.zeros(1, CACHE_LAYERS - nl, CACHE_HEADS, LEFT, CACHE_KV)], dim=1)
            r_cnn = torch.cat([r_cnn, torch.zeros(1, CACHE_LAYERS - nl, CACHE_CH, CACHE_T)], dim=1)
        return self.head(x), r_att, r_cnn


class StepWrapper(nn.Module):
    def __init__(self, m):
        super().__init__()
        self.m = m

    def forward(self, chunk, offset, att_cache, cnn_cache):
        return self.m.step(chunk, offset, att_cache, cnn_cache)


def zero_caches():
    return (torch.zeros(1, CACHE_LAYERS, CACHE_HEADS, LEFT, CACHE_KV),
            torch.zeros(1, CACHE_LAYERS, CACHE_CH, CACHE_T))


def stream(model, feats):
    """Runs `step` over one utterance [T, 80] the way the library does (with its Flush)."""
    att, cnn = zero_caches()
    outs = []
    t = feats.shape[0]
    off = 0
    for s in range(0, t - CHUNK_IN + 1, CHUNK_IN):
        o, att, cnn = model.step(feats[s:s + CHUNK_IN].unsqueeze(0), torch.tensor([[off]]), att, cnn)
        outs.append(o[0])
        off += CHUNK_OUT
    rest = t % CHUNK_IN
    if rest:
        last = F.pad(feats[t - rest:], (0, 0, 0, CHUNK_IN - rest)).unsqueeze(0)
        o, _, _ = model.step(last, torch.tensor([[off]]), att, cnn)
        outs.append(o[0, :min(CHUNK_OUT, (rest + 3) // 4)])
    return torch.cat(outs, 0)
