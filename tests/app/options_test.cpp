#include "app/record/options.h"

#include <gtest/gtest.h>

namespace tw::record {
namespace {

TEST(RecordOptions, ReadsEveryOption) {
  std::string error;
  const auto options =
      parseRecordArgs({"--config", "/etc/tw.ini", "--drive", "/home", "--drive", "/srv/data", "--duration",
                       "2.5", "--format", "jsonl", "--export", "out.txt", "--inotify"},
                      error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->config, "/etc/tw.ini");
  EXPECT_EQ(options->drives, (std::vector<std::string>{"/home", "/srv/data"}));
  EXPECT_EQ(options->duration, 2.5);
  EXPECT_EQ(options->format, OutputFormat::Jsonl);
  EXPECT_EQ(options->exportFile, "out.txt");
  EXPECT_TRUE(options->forceInotify);
  EXPECT_FALSE(options->replay.has_value());

  const auto defaults = parseRecordArgs({}, error);
  ASSERT_TRUE(defaults.has_value());
  EXPECT_EQ(defaults->format, OutputFormat::Tsv);
  EXPECT_FALSE(defaults->duration.has_value());
  EXPECT_TRUE(defaults->drives.empty());
}

TEST(RecordOptions, BadArgumentsSayWhy) {
  const std::vector<std::vector<std::string>> bad = {
      {"--format", "xml"},  {"--duration", "soon"},
      {"--duration", "-1"}, {"--duration", "inf"},
      {"--duration"},       {"--drive"},
      {"--drive", ""},      {"--bogus"},
      {"positional"},       {"--replay", "e.jsonl", "--drive", "/"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(parseRecordArgs(args, error).has_value()) << args.front();
    EXPECT_FALSE(error.empty()) << args.front();
  }
}

}  // namespace
}  // namespace tw::record
