// RecognitionResult: rendering the result value as the session's JSON document.
#include "orvane/recognition_result.h"

#include "orvane/json_writer.h"

namespace orvane {
namespace {

constexpr char kTextKey[] = "text";

void WriteSegment(const TextSegment& s, JsonWriter* w) {
  w->BeginObject();
  w->Key("start").Number(s.start);
  w->Key("end").Number(s.end);
  w->Key("text").String(s.text);
  if (s.confidence > 0) w->Key("confidence").Number(static_cast<double>(s.confidence));
  if (!s.speaker.empty()) w->Key("speaker").String(s.speaker);
  if (!s.words.empty()) {
    w->Key("words").BeginArray();
    for (const WordTiming& word : s.words) {
      w->BeginObject();
      w->Key("text").String(word.text);
      w->Key("start").Number(word.start);
      w->Key("end").Number(word.end);
      if (word.confidence > 0) w->Key("confidence").Number(static_cast<double>(word.confidence));
      w->EndObject();
    }
    w->EndArray();
  }
  w->EndObject();
}

}  // namespace

std::string RecognitionResult::ToJson() const {
  JsonWriter w;
  w.BeginObject();
  auto raw_text = fields.find(kTextKey);
  if (raw_text != fields.end()) {
    w.Key(kTextKey).RawValue(raw_text->second);
  } else if (has_text) {
    w.Key(kTextKey).String(text);
  }
  if (!partial.empty()) w.Key("partial").String(partial);
  w.Key("is_final").Boolean(is_final);
  if (!segments.empty()) {
    w.Key("segments").BeginArray();
    for (const TextSegment& s : segments) WriteSegment(s, &w);
    w.EndArray();
  }
  if (!speakers.empty()) {
    w.Key("speakers").BeginArray();
    for (const SpeakerTotal& s : speakers) {
      w.BeginObject();
      w.Key("id").String(s.id);
      w.Key("total_time_s").Number(s.total_time_s);
      w.EndObject();
    }
    w.EndArray();
  }
  for (const auto& field : fields) {
    if (field.first == kTextKey) continue;
    w.Key(field.first).RawValue(field.second);
  }
  w.EndObject();
  return w.Str();
}

}  // namespace orvane
