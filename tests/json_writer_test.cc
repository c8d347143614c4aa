// JsonWriter and JsonEscape: exact output texts, comma placement, number formatting, escaping.
#include "orvane/json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

#include "comma_locale.h"

namespace orvane {
namespace {

std::string NumberText(double v) { return JsonWriter().Number(v).Str(); }

TEST(JsonEscapeTest, QuotesPlainText) {
  EXPECT_EQ(JsonEscape(""), "\"\"");
  EXPECT_EQ(JsonEscape("abc"), "\"abc\"");
}

TEST(JsonEscapeTest, QuoteAndBackslash) {
  EXPECT_EQ(JsonEscape("a\"b"), "\"a\\\"b\"");
  EXPECT_EQ(JsonEscape("a\\b"), "\"a\\\\b\"");
}

TEST(JsonEscapeTest, EveryControlByte) {
  for (int byte = 0; byte < 0x20; ++byte) {
    std::string expected;
    switch (byte) {
      case 0x08: expected = "\\b"; break;
      case 0x0C: expected = "\\f"; break;
      case 0x0A: expected = "\\n"; break;
      case 0x0D: expected = "\\r"; break;
      case 0x09: expected = "\\t"; break;
      default: {
        char buf[8];
        std::snprintf(buf, sizeof(buf), "\\u00%02x", byte);
        expected = buf;
      }
    }
    EXPECT_EQ(JsonEscape(std::string(1, static_cast<char>(byte))), "\"" + expected + "\"")
        << "byte " << byte;
  }
}

TEST(JsonEscapeTest, SpotValuesOfTheUnicodeForm) {
  EXPECT_EQ(JsonEscape(std::string(1, '\0')), "\"\\u0000\"");
  EXPECT_EQ(JsonEscape("\x01"), "\"\\u0001\"");
  EXPECT_EQ(JsonEscape("\x1f"), "\"\\u001f\"");  // lower-case hex digits
  EXPECT_EQ(JsonEscape("\x0b"), "\"\\u000b\"");
}

TEST(JsonEscapeTest, HighBytesAndDeletePassUnchanged) {
  for (int byte = 0x20; byte < 0x100; ++byte) {
    if (byte == '"' || byte == '\\') continue;
    const std::string in(1, static_cast<char>(byte));
    EXPECT_EQ(JsonEscape(in), "\"" + in + "\"") << "byte " << byte;
  }
  EXPECT_EQ(JsonEscape("Vi\xe1\xbb\x87t"), "\"Vi\xe1\xbb\x87t\"");  // "Việt" in UTF-8
  EXPECT_EQ(JsonEscape("\xff\xc3"), "\"\xff\xc3\"");                // invalid UTF-8 kept
}

TEST(JsonEscapeTest, NulInsideTextIsNotATerminator) {
  EXPECT_EQ(JsonEscape(std::string("a\0b", 3)), "\"a\\u0000b\"");
}

TEST(JsonWriterTest, FreshWriterIsEmpty) { EXPECT_EQ(JsonWriter().Str(), ""); }

TEST(JsonWriterTest, NestedContainersGetExactlyTheNeededCommas) {
  JsonWriter w;
  w.BeginObject().Key("a").BeginArray().Integer(1).Integer(2).EndArray().Key("b").Null().EndObject();
  EXPECT_EQ(w.Str(), "{\"a\":[1,2],\"b\":null}");
}

TEST(JsonWriterTest, ArraysOfContainers) {
  JsonWriter w;
  w.BeginArray().BeginObject().EndObject().BeginArray().EndArray().BeginObject().Key("k").String("v")
      .EndObject().EndArray();
  EXPECT_EQ(w.Str(), "[{},[],{\"k\":\"v\"}]");
}

TEST(JsonWriterTest, TopLevelValuesGetNoCommas) {
  JsonWriter w;
  w.Integer(1).Integer(2);
  EXPECT_EQ(w.Str(), "12");
}

TEST(JsonWriterTest, KeysAreEscaped) {
  JsonWriter w;
  w.BeginObject().Key("a\"\n").Boolean(true).Key("b").Boolean(false).EndObject();
  EXPECT_EQ(w.Str(), "{\"a\\\"\\n\":true,\"b\":false}");
}

TEST(JsonWriterTest, RawValueIsVerbatim) {
  JsonWriter w;
  w.BeginArray().RawValue("{\"x\": 1}").RawValue("[]").EndArray();
  EXPECT_EQ(w.Str(), "[{\"x\": 1},[]]");
}

TEST(JsonWriterTest, UnbalancedEndDoesNotUnderflow) {
  JsonWriter w;
  w.EndObject().EndArray().BeginArray().Integer(1).EndArray();
  EXPECT_EQ(w.Str(), "}][1]");
}

TEST(JsonWriterTest, NumberUsesPercentG) {
  EXPECT_EQ(NumberText(1.0 / 3.0), "0.333333");
  EXPECT_EQ(NumberText(1e20), "1e+20");
  EXPECT_EQ(NumberText(0.00001), "1e-05");
  EXPECT_EQ(NumberText(0.0), "0");
  EXPECT_EQ(NumberText(1.5), "1.5");
  EXPECT_EQ(NumberText(-2.25), "-2.25");
  EXPECT_EQ(NumberText(1234567890.0), "1.23457e+09");
  EXPECT_EQ(NumberText(static_cast<double>(0.9f)), "0.9");
  EXPECT_EQ(NumberText(std::numeric_limits<double>::max()), "1.79769e+308");
}

// Times in seconds keep their milliseconds in long recordings: "%g" alone would print 36000.04
// (ten hours) as 36000.
TEST(JsonWriterTest, NumbersFromAThousandKeepThreeDecimals) {
  EXPECT_EQ(NumberText(3600.01), "3600.01");
  EXPECT_EQ(NumberText(36000.04), "36000.04");
  EXPECT_EQ(NumberText(-123456.789), "-123456.789");
  EXPECT_EQ(NumberText(987654321.25), "987654321.25");
  EXPECT_EQ(NumberText(1000.0), "1000");
  EXPECT_EQ(NumberText(999.9994), "999.999");
}

TEST(JsonWriterTest, NumbersIgnoreTheHostLocale) {
  testing_support::CommaLocale locale;
  ORVANE_SKIP_WITHOUT_COMMA_LOCALE(locale);
  JsonWriter w;
  w.BeginArray().Number(0.71).Number(36000.04).Number(1e-05).Integer(1234567).EndArray();
  EXPECT_EQ(w.Str(), "[0.71,36000.04,1e-05,1234567]") << "in locale " << locale.name();
}

TEST(JsonWriterTest, NonFiniteNumbersAreNull) {
  EXPECT_EQ(NumberText(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(NumberText(-std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(NumberText(std::nan("")), "null");
}

TEST(JsonWriterTest, IntegersInPlainDecimal) {
  EXPECT_EQ(JsonWriter().Integer(-42).Str(), "-42");
  EXPECT_EQ(JsonWriter().Integer(0).Str(), "0");
  EXPECT_EQ(JsonWriter().Integer(std::numeric_limits<long long>::min()).Str(),
            "-9223372036854775808");
  EXPECT_EQ(JsonWriter().Integer(1234567).Str(), "1234567");
}

TEST(JsonWriterTest, StrIsASnapshot) {
  JsonWriter w;
  w.BeginArray();
  const std::string before = w.Str();
  w.Integer(5).EndArray();
  EXPECT_EQ(before, "[");
  EXPECT_EQ(w.Str(), "[5]");
}

}  // namespace
}  // namespace orvane
