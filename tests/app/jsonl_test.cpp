#include "core/report/jsonl.h"

#include <gtest/gtest.h>

namespace tw::record {
namespace {

TEST(Jsonl, StringsEscapeWhatJsonNeedsAndKeepUtf8) {
  struct Case {
    std::string bytes;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"/home/u/a.txt", "\"/home/u/a.txt\""},
      {"C:\\docs\\\"q\"", "\"C:\\\\docs\\\\\\\"q\\\"\""},
      {"tab\tnl\ncr\r", "\"tab\\tnl\\ncr\\r\""},
      {std::string("nul\0x", 5), "\"nul\\u0000x\""},
      {"\x7F", "\"\\u007f\""},
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80\""},
      {"bad\xFF\xFE", "\"bad\\udcff\\udcfe\""},
      {"\xC3", "\"\\udcc3\""},                        // truncated sequence
      {"\xC0\xAF", "\"\\udcc0\\udcaf\""},             // overlong '/'
      {"\xED\xA0\x80", "\"\\udced\\udca0\\udc80\""},  // an encoded surrogate is not valid UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(jsonString(c.bytes), c.json) << c.bytes;
}

TEST(Jsonl, AnyBytesSurviveARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (const std::string& bytes : {all, std::string("/t\xC3\xA9st/\xFF\x80/\xE2\x82"), std::string()}) {
    const std::string line =
        "{\"event\":2,\"item1\":" + jsonString(bytes) + ",\"item2\":" + jsonString(bytes + "x") + "}";
    std::string error;
    const auto event = parseJsonEvent(line, error);
    ASSERT_TRUE(event.has_value()) << error;
    EXPECT_EQ(event->item1, bytes);
    EXPECT_EQ(event->item2, bytes + "x");
  }
}

TEST(Jsonl, ReadsEventLinesAndSkipsOtherKeys) {
  std::string error;
  const auto full = parseJsonEvent(
      R"({"time":"2026-12-10T01:02:03.456Z","event":13,"action":"Rename File","item1":"/a","item2":"/b",)"
      R"("pid":42,"process":"mv","extra":{"nested":[1,2,{"x":null}],"t":true}})",
      error);
  ASSERT_TRUE(full.has_value()) << error;
  EXPECT_EQ(full->event, 13);
  EXPECT_EQ(full->item1, "/a");
  EXPECT_EQ(full->item2, "/b");
  EXPECT_EQ(full->pid, 42);
  EXPECT_EQ(full->process, "mv");

  const auto minimal = parseJsonEvent("  { \"event\" : 0 }  ", error);
  ASSERT_TRUE(minimal.has_value()) << error;
  EXPECT_EQ(minimal->item1, "");
  EXPECT_EQ(minimal->item2, "");
  EXPECT_EQ(minimal->pid, 0);
  EXPECT_EQ(minimal->process, "");

  const auto escaped = parseJsonEvent(R"({"event":2,"item1":"\u00e9\ud83d\ude00\/"})", error);
  ASSERT_TRUE(escaped.has_value()) << error;
  EXPECT_EQ(escaped->item1, "\xC3\xA9\xF0\x9F\x98\x80/");
}

TEST(Jsonl, RejectsWhatIsNotAnEventLine) {
  const char* bad[] = {
      "",
      "not json",
      "[1,2]",
      "{\"item1\":\"/a\"}",  // no event
      "{\"event\":\"2\"}",   // not a number
      "{\"event\":2.5}",
      "{\"event\":99999999999}",
      "{\"event\":2,\"item1\":3}",     // item not a string
      "{\"event\":2,\"item1\":\"/a}",  // unterminated
      "{\"event\":2} trailing",
      "{\"event\":2,}",
      "{\"event\":2,\"item1\":\"\\ud800\"}",  // lone high surrogate
      "{\"event\":2,\"item1\":\"\\q\"}",
      "{\"event\":2,\"x\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]"
      "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]}",
  };
  for (const char* line : bad) {
    std::string error;
    EXPECT_FALSE(parseJsonEvent(line, error).has_value()) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

}  // namespace
}  // namespace tw::record
