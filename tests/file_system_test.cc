// FileSystem: path joining, the environment rules of the default cache directory, directory
// creation and the whole-file helpers, on real files in a temporary directory.
#include "orvane/file_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "models_test_support.h"

namespace orvane {
namespace {

using testing_support::ReadText;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteText;

constexpr uint64_t kAllOnes = ~uint64_t{0};

TEST(FileSystemTest, JoinPathFollowsThePosixAppendRule) {
  EXPECT_EQ(FileSystem::JoinPath("a", "b"), "a/b");
  EXPECT_EQ(FileSystem::JoinPath("a/", "b"), "a/b");
  EXPECT_EQ(FileSystem::JoinPath("/x", "/etc"), "/etc");
  EXPECT_EQ(FileSystem::JoinPath("", "b"), "b");
  EXPECT_EQ(FileSystem::JoinPath("a", ""), "a");
  EXPECT_EQ(FileSystem::JoinPath("", ""), "");
  // Nothing is normalised.
  EXPECT_EQ(FileSystem::JoinPath("a//", "b"), "a//b");
  EXPECT_EQ(FileSystem::JoinPath("a/./x", "../b/"), "a/./x/../b/");
  EXPECT_EQ(FileSystem::JoinPath("/", "b"), "/b");
}

TEST(FileSystemTest, EnvOrDefaultTreatsEmptyAsUnset) {
  {
    ScopedEnv var("ORVANE_TEST_VARIABLE", std::string("value"));
    EXPECT_EQ(FileSystem::EnvOrDefault("ORVANE_TEST_VARIABLE", "fallback"), "value");
  }
  {
    ScopedEnv var("ORVANE_TEST_VARIABLE", std::string(""));
    EXPECT_EQ(FileSystem::EnvOrDefault("ORVANE_TEST_VARIABLE", "fallback"), "fallback");
  }
  {
    ScopedEnv var("ORVANE_TEST_VARIABLE", std::nullopt);
    EXPECT_EQ(FileSystem::EnvOrDefault("ORVANE_TEST_VARIABLE", "fallback"), "fallback");
  }
}

TEST(FileSystemTest, DefaultCacheDirTakesTheFirstNonEmptyVariable) {
  {
    ScopedEnv model("ORVANE_MODEL_DIR", std::string("relative/models/"));
    ScopedEnv xdg("XDG_CACHE_HOME", std::string("/c"));
    ScopedEnv home("HOME", std::string("/home/u"));
    EXPECT_EQ(FileSystem::DefaultCacheDir(), "relative/models/");  // as given, not joined
  }
  {
    ScopedEnv model("ORVANE_MODEL_DIR", std::string(""));
    ScopedEnv xdg("XDG_CACHE_HOME", std::string("/c"));
    ScopedEnv home("HOME", std::string("/home/u"));
    EXPECT_EQ(FileSystem::DefaultCacheDir(), "/c/orvane");
  }
  {
    ScopedEnv model("ORVANE_MODEL_DIR", std::nullopt);
    ScopedEnv xdg("XDG_CACHE_HOME", std::string("/c/"));
    ScopedEnv home("HOME", std::nullopt);
    EXPECT_EQ(FileSystem::DefaultCacheDir(), "/c/orvane");
  }
  {
    ScopedEnv model("ORVANE_MODEL_DIR", std::nullopt);
    ScopedEnv xdg("XDG_CACHE_HOME", std::string(""));
    ScopedEnv home("HOME", std::string("/home/u"));
    EXPECT_EQ(FileSystem::DefaultCacheDir(), "/home/u/.cache/orvane");
  }
  {
    ScopedEnv model("ORVANE_MODEL_DIR", std::nullopt);
    ScopedEnv xdg("XDG_CACHE_HOME", std::nullopt);
    ScopedEnv home("HOME", std::nullopt);
    EXPECT_EQ(FileSystem::DefaultCacheDir(), "orvane_cache");
  }
}

TEST(FileSystemTest, DefaultCacheDirReadsTheEnvironmentOnEveryCall) {
  ScopedEnv xdg("XDG_CACHE_HOME", std::nullopt);
  ScopedEnv home("HOME", std::nullopt);
  ScopedEnv model("ORVANE_MODEL_DIR", std::string("/first"));
  EXPECT_EQ(FileSystem::DefaultCacheDir(), "/first");
  setenv("ORVANE_MODEL_DIR", "/second", 1);
  EXPECT_EQ(FileSystem::DefaultCacheDir(), "/second");
}

TEST(FileSystemTest, EnsureDirectoryCreatesParentsAndAcceptsExisting) {
  TempDir dir;
  const std::string nested = dir.Sub("a/b/c");
  EXPECT_TRUE(FileSystem::EnsureDirectory(nested));
  EXPECT_TRUE(std::filesystem::is_directory(nested));
  WriteText(dir.Sub("a/b/c/keep"), "x");
  EXPECT_TRUE(FileSystem::EnsureDirectory(nested));
  EXPECT_EQ(ReadText(dir.Sub("a/b/c/keep")), "x");
  EXPECT_TRUE(FileSystem::EnsureDirectory(dir.Sub("d/e/")));  // trailing separator
  EXPECT_TRUE(std::filesystem::is_directory(dir.Sub("d/e")));
}

TEST(FileSystemTest, EnsureDirectoryRefusesEmptyPathAndRegularFiles) {
  TempDir dir;
  EXPECT_FALSE(FileSystem::EnsureDirectory(""));
  WriteText(dir.Sub("file"), "content");
  EXPECT_FALSE(FileSystem::EnsureDirectory(dir.Sub("file")));
  EXPECT_FALSE(FileSystem::EnsureDirectory(dir.Sub("file/below")));
  EXPECT_EQ(ReadText(dir.Sub("file")), "content");
}

TEST(FileSystemTest, FileExistsOnlyForRegularFilesThroughLinks) {
  TempDir dir;
  WriteText(dir.Sub("file"), "x");
  std::filesystem::create_symlink(dir.Sub("file"), dir.Sub("link"));
  std::filesystem::create_symlink(dir.Sub("missing"), dir.Sub("dangling"));
  EXPECT_TRUE(FileSystem::FileExists(dir.Sub("file")));
  EXPECT_TRUE(FileSystem::FileExists(dir.Sub("link")));
  EXPECT_FALSE(FileSystem::FileExists(dir.Sub("dangling")));
  EXPECT_FALSE(FileSystem::FileExists(dir.path()));
  EXPECT_FALSE(FileSystem::FileExists(dir.Sub("missing")));
  EXPECT_FALSE(FileSystem::FileExists(dir.Sub("file/below")));
  EXPECT_FALSE(FileSystem::FileExists(""));
}

TEST(FileSystemTest, FileSizeOrAllOnes) {
  TempDir dir;
  WriteText(dir.Sub("five"), "12345");
  WriteText(dir.Sub("empty"), "");
  EXPECT_EQ(FileSystem::FileSize(dir.Sub("five")), 5u);
  EXPECT_EQ(FileSystem::FileSize(dir.Sub("empty")), 0u);
  EXPECT_EQ(FileSystem::FileSize(dir.Sub("missing")), kAllOnes);
  EXPECT_EQ(FileSystem::FileSize(dir.path()), kAllOnes);
}

TEST(FileSystemTest, WriteThenReadKeepsEveryByte) {
  TempDir dir;
  std::vector<unsigned char> bytes;
  for (int i = 0; i < 70000; ++i) bytes.push_back(static_cast<unsigned char>(i % 251));
  bytes[10] = '\r';
  bytes[11] = '\n';
  bytes[12] = 0x1a;
  ASSERT_TRUE(FileSystem::WriteFile(dir.Sub("bin"), bytes.data(), bytes.size()));
  std::vector<unsigned char> back = {9, 9, 9};
  ASSERT_TRUE(FileSystem::ReadFile(dir.Sub("bin"), &back));
  EXPECT_EQ(back, bytes);
  EXPECT_EQ(FileSystem::FileSize(dir.Sub("bin")), bytes.size());
}

TEST(FileSystemTest, WriteFileTruncatesAnExistingFile) {
  TempDir dir;
  WriteText(dir.Sub("f"), "a much longer old content");
  const unsigned char fresh[] = {'n', 'e', 'w'};
  ASSERT_TRUE(FileSystem::WriteFile(dir.Sub("f"), fresh, sizeof(fresh)));
  EXPECT_EQ(ReadText(dir.Sub("f")), "new");
  ASSERT_TRUE(FileSystem::WriteFile(dir.Sub("f"), nullptr, 0));
  EXPECT_EQ(FileSystem::FileSize(dir.Sub("f")), 0u);
}

TEST(FileSystemTest, WriteFileFailsWhereNoFileCanBeMade) {
  TempDir dir;
  const unsigned char byte = 1;
  EXPECT_FALSE(FileSystem::WriteFile(dir.Sub("no/such/dir/f"), &byte, 1));
  EXPECT_FALSE(FileSystem::WriteFile(dir.path(), &byte, 1));
  EXPECT_FALSE(FileSystem::WriteFile(dir.Sub("f"), nullptr, 4));
  EXPECT_FALSE(std::filesystem::exists(dir.Sub("f")));
}

TEST(FileSystemTest, ReadFileOfEmptyFileGivesEmptyBuffer) {
  TempDir dir;
  WriteText(dir.Sub("empty"), "");
  std::vector<unsigned char> out = {1, 2, 3};
  EXPECT_TRUE(FileSystem::ReadFile(dir.Sub("empty"), &out));
  EXPECT_TRUE(out.empty());
}

TEST(FileSystemTest, ReadFileFailureLeavesTheBufferAlone) {
  TempDir dir;
  const std::vector<unsigned char> before = {1, 2, 3};
  std::vector<unsigned char> out = before;
  EXPECT_FALSE(FileSystem::ReadFile(dir.Sub("missing"), &out));
  EXPECT_EQ(out, before);
  // A directory opens on POSIX but cannot be read; its seek position is no size.
  EXPECT_FALSE(FileSystem::ReadFile(dir.path(), &out));
  EXPECT_EQ(out, before);
  EXPECT_FALSE(FileSystem::ReadFile(dir.Sub("missing"), nullptr));
}

}  // namespace
}  // namespace orvane
