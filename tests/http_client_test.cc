// HttpClient without a transport: exact warnings and status, and no effect on buffers or files.
#include "orvane/http_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "models_test_support.h"
#include "orvane/logger.h"

namespace orvane {
namespace {

using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteText;

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override { Logger::Instance().SetLevel(Info); }
  HttpClient client_;
};

TEST_F(HttpClientTest, GetFailsWithOneWarningAndLeavesTheBody) {
  std::vector<unsigned char> body = {7, 8};
  ::testing::internal::CaptureStderr();
  const Status status = client_.Get("https://example.invalid/m.json", &body);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[orvane][WARN][http] HTTP disabled at build time; url=https://example.invalid/m.json\n");
  EXPECT_EQ(status.code, -4);
  EXPECT_EQ(status.message, "http_client: built without libcurl");
  EXPECT_EQ(body, (std::vector<unsigned char>{7, 8}));
}

TEST_F(HttpClientTest, DownloadFailsAndCreatesNoFile) {
  TempDir dir;
  const std::string target = dir.Sub("model.onnx");
  ::testing::internal::CaptureStderr();
  const Status status = client_.Download("https://example.invalid/model.onnx", target);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[orvane][WARN][http] HTTP disabled at build time; would download "
            "https://example.invalid/model.onnx -> " + target + "\n");
  EXPECT_EQ(status.code, -4);
  EXPECT_EQ(status.message, "http_client: built without libcurl");
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(HttpClientTest, DownloadLeavesAnExistingFileAsItWas) {
  TempDir dir;
  WriteText(dir.Sub("old"), "old bytes");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(client_.Download("https://example.invalid/new", dir.Sub("old")).code, -4);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(ReadText(dir.Sub("old")), "old bytes");
}

}  // namespace
}  // namespace orvane
