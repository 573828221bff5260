// The filter of the delivery thread: the excluded folders and the extensions to keep, as tables
// of the described cases, against the described linear rules on random inputs, and with lists of
// 100,000 entries.
#include "core/queue/change_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/queue/event_filter.h"
#include "support/changes.h"

namespace tw {
namespace {

using test::change;
using Entries = std::vector<std::string>;

struct Case {
  Entries entries;
  const char* path;
  const char* newPath;
  EventKind kind;
  bool passes;
};

bool passesFolders(const Case& c, PathStyle style) {
  return ChangeFilter(c.entries, {}, style).passes(change(c.kind, c.path, c.newPath));
}
bool passesExtensions(const Case& c, PathStyle style) {
  return ChangeFilter({}, c.entries, style).passes(change(c.kind, c.path, c.newPath));
}

TEST(ChangeFilter, ExcludedFoldersWindowsStyle) {
  const Case cases[] = {
      {{"C:\\Windows\\"}, "C:\\Windows\\System32\\x.dll", "", EventKind::FileCreated, false},
      {{"C:\\Windows\\"}, "C:\\Windows", "", EventKind::FolderDeleted, false},  // the appended separator
      {{"C:\\Windows\\"}, "C:\\WindowsApps\\y.dll", "", EventKind::FileCreated, true},
      {{"C:\\Temp"}, "C:\\Temporary\\z.txt", "", EventKind::FileCreated, false},  // a plain prefix
      {{"C:\\Temp"}, "C:\\Tem", "", EventKind::FileCreated, true},
      {{"c:\\temp\\"}, "C:\\TEMP\\a.txt", "", EventKind::FileCreated, false},  // ASCII case does not matter
      {{"C:\\\xC3\xA9t\xC3\xA9\\"},
       "C:\\\xC3\x89T\xC3\x89\\a.txt",
       "",
       EventKind::FileCreated,
       true},                                                    // é is not É
      {{""}, "C:\\anything", "", EventKind::Attributes, false},  // an empty entry drops every change
      {{""}, "", "", EventKind::Association, false},
      {{"C:\\Excluded\\"}, "C:\\Excluded\\a.txt", "C:\\Kept\\a.txt", EventKind::FileRenamed, false},
      {{"C:\\Excluded\\"},
       "C:\\Kept\\a.txt",
       "C:\\Excluded\\a.txt",
       EventKind::FileRenamed,
       true},  // newPath untested
      {{"D:\\Cache\\", "C:\\Temp\\"}, "C:\\Temp\\b", "", EventKind::FileCreated, false},
      {{}, "C:\\Temp\\b", "", EventKind::FileCreated, true},  // no list: filters nothing
      {{"C:"}, "C:\\x", "", EventKind::FileCreated, false},   // an entry without any separator
      {{"C:\\a\\b"}, "C:\\a\\bc\\d", "", EventKind::FileCreated, false},
      {{"C:\\a\\b"}, "C:\\a\\c\\b", "", EventKind::FileCreated, true},
      {{"\\"}, "", "", EventKind::FileCreated, false},  // an empty path becomes a lone separator
      {{"C:\\a\\\\"}, "C:\\a\\\\x", "", EventKind::FileCreated, false},  // an empty segment
      {{"C:\\a\\\\"}, "C:\\a\\x", "", EventKind::FileCreated, true},
      {{"C:\\Data\\"},
       "C:\\Data\\",
       "",
       EventKind::FolderNeedsRescan,
       false},  // ends in the separator already
      {{"C:\\Data\\\\"}, "C:\\Data\\", "", EventKind::FolderNeedsRescan, true},  // no second one is appended
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.entries) + " / " + c.path);
    EXPECT_EQ(passesFolders(c, PathStyle::Windows), c.passes);
  }
}

TEST(ChangeFilter, ExtensionsWindowsStyle) {
  const Entries txt = {".txt"};
  const Case cases[] = {
      {txt, "C:\\a.TXT", "", EventKind::FileCreated, true},
      {txt, "C:\\a.doc", "", EventKind::FileCreated, false},
      {txt, "C:\\dir", "", EventKind::FolderCreated, true},           // not a file kind
      {txt, "C:\\a.doc", "C:\\a.txt", EventKind::FileRenamed, true},  // passes through newPath
      {txt, "C:\\b", "", EventKind::FileUpdated, false},              // no extension
      {txt, "C:\\a.doc", "", EventKind::Attributes, true},            // attributes are not tested
      {txt, "C:\\a.doc", "", EventKind::FileDeleted, false},
      {txt, "C:\\a.doc", "", EventKind::FolderNeedsRescan, true},
      {{"txt"}, "C:\\a.txt", "", EventKind::FileCreated, false},  // an entry without its dot never matches
      {{""}, "C:\\a.txt", "", EventKind::FileCreated, true},      // empty entry: newPath has no extension
      {{""}, "C:\\a.txt", "C:\\b.doc", EventKind::FileRenamed, false},  // both have extensions
      {{""}, "C:\\noext", "C:\\b.doc", EventKind::FileRenamed, true},
      {txt, "C:\\dir.txt\\file", "", EventKind::FileCreated, false},  // the dot must follow the separator
      {txt, "C:.txt", "", EventKind::FileCreated, true},
      {txt, "C:\\x\\C:", "", EventKind::FileCreated, false},
      {{".gz"}, "C:\\a.tar.gz", "", EventKind::FileCreated, true},
      {{".tar.gz"}, "C:\\a.tar.gz", "", EventKind::FileCreated, false},  // only from the last dot
      {{".doc", ".TXT"}, "C:\\a.txt", "", EventKind::FileCreated, true},
      {{" .txt"}, "C:\\a.txt", "", EventKind::FileCreated, false},  // entries are not trimmed
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.entries) + " / " + c.path + " / " + c.newPath);
    EXPECT_EQ(passesExtensions(c, PathStyle::Windows), c.passes);
  }
}

TEST(ChangeFilter, PosixStyle) {
  const Case folderCases[] = {
      {{"/proc/"}, "/proc/1/stat", "", EventKind::Attributes, false},
      {{"/tmp/"}, "/tmp", "", EventKind::FolderDeleted, false},
      {{"/tmp/"}, "/tmpfiles/x", "", EventKind::FileCreated, true},
      {{"/Data/"}, "/data/x", "", EventKind::FileCreated, false},  // ASCII case folded, as everywhere
      {{"C:\\"}, "C:\\x", "", EventKind::FileCreated, false},      // a backslash is an ordinary byte
      {{"/a\nb/"}, "/a\nb/c", "", EventKind::FileCreated, false},  // and so is a line break
  };
  for (const auto& c : folderCases) EXPECT_EQ(passesFolders(c, PathStyle::Posix), c.passes) << c.path;
  const Case extensionCases[] = {
      {{".txt"}, "/home/u/a.txt", "", EventKind::FileCreated, true},
      {{".txt"}, "/home/u.txt/a", "", EventKind::FileCreated, false},
      {{".txt"}, "/home/u/c:a.txt", "", EventKind::FileCreated, true},  // a colon is an ordinary character
      {{".d"}, "/etc/x.d\\y", "", EventKind::FileCreated, false},       // a backslash too: ".d\y"
  };
  for (const auto& c : extensionCases) EXPECT_EQ(passesExtensions(c, PathStyle::Posix), c.passes) << c.path;
}

TEST(ChangeFilter, BothListsTogether) {
  const ChangeFilter filter({"C:\\Skip\\"}, {".txt"}, PathStyle::Windows);
  EXPECT_TRUE(filter.passes(change(EventKind::FileCreated, "C:\\a.txt")));
  EXPECT_FALSE(filter.passes(change(EventKind::FileCreated, "C:\\Skip\\a.txt")));
  EXPECT_FALSE(filter.passes(change(EventKind::FileCreated, "C:\\a.doc")));
  EXPECT_TRUE(filter.passes(change(EventKind::FolderCreated, "C:\\dir")));
  EXPECT_TRUE(ChangeFilter().passes(change(EventKind::FileCreated, "")));
}

// The described rules, literally: a linear scan.
bool describedExcludes(std::string_view path, const Entries& entries, PathStyle style) {
  const std::string tested = withTrailingSeparator(path, style);
  return std::any_of(entries.begin(), entries.end(),
                     [&](const std::string& entry) { return startsWithIgnoreAsciiCase(tested, entry); });
}
bool describedKeeps(std::string_view path, std::string_view newPath, const Entries& entries,
                    PathStyle style) {
  if (entries.empty()) return true;
  return std::any_of(entries.begin(), entries.end(), [&](const std::string& entry) {
    return equalsIgnoreAsciiCase(entry, pathExtension(path, style)) ||
           equalsIgnoreAsciiCase(entry, pathExtension(newPath, style));
  });
}

// Random paths and entries over a small alphabet (separators, dots, both cases, a non-ASCII
// byte), so that prefixes, partial segments and case meet often.
TEST(ChangeFilter, SameResultsAsTheDescribedLinearScan) {
  std::mt19937 random(20261210);
  for (const PathStyle style : {PathStyle::Windows, PathStyle::Posix}) {
    const std::string alphabet = style == PathStyle::Windows ? "aAbB.\\:\xC3" : "aAbB./:\xC3";
    const auto text = [&](std::size_t maxLength) {
      std::string s(random() % (maxLength + 1), ' ');
      for (char& c : s) c = alphabet[random() % alphabet.size()];
      return s;
    };
    for (int round = 0; round < 400; ++round) {
      // Mostly a few entries; now and then many, so that the tables grow and share slots.
      Entries folders(round % 10 == 0 ? 300 : random() % 6);
      for (auto& e : folders) e = text(round % 10 == 0 ? 12 : 6);
      Entries extensions(random() % 4);
      for (auto& e : extensions) e = text(3);
      const ChangeFilter byFolders(folders, {}, style);
      const ChangeFilter byExtensions({}, extensions, style);
      for (int i = 0; i < 50; ++i) {
        const std::string path = text(10);
        const std::string newPath = text(10);
        ASSERT_EQ(byFolders.excludes(path), describedExcludes(path, folders, style))
            << testing::PrintToString(folders) << " / " << path;
        ASSERT_EQ(byExtensions.keepsExtension(path, newPath),
                  describedKeeps(path, newPath, extensions, style))
            << testing::PrintToString(extensions) << " / " << path << " / " << newPath;
      }
    }
  }
}

TEST(ChangeFilter, ListsOf100000Entries) {
  Entries folders;
  Entries extensions;
  for (int i = 0; i < 100'000; ++i) {
    folders.push_back("/srv/data/project" + std::to_string(i) + "/cache/");
    extensions.push_back(".e" + std::to_string(i));
  }
  folders.push_back("/home/user/Tmp");  // no final separator: a plain prefix
  const ChangeFilter filter(folders, extensions, PathStyle::Posix);
  const Case cases[] = {
      {{}, "/srv/data/project0/cache/a.e0", "", EventKind::FileCreated, false},
      {{}, "/srv/data/project99999/cache/x/y.e1", "", EventKind::FileCreated, false},
      {{}, "/SRV/DATA/PROJECT512/CACHE", "", EventKind::FolderDeleted, false},
      {{}, "/srv/data/project100000/cache/a.e1", "", EventKind::FileCreated, true},
      {{}, "/srv/data/project5/cached/a.e1", "", EventKind::FileCreated, true},
      {{}, "/srv/data/project5/a.E99999", "", EventKind::FileCreated, true},
      {{}, "/srv/data/project5/a.e100000", "", EventKind::FileCreated, false},
      {{}, "/srv/data/project5/a.txt", "/srv/data/project5/a.e7", EventKind::FileRenamed, true},
      {{}, "/home/user/Tmp.old/x.e3", "", EventKind::FileCreated, false},
      {{}, "/home/user/Tm/x.e3", "", EventKind::FileCreated, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " / " + c.newPath);
    EXPECT_EQ(filter.passes(change(c.kind, c.path, c.newPath)), c.passes);
  }
}

}  // namespace
}  // namespace tw
