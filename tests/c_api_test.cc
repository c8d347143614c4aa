// The C interface from C++: log lines of failures, per-thread texts, sessions at many rates and
// one pipeline serving many threads.
#include "orvane.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "orvane/logger.h"

namespace {

std::vector<short> Tone(int n, float rate, float hz) {
  std::vector<short> pcm(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    pcm[i] = static_cast<short>(8000.0 * std::sin(2.0 * M_PI * hz * i / rate));
  }
  return pcm;
}

TEST(CApiTest, UnknownPresetLogsThePipelineLineThenTheApiLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(orvane_pipeline_preset("nope"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[orvane][ERROR][pipeline] preset failed: unknown preset: nope\n"
            "[orvane][ERROR][api] preset not found or build failed: nope\n");
}

void CollectLine(int level, const char* tag, const char* message, void* user_data) {
  static_cast<std::vector<std::string>*>(user_data)->push_back(std::to_string(level) + "|" + tag +
                                                               "|" + message);
}

TEST(CApiTest, LogCallbackReceivesTheLinesUntilReset) {
  std::vector<std::string> lines;
  orvane_set_log_callback(CollectLine, &lines);
  testing::internal::CaptureStderr();
  EXPECT_EQ(orvane_pipeline_preset("nope"), nullptr);
  orvane_set_log_callback(nullptr, nullptr);
  EXPECT_EQ(orvane_pipeline_preset("nope"), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(lines, (std::vector<std::string>{"4|pipeline|preset failed: unknown preset: nope",
                                             "4|api|preset not found or build failed: nope"}));
  EXPECT_EQ(err,
            "[orvane][ERROR][pipeline] preset failed: unknown preset: nope\n"
            "[orvane][ERROR][api] preset not found or build failed: nope\n");
}

TEST(CApiTest, ReturnedTextIsReplacedByTheNextCallOnTheSameThreadOnly) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  orvane_session_t* s = orvane_session_new(p, 16000.0f);
  ASSERT_NE(s, nullptr);
  const char* first = orvane_partial_result(s);
  const std::string first_copy = first;
  const char* list = orvane_list_presets();
  // Both calls share this thread's buffer: the second result is what the buffer now holds.
  EXPECT_EQ(std::string(list).front(), '[');
  EXPECT_EQ(first_copy, "{\"is_final\":false}");

  std::string other_thread_text;
  const char* mine = orvane_list_modules();
  std::thread([&] { other_thread_text = orvane_final_result(s); }).join();
  EXPECT_EQ(std::string(mine).front(), '[');  // untouched by the other thread's call
  EXPECT_EQ(other_thread_text, "{\"is_final\":true}");
  orvane_session_free(s);
  orvane_pipeline_free(p);
}

TEST(CApiTest, LastErrorIsPerThread) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  EXPECT_EQ(orvane_pipeline_add_module(p, "missing-here", nullptr), -2);
  std::string seen_elsewhere = "unset";
  std::thread([&] { seen_elsewhere = orvane_last_error(); }).join();
  EXPECT_EQ(seen_elsewhere, "");
  EXPECT_STREQ(orvane_last_error(), "unknown module: missing-here");
  orvane_pipeline_free(p);
}

TEST(CApiTest, SessionsAtCommonAndOddRatesAllProduceFinalDocuments) {
  orvane_pipeline_t* p = orvane_pipeline_preset("transcribe");
  ASSERT_NE(p, nullptr);
  for (float rate : {8000.0f, 16000.0f, 16000.5f, 16000.6f, 44100.0f, 48000.0f}) {
    orvane_session_t* s = orvane_session_new(p, rate);
    ASSERT_NE(s, nullptr) << rate;
    std::vector<short> pcm = Tone(static_cast<int>(rate), rate, 440.0f);
    for (size_t i = 0; i < pcm.size(); i += 997) {
      const int n = static_cast<int>(std::min<size_t>(997, pcm.size() - i));
      EXPECT_EQ(orvane_accept_waveform_s16(s, pcm.data() + i, n), 0);
    }
    const std::string final_doc = orvane_final_result(s);
    EXPECT_NE(final_doc.find("\"is_final\":true"), std::string::npos) << rate << final_doc;
    orvane_session_free(s);
  }
  orvane_pipeline_free(p);
}

TEST(CApiTest, BytesAreLittleEndianSamplesAndAnOddByteIsIgnored) {
  orvane_pipeline_t* p = orvane_pipeline_preset("transcribe");
  ASSERT_NE(p, nullptr);
  std::vector<short> pcm = Tone(1600, 16000.0f, 300.0f);
  orvane_session_t* a = orvane_session_new(p, 16000.0f);
  orvane_session_t* b = orvane_session_new(p, 16000.0f);
  orvane_accept_waveform_s16(a, pcm.data(), 1600);
  orvane_accept_waveform_bytes(b, pcm.data(), 3201);
  EXPECT_EQ(std::string(orvane_final_result(a)), std::string(orvane_final_result(b)));
  orvane_session_free(a);
  orvane_session_free(b);
  orvane_pipeline_free(p);
}

TEST(CApiTest, OneShotBufferMatchesASessionFedInOneBlock) {
  orvane_pipeline_t* p = orvane_pipeline_preset("analytics");
  ASSERT_NE(p, nullptr);
  std::vector<short> pcm = Tone(22050, 22050.0f, 220.0f);
  const std::string one_shot = orvane_transcribe_buffer(p, pcm.data(), 22050, 22050.0f);
  orvane_session_t* s = orvane_session_new(p, 22050.0f);
  orvane_accept_waveform_s16(s, pcm.data(), 22050);
  EXPECT_EQ(std::string(orvane_final_result(s)), one_shot);
  orvane_session_free(s);
  orvane_pipeline_free(p);
}

TEST(CApiTest, OnePipelineServesEightThreadsWithTheirOwnSessions) {
  orvane_pipeline_t* p = orvane_pipeline_preset("transcribe-rich");
  ASSERT_NE(p, nullptr);
  constexpr int kThreads = 8;
  std::vector<std::string> finals(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([p, t, &finals] {
      const float rate = (t % 3 == 0) ? 44100.0f : (t % 3 == 1 ? 16000.0f : 8000.0f);
      orvane_session_t* s = orvane_session_new(p, rate);
      if (s == nullptr) return;
      std::vector<short> pcm = Tone(static_cast<int>(rate / 10), rate, 200.0f + 50.0f * t);
      for (int i = 0; i < 30; ++i) {
        orvane_accept_waveform_s16(s, pcm.data(), static_cast<int>(pcm.size()));
        orvane_partial_result(s);
        if (i == 15) orvane_session_reset(s);
      }
      finals[t] = orvane_final_result(s);
      orvane_session_free(s);
    });
  }
  for (auto& thread : threads) thread.join();
  for (const std::string& doc : finals) {
    EXPECT_NE(doc.find("\"is_final\":true"), std::string::npos) << doc;
  }
  orvane_pipeline_free(p);
}

}  // namespace

namespace {

TEST(CApiTest, SessionHotwordsAreCheckedAndReplaceable) {
  orvane_pipeline_t* p = orvane_pipeline_new();
  ASSERT_EQ(orvane_pipeline_add_module(p, "orvane", "{\"hotwords\": [\"h\\u00e0 n\\u1ed9i\"]}"), 0);
  ASSERT_EQ(orvane_pipeline_build(p), 0) << orvane_last_error();
  orvane_session_t* s = orvane_session_new(p, 16000.0f);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(orvane_session_set_hotwords(nullptr, "a", 2.0f), -1);
  EXPECT_EQ(orvane_session_set_hotwords(s, nullptr, 2.0f), -1);
  EXPECT_EQ(orvane_session_set_hotwords(s, "Nguy\u1ec5n V\u0103n A\r\n\nqqq\nb\u1ea1n zzz", 2.0f), -3);
  EXPECT_STREQ(orvane_last_error(),
               "hotwords cannot be written with the units: \"qqq\", \"b\u1ea1n zzz\"");
  EXPECT_EQ(orvane_session_set_hotwords(s, "ph\u1edf", 10.5f), -3);
  EXPECT_STREQ(orvane_last_error(), "hotwords_score must be a number from 0 to 10");
  EXPECT_EQ(orvane_session_set_hotwords(s, "Nguy\u1ec5n V\u0103n A\r\n\nph\u1edf b\u00f2", 2.0f), 0);
  EXPECT_EQ(orvane_session_set_hotwords(s, "", 2.0f), 0);
  const std::vector<short> pcm = Tone(16000, 16000.0f, 440.0f);
  EXPECT_EQ(orvane_accept_waveform_s16(s, pcm.data(), static_cast<int>(pcm.size())), 0);
  EXPECT_NE(std::string(orvane_final_result(s)).find("\"is_final\":true"), std::string::npos);
  orvane_session_free(s);

  orvane_pipeline_t* empty = orvane_pipeline_new();
  orvane_session_t* t = orvane_session_new(empty, 16000.0f);
  EXPECT_EQ(orvane_session_set_hotwords(t, "ph\u1edf", 2.0f), -2);
  EXPECT_STREQ(orvane_last_error(), "the pipeline has no recogniser");
  orvane_session_free(t);
  orvane_pipeline_free(empty);
  orvane_pipeline_free(p);
}

}  // namespace
