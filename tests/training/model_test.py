"""Growing and averaging checkpoints of the recipe's model (training/model.py, training/average.py).

Both feed the committed model: a grown model that did not start from its trained layers, or a mean
that mixed up tensors, would throw hours of training away without an error.
"""
import os
import sys
import tempfile
import unittest

import torch

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "training"))

import average  # noqa: E402
from train import lr_at  # noqa: E402
from model import StreamingCtc, stream  # noqa: E402

VOCAB = 12


def tiny(layers, vocab=VOCAB):
    return StreamingCtc(vocab, d=16, heads=4, layers=layers, ffn=32, sub_ch=4, dropout=0.0).eval()


def trained(layers, seed):
    torch.manual_seed(seed)
    m = tiny(layers)
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

    def test_deeper_or_foreign_checkpoints_are_refused(self):
        small = tiny(2)
        with self.assertRaises(ValueError):
            small.load_grown(trained(3, seed=5).state_dict())
        other = tiny(1, vocab=VOCAB + 1)
        with self.assertRaises(RuntimeError):  # same names, other shapes
            small.load_grown(other.state_dict())


class AverageTest(unittest.TestCase):
    def save(self, folder, name, model, step):
        path = os.path.join(folder, name)
        torch.save({"model": model.state_dict(), "cfg": model.cfg, "step": step, "epoch": 1,
                    "vocab_size": VOCAB}, path)
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

    def test_different_models_are_refused(self):
        with tempfile.TemporaryDirectory() as d:
            paths = [self.save(d, "a.pt", trained(1, seed=8), 1), self.save(d, "b.pt", trained(2, seed=9), 2)]
            with self.assertRaises(SystemExit):
                average.average(paths)


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
