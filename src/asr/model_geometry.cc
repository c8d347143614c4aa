// ModelGeometry: the recogniser's view of a model, checked against the model's declarations.
#include "orvane/model_geometry.h"

#include <algorithm>
#include <limits>
#include <locale>
#include <sstream>

namespace orvane {
namespace {

constexpr int32_t kLibrarySampleRate = 16000;
// Values in one chunk of features, at most: a chunk is held in memory several times over, and a
// damaged model must not make the recogniser ask for gigabytes.
constexpr int64_t kMaxChunkValues = int64_t{1} << 22;
// Values in all states together, at most (256 MB of floats; the embedded model has 591360): the
// states are allocated per session and copied twice per chunk.
constexpr size_t kMaxStateValues = size_t{1} << 26;

Status Refuse(const std::string& message) { return Status(-6, message); }

std::string ShapeText(const std::vector<int64_t>& shape) {
  std::string text = "[";
  for (size_t i = 0; i < shape.size(); ++i) {
    if (i > 0) text += ", ";
    text += shape[i] < 0 ? std::string("?") : std::to_string(shape[i]);
  }
  return text + "]";
}

// A number from metadata text, read the same on every host locale; the whole text must be used.
template <typename T>
bool ParseWhole(const std::string& text, T* value) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  T parsed{};
  in >> parsed;
  if (in.fail()) return false;
  in >> std::ws;
  if (!in.eof()) return false;
  *value = parsed;
  return true;
}

class MetadataReader {
 public:
  explicit MetadataReader(const std::map<std::string, std::string>& metadata) : m_(metadata) {}

  // Leaves `value` alone when the key is absent; refuses a value that is not a positive integer.
  Status Positive(const char* key, int32_t* value) const {
    auto it = m_.find(key);
    if (it == m_.end()) return Status();
    int64_t parsed = 0;
    if (!ParseWhole(it->second, &parsed) || parsed <= 0 ||
        parsed > std::numeric_limits<int32_t>::max()) {
      return Refuse("model metadata \"" + std::string(key) + "\" is \"" + it->second +
                    "\", not a positive whole number");
    }
    *value = static_cast<int32_t>(parsed);
    return Status();
  }

  Status Real(const char* key, float* value) const {
    auto it = m_.find(key);
    if (it == m_.end()) return Status();
    double parsed = 0;
    if (!ParseWhole(it->second, &parsed) || !(parsed == parsed) ||
        parsed > std::numeric_limits<float>::max() || parsed < -std::numeric_limits<float>::max()) {
      return Refuse("model metadata \"" + std::string(key) + "\" is \"" + it->second +
                    "\", not a number");
    }
    *value = static_cast<float>(parsed);
    return Status();
  }

  bool Has(const char* key) const { return m_.count(key) != 0; }

 private:
  const std::map<std::string, std::string>& m_;
};

// `declared` (-1 open) wins over the metadata value; both given and different is refused.
Status Settle(int64_t declared, int32_t from_metadata, bool metadata_given, const std::string& what,
              int32_t* out) {
  if (declared == 0) return Refuse(what + " is 0");
  if (declared > 0) {
    if (declared > std::numeric_limits<int32_t>::max()) return Refuse(what + " is too large");
    if (metadata_given && declared != from_metadata) {
      return Refuse(what + " is " + std::to_string(declared) + " but the model metadata says " +
                    std::to_string(from_metadata));
    }
    *out = static_cast<int32_t>(declared);
  } else {
    *out = from_metadata;
  }
  return Status();
}

Status ReadFeatureSettings(const MetadataReader& meta, ModelGeometry* g) {
  int32_t rate = kLibrarySampleRate;
  Status s = meta.Positive("sample_rate", &rate);
  if (!s.ok()) return s;
  if (rate != kLibrarySampleRate) {
    return Refuse("model metadata \"sample_rate\" is " + std::to_string(rate) +
                  " Hz; the recogniser feeds 16000 Hz features");
  }
  FbankOptions& f = g->features;
  for (Status st : {meta.Positive("num_mel_bins", &f.num_mel_bins),
                    meta.Positive("frame_length_ms", &f.frame_length_ms),
                    meta.Positive("frame_shift_ms", &f.frame_shift_ms),
                    meta.Positive("subsampling", &g->subsampling),
                    meta.Positive("chunk_frames", &g->chunk_frames),
                    meta.Positive("output_frames", &g->output_frames),
                    meta.Real("preemph_coeff", &f.preemph_coeff), meta.Real("low_freq", &f.low_freq),
                    meta.Real("high_freq", &f.high_freq)}) {
    if (!st.ok()) return st;
  }
  // Far beyond any speech front end; they keep a damaged file from sizing buffers.
  if (f.num_mel_bins > 1024 || f.frame_length_ms > 1000 || f.frame_shift_ms > 1000 ||
      g->subsampling > 1000) {
    return Refuse("model metadata gives feature settings out of range (at most 1024 mel bins, "
                  "1000 ms frames and shifts, subsampling 1000)");
  }
  return Status();
}

Status ReadStateShapes(const ModelDescription& model, size_t first_state, ModelGeometry* g) {
  g->state_shapes.clear();
  size_t total = 0;
  for (size_t i = first_state; i < model.inputs.size(); ++i) {
    const TensorInfo& in = model.inputs[i];
    if (in.is_integer) {
      return Refuse("model input " + std::to_string(i) + " '" + in.name +
                    "' holds integers; only input 1 may be the integer offset input");
    }
    std::vector<int64_t> shape = in.shape;
    size_t values = 1;
    for (size_t d = 0; d < shape.size(); ++d) {
      // An open outermost dimension is the batch, 1 here; any other open size cannot be guessed.
      if (shape[d] < 0 && d == 0) shape[d] = 1;
      if (shape[d] < 0) {
        return Refuse("model state input '" + in.name + "' " + ShapeText(in.shape) +
                      " has a dimension of open size");
      }
      // A dimension of 0 makes an empty state, which the model may well take.
      if ((shape[d] > 0 && values > kMaxStateValues / static_cast<size_t>(shape[d])) ||
          total + values * static_cast<size_t>(shape[d]) > kMaxStateValues) {
        return Refuse("model state input '" + in.name + "' " + ShapeText(in.shape) +
                      " is too large (all states together may hold " +
                      std::to_string(kMaxStateValues) + " values)");
      }
      values *= static_cast<size_t>(shape[d]);
    }
    total += values;
    g->state_shapes.push_back(std::move(shape));
  }
  const size_t states = g->state_shapes.size();
  if (model.outputs.size() < 1 + states) {
    return Refuse("model has " + std::to_string(states) + " state inputs but " +
                  std::to_string(model.outputs.size()) + " outputs; it needs the token scores and " +
                  std::to_string(states) + " next states");
  }
  for (size_t k = 0; k < states; ++k) {
    const TensorInfo& in = model.inputs[first_state + k];
    const TensorInfo& out = model.outputs[1 + k];
    bool same = out.shape.size() == in.shape.size() && !out.is_integer;
    for (size_t d = 0; same && d < out.shape.size(); ++d) {
      same = out.shape[d] < 0 || out.shape[d] == g->state_shapes[k][d];
    }
    if (!same) {
      return Refuse("model state output '" + out.name + "' " + ShapeText(out.shape) +
                    " does not match its input '" + in.name + "' " + ShapeText(in.shape));
    }
  }
  return Status();
}

}  // namespace

Status ModelGeometry::FromDescription(const ModelDescription& model, size_t units,
                                      ModelGeometry* out) {
  ModelGeometry g;
  const MetadataReader meta(model.metadata);
  Status s = ReadFeatureSettings(meta, &g);
  if (!s.ok()) return s;

  if (model.inputs.empty()) return Refuse("model has no inputs");
  const TensorInfo& chunk = model.inputs[0];
  if (chunk.shape.size() != 3 || chunk.is_integer) {
    return Refuse("model input 0 '" + chunk.name + "' " + ShapeText(chunk.shape) +
                  " is not a float feature chunk [batch, frames, bins]");
  }
  s = Settle(chunk.shape[1], g.chunk_frames, meta.Has("chunk_frames"),
             "model input '" + chunk.name + "' frames per chunk", &g.chunk_frames);
  if (!s.ok()) return s;
  s = Settle(chunk.shape[2], g.features.num_mel_bins, meta.Has("num_mel_bins"),
             "model input '" + chunk.name + "' features per frame", &g.features.num_mel_bins);
  if (!s.ok()) return s;

  if (static_cast<int64_t>(g.chunk_frames) * g.features.num_mel_bins > kMaxChunkValues) {
    return Refuse("model input '" + chunk.name + "' " + ShapeText(chunk.shape) +
                  " asks for a chunk of more than " + std::to_string(kMaxChunkValues) + " values");
  }
  if (!FeaturePipeline(g.features).valid()) {
    return Refuse("model metadata gives feature settings the filterbank cannot use");
  }

  g.has_offset = model.inputs.size() > 1 && model.inputs[1].is_integer;
  s = ReadStateShapes(model, g.has_offset ? 2 : 1, &g);
  if (!s.ok()) return s;

  const TensorInfo& scores = model.outputs[0];
  const size_t rank = scores.shape.size();
  if (rank < 3 || scores.is_integer) {
    return Refuse("model output 0 '" + scores.name + "' " + ShapeText(scores.shape) +
                  " is not float token scores [..., frames, tokens]");
  }
  if (!meta.Has("output_frames")) g.output_frames = std::max(1, g.chunk_frames / g.subsampling);
  s = Settle(scores.shape[rank - 2], g.output_frames, meta.Has("output_frames"),
             "model output '" + scores.name + "' frames per chunk", &g.output_frames);
  if (!s.ok()) return s;
  const int64_t width = scores.shape[rank - 1];
  if (width >= 0 && static_cast<size_t>(width) != units) {
    return Refuse("model output '" + scores.name + "' gives " + std::to_string(width) +
                  " scores per frame but the vocabulary has " + std::to_string(units) + " units");
  }
  if (units == 0 || units > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return Refuse("vocabulary has " + std::to_string(units) + " units");
  }
  g.vocab_size = static_cast<int32_t>(units);
  *out = std::move(g);
  return Status();
}

size_t ModelGeometry::state_size(size_t index) const {
  size_t values = 1;
  for (int64_t dim : state_shapes.at(index)) values *= static_cast<size_t>(dim);
  return values;
}

}  // namespace orvane
