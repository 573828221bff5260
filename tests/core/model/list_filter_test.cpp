#include "core/model/list_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/events/event_kinds.h"
#include "core/model/filter_pattern.h"
#include "core/model/presentation.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::change;

TEST(FilterPattern, MatchesAnywhereWithoutCaseAndWithWildcards) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  } cases[] = {
      {"", "/home/u/a.txt", true},
      {"*", "", true},
      {"a.txt", "/home/u/a.txt", true},
      {"A.TXT", "/home/u/a.txt", true},
      {"home/U", "/HOME/u/a.txt", true},
      {"b.txt", "/home/u/a.txt", false},
      {"*.txt", "/home/u/a.txt", true},
      {"/home/*/a", "/home/u/v/a.txt", true},
      {"/home/*/a", "/home/a.txt", false},  // '*' may take nothing, but the '/' must be there twice
      {"a?txt", "/home/u/a.txt", true},
      {"a??txt", "/home/u/a.txt", false},
      {"?", "", false},
      {"caf?.txt", "/d/caf\xC3\xA9.txt", true},   // '?' takes the whole two-byte character
      {"\xC3\xA9", "/d/caf\xC3\xA9.txt", true},   // no case folding outside ASCII,
      {"\xC3\x89", "/d/caf\xC3\xA9.txt", false},  // so É does not match é
      {"a?b",
       "a\xFF"
       "b",
       true},  // a byte that is no character counts as one
      {"*a*b*c*", "xaxbxcx", true},
      {"*a*b*c*", "xcxbxax", false},
      {"ab*ab", "abab", true},
      {"ab*ab", "aba", false},
      {"aab", "aaab", true},  // a failed start does not skip the right one
      // Runs that begin with '?': the '?'s before the first literal byte take one to four bytes each.
      {"?Ain", "/d/MAIN.c", true},
      {"?b?c", "abxxbzc", true},  // the first 'b' leads nowhere, a later one does
      {"??x", "/d/\xE2\x82\xAC\xF0\x9F\x98\x80x", true},
      {"??x", "/d/\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80x", true},
      {"?x", "/d/\xC3\xA9y\xC3\xA9", false},
      {"??", "\xC3\xA9", false},
      {"?\xA9", "\xC3\xA9", false},  // a '?' does not begin inside a character
  };
  for (const Case& c : cases) {
    const FilterPattern pattern(c.pattern);
    EXPECT_EQ(pattern.matches(c.text), c.matches) << c.pattern << " in " << c.text;
    std::string folded;
    FilterPattern::appendFolded(folded, c.text);
    EXPECT_EQ(pattern.matchesFolded(folded), c.matches) << c.pattern << " in folded " << c.text;
    EXPECT_EQ(pattern.matchesRunsFrom(c.text, 0, 0), c.matches) << c.pattern << " run by run in " << c.text;
  }
  EXPECT_TRUE(FilterPattern("**").matchesEverything());
  EXPECT_FALSE(FilterPattern("?").matchesEverything());
}

// The quicker searches (a folded text; a run found by its least common byte, with the '?'s before
// it taking one to four bytes each; a piece every matching text must hold) against the plain
// pattern on random texts: many '?'s, multi-byte characters, lone continuation bytes and bytes
// that are no character, over an alphabet small enough that runs are often nearly found.
TEST(FilterPatternRandom, QuickerSearchesAnswerAsThePlainPattern) {
  const std::vector<std::string> textBytes = {
      "a",   "A", "b", "x", "Z", ".", "/", "\xC3\xA9", "\xA9", "\xFF", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
      "\xC3"};
  const std::vector<std::string> patternBytes = {"a", "B", "x", "z", ".",        "/",
                                                 "?", "?", "?", "*", "\xC3\xA9", "\xA9"};
  std::mt19937 random(20261212);
  const auto text = [&](const std::vector<std::string>& from, unsigned longest) {
    std::string out;
    for (unsigned n = random() % (longest + 1); n > 0; --n) out += from[random() % from.size()];
    return out;
  };
  int matched = 0;
  for (int p = 0; p < 400; ++p) {
    const std::string patternText = text(patternBytes, 7);
    const FilterPattern pattern(patternText);
    for (int t = 0; t < 60; ++t) {
      const std::string subject = text(textBytes, 14);
      std::string folded;
      FilterPattern::appendFolded(folded, subject);
      const bool expected = pattern.matches(subject);
      matched += expected ? 1 : 0;
      ASSERT_EQ(pattern.matchesFolded(folded), expected)
          << "\"" << patternText << "\" in \"" << subject << "\"";
      if (pattern.matchesEverything()) continue;
      const FilterPattern::Piece piece = pattern.requiredPiece(0);
      const std::size_t from = random() % (folded.size() + 2);
      const std::size_t at = FilterPattern::find(piece, folded, from);
      ASSERT_EQ(at, std::string_view(folded).find(piece.text, from))
          << "piece \"" << piece.text << "\" in \"" << subject << "\" from " << from;
      if (expected) {
        ASSERT_NE(FilterPattern::find(piece, folded, 0), std::string::npos)
            << "\"" << patternText << "\" in \"" << subject << "\"";
      }
    }
  }
  EXPECT_GT(matched, 1000);  // the texts are not all misses
}

// A list of changes with paths, new paths, kinds and processes to choose from.
class ListFilterTest : public ::testing::Test {
 protected:
  ListFilterTest() : list(platform, nullptr, PathStyle::Posix), filter(list) {}

  void add(const Change& c) { list.add(c); }
  void addFixture() {
    add(change(EventKind::FileCreated, "/home/u/report.txt"));                   // 0
    add(change(EventKind::FileRenamed, "/home/u/a.tmp", "/home/u/Budget.ods"));  // 1
    add(change(EventKind::FileDeleted, "/var/log/syslog.1"));                    // 2
    Change written = change(EventKind::FileUpdated, "/srv/data,1.csv");          // 3
    written.pid = 4242;
    written.process = "rsync";
    add(written);
    add(change(EventKind::FolderCreated, "/home/u/new folder"));       // 4
    Change unknownName = change(EventKind::Attributes, "/etc/hosts");  // 5
    unknownName.pid = 77;
    add(unknownName);
  }
  std::vector<int> shown() const {
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(filter.shownCount()));
    for (int i = 0; i < filter.shownCount(); ++i) rows.push_back(filter.listRow(i));
    return rows;
  }

  FakePlatform platform{PathStyle::Posix};
  CaptureList list;
  ListFilter filter;
};

TEST_F(ListFilterTest, ChoosesRowsByPathNewPathActionAndProcess) {
  addFixture();
  filter.addRows(0, list.rowCount() - 1);
  struct Case {
    const char* text;
    std::vector<int> rows;
  } cases[] = {
      {"", {0, 1, 2, 3, 4, 5}},
      {"/home/u/", {0, 1, 4}},
      {"budget", {1}},        // the new path only
      {"a.tmp", {1}},         // the old path
      {"delete", {2}},        // the action "Delete"
      {"RSYNC", {3}},         // the process name
      {"(4242)", {3}},        // the process id as the cell shows it
      {"(77)", {5}},          // a pid without a name
      {"u/*.t?t", {0}},       // wildcards over the whole path
      {"home/u/new f", {4}},  // a path across its folder part and name
      {"nothing like it", {}},
  };
  for (const Case& c : cases) {
    filter.setText(c.text);
    EXPECT_EQ(shown(), c.rows) << c.text;
    EXPECT_EQ(filter.totalCount(), 6) << c.text;
  }
}

TEST_F(ListFilterTest, RowsArrivingLaterAreChosenAsTheyComeAndTheListKeepsThemAll) {
  filter.setText("home");
  list.beginBatch();
  addFixture();
  // The rows are readable before the batch announces them: the model asks while announcing.
  EXPECT_EQ(filter.addRows(0, 5), 3);
  list.endBatch();
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 4}));
  add(change(EventKind::FileCreated, "/home/v/x"));
  add(change(EventKind::FileCreated, "/tmp/y"));
  EXPECT_EQ(filter.addRows(6, 7), 1);
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 4, 6}));
  EXPECT_EQ(filter.totalCount(), 8);
  EXPECT_EQ(list.rowCount(), 8);  // filtering drops nothing from the list
  filter.setText("");
  EXPECT_EQ(filter.shownCount(), 8);
  filter.clear();
  EXPECT_EQ(filter.shownCount(), 0);
}

// The list's filter matches a path as a folder part shared by many rows and a name, and caches
// answers per folder and per name; whatever it does must give the answer the plain pattern gives
// on the whole texts. Random lists over a small alphabet (so that runs often straddle the folder
// and the name, and names repeat across folders), with case, '*' and '?' in names, multi-byte
// characters, lone continuation bytes and bytes that are no character, against random patterns.
TEST(ListFilterRandom, ChoosesExactlyTheRowsThePlainPatternMatchesOnTheWholeTexts) {
  struct Style {
    PathStyle style;
    const char* separator;
  } styles[] = {{PathStyle::Posix, "/"}, {PathStyle::Windows, "\\"}};
  const std::vector<std::string> nameBytes = {
      "a", "A", "b", ".", "*", "?", ":", "\xC3\xA9", "\xA9", "\xFF", "\xE2\x82\xAC", "\xC3"};
  const std::vector<std::string> patternBytes = {"a", "B",        ".",    "*",    "*",        "?", "?",
                                                 ":", "\xC3\xA9", "\xA9", "\xC3", "\xE2\x82", "e"};
  std::mt19937 random(20261211);
  const auto pick = [&](const std::vector<std::string>& from) { return from[random() % from.size()]; };
  const auto text = [&](const std::vector<std::string>& from, unsigned longest) {
    std::string out;
    for (unsigned n = random() % (longest + 1); n > 0; --n) out += pick(from);
    return out;
  };
  for (const Style& style : styles) {
    const std::vector<std::string> patternPieces = [&] {
      std::vector<std::string> pieces = patternBytes;
      pieces.emplace_back(style.separator);
      pieces.emplace_back(style.separator);
      return pieces;
    }();
    for (int round = 0; round < 100; ++round) {
      FakePlatform platform{style.style};
      CaptureList list(platform, nullptr, style.style);
      ListFilter filter(list);
      // A few folders, each holding a few of a few names, so that both repeat.
      std::vector<std::string> folders = {"", style.separator};
      for (int i = 0; i < 6; ++i) {
        std::string folder = folders[random() % folders.size()] + text(nameBytes, 3);
        folders.push_back(folder + style.separator);
      }
      std::vector<std::string> names = {""};
      for (int i = 0; i < 8; ++i) names.push_back(text(nameBytes, 5));
      // Now and then a name longer than the pool's texts that share a block, so that the texts
      // do not lie one after the other throughout.
      if (round % 4 == 0) names.push_back(text(nameBytes, 3) + std::string(5000, 'b') + text(nameBytes, 5));
      std::vector<Change> changes;
      for (int i = 0; i < 60; ++i) {
        Change c = change(EventKind::FileCreated, folders[random() % folders.size()] + pick(names));
        const unsigned roll = random() % 10;
        if (roll == 0) {
          c.kind = EventKind::FileRenamed;
          c.newPath = pick(folders) + pick(names);
        }
        if (roll == 1) c.kind = EventKind::FileDeleted;
        if (roll == 2) c.pid = static_cast<std::int32_t>(random() % 30);
        if (roll == 3) c.process = text(nameBytes, 3);
        changes.push_back(c);
      }
      const auto expected = [&](const FilterPattern& pattern) {
        std::vector<int> rows;
        for (std::size_t i = 0; i < changes.size(); ++i) {
          const Change& c = changes[i];
          const bool hasProcess = c.pid != 0 || !c.process.empty();
          if (pattern.matches(c.path) || (!c.newPath.empty() && pattern.matches(c.newPath)) ||
              pattern.matches(getEventName(eventNumber(c.kind))) ||
              (hasProcess && pattern.matches(processCellText(c.pid, c.process))))
            rows.push_back(static_cast<int>(i));
        }
        return rows;
      };
      // Half of the rows are there when the text is set, the others arrive afterwards.
      list.beginBatch();
      for (std::size_t i = 0; i < changes.size() / 2; ++i) list.add(changes[i]);
      list.endBatch();
      filter.addRows(0, list.rowCount() - 1);
      for (int p = 0; p < 30; ++p) {
        // Half of the patterns have up to five runs between '*'s, so that many runs are found in
        // a folder part before its name has its say.
        std::string patternText = text(patternPieces, 6);
        if (p % 2 == 1) {
          for (unsigned runs = random() % 5; runs > 0; --runs) patternText += "*" + text(patternPieces, 2);
        }
        const FilterPattern pattern(patternText);
        filter.setText(patternText);
        if (p == 29) {
          list.beginBatch();
          for (std::size_t i = changes.size() / 2; i < changes.size(); ++i) list.add(changes[i]);
          list.endBatch();
          filter.addRows(static_cast<int>(changes.size() / 2), list.rowCount() - 1);
        }
        std::vector<int> want = expected(pattern);
        want.erase(std::remove_if(want.begin(), want.end(), [&](int row) { return row >= list.rowCount(); }),
                   want.end());
        std::vector<int> shown;
        shown.reserve(static_cast<std::size_t>(filter.shownCount()));
        for (int i = 0; i < filter.shownCount(); ++i) shown.push_back(filter.listRow(i));
        ASSERT_EQ(shown, want) << "pattern \"" << patternText << "\", round " << round;
      }
    }
  }
}

}  // namespace
}  // namespace tw
