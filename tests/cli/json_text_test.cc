// The command-line tool's JSON reading: string members of result documents and string arrays.
#include "json_text.h"

#include <gtest/gtest.h>

namespace orvane {
namespace cli {
namespace {

TEST(StringMemberTest, FindsTopLevelStringsAmongOtherValues) {
  const std::string doc =
      "{\"text\":\"xin chào\",\"partial\":\"xin\",\"is_final\":false,\"segments\":[{\"start\":0,"
      "\"end\":1.5e0,\"text\":\"inner\"}],\"noise\":{\"db\":-0.5,\"type\":null}}";
  EXPECT_EQ(StringMember(doc, "text"), "xin chào");
  EXPECT_EQ(StringMember(doc, "partial"), "xin");
  EXPECT_FALSE(StringMember(doc, "is_final"));  // not a string
  EXPECT_FALSE(StringMember(doc, "type"));      // nested members are not top-level
  EXPECT_FALSE(StringMember(doc, "missing"));
  EXPECT_FALSE(StringMember("{}", "text"));
}

TEST(StringMemberTest, UnescapesEverySequence) {
  EXPECT_EQ(StringMember(R"({"t":"a\"b\\c\/d\b\f\n\r\t"})", "t"), "a\"b\\c/d\b\f\n\r\t");
  EXPECT_EQ(StringMember(R"({"t":"\u0001\u00e0\u1ea1"})", "t"), "\x01\xC3\xA0\xE1\xBA\xA1");
  EXPECT_EQ(StringMember(R"({"t":"\ud83d\ude00"})", "t"), "\xF0\x9F\x98\x80");
  // Raw UTF-8 passes through; an escaped quote inside a key does not end it.
  EXPECT_EQ(StringMember(R"({"k\"":"x","t":"ệ"})", "t"), "ệ");
  EXPECT_EQ(StringMember(R"({"k\"":"x"})", "k\""), "x");
}

TEST(StringMemberTest, RefusesMalformedText) {
  for (const char* bad :
       {"", "[]", "{", "{\"t\":\"x\"", "{\"t\":\"x\"} junk", "{\"t\" \"x\"}", "{\"t\":\"\\q\"}",
        "{\"t\":\"\\u12\"}", "{\"t\":\"\\ud800\"}", "{\"t\":\"\\udc00\"}", "{\"t\":\"a\nb\"}",
        "{\"t\":\"x\",}", "{\"a\":01,\"t\":\"x\"}", "{\"a\":1.,\"t\":\"x\"}",
        "{\"a\":tru,\"t\":\"x\"}", "{\"a\":[1,],\"t\":\"x\"}"}) {
    EXPECT_FALSE(StringMember(bad, "t")) << bad;
  }
}

TEST(StringMemberTest, SurvivesDeepNesting) {
  std::string deep = "{\"a\":" + std::string(100000, '[') + std::string(100000, ']') + "}";
  EXPECT_FALSE(StringMember(deep, "t"));
  std::string shallow = "{\"a\":" + std::string(50, '[') + std::string(50, ']') + ",\"t\":\"ok\"}";
  EXPECT_EQ(StringMember(shallow, "t"), "ok");
}

TEST(StringMemberTest, LastDuplicateWins) {
  EXPECT_EQ(StringMember(R"({"t":"a","t":"b"})", "t"), "b");
  EXPECT_FALSE(StringMember(R"({"t":"a","t":1})", "t"));
}

TEST(StringArrayTest, ReadsCataloguesAndRefusesOtherShapes) {
  EXPECT_EQ(StringArray(" [\"vad\", \"orvane\"] "), (std::vector<std::string>{"vad", "orvane"}));
  EXPECT_EQ(StringArray("[]"), std::vector<std::string>{});
  EXPECT_FALSE(StringArray("[\"a\",1]"));
  EXPECT_FALSE(StringArray("[\"a\""));
  EXPECT_FALSE(StringArray("{\"a\":\"b\"}"));
}

}  // namespace
}  // namespace cli
}  // namespace orvane
