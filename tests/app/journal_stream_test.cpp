// The recorder's notices on the journal: which stream is the journal's, and each line with the
// priority prefix in front.
#include "app/record/journal_stream.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::record {
namespace {

TEST(JournalStream, NamesOnlyTheStreamOfItsDeviceAndInode) {
  struct Case {
    const char* value;
    bool names;
  } cases[] = {
      {"8:12345", true},   {"9:12345", false},   {"8:12346", false},  {"", false},
      {"8", false},        {":12345", false},    {"8:", false},       {"8:12345x", false},
      {"x8:12345", false}, {"8:12345:1", false}, {"-8:12345", false}, {" 8:12345", false},
  };
  for (const Case& c : cases) EXPECT_EQ(namesJournalStream(c.value, 8, 12345), c.names) << c.value;
  EXPECT_TRUE(namesJournalStream("18446744073709551615:1", 18446744073709551615ULL, 1));
}

TEST(JournalStream, EveryLineGetsThePrefixOnceAndACutLineIsEndedAtTheEnd) {
  std::stringbuf target;
  {
    LinePrefixBuffer buffer(target, "<4>");
    std::ostream out(&buffer);
    out << "tarnwatch-record: " << 3 << " folders\n";
    out << "two\nlines\n";
    out.put('a');
    out.put('\n');
    out << "\n";
    out << "cut "
        << "short";
    out.flush();
    EXPECT_EQ(target.str(), "<4>tarnwatch-record: 3 folders\n<4>two\n<4>lines\n<4>a\n<4>\n")
        << "a line is handed over only once it ends";
  }
  EXPECT_EQ(target.str(), "<4>tarnwatch-record: 3 folders\n<4>two\n<4>lines\n<4>a\n<4>\n<4>cut short\n");
}

TEST(JournalStream, TheStreamGetsItsOwnBufferBack) {
  std::stringbuf text;
  std::ostream stream(&text);
  std::streambuf* const own = stream.rdbuf();
  {
    PrefixedLines prefixed(stream, "<4>");
    EXPECT_NE(stream.rdbuf(), own);
    stream << "notice\n";
  }
  EXPECT_EQ(stream.rdbuf(), own);
  stream << "after\n";
  EXPECT_EQ(text.str(), "<4>notice\nafter\n");
}

}  // namespace
}  // namespace tw::record
