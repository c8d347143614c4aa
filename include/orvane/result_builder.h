// ResultBuilder: the result document of one session, rendered as one line of JSON.
#ifndef ORVANE_RESULT_BUILDER_H_
#define ORVANE_RESULT_BUILDER_H_

#include <memory>
#include <string>

#include "orvane/export.h"
#include "orvane/module.h"
#include "orvane/recognition_result.h"

namespace orvane {

// Holds one RecognitionResult, which renders the JSON document (see RecognitionResult::ToJson).
// Every operation takes the document's (non-recursive) mutex; a session takes its own lock before
// this one.
class ORVANE_EXPORT ResultBuilder {
 public:
  ResultBuilder();
  ~ResultBuilder();
  ResultBuilder(const ResultBuilder&) = delete;
  ResultBuilder& operator=(const ResultBuilder&) = delete;

  void Reset();

  // Stores the text (the "text" member). `source` names the reporting module; it is not stored.
  void SetText(const std::string& source, std::string text);
  // Plain text; an empty text removes the "partial" member.
  void SetPartial(std::string text);
  // `value` is raw JSON written verbatim; nothing checks it. The key "text" replaces the text: a
  // JSON string becomes the text, anything else is written in its place.
  void SetField(const std::string& key, std::string value);
  void AppendSegment(TextSegment segment);
  void AppendSpeaker(std::string id, double total_time_s);
  void MarkFinal(bool final);

  RecognitionResult Snapshot() const;
  // Marks the document final (until Reset or MarkFinal(false)) and returns it.
  RecognitionResult Final();
  std::string SnapshotJson() const;  // Snapshot().ToJson()
  std::string FinalJson();           // Final().ToJson()

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_RESULT_BUILDER_H_
