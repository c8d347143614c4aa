// ModelManager: cache directory rules, the empty manifest, and the EnsureBundle paths (kept,
// placeholder, mismatch, missing, refused) on real files in a temporary directory.
#include "orvane/model_manager.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "models_test_support.h"
#include "orvane/file_system.h"
#include "orvane/logger.h"
#include "orvane/md5.h"

namespace orvane {
namespace {

using testing_support::ReadText;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteText;

namespace fs = std::filesystem;

const char kNoTransport[] = "http_client: built without libcurl";

std::string Md5Of(const std::string& text) {
  return Md5::HashBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

ModelFile File(const std::string& name, const std::string& md5) {
  return ModelFile{name, "https://example.invalid/" + name, md5, 0};
}

std::string HttpWarning(const std::string& url, const std::string& path) {
  return "[orvane][WARN][http] HTTP disabled at build time; would download " + url + " -> " + path +
         "\n";
}

class ModelManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Logger::Instance().SetLevel(Info);
    cache_ = dir_.Sub("cache");
    manager_.SetCacheDir(cache_);
  }

  // Runs EnsureBundle and returns what it logged.
  std::string Ensure(const ModelBundle& bundle, Status* status, std::string* out_dir) {
    ::testing::internal::CaptureStderr();
    *status = manager_.EnsureBundle(bundle, out_dir);
    return ::testing::internal::GetCapturedStderr();
  }

  TempDir dir_;
  std::string cache_;
  ModelManager manager_;
};

TEST(ModelManagerCacheDirTest, FreshManagerTakesOrvaneModelDir) {
  ScopedEnv model("ORVANE_MODEL_DIR", std::string("/opt/orvane-models"));
  ModelManager manager;
  EXPECT_EQ(manager.cache_dir(), "/opt/orvane-models");
  EXPECT_EQ(ModelManager::DefaultCacheDir(), FileSystem::DefaultCacheDir());
}

TEST(ModelManagerCacheDirTest, EnvironmentIsReadOnceAtConstruction) {
  ScopedEnv model("ORVANE_MODEL_DIR", std::string("/first"));
  ModelManager manager;
  setenv("ORVANE_MODEL_DIR", "/second", 1);
  EXPECT_EQ(manager.cache_dir(), "/first");
  EXPECT_EQ(ModelManager::DefaultCacheDir(), "/second");
}

TEST(ModelManagerCacheDirTest, SetCacheDirStoresAnyTextWithoutCreatingIt) {
  TempDir dir;
  ModelManager manager;
  manager.SetCacheDir(dir.Sub("not/yet"));
  EXPECT_EQ(manager.cache_dir(), dir.Sub("not/yet"));
  EXPECT_FALSE(fs::exists(dir.Sub("not")));
  manager.SetCacheDir("");
  EXPECT_EQ(manager.cache_dir(), "");
}

TEST_F(ModelManagerTest, LookupBundleFindsNothingAndLeavesOutput) {
  ModelBundle out{"keep", "7", {File("f", "")}};
  const Status status = manager_.LookupBundle("orvane", &out);
  EXPECT_EQ(status.code, -2);
  EXPECT_EQ(status.message, "no manifest entry for module: orvane");
  EXPECT_EQ(out.name, "keep");
  EXPECT_EQ(out.version, "7");
  ASSERT_EQ(out.files.size(), 1u);
  EXPECT_EQ(manager_.LookupBundle("", &out).message, "no manifest entry for module: ");
}

TEST_F(ModelManagerTest, LoadManifestReportsTheClientFailure) {
  ::testing::internal::CaptureStderr();
  Status status = manager_.LoadManifest();
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(status.code, -4);
  EXPECT_EQ(status.message, std::string("manifest unavailable: ") + kNoTransport);
  EXPECT_NE(log.find("[orvane][WARN][http] HTTP disabled at build time; url=https://"),
            std::string::npos);
  EXPECT_NE(log.find("/manifest.json\n"), std::string::npos);

  manager_.SetManifestUrl("https://mirror.invalid/m.json");
  ::testing::internal::CaptureStderr();
  status = manager_.LoadManifest();
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "[orvane][WARN][http] HTTP disabled at build time; url=https://mirror.invalid/m.json\n");
  EXPECT_EQ(status.code, -4);
  ModelBundle out;
  EXPECT_EQ(manager_.LookupBundle("orvane", &out).code, -2);  // the table is still empty
}

TEST_F(ModelManagerTest, EmptyBundleCreatesItsDirectory) {
  std::string out_dir = "untouched";
  Status status;
  EXPECT_EQ(Ensure(ModelBundle{"asr", "1", {}}, &status, &out_dir), "");
  EXPECT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(out_dir, cache_ + "/asr/1");
  EXPECT_TRUE(fs::is_directory(cache_ + "/asr/1"));
  EXPECT_TRUE(manager_.EnsureBundle(ModelBundle{"asr", "1", {}}, nullptr).ok());
}

TEST_F(ModelManagerTest, TrailingSeparatorInCacheDirGivesTheSameBundleDir) {
  manager_.SetCacheDir(cache_ + "/");
  std::string out_dir;
  ASSERT_TRUE(manager_.EnsureBundle(ModelBundle{"asr", "1", {}}, &out_dir).ok());
  EXPECT_EQ(out_dir, cache_ + "/asr/1");
}

TEST_F(ModelManagerTest, UnverifiedAndMatchingFilesAreKeptSilently) {
  const std::string bundle_dir = cache_ + "/asr/1";
  ASSERT_TRUE(FileSystem::EnsureDirectory(bundle_dir));
  WriteText(bundle_dir + "/empty_md5", "anything");
  WriteText(bundle_dir + "/todo_md5", "anything else");
  WriteText(bundle_dir + "/good_md5", "model bytes");
  const ModelBundle bundle{"asr", "1",
                           {File("empty_md5", ""), File("todo_md5", "TODO: fill in"),
                            File("good_md5", Md5Of("model bytes"))}};
  std::string out_dir;
  Status status;
  EXPECT_EQ(Ensure(bundle, &status, &out_dir), "");  // no warning, no download attempt
  EXPECT_TRUE(status.ok()) << status.message;
  EXPECT_EQ(out_dir, bundle_dir);
  EXPECT_EQ(ReadText(bundle_dir + "/empty_md5"), "anything");
  EXPECT_EQ(ReadText(bundle_dir + "/todo_md5"), "anything else");
}

TEST_F(ModelManagerTest, WrongChecksumWarnsThenFailsToDownload) {
  const std::string bundle_dir = cache_ + "/asr/1";
  ASSERT_TRUE(FileSystem::EnsureDirectory(bundle_dir));
  WriteText(bundle_dir + "/encoder.onnx", "damaged");
  const std::string expected = Md5Of("intact");
  const ModelBundle bundle{"asr", "1", {File("encoder.onnx", expected)}};
  std::string out_dir = "untouched";
  Status status;
  const std::string log = Ensure(bundle, &status, &out_dir);
  EXPECT_EQ(log, "[orvane][WARN][model_manager] checksum mismatch for encoder.onnx (expected " +
                     expected + ", got " + Md5Of("damaged") + "); will re-download\n" +
                     HttpWarning("https://example.invalid/encoder.onnx",
                                 bundle_dir + "/encoder.onnx"));
  EXPECT_EQ(status.code, -4);
  EXPECT_EQ(status.message, std::string("download failed: https://example.invalid/encoder.onnx (") +
                                kNoTransport + ")");
  EXPECT_EQ(out_dir, "untouched");
  EXPECT_EQ(ReadText(bundle_dir + "/encoder.onnx"), "damaged");  // nothing deleted
}

TEST_F(ModelManagerTest, UpperCaseChecksumNeverMatches) {
  const std::string bundle_dir = cache_ + "/asr/1";
  ASSERT_TRUE(FileSystem::EnsureDirectory(bundle_dir));
  WriteText(bundle_dir + "/f", "model bytes");
  std::string upper = Md5Of("model bytes");
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Status status;
  const std::string log = Ensure(ModelBundle{"asr", "1", {File("f", upper)}}, &status, nullptr);
  EXPECT_NE(log.find("checksum mismatch for f"), std::string::npos);
  EXPECT_EQ(status.code, -4);
}

TEST_F(ModelManagerTest, UnreadableFileCountsAsDamaged) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop the superuser from reading";
  const std::string bundle_dir = cache_ + "/asr/1";
  ASSERT_TRUE(FileSystem::EnsureDirectory(bundle_dir));
  WriteText(bundle_dir + "/f", "model bytes");
  fs::permissions(bundle_dir + "/f", fs::perms::none);
  Status status;
  const std::string log =
      Ensure(ModelBundle{"asr", "1", {File("f", Md5Of("model bytes"))}}, &status, nullptr);
  fs::permissions(bundle_dir + "/f", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_NE(log.find(", got ); will re-download"), std::string::npos) << log;
  EXPECT_EQ(status.code, -4);
}

TEST_F(ModelManagerTest, MissingFileGoesStraightToTheDownload) {
  const std::string bundle_dir = cache_ + "/asr/1";
  Status status;
  const std::string log =
      Ensure(ModelBundle{"asr", "1", {File("vocab.txt", "TODO")}}, &status, nullptr);
  EXPECT_EQ(log, HttpWarning("https://example.invalid/vocab.txt", bundle_dir + "/vocab.txt"));
  EXPECT_EQ(status.code, -4);
  EXPECT_EQ(status.message,
            std::string("download failed: https://example.invalid/vocab.txt (") + kNoTransport + ")");
  EXPECT_FALSE(fs::exists(bundle_dir + "/vocab.txt"));
}

TEST_F(ModelManagerTest, FirstFailureStopsTheWalk) {
  const std::string bundle_dir = cache_ + "/b/2";
  ASSERT_TRUE(FileSystem::EnsureDirectory(bundle_dir));
  WriteText(bundle_dir + "/kept", "k");
  WriteText(bundle_dir + "/later", "wrong");
  const ModelBundle bundle{
      "b", "2", {File("kept", Md5Of("k")), File("absent", ""), File("later", Md5Of("right"))}};
  Status status;
  const std::string log = Ensure(bundle, &status, nullptr);
  // Only the missing file is tried; the damaged one after it is never looked at.
  EXPECT_EQ(log, HttpWarning("https://example.invalid/absent", bundle_dir + "/absent"));
  EXPECT_EQ(status.message,
            std::string("download failed: https://example.invalid/absent (") + kNoTransport + ")");
  EXPECT_EQ(ReadText(bundle_dir + "/later"), "wrong");
}

TEST_F(ModelManagerTest, CacheDirBelowARegularFileFailsWithCode3) {
  WriteText(dir_.Sub("plain"), "not a directory");
  manager_.SetCacheDir(dir_.Sub("plain/cache"));
  std::string out_dir = "untouched";
  Status status;
  EXPECT_EQ(Ensure(ModelBundle{"asr", "1", {File("f", "")}}, &status, &out_dir), "");
  EXPECT_EQ(status.code, -3);
  EXPECT_EQ(status.message, "failed to create cache directory: " + dir_.Sub("plain/cache/asr/1"));
  EXPECT_EQ(out_dir, "untouched");
  EXPECT_EQ(ReadText(dir_.Sub("plain")), "not a directory");
}

TEST_F(ModelManagerTest, RefusesBundlePathsThatLeaveTheCache) {
  const ModelBundle refused[] = {
      {"..", "1", {}},
      {"../outside", "1", {}},
      {"asr", "../../outside", {}},
      {"asr", "1/../../../outside", {}},
      {dir_.Sub("outside"), "1", {}},
      {"asr", "/1", {}},
      {"asr", "1", {File("../../../outside", "")}},
      {"asr", "1", {File("sub/../../escape", "")}},
      {"asr", "1", {File("ok", ""), File(dir_.Sub("outside"), "")}},
      {"asr", "1", {File("..", "")}},
      {std::string("asr\0/..", 6), "1", {}},
  };
  for (const ModelBundle& bundle : refused) {
    std::string out_dir = "untouched";
    Status status;
    EXPECT_EQ(Ensure(bundle, &status, &out_dir), "") << bundle.name << " " << bundle.version;
    EXPECT_EQ(status.code, -3) << bundle.name << " " << bundle.version;
    EXPECT_NE(status.message.find("unsafe"), std::string::npos) << status.message;
    EXPECT_EQ(out_dir, "untouched");
  }
  // Nothing was created, neither outside the cache nor the cache itself.
  EXPECT_FALSE(fs::exists(dir_.Sub("outside")));
  EXPECT_FALSE(fs::exists(cache_));
}

TEST_F(ModelManagerTest, DotsThatStayInsideAreAccepted) {
  const ModelBundle bundle{"..asr", "1.0..2", {File("a..b", ""), File("./x/...", "")}};
  std::string out_dir;
  Status status;
  Ensure(bundle, &status, &out_dir);
  EXPECT_EQ(status.code, -4);  // got as far as the download of the first file
  EXPECT_TRUE(fs::is_directory(cache_ + "/..asr/1.0..2"));
}

}  // namespace
}  // namespace orvane
