// ResultBuilder: the result document of one session, rendered as one line of JSON.
#ifndef ORVANE_RESULT_BUILDER_H_
#define ORVANE_RESULT_BUILDER_H_

#include <memory>
#include <string>

#include "orvane/export.h"
#include "orvane/module.h"

namespace orvane {

// Members are rendered in the order "text", "partial", "is_final", "segments", "speakers", then the
// other fields sorted byte-wise by key; absent members are omitted. Every operation takes the
// document's (non-recursive) mutex; a session takes its own lock before this one.
class ORVANE_EXPORT ResultBuilder {
 public:
  ResultBuilder();
  ~ResultBuilder();
  ResultBuilder(const ResultBuilder&) = delete;
  ResultBuilder& operator=(const ResultBuilder&) = delete;

  void Reset();

  // Stores the text, escaped, as the "text" member. `source` names the reporting module; it is
  // not stored.
  void SetText(const std::string& source, std::string text);
  // Plain text; an empty text removes the "partial" member.
  void SetPartial(std::string text);
  // `value` is raw JSON written verbatim; nothing checks it. The key "text" replaces the text.
  void SetField(const std::string& key, std::string value);
  void AppendSegment(TextSegment segment);
  void AppendSpeaker(std::string id, double total_time_s);
  void MarkFinal(bool final);

  std::string SnapshotJson() const;
  // Marks the document final (until Reset or MarkFinal(false)) and renders it.
  std::string FinalJson();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane

#endif  // ORVANE_RESULT_BUILDER_H_
