// RecognitionResult: the result of one session as a value, and its rendering as the JSON document.
#ifndef ORVANE_RECOGNITION_RESULT_H_
#define ORVANE_RECOGNITION_RESULT_H_

#include <map>
#include <string>
#include <vector>

#include "orvane/export.h"
#include "orvane/module.h"

namespace orvane {

struct SpeakerTotal {
  std::string id;
  double total_time_s = 0.0;
};

struct ORVANE_EXPORT RecognitionResult {
  bool has_text = false;  // whether a module reported a text (an empty one included)
  std::string text;       // the transcript: committed segments kept and the current one, by line
  std::string partial;    // the transcript while streaming; empty: none
  bool is_final = false;
  std::vector<TextSegment> segments;  // start/end in seconds from the start of the stream
  std::vector<SpeakerTotal> speakers;
  // Further members by key, each value raw JSON ("error", analysis modules' fields). The key "text"
  // appears here only when a module set the text to JSON that is not a string; it then stands in
  // for `text`.
  std::map<std::string, std::string> fields;

  // One line of JSON, no white space: "text", "partial", "is_final", "segments" (each "start",
  // "end", "text", then "confidence", "speaker" and "words" when known), "speakers", then the
  // fields sorted byte-wise by key. Absent members are omitted; so are an empty partial and empty
  // lists. Numbers are written as JsonWriter writes them.
  std::string ToJson() const;
};

}  // namespace orvane

#endif  // ORVANE_RECOGNITION_RESULT_H_
