#!/usr/bin/python3
"""Writes the small ONNX models used by the engine and recognition tests.

Usage: make_test_models.py <output folder>

recognition.onnx follows the acoustic model contract of the recogniser, with a function simple
enough for tests to predict (constants mirrored in tests/test_models.h):

  inputs   chunk     float [batch, 43, 80]   log-mel feature frames
           offset    int64 [batch, 1]        output frames produced before this chunk
           att_cache float [batch, 12, 4, 40, 224]
           cnn_cache float [batch, 12, 448, 30]
  outputs  output      float [batch, 10, 8]  one score row per output frame
           r_att_cache float, shape of att_cache: att_cache + 1
           r_cnn_cache float, shape of cnn_cache: cnn_cache + offset

  Output frame t (0..9) looks at feature frames 4t..4t+3 (frames 40..42 are unused) and takes e,
  the mean of their 320 values. Its row holds 0 at one id and -20 at the other seven:
    e >  18 (LOUD):     id 3
    e >  12 (MODERATE): id 2
    otherwise:          id 0, the CTC blank
  So after a softmax the chosen id has probability ~1. After n runs with offsets 0, 10, 20, ...
  fed back as the recogniser does, r_att_cache holds n everywhere and r_cnn_cache the sum of the
  offsets.

recognition_vocab.txt is an 8-unit vocabulary for it in the units format ("text id" per line).

small_geometry/ is a model folder (model.onnx + units.txt, the same 8 units) of another geometry,
without metadata and without the offset input, scoring like recognition.onnx:
  inputs   chunk float [batch, 27, 80]; state_a float [1, 3]; state_b float [1, 2, 2, 5]
  outputs  output float [batch, 6, 8]: frame t (0..5) from feature frames 4t..4t+3
           r_state_a = state_a + 1, r_state_b = state_b + 2

Edge-case models of the engine tests:
  int64_input.onnx   x int64 [n] -> y float [n] = Cast(x): shows how floats were converted
  scalar_output.onnx x float [3] -> s float [] = sum of x (no dimensions)
  stored_weights.onnx x float [1, 2] -> y float [1, 3] = x Wh + x Wq, the weights stored as the
                     recipe's exporter stores them: Wh in float16 behind a Cast, Wq in int8 times a
                     scale per column behind a DequantizeLinear
  double_input.onnx  x double [n] -> y float [n]: an input type the engine refuses (id 11)
  int64_output.onnx  x float [n] -> y int64 [n] = Cast(x): an output that is not float
  string_output.onnx x float [n] -> y string [n]: an output with no float reading
  two_inputs.onnx    a float [n], b float [n] -> sum float [n], diff float [n] (a + b, a - b)
"""

import os
import sys

import numpy as np
import onnx
from onnx import TensorProto, helper, numpy_helper

OPSET = 17
IR_VERSION = 8

VOCAB_SIZE = 8
BLANK_ID = 0
MODERATE_ID = 2
LOUD_ID = 3
MODERATE_THRESHOLD = 12.0
LOUD_THRESHOLD = 18.0
LOW_SCORE = -20.0

VOCAB = ["<blank>", "<unk>", "\u2581xin", "\u2581chao", "\u2581ban", "a", ".", "<sos/eos>"]


def save(graph, folder, name):
    model = helper.make_model(graph, producer_name="orvane-tests",
                              opset_imports=[helper.make_opsetid("", OPSET)])
    model.ir_version = IR_VERSION
    onnx.checker.check_model(model)
    path = os.path.join(folder, name)
    tmp = path + ".tmp"
    onnx.save(model, tmp)
    os.replace(tmp, path)


def const(name, array):
    return numpy_helper.from_array(np.asarray(array), name)


def one_hot_row(index):
    row = np.full([VOCAB_SIZE], LOW_SCORE, dtype=np.float32)
    row[index] = 0.0
    return row


def score_nodes(out_frames):
    """Nodes and initializers from "chunk" to "output" [batch, out_frames, 8]: the one-hot rows
    chosen by the mean of each output frame's 4 feature frames."""
    inits = [
        const("starts", np.array([0], dtype=np.int64)),
        const("ends", np.array([4 * out_frames], dtype=np.int64)),
        const("axes", np.array([1], dtype=np.int64)),
        const("frames_shape", np.array([-1, out_frames, 320], dtype=np.int64)),
        const("moderate", np.array(MODERATE_THRESHOLD, dtype=np.float32)),
        const("loud", np.array(LOUD_THRESHOLD, dtype=np.float32)),
        const("one", np.array(1.0, dtype=np.float32)),
        const("blank_row", one_hot_row(BLANK_ID)),
        const("moderate_row", one_hot_row(MODERATE_ID)),
        const("loud_row", one_hot_row(LOUD_ID)),
    ]
    nodes = [
        # e: [batch, out_frames, 1], mean of each group of 4 frames x 80 bins
        helper.make_node("Slice", ["chunk", "starts", "ends", "axes"], ["used"]),
        helper.make_node("Reshape", ["used", "frames_shape"], ["groups"]),
        helper.make_node("ReduceMean", ["groups"], ["e"], axes=[2], keepdims=1),
        helper.make_node("Greater", ["e", "moderate"], ["is_moderate_b"]),
        helper.make_node("Greater", ["e", "loud"], ["is_loud_b"]),
        helper.make_node("Cast", ["is_moderate_b"], ["m"], to=TensorProto.FLOAT),
        helper.make_node("Cast", ["is_loud_b"], ["l"], to=TensorProto.FLOAT),
        # output = l * loud_row + (m - l) * moderate_row + (1 - m) * blank_row
        helper.make_node("Mul", ["l", "loud_row"], ["part_loud"]),
        helper.make_node("Sub", ["m", "l"], ["m_only"]),
        helper.make_node("Mul", ["m_only", "moderate_row"], ["part_moderate"]),
        helper.make_node("Sub", ["one", "m"], ["quiet"]),
        helper.make_node("Mul", ["quiet", "blank_row"], ["part_blank"]),
        helper.make_node("Add", ["part_loud", "part_moderate"], ["sum_lm"]),
        helper.make_node("Add", ["sum_lm", "part_blank"], ["output"]),
    ]
    return nodes, inits


def write_vocab(path):
    with open(path, "w", encoding="utf-8", newline="\n") as out:
        for i, unit in enumerate(VOCAB):
            out.write("%s %d\n" % (unit, i))


def small_geometry(folder):
    f = TensorProto.FLOAT
    target = os.path.join(folder, "small_geometry")
    os.makedirs(target, exist_ok=True)
    nodes, inits = score_nodes(6)
    inits.append(const("two", np.array(2.0, dtype=np.float32)))
    nodes += [helper.make_node("Add", ["state_a", "one"], ["r_state_a"]),
              helper.make_node("Add", ["state_b", "two"], ["r_state_b"])]
    graph = helper.make_graph(
        nodes, "small_geometry",
        [helper.make_tensor_value_info("chunk", f, ["batch", 27, 80]),
         helper.make_tensor_value_info("state_a", f, [1, 3]),
         helper.make_tensor_value_info("state_b", f, [1, 2, 2, 5])],
        [helper.make_tensor_value_info("output", f, ["batch", 6, VOCAB_SIZE]),
         helper.make_tensor_value_info("r_state_a", f, [1, 3]),
         helper.make_tensor_value_info("r_state_b", f, [1, 2, 2, 5])],
        inits)
    save(graph, target, "model.onnx")
    write_vocab(os.path.join(target, "units.txt"))


def recognition(folder):
    f = TensorProto.FLOAT
    inputs = [
        helper.make_tensor_value_info("chunk", f, ["batch", 43, 80]),
        helper.make_tensor_value_info("offset", TensorProto.INT64, ["batch", 1]),
        helper.make_tensor_value_info("att_cache", f, ["batch", 12, 4, 40, 224]),
        helper.make_tensor_value_info("cnn_cache", f, ["batch", 12, 448, 30]),
    ]
    outputs = [
        helper.make_tensor_value_info("output", f, ["batch", 10, VOCAB_SIZE]),
        helper.make_tensor_value_info("r_att_cache", f, ["batch", 12, 4, 40, 224]),
        helper.make_tensor_value_info("r_cnn_cache", f, ["batch", 12, 448, 30]),
    ]
    nodes, inits = score_nodes(10)
    nodes += [
        helper.make_node("Add", ["att_cache", "one"], ["r_att_cache"]),
        # offset [batch, 1] broadcasts over the last two cache dimensions [448, 30]
        helper.make_node("Cast", ["offset"], ["offset_f"], to=TensorProto.FLOAT),
        helper.make_node("Unsqueeze", ["offset_f", "two_axes"], ["offset_4d"]),
        helper.make_node("Add", ["cnn_cache", "offset_4d"], ["r_cnn_cache"]),
    ]
    inits.append(const("two_axes", np.array([2, 3], dtype=np.int64)))
    graph = helper.make_graph(nodes, "recognition_contract", inputs, outputs, inits)
    save(graph, folder, "recognition.onnx")
    write_vocab(os.path.join(folder, "recognition_vocab.txt"))


def unary(folder, name, in_type, out_type, op_nodes, in_shape=("n",), out_shape=("n",)):
    graph = helper.make_graph(
        op_nodes, name.split(".")[0],
        [helper.make_tensor_value_info("x", in_type, list(in_shape))],
        [helper.make_tensor_value_info("y" if out_shape else "s", out_type, list(out_shape))])
    save(graph, folder, name)


def edge_cases(folder):
    unary(folder, "int64_input.onnx", TensorProto.INT64, TensorProto.FLOAT,
          [helper.make_node("Cast", ["x"], ["y"], to=TensorProto.FLOAT)])
    unary(folder, "double_input.onnx", TensorProto.DOUBLE, TensorProto.FLOAT,
          [helper.make_node("Cast", ["x"], ["y"], to=TensorProto.FLOAT)])
    unary(folder, "int64_output.onnx", TensorProto.FLOAT, TensorProto.INT64,
          [helper.make_node("Cast", ["x"], ["y"], to=TensorProto.INT64)])
    unary(folder, "string_output.onnx", TensorProto.FLOAT, TensorProto.STRING,
          [helper.make_node("Cast", ["x"], ["y"], to=TensorProto.STRING)])
    unary(folder, "scalar_output.onnx", TensorProto.FLOAT, TensorProto.FLOAT,
          [helper.make_node("ReduceSum", ["x"], ["s"], keepdims=0)], in_shape=(3,), out_shape=())

    f = TensorProto.FLOAT
    graph = helper.make_graph(
        [helper.make_node("Cast", ["wh16"], ["wh"], to=f),
         helper.make_node("DequantizeLinear", ["wq8", "wq_scale", "wq_zero"], ["wq"], axis=1),
         helper.make_node("MatMul", ["x", "wh"], ["xh"]),
         helper.make_node("MatMul", ["x", "wq"], ["xq"]),
         helper.make_node("Add", ["xh", "xq"], ["y"])],
        "stored_weights",
        [helper.make_tensor_value_info("x", f, [1, 2])],
        [helper.make_tensor_value_info("y", f, [1, 3])],
        initializer=[const("wh16", np.array([[0.5, -1.25, 2.0], [0.125, 3.0, -0.75]], np.float16)),
                     const("wq8", np.array([[1, -2, 3], [4, 5, -6]], np.int8)),
                     const("wq_scale", np.array([0.5, 0.25, 2.0], np.float32)),
                     const("wq_zero", np.zeros(3, np.int8))])
    save(graph, folder, "stored_weights.onnx")

    graph = helper.make_graph(
        [helper.make_node("Add", ["a", "b"], ["sum"]), helper.make_node("Sub", ["a", "b"], ["diff"])],
        "two_inputs",
        [helper.make_tensor_value_info("a", f, ["n"]), helper.make_tensor_value_info("b", f, ["n"])],
        [helper.make_tensor_value_info("sum", f, ["n"]), helper.make_tensor_value_info("diff", f, ["n"])])
    save(graph, folder, "two_inputs.onnx")


def main():
    if len(sys.argv) != 2:
        sys.stderr.write("usage: make_test_models.py <output folder>\n")
        return 2
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    recognition(folder)
    small_geometry(folder)
    edge_cases(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
