// Names that try to forge lines and cells: in the report a name can neither start a line nor a
// cell of the list (its control characters show as their control pictures), and in the tsv
// output every control byte and the backslash are escaped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model/capture_views.h"
#include "core/model/presentation.h"
#include "core/report/export_report.h"
#include "platform/fake/fake_platform.h"
#include "support/changes.h"
#include "support/forged_names.h"
#include "support/temp_dir.h"

namespace tw {
namespace {

using test::changeOf;

// The control pictures back into the bytes they stand for.
std::string controlsOf(std::string_view shown) {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (i + 2 < shown.size() && shown[i] == '\xE2' && shown[i + 1] == '\x90') {
      const auto third = static_cast<unsigned char>(shown[i + 2]);
      if (third >= 0x80 && third <= 0x9F) {
        text.push_back(static_cast<char>(third - 0x80));
        i += 2;
        continue;
      }
      if (third == 0xA1) {
        text.push_back('\x7f');
        i += 2;
        continue;
      }
    }
    text.push_back(shown[i]);
  }
  return text;
}

// A tsv cell back into its text.
std::string unescapeTsv(std::string_view cell) {
  std::string text;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\') {
      text.push_back(cell[i]);
      continue;
    }
    const char next = cell[++i];
    if (next == 't') {
      text.push_back('\t');
    } else if (next == 'r') {
      text.push_back('\r');
    } else if (next == 'n') {
      text.push_back('\n');
    } else if (next == '\\') {
      text.push_back('\\');
    } else {
      EXPECT_EQ(next, 'x');
      text.push_back(static_cast<char>(std::stoi(std::string(cell.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    }
  }
  return text;
}

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at = text.find(separator); at != std::string_view::npos;
       at = text.find(separator, start)) {
    parts.emplace_back(text.substr(start, at - start));
    start = at + 1;
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

TEST(ForgedNames, TheReportShowsEveryNameOnItsOwnLineAndInItsOwnCell) {
  for (const test::ForgedName& forged : test::forgedNames()) {
    SCOPED_TRACE(forged.what);
    FakePlatform platform(forged.style);
    const std::string path = forged.folder + forged.name;
    platform.fakeFiles[path] = "x";  // the file exists: its line ends with its digest
    CaptureViews views(platform, nullptr, forged.style);
    views.add(changeOf(path, "", EventKind::FileCreated));
    views.add(changeOf(forged.folder + "other", forged.folder + "renamed\r\nfake", EventKind::FileRenamed));
    const std::string report = buildExportReport("T", views, platform);

    // The file as written: every line ends with CR LF, and there are exactly the lines of the
    // header, one per node, one per row and the fixed ones; the only TABs are the list's.
    test::TempDir dir;
    const std::string file = dir.file("report.txt");
    ASSERT_TRUE(writeReportFile(platform, file, report));
    std::ifstream in(file, std::ios::binary);
    const std::string written(std::istreambuf_iterator<char>(in), {});
    const std::size_t expectedLines = 17 + views.tree().nodeCount() + 2;
    const std::vector<std::string> lines = split(written, '\n');
    ASSERT_EQ(lines.size(), expectedLines + 1) << written;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      ASSERT_TRUE(lines[i].ends_with('\r')) << i;
      EXPECT_EQ(std::count(lines[i].begin(), lines[i].end() - 1, '\r'), 0) << i;
    }
    EXPECT_EQ(std::count(written.begin(), written.end(), '\t'), 8);
    const std::vector<std::string> rows = {lines[lines.size() - 7], lines[lines.size() - 6]};
    for (const std::string& row : rows) EXPECT_EQ(split(row, '\t').size(), 5u) << row;

    // Each row's cells read back as the list's cells of its change.
    const ListCells created = listCells(changeOf(path, "", EventKind::FileCreated), forged.style);
    const std::vector<std::string> cells = split(rows[0], '\t');
    EXPECT_EQ(controlsOf(cells[0]), created.from);
    EXPECT_EQ(controlsOf(cells[3]), created.workPath);
    EXPECT_EQ(controlsOf(split(rows[1], '\t')[1]), "renamed\r\nfake");

    // The file's node (a POSIX name is one segment) ends with the file's digest, on a line of
    // its own at its level; no other line ends with a digest.
    const std::string digest = " - [MD5:9dd4e461268c8034f5c8564e155c67a6]\r";
    const auto digestLines = std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.size() >= 42 && l.compare(l.size() - 42, 8, " - [MD5:") == 0 && l.back() == '\r';
    });
    if (forged.style == PathStyle::Posix) {
      EXPECT_EQ(digestLines, 1) << written;
      EXPECT_NE(std::find(lines.begin(), lines.end(), levelIndent(3) + visibleText(forged.name) + digest),
                lines.end())
          << written;
    }
    EXPECT_EQ(written.find("\r\n-- -- -- -->shadow"), std::string::npos);
    // The report written as it is made holds the same bytes.
    const std::string streamed = dir.file("streamed.txt");
    ASSERT_TRUE(exportReportFile(platform, streamed, "T", views));
    EXPECT_EQ(test::readFile(streamed), written);
    EXPECT_EQ(written.find("\r\nfake.txt\t"), std::string::npos);
  }
}

TEST(ForgedNames, TsvLinesEscapeEveryControlByteAndTheBackslash) {
  for (const test::ForgedName& forged : test::forgedNames()) {
    SCOPED_TRACE(forged.what);
    const Change change =
        changeOf(forged.folder + forged.name, forged.folder + "new\tname", EventKind::FileRenamed);
    const std::string line = tsvLine(change, forged.style);
    EXPECT_EQ(std::count_if(line.begin(), line.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7f'; }),
              3)
        << "only the three separating TABs";
    const std::vector<std::string> cells = split(line, '\t');
    ASSERT_EQ(cells.size(), 4u);
    const ListCells expected = listCells(change, forged.style);
    EXPECT_EQ(unescapeTsv(cells[0]), expected.from);
    EXPECT_EQ(unescapeTsv(cells[1]), expected.to);
    EXPECT_EQ(unescapeTsv(cells[2]), expected.action);
    EXPECT_EQ(unescapeTsv(cells[3]), expected.workPath);
  }
}

TEST(ForgedNames, VisibleTextAndTsvEscapes) {
  const struct {
    std::string text;
    std::string visible;
    std::string tsv;
  } cases[] = {
      {"plain C:\\x\\", "plain C:\\x\\", "plain C:\\\\x\\\\"},
      {"a\r\nb",
       "a\xE2\x90\x8D\xE2\x90\x8A"
       "b",
       "a\\r\\nb"},
      {"\t", "\xE2\x90\x89", "\\t"},
      {std::string("\0\x1f\x7f", 3), "\xE2\x90\x80\xE2\x90\x9F\xE2\x90\xA1", "\\x00\\x1f\\x7f"},
      {"caf\xC3\xA9 \xFF", "caf\xC3\xA9 \xFF", "caf\xC3\xA9 \xFF"},  // other bytes as they are
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(visibleText(c.text), c.visible) << testing::PrintToString(c.text);
    std::string tsv;
    appendTsvEscaped(tsv, c.text);
    EXPECT_EQ(tsv, c.tsv) << testing::PrintToString(c.text);
  }
}

}  // namespace
}  // namespace tw
