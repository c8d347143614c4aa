// ResultBuilder: the per-session result document and its rendering as JSON.
#include "orvane/result_builder.h"

#include <mutex>
#include <utility>

#include "util/json_value.h"

namespace orvane {
namespace {

const char kTextKey[] = "text";

}  // namespace

struct ResultBuilder::Impl {
  mutable std::mutex mutex;
  RecognitionResult result;
};

ResultBuilder::ResultBuilder() : impl_(new Impl) {}
ResultBuilder::~ResultBuilder() = default;

void ResultBuilder::Reset() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result = RecognitionResult();
}

void ResultBuilder::SetText(const std::string& /*source*/, std::string text) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.fields.erase(kTextKey);
  impl_->result.has_text = true;
  impl_->result.text = std::move(text);
}

void ResultBuilder::SetPartial(std::string text) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.partial = std::move(text);
}

void ResultBuilder::SetField(const std::string& key, std::string value) {
  // A JSON string given as the text is the text; anything else stands in for it verbatim.
  JsonValue parsed;
  const bool text_string = key == kTextKey && JsonValue::Parse(value, &parsed, nullptr) &&
                           parsed.type() == JsonValue::Type::kString;
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (text_string) {
    impl_->result.fields.erase(kTextKey);
    impl_->result.has_text = true;
    impl_->result.text = parsed.string();
    return;
  }
  impl_->result.fields[key] = std::move(value);
}

void ResultBuilder::AppendSegment(TextSegment segment) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.segments.push_back(std::move(segment));
}

void ResultBuilder::AppendSpeaker(std::string id, double total_time_s) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.speakers.push_back(SpeakerTotal{std::move(id), total_time_s});
}

void ResultBuilder::MarkFinal(bool final) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.is_final = final;
}

RecognitionResult ResultBuilder::Snapshot() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->result;
}

RecognitionResult ResultBuilder::Final() {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->result.is_final = true;
  return impl_->result;
}

std::string ResultBuilder::SnapshotJson() const { return Snapshot().ToJson(); }

std::string ResultBuilder::FinalJson() { return Final().ToJson(); }

}  // namespace orvane
