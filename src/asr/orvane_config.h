// OrvaneConfig: the recogniser's configuration text, read into settings.
#ifndef ORVANE_SRC_ASR_ORVANE_CONFIG_H_
#define ORVANE_SRC_ASR_ORVANE_CONFIG_H_

#include <string>

#include "orvane/status.h"

namespace orvane {

// The text is a JSON object (or empty / white space only, meaning no settings); unknown keys are
// ignored. Keys:
//   "model_dir"  string: folder holding model.onnx and units.txt (see ModelFolder); absent or
//                empty: the embedded model.
struct OrvaneConfig {
  std::string model_dir;

  // -1 "orvane configuration: ..." naming the fault when the text is not a JSON object or a known
  // key holds the wrong type; `out` is then left as it was.
  static Status Parse(const std::string& text, OrvaneConfig* out);
};

}  // namespace orvane

#endif  // ORVANE_SRC_ASR_ORVANE_CONFIG_H_
