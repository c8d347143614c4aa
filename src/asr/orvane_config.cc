// OrvaneConfig: reading the recogniser's configuration text.
#include "asr/orvane_config.h"

#include "util/json_value.h"

namespace orvane {
namespace {

Status Refuse(const std::string& what) { return Status(-1, "orvane configuration: " + what); }

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

Status OrvaneConfig::Parse(const std::string& text, OrvaneConfig* out) {
  OrvaneConfig config;
  if (!IsBlank(text)) {
    JsonValue root;
    std::string error;
    if (!JsonValue::Parse(text, &root, &error)) return Refuse("not JSON (" + error + ")");
    if (!root.is_object()) return Refuse("not a JSON object");
    if (const JsonValue* dir = root.Find("model_dir")) {
      if (dir->type() != JsonValue::Type::kString) return Refuse("\"model_dir\" must be a string");
      config.model_dir = dir->string();
    }
  }
  *out = std::move(config);
  return Status();
}

}  // namespace orvane
