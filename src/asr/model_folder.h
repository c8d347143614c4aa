// ModelFolder: the files of a recogniser model folder, read whole into memory.
#ifndef ORVANE_SRC_ASR_MODEL_FOLDER_H_
#define ORVANE_SRC_ASR_MODEL_FOLDER_H_

#include <string>
#include <vector>

#include "orvane/status.h"

namespace orvane {

// Layout of a folder named by the recogniser's "model_dir":
//   model.onnx  the acoustic model (required; the contract is in ModelGeometry)
//   units.txt   its vocabulary in the units text format (required)
//   lm.bin      optional: a syllable language model (format of training/lm.py) replacing the
//               embedded one
// Nothing else in the folder is read. An optional file gets a path member below that Read leaves
// empty when the file is absent, so folders without it load as before; the recogniser's LoadFolder
// then passes it on.
struct ModelFolder {
  static constexpr const char* kModelFile = "model.onnx";
  static constexpr const char* kUnitsFile = "units.txt";
  static constexpr const char* kLmFile = "lm.bin";

  std::string model_path;
  std::string units_path;
  std::vector<unsigned char> model;  // bytes of model.onnx
  std::string units_text;            // bytes of units.txt
  std::string lm_path;               // empty without lm.bin
  std::vector<unsigned char> lm;     // bytes of lm.bin

  // Reads the folder. -3 with a message naming the folder or file and the problem ("<dir>/units.txt:
  // no such file") when the folder or a required file is missing or unreadable, or a file is empty;
  // `out` is then left as it was.
  static Status Read(const std::string& dir, ModelFolder* out);
};

}  // namespace orvane

#endif  // ORVANE_SRC_ASR_MODEL_FOLDER_H_
