// ResultBuilder: the per-session result document and its rendering as JSON.
#include "orvane/result_builder.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "orvane/json_writer.h"

namespace orvane {
namespace {

const char kTextKey[] = "text";

struct SpeakerTotal {
  std::string id;
  double total_time_s = 0.0;
};

}  // namespace

struct ResultBuilder::Impl {
  mutable std::mutex mutex;
  // Values are raw JSON. std::string compares through char_traits<char>, which orders bytes as
  // unsigned values, so keys sort byte-wise with a prefix first.
  std::map<std::string, std::string> fields;
  std::vector<TextSegment> segments;
  std::vector<SpeakerTotal> speakers;
  std::string partial;  // plain text, escaped when rendered
  bool is_final = false;

  // Caller holds `mutex`.
  std::string RenderLocked() const;
};

std::string ResultBuilder::Impl::RenderLocked() const {
  JsonWriter w;
  w.BeginObject();
  auto text = fields.find(kTextKey);
  if (text != fields.end()) w.Key(kTextKey).RawValue(text->second);
  if (!partial.empty()) w.Key("partial").String(partial);
  w.Key("is_final").Boolean(is_final);
  if (!segments.empty()) {
    w.Key("segments").BeginArray();
    for (const TextSegment& s : segments) {
      w.BeginObject();
      w.Key("start").Number(s.start);
      w.Key("end").Number(s.end);
      w.Key("text").String(s.text);
      if (s.confidence > 0) w.Key("confidence").Number(static_cast<double>(s.confidence));
      if (!s.speaker.empty()) w.Key("speaker").String(s.speaker);
      w.EndObject();
    }
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

ResultBuilder::ResultBuilder() : impl_(new Impl) {}
ResultBuilder::~ResultBuilder() = default;

void ResultBuilder::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->fields.clear();
  impl_->segments.clear();
  impl_->speakers.clear();
  impl_->partial.clear();
  impl_->is_final = false;
}

void ResultBuilder::SetText(const std::string& /*source*/, std::string text) {
  std::string value = JsonEscape(text);
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->fields[kTextKey] = std::move(value);
}

void ResultBuilder::SetPartial(std::string text) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->partial = std::move(text);
}

void ResultBuilder::SetField(const std::string& key, std::string value) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->fields[key] = std::move(value);
}

void ResultBuilder::AppendSegment(TextSegment segment) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->segments.push_back(std::move(segment));
}

void ResultBuilder::AppendSpeaker(std::string id, double total_time_s) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->speakers.push_back(SpeakerTotal{std::move(id), total_time_s});
}

void ResultBuilder::MarkFinal(bool final) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->is_final = final;
}

std::string ResultBuilder::SnapshotJson() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->RenderLocked();
}

std::string ResultBuilder::FinalJson() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->is_final = true;
  return impl_->RenderLocked();
}

}  // namespace orvane
