// Replays the kept fuzz corpus and every input that once broke the settings reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/settings/fuzz/ini_fuzz_check.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

int replay(const fs::path& dir) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(test::checkSettingsInput(bytes.str()), "") << entry.path();
    ++count;
  }
  return count;
}

TEST(SettingsFuzzCorpus, EveryKeptInputHolds) {
  const fs::path root = TARNWATCH_SETTINGS_FUZZ_DIR;
  EXPECT_GT(replay(root / "corpus"), 0) << "the corpus is missing";
  replay(root / "regressions");
}

TEST(SettingsFuzzCorpus, HandPickedInputsHold) {
  const char* inputs[] = {
      "",
      "\xEF\xBB\xBF",
      "[GLOBAL]\r\nTRAY=Y\r\n[GLOBAL]\r\nTRAY=N",
      "[EVENTS]\nEVENTS=WQ0KWQ0K\n[FILTERS]\nEXTENSIONS=LmV4ZSwgLkVYRQ==\nDIRECTORIES=L3RtcC8NCi90bXAv",
      "[FILTERS]\rDIRECTORIES=DQoNCg0K\r",
      "[ g ]\t\nk = \" v \" \n[=\n[\n]=]\n=\n",
  };
  for (const char* input : inputs) EXPECT_EQ(test::checkSettingsInput(input), "") << input;
}

}  // namespace
}  // namespace tw
