#include "app/record/options.h"

#include <gtest/gtest.h>

namespace tw::record {
namespace {

TEST(RecordOptions, ReadsEveryOption) {
  std::string error;
  const auto options = parseRecordArgs(
      {"--config", "/etc/tw.ini", "--drive", "/home", "--drive", "/srv/data", "--duration", "2.5", "--format",
       "jsonl", "--export", "out.txt", "--inotify", "--stop-timeout", "10"},
      error);
  ASSERT_TRUE(options.has_value()) << error;
  EXPECT_EQ(options->config, "/etc/tw.ini");
  EXPECT_EQ(options->drives, (std::vector<std::string>{"/home", "/srv/data"}));
  EXPECT_EQ(options->duration, std::chrono::milliseconds(2500));
  EXPECT_EQ(options->stopTimeout, std::chrono::seconds(10));
  EXPECT_EQ(options->format, OutputFormat::Jsonl);
  EXPECT_EQ(options->exportFile, "out.txt");
  EXPECT_TRUE(options->forceInotify);
  EXPECT_FALSE(options->replay.has_value());

  const auto defaults = parseRecordArgs({}, error);
  ASSERT_TRUE(defaults.has_value());
  EXPECT_EQ(defaults->format, OutputFormat::Tsv);
  EXPECT_FALSE(defaults->duration.has_value());
  EXPECT_FALSE(defaults->stopTimeout.has_value());
  EXPECT_TRUE(defaults->drives.empty());
}

TEST(RecordOptions, BadArgumentsSayWhy) {
  const std::vector<std::vector<std::string>> bad = {
      {"--format", "xml"},
      {"--duration", "soon"},
      {"--duration", "-1"},
      {"--duration", "inf"},
      {"--duration"},
      {"--drive"},
      {"--stop-timeout", "nan"},
      {"--stop-timeout"},
      {"--drive", ""},
      {"--bogus"},
      {"positional"},
      {"--replay", "e.jsonl", "--drive", "/"},
  };
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(parseRecordArgs(args, error).has_value()) << args.front();
    EXPECT_FALSE(error.empty()) << args.front();
  }
}

// The seconds of --duration and --stop-timeout are checked against what can be represented:
// a very long time is taken (and waited for as if there were no limit), one that cannot be
// represented is refused with a clear reason, never wrapped into one that ends at once.
TEST(RecordOptions, LongTimesAreTakenOrRefusedNeverWrapped) {
  struct Case {
    const char* seconds;
    std::optional<std::chrono::milliseconds> taken;  // none: refused
    const char* reason;
  } cases[] = {
      {"0", std::chrono::milliseconds(0), ""},
      {"0.0004", std::chrono::milliseconds(0), ""},
      {"1e10", std::chrono::milliseconds(10'000'000'000'000LL), ""},
      {"9.2e15", std::chrono::milliseconds(9'200'000'000'000'000'000LL), ""},
      {"9.3e15", std::nullopt, "takes at most 9200000000000000 seconds"},
      {"1e300", std::nullopt, "takes at most"},
      {"1e400", std::nullopt, "takes at most"},
      {"-1e400", std::nullopt, ""},
      {"0x10", std::nullopt, "a number of seconds"},
  };
  for (const char* name : {"--duration", "--stop-timeout"}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(name) + " " + c.seconds);
      std::string error;
      const auto options = parseRecordArgs({name, c.seconds}, error);
      if (!c.taken) {
        EXPECT_FALSE(options.has_value());
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        continue;
      }
      ASSERT_TRUE(options.has_value()) << error;
      EXPECT_EQ(std::string(name) == "--duration" ? options->duration : options->stopTimeout, c.taken);
    }
  }
}

}  // namespace
}  // namespace tw::record
