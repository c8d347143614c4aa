// JsonEscape, JsonWriter and the ResultBuilder document driven by arbitrary input. The input
// encodes a well-formed sequence of writer calls (keys and values alternate, containers nest and
// close) with arbitrary strings and numbers, NaN and infinities included. Whenever every string
// given is valid UTF-8 the output must be valid JSON, and every escaped string must decode back
// to the bytes it was made from.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "json_validator.h"
#include "orvane/json_writer.h"
#include "orvane/module.h"
#include "orvane/result_builder.h"

namespace {

using orvane::testing_support::IsValidJson;
using orvane::testing_support::IsValidUtf8;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes a string literal written by JsonEscape (only escapes of single bytes occur in it).
bool Unescape(const std::string& literal, std::string* out) {
  if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"') return false;
  out->clear();
  for (size_t i = 1; i + 1 < literal.size(); ++i) {
    const char c = literal[i];
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (++i + 1 >= literal.size()) return false;
    switch (literal[i]) {
      case '"': out->push_back('"'); break;
      case '\\': out->push_back('\\'); break;
      case '/': out->push_back('/'); break;
      case 'b': out->push_back('\b'); break;
      case 'f': out->push_back('\f'); break;
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case 'u': {
        if (i + 5 >= literal.size()) return false;
        int value = 0;
        for (int k = 1; k <= 4; ++k) {
          const int h = HexValue(literal[i + k]);
          if (h < 0) return false;
          value = value * 16 + h;
        }
        if (value > 0xFF) return false;
        out->push_back(static_cast<char>(value));
        i += 4;
        break;
      }
      default: return false;
    }
  }
  return true;
}

std::string TakeString(FuzzedDataProvider* provider, bool* all_utf8) {
  std::string s = provider->ConsumeRandomLengthString(256);
  if (!IsValidUtf8(s)) *all_utf8 = false;
  std::string escaped = orvane::JsonEscape(s);
  std::string back;
  FUZZ_CHECK(Unescape(escaped, &back) && back == s);
  for (unsigned char c : escaped) FUZZ_CHECK(c >= 0x20);
  return s;
}

double TakeDouble(FuzzedDataProvider* provider) {
  switch (provider->ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return provider->ConsumeFloatingPoint<double>();
    case 1: return static_cast<double>(provider->ConsumeFloatingPoint<float>());
    case 2: {
      // Any bit pattern: NaNs with payloads, infinities, denormals.
      uint64_t bits = provider->ConsumeIntegral<uint64_t>();
      double d;
      static_assert(sizeof(d) == sizeof(bits), "double is 64 bits");
      __builtin_memcpy(&d, &bits, sizeof(d));
      return d;
    }
    default: return provider->ConsumeIntegralInRange<int>(-100000, 100000) / 64.0;
  }
}

const char* const kRawValues[] = {"0", "-1.5e3", "true", "false", "null", "\"x\"", "{}", "[]",
                                  "{\"a\":[1,{\"b\":null}]}", "{\"value\":\"U\",\"score\":0.0}"};

// One well-formed document through JsonWriter.
void FuzzWriter(FuzzedDataProvider* provider) {
  struct Open {
    bool object;
    bool awaiting_value;  // an object that has just received a key
  };
  orvane::JsonWriter writer;
  std::vector<Open> stack;
  bool all_utf8 = true;
  bool top_written = false;
  int ops = 0;

  auto value_allowed = [&] {
    if (stack.empty()) return !top_written;
    return !stack.back().object || stack.back().awaiting_value;
  };
  auto after_value = [&] {
    if (stack.empty()) {
      top_written = true;
    } else if (stack.back().object) {
      stack.back().awaiting_value = false;
    }
  };

  while (provider->remaining_bytes() > 0 && ops++ < 512) {
    const int op = provider->ConsumeIntegralInRange<int>(0, 10);
    if (op == 0 || op == 1) {
      if (!value_allowed() || stack.size() >= 64) continue;
      if (op == 0) writer.BeginObject(); else writer.BeginArray();
      if (!stack.empty() && stack.back().object) stack.back().awaiting_value = false;
      if (stack.empty()) top_written = true;
      stack.push_back({op == 0, false});
    } else if (op == 2) {
      if (stack.empty() || stack.back().awaiting_value) continue;
      if (stack.back().object) writer.EndObject(); else writer.EndArray();
      stack.pop_back();
    } else if (op == 3) {
      if (stack.empty() || !stack.back().object || stack.back().awaiting_value) continue;
      writer.Key(TakeString(provider, &all_utf8));
      stack.back().awaiting_value = true;
    } else {
      if (!value_allowed()) continue;
      switch (op) {
        case 4: writer.String(TakeString(provider, &all_utf8)); break;
        case 5: writer.Number(TakeDouble(provider)); break;
        case 6: writer.Integer(provider->ConsumeIntegral<long long>()); break;
        case 7: writer.Boolean(provider->ConsumeBool()); break;
        case 8: writer.Null(); break;
        default: writer.RawValue(provider->PickValueInArray(kRawValues)); break;
      }
      after_value();
    }
  }
  // Close what is open so that the document is complete.
  while (!stack.empty()) {
    if (stack.back().awaiting_value) writer.Null();
    if (stack.back().object) writer.EndObject(); else writer.EndArray();
    stack.pop_back();
  }
  if (!top_written) writer.Null();
  if (all_utf8) FUZZ_CHECK(IsValidJson(writer.Str()));
}

// The session document with arbitrary texts, segments and speakers.
void FuzzDocument(FuzzedDataProvider* provider) {
  orvane::ResultBuilder doc;
  bool all_utf8 = true;
  int ops = 0;
  while (provider->remaining_bytes() > 0 && ops++ < 64) {
    switch (provider->ConsumeIntegralInRange<int>(0, 7)) {
      case 0: doc.SetText("orvane", TakeString(provider, &all_utf8)); break;
      case 1: doc.SetPartial(TakeString(provider, &all_utf8)); break;
      case 2: {
        orvane::TextSegment segment;
        segment.start = TakeDouble(provider);
        segment.end = TakeDouble(provider);
        segment.confidence = static_cast<float>(TakeDouble(provider));
        segment.text = TakeString(provider, &all_utf8);
        segment.speaker = TakeString(provider, &all_utf8);
        doc.AppendSegment(std::move(segment));
        break;
      }
      case 3: {
        std::string id = TakeString(provider, &all_utf8);
        doc.AppendSpeaker(std::move(id), TakeDouble(provider));
        break;
      }
      case 4: {
        std::string key = TakeString(provider, &all_utf8);
        doc.SetField(key, provider->PickValueInArray(kRawValues));
        break;
      }
      case 5: doc.MarkFinal(provider->ConsumeBool()); break;
      case 6: doc.Reset(); break;
      default: FUZZ_CHECK(doc.FinalJson().find("\"is_final\":true") != std::string::npos); break;
    }
    if (all_utf8) FUZZ_CHECK(IsValidJson(doc.SnapshotJson()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  if (provider.ConsumeBool()) {
    FuzzWriter(&provider);
  } else {
    FuzzDocument(&provider);
  }
  return 0;
}
