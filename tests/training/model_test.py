"""Growing, averaging and exporting checkpoints of the recipe's model (training/model.py,
training/average.py, training/export.py), and reading syllables and their frames off its output
(training/analyse_tones.py).

All three feed the committed model: a grown model that did not start from its trained layers, a
mean that mixed up tensors, or an export that stored other weights than it checked would throw
hours of training away without an error.
"""
import os
import sys
import tempfile
import unittest

import numpy as np
import onnx
import torch
from onnx import TensorProto, numpy_helper

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import analyse_tones  # noqa: E402
import average  # noqa: E402
import export  # noqa: E402
from train import ctc_per_utterance, late_rhyme_bias, lr_at  # noqa: E402
from model import StreamingCtc, stream  # noqa: E402

VOCAB = 12


def tiny(layers, vocab=VOCAB, ffn=32, pitch_ch=0, att_dim=0, kernel=15):
    return StreamingCtc(vocab, d=16, heads=4, layers=layers, ffn=ffn, sub_ch=4, dropout=0.0, pitch_ch=pitch_ch,
                        att_dim=att_dim, kernel=kernel).eval()


def trained(layers, seed, ffn=32):
    torch.manual_seed(seed)
    m = tiny(layers, ffn=ffn)
    with torch.no_grad():
        for p in m.parameters():  # a fresh model has zeroed biases and unit norms: make them count
            p.add_(0.1 * torch.randn_like(p))
    return m.eval()


class GrowTest(unittest.TestCase):
    def setUp(self):
        torch.manual_seed(1)
        self.feats = torch.randn(1, 100, 80)

    def test_new_layers_start_as_the_last_trained_norm(self):
        small = trained(2, seed=3)
        big = tiny(4)
        self.assertEqual(big.load_grown(small.state_dict()), 2)
        hidden = []
        small.layers[1].register_forward_hook(lambda mod, inp, out: hidden.append(out))
        with torch.no_grad():
            small(self.feats)
            h = hidden[0]
            # with zero residual branches each new layer is its closing norm alone
            expected = big.head(big.layers[3].norm(big.layers[2].norm(h)))
            self.assertTrue(torch.allclose(big(self.feats), expected, atol=1e-5))
            for name, value in small.state_dict().items():
                self.assertTrue(torch.equal(big.state_dict()[name], value), name)

    def test_grown_model_still_streams_exactly(self):
        big = tiny(3)
        big.load_grown(trained(1, seed=4).state_dict())
        with torch.no_grad():
            big.layers[2].ff1.l2.weight.add_(0.1)  # as after some training
            whole = big(self.feats)[0, :StreamingCtc.num_out_frames(100)]
            self.assertTrue(torch.allclose(stream(big, self.feats[0]), whole, atol=1e-4))

    def test_wider_feed_forward_computes_the_same_and_its_new_units_can_learn(self):
        small = trained(2, seed=10)
        wide = tiny(3, ffn=48)
        wide.load_grown(small.state_dict())
        with torch.no_grad():
            whole = wide(self.feats)
            self.assertTrue(torch.allclose(whole, wide.head(wide.layers[2].norm(self.hidden(small))), atol=1e-5))
            self.assertTrue(torch.allclose(stream(wide, self.feats[0]), whole[0, :StreamingCtc.num_out_frames(100)],
                                           atol=1e-4))
        ff = wide.layers[0].ff1
        self.assertTrue(torch.equal(ff.l1.weight[:32], small.layers[0].ff1.l1.weight))
        self.assertEqual(ff.l2.weight[:, 32:].abs().sum().item(), 0.0)
        self.assertGreater(ff.l1.weight[32:].abs().sum().item(), 0.0)  # not dead: they get gradients
        wide.train()
        torch.nn.functional.mse_loss(wide(self.feats), torch.zeros_like(whole)).backward()
        self.assertGreater(ff.l2.weight.grad[:, 32:].abs().sum().item(), 0.0)

    def test_wider_attention_and_longer_kernel_compute_the_same_and_can_learn(self):
        small = trained(2, seed=12)
        big = tiny(2, att_dim=32, kernel=31)
        big.load_grown(small.state_dict())
        feats = self.feats * 3.0  # scores far from uniform, so that a changed scale would show
        with torch.no_grad():
            whole = big(feats)
            self.assertTrue(torch.allclose(whole, small(feats), atol=1e-5))
        big.train()
        torch.nn.functional.mse_loss(big(feats), torch.zeros_like(whole)).backward()
        att, conv = big.layers[0].att, big.layers[0].conv
        new_q = att.qkv.weight.grad.view(3, 4, 8, 16)[0, :, 4:]
        self.assertGreater(new_q.abs().sum().item(), 0.0)
        self.assertGreater(att.out.weight.grad.view(16, 4, 8)[:, :, 4:].abs().sum().item(), 0.0)
        self.assertGreater(conv.dw.weight.grad[:, :, :16].abs().sum().item(), 0.0)
        big.eval()
        with torch.no_grad():
            for p in (att.qkv.weight, att.out.weight, conv.dw.weight):
                p.add_(0.1 * torch.randn_like(p))  # as after some training: the old frames and dims count
            whole = big(feats)
            self.assertFalse(torch.allclose(whole, small(feats), atol=1e-3))
            self.assertTrue(torch.allclose(stream(big, feats[0]), whole[0, :StreamingCtc.num_out_frames(100)],
                                           atol=1e-4))

    def test_pitch_path_starts_silent_learns_and_streams_exactly(self):
        small = trained(2, seed=11)
        big = tiny(2, pitch_ch=3)
        big.load_grown(small.state_dict())
        with torch.no_grad():
            self.assertTrue(torch.equal(big(self.feats), small(self.feats)))
        big.train()
        torch.nn.functional.mse_loss(big(self.feats), torch.zeros(1, 30, VOCAB)).backward()
        self.assertGreater(big.sub.pitch_out.weight.grad.abs().sum().item(), 0.0)
        big.eval()
        with torch.no_grad():
            big.sub.pitch_out.weight.normal_(std=0.3)  # as after some training
            whole = big(self.feats)
            self.assertFalse(torch.allclose(whole, small(self.feats), atol=1e-3))
            self.assertTrue(torch.allclose(stream(big, self.feats[0]), whole[0, :StreamingCtc.num_out_frames(100)],
                                           atol=1e-4))
            # it reads the low bands only
            high = self.feats.clone()
            high[:, :43, 60:] += 1.0
            pitch = [big.sub(x[:, :43]) - small.sub(x[:, :43]) for x in (self.feats, high, self.feats + 1.0)]
            self.assertTrue(torch.allclose(pitch[0], pitch[1], atol=1e-5))
            self.assertFalse(torch.allclose(pitch[0], pitch[2], atol=1e-3))

    def hidden(self, model):
        out = []
        model.layers[-1].register_forward_hook(lambda mod, inp, o: out.append(o))
        model(self.feats)
        return out[0]

    def test_tapped_layer_is_what_the_next_layer_and_the_head_read(self):
        m = trained(3, seed=6)
        with torch.no_grad():
            plain = m(self.feats)
            logits, last = m(self.feats, tap=2)
            self.assertTrue(torch.equal(logits, plain))
            self.assertTrue(torch.allclose(m.head(last), plain, atol=1e-6))
            _, first = m(self.feats, tap=0)
            self.assertFalse(torch.allclose(first, last, atol=1e-3))

    def test_deeper_narrower_or_foreign_checkpoints_are_refused(self):
        small = tiny(2)
        for bigger in (trained(3, seed=5), trained(1, seed=5, ffn=64), tiny(1, vocab=VOCAB + 1),
                       tiny(1, vocab=VOCAB - 1)):
            with self.assertRaises(ValueError):
                small.load_grown(bigger.state_dict())


class ExportWeightsTest(unittest.TestCase):
    """The file may store its weight matrices in 16 or 8 bits; the reference logits of the streaming
    check come from the rounded PyTorch weights, so the file must hold exactly those."""

    def export(self, model, weights):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "m.onnx")
            att, cnn = export.zero_caches()
            with torch.no_grad():
                torch.onnx.export(export.StepWrapper(model), (torch.zeros(1, 43, 80), torch.zeros(1, 1, dtype=torch.int64),
                                                              att, cnn), path, opset_version=17)
            mp = onnx.load(path)
        before = {i.name: numpy_helper.to_array(i) for i in mp.graph.initializer}
        converted = export.compact_initializers(mp, weights)
        export.add_metadata(mp)
        onnx.checker.check_model(mp)
        return before, mp, converted

    @staticmethod
    def restored(mp):
        """The float32 value of every tensor the graph restores, computed as Cast/DequantizeLinear do."""
        inits = {i.name: numpy_helper.to_array(i) for i in mp.graph.initializer}
        out = {}
        for node in mp.graph.node:
            if node.op_type == "Cast" and node.input[0] in inits:
                out[node.output[0]] = inits[node.input[0]].astype(np.float32)
            elif node.op_type == "DequantizeLinear" and node.input[0] in inits:
                q, scale = inits[node.input[0]], inits[node.input[1]]
                shape = [1] * q.ndim
                shape[node.attribute[0].i] = -1
                out[node.output[0]] = q.astype(np.float32) * scale.reshape(shape)
        return inits, out

    def check(self, weights, max_rel):
        torch.manual_seed(11)
        model = StreamingCtc(VOCAB, d=64, heads=4, layers=1, ffn=128, sub_ch=8, dropout=0.0).eval()
        original = {k: v.clone() for k, v in model.state_dict().items()}
        export.round_weights(model, weights)
        before, mp, converted = self.export(model, weights)
        inits, restored = self.restored(mp)
        big = [n for n, w in before.items() if w.dtype == np.float32 and w.ndim >= 2 and w.size >= export.MIN_STORED]
        self.assertGreaterEqual(len(big), 6)
        self.assertEqual(converted, len(big))
        self.assertEqual(len(restored), len(big))
        for name in big:
            self.assertNotIn(name, inits)
            np.testing.assert_allclose(restored[name], before[name], rtol=0, atol=1e-6 * np.abs(before[name]).max())
        for name, w in before.items():
            if name not in big:
                self.assertTrue(np.array_equal(inits[name], w), name)
        kind = {i.name: i.data_type for i in mp.graph.initializer}
        sources = [n.input[0] for n in mp.graph.node if n.op_type in ("Cast", "DequantizeLinear") and n.input[0] in kind]
        self.assertEqual(sorted({kind[n] for n in sources}),
                         [TensorProto.FLOAT16 if weights == "fp16" else TensorProto.INT8])
        # rounding moved the weights, but only by what the storage loses
        for k, v in model.state_dict().items():
            rel = ((v - original[k]).abs().max() / original[k].abs().max().clamp(min=1e-12)).item()
            self.assertLessEqual(rel, max_rel, k)

    def test_fp16_file_holds_the_rounded_weights(self):
        self.check("fp16", 2 ** -11)

    def test_int8_file_holds_the_rounded_weights_per_channel(self):
        self.check("int8", 0.5 / 127 + 1e-6)

    def test_metadata_agrees_with_the_traced_shapes(self):
        torch.manual_seed(11)
        model = StreamingCtc(VOCAB, d=64, heads=4, layers=1, ffn=128, sub_ch=8, dropout=0.0).eval()
        _, mp, _ = self.export(model, "fp32")
        props = {p.key: p.value for p in mp.metadata_props}
        self.assertEqual(props, {k: str(v) for k, v in export.METADATA.items()})
        dims = lambda v: [d.dim_value for d in v.type.tensor_type.shape.dim]  # noqa: E731
        self.assertEqual(dims(mp.graph.input[0])[1:], [int(props["chunk_frames"]), int(props["num_mel_bins"])])
        self.assertEqual(dims(mp.graph.output[0])[1], int(props["output_frames"]))

    def test_weights_the_storage_cannot_hold_stay_float32(self):
        mp = onnx.helper.make_model(onnx.helper.make_graph(
            [onnx.helper.make_node("MatMul", ["x", "w"], ["y"])], "g",
            [onnx.helper.make_tensor_value_info("x", TensorProto.FLOAT, [1, 64])],
            [onnx.helper.make_tensor_value_info("y", TensorProto.FLOAT, [1, 128])],
            initializer=[numpy_helper.from_array(np.random.RandomState(0).randn(64, 128).astype(np.float32), "w")]))
        for weights in ("fp16", "int8"):
            self.assertEqual(export.compact_initializers(mp, weights), 0)
            self.assertEqual(mp.graph.initializer[0].data_type, TensorProto.FLOAT)
            self.assertEqual(len(mp.graph.node), 1)


class AverageTest(unittest.TestCase):
    def save(self, folder, name, model, step, vocab_size=VOCAB):
        path = os.path.join(folder, name)
        state = {"model": model.state_dict(), "cfg": model.cfg, "step": step, "epoch": 1}
        if vocab_size is not None:  # None: an end-of-epoch file, weights only
            state["vocab_size"] = vocab_size
        torch.save(state, path)
        return path

    def test_mean_of_weights_with_the_newest_metadata(self):
        a, b = trained(1, seed=6), trained(1, seed=7)
        with tempfile.TemporaryDirectory() as d:
            out = average.average([self.save(d, "b.pt", b, 20), self.save(d, "a.pt", a, 10)])
        self.assertEqual(out["step"], 20)
        self.assertEqual(out["averaged"], [20, 10])
        for name, value in out["model"].items():
            mean = (a.state_dict()[name] + b.state_dict()[name]) / 2
            self.assertTrue(torch.allclose(value, mean, atol=1e-6), name)
        m = StreamingCtc(**out["cfg"])
        m.load_state_dict(out["model"])  # loads as a checkpoint of the same model

    def test_end_of_epoch_files_without_vocabulary_size(self):
        m = trained(1, seed=6)
        with tempfile.TemporaryDirectory() as d:
            only_epochs = average.average([self.save(d, "e1.pt", m, 10, None), self.save(d, "e2.pt", m, 20, None)])
            mixed = average.average([self.save(d, "e3.pt", m, 30, None), self.save(d, "last.pt", m, 25)])
            other = [self.save(d, "x.pt", m, 1), self.save(d, "y.pt", m, 2, VOCAB + 1)]
            with self.assertRaises(SystemExit):
                average.average(other)
        self.assertNotIn("vocab_size", only_epochs)
        self.assertEqual(mixed["vocab_size"], VOCAB)

    def test_different_models_are_refused(self):
        with tempfile.TemporaryDirectory() as d:
            paths = [self.save(d, "a.pt", trained(1, seed=8), 1), self.save(d, "b.pt", trained(2, seed=9), 2)]
            with self.assertRaises(SystemExit):
                average.average(paths)


class EmissionTest(unittest.TestCase):
    def test_syllables_are_dated_by_the_first_frame_of_their_last_unit(self):
        units = ["<blank>", "<unk>", "\u2581", "\u2581b", "à", "an", "a"]
        frames = [3, 3, 0, 4, 4, 0, 2, 5, 5, 0, 2, 5, 3, 6]
        logits = torch.nn.functional.one_hot(torch.tensor(frames), len(units)).float()
        self.assertEqual(analyse_tones.emitted_syllables(logits, units),
                         [["bà", 3], ["an", 7], ["an", 11], ["ba", 13]])

    def test_tones_are_compared_only_where_the_letters_agree(self):
        hyp = [["ba", 3], ["cơm", 5], ["bá", 8], ["ạ", 12]]
        # "con" was misheard and "ạ" was inserted: only the two "ba" are compared, tone by tone
        self.assertEqual(analyse_tones.matched_tones(hyp, "bà con bá"), [(0, 1, 0, 3), (2, 2, 2, 8)])


class LookaheadTest(unittest.TestCase):
    def test_only_a_model_with_lookahead_hears_the_next_chunk(self):
        x = torch.randn(1, 86, 80)
        later = x.clone()
        later[:, 43:] += 1.0  # only the second chunk differs
        for lookahead, changes in ((0, False), (1, True)):
            torch.manual_seed(3)
            m = StreamingCtc(VOCAB, d=16, heads=4, layers=2, ffn=32, sub_ch=4, dropout=0.0, lookahead=lookahead).eval()
            with torch.no_grad():
                for p in m.parameters():
                    p.add_(0.1 * torch.randn_like(p))
                first = m(x)[0, :10], m(later)[0, :10]
            self.assertEqual(not torch.allclose(*first), changes, "lookahead %d" % lookahead)

    def test_a_model_with_lookahead_refuses_to_stream(self):
        m = StreamingCtc(VOCAB, d=16, heads=4, layers=1, ffn=32, sub_ch=4, dropout=0.0, lookahead=1).eval()
        with self.assertRaises(ValueError):
            stream(m, torch.randn(43, 80))


class LatePenaltyTest(unittest.TestCase):
    UNITS = ["<blank>", "<unk>", "\u2581", "\u2581b", "à", "an"]

    def test_only_rhymes_in_the_last_frames_of_each_chunk_are_penalised(self):
        bias = late_rhyme_bias(self.UNITS, 3, 2.0)
        self.assertEqual(tuple(bias.shape), (10, 6))
        self.assertTrue(torch.equal(bias[7:, 4:], torch.full((3, 2), -2.0)))
        self.assertEqual(int((bias != 0).sum()), 6)

    def test_the_penalty_moves_a_rhyme_to_the_next_chunk(self):
        # "bà" over two chunks: onset at frame 5; the rhyme at frame 8 or at frame 10 (the next chunk)
        def loss(rhyme_frame, bias):
            frames = [0] * 20
            frames[5], frames[rhyme_frame] = 3, 4
            logits = 8.0 * torch.nn.functional.one_hot(torch.tensor(frames), 6).float()[None]
            return ctc_per_utterance(logits, [[3, 4]], torch.tensor([20]), bias).item()

        bias = late_rhyme_bias(self.UNITS, 3, 2.0)
        self.assertAlmostEqual(loss(8, None), loss(10, None), places=4)
        self.assertLess(loss(10, bias) + 1.5, loss(8, bias))


class ScheduleTest(unittest.TestCase):
    def test_a_fresh_optimiser_warms_up_wherever_the_step_count_starts(self):
        # a run started from another run's weights keeps that run's step count
        for start in (0, 49107):
            self.assertLess(lr_at(start + 1, 2e-4, 300, 10 ** 6, start), 1e-6)
            self.assertAlmostEqual(lr_at(start + 150, 2e-4, 300, 10 ** 6, start), 1e-4)
            self.assertEqual(lr_at(start + 300, 2e-4, 300, 10 ** 6, start), 2e-4)

    def test_decay_after_the_hold(self):
        self.assertEqual(lr_at(4000, 1e-3, 300, 4000), 1e-3)
        self.assertAlmostEqual(lr_at(16000, 1e-3, 300, 4000), 5e-4)


if __name__ == "__main__":
    unittest.main()
