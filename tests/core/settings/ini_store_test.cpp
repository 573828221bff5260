#include "core/settings/ini_store.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace tw {
namespace {

constexpr const char* kFile = "C:\\Tarnwatch\\config.ini";

TEST(IniStore, MissingFileReadsDefaultsAndFirstWriteCreatesIt) {
  FakePlatform platform;
  {
    IniStore ini(platform, kFile);
    EXPECT_EQ(ini.getWorkingSection(), "DEFAULT");
    EXPECT_EQ(ini.readString("A", "dflt"), "dflt");
    EXPECT_EQ(ini.readInteger("A", -7), -7);
    EXPECT_TRUE(ini.readBool("A", true));
    EXPECT_FALSE(ini.readBool("A", false));
    EXPECT_FALSE(platform.profileText(kFile).has_value()) << "reading creates nothing";

    ini.writeString("A", "x");
    EXPECT_EQ(platform.profileText(kFile), "[DEFAULT]\r\nA=x\r\n");
    EXPECT_EQ(platform.profileFlushes(), 0);
  }
  EXPECT_EQ(platform.profileFlushes(), 1) << "the store flushes the file when it goes";
}

TEST(IniStore, TypedWritesAndTheWorkingSection) {
  FakePlatform platform;
  IniStore ini(platform, kFile);
  ini.setWorkingSection("GLOBAL");
  ini.writeInteger("N", -2147483647 - 1);
  ini.writeInteger("P", 42);
  ini.writeBool("T", true);
  ini.writeBool("F", false);
  ini.setWorkingSection("OTHER");
  ini.writeString("N", "elsewhere");
  ini.writeString("N", "twice");  // the same key again: one line, second value
  EXPECT_EQ(platform.profileText(kFile),
            "[GLOBAL]\r\nN=-2147483648\r\nP=42\r\nT=1\r\nF=0\r\n[OTHER]\r\nN=twice\r\n");
  ini.setWorkingSection("GLOBAL");
  EXPECT_EQ(ini.readInteger("N", 0), -2147483647 - 1);
  EXPECT_TRUE(ini.readBool("T", false));
  EXPECT_FALSE(ini.readBool("F", true));
}

TEST(IniStore, IntegerForms) {
  struct Case {
    const char* stored;
    std::int32_t expected;  // with the default 77
  };
  const Case cases[] = {
      {"0", 0},
      {"31", 31},
      {"-31", -31},
      {"+5", 5},
      {"0x1F", 31},
      {"0X1f", 31},
      {"$1F", 31},
      {"$ff", 255},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"$7FFFFFFF", 2147483647},
      {"$000000001", 1},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", 77},  // out of range
      {"$100000000", 77},
      {"12abc", 77},
      {"0x", 77},
      {"$", 77},
      {"0x1G", 77},
      {"-", 77},
      {"", 77},
      {"1 2", 77},
      {"1.5", 77},
      {"x1F", 77},
      {"00x1F", 77},
  };
  FakePlatform platform;
  IniStore ini(platform, kFile);
  for (const auto& c : cases) {
    ini.writeString("I", c.stored);
    EXPECT_EQ(ini.readInteger("I", 77), c.expected) << c.stored;
  }
  EXPECT_EQ(ini.readInteger("MISSING", 77), 77);
}

TEST(IniStore, BoolReadsThroughInteger) {
  FakePlatform platform;
  IniStore ini(platform, kFile);
  const std::pair<const char*, bool> cases[] = {{"0", false}, {"1", true},    {"2", true},
                                                {"-1", true}, {"0x0", false}, {"$0", false}};
  for (const auto& [stored, expected] : cases) {
    ini.writeString("B", stored);
    EXPECT_EQ(ini.readBool("B", !expected), expected) << stored;
  }
  ini.writeString("B", "yes");  // no integer: the default decides
  EXPECT_TRUE(ini.readBool("B", true));
  EXPECT_FALSE(ini.readBool("B", false));
}

TEST(IniStore, RefusedWriteThrowsWithThePath) {
  FakePlatform platform;
  platform.refuseWrites[kFile] = "Cannot write: read-only folder";
  IniStore ini(platform, kFile);
  try {
    ini.writeString("A", "x");
    FAIL() << "no error";
  } catch (const IniWriteError& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\Tarnwatch\\config.ini");
  }
  EXPECT_THROW(ini.writeInteger("A", 1), IniWriteError);
  EXPECT_THROW(ini.writeBool("A", true), IniWriteError);
  EXPECT_FALSE(platform.profileText(kFile).has_value());
}

TEST(IniStore, ValuesThatCannotBeStoredAreRefused) {
  FakePlatform platform;
  IniStore ini(platform, kFile);
  ini.writeString("A", "1");
  EXPECT_THROW(ini.writeString("B", "two\r\nC=lines"), IniWriteError);
  ini.setWorkingSection("S]");
  EXPECT_THROW(ini.writeString("A", "x"), IniWriteError);
  EXPECT_EQ(platform.profileText(kFile), "[DEFAULT]\r\nA=1\r\n") << "a refused write changes nothing";
}

}  // namespace
}  // namespace tw
