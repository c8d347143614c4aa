// Md5: the RFC 1321 test suite, padding at block boundaries, incremental feeding and file hashing
// across the 64 KiB read size.
#include "orvane/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "models_test_support.h"

namespace orvane {
namespace {

using testing_support::TempDir;

std::string HashText(const std::string& text) {
  return Md5::HashBytes(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// Bytes (i * 7 + 3) mod 256: no period of 64, so a misplaced block shows in the digest.
std::vector<unsigned char> Pattern(std::size_t n) {
  std::vector<unsigned char> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<unsigned char>(i * 7 + 3);
  return bytes;
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

TEST(Md5Test, ReproducesTheRfc1321TestSuite) {
  EXPECT_EQ(HashText(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(HashText("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(HashText("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(HashText("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(HashText("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(HashText("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(HashText("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Test, PaddingAroundTheLengthFieldBoundary) {
  // 55 bytes still fit the length in the same block; 56..63 need a second block; 64 and 120 are
  // whole-block and two-block cases.
  const struct {
    std::size_t length;
    const char* digest;
  } cases[] = {{55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
               {57, "652b906d60af96844ebd21b674f35e93"}, {63, "b06521f39153d618550606be297466d5"},
               {64, "014842d480b571495a4a0363793f7367"}, {65, "c743a45e0d2e6a95cb859adae0248435"},
               {119, "8a7bd0732ed6a28ce75f6dabc90e1613"}, {120, "5f61c0ccad4cac44c75ff505e1f1e537"}};
  for (const auto& c : cases) {
    EXPECT_EQ(HashText(std::string(c.length, 'a')), c.digest) << "length " << c.length;
  }
}

TEST(Md5Test, MillionLettersInOddSizedPieces) {
  const std::string piece(997, 'a');
  Md5 md5;
  std::size_t left = 1000000;
  while (left > 0) {
    const std::size_t n = std::min(left, piece.size());
    md5.Update(reinterpret_cast<const unsigned char*>(piece.data()), n);
    left -= n;
  }
  EXPECT_EQ(md5.HexDigest(), "7707d6ae4e027c70eea2a935c2296f21");
}

TEST(Md5Test, AnySplitOfAMessageGivesTheOneShotDigest) {
  const std::vector<unsigned char> message = Pattern(300);
  const std::string whole = Md5::HashBytes(message.data(), message.size());
  for (std::size_t step : {1u, 3u, 63u, 64u, 65u, 127u}) {
    Md5 md5;
    for (std::size_t at = 0; at < message.size(); at += step) {
      md5.Update(message.data() + at, std::min(step, message.size() - at));
      md5.Update(message.data(), 0);  // empty updates change nothing
    }
    EXPECT_EQ(md5.HexDigest(), whole) << "step " << step;
  }
}

TEST(Md5Test, HashFileOfEmptyAndMissingFiles) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.Sub("empty"), {}));
  EXPECT_EQ(Md5::HashFile(dir.Sub("empty")), Md5::HashBytes(nullptr, 0));
  EXPECT_EQ(Md5::HashFile(dir.Sub("missing")), "");
}

TEST(Md5Test, HashFileCoversTheReadBoundaryAndTheOneByteTail) {
  TempDir dir;
  const std::vector<unsigned char> tail_file = Pattern(65537);
  const std::vector<unsigned char> exact_file(tail_file.begin(), tail_file.begin() + 65536);
  ASSERT_TRUE(WriteBytes(dir.Sub("exact"), exact_file));
  ASSERT_TRUE(WriteBytes(dir.Sub("tail"), tail_file));
  EXPECT_EQ(Md5::HashFile(dir.Sub("exact")), "55f3da07043d8f6f30808f9309120b1d");
  EXPECT_EQ(Md5::HashFile(dir.Sub("tail")), "8bbe2ba9b420c53493027ed87dbc57c8");
  EXPECT_EQ(Md5::HashFile(dir.Sub("tail")), Md5::HashBytes(tail_file.data(), tail_file.size()));
}

TEST(Md5Test, HashFileOfADirectoryIsEmptyNotTheEmptyMessageDigest) {
  TempDir dir;
  EXPECT_EQ(Md5::HashFile(dir.path()), "");
}

}  // namespace
}  // namespace orvane
